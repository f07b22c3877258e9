// Helpers for tests that drive the arrow's commands in a scene: a loaded
// plug-in with a document holding an arrow "A" above a spline "Path", tree
// shapes as short texts, whole-document snapshots, and message records.
#ifndef TESTS_SCENE_KIT_H
#define TESTS_SCENE_KIT_H

#include <cmath>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "fixture.h"

namespace scenekit {

// Host object types the scene tests build with.
constexpr int32_t kExtrude = Oextrude;
constexpr int32_t kCloner = Ocloner;
constexpr int32_t kWrap = Osplinewrap;
constexpr int32_t kNull = Onull;

using host::Document;
using host::Object;
using host::Value;

constexpr int32_t kArrowType = ID_TOLVANE;

// One loaded plug-in of a release with a document in which an arrow "A"
// sits at the top above a spline "Path". The host is shut down, and checked
// for leaks and misuse, when the scene goes.
class Scene {
 public:
  explicit Scene(int release) : session_(std::make_unique<host::Session>(host::SessionOptions{release, "", 0})) {
    std::string error;
    opened_ = session_->Open(&error);
    EXPECT_TRUE(opened_) << error;
    if (!opened_) return;
    path = Add(Ospline, "Path");
    arrow = session_->NewArrow(false, &error);
    EXPECT_NE(arrow, nullptr) << error;
    if (arrow != nullptr) arrow->SetName("A");
  }
  ~Scene() { testkit::ExpectCleanShutdown(session_->GetHost()); }
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  bool Ready() const { return opened_ && arrow != nullptr && path != nullptr; }
  host::Session& S() { return *session_; }
  host::Host& H() { return session_->GetHost(); }
  Document* Doc() { return session_->Doc(); }

  // The ID of an arrow parameter or button in this release.
  int32_t Id(const std::string& name) const {
    const host::ParamDesc* p = session_->FindParam(name);
    EXPECT_NE(p, nullptr) << "no parameter " << name;
    return p != nullptr ? p->id : 0;
  }

  // A new host object made as a user makes it (at the top, one undo step),
  // renamed, and then put under `parent` as its last child when one is given.
  Object* Add(int32_t type, const std::string& name, Object* parent = nullptr) {
    std::string error;
    Object* op = H().CreateObject(Doc(), type, false, &error);
    EXPECT_NE(op, nullptr) << error;
    if (op == nullptr) return nullptr;
    op->SetName(name);
    if (parent != nullptr) Document::InsertUnderLast(op, parent);
    return op;
  }
  // Moves an existing object under `parent`, last (a user's drag).
  void Move(Object* op, Object* parent) { Document::InsertUnderLast(op, parent); }

  // Writes an arrow parameter straight into its container (no message).
  void Put(const std::string& name, const Value& v) { arrow->Data().Set(Id(name), v); }
  void PutBool(const std::string& name, bool on) { Put(name, Value::Int(on ? 1 : 0)); }
  void PutLink(const std::string& name, const Object* target) {
    Put(name, Value::Link(target != nullptr ? target->Serial() : 0));
  }
  // The attribute editor's edit of an arrow parameter (message 17).
  void Edit(const std::string& name, const Value& v) { H().EditParameter(arrow, Id(name), v); }
  // A press of one of the arrow's buttons (message 18).
  void Press(const std::string& button) { H().PressButton(arrow, Id(button)); }

  const Value* Arrow(const std::string& name) const { return arrow->Data().Find(Id(name)); }

  Object* arrow = nullptr;
  Object* path = nullptr;

