// Builders of the scene set-ups around the arrow: an extrusion, a cloner and
// the spline-wrap deformer's place, and the operations that carry later
// changes of the arrow's parameters over to them.
//
// Each builder records its own undo entries (kind 44 after a new object went
// in, kind 40 before an existing one changes or moves); the caller opens and
// closes the undo group. Another object's parameters are only ever written
// through a copy of its container that is merged back.
//
// A command either completes or leaves the document as it was: everything
// that can fail (new objects, container copies) is taken into BuildParts
// before the command changes anything, so the builders that make and place
// objects work only with what was taken ahead and cannot fail half-way. The
// reactions to a changed parameter take their one copy first and answer
// false, having done nothing, when it cannot be had.
#include "flavour.h"
#include "tolvane.h"

namespace {

constexpr Int32 kPlainCaps = 1;
constexpr Int32 kFilletCaps = 3;
constexpr Int32 kFilletSetting = 5;

BaseObject* ObjectOf(GeListNode* node) { return static_cast<BaseObject*>(node); }

void WriteFilletCaps(BaseContainer* bc) {
  bc->SetInt32(EXTRUDE_START_CAP, kFilletCaps);
  bc->SetInt32(EXTRUDE_END_CAP, kFilletCaps);
  bc->SetInt32(EXTRUDE_START_FILLET, kFilletSetting);
  bc->SetInt32(EXTRUDE_END_FILLET, kFilletSetting);
  bc->SetBool(EXTRUDE_FILLET_ON, true);
}

// The first Spline Wrap deformer in the list that starts at `op` and goes on
// through `step`.
BaseObject* FirstDeformer(BaseObject* op, BaseObject* (BaseObject::*step)() const) {
  for (; op != nullptr; op = (op->*step)()) {
    if (op->GetType() == Osplinewrap) return op;
  }
  return nullptr;
}

// A new object taken ahead, put at the top of the document and recorded as new.
void InsertNew(BaseDocument* doc, BaseObject* op, BuildParts& parts) {
  doc->InsertObject(op, nullptr, nullptr, false);
  parts.Placed(op);
  doc->AddUndo(HA_UNDO_NEW, op);
}

}  // namespace

BuildParts::~BuildParts() {
  for (BaseContainer*& copy : copies_) BaseContainer::Free(copy);
  for (BaseObject*& op : objects_) {
    if (op != nullptr) BaseObject::Free(op);
  }
}

BaseContainer* BuildParts::Copy(const BaseObject* op) {
  for (BaseContainer*& slot : copies_) {
    if (slot == nullptr) return slot = op->GetDataCopy();
  }
  return nullptr;
}

Bool BuildParts::Take(Int32 type, Bool withSettings, NewObject* out) {
  for (BaseObject*& slot : objects_) {
    if (slot != nullptr) continue;
    out->op = slot = BaseObject::Alloc(type);
    if (out->op == nullptr) return false;
    if (!withSettings) return true;
    out->settings = Copy(out->op);
    return out->settings != nullptr;
  }
  return false;
}

void BuildParts::Placed(const BaseObject* op) {
  for (BaseObject*& slot : objects_) {
    if (slot == op) slot = nullptr;
  }
}

// One copy of a new extrusion's container serves both the caps and a later
// alignment: nothing else writes that container in between.
Bool SMPlugin::TakeExtrude(BaseContainer* bc, Bool align, BuildParts& parts, NewObject* out) {
  return parts.Take(Oextrude, align || bc->GetBool(ARROW_EXTRUDE_FILLET), out);
}

BaseObject* SMPlugin::MakeExtrude(BaseDocument* doc, BaseContainer* bc, GeListNode* node, const NewObject& made,
                                  BuildParts& parts) {
  BaseObject* extrude = made.op;
  InsertNew(doc, extrude, parts);
  if (bc->GetBool(ARROW_EXTRUDE_FILLET)) {
    WriteFilletCaps(made.settings);
    extrude->SetData(*made.settings);
    extrude->Message(HA_MSG_UPDATE);
  }
  BaseObject* arrow = ObjectOf(node);
  doc->AddUndo(HA_UNDO_CHANGE, arrow);
  arrow->Remove();
  doc->AddUndo(HA_UNDO_CHANGE, arrow);
  arrow->InsertUnder(extrude);
  return extrude;
}

Bool SMPlugin::FilletCaps(BaseObject* extrude, Int32 on, BaseDocument* doc) {
  if (extrude == nullptr || doc == nullptr) return true;
  AutoContainer caps(extrude->GetDataCopy());
  if (!caps) return false;
  if (on != 0) {
    WriteFilletCaps(caps.Get());
  } else {
    caps->SetInt32(EXTRUDE_START_CAP, kPlainCaps);
    caps->SetInt32(EXTRUDE_END_CAP, kPlainCaps);
  }
  doc->AddUndo(HA_UNDO_CHANGE, extrude);
  extrude->SetData(*caps.Get());
  extrude->Message(HA_MSG_CHANGE);
  return true;
}

Bool SMPlugin::HasFilletCaps(const BaseObject* extrude) {
  const BaseContainer* bc = extrude->GetDataInstance();
  return bc->GetInt32(EXTRUDE_START_CAP) == kFilletCaps && bc->GetInt32(EXTRUDE_END_CAP) == kFilletCaps;
}

