// The host's one safe writer; its rules are in safe_writer.h.
#include "safe_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <system_error>

#include "core.h"

#include <fcntl.h>
#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace host {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kWriteChunk = std::size_t{1} << 16;
// As many links as the system itself follows before it gives up.
constexpr int kMaxLinks = 40;

fs::path ToPath(const std::string& utf8) { return fs::u8path(utf8); }

std::string SystemError(int err) { return std::strerror(err); }

// Where the bytes of a save go.
struct Target {
  enum class Kind { kReplace, kStraight, kRefused };
  Kind kind = Kind::kRefused;
  std::string path;     // kReplace: the file to replace; kStraight: the name to open
  bool exists = false;  // kReplace: the file is there already, with `mode`
  unsigned mode = 0;
  int descriptor = -1;  // kStraight: the program's own open file the name stands for
  std::string reason;  // kRefused: why
};

Target Replace(const std::string& path) {
  Target t;
  t.kind = Target::Kind::kReplace;
  t.path = path;
  return t;
}

Target Straight(const std::string& path) {
  Target t;
  t.kind = Target::Kind::kStraight;
  t.path = path;
  return t;
}

Target Refused(std::string reason) {
  Target t;
  t.reason = std::move(reason);
  return t;
}

// --- The platform's file calls -------------------------------------------------

#if defined(_WIN32)
// Symbolic links are not followed here: the name is the file.
Target Resolve(const std::string& given) {
  std::error_code ec;
  const fs::file_status st = fs::status(ToPath(given), ec);
  if (st.type() == fs::file_type::directory) return Refused("it is a directory");
  if (ec || st.type() == fs::file_type::not_found) return Replace(given);
  if (st.type() != fs::file_type::regular) return Straight(given);
  Target t = Replace(given);
  t.exists = true;
  return t;
}

int OpenNew(const fs::path& p) {
  return _wopen(p.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int OpenExisting(const fs::path& p) { return _wopen(p.c_str(), _O_WRONLY | _O_BINARY); }
int Reuse(int descriptor) { return _dup(descriptor); }
int WriteSome(int fd, const char* data, std::size_t n) {
  return _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(n, kWriteChunk)));
}
int CloseFile(int fd) { return _close(fd); }
int Sync(int fd) { return _commit(fd); }
void KeepMode(int, unsigned) {}
void KeepMode(const std::string&, unsigned) {}
#else
// A link that lives in /proc (/proc/self/fd/1, which /dev/stdout leads to)
// names a stream that is open already, not a file in a folder.
bool InProc(const struct stat& link) {
  struct stat proc;
  return lstat("/proc", &proc) == 0 && link.st_dev == proc.st_dev;
}

// The descriptor N when `link` is one of this program's own open files
// (/proc/self/fd/N, /proc/PID/fd/N, /dev/fd/N); -1 otherwise.
int OwnDescriptor(const std::string& link) {
  const std::string prefixes[] = {"/proc/self/fd/", "/proc/" + std::to_string(getpid()) + "/fd/", "/dev/fd/"};
  for (const std::string& prefix : prefixes) {
    if (link.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string number = link.substr(prefix.size());
    if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos)
      return -1;
    return std::stoi(number);
  }
  return -1;
}

// Follows the chain of links from `given` to the file it finally names.
Target Resolve(const std::string& given) {
  std::string p = given;
  for (int hops = 0;; ++hops) {
    struct stat st;
    // Nothing there yet: the file is made. Any other reason lstat fails for
    // shows when the temporary is made.
    if (lstat(p.c_str(), &st) != 0) return Replace(p);
    if (S_ISLNK(st.st_mode)) {
      if (InProc(st)) {
        Target t = Straight(given);
        t.descriptor = OwnDescriptor(p);
        return t;
      }
      if (hops == kMaxLinks) return Refused("too many levels of symbolic links");
      std::error_code ec;
      const fs::path next = fs::read_symlink(ToPath(p), ec);
      if (ec) return Refused("cannot read the link " + p + ": " + ec.message());
      p = (next.is_absolute() ? next : ToPath(p).parent_path() / next).u8string();
      continue;
    }
    if (S_ISDIR(st.st_mode)) return Refused(p == given ? "it is a directory" : "it leads to the directory " + p);
    if (!S_ISREG(st.st_mode)) return Straight(given);
    Target t = Replace(p);
    t.exists = true;
    t.mode = static_cast<unsigned>(st.st_mode & 07777);
    return t;
  }
}