 private:
  std::unique_ptr<host::Session> session_;
  bool opened_ = false;
};

// The tree as text: names, children in parentheses, siblings separated by
// ", " inside a parent and by " " at the top: "Cloner(Extrude NURBS(A)) Path".
inline void ShapeOf(const Object* op, std::ostringstream& out) {
  out << op->Name();
  if (op->Down() == nullptr) return;
  out << "(";
  for (const Object* c = op->Down(); c != nullptr; c = c->Next()) {
    if (c != op->Down()) out << ", ";
    ShapeOf(c, out);
  }
  out << ")";
}
inline std::string Shape(const Document* doc) {
  std::ostringstream out;
  for (const Object* op = doc->First(); op != nullptr; op = op->Next()) {
    if (op != doc->First()) out << " ";
    ShapeOf(op, out);
  }
  return out.str();
}

// The first object of a type in tree order; null when there is none.
inline Object* FindType(const Document* doc, int32_t type) {
  for (Object* op : doc->TreeOrder())
    if (op->Type() == type) return op;
  return nullptr;
}

inline std::string ValueText(const Value& v) {
  std::ostringstream out;
  switch (v.type) {
    case HA_TYPE_INT32: out << "int " << v.i; break;
    case HA_TYPE_FLOAT: out << "float " << v.f; break;
    case HA_TYPE_VECTOR: out << "vector (" << v.AsVector().x << ", " << v.AsVector().y << ", " << v.AsVector().z << ")"; break;
    case HA_TYPE_STRING: out << "string \"" << v.AsString() << "\""; break;
    case HA_TYPE_LINK: out << "link #" << v.link; break;
    default: out << "type " << v.type; break;
  }
  return out.str();
}

// Every object of the tree with its place and its whole container.
struct Snapshot {
  struct Entry {
    uint64_t serial = 0;
    std::string name;
    uint64_t parent = 0;  // 0 at the top
    uint64_t pred = 0;    // 0 for a first child
    host::Container data;
  };
  std::vector<Entry> entries;

  static Snapshot Of(const Document* doc) {
    Snapshot s;
    for (const Object* op : doc->TreeOrder()) {
      s.entries.push_back({op->Serial(), op->Name(), op->Up() != nullptr ? op->Up()->Serial() : 0,
                           op->Pred() != nullptr ? op->Pred()->Serial() : 0, op->Data()});
    }
    return s;
  }
  // This snapshot with the container of one object replaced.
  Snapshot With(const Object* op, const host::Container& data) const {
    Snapshot s = *this;
    for (Entry& e : s.entries)
      if (e.serial == op->Serial()) e.data = data;
    return s;
  }
};

// "" when equal, else the first difference in words.
inline std::string Diff(const Snapshot& want, const Snapshot& got) {
  if (want.entries.size() != got.entries.size())
    return "object count " + std::to_string(want.entries.size()) + " vs " +
           std::to_string(got.entries.size());
  for (std::size_t i = 0; i < want.entries.size(); ++i) {
    const auto& a = want.entries[i];
    const auto& b = got.entries[i];
    if (a.serial != b.serial) return "object " + std::to_string(i) + ": " + a.name + " vs " + b.name;
    if (a.parent != b.parent || a.pred != b.pred) return a.name + ": another place in the tree";
    for (const auto& [id, v] : a.data.Entries()) {
      const Value* other = b.data.Find(id);
      if (other == nullptr) return a.name + " " + std::to_string(id) + ": " + ValueText(v) + " vs absent";
      if (*other != v) return a.name + " " + std::to_string(id) + ": " + ValueText(v) + " vs " + ValueText(*other);
    }
    for (const auto& [id, v] : b.data.Entries())
      if (a.data.Find(id) == nullptr) return a.name + " " + std::to_string(id) + ": absent vs " + ValueText(v);
  }
  return "";
}

// Messages the host saw from position `from` on, as "name:type".
inline std::vector<std::string> MessagesSince(host::Host& h, std::size_t from) {
  std::vector<std::string> out;
  for (std::size_t i = from; i < h.Messages().size(); ++i)
    out.push_back(h.Messages()[i].name + ":" + std::to_string(h.Messages()[i].type));
  return out;
}

// The kinds and object names of the entries of an undo step: "40 A".
inline std::vector<std::string> StepEntries(const host::UndoStep& step) {
  std::vector<std::string> out;
  for (const host::UndoEntry& e : step.entries) out.push_back(std::to_string(e.kind) + " " + e.object->Name());
  return out;
}

inline Value Vec(double x, double y, double z) { return Value::Vec(ha_vector{x, y, z}); }

// The parameters a host object of `type` starts with.
inline host::Container HostDefaults(int32_t type) {
  Object probe(type, host::DefaultName(type));
  host::ApplyHostDefaults(&probe);
  return probe.Data();
}

}  // namespace scenekit

#endif
