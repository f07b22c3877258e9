// The host's file layer: file names, the headless file dialog and byte files.
#include "files.h"

#include <cstring>
#include <deque>
#include <optional>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>
#include <utility>

#include "core.h"
#include "safe_writer.h"
#include "state.h"

namespace host {
namespace {

namespace fs = std::filesystem;

// ===========================================================================
// Path notation
//
// Everything that depends on how the platform writes a file name lives in
// this section: which characters separate the parts, how long the root at
// the start of a name is, and how a UTF-8 name becomes a library path. The
// name operations below use only these.
// ===========================================================================

#ifdef _WIN32
// Backslash or slash separate; a root is "\", "C:", "C:\" or "\\server\share\".
constexpr char kSeparator = '\\';

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::size_t RootLength(const std::string& p) {
  const bool drive = p.size() >= 2 && p[1] == ':' &&
                     ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
  if (drive) return (p.size() > 2 && IsSeparator(p[2])) ? 3 : 2;
  if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
    std::size_t i = 2;
    for (int part = 0; part < 2 && i < p.size(); ++part) {  // server, then share
      while (i < p.size() && !IsSeparator(p[i])) ++i;
      if (i < p.size()) ++i;
    }
    return i;
  }
  return (!p.empty() && IsSeparator(p[0])) ? 1 : 0;
}
#else
// Slash separates; the only root is a leading "/".
constexpr char kSeparator = '/';

bool IsSeparator(char c) { return c == '/'; }

std::size_t RootLength(const std::string& p) { return (!p.empty() && p[0] == '/') ? 1 : 0; }
#endif

// File names cross the boundary as UTF-8 on every platform.
fs::path ToPath(const std::string& utf8) { return fs::u8path(utf8); }

// ===========================================================================
// Name operations
// ===========================================================================

std::string Str(const char* s) { return s != nullptr ? std::string(s) : std::string(); }

// Index where the last part of `p` starts (p.size() when it ends in a separator).
std::size_t FileStart(const std::string& p) {
  const std::size_t root = RootLength(p);
  for (std::size_t i = p.size(); i > root; --i) {
    if (IsSeparator(p[i - 1])) return i;
  }
  return root;
}

// Everything before the last part, without trailing separators (the root
// keeps its own). A name ending in a separator is a directory with an empty
// last part, so joining directory and last part gives the name back.
std::string Directory(const std::string& p) {
  const std::size_t root = RootLength(p);
  std::size_t end = FileStart(p);
  while (end > root && IsSeparator(p[end - 1])) --end;
  return p.substr(0, end);
}

std::string LastPart(const std::string& p) { return p.substr(FileStart(p)); }

// Joins `name` onto `dir` with exactly one separator between them. `name`
// is taken as relative: separators at its start are not doubled.
std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  std::size_t skip = 0;
  while (skip < name.size() && IsSeparator(name[skip])) ++skip;
  std::string out = dir;
  if (!IsSeparator(out.back())) out += kSeparator;
  out.append(name, skip, std::string::npos);
  return out;
}

// Index of the dot that starts the suffix of the last part, or npos. A dot
// at the start of the last part (".profile") does not start a suffix, and a
// last part made only of dots ("..") has none.
std::size_t SuffixDot(const std::string& p) {
  const std::size_t start = FileStart(p);
  const std::string part = p.substr(start);
  if (part.find_first_not_of('.') == std::string::npos) return std::string::npos;
  const std::size_t dot = part.rfind('.');
  if (dot == std::string::npos || dot == 0) return std::string::npos;
  return start + dot;
}

// A suffix may be given with or without its dot.
std::string BareSuffix(const char* suffix) {
  std::string s = Str(suffix);
  if (!s.empty() && s[0] == '.') s.erase(0, 1);
  return s;
}

