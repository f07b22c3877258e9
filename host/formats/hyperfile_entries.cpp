// The functions of the hyperfile suite (suites/ha_hyperfile.cpp makes the
// table): the items of a custom data type's stored value, written to and
// read from the scene-file stream the host lends the module for one call
// (scenefile.cpp lends them; scenefile_internal.h).
#include "hyperfile_entries.h"

#include <string>

#include "core.h"
#include "scenefile_internal.h"

namespace host {
namespace hyperfile_entries {

using namespace scenefile_internal;

namespace {

HyperStream* CheckStream(ha_hyperfile h, bool writing, const char* call) {
  if (!Streams().Has(h)) {
    ReportMisuse(std::string(call) + ": unknown scene-file stream");
    return nullptr;
  }
  HyperStream* s = reinterpret_cast<HyperStream*>(h);
  return s->writing == writing ? s : nullptr;
}

const char* ItemName(uint8_t kind) {
  switch (kind) {
    case kItemInt64: return "an integer";
    case kItemVector: return "a vector";
    default: return "an item of unknown kind";
  }
}

// Whether an item of `kind` with `payload` bytes follows; when not, the
// stream notes what was there instead (the first such failure only).
bool ItemAhead(HyperStream& s, uint8_t kind, std::size_t payload) {
  const std::size_t left = s.bytes.size() - s.pos;
  std::string found;
  if (left == 0) {
    found = "the value's bytes end there";
  } else {
    const uint8_t there = static_cast<uint8_t>(s.bytes[s.pos]);
    const std::size_t need = there == kItemInt64 ? 9 : there == kItemVector ? 25 : 1;
    if (there != kItemInt64 && there != kItemVector)
      found = "found an item of unknown kind " + std::to_string(there);
    else if (left < need)
      found = "found " + std::string(ItemName(there)) + " cut short (" + std::to_string(left) + " of " +
              std::to_string(need) + " bytes)";
    else if (there != kind)
      found = "found " + std::string(ItemName(there));
    else if (left >= 1 + payload)
      return true;
  }
  if (s.failure.empty())
    s.failure = "item " + std::to_string(s.itemsRead + 1) + " was read as " + ItemName(kind) + ", but " + found;
  return false;
}

}  // namespace

int32_t HfWriteInt64(ha_hyperfile h, int64_t v) {
  HyperStream* s = CheckStream(h, true, "write_int64");
  if (s == nullptr) return 0;
  s->bytes.push_back(static_cast<char>(kItemInt64));
  PutBytes(&s->bytes, static_cast<uint64_t>(v), 8);
  return 1;
}

int32_t HfWriteVector(ha_hyperfile h, const ha_vector* v) {
  HyperStream* s = CheckStream(h, true, "write_vector");
  if (s == nullptr || v == nullptr) return 0;
  s->bytes.push_back(static_cast<char>(kItemVector));
  PutBytes(&s->bytes, DoubleBits(v->x), 8);
  PutBytes(&s->bytes, DoubleBits(v->y), 8);
  PutBytes(&s->bytes, DoubleBits(v->z), 8);
  return 1;
}

int32_t HfReadInt64(ha_hyperfile h, int64_t* out) {
  HyperStream* s = CheckStream(h, false, "read_int64");
  if (s == nullptr || out == nullptr || !ItemAhead(*s, kItemInt64, 8)) return 0;
  *out = static_cast<int64_t>(GetBytes(s->bytes, s->pos + 1, 8));
  s->pos += 9;
  ++s->itemsRead;
  return 1;
}

int32_t HfReadVector(ha_hyperfile h, ha_vector* out) {
  HyperStream* s = CheckStream(h, false, "read_vector");
  if (s == nullptr || out == nullptr || !ItemAhead(*s, kItemVector, 24)) return 0;
  out->x = BitsDouble(GetBytes(s->bytes, s->pos + 1, 8));
  out->y = BitsDouble(GetBytes(s->bytes, s->pos + 9, 8));
  out->z = BitsDouble(GetBytes(s->bytes, s->pos + 17, 8));
  s->pos += 25;
  ++s->itemsRead;
  return 1;
}

}  // namespace hyperfile_entries
}  // namespace host
