#include "scenefile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <unordered_map>

#include "animation.h"
#include "core.h"
#include "state.h"
#include "scene.h"
#include "plugins.h"
#include "safe_writer.h"
#include "checksums.h"
#include "scenefile_internal.h"

namespace host {

using namespace scenefile_internal;

namespace {

constexpr char kSignature[8] = {'T', 'L', 'V', 'S', 'C', 'E', 'N', 'E'};
constexpr std::size_t kMaxSceneBytes = std::size_t{1} << 30;

class Writer {
 public:
  void U8(uint8_t v) { PutBytes(&out_, v, 1); }
  void U32(uint32_t v) { PutBytes(&out_, v, 4); }
  void I32(int32_t v) { PutBytes(&out_, static_cast<uint32_t>(v), 4); }
  void U64(uint64_t v) { PutBytes(&out_, v, 8); }
  void F64(double v) { PutBytes(&out_, DoubleBits(v), 8); }
  void Vec(const ha_vector& v) {
    F64(v.x);
    F64(v.y);
    F64(v.z);
  }
  void Str(const std::string& s) {
    U32(static_cast<uint32_t>(s.size()));
    out_ += s;
  }
  void Raw(const std::string& s) { out_ += s; }
  // Writes a 32-bit number at an earlier place (one left for it).
  void PatchU32(std::size_t at, uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) out_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  std::string& Bytes() { return out_; }

 private:
  std::string out_;
};

// Reads a body; the first read past the end makes every later one fail too.
class Reader {
 public:
  Reader(const std::string& in, std::size_t pos) : in_(in), pos_(pos) {}
  std::size_t Left() const { return in_.size() - pos_; }
  std::size_t Pos() const { return pos_; }
  bool Ok() const { return ok_; }

  bool U8(uint8_t* v) { return Take(1, v); }
  bool U32(uint32_t* v) { return Take(4, v); }
  bool I32(int32_t* v) {
    uint32_t raw = 0;
    if (!Take(4, &raw)) return false;
    *v = static_cast<int32_t>(raw);
    return true;
  }
  bool F64(double* v) {
    uint64_t raw = 0;
    if (!Take(8, &raw)) return false;
    *v = BitsDouble(raw);
    return true;
  }
  bool Vec(ha_vector* v) { return F64(&v->x) && F64(&v->y) && F64(&v->z); }
  bool Str(std::string* s) {
    uint32_t n = 0;
    if (!U32(&n)) return false;
    return Bytes(n, s);
  }
  bool Bytes(std::size_t n, std::string* s) {
    if (!ok_ || n > Left()) return ok_ = false;
    s->assign(in_, pos_, n);
    pos_ += n;
    return true;
  }

 private:
  template <typename T>
  bool Take(int n, T* v) {
    if (!ok_ || static_cast<std::size_t>(n) > Left()) return ok_ = false;
    *v = static_cast<T>(GetBytes(in_, pos_, n));
    pos_ += static_cast<std::size_t>(n);
    return true;
  }

  const std::string& in_;
  std::size_t pos_;
  bool ok_ = true;
};

// The checksum of the bytes from `from` on: CRC-32, as PNG and zlib use it.
uint32_t Checksum(const std::string& bytes, std::size_t from) {
  return Crc32(reinterpret_cast<const uint8_t*>(bytes.data()) + from, bytes.size() - from);
}

}  // namespace

// --- hyperfile streams ------------------------------------------------------------
// The hyperfile suite's entries (hyperfile_entries.cpp) read and write the
// streams lent here.

namespace scenefile_internal {
namespace {

// The streams lent to the module at the moment.
struct StreamsState : LayerState {
  static constexpr LayerSlot kSlot = kSceneFileSlot;
  HandleSet<HyperStream> streams;
};

}  // namespace

HandleSet<HyperStream>& Streams() { return State().Layer<StreamsState>().streams; }

}  // namespace scenefile_internal

namespace {

// A stream lent to the module for the length of one call.
class StreamScope {
 public:
  explicit StreamScope(bool writing, std::string bytes = std::string()) {
    stream_.writing = writing;
    stream_.bytes = std::move(bytes);
    Streams().Add(&stream_);
  }
  ~StreamScope() { Streams().Remove(&stream_); }
  StreamScope(const StreamScope&) = delete;
  StreamScope& operator=(const StreamScope&) = delete;
  ha_hyperfile Handle() { return reinterpret_cast<ha_hyperfile>(&stream_); }
  HyperStream& Stream() { return stream_; }

