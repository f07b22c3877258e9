// Builders of the scene set-ups around the arrow: an extrusion, a cloner and
// the spline-wrap deformer's place, and the operations that carry later
// changes of the arrow's parameters over to them.
//
// Each builder records its own undo entries (kind 44 after a new object went
// in, kind 40 before an existing one changes or moves); the caller opens and
// closes the undo group. Another object's parameters are only ever written
// through a copy of its container that is merged back; when the copy cannot
// be had, that write, its undo entry and its message are left out.
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

// A new object of `type` at the top of the document, recorded as new.
BaseObject* InsertNew(BaseDocument* doc, Int32 type) {
  BaseObject* op = BaseObject::Alloc(type);
  if (op == nullptr) return nullptr;
  doc->InsertObject(op, nullptr, nullptr, false);
  doc->AddUndo(HA_UNDO_NEW, op);
  return op;
}

}  // namespace

BaseObject* SMPlugin::MakeExtrude(BaseDocument* doc, BaseContainer* bc, GeListNode* node) {
  if (doc == nullptr || bc == nullptr || node == nullptr) return nullptr;
  BaseObject* extrude = InsertNew(doc, Oextrude);
  if (extrude == nullptr) return nullptr;
  if (bc->GetBool(ARROW_EXTRUDE_FILLET)) {
    AutoContainer caps(extrude->GetDataCopy());
    if (caps) {
      WriteFilletCaps(caps.Get());
      extrude->SetData(*caps.Get());
      extrude->Message(HA_MSG_UPDATE);
    }
  }
  BaseObject* arrow = ObjectOf(node);
  doc->AddUndo(HA_UNDO_CHANGE, arrow);
  arrow->Remove();
  doc->AddUndo(HA_UNDO_CHANGE, arrow);
  arrow->InsertUnder(extrude);
  return extrude;
}

void SMPlugin::FilletCaps(BaseObject* extrude, Int32 on, BaseDocument* doc) {
  if (extrude == nullptr || doc == nullptr) return;
  AutoContainer caps(extrude->GetDataCopy());
  if (!caps) return;
  if (on != 0) {
    WriteFilletCaps(caps.Get());
  } else {
    caps->SetInt32(EXTRUDE_START_CAP, kPlainCaps);
    caps->SetInt32(EXTRUDE_END_CAP, kPlainCaps);
  }
  doc->AddUndo(HA_UNDO_CHANGE, extrude);
  extrude->SetData(*caps.Get());
  extrude->Message(HA_MSG_CHANGE);
}

void SMPlugin::AlignExNurbs(GeListNode* node, BaseObject* extrude) {
  if (node == nullptr || extrude == nullptr) return;
  BaseObject* arrow = ObjectOf(node);
  arrow->GetDataInstance()->SetInt32(ARROW_PLANE, 1);
  arrow->Message(HA_MSG_UPDATE);
  AutoContainer settings(extrude->GetDataCopy());
  if (!settings) return;
  const Vector move = settings->GetVector(EXTRUDEOBJECT_MOVE, Vector(0.0, 0.0, 0.0));
  settings->SetVector(EXTRUDEOBJECT_MOVE, Vector(move.z, move.y, 0.0));
  extrude->SetData(*settings.Get());
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

BaseObject* SMPlugin::MakeCloner(BaseDocument* doc, BaseContainer* bc, BaseObject* path) {
  if (doc == nullptr || bc == nullptr) return nullptr;
  BaseObject* cloner = InsertNew(doc, Ocloner);
  if (cloner == nullptr) return nullptr;
  AutoContainer settings(cloner->GetDataCopy());
  if (settings) {
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
    cloner->SetData(*settings.Get());
  }
  return cloner;
}

void SMPlugin::SetClonerCount(BaseObject* cloner, Int32 count, BaseDocument* doc) {
  if (cloner == nullptr || doc == nullptr) return;
  AutoContainer settings(cloner->GetDataCopy());
  if (!settings) return;
  const Bool objectMode = settings->GetInt32(CLONER_MODE) == 0;
  settings->SetInt32(objectMode ? CLONER_OBJECT_COUNT : CLONER_LINEAR_COUNT, count);
  doc->AddUndo(HA_UNDO_CHANGE, cloner);
  cloner->SetData(*settings.Get());
  cloner->Message(HA_MSG_UPDATE);
}

void SMPlugin::SetClonerRate(BaseObject* cloner, Float rate, BaseDocument* doc) {
  if (cloner == nullptr || doc == nullptr) return;
  AutoContainer settings(cloner->GetDataCopy());
  if (!settings || settings->GetInt32(CLONER_MODE) != 0) return;
  settings->SetFloat(CLONER_OBJECT_RATE, rate);
  doc->AddUndo(HA_UNDO_CHANGE, cloner);
  cloner->SetData(*settings.Get());
  cloner->Message(HA_MSG_UPDATE);
}

void SMPlugin::SetClonerSpline(BaseObject* cloner, BaseObject* spline, BaseDocument* doc) {
  if (cloner == nullptr || doc == nullptr) return;
  AutoContainer settings(cloner->GetDataCopy());
  if (!settings || settings->GetInt32(CLONER_MODE) != 0) return;
  settings->SetLink(CLONER_OBJECT_LINK, spline);
  doc->AddUndo(HA_UNDO_CHANGE, cloner);
  cloner->SetData(*settings.Get());
  cloner->Message(HA_MSG_UPDATE);
}