void SMPlugin::AlignExNurbs(GeListNode* node, BaseObject* extrude, BaseContainer* settings) {
  BaseObject* arrow = ObjectOf(node);
  arrow->GetDataInstance()->SetInt32(ARROW_PLANE, 1);
  arrow->Message(HA_MSG_UPDATE);
  const Vector move = settings->GetVector(EXTRUDEOBJECT_MOVE, Vector(0.0, 0.0, 0.0));
  settings->SetVector(EXTRUDEOBJECT_MOVE, Vector(move.z, move.y, 0.0));
  extrude->SetData(*settings);
  extrude->Message(HA_MSG_UPDATE);
}

BaseObject* SMPlugin::GetSplineWrapDeformer(GeListNode* node) {
  if (node == nullptr) return nullptr;
  BaseObject* arrow = ObjectOf(node);
  if (BaseObject* child = FirstDeformer(arrow->GetDown(), &BaseObject::GetNext)) return child;
  if (BaseObject* before = FirstDeformer(arrow->GetPred(), &BaseObject::GetPred)) return before;
  return FirstDeformer(arrow->GetNext(), &BaseObject::GetNext);
}

void SMPlugin::ChangeSWD(GeListNode* node, BaseObject* extrude, BaseDocument* doc) {
  if (extrude == nullptr || doc == nullptr) return;
  BaseObject* deformer = GetSplineWrapDeformer(node);
  if (deformer == nullptr) return;
  doc->AddUndo(HA_UNDO_CHANGE, deformer);
  deformer->Remove();
  doc->AddUndo(HA_UNDO_CHANGE, deformer);
  deformer->InsertUnderLast(extrude);
}

Bool SMPlugin::TakeCloner(BuildParts& parts, NewObject* out) { return parts.Take(Ocloner, true, out); }

BaseObject* SMPlugin::MakeCloner(BaseDocument* doc, BaseContainer* bc, BaseObject* path, const NewObject& made,
                                 BuildParts& parts) {
  BaseObject* cloner = made.op;
  BaseContainer* settings = made.settings;
  InsertNew(doc, cloner, parts);
  if (bc->GetBool(ARROW_CLONE_ON_SPLINE)) {
    settings->SetInt32(CLONER_MODE, 0);
    settings->SetInt32(CLONER_FLAG, 1);
    settings->SetInt32(CLONER_OBJECT_COUNT, bc->GetInt32(ARROW_CLONE_COUNT));
    settings->SetFloat(CLONER_OBJECT_RATE, bc->GetFloat(ARROW_CLONE_RATE));
    settings->SetLink(CLONER_OBJECT_LINK, path);
  } else {
    settings->SetInt32(CLONER_MODE, 1);
    settings->SetInt32(CLONER_FLAG, 1);
    settings->SetInt32(CLONER_LINEAR_COUNT, bc->GetInt32(ARROW_CLONE_COUNT));
  }
  cloner->SetData(*settings);
  return cloner;
}

Bool SMPlugin::SetClonerCount(BaseObject* cloner, Int32 count, BaseDocument* doc) {
  if (cloner == nullptr || doc == nullptr) return true;
  AutoContainer settings(cloner->GetDataCopy());
  if (!settings) return false;
  const Bool objectMode = settings->GetInt32(CLONER_MODE) == 0;
  settings->SetInt32(objectMode ? CLONER_OBJECT_COUNT : CLONER_LINEAR_COUNT, count);
  doc->AddUndo(HA_UNDO_CHANGE, cloner);
  cloner->SetData(*settings.Get());
  cloner->Message(HA_MSG_UPDATE);
  return true;
}

// Rate and path reach a cloner only in object mode. The mode is read from
// the cloner itself, so a cloner in another mode needs no copy: there is
// nothing to carry and nothing that can fail.
Bool SMPlugin::SetClonerRate(BaseObject* cloner, Float rate, BaseDocument* doc) {
  if (cloner == nullptr || doc == nullptr) return true;
  if (cloner->GetDataInstance()->GetInt32(CLONER_MODE) != 0) return true;
  AutoContainer settings(cloner->GetDataCopy());
  if (!settings) return false;
  settings->SetFloat(CLONER_OBJECT_RATE, rate);
  doc->AddUndo(HA_UNDO_CHANGE, cloner);
  cloner->SetData(*settings.Get());
  cloner->Message(HA_MSG_UPDATE);
  return true;
}

Bool SMPlugin::SetClonerSpline(BaseObject* cloner, BaseObject* spline, BaseDocument* doc) {
  if (cloner == nullptr || doc == nullptr) return true;
  if (cloner->GetDataInstance()->GetInt32(CLONER_MODE) != 0) return true;
  AutoContainer settings(cloner->GetDataCopy());
  if (!settings) return false;
  settings->SetLink(CLONER_OBJECT_LINK, spline);
  doc->AddUndo(HA_UNDO_CHANGE, cloner);
  cloner->SetData(*settings.Get());
  cloner->Message(HA_MSG_UPDATE);
  return true;
}
