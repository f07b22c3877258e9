// What the workbench's page shows: the document's state, built from the
// console's print subjects as documents (never from printed text), and the
// 2-D and 3-D views of an object.
#include <algorithm>
#include <cmath>

#include "ha_ids.h"
#include "host_descriptions.h"
#include "mesh.h"
#include "object_names.h"
#include "outline_svg.h"
#include "workbench.h"

namespace host {

namespace {

// The largest mesh the 3-D view takes as JSON.
constexpr std::size_t kViewVertices = 300000;

Json Flat(const std::vector<std::array<double, 3>>& points) {
  Json list = Json::array();
  for (const auto& p : points)
    for (double c : p) list.push_back(std::isfinite(c) ? c : 0.0);
  return list;
}

}  // namespace

Object* Workbench::Impl::Find(const std::string& nameOrPath, std::string* error) {
  ScriptError e;
  Object* op = console->FindObject(nameOrPath, &e);
  if (op == nullptr) *error = e.message;
  return op;
}

Json Workbench::Impl::State(bool withViews) {
  Json state{{"release", S().Release()}, {"arrow_type", ID_TOLVANE}, {"version", version}};
  ScriptError e;
  state["tree"] = console->PrintedDocument("tree serials", &e);
  state["selection"] = console->PrintedDocument("selection", &e);
  const Json undo = console->PrintedDocument("undo", &e);
  state["undo"] = Json{{"undo", undo.at("undo").size()}, {"redo", undo.at("redo").size()}};
  state["console"] = console->PrintedDocument("console", &e);
  state["boxes"] = console->PrintedDocument("boxes", &e);
  state["dialogs"] = console->PrintedDocument("dialogs", &e);
  state["time"] = console->PrintedDocument("time", &e);
  ScriptError guiError;
  state["gui"] = console->PrintedDocument("gui", &guiError);
  state["gui_error"] = state["gui"].is_null() ? Json(guiError.message) : Json(nullptr);
  Object* active = S().Doc()->Active();
  state["active"] = active != nullptr ? ActiveJson(active, withViews) : Json(nullptr);
  state["log"] = Json(std::vector<Json>(log.begin(), log.end()));
  state["recovery"] = recoveryNote.empty() ? Json(nullptr) : Json(recoveryNote);
  return state;
}

Json Workbench::Impl::ActiveJson(Object* op, bool withViews) {
  const std::string at = "@" + std::to_string(op->Serial());
  const bool arrow = console->IsArrow(op);
  Json active{{"serial", op->Serial()},
              {"id", at},
              {"path", PathOf(op)},
              {"name", op->Name()},
              {"type", op->Type()},
              {"kind", arrow ? std::string("arrow") : HostTypeWord(op->Type())},
              {"arrow", arrow}};
  ScriptError e;
  active["userdata"] = console->PrintedDocument("userdata " + at, &e);
  active["params"] = console->PrintedDocument("params " + at, &e);
  active["editor"] = S().DescriptionOf(op) != nullptr ? console->PrintedDocument("editor " + at, &e) : Json(nullptr);
  // The time line is the state's own; of `print keys` the object keeps its keyed parameters.
  const Json keys = console->PrintedDocument("keys " + at, &e);
  active["keys"] = keys.is_object() && keys.contains("params") ? keys["params"] : Json::array();
  if (op->Type() == Ospline) {
    const Value* closed = op->Data().Find(SPLINEOBJECT_CLOSED);
    Json points = Json::array();
    for (const ha_vector& p : op->Points()) points.push_back(Json::array({p.x, p.y, p.z}));
    active["spline"] = Json{{"type", op->SplineType() == 0 ? "linear" : "cubic"},
                            {"closed", closed != nullptr && closed->type == HA_TYPE_INT32 && closed->i != 0},
                            {"points", points}};
  }
  if (withViews) {
    active["preview"] = Preview(op, -1);
    active["view3d"] = View3d(op);
  }
  return active;
}

std::string Workbench::Impl::Preview(Object* op, int plane) {
  Outline outline;
  const std::string title = PathOf(op);
  if (!S().ContourOutline(op, &outline)) {
    return NoteSvg(title + " has no outline of its own: see the 3-D view", kPreviewWidth, kPreviewHeight,
                   "preview-svg");
  }
  SvgStyle style;
  style.width = kPreviewWidth;
  style.height = kPreviewHeight;
  style.margin = 0.12;
  style.guides = true;
  style.title = title;
  style.id = "preview-svg";
  style.background = "#fbfbfd";
  style.plane = plane;
  if (plane < 0 && console->IsArrow(op)) {
    // An arrow is shown in its own plane, whatever its points say.
    if (const ParamDesc* p = S().FindParamOf(op, "ARROW_PLANE")) {
      const Value* v = op->Data().Find(p->id);
      if (v != nullptr && v->type == HA_TYPE_INT32) style.plane = v->i;
    }
  }
  if (plane < 0 && op->Type() == Ospline && outline.points.empty()) style.plane = S().Doc()->SplinePlane();
  std::string svg, error;
  if (!OutlineSvg(outline, style, &svg, &error))
    return NoteSvg(title + ": " + error, kPreviewWidth, kPreviewHeight, "preview-svg");
  return svg;
}

Json Workbench::Impl::View3d(Object* op) {
  Json view{{"object", PathOf(op)}};
  const mesh::Evaluation eval = mesh::Evaluate(S().GetHost(), op);
  if (eval.ok && !eval.mesh.triangles.empty() && eval.mesh.vertices.size() <= kViewVertices) {
    Json positions = Json::array();
    for (const mesh::Vec3& v : eval.mesh.vertices) {
      positions.push_back(v.x);
      positions.push_back(v.y);
      positions.push_back(v.z);
    }
    Json indices = Json::array();
    for (const auto& t : eval.mesh.triangles)
      for (uint32_t i : t) indices.push_back(i);
    view["positions"] = positions;
    view["indices"] = indices;
  } else if (eval.ok && eval.mesh.vertices.size() > kViewVertices) {
    view["reason"] = "the mesh has " + std::to_string(eval.mesh.vertices.size()) +
                     " vertices, more than the view shows; download it instead";
  } else if (!eval.ok) {
    view["reason"] = eval.reason;
  }
  // Outlines and paths as lines: the object's own, and every spline the
  // objects of its subtree follow (a cloner's path, a wrap's spline).
  Json lines = Json::array();
  // The object's own closed outline is also shown filled (an arrow alone).
  const auto addLine = [&](Object* holder) {
    Outline outline;
    if (S().ContourOutline(holder, &outline) && outline.points.size() >= 2)
      lines.push_back(Json{{"points", Flat(outline.points)},
                           {"closed", outline.closed},
                           {"fill", holder == op && outline.closed && outline.points.size() >= 3}});
  };
  std::vector<Object*> todo{op};
  std::vector<Object*> shown;
  while (!todo.empty()) {
    Object* at = todo.back();
    todo.pop_back();
    if (std::find(shown.begin(), shown.end(), at) != shown.end()) continue;
    shown.push_back(at);
    if (at == op || at->Type() == Ospline) addLine(at);
    const int32_t link = at->Type() == Ocloner ? int32_t{CLONER_OBJECT_LINK}
                         : at->Type() == Osplinewrap ? int32_t{SPLINEWRAP_SPLINE}
                                                     : 0;
    const Value* v = link != 0 ? at->Data().Find(link) : nullptr;
    if (v != nullptr && v->type == HA_TYPE_LINK && v->link != 0) {
      Object* target = Object::FindSerial(v->link);
      if (target != nullptr && S().Doc()->Owns(target) && target->Type() == Ospline) todo.push_back(target);
    }
    if (at == op || at->Type() != Ospline)
      for (Object* child = at->Down(); child != nullptr; child = child->Next())
        if (child->Type() != Ospline && !console->IsArrow(child)) todo.push_back(child);
  }
  view["lines"] = lines;
  return view;
}

}  // namespace host
