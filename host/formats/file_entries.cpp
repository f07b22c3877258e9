// The functions of the file suite (suites/ha_file.cpp makes the table): file
// names, the file dialog, and files read and written item by item. The file
// objects, names and encodings they work on are files.cpp's
// (files_internal.h).
#include "file_entries.h"

#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "core.h"
#include "files_internal.h"
#include "safe_writer.h"
#include "state.h"

namespace host {
namespace file_entries {

namespace fs = std::filesystem;
using namespace files_internal;

namespace {

File* Lookup(ha_file file, const char* fn) {
  if (!Files().Has(file)) {
    ReportMisuse(std::string("file ") + fn + ": not a live file object");
    return nullptr;
  }
  return reinterpret_cast<File*>(file);
}

// The file when it is live and open in `mode`; otherwise a misuse.
File* OpenIn(ha_file file, int32_t mode, const char* fn) {
  File* f = Lookup(file, fn);
  if (f == nullptr) return nullptr;
  if (!f->state.open || f->state.mode != mode) {
    ReportMisuse(std::string("file ") + fn + ": the file is not open for " +
                 (mode == HA_FILEOPEN_READ ? "reading" : "writing"));
    return nullptr;
  }
  return f;
}

// Writes one item. An injected failure writes nothing.
int32_t PutItem(File* f, const std::string& bytes) {
  if (Failures().NextFileOperationFails()) return 0;
  const std::streamsize want = static_cast<std::streamsize>(bytes.size());
  const std::streamsize done = f->buf.sputn(bytes.data(), want);
  if (done > 0) {
    f->state.position += done;
    f->state.length = f->state.position;
  }
  return done == want ? 1 : 0;
}

// Moves the read position back to `pos` (the start of a failed item).
void Rewind(File* f, int64_t pos) {
  f->buf.pubseekpos(static_cast<std::streamoff>(pos), std::ios_base::in);
  f->state.position = pos;
}

// Reads `n` bytes into `out`; when the file has fewer left (or the system
// delivers fewer), consumes nothing and answers false.
bool Take(File* f, std::size_t n, std::string& out) {
  const int64_t left = f->state.length - f->state.position;
  if (left < 0 || static_cast<uint64_t>(left) < n) return false;
  out.assign(n, '\0');
  if (n == 0) return true;
  const std::streamsize got = f->buf.sgetn(&out[0], static_cast<std::streamsize>(n));
  if (got != static_cast<std::streamsize>(n)) {
    Rewind(f, f->state.position);
    return false;
  }
  f->state.position += static_cast<int64_t>(n);
  return true;
}

// Reads one fixed-size item after the failure plan allowed it.
bool TakeItem(File* f, std::size_t n, std::string& out) {
  if (Failures().NextFileOperationFails()) return false;
  return Take(f, n, out);
}

// The file for a read into `out`, or null (a misuse) when either is unusable.
template <typename T>
File* ReadTarget(ha_file file, T* out, const char* fn) {
  File* f = OpenIn(file, HA_FILEOPEN_READ, fn);
  if (f == nullptr) return nullptr;
  if (out == nullptr) {
    ReportMisuse(std::string("file ") + fn + ": no place for the value");
    return nullptr;
  }
  return f;
}

// Writes a 4-byte value (an int32 or a float32) as one item in the file's
// byte order.
template <typename T>
int32_t PutWord(ha_file file, T value, const char* fn) {
  static_assert(sizeof(T) == 4, "a word item is four bytes");
  File* f = OpenIn(file, HA_FILEOPEN_WRITE, fn);
  if (f == nullptr) return 0;
  uint32_t bits = 0;
  std::memcpy(&bits, &value, 4);
  std::string bytes;
  PutUint32(bytes, bits, f->state.order);
  return PutItem(f, bytes);
}

// Reads a 4-byte item in the file's byte order into `value` (an int32 or a
// float32); on failure `value` is left as it was.
template <typename T>
int32_t TakeWord(ha_file file, T* value, const char* fn) {
  static_assert(sizeof(T) == 4, "a word item is four bytes");
  File* f = ReadTarget(file, value, fn);
  if (f == nullptr) return 0;
  std::string bytes;
  if (!TakeItem(f, 4, bytes)) return 0;
  const uint32_t bits = GetUint32(bytes.data(), f->state.order);
  std::memcpy(value, &bits, 4);
  return 1;
}

}  // namespace

ha_text NameJoin(const char* dir, const char* name) {
  return MakeText(Join(Str(dir), Str(name)));
}

ha_text NameDirectory(const char* path) {
  return MakeText(Directory(Str(path)));
}

ha_text NameFile(const char* path) {
  return MakeText(LastPart(Str(path)));
}

ha_text NameSetSuffix(const char* path, const char* suffix) {
  return MakeText(SetSuffix(Str(path), BareSuffix(suffix)));
}

int32_t NameCheckSuffix(const char* path, const char* suffix) {
  return CheckSuffix(Str(path), BareSuffix(suffix)) ? 1 : 0;
}

int32_t Exists(const char* path, int32_t isDir) {
  const std::string name = Str(path);
  if (name.empty()) return 0;
  std::error_code ec;
  const fs::path p = ToPath(name);
  const bool found = isDir != 0 ? fs::is_directory(p, ec) : fs::is_regular_file(p, ec);
  return found && !ec ? 1 : 0;
}

ha_text FileSelect(int32_t type, int32_t mode, const char* title, const char* start) {
  DialogShown shown;
  shown.type = type;
  shown.mode = mode;
  shown.title = Str(title);
  shown.start = Str(start);
  auto& queue = DialogQueue();
  if (!queue.empty()) {
    std::optional<std::string> next = std::move(queue.front());
    queue.pop_front();
    if (next) {
      shown.answered = true;
      shown.answer = std::move(*next);
    }
  }
  DialogLog().push_back(shown);
  return shown.answered ? MakeText(shown.answer) : nullptr;
}

ha_file FileAlloc() {
  if (Failures().NextAllocationFails()) return nullptr;
  File* f = new File;
  Files().Add(f);
  return reinterpret_cast<ha_file>(f);
}

void FileFree(ha_file file) {
  if (file == nullptr) return;
  File* f = Lookup(file, "file_free");
  if (f != nullptr) CloseAndDelete(f);
}

int32_t FileOpen(ha_file file, const char* path, int32_t mode, int32_t errorDialog, int32_t order,
                 int32_t type, int32_t creator) {
  File* f = Lookup(file, "file_open");
  if (f == nullptr) return 0;
  const std::string name = Str(path);
  OpenLog().push_back(FileOpened{name, mode, errorDialog, order, type, creator, false});
  if (f->state.open) {
    ReportMisuse("file file_open: the file is already open");
    return 0;
  }
  if (mode != HA_FILEOPEN_READ && mode != HA_FILEOPEN_WRITE) {
    ReportMisuse("file file_open: unknown mode " + std::to_string(mode));
    return 0;
  }
  if (order != HA_BYTEORDER_MOTOROLA && order != HA_BYTEORDER_INTEL) {
    ReportMisuse("file file_open: unknown byte order " + std::to_string(order));
    return 0;
  }
  if (Failures().NextFileOperationFails()) return 0;
  if (name.empty()) return 0;

  const fs::path p = ToPath(name);
  int64_t length = 0;
  if (mode == HA_FILEOPEN_READ) {
    std::error_code ec;
    if (!fs::is_regular_file(p, ec)) return 0;
    if (f->buf.open(p, std::ios_base::in | std::ios_base::binary) == nullptr) return 0;
    const std::streampos end = f->buf.pubseekoff(0, std::ios_base::end, std::ios_base::in);
    if (end == std::streampos(-1) ||
        f->buf.pubseekpos(0, std::ios_base::in) == std::streampos(-1)) {
      f->buf.close();
      return 0;
    }
    length = static_cast<int64_t>(end);
  } else {
    const auto how = std::ios_base::out | std::ios_base::trunc | std::ios_base::binary;
    if (f->buf.open(p, how) == nullptr) return 0;
  }
  f->state = FileState{true, name, mode, errorDialog, order, type, creator, 0, length};
  OpenLog().back().succeeded = true;
  return 1;
}

int32_t FileClose(ha_file file) {
  File* f = Lookup(file, "file_close");
  if (f == nullptr || !f->state.open) return 0;
  if (Failures().NextFileOperationFails()) return 0;
  const bool ok = f->buf.close() != nullptr;
  f->state.open = false;
  if (ok && f->state.mode == HA_FILEOPEN_WRITE) WrittenLog().push_back(f->state.path);
  return ok ? 1 : 0;
}

int64_t FileLength(ha_file file) {
  File* f = Lookup(file, "file_length");
  if (f == nullptr || !f->state.open) return -1;
  return f->state.length;
}

int32_t WriteBool(ha_file file, int32_t value) {
  File* f = OpenIn(file, HA_FILEOPEN_WRITE, "write_bool");
  if (f == nullptr) return 0;
  return PutItem(f, std::string(1, value != 0 ? '\1' : '\0'));
}

int32_t WriteInt32(ha_file file, int32_t value) {
  return PutWord(file, value, "write_int32");
}

int32_t WriteFloat32(ha_file file, float value) {
  return PutWord(file, value, "write_float32");
}

int32_t WriteString(ha_file file, const char* utf8, int32_t encoding) {
  File* f = OpenIn(file, HA_FILEOPEN_WRITE, "write_string");
  if (f == nullptr) return 0;
  if (!KnownEncoding(encoding)) {
    ReportMisuse("file write_string: unknown encoding " + std::to_string(encoding));
    return 0;
  }
  const std::string text =
      encoding == HA_STRINGENCODING_8BIT ? Utf8To8Bit(Str(utf8)) : Str(utf8);
  if (text.size() >= static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return 0;
  std::string bytes;
  PutUint32(bytes, static_cast<uint32_t>(text.size() + 1), f->state.order);
  bytes += text;
  bytes += '\0';
  return PutItem(f, bytes);
}

int32_t WriteByte(ha_file file, int32_t value) {
  File* f = OpenIn(file, HA_FILEOPEN_WRITE, "write_byte");
  if (f == nullptr) return 0;
  return PutItem(f, std::string(1, static_cast<char>(static_cast<unsigned char>(value & 0xFF))));
}

int32_t ReadBool(ha_file file, int32_t* value) {
  File* f = ReadTarget(file, value, "read_bool");
  if (f == nullptr) return 0;
  std::string bytes;
  if (!TakeItem(f, 1, bytes)) return 0;
  *value = bytes[0] != '\0' ? 1 : 0;
  return 1;
}

int32_t ReadInt32(ha_file file, int32_t* value) {
  return TakeWord(file, value, "read_int32");
}

int32_t ReadFloat32(ha_file file, float* value) {
  return TakeWord(file, value, "read_float32");
}

int32_t ReadString(ha_file file, int32_t encoding, ha_text* value) {
  File* f = ReadTarget(file, value, "read_string");
  if (f == nullptr) return 0;
  if (!KnownEncoding(encoding)) {
    ReportMisuse("file read_string: unknown encoding " + std::to_string(encoding));
    return 0;
  }
  if (Failures().NextFileOperationFails()) return 0;
  const int64_t start = f->state.position;
  std::string bytes;
  if (!Take(f, 4, bytes)) return 0;
  uint32_t bits = GetUint32(bytes.data(), f->state.order);
  int32_t count = 0;
  std::memcpy(&count, &bits, 4);
  // A negative count, or one larger than what is left, allocates nothing.
  if (count < 0 || count > f->state.length - f->state.position || !Take(f, static_cast<std::size_t>(count), bytes)) {
    Rewind(f, start);
    return 0;
  }
  if (count > 0) bytes.resize(static_cast<std::size_t>(count) - 1);  // drop the closing byte
  ha_text text =
      MakeText(encoding == HA_STRINGENCODING_8BIT ? EightBitToUtf8(bytes) : std::move(bytes));
  if (text == nullptr) {
    Rewind(f, start);
    return 0;
  }
  *value = text;
  return 1;
}

int32_t Rename(const char* from, const char* to) {
  RenameError().clear();
  if (Failures().NextFileOperationFails()) return 0;
  const std::string a = Str(from), b = Str(to);
  if (a.empty() || b.empty()) return 0;
  // The target follows the rules of every save: through links, straight
  // into a device or FIFO, never a directory.
  if (!ReplaceWithFile(a, b, &RenameError())) return 0;
  WrittenLog().push_back(b);
  return 1;
}

int32_t Remove(const char* path) {
  if (Failures().NextFileOperationFails()) return 0;
  const std::string name = Str(path);
  if (name.empty()) return 0;
  std::error_code ec;
  const fs::path p = ToPath(name);
  if (fs::is_directory(p, ec)) return 0;  // files only
  return fs::remove(p, ec) && !ec ? 1 : 0;
}

}  // namespace file_entries
}  // namespace host
