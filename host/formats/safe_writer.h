// The one way the host and its program save a file: the outline the program
// writes, scene files, pictures, and the rename that puts a finished preset
// in its place all go through here, so every save follows the same rules.
//
// - A regular file (or one that does not exist yet) is replaced as a whole:
//   the bytes go to a new temporary file in the same folder, which takes the
//   file's place in one step once every byte and the close went through. An
//   existing file keeps its permission bits.
// - A symbolic link (or a chain of them) is followed to the file it finally
//   names. The temporary goes into that file's folder and replaces that file;
//   the links stay links. A dangling link gets its file made.
// - An existing file that is not a regular file (a device such as /dev/null
//   or /dev/full, a FIFO, a link into /proc such as /dev/stdout that names an
//   open stream) is written straight into: no temporary, no rename, and a
//   failed write or close is reported.
// - A directory, or a link to one, is refused.
// - On any failure the existing file is untouched and the temporary removed.
//
// Errors name the file as it was given. On Windows symbolic links are not
// followed (the system's own handling applies).
#ifndef HOST_SAFE_WRITER_H
#define HOST_SAFE_WRITER_H

#include <string>
#include <utility>
#include <vector>

namespace host {

// Writes `bytes` as the whole content of `path` under the rules above. Each
// step counts as one file operation of the failure plan (core.h), which can
// make it fail: making the temporary (or opening a device), each write of up
// to 64 KiB, the close, and the replacing rename.
bool SaveFile(const std::string& path, const std::string& bytes, std::string* error);

// Several files saved together, each (path, bytes) under the rules above
// and with the same steps: every file's bytes are first written to its
// temporary, and only when all of them went through do the temporaries
// take their files' places, in order. A failure before that leaves every
// file as it was and no temporary behind. A failure of a replacing step
// leaves the files before it new and it and those after it as they were,
// and the message says how many of each.
bool SaveFiles(const std::vector<std::pair<std::string, std::string>>& files, std::string* error);

// Puts the finished file `temporary` in the place of `target` under the same
// rules for `target` (for the module, which writes its own temporary beside
// the name it was given): renamed over the file a link leads to; copied and
// removed when that file is on another file system, or straight into a
// device or FIFO. A directory target fails. On failure `temporary` is left
// for the caller to remove. Counts no file operation of its own.
bool ReplaceWithFile(const std::string& temporary, const std::string& target, std::string* error);

// Reads the whole of a file. False with a message naming the file and the
// reason (no such file, a folder, the system's reason) when it cannot.
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error);

// What keeps a file from being read (`forWriting` false) or written: "no
// such file", "it is a folder", the system's reason; empty when nothing
// visible does.
std::string FileProblem(const std::string& path, bool forWriting);

}  // namespace host

#endif
