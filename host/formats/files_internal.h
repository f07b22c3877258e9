// What files.cpp and file_entries.cpp share, inside the formats layer only:
// the name operations in the platform's notation, the string encodings and
// byte orders of byte files, and the host's file objects with the file
// layer's state in a host. files.h is what other layers see.
#ifndef HOST_FILES_INTERNAL_H
#define HOST_FILES_INTERNAL_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core.h"
#include "files.h"
#include "hostapi.h"

namespace host {
namespace files_internal {

// --- Names -------------------------------------------------------------------

// File names cross the boundary as UTF-8 on every platform.
std::filesystem::path ToPath(const std::string& utf8);

// The text of a name the module passed in; null is the empty name.
std::string Str(const char* s);

// Everything before the last part, without trailing separators (the root
// keeps its own). A name ending in a separator is a directory with an empty
// last part, so joining directory and last part gives the name back.
std::string Directory(const std::string& p);
std::string LastPart(const std::string& p);
// Joins `name` onto `dir` with exactly one separator between them. `name`
// is taken as relative: separators at its start are not doubled.
std::string Join(const std::string& dir, const std::string& name);

// A suffix may be given with or without its dot.
std::string BareSuffix(const char* suffix);
std::string SetSuffix(const std::string& p, const std::string& suffix);
// Whether the last part's suffix is `suffix`, ignoring ASCII case.
bool CheckSuffix(const std::string& p, const std::string& suffix);

// --- String encodings --------------------------------------------------------

// UTF-8 to the 8-bit encoding (Windows-1252): every character Windows-1252
// has becomes its byte; every other character (and every malformed byte)
// becomes '?'.
std::string Utf8To8Bit(const std::string& s);
// The 8-bit encoding to UTF-8: each byte is one character.
std::string EightBitToUtf8(const std::string& s);
bool KnownEncoding(int32_t encoding);

// --- Byte order --------------------------------------------------------------

void PutUint32(std::string& out, uint32_t v, int32_t order);
uint32_t GetUint32(const char* bytes, int32_t order);

// --- File objects ------------------------------------------------------------

struct File {
  std::filebuf buf;
  FileState state;
};

// The file layer's state in the running host: the dialog's answers, the
// files the module has open, and logs the tests read.
std::deque<std::optional<std::string>>& DialogQueue();
std::vector<DialogShown>& DialogLog();
HandleSet<File>& Files();
// Files whose writing completed: a write-mode file closed successfully, or
// the target of a successful rename.
std::vector<std::string>& WrittenLog();
// Why the last rename failed (empty when it went through).
std::string& RenameError();
std::vector<FileOpened>& OpenLog();

// Closes a file object when it is open, and frees it.
void CloseAndDelete(File* f);

}  // namespace files_internal
}  // namespace host

#endif
