#include "crossing_hint.h"

#include <memory>
#include <vector>

#include "attribute_editor.h"
#include "extrude.h"
#include "mesh_internal.h"
#include "model.h"
#include "scene.h"

namespace host {
namespace mesh {

namespace {

bool IsCrossing(const std::string& reason) {
  return reason.find("crosses or touches itself") != std::string::npos ||
         reason.find("folds back on itself") != std::string::npos;
}

// The first arrow of the module in `op`'s subtree, `op` included.
Object* ArrowIn(Session& s, Object* op) {
  if (op == nullptr) return nullptr;
  if (op->Plugin() != nullptr && op->Plugin() == s.ArrowPlugin()) return op;
  for (Object* child = op->Down(); child != nullptr; child = child->Next())
    if (Object* found = ArrowIn(s, child)) return found;
  return nullptr;
}

// Whether the arrow's outline, as it now is, makes a solid.
bool OutlineIsUsable(Session& s, Object* arrow) {
  Outline outline;
  if (!s.ContourOutline(arrow, &outline) || !outline.closed) return false;
  std::vector<Vec3> points;
  for (const auto& p : outline.points) points.push_back(Vec3{p[0], p[1], p[2]});
  return Extrude(points, Vec3{0.0, 0.0, 20.0}, CapSettings(), CapSettings()).ok;
}

std::string Shown(const ParamDesc& param, const Value& v) {
  if (param.type == "bool") return v.i != 0 ? "on" : "off";
  if (param.type == "int32") return std::to_string(v.i);
  return ShowNumber(param, v.f);
}

// The values of a new arrow: the module's defaults.
bool Defaults(Session& s, Container* out) {
  Object* fresh = MakePluginObject(*s.ArrowPlugin());
  if (fresh == nullptr) return false;
  *out = fresh->Data();
  FreeLoose(fresh);
  return true;
}

}  // namespace

std::string CrossingHint(Session& s, Object* op, const std::string& reason) {
  if (!IsCrossing(reason) || s.ArrowPlugin() == nullptr) return "";
  Object* arrow = ArrowIn(s, op);
  Container defaults;
  if (arrow == nullptr || s.ArrowDescription() == nullptr || !Defaults(s, &defaults)) return "";
  Container& data = arrow->Data();
  std::vector<std::string> culprits;
  for (const ParamDesc& p : s.ArrowDescription()->params) {
    if (p.type != "float" && p.type != "bool" && p.type != "int32") continue;
    const Value* now = data.Find(p.id);
    const Value* initial = defaults.Find(p.id);
    if (now == nullptr || initial == nullptr || now->type != initial->type) continue;
    if (now->type == HA_TYPE_FLOAT ? now->f == initial->f : now->i == initial->i) continue;
    const Value kept = *now;
    data.Set(p.id, *initial);
    const bool usable = OutlineIsUsable(s, arrow);
    data.Set(p.id, kept);
    if (usable)
      culprits.push_back(p.name + " at its default " + Shown(p, *initial) + " (now " + Shown(p, kept) + ")");
  }
  OutlineIsUsable(s, arrow);  // the host's contour of the arrow is its own again
  if (culprits.empty())
    return "; no one setting alone makes it cross: put several back towards their defaults (the reset button "
           "puts back all)";
  std::string text = "; it does not cross with ";
  for (std::size_t i = 0; i < culprits.size(); ++i)
    text += (i == 0 ? "" : i + 1 == culprits.size() ? " or with " : ", with ") + culprits[i];
  return text + (culprits.size() == 1 ? ": change that setting" : ": change one of those settings");
}

}  // namespace mesh
}  // namespace host