int OpenNew(const fs::path& p) { return open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }
// Appending, so a link to another program's open file adds to what was
// written there, as writing to the stream itself would.
int OpenExisting(const fs::path& p) { return open(p.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC); }
// The program's own open file, at its own position: what the program
// printed before comes first.
int Reuse(int descriptor) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  return fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
}
ssize_t WriteSome(int fd, const char* data, std::size_t n) { return write(fd, data, n); }
int CloseFile(int fd) { return close(fd); }
// A file system that cannot sync (EINVAL) is no failure of the save.
int Sync(int fd) { return fsync(fd) == 0 || errno == EINVAL ? 0 : -1; }
// The new file takes the permissions of the one it replaces (when that
// fails it keeps the umask's; the save itself is not at stake).
void KeepMode(int fd, unsigned mode) { static_cast<void>(fchmod(fd, static_cast<mode_t>(mode))); }
void KeepMode(const std::string& path, unsigned mode) {
  static_cast<void>(chmod(path.c_str(), static_cast<mode_t>(mode)));
}
#endif

// Writes all of `n` bytes; false with the system's reason in `err`.
bool WriteAll(int fd, const char* data, std::size_t n, int* err) {
  while (n > 0) {
    const auto done = WriteSome(fd, data, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      *err = done < 0 ? errno : EIO;
      return false;
    }
    data += done;
    n -= static_cast<std::size_t>(done);
  }
  return true;
}

// Makes a new temporary file beside `path` (never one that exists already);
// answers its descriptor and name, or -1 with the system's reason.
int OpenTemporary(const std::string& path, std::string* temp, int* err) {
  for (int n = 0; n < 100; ++n) {
    *temp = path + (n == 0 ? std::string() : "." + std::to_string(n)) + ".partial";
    const int fd = OpenNew(ToPath(*temp));
    if (fd >= 0) return fd;
    *err = errno;
    if (*err != EEXIST) break;
  }
  return -1;
}

void RemoveQuietly(const std::string& path) {
  std::error_code ignored;
  fs::remove(ToPath(path), ignored);
}

// --- Saving ---------------------------------------------------------------

class Save {
 public:
  Save(const std::string& given, bool counted, std::string* error)
      : given_(given), counted_(counted), error_(error) {}

  bool Run(const std::string& bytes) {
    if (!Resolved()) return false;
    return target_.kind == Target::Kind::kStraight ? WriteStraight(target_, bytes) : WriteAndReplace(target_, bytes);
  }

  // Saving in two halves, for several files saved together: Prepare writes
  // the bytes to a temporary beside the file (a device or FIFO has none: it
  // keeps the bytes for Finish), Finish puts them in place; Abandon
  // removes the temporary of a save that will not be finished.
  bool Prepare(const std::string& bytes) {
    if (!Resolved()) return false;
    if (target_.kind == Target::Kind::kStraight) {
      straightBytes_ = &bytes;
      return true;
    }
    return WriteTemporary(target_, bytes, &temp_);
  }
  bool Finish() {
    if (straightBytes_ != nullptr) return WriteStraight(target_, *straightBytes_);
    const bool ok = ReplaceBy(temp_, target_);
    temp_.clear();
    return ok;
  }
  void Abandon() {
    if (!temp_.empty()) RemoveQuietly(temp_);
    temp_.clear();
  }

 private:
  bool Resolved() {
    if (given_.empty()) return Fail("no file name given");
    target_ = Resolve(given_);
    return target_.kind != Target::Kind::kRefused || Fail(target_.reason);
  }

  bool Fail(const std::string& why) {
    *error_ = "cannot write " + given_ + ": " + why;
    return false;
  }

  // One step the failure plan may make fail.
  bool Step(const char* what) {
    if (!counted_ || !Failures().NextFileOperationFails()) return true;
    return Fail(std::string("the ") + what + " failed (injected failure)");
  }

  // Every byte, a step for each chunk; closes `fd` when a write fails.
  bool WriteBytes(int fd, const std::string& bytes) {
    for (std::size_t pos = 0; pos < bytes.size(); pos += kWriteChunk) {
      const std::size_t n = std::min(kWriteChunk, bytes.size() - pos);
      int err = 0;
      if (!Step("write")) {
        CloseFile(fd);
        return false;
      }
      if (!WriteAll(fd, bytes.data() + pos, n, &err)) {
        CloseFile(fd);
        return Fail(SystemError(err));
      }
    }
    return true;
  }

  // A device, FIFO or open stream: its own bytes, no temporary.
  bool WriteStraight(const Target& t, const std::string& bytes) {
    if (!Step("open")) return false;
    const int fd = t.descriptor >= 0 ? Reuse(t.descriptor) : OpenExisting(ToPath(t.path));
    if (fd < 0) return Fail(SystemError(errno));
    if (!WriteBytes(fd, bytes)) return false;
    if (!Step("close")) {
      CloseFile(fd);
      return false;
    }
    if (CloseFile(fd) != 0) return Fail(SystemError(errno));
    return true;
  }

  bool WriteAndReplace(const Target& t, const std::string& bytes) {
    std::string temp;
    return WriteTemporary(t, bytes, &temp) && ReplaceBy(temp, t);
  }

