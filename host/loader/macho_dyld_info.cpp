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

// Hands `count` entries to `each`, `step` bytes apart, moving the entry's
// offset past them; false as soon as `each` answers false.
bool Emit(DyldEntry& e, const DyldVisitor& each, uint64_t count, uint64_t step) {
  for (uint64_t k = 0; k < count; ++k) {
    if (!each(e)) return false;
    e.offset += step;
  }
  return true;
}

}  // namespace

bool ReadRebaseTable(const uint8_t* bytes, std::size_t size, const DyldVisitor& each, std::string* error) {
  Stream in(bytes, size);
  DyldEntry e;
  const auto emit = [&](uint64_t count, uint64_t step) { return Emit(e, each, count, step); };
  while (!in.AtEnd()) {
    const std::size_t start = in.Offset();
    const uint8_t byte = in.Byte();
    const uint8_t imm = byte & 0x0f;
    uint64_t a = 0;
    uint64_t b = 0;
    switch (byte & 0xf0) {
      case 0x00:  // done
        return true;
      case 0x10:  // type
        e.type = imm;
        break;
      case 0x20:  // segment and offset
        e.segment = imm;
        if (!in.Uleb(&e.offset)) return Damaged(error, "a cut-off offset", start);
        break;
      case 0x30:  // add an address
        if (!in.Uleb(&a)) return Damaged(error, "a cut-off address step", start);
        e.offset += a;
        break;
      case 0x40:  // add a scaled address
        e.offset += imm * kPointer;
        break;
      case 0x50:  // rebase imm times
        if (!emit(imm, kPointer)) return false;
        break;
      case 0x60:  // rebase uleb times
        if (!in.Uleb(&a)) return Damaged(error, "a cut-off count", start);
        if (!emit(a, kPointer)) return false;
        break;
      case 0x70:  // rebase, then add an address
        if (!in.Uleb(&a)) return Damaged(error, "a cut-off address step", start);
        if (!emit(1, a + kPointer)) return false;
        break;
      case 0x80:  // rebase uleb times, skipping uleb
        if (!in.Uleb(&a) || !in.Uleb(&b)) return Damaged(error, "a cut-off count or step", start);
        if (!emit(a, b + kPointer)) return false;
        break;
      default:
        return Damaged(error, "an unknown opcode " + Hex(byte), start);
    }
  }
  return true;
}

bool ReadBindTable(const uint8_t* bytes, std::size_t size, BindKind kind, const DyldVisitor& each,
                   std::string* error) {
  Stream in(bytes, size);
  DyldEntry e;
  if (kind == BindKind::kLazy) e.type = 1;  // lazy bindings are pointers and name no type
  const auto emit = [&](uint64_t count, uint64_t step) { return Emit(e, each, count, step); };
  while (!in.AtEnd()) {
    const std::size_t start = in.Offset();
    const uint8_t byte = in.Byte();
    const uint8_t imm = byte & 0x0f;
    uint64_t a = 0;
    uint64_t b = 0;
    switch (byte & 0xf0) {
      case 0x00:  // done; in a lazy table it ends one entry's opcodes
        if (kind != BindKind::kLazy) return true;
        break;
      case 0x10:  // library ordinal
        e.ordinal = imm;
        break;
      case 0x20:
        if (!in.Uleb(&a) || a > 0xffff) return Damaged(error, "a wrong library ordinal", start);
        e.ordinal = static_cast<int>(a);
        break;
      case 0x30:  // special ordinal: 0 self, -1 main program, -2 flat lookup, -3 weak lookup
        e.ordinal = imm == 0 ? 0 : static_cast<int8_t>(0xf0 | imm);
        break;
      case 0x40:  // symbol
        if (!in.Text(&e.symbol)) return Damaged(error, "a cut-off or overlong symbol name", start);
        break;
      case 0x50:  // type
        e.type = imm;
        break;
      case 0x60:  // addend
        if (!in.Sleb(&e.addend)) return Damaged(error, "a cut-off addend", start);
        break;
      case 0x70:  // segment and offset
        e.segment = imm;
        if (!in.Uleb(&e.offset)) return Damaged(error, "a cut-off offset", start);
        break;
      case 0x80:  // add an address
        if (!in.Uleb(&a)) return Damaged(error, "a cut-off address step", start);
        e.offset += a;
        break;
      case 0x90:  // bind
        if (!emit(1, kPointer)) return false;
        break;
      case 0xa0:  // bind, then add an address
        if (!in.Uleb(&a)) return Damaged(error, "a cut-off address step", start);
        if (!emit(1, a + kPointer)) return false;
        break;
      case 0xb0:  // bind, then add a scaled address
        if (!emit(1, imm * kPointer + kPointer)) return false;
        break;
      case 0xc0:  // bind uleb times, skipping uleb
        if (!in.Uleb(&a) || !in.Uleb(&b)) return Damaged(error, "a cut-off count or step", start);
        if (!emit(a, b + kPointer)) return false;
        break;
      default:  // 0xd0, threaded binding, belongs to chained fix-ups
        return Damaged(error, "an unknown opcode " + Hex(byte), start);
    }
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
