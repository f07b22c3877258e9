// The stand-in host's scene model: parameter containers, objects, the object
// tree, documents and undo.
#ifndef HOST_MODEL_H
#define HOST_MODEL_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "hostapi.h"
#include "custom_values.h"

namespace host {

class Object;
class Document;
struct ObjectPlugin;

// One container entry. Bool values are stored as Int32. Integers, reals and
// links are kept in the value itself (a real and a link share their place:
// read the one the type names); a vector, a string and a custom data type's
// value (type is then its ID) live in a separate block made when the value
// is set, so a value is 24 bytes. Copies copy that block.
struct Value {
  int32_t type = HA_TYPE_NONE;
  int32_t i = 0;
  union {
    double f = 0.0;
    uint64_t link;  // serial of the linked object; 0 = empty link
  };

  Value() = default;
  ~Value() = default;
  Value(const Value& o) : type(o.type), i(o.i), link(o.link) {
    if (o.extra_ != nullptr) extra_ = std::make_unique<Extra>(*o.extra_);
  }
  Value& operator=(const Value& o) {
    if (this != &o) {
      Value copy(o);
      *this = std::move(copy);
    }
    return *this;
  }
  Value(Value&&) noexcept = default;
  Value& operator=(Value&&) noexcept = default;

  static Value Int(int32_t x) { Value r; r.type = HA_TYPE_INT32; r.i = x; return r; }
  static Value Real(double x) { Value r; r.type = HA_TYPE_FLOAT; r.f = x; return r; }
  static Value Vec(ha_vector x) { Value r; r.type = HA_TYPE_VECTOR; r.MutableVector() = x; return r; }
  static Value Str(std::string x) {
    Value r;
    r.type = HA_TYPE_STRING;
    if (!x.empty()) r.MutableString() = std::move(x);
    return r;
  }
  static Value Link(uint64_t serial) { Value r; r.type = HA_TYPE_LINK; r.link = serial; return r; }
  static Value Custom(CustomValue c) {
    Value r;
    r.type = c.TypeId();
    r.MutableCustom() = std::move(c);
    return r;
  }

  // The payloads kept apart: a zero vector, an empty string and a custom
  // value holding nothing when none was set.
  const ha_vector& AsVector() const { return extra_ != nullptr ? extra_->v : kNoExtra.v; }
  const std::string& AsString() const { return extra_ != nullptr ? extra_->s : kNoExtra.s; }
  const CustomValue& AsCustom() const { return extra_ != nullptr ? extra_->custom : kNoExtra.custom; }
  ha_vector& MutableVector() { return Made().v; }
  std::string& MutableString() { return Made().s; }
  CustomValue& MutableCustom() { return Made().custom; }

  bool operator==(const Value& o) const;
  bool operator!=(const Value& o) const { return !(*this == o); }

 private:
  struct Extra {
    ha_vector v{0.0, 0.0, 0.0};
    std::string s;
    CustomValue custom;
  };
  static const Extra kNoExtra;
  Extra& Made() {
    if (extra_ == nullptr) extra_ = std::make_unique<Extra>();
    return *extra_;
  }
  std::unique_ptr<Extra> extra_;
};

// Parameters by ID. The entries are kept in one array sorted by ID: a
// lookup is a binary search over adjacent memory, and an entry costs its
// value and ID only (no tree node). The array grows by a few entries at a
// time, since a container holds tens of parameters, not thousands.
class Container {
 public:
  using Entry = std::pair<int32_t, Value>;
  const Value* Find(int32_t id) const;
  void Set(int32_t id, Value v);
  void Erase(int32_t id);
  // Room for `count` entries in all without growing (an exact size for a
  // container read whole).
  void Reserve(std::size_t count);
  // Writes every entry of `other` over this one.
  void Merge(const Container& other);
  // The entries in ascending ID order.
  const std::vector<Entry>& Entries() const { return entries_; }
  bool operator==(const Container& o) const { return entries_ == o.entries_; }
  // The container's own ID (a message's ID); not part of ==.
  int32_t Id() const { return id_; }
  void SetId(int32_t id) { id_ = id; }

