// The host's file layer: file names, the headless file dialog and byte
// files. The file suite's entries, which work on these, are in
// file_entries.cpp.
#include "files.h"

#include <deque>
#include <optional>
#include <filesystem>
#include <fstream>
#include <limits>
#include <utility>

#include "core.h"
#include "files_internal.h"
#include "state.h"

namespace host {
namespace files_internal {
namespace {

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

}  // namespace

std::filesystem::path ToPath(const std::string& utf8) { return std::filesystem::u8path(utf8); }

// ===========================================================================
// Name operations
// ===========================================================================

std::string Str(const char* s) { return s != nullptr ? std::string(s) : std::string(); }

namespace {

// Index where the last part of `p` starts (p.size() when it ends in a separator).
std::size_t FileStart(const std::string& p) {
  const std::size_t root = RootLength(p);
  for (std::size_t i = p.size(); i > root; --i) {
    if (IsSeparator(p[i - 1])) return i;
  }
  return root;
}

}  // namespace

std::string Directory(const std::string& p) {
  const std::size_t root = RootLength(p);
  std::size_t end = FileStart(p);
  while (end > root && IsSeparator(p[end - 1])) --end;
  return p.substr(0, end);
}

std::string LastPart(const std::string& p) { return p.substr(FileStart(p)); }

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  std::size_t skip = 0;
  while (skip < name.size() && IsSeparator(name[skip])) ++skip;
  std::string out = dir;
  if (!IsSeparator(out.back())) out += kSeparator;
  out.append(name, skip, std::string::npos);
  return out;
}

namespace {

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

}  // namespace

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

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

bool CheckSuffix(const std::string& p, const std::string& suffix) {
  const std::size_t dot = SuffixDot(p);
  const std::string actual = dot == std::string::npos ? std::string() : p.substr(dot + 1);
  return EqualNoCase(actual, suffix);
}

// ===========================================================================
// String encodings
// ===========================================================================

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

std::deque<std::optional<std::string>>& DialogQueue() { return Layer().dialogQueue; }
std::vector<DialogShown>& DialogLog() { return Layer().dialogLog; }
HandleSet<File>& Files() { return Layer().files; }
std::vector<std::string>& WrittenLog() { return Layer().writtenLog; }
std::string& RenameError() { return Layer().renameError; }
std::vector<FileOpened>& OpenLog() { return Layer().openLog; }

void CloseAndDelete(File* f) {
  if (f->state.open) f->buf.close();
  Files().Remove(f);
  delete f;
}

}  // namespace files_internal

using namespace files_internal;

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
