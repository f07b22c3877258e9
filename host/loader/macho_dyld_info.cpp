#include "macho_dyld_info.h"

#include <cstring>
#include <utility>
#include <vector>

namespace host {

namespace {

constexpr uint64_t kPointer = 8;
constexpr std::size_t kLongestName = 4096;  // of a symbol

// Bounded reads of one table.
class Stream {
 public:
  Stream(const uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

  bool AtEnd() const { return at_ >= size_; }
  std::size_t Offset() const { return at_; }
  void Seek(std::size_t at) { at_ = at; }
  uint8_t Byte() { return bytes_[at_++]; }  // only when !AtEnd()

  bool Uleb(uint64_t* value) {
    *value = 0;
    for (unsigned shift = 0; !AtEnd(); shift += 7) {
      const uint8_t byte = Byte();
      if (shift >= 64 || (shift == 63 && (byte & 0x7e) != 0)) return false;  // more than 64 bits
      *value |= uint64_t{byte & 0x7fu} << shift;
      if ((byte & 0x80) == 0) return true;
    }
    return false;
  }

  bool Sleb(int64_t* value) {
    uint64_t bits = 0;
    unsigned shift = 0;
    uint8_t byte = 0x80;
    while ((byte & 0x80) != 0) {
      if (AtEnd() || shift >= 64) return false;
      byte = Byte();
      bits |= uint64_t{byte & 0x7fu} << shift;
      shift += 7;
    }
    if (shift < 64 && (byte & 0x40) != 0) bits |= ~uint64_t{0} << shift;
    *value = static_cast<int64_t>(bits);
    return true;
  }

  // A zero-terminated text, the zero inside the table.
  bool Text(std::string* text) {
    const void* end = std::memchr(bytes_ + at_, 0, size_ - at_);
    if (end == nullptr) return false;
    text->assign(reinterpret_cast<const char*>(bytes_ + at_), static_cast<const uint8_t*>(end) - (bytes_ + at_));
    at_ += text->size() + 1;
    return text->size() <= kLongestName;
  }

 private:
  const uint8_t* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;
};

std::string Hex(unsigned v) {
  const char* digits = "0123456789abcdef";
  return std::string("0x") + digits[(v >> 4) & 15] + digits[v & 15];
}

bool Damaged(std::string* error, const std::string& what, std::size_t at) {
  *error = what + " at byte " + std::to_string(at);
  return false;
}

// One walk over a rebase or bind opcode stream: the entry being built, where
// the current opcode starts, and the opcodes both tables have (under numbers
// of their own). Each step answers false on a damaged table (with `error`
// set) or when `each` asks to stop.
class OpcodeWalk {
 public:
  OpcodeWalk(const uint8_t* bytes, std::size_t size, const DyldVisitor& each, std::string* error)
      : in(bytes, size), each_(each), error_(error) {}

  // Reads the next opcode into `byte`; false at the end of the table.
  bool Next(uint8_t* byte) {
    if (in.AtEnd()) return false;
    start_ = in.Offset();
    *byte = in.Byte();
    return true;
  }

  bool Fail(const std::string& what) { return Damaged(error_, what, start_); }

  // Hands `count` entries to `each`, `step` bytes apart, moving the entry's
  // offset past them.
  bool Emit(uint64_t count, uint64_t step) {
    for (uint64_t k = 0; k < count; ++k) {
      if (!each_(e)) return false;
      e.offset += step;
    }
    return true;
  }

  // The segment from the opcode, the offset a uleb after it.
  bool SetSegmentAndOffset(uint8_t imm) {
    e.segment = imm;
    return in.Uleb(&e.offset) || Fail("a cut-off offset");
  }

  bool AddAddress() {
    uint64_t a = 0;
    if (!in.Uleb(&a)) return Fail("a cut-off address step");
    e.offset += a;
    return true;
  }

  // One entry, then a uleb address step.
  bool EmitThenAddAddress() {
    uint64_t a = 0;
    if (!in.Uleb(&a)) return Fail("a cut-off address step");
    return Emit(1, a + kPointer);
  }

  // A uleb count of entries, each a uleb step past the pointer before.
  bool EmitSkipping() {
    uint64_t count = 0;
    uint64_t skip = 0;
    if (!in.Uleb(&count) || !in.Uleb(&skip)) return Fail("a cut-off count or step");
    return Emit(count, skip + kPointer);
  }

  Stream in;
  DyldEntry e;