std::string SetSuffix(const std::string& p, const std::string& suffix) {
  if (FileStart(p) == p.size()) return p;  // no last part to give a suffix
  const std::size_t dot = SuffixDot(p);
  std::string out = dot == std::string::npos ? p : p.substr(0, dot);
  if (!suffix.empty()) out += '.' + suffix;
  return out;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool CheckSuffix(const std::string& p, const std::string& suffix) {
  const std::size_t dot = SuffixDot(p);
  const std::string actual = dot == std::string::npos ? std::string() : p.substr(dot + 1);
  return EqualNoCase(actual, suffix);
}

// ===========================================================================
// String encodings
// ===========================================================================

// Decodes the UTF-8 sequence at s[i] and moves i past it. A malformed or
// overlong sequence, a surrogate or a value above U+10FFFF answers -1 and
// moves on by one byte.
long DecodeUtf8(const std::string& s, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  int extra = 0;
  long cp = 0;
  long min = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    ++i;
    return -1;
  }
  if (s.size() - i <= static_cast<std::size_t>(extra)) {  // cut short
    ++i;
    return -1;
  }
  for (int k = 1; k <= extra; ++k) {
    const unsigned char c = byte(i + k);
    if ((c & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return -1;
  }
  i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

// The host's 8-bit encoding is Windows-1252: Latin-1 with printable
// characters (the euro sign, typographic quotes, dashes, ...) in place of
// the C1 controls at 0x80 to 0x9F. The five bytes Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 code points of
// the same value, as Windows itself decodes them, so every byte sequence
// decodes and encodes back unchanged.
constexpr uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Windows-1252 byte of a code point; -1 when it has none.
int EightBitByte(long cp) {
  if (cp < 0) return -1;
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int k = 0; k < 32; ++k) {
    if (kWindows1252High[k] == cp) return 0x80 + k;
  }
  return -1;
}

void AppendUtf8(std::string& out, long cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// UTF-8 to the 8-bit encoding: every character Windows-1252 has becomes its
// byte; every other character (and every malformed byte) becomes '?'.
std::string Utf8To8Bit(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const int b = EightBitByte(DecodeUtf8(s, i));
    out += b >= 0 ? static_cast<char>(static_cast<unsigned char>(b)) : '?';
  }
  return out;
}

// The 8-bit encoding to UTF-8: each byte is one character.
std::string EightBitToUtf8(const std::string& s) {
  std::string out;
  out.reserve(s.size() * 2);
  for (char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kWindows1252High[c - 0x80] : c);
  }
  return out;
}

bool KnownEncoding(int32_t encoding) {
  return encoding == HA_STRINGENCODING_UTF8 || encoding == HA_STRINGENCODING_8BIT;
}

// ===========================================================================
// Byte order
// ===========================================================================

void PutUint32(std::string& out, uint32_t v, int32_t order) {
  unsigned char b[4];
  for (int k = 0; k < 4; ++k) {
    const int shift = order == HA_BYTEORDER_MOTOROLA ? 24 - 8 * k : 8 * k;
    b[k] = static_cast<unsigned char>((v >> shift) & 0xFFu);
  }
  out.append(reinterpret_cast<const char*>(b), 4);
}

uint32_t GetUint32(const char* bytes, int32_t order) {
  uint32_t v = 0;
  for (int k = 0; k < 4; ++k) {
    const int shift = order == HA_BYTEORDER_MOTOROLA ? 24 - 8 * k : 8 * k;
    v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[k])) << shift;
  }
  return v;
}

static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559,
              "float must be IEEE single precision");

// ===========================================================================
// File objects
// ===========================================================================

struct File {
  std::filebuf buf;
  FileState state;
};

// What the file layer of one host holds: the dialog's answers, the files
// the module has open, and logs the tests read.
struct FilesState : LayerState {
  static constexpr LayerSlot kSlot = kFilesSlot;
  ~FilesState() override {
    // Files the module left open were reported as leaks at shutdown.
    for (const File* f : files.All()) delete f;
  }
  // Answers the next dialogs give; nothing means "cancel".
  std::deque<std::optional<std::string>> dialogQueue;
  std::vector<DialogShown> dialogLog;
  HandleSet<File> files;
  // Files whose writing completed: a write-mode file closed successfully,
  // or the target of a successful rename.
  std::vector<std::string> writtenLog;
  // Why the last rename failed (empty when it went through).
  std::string renameError;
  std::vector<FileOpened> openLog;
};