  // Every byte in a new temporary beside the file, on the disk; nothing
  // left behind when it fails.
  bool WriteTemporary(const Target& t, const std::string& bytes, std::string* made) {
    if (!Step("create")) return false;
    std::string temp;
    int err = 0;
    const int fd = OpenTemporary(t.path, &temp, &err);
    if (fd < 0) return Fail("cannot create " + temp + ": " + SystemError(err));
    if (t.exists) KeepMode(fd, t.mode);
    if (!WriteBytes(fd, bytes)) {
      RemoveQuietly(temp);
      return false;
    }
    if (!Step("close")) {
      CloseFile(fd);
      RemoveQuietly(temp);
      return false;
    }
    // On the disk before it takes the file's place.
    bool ok = Sync(fd) == 0;
    err = errno;
    if (CloseFile(fd) != 0 && ok) {
      ok = false;
      err = errno;
    }
    if (!ok) {
      RemoveQuietly(temp);
      return Fail(SystemError(err));
    }
    *made = temp;
    return true;
  }

  // The finished temporary takes the file's place; removed when it cannot.
  bool ReplaceBy(const std::string& temp, const Target& t) {
    if (!Step("replace")) {
      RemoveQuietly(temp);
      return false;
    }
    std::error_code ec;
    fs::rename(ToPath(temp), ToPath(t.path), ec);  // replaces the file in one step
    if (ec) {
      RemoveQuietly(temp);
      return Fail("cannot replace " + t.path + ": " + ec.message());
    }
    return true;
  }

  const std::string& given_;
  const bool counted_;
  std::string* error_;
  Target target_;
  std::string temp_;                            // Prepare's temporary
  const std::string* straightBytes_ = nullptr;  // Prepare's bytes for a device
};

}  // namespace

bool SaveFiles(const std::vector<std::pair<std::string, std::string>>& files, std::string* error) {
  std::vector<std::unique_ptr<Save>> saves;
  const auto abandon = [&saves](std::size_t from) {
    for (std::size_t i = from; i < saves.size(); ++i) saves[i]->Abandon();
  };
  for (const auto& [path, bytes] : files) {
    saves.push_back(std::make_unique<Save>(path, true, error));
    if (!saves.back()->Prepare(bytes)) {
      abandon(0);
      return false;
    }
  }
  for (std::size_t i = 0; i < saves.size(); ++i) {
    if (!saves[i]->Finish()) {
      abandon(i + 1);
      if (i > 0)
        *error += " (the " + std::to_string(i) + " file" + (i == 1 ? "" : "s") + " before it written, it and the " +
                  std::to_string(saves.size() - i - 1) + " after it left as they were)";
      return false;
    }
  }
  return true;
}

bool SaveFile(const std::string& path, const std::string& bytes, std::string* error) {
  return Save(path, true, error).Run(bytes);
}

bool ReplaceWithFile(const std::string& temporary, const std::string& target, std::string* error) {
  if (target.empty()) {
    *error = "cannot write: no file name given";
    return false;
  }
  const Target t = Resolve(target);
  if (t.kind == Target::Kind::kRefused) {
    *error = "cannot write " + target + ": " + t.reason;
    return false;
  }
  if (t.kind == Target::Kind::kReplace) {
    if (t.exists) KeepMode(temporary, t.mode);
    std::error_code ec;
    fs::rename(ToPath(temporary), ToPath(t.path), ec);  // replaces the file in one step
    if (!ec) return true;
    // The temporary lies on another file system than the file: its bytes
    // are written through a temporary of the file's own folder instead.
    if (ec != std::errc::cross_device_link) {
      *error = "cannot replace " + (t.path == target ? target : target + " (" + t.path + ")") + ": " +
               ec.message();
      return false;
    }
  }
  std::string bytes;
  if (!ReadWholeFile(temporary, &bytes, error)) return false;
  if (!Save(target, false, error).Run(bytes)) return false;
  RemoveQuietly(temporary);
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  std::error_code ec;
  const fs::path p = fs::u8path(path);
  if (fs::is_directory(p, ec)) {
    *error = "cannot read " + path + ": it is a folder";
    return false;
  }
  std::ifstream in(p, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path + ": " + (fs::exists(p, ec) ? std::strerror(errno) : "no such file");
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    *error = "cannot read " + path + ": it could not be read to its end";
    return false;
  }
  return true;
}

std::string FileProblem(const std::string& path, bool forWriting) {
  std::error_code ec;
  const fs::path p = fs::u8path(path);
  if (fs::is_directory(p, ec)) return "it is a folder";
  if (!forWriting) {
    if (!fs::exists(p, ec)) return "no such file";
    std::ifstream in(p, std::ios::binary);
    return in ? "" : std::strerror(errno);
  }
  const fs::path parent = p.has_parent_path() ? p.parent_path() : fs::path(".");
  if (!fs::exists(parent, ec)) return "the folder " + parent.u8string() + " does not exist";
  if (!fs::is_directory(parent, ec)) return parent.u8string() + " is not a folder";
  return "";
}

}  // namespace host