 private:
  HyperStream stream_;
};

// --- containers -------------------------------------------------------------------

bool IsPlainType(int32_t type) {
  return type == HA_TYPE_NONE || type == HA_TYPE_INT32 || type == HA_TYPE_FLOAT ||
         type == HA_TYPE_VECTOR || type == HA_TYPE_STRING || type == HA_TYPE_LINK;
}

bool WriteContainer(Writer& w, const Container& bc,
                    const std::unordered_map<uint64_t, uint32_t>& indexOfSerial,
                    const std::string& ownerName, std::string* error) {
  // The count goes first; its place is kept and filled in after the entries.
  const std::size_t countAt = w.Bytes().size();
  w.U32(0);
  Writer& entries = w;
  uint32_t count = 0;
  for (const auto& [id, v] : bc.Entries()) {
    const auto where = [&ownerName, id = id] {
      return "object \"" + ownerName + "\", parameter " + std::to_string(id);
    };
    if (IsPlainType(v.type)) {
      entries.I32(id);
      entries.I32(v.type);
      switch (v.type) {
        case HA_TYPE_INT32: entries.I32(v.i); break;
        case HA_TYPE_FLOAT: entries.F64(v.f); break;
        case HA_TYPE_VECTOR: entries.Vec(v.AsVector()); break;
        case HA_TYPE_STRING: entries.Str(v.AsString()); break;
        case HA_TYPE_LINK: {
          auto it = indexOfSerial.find(v.link);
          entries.U32(it != indexOfSerial.end() ? it->second : 0);
          break;
        }
        default: break;
      }
      ++count;
      continue;
    }
    const CustomTypeRef type = FindCustomDataType(v.type);
    if (type == nullptr) {
      *error = where() + ": value type " + std::to_string(v.type) + " is not registered";
      return false;
    }
    if (!v.AsCustom().Holds()) continue;  // a value that could never be made is absent
    std::string bytes;
    if (!WriteCustomValue(v.AsCustom(), &bytes, error)) {
      *error = where() + ": " + *error;
      return false;
    }
    entries.I32(id);
    entries.I32(v.type);
    entries.I32(type->diskLevel);
    entries.Str(bytes);
    ++count;
  }
  w.PatchU32(countAt, count);
  return true;
}

// Reads a container; link values hold the file's object index (1-based, 0
// empty) until the caller resolves them. The IDs of the links are added to
// `links`, so that resolving them needs no second pass over every value.
// `owner` makes the owner's name for a message.
template <typename OwnerName>
bool ReadContainer(Reader& r, Container* bc, const OwnerName& owner,
                   std::vector<std::pair<int32_t, uint32_t>>* links, std::string* error) {
  uint32_t count = 0;
  if (!r.U32(&count)) return false;
  // An entry takes at least eight bytes (ID and type), so a damaged count
  // reserves no more than the rest of the file could hold.
  bc->Reserve(std::min<std::size_t>(count, r.Left() / 8));
  for (uint32_t n = 0; n < count; ++n) {
    int32_t id = 0, type = 0;
    if (!r.I32(&id) || !r.I32(&type)) return false;
    const auto where = [&owner, id] { return owner() + ", parameter " + std::to_string(id); };
    // Entries are saved in ascending order; only an ID not above the last
    // one read can be a repeat.
    const auto& read = bc->Entries();
    if (!read.empty() && read.back().first >= id && bc->Find(id) != nullptr) {
      *error = where() + " appears twice";
      return false;
    }
    Value v;
    v.type = type;
    bool ok = true;
    switch (type) {
      case HA_TYPE_NONE: break;
      case HA_TYPE_INT32: ok = r.I32(&v.i); break;
      case HA_TYPE_FLOAT: ok = r.F64(&v.f); break;
      case HA_TYPE_VECTOR: ok = r.Vec(&v.MutableVector()); break;
      case HA_TYPE_STRING: ok = r.Str(&v.MutableString()); break;
      case HA_TYPE_LINK: {
        uint32_t index = 0;
        ok = r.U32(&index);
        v.link = index;
        if (ok) links->emplace_back(id, index);
        break;
      }
      default: {
        int32_t level = 0;
        std::string bytes;
        if (!r.I32(&level) || !r.Str(&bytes)) return false;
        if (FindCustomDataType(type) == nullptr) {
          *error = where() + ": data type " + std::to_string(type) +
                   " is not registered by any loaded plug-in";
          return false;
        }
        if (!ReadCustomValue(type, bytes, level, &v.MutableCustom(), error)) {
          *error = where() + ": " + *error;
          return false;
        }
      }
    }
    if (!ok) return false;
    bc->Set(id, std::move(v));
  }
  return true;
}

// A parsed object record before the object is made.
struct ObjectRecord {
  uint32_t parent = 0;
  int32_t type = 0;
  std::string name;
  bool spline = false;
  int32_t splineType = 0;
  std::vector<ha_vector> points;
  std::vector<UserDataDesc> userData;
  Container data;
  std::vector<std::pair<int32_t, uint32_t>> links;  // parameter ID, file index
};

bool ReadObjectRecord(Reader& r, uint32_t index, ObjectRecord* rec, std::string* error) {
  // The messages are made only when one is needed.
  const auto owner = [index] { return "object " + std::to_string(index + 1); };
  uint8_t spline = 0;
  if (!r.U32(&rec->parent) || !r.I32(&rec->type) || !r.Str(&rec->name) || !r.U8(&spline))
    return false;
  if (rec->parent > index) {
    *error = owner() + " names a parent that does not come before it";
    return false;
  }
  if (spline > 1) {
    *error = owner() + " has a bad spline flag";
    return false;
  }
  rec->spline = spline == 1;
  if (rec->spline) {
    uint32_t count = 0;
    if (!r.I32(&rec->splineType) || !r.U32(&count)) return false;
    if (!IsSplineType(rec->splineType)) {
      *error = owner() + " has spline type " + std::to_string(rec->splineType) + ", which the host does not know (" +
               std::to_string(kFirstSplineType) + " to " + std::to_string(kLastSplineType) + ")";
      return false;
    }
    if (count > r.Left() / 24 || count > static_cast<uint32_t>(INT32_MAX)) return false;
    rec->points.resize(count);
    for (ha_vector& p : rec->points)
      if (!r.Vec(&p)) return false;
  }
  uint32_t userCount = 0;
  if (!r.U32(&userCount)) return false;
  for (uint32_t n = 0; n < userCount; ++n) {
    UserDataDesc d;
    if (!r.I32(&d.id) || !r.Str(&d.name) || !r.I32(&d.type)) return false;
    const std::string where = owner() + ", user data parameter " + std::to_string(d.id);
    if (d.id < kUserDataFirstId) {
      *error = where + ": user data IDs start at " + std::to_string(kUserDataFirstId);
      return false;
    }
    for (const UserDataDesc& earlier : rec->userData) {
      if (earlier.id == d.id) {
        *error = where + " appears twice";
        return false;
      }
    }
    if (!IsPlainType(d.type) || d.type == HA_TYPE_NONE) {
      if (FindCustomDataType(d.type) == nullptr) {
        *error = where + " is of type " + std::to_string(d.type) +
                 ", which is no value type and no data type a loaded plug-in registers";
        return false;
      }
    }
    rec->userData.push_back(std::move(d));
  }
  const auto named = [&owner, rec] { return owner() + " (" + rec->name + ")"; };
  if (!ReadContainer(r, &rec->data, named, &rec->links, error)) return false;
  // A user data parameter holds a value of its own type (or none yet).
  for (const UserDataDesc& d : rec->userData) {
    const Value* v = rec->data.Find(d.id);
    if (v != nullptr && v->type != d.type && v->type != HA_TYPE_NONE) {
      *error = named() + ", parameter " + std::to_string(d.id) + " holds a value of type " + std::to_string(v->type) +
               ", but the user data parameter is of type " + std::to_string(d.type);
      return false;
    }
  }
  return true;
}

// Makes the object of a record: a plug-in object through its allocator, a
// host object directly. Loose (not in a document) when made.
Object* MakeObject(ObjectRecord& rec, std::string* error) {
  Object* op = nullptr;
  if (const ObjectPlugin* plugin = FindObjectPlugin(rec.type)) {
    op = MakePluginObject(*plugin);
    if (op == nullptr) {
      *error = "the plug-in could not make object \"" + rec.name + "\"";
      return nullptr;
    }
  } else if (IsHostType(rec.type)) {
    op = NewLooseObject(rec.type, rec.name);
  } else {
    *error = "object \"" + rec.name + "\" is of type " + std::to_string(rec.type) +
             ", which no loaded plug-in registers";
    return nullptr;
  }
  op->SetName(rec.name);
  if (rec.spline) {
    op->MakeSpline(static_cast<int32_t>(rec.points.size()), rec.splineType);
    op->Points() = std::move(rec.points);
  }
  op->UserData() = std::move(rec.userData);
  op->Data() = std::move(rec.data);  // the loaded values replace the defaults
  return op;
}

void WriteAnimation(Writer& w, const Document& doc, const std::vector<Object*>& objects) {
  const TimeLine& time = doc.Time();
  w.F64(time.fps);
  w.I32(time.start);
  w.I32(time.end);
  w.I32(time.current);
  uint32_t keyed = 0;
  for (const Object* op : objects) keyed += op->Keys().empty() ? 0 : 1;
  w.U32(keyed);
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const Tracks& tracks = objects[i]->Keys();
    if (tracks.empty()) continue;
    w.U32(static_cast<uint32_t>(i + 1));
    w.U32(static_cast<uint32_t>(tracks.size()));
    for (const auto& [id, track] : tracks) {
      w.I32(id);
      w.U32(static_cast<uint32_t>(track.size()));
      for (const AnimKey& key : track) {
        w.I32(key.frame);
        w.U8(static_cast<uint8_t>(key.interpolation));
        w.I32(key.value.type);
        if (key.value.type == HA_TYPE_FLOAT) w.F64(key.value.f);
        else w.I32(key.value.i);
      }
    }
  }
}

bool ReadKey(Reader& r, const std::string& where, const Track& track, AnimKey* key, std::string* error) {
  uint8_t interpolation = 0;
  int32_t type = 0;
  if (!r.I32(&key->frame) || !r.U8(&interpolation) || !r.I32(&type)) return false;
  if (!IsFrame(key->frame)) {
    *error = where + " has a key at frame " + std::to_string(key->frame) + ", beyond the frames " +
             FrameLimitsText();
    return false;
  }
  if (!track.empty() && key->frame <= track.back().frame) {
    *error = where + " has its keys out of order (frame " + std::to_string(key->frame) + " after " +
             std::to_string(track.back().frame) + ")";
    return false;
  }
  if (interpolation > kLastInterpolation) {
    *error = where + ", frame " + std::to_string(key->frame) + ": interpolation " +
             std::to_string(interpolation) + " is none of 0 (hold), 1 (linear), 2 (ease)";
    return false;
  }
  key->interpolation = static_cast<Interpolation>(interpolation);
  if (type == HA_TYPE_FLOAT) {
    double f = 0.0;
    if (!r.F64(&f)) return false;
    if (!std::isfinite(f)) {
      *error = where + ", frame " + std::to_string(key->frame) + ": a key's value is " + std::to_string(f) +
               " (keys hold finite numbers)";
      return false;
    }
    key->value = Value::Real(f);
  } else if (type == HA_TYPE_INT32) {
    int32_t i = 0;
    if (!r.I32(&i)) return false;
    key->value = Value::Int(i);
  } else {
    *error = where + ", frame " + std::to_string(key->frame) + ": a key of type " + std::to_string(type) +
             " (keys hold numbers only)";
    return false;
  }
  return true;
}

// The animation of a format-2 file; `made` are the file's objects in order.
bool ReadAnimation(Reader& r, Document* doc, const std::vector<Object*>& made, std::string* error) {
  TimeLine time;
  uint32_t keyed = 0;
  if (!r.F64(&time.fps) || !r.I32(&time.start) || !r.I32(&time.end) || !r.I32(&time.current) || !r.U32(&keyed))
    return false;
  if (!IsFps(time.fps) || !IsFrame(time.start) || !IsFrame(time.end) || !IsFrame(time.current) ||
      time.start > time.end) {
    *error = "the document's time line (" + std::to_string(time.fps) + " fps, frames " + std::to_string(time.start) +
             " to " + std::to_string(time.end) + ", at frame " + std::to_string(time.current) +
             ") is not one: " + kFpsLimitsText + " fps, frames " + FrameLimitsText() + ", the first not after the last";
    return false;
  }
  doc->Time() = time;
  if (keyed > made.size()) return false;
  for (uint32_t n = 0; n < keyed; ++n) {
    uint32_t index = 0, tracks = 0;
    if (!r.U32(&index) || index == 0 || index > made.size() || !r.U32(&tracks)) return false;
    Object* op = made[index - 1];
    if (!op->Keys().empty()) {
      *error = "object \"" + op->Name() + "\" has its keys twice";
      return false;
    }
    for (uint32_t t = 0; t < tracks; ++t) {
      int32_t id = 0;
      uint32_t count = 0;
      if (!r.I32(&id) || !r.U32(&count) || count == 0 || count > r.Left() / 13) return false;
      const std::string where = "object \"" + op->Name() + "\", parameter " + std::to_string(id);
      if (op->Keys().count(id) != 0) {
        *error = where + " has two tracks of keys";
        return false;
      }
      Track track;
      for (uint32_t k = 0; k < count; ++k) {
        AnimKey key;
        if (!ReadKey(r, where, track, &key, error)) return false;
        track.push_back(std::move(key));
      }
      op->Keys()[id] = std::move(track);
    }
  }
  return true;
}

bool FileStep(const std::string& what, const std::string& path, std::string* error) {
  if (!Failures().NextFileOperationFails()) return true;
  *error = "cannot " + what + " " + path;
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------

bool WriteCustomValue(const CustomValue& value, std::string* bytes, std::string* error) {
  const CustomTypeRef& type = value.Type();
  if (!value.Holds() || type == nullptr || !type->alive) {
    *error = "the value holds nothing to store";
    return false;
  }
  StreamScope scope(true);
  if (type->cls.write_data(type->cls.user, value.Get(), scope.Handle()) == 0) {
    *error = "the plug-in could not store its value";
    return false;
  }
  *bytes = std::move(scope.Stream().bytes);
  return true;
}

bool ReadCustomValue(int32_t type, const std::string& bytes, int32_t level, CustomValue* out,
                     std::string* error) {
  const CustomTypeRef t = FindCustomDataType(type);
  if (t == nullptr) {
    *error = "data type " + std::to_string(type) + " is not registered";
    return false;
  }
  CustomValue value = CustomValue::New(type);
  if (!value.Holds()) {
    *error = "the plug-in could not make a new value (out of memory)";
    return false;
  }
  StreamScope scope(false, bytes);
  const HyperStream& read = scope.Stream();
  const std::string what = "its value (data type " + std::to_string(type) + ", disk level " +
                           std::to_string(level) + ", " + std::to_string(bytes.size()) + " bytes)";
  if (t->cls.read_data(t->cls.user, value.Get(), scope.Handle(), level) == 0) {
    *error = "the plug-in could not read " + what + ": " +
             (read.failure.empty() ? "the value is damaged or memory is short" : read.failure);
    return false;
  }
  // The stream holds exactly the bytes the value was saved with: the plug-in
  // must have read them all, and every read must have found its item.
  if (!read.failure.empty()) {
    *error = "the plug-in read " + what + " past a failed read: " + read.failure;
    return false;
  }
  if (read.pos != read.bytes.size()) {
    *error = "the plug-in read " + what + " but left " + std::to_string(read.bytes.size() - read.pos) +
             " bytes after item " + std::to_string(read.itemsRead) +
             " unread: the value holds more than its own data says";
    return false;
  }
  *out = std::move(value);
  return true;
}

bool DecodeHyperItems(const std::string& bytes, std::vector<HyperItem>* items) {
  items->clear();
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    HyperItem item;
    const uint8_t kind = static_cast<uint8_t>(bytes[pos]);
    if (kind == kItemInt64 && bytes.size() - pos >= 9) {
      item.integer = static_cast<int64_t>(GetBytes(bytes, pos + 1, 8));
      pos += 9;
    } else if (kind == kItemVector && bytes.size() - pos >= 25) {
      item.isVector = true;
      item.vector = {BitsDouble(GetBytes(bytes, pos + 1, 8)), BitsDouble(GetBytes(bytes, pos + 9, 8)),
                     BitsDouble(GetBytes(bytes, pos + 17, 8))};
      pos += 25;
    } else {
      return false;
    }
    items->push_back(item);
  }
  return true;
}

bool PointsOf(const Value& value, std::vector<ha_vector>* points) {
  std::string bytes, error;
  std::vector<HyperItem> items;
  if (!value.AsCustom().Holds() || !WriteCustomValue(value.AsCustom(), &bytes, &error) ||
      !DecodeHyperItems(bytes, &items) || items.empty() || items[0].isVector ||
      items[0].integer != static_cast<int64_t>(items.size() - 1))
    return false;
  points->clear();
  for (std::size_t i = 1; i < items.size(); ++i) {
    if (!items[i].isVector) return false;
    points->push_back(items[i].vector);
  }
  return true;
}

// ---------------------------------------------------------------------------

bool EncodeScene(const Document& doc, int32_t hostVersion, std::string* bytes, std::string* error) {
  const std::vector<Object*> objects = doc.TreeOrder();
  std::unordered_map<const Object*, uint32_t> index;
  std::unordered_map<uint64_t, uint32_t> indexOfSerial;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    index[objects[i]] = static_cast<uint32_t>(i + 1);
    indexOfSerial[objects[i]->Serial()] = static_cast<uint32_t>(i + 1);
  }
  // The header's place first, filled in when the body is written; room for
  // about what an arrow's record takes, so the bytes seldom move.
  Writer body;
  body.Bytes().reserve(kSceneHeaderSize + 64 + objects.size() * 640);
  body.Bytes().assign(kSceneHeaderSize, '\0');
  body.U32(static_cast<uint32_t>(hostVersion));
  body.I32(doc.SplinePlane());
  body.U32(static_cast<uint32_t>(objects.size()));
  for (Object* op : objects) {
    body.U32(op->Up() != nullptr ? index.at(op->Up()) : 0);
    body.I32(op->Type());
    body.Str(op->Name());
    body.U8(op->IsSpline() ? 1 : 0);
    if (op->IsSpline()) {
      body.I32(op->SplineType());
      body.U32(static_cast<uint32_t>(op->Points().size()));
      for (const ha_vector& p : op->Points()) body.Vec(p);
    }
    body.U32(static_cast<uint32_t>(op->UserData().size()));
    for (const UserDataDesc& d : op->UserData()) {
      body.I32(d.id);
      body.Str(d.name);
      body.I32(d.type);
    }
    if (!WriteContainer(body, op->Data(), indexOfSerial, op->Name(), error))
      return false;
  }
  const Object* active = doc.Active();
  body.U32(active != nullptr && index.count(active) != 0 ? index.at(active) : 0);
  WriteAnimation(body, doc, objects);