 private:
  std::vector<Entry>::iterator LowerBound(int32_t id);
  std::vector<Entry> entries_;
  int32_t id_ = 0;
  // Where the next Find looks first (the entry after the last found); only
  // a guess, checked before use.
  mutable uint32_t hint_ = 0;
};

// Animation (animation.h): how a key's value goes on to the next key's.
enum class Interpolation : uint8_t { kHold = 0, kLinear = 1, kEase = 2 };
constexpr uint8_t kLastInterpolation = 2;
// A parameter's value at a frame.
struct AnimKey {
  int32_t frame = 0;
  Value value;
  Interpolation interpolation = Interpolation::kLinear;
  bool operator==(const AnimKey& o) const {
    return frame == o.frame && value == o.value && interpolation == o.interpolation;
  }
};
using Track = std::vector<AnimKey>;       // sorted by frame, one key a frame
using Tracks = std::map<int32_t, Track>;  // by parameter ID; no empty track

// A document's time line: frames per second and the frames it plays.
struct TimeLine {
  double fps = 30.0;
  int32_t start = 0;
  int32_t end = 90;
  int32_t current = 0;  // the frame the document was last evaluated at
};

// The host object types the stand-in host knows besides plug-in objects
// (Ospline, Onull, Oextrude, Ocloner, Osplinewrap) and their parameters are
// named in hostapi/abi/ha_ids.h.

// Parameters a user added to an object, beside its description's own.
constexpr int32_t kUserDataFirstId = 700001;
struct UserDataDesc {
  int32_t id = 0;
  std::string name;
  int32_t type = HA_TYPE_NONE;  // a value type or a custom data type ID
};

// A document's spline plane: 0 (XY), 1 (ZY) or 2 (XZ).
constexpr int32_t kFirstSplinePlane = 0;
constexpr int32_t kLastSplinePlane = 2;
// The spline types the host knows; 0 is linear.
constexpr int32_t kFirstSplineType = 0;
constexpr int32_t kLastSplineType = 4;
inline bool IsSplineType(int32_t type) { return type >= kFirstSplineType && type <= kLastSplineType; }

// The host's default name of an object type ("" for unknown types).
std::string DefaultName(int32_t type);
// Whether the host can make objects of this type (plug-in types aside).
bool IsHostType(int32_t type);

// Gives a new host object the parameters the host starts every object of its
// type with. Whoever makes a host object (the user's menu or the module
// through the object suite) calls it, so both get the same object:
//   Extrude NURBS: movement EXTRUDEOBJECT_MOVE = (0, 0, 20), start and end
//                  caps EXTRUDE_START_CAP, EXTRUDE_END_CAP = 1 (plain caps);
//   Cloner:        CLONER_MODE = 1 (linear), 3 clones in a line
//                  (CLONER_LINEAR_COUNT) and 3 along an object
//                  (CLONER_OBJECT_COUNT) at rate 0 (CLONER_OBJECT_RATE), no
//                  object link;
//   Spline Wrap:   SPLINEWRAP_MODE = 0, no spline link (SPLINEWRAP_SPLINE).
// Other types start empty.
void ApplyHostDefaults(Object* op);

class Object {
 public:
  Object(int32_t type, std::string name);
  ~Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  uint64_t Serial() const { return serial_; }
  int32_t Type() const { return type_; }
  const std::string& Name() const { return name_; }
  // Renaming an object in a document keeps the document's index of names current.
  void SetName(std::string n);
  Container& Data() { return data_; }
  const Container& Data() const { return data_; }

  Document* Doc() const { return doc_; }
  Object* Up() const { return up_; }      // null at the top level
  Object* Down() const { return down_; }
  Object* Next() const { return next_; }
  Object* Pred() const { return pred_; }
  bool InTree() const { return doc_ != nullptr; }

  // Parameters the user added, in the order they were added.
  std::vector<UserDataDesc>& UserData() { return userData_; }
  const std::vector<UserDataDesc>& UserData() const { return userData_; }