 private:
  const DyldVisitor& each_;
  std::string* error_;
  std::size_t start_ = 0;
};

}  // namespace

bool ReadRebaseTable(const uint8_t* bytes, std::size_t size, const DyldVisitor& each, std::string* error) {
  OpcodeWalk w(bytes, size, each, error);
  uint8_t byte = 0;
  while (w.Next(&byte)) {
    const uint8_t imm = byte & 0x0f;
    uint64_t a = 0;
    bool ok = true;
    switch (byte & 0xf0) {
      case 0x00:  // done
        return true;
      case 0x10:  // type
        w.e.type = imm;
        break;
      case 0x20:
        ok = w.SetSegmentAndOffset(imm);
        break;
      case 0x30:
        ok = w.AddAddress();
        break;
      case 0x40:  // add a scaled address
        w.e.offset += imm * kPointer;
        break;
      case 0x50:  // rebase imm times
        ok = w.Emit(imm, kPointer);
        break;
      case 0x60:  // rebase uleb times
        if (!w.in.Uleb(&a)) return w.Fail("a cut-off count");
        ok = w.Emit(a, kPointer);
        break;
      case 0x70:  // rebase, then add an address
        ok = w.EmitThenAddAddress();
        break;
      case 0x80:  // rebase uleb times, skipping uleb
        ok = w.EmitSkipping();
        break;
      default:
        return w.Fail("an unknown opcode " + Hex(byte));
    }
    if (!ok) return false;
  }
  return true;
}

bool ReadBindTable(const uint8_t* bytes, std::size_t size, BindKind kind, const DyldVisitor& each,
                   std::string* error) {
  OpcodeWalk w(bytes, size, each, error);
  if (kind == BindKind::kLazy) w.e.type = 1;  // lazy bindings are pointers and name no type
  uint8_t byte = 0;
  while (w.Next(&byte)) {
    const uint8_t imm = byte & 0x0f;
    uint64_t a = 0;
    bool ok = true;
    switch (byte & 0xf0) {
      case 0x00:  // done; in a lazy table it ends one entry's opcodes
        if (kind != BindKind::kLazy) return true;
        break;
      case 0x10:  // library ordinal
        w.e.ordinal = imm;
        break;
      case 0x20:
        if (!w.in.Uleb(&a) || a > 0xffff) return w.Fail("a wrong library ordinal");
        w.e.ordinal = static_cast<int>(a);
        break;
      case 0x30:  // special ordinal: 0 self, -1 main program, -2 flat lookup, -3 weak lookup
        w.e.ordinal = imm == 0 ? 0 : static_cast<int8_t>(0xf0 | imm);
        break;
      case 0x40:  // symbol
        if (!w.in.Text(&w.e.symbol)) return w.Fail("a cut-off or overlong symbol name");
        break;
      case 0x50:  // type
        w.e.type = imm;
        break;
      case 0x60:  // addend
        if (!w.in.Sleb(&w.e.addend)) return w.Fail("a cut-off addend");
        break;
      case 0x70:
        ok = w.SetSegmentAndOffset(imm);
        break;
      case 0x80:
        ok = w.AddAddress();
        break;
      case 0x90:  // bind
        ok = w.Emit(1, kPointer);
        break;
      case 0xa0:  // bind, then add an address
        ok = w.EmitThenAddAddress();
        break;
      case 0xb0:  // bind, then add a scaled address
        ok = w.Emit(1, imm * kPointer + kPointer);
        break;
      case 0xc0:  // bind uleb times, skipping uleb
        ok = w.EmitSkipping();
        break;
      default:  // 0xd0, threaded binding, belongs to chained fix-ups
        return w.Fail("an unknown opcode " + Hex(byte));
    }
    if (!ok) return false;
  }
  return true;
}

bool ReadExportTrie(const uint8_t* bytes, std::size_t size, const ExportVisitor& each, std::string* error) {
  if (size == 0) return true;
  Stream in(bytes, size);
  std::vector<std::pair<uint64_t, std::string>> todo{{0, ""}};
  std::vector<bool> seen(size, false);
  while (!todo.empty()) {
    auto [node, prefix] = std::move(todo.back());
    todo.pop_back();
    if (node >= size) return Damaged(error, "a node outside the table", node);
    if (seen[node]) return Damaged(error, "a node reached twice", node);
    seen[node] = true;
    in.Seek(node);
    uint64_t infoSize = 0;
    if (!in.Uleb(&infoSize) || infoSize >= size - in.Offset())
      return Damaged(error, "a node of the wrong size", node);
    const std::size_t children = in.Offset() + infoSize;
    if (infoSize != 0) {
      uint64_t flags = 0;
      uint64_t offset = 0;
      if (!in.Uleb(&flags) || !in.Uleb(&offset) || in.Offset() > children)
        return Damaged(error, "a cut-off entry of " + prefix, node);
      if (!each(prefix, flags, offset)) return false;
    }
    in.Seek(children);
    const unsigned count = in.Byte();
    for (unsigned k = 0; k < count; ++k) {
      std::string label;
      uint64_t child = 0;
      if (in.AtEnd() || !in.Text(&label) || !in.Uleb(&child)) return Damaged(error, "a cut-off edge", node);
      if (prefix.size() + label.size() > kLongestName) return Damaged(error, "an overlong name", node);
      todo.push_back({child, prefix + label});
    }
  }
  return true;
}

}  // namespace host
