// The host's file layer: file names, the (headless) file dialog and byte
// files, offered to the module as `ha_file_suite`.
//
// File names are plain UTF-8 strings in the platform's notation. Byte files
// are read and written item by item in the byte order chosen at open.
//
// Failure injection: every open, item read, item write, close, rename and
// remove first asks `Failures().NextFileOperationFails()`; when it answers
// true the operation answers 0 and does nothing at all. Calls that are
// refused before doing anything (a bad handle, a file that is not open in the
// right mode, an unknown encoding) are not counted as file operations.
//
// A failed read consumes nothing: the file position stays at the start of
// the item, so the caller may read it again or read it as something else.
// A failed write may have written part of its item when the system refused
// the rest (an injected failure writes nothing).
#ifndef HOST_FILES_H
#define HOST_FILES_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hostapi.h"

namespace host {

// --- The file dialog -------------------------------------------------------
// There is no user: each dialog takes the next queued answer. When the queue
// is empty the dialog counts as cancelled.
void QueueDialogAnswer(std::string path);
void QueueDialogCancel();
void ClearDialogQueue();
std::size_t QueuedDialogAnswers();

// One dialog the module asked for, in the order shown.
struct DialogShown {
  int32_t type = 0;
  int32_t mode = 0;  // HA_FILESELECT_LOAD or HA_FILESELECT_SAVE
  std::string title;
  std::string start;  // starting directory and file pattern as given
  bool answered = false;
  std::string answer;  // the picked path; empty when cancelled
};
const std::vector<DialogShown>& DialogsShown();
void ClearDialogsShown();

// --- Byte files ------------------------------------------------------------
// What the host knows about one live file object. The arguments of the last
// open stay recorded after the file is closed.
struct FileState {
  bool open = false;
  std::string path;
  int32_t mode = 0;         // HA_FILEOPEN_READ or HA_FILEOPEN_WRITE
  int32_t errorDialog = 0;  // error mode as given to open
  int32_t order = 0;        // HA_BYTEORDER_MOTOROLA or HA_BYTEORDER_INTEL
  int32_t type = 0;         // type code as given to open
  int32_t creator = 0;      // creator code as given to open
  int64_t position = 0;     // bytes read or written since the open
  int64_t length = 0;       // file length (while writing: bytes written)
};
// Nothing for a handle that is not a live file object.
std::optional<FileState> FileInfo(ha_file file);

// Every open the module asked for (including refused and failed ones).
struct FileOpened {
  std::string path;
  int32_t mode = 0;
  int32_t errorDialog = 0;
  int32_t order = 0;
  int32_t type = 0;
  int32_t creator = 0;
  bool succeeded = false;
};
const std::vector<FileOpened>& FilesOpened();
void ClearFilesOpened();

// File objects allocated and not yet freed (for leak checks).
// Every file whose writing completed, in order: a file opened for writing
// and closed successfully, or the target of a successful rename.
const std::vector<std::string>& FilesWritten();
// Why the last rename the module asked for failed; empty after one that went
// through. A rename puts the module's finished temporary in the place of its
// target by the rules of every save (safe_writer.h).
const std::string& LastRenameError();
void ClearLastRenameError();

std::size_t OpenFileCount();
// Closes and frees every file object still live (after a leak was noted);
// answers how many there were.
std::size_t FreeAllFiles();

}  // namespace host

#endif