  Writer header;
  for (char c : kSignature) header.U8(static_cast<uint8_t>(c));
  header.U32(kSceneFormatVersion);
  header.U32(0);
  header.U64(body.Bytes().size() - kSceneHeaderSize);
  header.U32(Checksum(body.Bytes(), kSceneHeaderSize));
  body.Bytes().replace(0, kSceneHeaderSize, header.Bytes());
  *bytes = std::move(body.Bytes());
  return true;
}

std::unique_ptr<Document> DecodeScene(const std::string& bytes, std::string* error) {
  if (bytes.size() < kSceneHeaderSize || std::memcmp(bytes.data(), kSignature, 8) != 0) {
    *error = "not a scene file";
    return nullptr;
  }
  const uint32_t version = static_cast<uint32_t>(GetBytes(bytes, 8, 4));
  if (version == 0 || version > kSceneFormatVersion) {
    *error = "scene format " + std::to_string(version) + " is not supported (this host reads up to " +
             std::to_string(kSceneFormatVersion) + ")";
    return nullptr;
  }
  const uint64_t length = GetBytes(bytes, 16, 8);
  const uint64_t present = bytes.size() - kSceneHeaderSize;
  if (length != present) {
    *error = length > present ? "the scene file is truncated (" + std::to_string(present) + " of " +
                                    std::to_string(length) + " bytes)"
                              : "the scene file has " + std::to_string(present - length) +
                                    " bytes after its end";
    return nullptr;
  }
  if (GetBytes(bytes, 24, 4) != Checksum(bytes, kSceneHeaderSize)) {
    *error = "the scene file is damaged (checksum mismatch)";
    return nullptr;
  }

  Reader r(bytes, kSceneHeaderSize);
  auto doc = std::make_unique<Document>();
  std::string why;
  const auto damaged = [&]() -> std::unique_ptr<Document> {
    *error = why.empty() ? "the scene file is damaged at byte " + std::to_string(r.Pos()) : why;
    return nullptr;
  };
  uint32_t writer = 0, count = 0;
  int32_t plane = 0;
  if (!r.U32(&writer) || !r.I32(&plane) || !r.U32(&count)) return damaged();
  if (plane < kFirstSplinePlane || plane > kLastSplinePlane) {
    *error = "the document's spline plane is " + std::to_string(plane) + "; expected 0 (XY), 1 (ZY) or 2 (XZ)";
    return nullptr;
  }
  doc->SetSplinePlane(plane);
  std::vector<Object*> made;
  std::vector<std::pair<Object*, std::vector<std::pair<int32_t, uint32_t>>>> linking;
  std::vector<Object*> lastChild;  // of each object made, its last child so far
  Object* lastTop = nullptr;
  for (uint32_t i = 0; i < count; ++i) {
    ObjectRecord rec;
    if (!ReadObjectRecord(r, i, &rec, &why)) return damaged();
    const uint32_t parent = rec.parent;
    Object* op = MakeObject(rec, error);
    if (op == nullptr) return nullptr;
    if (!rec.links.empty()) linking.emplace_back(op, std::move(rec.links));
    if (parent == 0) {
      doc->Insert(op, nullptr, lastTop);
      lastTop = op;
    } else {
      doc->Insert(op, made[parent - 1], lastChild[parent - 1]);
      lastChild[parent - 1] = op;
    }
    made.push_back(op);
    lastChild.push_back(nullptr);
  }
  uint32_t active = 0;
  if (!r.U32(&active) || active > made.size()) return damaged();
  if (version >= 2 && !ReadAnimation(r, doc.get(), made, &why)) return damaged();
  if (r.Left() != 0) return damaged();
  if (active != 0) doc->SetActive(made[active - 1]);
  // Links name objects by their place in the file.
  for (auto& [op, links] : linking) {
    // In the order of their IDs, as the values lie in the container.
    std::sort(links.begin(), links.end());
    for (const auto& [id, target] : links) {
      if (target > made.size()) {
        *error = "object \"" + op->Name() + "\", parameter " + std::to_string(id) +
                 " links to an object the file does not have";
        return nullptr;
      }
      op->Data().Set(id, Value::Link(target != 0 ? made[target - 1]->Serial() : 0));
    }
  }
  return doc;
}

bool SaveScene(int32_t hostVersion, const Document& doc, const std::string& path, std::string* error) {
  std::string bytes;
  if (!EncodeScene(doc, hostVersion, &bytes, error)) return false;
  return SaveFile(path, bytes, error);
}

std::unique_ptr<Document> LoadScene(const std::string& path, std::string* error) {
  if (!FileStep("open", path, error)) return nullptr;
  // What the system shows of the file first: missing, a folder, unreadable.
  const std::string problem = FileProblem(path, false);
  std::ifstream in(path, std::ios::binary);
  if (!problem.empty() || !in) {
    *error = "cannot open " + path + ": " + (problem.empty() ? "it cannot be read" : problem);
    return nullptr;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0 || static_cast<uint64_t>(size) > kMaxSceneBytes) {
    *error = path + " is too large for a scene file";
    return nullptr;
  }
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (!FileStep("read", path, error)) return nullptr;
  if (!in.read(bytes.data(), size)) {
    *error = "cannot read " + path;
    return nullptr;
  }
  std::unique_ptr<Document> doc = DecodeScene(bytes, error);
  if (doc == nullptr) *error = path + ": " + *error;
  return doc;
}

}  // namespace host
