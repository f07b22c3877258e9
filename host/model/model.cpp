#include "model.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "core.h"
#include "plugins.h"
#include "state.h"

namespace host {

namespace {

FlatMap<uint64_t, Object*>& Serials() { return State().serials; }
HandleSet<Object>& LiveObjects() { return State().objects; }
HandleSet<Container>& Containers() { return State().containers; }
FlatMap<const Object*, std::unique_ptr<Object>>& Loose() { return State().loose; }
std::unordered_map<const Container*, std::unique_ptr<Container>>& ModuleContainers() {
  return State().moduleContainers;
}
HandleSet<Document>& LiveDocuments() { return State().documents; }

}  // namespace

const Value::Extra Value::kNoExtra{};

bool Value::operator==(const Value& o) const {
  if (type != o.type) return false;
  switch (type) {
    case HA_TYPE_INT32: return i == o.i;
    case HA_TYPE_FLOAT: return f == o.f || (f != f && o.f != o.f);
    case HA_TYPE_VECTOR: {
      const ha_vector& a = AsVector();
      const ha_vector& b = o.AsVector();
      return a.x == b.x && a.y == b.y && a.z == b.z;
    }
    case HA_TYPE_STRING: return AsString() == o.AsString();
    case HA_TYPE_LINK: return link == o.link;
    default: return AsCustom().Equals(o.AsCustom());
  }
}

const Value* Container::Find(int32_t id) const {
  // Parameters are mostly read one after another in ID order: the entry
  // after the last one found is tried before the search.
  if (hint_ < entries_.size() && entries_[hint_].first == id) return &entries_[hint_++].second;
  auto it = std::lower_bound(entries_.begin(), entries_.end(), id,
                             [](const Entry& e, int32_t key) { return e.first < key; });
  if (it == entries_.end() || it->first != id) return nullptr;
  hint_ = static_cast<uint32_t>(it - entries_.begin()) + 1;
  return &it->second;
}

std::vector<Container::Entry>::iterator Container::LowerBound(int32_t id) {
  return std::lower_bound(entries_.begin(), entries_.end(), id,
                          [](const Entry& e, int32_t key) { return e.first < key; });
}

void Container::Set(int32_t id, Value v) {
  // IDs set in ascending order (a loaded record, a type's defaults) append.
  if (entries_.empty() || entries_.back().first < id) {
    if (entries_.size() == entries_.capacity())
      entries_.reserve(entries_.size() + std::max<std::size_t>(4, entries_.size() / 8));
    entries_.emplace_back(id, std::move(v));
    return;
  }
  auto it = LowerBound(id);
  if (it != entries_.end() && it->first == id) {
    it->second = std::move(v);
    return;
  }
  if (entries_.size() == entries_.capacity()) {
    // Grow by an eighth (at least four), not by doubling: most containers
    // stop at a few tens of entries, and doubling would leave up to half
    // of the array unused.
    std::size_t at = static_cast<std::size_t>(it - entries_.begin());
    entries_.reserve(entries_.size() + std::max<std::size_t>(4, entries_.size() / 8));
    it = entries_.begin() + static_cast<std::ptrdiff_t>(at);
  }
  entries_.emplace(it, id, std::move(v));
}

void Container::Reserve(std::size_t count) {
  if (count > entries_.capacity()) entries_.reserve(count);
}

void Container::Erase(int32_t id) {
  auto it = LowerBound(id);
  if (it != entries_.end() && it->first == id) entries_.erase(it);
}

void Container::Merge(const Container& other) {
  for (const auto& [id, value] : other.entries_) Set(id, value);
}

std::string DefaultName(int32_t type) {
  switch (type) {
    case Ospline: return "Spline";
    case Onull: return "Null";
    case Oextrude: return "Extrude NURBS";
    case Ocloner: return "Cloner";
    case Osplinewrap: return "Spline Wrap";
    default: return "";
  }
}

bool IsHostType(int32_t type) { return !DefaultName(type).empty(); }

void ApplyHostDefaults(Object* op) {
  Container& bc = op->Data();
  switch (op->Type()) {
    case Oextrude:
      bc.Set(EXTRUDEOBJECT_MOVE, Value::Vec({0.0, 0.0, 20.0}));
      bc.Set(EXTRUDE_START_CAP, Value::Int(1));
      bc.Set(EXTRUDE_END_CAP, Value::Int(1));
      break;
    case Ocloner:
      bc.Set(CLONER_MODE, Value::Int(1));
      bc.Set(CLONER_LINEAR_COUNT, Value::Int(3));
      bc.Set(CLONER_OBJECT_COUNT, Value::Int(3));
      bc.Set(CLONER_OBJECT_RATE, Value::Real(0.0));
      break;
    case Osplinewrap:
      bc.Set(SPLINEWRAP_MODE, Value::Int(0));
      break;
    default:
      break;
  }
}

Object::Object(int32_t type, std::string name)
    : serial_(State().nextSerial++), type_(type), name_(std::move(name)) {
  Serials().Put(serial_, this);
  LiveObjects().Add(this);
  Containers().Add(&data_);
}

Object::~Object() {
  // Children are owned elsewhere (document or the module); they only lose their parent.
  while (down_ != nullptr) Document::Remove(down_);
  Document::Remove(this);
  if (plugin_ != nullptr && nodeData_ != nullptr) plugin_->cls.free(nodeData_);
  Serials().erase(serial_);
  LiveObjects().Remove(this);
  Containers().Remove(&data_);
}

void Object::SetName(std::string n) {
  if (doc_ != nullptr) doc_->UnindexName(this);
  name_ = std::move(n);
  if (doc_ != nullptr) doc_->IndexName(this);
}

void Object::MakeSpline(int32_t pointCount, int32_t splineType) {
  isSpline_ = true;
  splineType_ = splineType;
  points_.assign(static_cast<std::size_t>(pointCount), ha_vector{0.0, 0.0, 0.0});
}

Object* Object::FromHandle(ha_object h) {
  return LiveObjects().Has(h) ? reinterpret_cast<Object*>(h) : nullptr;
}

Object* Object::FindSerial(uint64_t serial) {
  Object** at = Serials().Find(serial);
  return at == nullptr ? nullptr : *at;
}

// ---------------------------------------------------------------------------

void Document::IndexName(Object* op) {
  if (byNameKept_) byName_[op->name_].push_back(op);
}

void Document::UnindexName(Object* op) {
  if (!byNameKept_) return;
  auto it = byName_.find(op->name_);
  if (it == byName_.end()) return;
  std::vector<Object*>& v = it->second;
  // From the back: the tree is mostly taken apart newest first.
  for (std::size_t i = v.size(); i-- > 0;) {
    if (v[i] != op) continue;
    v[i] = v.back();
    v.pop_back();
    break;
  }
  if (v.empty()) byName_.erase(it);
}

Object* Document::FindNamed(const std::string& name) const {
  if (!byNameKept_) {
    for (Object* op : TreeOrder()) byName_[op->name_].push_back(op);
    byNameKept_ = true;
  }
  auto it = byName_.find(name);
  if (it == byName_.end()) return nullptr;
  if (it->second.size() == 1) return it->second.front();
  // A repeated name: the first in tree order, found by the walk TreeOrder makes.
  Object* o = rootFirst_;
  while (o != nullptr) {
    if (o->name_ == name) return o;
    if (o->down_ != nullptr) {
      o = o->down_;
      continue;
    }
    while (o != nullptr && o->next_ == nullptr) o = o->up_;
    if (o != nullptr) o = o->next_;
  }
  return nullptr;
}

Document::Document() { LiveDocuments().Add(this); }

Document::~Document() {
  active_ = nullptr;
  selection_.clear();
  undo_.clear();
  redo_.clear();
  byName_.clear();
  byNameKept_ = false;
  // Take the tree apart first so no object points at a freed neighbour.
  while (rootFirst_ != nullptr) Remove(rootFirst_);
  for (auto& op : owned_) {
    while (op->down_ != nullptr) Remove(op->down_);
  }
  owned_.clear();
  LiveDocuments().Remove(this);
}

Document* Document::FromHandle(ha_document h) {
  return LiveDocuments().Has(h) ? reinterpret_cast<Document*>(h) : nullptr;
}

void Document::Adopt(std::unique_ptr<Object> op) { owned_.push_back(std::move(op)); }

bool Document::Owns(const Object* op) const {
  return std::any_of(owned_.begin(), owned_.end(), [op](const auto& o) { return o.get() == op; });
}

void Document::Remove(Object* op) {
  if (op == nullptr) return;
  Document* doc = op->doc_;
  if (op->pred_ != nullptr) op->pred_->next_ = op->next_;
  if (op->next_ != nullptr) op->next_->pred_ = op->pred_;
  if (op->up_ != nullptr && op->up_->down_ == op) op->up_->down_ = op->next_;
  if (doc != nullptr && op->up_ == nullptr && doc->rootFirst_ == op) doc->rootFirst_ = op->next_;
  op->up_ = op->pred_ = op->next_ = nullptr;
  // The subtree leaves the document (a single object without a list).
  if (op->down_ == nullptr) {
    if (op->doc_ != nullptr) op->doc_->UnindexName(op);
    op->doc_ = nullptr;
    return;
  }
  std::vector<Object*> stack{op};
  while (!stack.empty()) {
    Object* o = stack.back();
    stack.pop_back();
    if (o->doc_ != nullptr) o->doc_->UnindexName(o);
    o->doc_ = nullptr;
    for (Object* c = o->down_; c != nullptr; c = c->next_) stack.push_back(c);
  }
}

void Document::Link(Document* top, Object* op, Object* parent, Object* pred) {
  Remove(op);
  if (pred != nullptr && pred->up_ != parent) pred = nullptr;
  Document* doc = parent != nullptr ? parent->doc_ : top;
  op->up_ = parent;
  if (pred != nullptr) {
    op->pred_ = pred;
    op->next_ = pred->next_;
    if (pred->next_ != nullptr) pred->next_->pred_ = op;
    pred->next_ = op;
  } else {
    Object*& first = parent != nullptr ? parent->down_ : top->rootFirst_;
    op->next_ = first;
    if (first != nullptr) first->pred_ = op;
    first = op;
  }
  if (op->down_ == nullptr) {
    op->doc_ = doc;
    if (doc != nullptr) doc->IndexName(op);
    if (doc != nullptr && IsLoose(op)) doc->Adopt(TakeLoose(op));
    return;
  }
  std::vector<Object*> stack{op};
  while (!stack.empty()) {
    Object* o = stack.back();
    stack.pop_back();
    o->doc_ = doc;
    if (doc != nullptr) doc->IndexName(o);
    // An object entering a document belongs to it from now on.
    if (doc != nullptr && IsLoose(o)) doc->Adopt(TakeLoose(o));
    for (Object* c = o->down_; c != nullptr; c = c->next_) stack.push_back(c);
  }
}

void Document::Insert(Object* op, Object* parent, Object* pred) { Link(this, op, parent, pred); }

void Document::InsertUnder(Object* op, Object* parent) { Link(parent->doc_, op, parent, nullptr); }

void Document::InsertUnderLast(Object* op, Object* parent) {
  Remove(op);
  Object* last = parent->down_;
  while (last != nullptr && last->next_ != nullptr) last = last->next_;
  Link(parent->doc_, op, parent, last);
}

std::vector<Object*> Document::TreeOrder() const {
  // Depth first, an object's children before its next sibling: down where
  // there are children, else on to the next sibling of the nearest object
  // on the way up that has one. Each object is stepped over a bounded
  // number of times, so the cost is linear in the size of the tree.
  std::vector<Object*> out;
  Object* o = rootFirst_;
  while (o != nullptr) {
    out.push_back(o);
    if (o->down_ != nullptr) {
      o = o->down_;
      continue;
    }
    while (o != nullptr && o->next_ == nullptr) o = o->up_;
    if (o != nullptr) o = o->next_;
  }
  return out;
}

// ---------------------------------------------------------------------------
// Undo

void Document::SwapShape(Object* op, UndoEntry::Place* from, UndoEntry::Place* to) {
  // A spline's points go with the state they belong to, like its container.
  to->points = std::move(op->points_);
  to->splineType = op->splineType_;
  op->points_ = std::move(from->points);
  op->splineType_ = from->splineType;
  from->points.clear();
  to->keys = std::move(op->keys_);
  op->keys_ = std::move(from->keys);
  from->keys.clear();
}

UndoEntry::Place Document::Capture(Object* op) const {
  UndoEntry::Place place;
  place.inDoc = op->doc_ == this;
  place.parent = op->up_;
  place.pred = op->pred_;
  place.data = op->data_;
  place.points = op->points_;
  place.splineType = op->splineType_;
  place.keys = op->keys_;
  return place;
}

void Document::MoveTo(Object* op, const UndoEntry::Place& place) {
  if (place.inDoc) {
    Link(this, op, place.parent, place.pred);
  } else {
    Remove(op);
  }
}

void Document::StartUndo() { ++undoDepth_; }

namespace {

// Whether `copy` holds every custom value `from` holds.
bool CopiedWhole(const Container& from, const Container& copy) {
  for (const auto& [id, v] : from.Entries()) {
    const Value* c = copy.Find(id);
    if (v.AsCustom().Holds() && (c == nullptr || !c->AsCustom().Holds())) return false;
  }
  return true;
}

}  // namespace

bool Document::AddUndo(int32_t kind, Object* op) {
  if (undoSuspended_) return true;
  UndoEntry entry;
  entry.kind = kind;
  entry.object = op;
  if (kind == HA_UNDO_CHANGE) {
    entry.before = Capture(op);
    if (!CopiedWhole(op->data_, entry.before.data)) return false;
  }
  if (undoDepth_ > 0) {
    open_.entries.push_back(std::move(entry));
    return true;
  }
  // Outside a group every entry is a step of its own.
  UndoStep step;
  step.entries.push_back(std::move(entry));
  undo_.push_back(std::move(step));
  redo_.clear();
  return true;
}

void Document::EndUndo() {
  if (undoDepth_ == 0) return;
  if (--undoDepth_ > 0) return;
  if (undoSuspended_) {
    open_ = UndoStep();
    return;
  }
  undo_.push_back(std::move(open_));
  open_ = UndoStep();
  redo_.clear();
}

void SetUndoListener(UndoListener listener) { State().undoListener = listener; }

void Document::CancelUndo() {
  if (undoDepth_ == 0) return;
  if (open_.entries.empty() && undoDepth_ == 1) {
    undoDepth_ = 0;
    return;
  }
  EndUndo();
}

// Undo and redo move containers between an object and its entries instead
// of copying them. A container may hold values of a plug-in's data type,
// whose copies the plug-in makes and cannot make when memory is short: a
// copy that failed here would leave such a value empty while undo went on.
// Entries are undone last to first and redone first to last, so each move
// finds the container the other direction left (an object recorded twice in
// a step gets the first recording back).
bool Document::Undo() {
  if (undo_.empty()) return false;
  UndoStep step = std::move(undo_.back());
  undo_.pop_back();
  for (auto it = step.entries.rbegin(); it != step.entries.rend(); ++it) {
    Object* op = it->object;
    it->after = UndoEntry::Place{op->doc_ == this, op->up_, op->pred_, Container(), {}, 0, {}};
    if (it->kind == HA_UNDO_CHANGE) {
      it->after.data = std::move(op->data_);
      op->data_ = std::move(it->before.data);
      it->before.data = Container();
      SwapShape(op, &it->before, &it->after);
      MoveTo(op, it->before);
    } else {
      Remove(op);
    }
  }
  // Every step left to undo may come here: room for them all at once rather
  // than moving the list again and again while a long history is undone.
  if (redo_.size() == redo_.capacity()) redo_.reserve(redo_.size() + undo_.size() + 1);
  redo_.push_back(std::move(step));
  PrefetchNext(undo_);
  if (UndoListener listener = State().undoListener) listener(this);
  return true;
}

void Document::JoinLastSteps() {
  if (undo_.size() < 2) return;
  UndoStep last = std::move(undo_.back());
  undo_.pop_back();
  auto& entries = undo_.back().entries;
  entries.insert(entries.end(), std::make_move_iterator(last.entries.begin()),
                 std::make_move_iterator(last.entries.end()));
}

bool Document::Redo() {
  if (redo_.empty()) return false;
  UndoStep step = std::move(redo_.back());
  redo_.pop_back();
  for (auto& entry : step.entries) {
    Object* op = entry.object;
    if (entry.kind == HA_UNDO_CHANGE) {
      entry.before.data = std::move(op->data_);
      op->data_ = std::move(entry.after.data);
      entry.after.data = Container();
      SwapShape(op, &entry.after, &entry.before);
    }
    MoveTo(op, entry.after);
  }
  undo_.push_back(std::move(step));
  PrefetchNext(redo_);
  if (UndoListener listener = State().undoListener) listener(this);
  return true;
}

// Undoing or redoing a whole history walks steps and objects made far apart
// in memory, each a cache miss that the next call would wait for. Ask ahead
// for the entries of a step a few calls away, and for the objects of a
// nearer step (whose entries were asked for some calls ago).
void Document::PrefetchNext(const std::vector<UndoStep>& steps) {
#if defined(__GNUC__)
  constexpr std::size_t kEntriesAhead = 8, kObjectsAhead = 4;
  const std::size_t n = steps.size();
  if (n >= kEntriesAhead) __builtin_prefetch(steps[n - kEntriesAhead].entries.data());
  if (n >= kObjectsAhead) {
    for (const UndoEntry& e : steps[n - kObjectsAhead].entries) {
      __builtin_prefetch(&e.object->doc_);
      __builtin_prefetch(&e.object->next_);
    }
  }
  // The nearest ones too, for a walk that has only started.
  if (n >= 1) __builtin_prefetch(steps[n - 1].entries.data());
#else
  (void)steps;
#endif
}

// ---------------------------------------------------------------------------

Object* NewLooseObject(int32_t type, std::string name) {
  auto op = std::make_unique<Object>(type, std::move(name));
  Object* raw = op.get();
  Loose().Put(raw, std::move(op));
  return raw;
}

bool IsLoose(const Object* op) { return Loose().Contains(op); }

std::unique_ptr<Object> TakeLoose(Object* op) {
  std::unique_ptr<Object> owned;
  Loose().Take(op, &owned);
  return owned;
}

bool FreeLoose(Object* op) {
  std::unique_ptr<Object> owned = TakeLoose(op);
  return owned != nullptr;
}

std::vector<const Object*> LooseObjects() {
  std::vector<const Object*> out;
  out.reserve(Loose().size());
  Loose().ForEach([&out](const Object* op, const std::unique_ptr<Object>&) { out.push_back(op); });
  return out;
}

bool IsLiveContainer(const void* bc) { return Containers().Has(bc); }

Container* CheckContainer(ha_container h, const char* call) {
  if (!IsLiveContainer(h)) {
    ReportMisuse(std::string(call) + ": unknown container handle");
    return nullptr;
  }
  return reinterpret_cast<Container*>(h);
}
void AddLiveContainer(const Container* bc) { Containers().Add(bc); }
void RemoveLiveContainer(const Container* bc) { Containers().Remove(bc); }

Container* NewModuleContainer(const Container* copyOf) {
  auto bc = copyOf != nullptr ? std::make_unique<Container>(*copyOf) : std::make_unique<Container>();
  Container* raw = bc.get();
  ModuleContainers()[raw] = std::move(bc);
  Containers().Add(raw);
  return raw;
}

bool FreeModuleContainer(Container* bc) {
  auto it = ModuleContainers().find(bc);
  if (it == ModuleContainers().end()) return false;
  Containers().Remove(bc);
  ModuleContainers().erase(it);
  return true;
}

std::size_t ModuleContainerCount() { return ModuleContainers().size(); }

Object* CheckObject(ha_object h, const char* call) {
  Object* op = Object::FromHandle(h);
  if (op == nullptr && h != nullptr) ReportMisuse(std::string(call) + ": unknown object handle");
  return op;
}

Document* CheckDocument(ha_document h, const char* call) {
  Document* doc = Document::FromHandle(h);
  if (doc == nullptr && h != nullptr) ReportMisuse(std::string(call) + ": unknown document handle");
  return doc;
}

int32_t AddUserData(Object* op, const std::string& name, int32_t type, std::string* error) {
  int32_t id = kUserDataFirstId;
  for (const UserDataDesc& d : op->UserData()) id = std::max(id, d.id + 1);
  Value value;
  switch (type) {
    case HA_TYPE_INT32:
    case HA_TYPE_FLOAT:
    case HA_TYPE_VECTOR:
    case HA_TYPE_STRING:
    case HA_TYPE_LINK:
      value.type = type;
      break;
    default: {
      if (FindCustomDataType(type) == nullptr) {
        *error = "no data type " + std::to_string(type) + " is registered";
        return 0;
      }
      CustomValue fresh = CustomValue::New(type);
      if (!fresh.Holds()) {
        *error = "the plug-in could not make a new value (out of memory)";
        return 0;
      }
      value = Value::Custom(std::move(fresh));
    }
  }
  op->UserData().push_back(UserDataDesc{id, name, type});
  op->Data().Set(id, std::move(value));
  return id;
}

}  // namespace host