  // The keys of its parameters (animation.h); an undo step of the object
  // keeps them with its container.
  Tracks& Keys() { return keys_; }
  const Tracks& Keys() const { return keys_; }

  // Spline objects.
  std::vector<ha_vector>& Points() { return points_; }
  bool IsSpline() const { return isSpline_; }
  void MakeSpline(int32_t pointCount, int32_t splineType);
  int32_t SplineType() const { return splineType_; }

  // Plug-in objects: the registered class and the module's instance data.
  const ObjectPlugin* Plugin() const { return plugin_; }
  ha_nodedata NodeData() const { return nodeData_; }
  void AttachPlugin(const ObjectPlugin* plugin, ha_nodedata data) {
    plugin_ = plugin;
    nodeData_ = data;
  }

  ha_object Handle() { return reinterpret_cast<ha_object>(this); }
  static Object* FromHandle(ha_object h);  // null for an unknown handle
  static Object* FindSerial(uint64_t serial);

 private:
  friend class Document;
  uint64_t serial_;
  int32_t type_;
  std::string name_;
  Container data_;
  Document* doc_ = nullptr;
  Object* up_ = nullptr;
  Object* down_ = nullptr;
  Object* next_ = nullptr;
  Object* pred_ = nullptr;
  bool isSpline_ = false;
  int32_t splineType_ = 0;
  std::vector<ha_vector> points_;
  std::vector<UserDataDesc> userData_;
  Tracks keys_;
  const ObjectPlugin* plugin_ = nullptr;
  ha_nodedata nodeData_ = nullptr;
};

// An entry of an undo step.
struct UndoEntry {
  struct Place {
    bool inDoc = false;
    Object* parent = nullptr;
    Object* pred = nullptr;
    Container data;
    // A spline object's own points and type (they are not parameters).
    std::vector<ha_vector> points;
    int32_t splineType = 0;
    Tracks keys;  // the object's parameter keys
  };
  int32_t kind = 0;
  Object* object = nullptr;
  Place before;  // kind 40: the state recorded when the entry was added
  Place after;   // the state taken when the step was undone, put back by redo
  // Undo and redo move containers between the object and its entries and
  // never copy them: while the step waits to be undone `before.data` holds
  // the recorded container, while it waits to be redone `after.data` holds
  // the one undo took away.
};

struct UndoStep {
  std::vector<UndoEntry> entries;
};

class Document {
 public:
  Document();
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  ha_document Handle() { return reinterpret_cast<ha_document>(this); }
  static Document* FromHandle(ha_document h);

  // Top-level objects, first to last.
  Object* First() const { return rootFirst_; }

  // Tree edits. The object is taken out of wherever it was first; the
  // document owns every object it ever held until it is destroyed.
  void Insert(Object* op, Object* parent, Object* pred);
  // Under a parent (which may itself be in no document yet).
  static void InsertUnder(Object* op, Object* parent);
  static void InsertUnderLast(Object* op, Object* parent);
  static void Remove(Object* op);
  // Gives the document ownership of a new object (allocated by the host).
  void Adopt(std::unique_ptr<Object> op);
  bool Owns(const Object* op) const;

  // Objects in tree order (depth first).
  std::vector<Object*> TreeOrder() const;
  // The first object in tree order with this name; null for none. Kept by an
  // index of names, so a name held by one object costs no walk.
  Object* FindNamed(const std::string& name) const;

  // Undo.
  void StartUndo();
  // False, and nothing recorded, when the object's state could not be kept
  // whole (a custom value whose copy could not be made: memory short).
  bool AddUndo(int32_t kind, Object* op);
  void EndUndo();
  // Ends a group like EndUndo, except that a group that recorded nothing
  // forms no step (for an edit that was given up).
  void CancelUndo();
  bool Undo();
  bool Redo();
  // Makes the last two undo steps one (the last one's entries after the
  // other's): dragging a value is one step however many edits it made.
  void JoinLastSteps();
  const std::vector<UndoStep>& UndoSteps() const { return undo_; }
  const std::vector<UndoStep>& RedoSteps() const { return redo_; }
  int UndoDepth() const { return undoDepth_; }
  // While suspended, nothing is recorded: entries are dropped and groups
  // form no step (the host's evaluation of a frame, which is no edit).
  void SuspendUndo(bool suspended) { undoSuspended_ = suspended; }
  bool UndoSuspended() const { return undoSuspended_; }