FilesState& Layer() { return State().Layer<FilesState>(); }
std::deque<std::optional<std::string>>& DialogQueue() { return Layer().dialogQueue; }
std::vector<DialogShown>& DialogLog() { return Layer().dialogLog; }
HandleSet<File>& Files() { return Layer().files; }
std::vector<std::string>& WrittenLog() { return Layer().writtenLog; }
std::string& RenameError() { return Layer().renameError; }
std::vector<FileOpened>& OpenLog() { return Layer().openLog; }

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

void CloseAndDelete(File* f) {
  if (f->state.open) f->buf.close();
  Files().Remove(f);
  delete f;
}

}  // namespace

// The functions of the file suite (suites/ha_file.cpp makes the table).
namespace file_entries {

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
  File* f = OpenIn(file, HA_FILEOPEN_WRITE, "write_int32");
  if (f == nullptr) return 0;
  uint32_t bits = 0;
  std::memcpy(&bits, &value, 4);
  std::string bytes;
  PutUint32(bytes, bits, f->state.order);
  return PutItem(f, bytes);
}

int32_t WriteFloat32(ha_file file, float value) {
  File* f = OpenIn(file, HA_FILEOPEN_WRITE, "write_float32");
  if (f == nullptr) return 0;
  uint32_t bits = 0;
  std::memcpy(&bits, &value, 4);
  std::string bytes;
  PutUint32(bytes, bits, f->state.order);
  return PutItem(f, bytes);
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

int32_t ReadBool(ha_file file, int32_t* value) {
  File* f = ReadTarget(file, value, "read_bool");
  if (f == nullptr) return 0;
  std::string bytes;
  if (!TakeItem(f, 1, bytes)) return 0;
  *value = bytes[0] != '\0' ? 1 : 0;
  return 1;
}

int32_t ReadInt32(ha_file file, int32_t* value) {
  File* f = ReadTarget(file, value, "read_int32");
  if (f == nullptr) return 0;
  std::string bytes;
  if (!TakeItem(f, 4, bytes)) return 0;
  const uint32_t bits = GetUint32(bytes.data(), f->state.order);
  std::memcpy(value, &bits, 4);
  return 1;
}

int32_t ReadFloat32(ha_file file, float* value) {
  File* f = ReadTarget(file, value, "read_float32");
  if (f == nullptr) return 0;
  std::string bytes;
  if (!TakeItem(f, 4, bytes)) return 0;
  const uint32_t bits = GetUint32(bytes.data(), f->state.order);
  std::memcpy(value, &bits, 4);
  return 1;
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


void QueueDialogAnswer(std::string path) { DialogQueue().emplace_back(std::move(path)); }
void QueueDialogCancel() { DialogQueue().emplace_back(std::nullopt); }
void ClearDialogQueue() { DialogQueue().clear(); }
std::size_t QueuedDialogAnswers() { return DialogQueue().size(); }

const std::vector<DialogShown>& DialogsShown() { return DialogLog(); }
void ClearDialogsShown() { DialogLog().clear(); }

std::optional<FileState> FileInfo(ha_file file) {
  if (!Files().Has(file)) return std::nullopt;
  return reinterpret_cast<const File*>(file)->state;
}

const std::vector<FileOpened>& FilesOpened() { return OpenLog(); }
const std::vector<std::string>& FilesWritten() { return WrittenLog(); }
const std::string& LastRenameError() { return RenameError(); }
void ClearLastRenameError() { RenameError().clear(); }
void ClearFilesOpened() { OpenLog().clear(); }

std::size_t OpenFileCount() { return Files().Size(); }

std::size_t FreeAllFiles() {
  std::vector<const File*> live(Files().All().begin(), Files().All().end());
  for (const File* f : live) CloseAndDelete(const_cast<File*>(f));
  return live.size();
}

}  // namespace host
