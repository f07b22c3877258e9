// The arrow's message handler: the menu-prepare message, the buttons of its
// description, and the reactions to parameter changes that carry a new value
// over to the set-ups built around the arrow earlier.
//
// The handler keeps no state: what it needs is read from the arrow's
// container and from the object tree at the time of the call. Commands that
// record undo entries, insert objects or resolve links need the arrow's
// document; an arrow in no document gets only the preset save and the
// information box.
//
// A command either completes or leaves the document, its undo stack
// included, as it was: it takes every new object and container copy it will
// need (BuildParts) before it opens its undo group, and when one cannot be
// had it frees what it took and returns without a step. The host offers the
// module no way to tell the user about such a failure (its console serves
// the loading lines, and a message box needs memory too), so the unchanged
// document is the whole report.
#include "flavour.h"
#include "tolvane.h"

namespace {

constexpr Int32 kMessageBoxFlags = 48;  // an information box with an OK button

BaseObject* ObjectOf(GeListNode* node) { return static_cast<BaseObject*>(node); }

Bool IsType(const BaseObject* op, Int32 type) { return op != nullptr && op->GetType() == type; }

// The cloner of the arrow: its parent, or its grandparent through any other
// object. Null when the arrow has no parent.
BaseObject* ClonerOf(BaseObject* parent) {
  if (parent == nullptr) return nullptr;
  if (IsType(parent, Ocloner)) return parent;
  BaseObject* grand = parent->GetUp();
  return IsType(grand, Ocloner) ? grand : nullptr;
}

// Takes `op` out of its place and puts it under `parent` as the first child,
// recording the object before and after it leaves its place.
void MoveUnder(BaseDocument* doc, BaseObject* op, BaseObject* parent) {
  doc->AddUndo(HA_UNDO_CHANGE, op);
  op->Remove();
  doc->AddUndo(HA_UNDO_CHANGE, op);
  op->InsertUnder(parent);
}

void CommandExtrude(SMPlugin& self, GeListNode* node, BaseDocument* doc, BaseContainer* bc) {
  BaseObject* arrow = ObjectOf(node);
  BaseObject* parent = arrow->GetUp();
  if (IsType(parent, Oextrude)) {
    // Under an extrusion already: nothing to build.
    doc->StartUndo();
    doc->EndUndo();
    return;
  }
  BuildParts parts;
  Bool align = false;
  if (IsType(parent, Ocloner)) {
    // Clones following an object get the extrusion turned to the path.
    const BaseContainer* cloner = parts.Copy(parent);
    if (cloner == nullptr) return;
    align = cloner->GetInt32(CLONER_MODE) == 0 && cloner->GetObjectLink(CLONER_OBJECT_LINK, doc) != nullptr;
  }
  NewObject made;
  if (!self.TakeExtrude(bc, align, parts, &made)) return;

  doc->StartUndo();
  BaseObject* extrude = self.MakeExtrude(doc, bc, node, made, parts);
  if (parent != nullptr) MoveUnder(doc, extrude, parent);
  self.ChangeSWD(node, extrude, doc);
  if (align) self.AlignExNurbs(node, extrude, made.settings);
  doc->EndUndo();
}

void CommandCloner(SMPlugin& self, GeListNode* node, BaseDocument* doc, BaseContainer* bc) {
  BaseObject* arrow = ObjectOf(node);
  BaseObject* path = bc->GetObjectLink(ARROW_CLONE_SPLINE, doc);
  const Bool onSpline = bc->GetBool(ARROW_CLONE_ON_SPLINE);
  if (onSpline && path == nullptr) return;
  BaseObject* parent = arrow->GetUp();
  if (ClonerOf(parent) != nullptr) return;  // the arrow has its cloner already

  const Bool align = onSpline && bc->GetBool(ARROW_CLONE_ALIGN) && path != nullptr;
  const Bool extruded = parent == nullptr && bc->GetBool(ARROW_CLONE_EXTRUDED);
  BuildParts parts;
  NewObject made;
  if (!self.TakeCloner(parts, &made)) return;
  BaseContainer* parentSettings = nullptr;  // the arrow's extrusion's, to align it
  if (IsType(parent, Oextrude) && align) {
    parentSettings = parts.Copy(parent);
    if (parentSettings == nullptr) return;
  }
  NewObject extrusion;
  if (extruded && !self.TakeExtrude(bc, align, parts, &extrusion)) return;

  doc->StartUndo();
  BaseObject* cloner = self.MakeCloner(doc, bc, path, made, parts);
  if (IsType(parent, Oextrude)) {
    MoveUnder(doc, parent, cloner);
    if (align) {
      // Aligning turns the arrow's plane; the arrow itself was not moved, so
      // it is recorded here to let undo give the plane back too.
      doc->AddUndo(HA_UNDO_CHANGE, arrow);
      self.AlignExNurbs(node, parent, parentSettings);
    }
  } else if (parent != nullptr) {
    // Under some other object: the cloner stays empty at the top.
  } else if (extruded) {
    BaseObject* extrude = self.MakeExtrude(doc, bc, node, extrusion, parts);
    MoveUnder(doc, extrude, cloner);
    if (align) self.AlignExNurbs(node, extrude, extrusion.settings);
  } else {
    MoveUnder(doc, arrow, cloner);
    if (align) {
      bc->SetInt32(ARROW_PLANE, 1);
      arrow->Message(HA_MSG_UPDATE);
    }
  }
  cloner->Message(HA_MSG_UPDATE);
  doc->EndUndo();
}

void CommandSplineWrap(SMPlugin& self, GeListNode* node, BaseDocument* doc, BaseContainer* bc) {
  BaseObject* arrow = ObjectOf(node);
  BaseObject* wrapSpline = bc->GetObjectLink(ARROW_WRAP_SPLINE, doc);
  if (wrapSpline == nullptr) return;
  if (self.GetSplineWrapDeformer(node) != nullptr) return;  // one deformer per arrow

  BaseObject* parent = arrow->GetUp();
  const Bool extruded = !IsType(parent, Oextrude) && bc->GetBool(ARROW_WRAP_EXTRUDED);
  // A deformer that is not placed in the scene is freed with the parts,
  // after the undo group is closed.
  BuildParts parts;
  NewObject made;
  if (!parts.Take(Osplinewrap, true, &made)) return;
  NewObject extrusion;
  if (extruded && !self.TakeExtrude(bc, false, parts, &extrusion)) return;
  BaseObject* deformer = made.op;

  doc->StartUndo();
  const auto place = [&](BaseObject* under, Bool last) {
    if (last) {
      deformer->InsertUnderLast(under);
    } else {
      deformer->InsertUnder(under);
    }
    parts.Placed(deformer);
    doc->AddUndo(HA_UNDO_NEW, deformer);
  };
  if (IsType(parent, Oextrude)) {
    place(parent, true);  // whatever the extrusion switch says
  } else if (extruded) {
    BaseObject* extrude = self.MakeExtrude(doc, bc, node, extrusion, parts);
    MoveUnder(doc, arrow, extrude);  // where the extrusion put it already
    if (parent != nullptr) MoveUnder(doc, extrude, parent);
    place(extrude, true);
  } else if (parent == nullptr) {
    place(arrow, false);
  }
  // Under some other object without extrusion: the deformer is not placed.

  made.settings->SetInt32(SPLINEWRAP_MODE, bc->GetInt32(ARROW_WRAP_MODE) != 0 ? 1 : 0);
  made.settings->SetLink(SPLINEWRAP_SPLINE, wrapSpline);
  deformer->SetData(*made.settings);
  deformer->Message(HA_MSG_UPDATE);
  if (bc->GetBool(ARROW_WRAP_NATURAL_POINTS)) {
    // Recorded so that undoing the command gives the interpolation back too.
    doc->AddUndo(HA_UNDO_CHANGE, arrow);
    bc->SetInt32(ARROW_POINT_INTERPOLATION, 1);
    arrow->Message(HA_MSG_UPDATE);
  }
  doc->EndUndo();
}

void RunCommand(SMPlugin& self, GeListNode* node, Int32 button) {
  BaseObject* arrow = ObjectOf(node);
  BaseDocument* doc = arrow->GetDocument();
  BaseContainer* bc = arrow->GetDataInstance();

  // Commands that work without a document.
  if (button == ARROW_SAVE_PRESET) {
    self.WritePreset(node);
    return;
  }
  if (button == ARROW_SHOW_INFO && ARROW_SHOW_INFO != kNoDescriptionId) {
    const String text = GeLoadString(IDS_TOLVANE_INFO);
    if (text.IsValid()) GeOutString(text, kMessageBoxFlags);
    return;
  }
  if (doc == nullptr) return;

  switch (button) {
    case ARROW_LOAD_PRESET:
      if (self.LoadPreset(node, doc)) arrow->Message(HA_MSG_UPDATE);
      break;
    case ARROW_RESET:
      doc->StartUndo();
      doc->AddUndo(HA_UNDO_CHANGE, arrow);
      self.ResetValues(node);
      arrow->Message(HA_MSG_UPDATE);
      doc->EndUndo();
      break;
    case ARROW_MAKE_EXTRUDE:
      CommandExtrude(self, node, doc, bc);
      break;
    case ARROW_MAKE_CLONER:
      CommandCloner(self, node, doc, bc);
      break;
    case ARROW_MAKE_SPLINE_WRAP:
      CommandSplineWrap(self, node, doc, bc);
      break;
    default:
      break;
  }
}

// Reactions to a changed parameter. The host has already written the new
// value into the arrow, inside its own undo step for the edit, when it tells
// the module. A reaction that carries the value over takes its container
// copy first; when the copy cannot be had the set-up cannot follow, so the
// arrow's parameter is put back to the value the set-up holds: arrow and
// set-up agree, the set-up is untouched, and nothing but the host's own
// entry for the arrow is recorded. The arrow's parameter is written in place
// (no memory needed) and no message is sent for it.
//
// Each reaction below keeps one set-up in step with one parameter (or, for
// the spline wrap's spline and mode, a pair); ParameterChanged reads what
// they share once and hands the change to the one that follows it.

// A changed parameter of an arrow in a document, and the set-ups around it.
struct Change {
  SMPlugin& self;
  GeListNode* node;
  BaseObject* arrow;
  BaseDocument* doc;
  BaseContainer* bc;
  BaseObject* parent;
  BaseObject* cloner;         // ClonerOf(parent)
  const BaseContainer* held;  // the cloner's container, read in place; null without a cloner
  Bool objectMode;            // the cloner clones along an object
  Int32 id;
};

// The extrusion: the fillet caps.
void ExtrusionFollowsFillet(const Change& c) {
  if (!IsType(c.parent, Oextrude)) return;
  if (!c.self.FilletCaps(c.parent, c.bc->GetBool(ARROW_EXTRUDE_FILLET) ? 1 : 0, c.doc)) {
    c.bc->SetBool(ARROW_EXTRUDE_FILLET, SMPlugin::HasFilletCaps(c.parent));  // put back
  }
}

// The cloner: the number of clones, in whichever mode it is.
void ClonerFollowsCount(const Change& c) {
  if (c.cloner != nullptr && !c.self.SetClonerCount(c.cloner, c.bc->GetInt32(ARROW_CLONE_COUNT), c.doc)) {
    const Int32 heldCount = c.objectMode ? CLONER_OBJECT_COUNT : CLONER_LINEAR_COUNT;
    c.bc->SetInt32(ARROW_CLONE_COUNT, c.held->GetInt32(heldCount));
  }
}

// The cloner: the path it clones along. A cloner in another mode keeps its
// path and needs no copy.
void ClonerFollowsSpline(const Change& c) {
  BaseObject* path = c.bc->GetObjectLink(ARROW_CLONE_SPLINE, c.doc);
  if (c.cloner != nullptr && !c.self.SetClonerSpline(c.cloner, path, c.doc)) {
    c.bc->SetLink(ARROW_CLONE_SPLINE, c.held->GetObjectLink(CLONER_OBJECT_LINK, c.doc));
  }
}

// The cloner: the rate along the path. As the path: only a cloner in object
// mode takes the rate.
void ClonerFollowsRate(const Change& c) {
  if (c.cloner != nullptr && !c.self.SetClonerRate(c.cloner, c.bc->GetFloat(ARROW_CLONE_RATE), c.doc)) {
    c.bc->SetFloat(ARROW_CLONE_RATE, c.held->GetFloat(CLONER_OBJECT_RATE));
  }
}

// Clones on a path: the arrow's plane turns to the path when aligned.
void ClonesFollowAlign(const Change& c) {
  if (c.bc->GetBool(ARROW_CLONE_ON_SPLINE) && c.bc->GetObjectLink(ARROW_CLONE_SPLINE, c.doc) != nullptr) {
    c.bc->SetInt32(ARROW_PLANE, c.bc->GetBool(ARROW_CLONE_ALIGN) ? 1 : 0);
    c.arrow->Message(HA_MSG_UPDATE);
  }
}

// The spline wrap deformer: its spline or its mode, whichever changed.
void SplineWrapFollowsSettings(const Change& c) {
  BaseObject* deformer = c.self.GetSplineWrapDeformer(c.node);
  if (deformer == nullptr) return;
  const Bool spline = c.id == ARROW_WRAP_SPLINE;
  AutoContainer settings(deformer->GetDataCopy());
  if (!settings) {
    const BaseContainer* wrap = deformer->GetDataInstance();
    if (spline) {
      c.bc->SetLink(ARROW_WRAP_SPLINE, wrap->GetObjectLink(SPLINEWRAP_SPLINE, c.doc));
    } else {
      c.bc->SetBool(ARROW_WRAP_MODE, wrap->GetInt32(SPLINEWRAP_MODE) != 0);
    }
    return;
  }
  if (spline) {
    settings->SetLink(SPLINEWRAP_SPLINE, c.bc->GetObjectLink(ARROW_WRAP_SPLINE, c.doc));
  } else {
    settings->SetInt32(SPLINEWRAP_MODE, c.bc->GetInt32(ARROW_WRAP_MODE) != 0 ? 1 : 0);
  }
  c.doc->AddUndo(HA_UNDO_CHANGE, deformer);
  deformer->SetData(*settings.Get());
  deformer->Message(HA_MSG_CHANGE);
}

// The spline wrap: a wrapped arrow's point interpolation.
void SplineWrapFollowsNaturalPoints(const Change& c) {
  if (c.self.GetSplineWrapDeformer(c.node) != nullptr) {
    c.doc->AddUndo(HA_UNDO_CHANGE, c.arrow);
    c.bc->SetInt32(ARROW_POINT_INTERPOLATION, c.bc->GetBool(ARROW_WRAP_NATURAL_POINTS) ? 1 : 3);
    c.arrow->Message(HA_MSG_UPDATE);
  }
}

void ParameterChanged(SMPlugin& self, GeListNode* node, Int32 id) {
  BaseObject* arrow = ObjectOf(node);
  BaseDocument* doc = arrow->GetDocument();
  if (doc == nullptr) return;
  BaseContainer* bc = arrow->GetDataInstance();
  BaseObject* parent = arrow->GetUp();
  BaseObject* cloner = ClonerOf(parent);
  const BaseContainer* held = cloner != nullptr ? cloner->GetDataInstance() : nullptr;
  const Bool objectMode = held != nullptr && held->GetInt32(CLONER_MODE) == 0;
  const Change change{self, node, arrow, doc, bc, parent, cloner, held, objectMode, id};

  switch (id) {
    case ARROW_EXTRUDE_FILLET: ExtrusionFollowsFillet(change); break;
    case ARROW_CLONE_COUNT: ClonerFollowsCount(change); break;
    case ARROW_CLONE_SPLINE: ClonerFollowsSpline(change); break;
    case ARROW_CLONE_RATE: ClonerFollowsRate(change); break;
    case ARROW_CLONE_ALIGN: ClonesFollowAlign(change); break;
    case ARROW_WRAP_SPLINE:
    case ARROW_WRAP_MODE: SplineWrapFollowsSettings(change); break;
    case ARROW_WRAP_NATURAL_POINTS: SplineWrapFollowsNaturalPoints(change); break;
    default: break;
  }
}

}  // namespace

Bool SMPlugin::Message(GeListNode* node, Int32 type, void* data) {
  if (node == nullptr || data == nullptr) return true;
  switch (type) {
    case HA_MSG_MENUPREPARE:
      ObjectOf(node)->GetDataInstance()->SetInt32(
          ARROW_PLANE, static_cast<BaseDocument*>(data)->GetSplinePlane());
      break;
    case HA_MSG_DESCRIPTION_COMMAND:
      RunCommand(*this, node, static_cast<const DescriptionCommand*>(data)->id[0].id);
      break;
    case HA_MSG_DESCRIPTION_POSTSETPARAMETER: {
      const DescID* id = static_cast<const DescriptionPostSetValue*>(data)->descid;
      if (id != nullptr) ParameterChanged(*this, node, (*id)[0].id);
      break;
    }
    default:
      break;
  }
  return true;
}