  // The time line; going to a frame is scene.h's EvaluateFrame.
  TimeLine& Time() { return time_; }
  const TimeLine& Time() const { return time_; }

  int32_t SplinePlane() const { return splinePlane_; }
  void SetSplinePlane(int32_t p) { splinePlane_ = p; }
  // The active object while it is in this document. Moving it (out of its
  // place and in again) keeps it active; taking it out leaves none active.
  Object* Active() const { return active_ != nullptr && active_->doc_ == this ? active_ : nullptr; }
  void SetActive(Object* op) { active_ = op; }
  std::vector<Object*>& Selection() { return selection_; }

 private:
  // `top` is the document whose top-level list takes `op` when parent is null.
  static void Link(Document* top, Object* op, Object* parent, Object* pred);
  friend class Object;  // renaming updates the index of names
  UndoEntry::Place Capture(Object* op) const;
  // Puts `from`'s spline points and type into the object and the object's
  // into `to`.
  static void SwapShape(Object* op, UndoEntry::Place* from, UndoEntry::Place* to);
  void IndexName(Object* op);
  void UnindexName(Object* op);
  // Puts the object in a recorded place (or out of the document).
  void MoveTo(Object* op, const UndoEntry::Place& place);

  Object* rootFirst_ = nullptr;
  std::vector<std::unique_ptr<Object>> owned_;
  static void PrefetchNext(const std::vector<UndoStep>& steps);
  std::vector<UndoStep> undo_;
  std::vector<UndoStep> redo_;
  UndoStep open_;
  int undoDepth_ = 0;
  bool undoSuspended_ = false;
  TimeLine time_;
  int32_t splinePlane_ = 0;
  Object* active_ = nullptr;
  std::vector<Object*> selection_;
  // The objects in the tree under each name (in no particular order), made
  // by the first lookup by name and kept from then on: a document nobody
  // looks up by name (a scene being loaded) pays nothing for it.
  mutable std::unordered_map<std::string, std::vector<Object*>> byName_;
  mutable bool byNameKept_ = false;
};

// Told after every undo and redo a document carried out, so that what shows
// the document (the attribute editor's elements) can follow. One listener;
// null for none.
using UndoListener = void (*)(Document* doc);
void SetUndoListener(UndoListener listener);

// Objects the module allocated and has neither inserted into a document nor
// freed. Inserting one hands it to the document.
Object* NewLooseObject(int32_t type, std::string name);
bool IsLoose(const Object* op);
// Takes a loose object out of the module's hands (the caller owns it then).
std::unique_ptr<Object> TakeLoose(Object* op);
// Frees a loose object; false when the object is not loose.
bool FreeLoose(Object* op);
std::vector<const Object*> LooseObjects();

// Every container the module may name: object containers and the copies the
// module owns.
bool IsLiveContainer(const void* bc);
// The container behind a handle the module passed to `call`; null (and the
// misuse reported) when it is no live container.
Container* CheckContainer(ha_container h, const char* call);
// The object or document behind a handle the module passed to `call`; null
// for null, and null with the misuse reported for an unknown handle.
Object* CheckObject(ha_object h, const char* call);
Document* CheckDocument(ha_document h, const char* call);
// Containers the host lends the module for one call (messages).
void AddLiveContainer(const Container* bc);
void RemoveLiveContainer(const Container* bc);
Container* NewModuleContainer(const Container* copyOf);
bool FreeModuleContainer(Container* bc);
std::size_t ModuleContainerCount();

// Adds a user data parameter of a value type or a custom data type to an
// object: the next free ID from kUserDataFirstId and a new value of the type.
// 0 (with the reason) when the type is unknown or the value cannot be made.
int32_t AddUserData(Object* op, const std::string& name, int32_t type, std::string* error);

}  // namespace host

#endif
