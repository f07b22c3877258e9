// The program's `mesh` command and the console's mesh commands.
#include "mesh_console.h"

#include <cmath>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "crossing_hint.h"
#include "mesh_internal.h"
#include "scenefile.h"
#include "parse.h"
#include "outputs.h"

namespace host {
namespace mesh {
namespace {

Json VecJson(Vec3 v) { return Json::array({DoubleJson(v.x), DoubleJson(v.y), DoubleJson(v.z)}); }

// The mesh of NAME, or a failure naming it.
bool MeshOf(ScriptConsole& c, const std::string& name, Object** op, Evaluation* eval, ScriptError* e) {
  *op = c.FindObject(name, e);
  if (*op == nullptr) return false;
  *eval = Evaluate(c.LoadedSession()->GetHost(), *op);
  if (!eval->ok)
    return Fail(e, "no mesh for " + Quote(name) + ": " + eval->reason + CrossingHint(*c.LoadedSession(), *op, eval->reason),
                kScriptFailed);
  return true;
}

const char kExportUsage[] = "usage: export NAME FILE [--format glb|gltf|obj|stl|ply] [--unit METRES]";

bool CmdExport(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  std::string requested;
  double unit = kDefaultUnit;
  for (std::size_t i = 2; i < a.size(); i += 2) {
    if (i + 1 >= a.size() || (a[i] != "--format" && a[i] != "--unit")) return Fail(e, kExportUsage);
    if (a[i] == "--format") {
      requested = a[i + 1];
    } else if (!ParseNumber(a[i + 1], &unit) || !IsUnit(unit)) {
      return Fail(e, "bad unit " + Quote(a[i + 1]) + ": expected a positive number of metres per scene unit");
    }
  }
  std::string format, error;
  if (!ChooseFormat(a[1], requested, &format, &error)) return Fail(e, error);
  Object* op = nullptr;
  Evaluation eval;
  if (!MeshOf(c, a[0], &op, &eval, e)) return false;
  if (!WriteMesh(eval.mesh, op->Name(), format, a[1], &error, unit)) return Fail(e, error, kScriptFailed);
  return true;
}

bool PrintMesh(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Object* op = nullptr;
  Evaluation eval;
  if (!MeshOf(c, a[0], &op, &eval, e)) return false;
  c.Print(MeasuresJson(op->Name(), Measure(eval.mesh)));
  return true;
}

bool CmdPoints(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  const char* usage = "usage: points NAME [linear|cubic] [closed] X,Y,Z X,Y,Z ...";
  Object* op = c.FindObject(a[0], e);
  if (op == nullptr) return false;
  if (op->Type() != Ospline) return Fail(e, Quote(a[0]) + " is not a spline object");
  std::size_t i = 1;
  int32_t type = 0;
  if (i < a.size() && (a[i] == "linear" || a[i] == "cubic")) type = a[i++] == "cubic" ? 1 : 0;
  bool closed = false;
  if (i < a.size() && a[i] == "closed") {
    closed = true;
    ++i;
  }
  std::vector<ha_vector> points;
  for (; i < a.size(); ++i) {
    double xyz[3];
    std::size_t start = 0;
    for (int k = 0; k < 3; ++k) {
      const std::size_t comma = k < 2 ? a[i].find(',', start) : a[i].size();
      if (comma == std::string::npos || (k == 2 && a[i].find(',', start) != std::string::npos) ||
          !ParseNumber(a[i].substr(start, comma - start), &xyz[k]) || !std::isfinite(xyz[k]))
        return Fail(e, "bad point " + Quote(a[i]) + ": expected X,Y,Z with finite numbers");
      start = comma + 1;
    }
    points.push_back({xyz[0], xyz[1], xyz[2]});
  }
  if (points.size() < 2) return Fail(e, usage);
  // An edit of the path: one undo step that keeps its points and settings.
  Document* doc = c.LoadedSession()->Doc();
  doc->StartUndo();
  doc->AddUndo(HA_UNDO_CHANGE, op);
  op->MakeSpline(static_cast<int32_t>(points.size()), type);
  op->Points() = points;
  op->Data().Set(kSplineClosed, Value::Int(closed ? 1 : 0));
  doc->EndUndo();
  return true;
}

// The names of a document's objects, quoted, in tree order.
std::string NamesOf(const Document& doc) {
  std::string names;
  for (const Object* op : doc.TreeOrder()) names += (names.empty() ? "" : ", ") + Quote(op->Name());
  return names.empty() ? "no objects" : names;
}

// The object NAME of a scene file, loaded into the session's document.
int WriteSceneObject(Session& session, const MeshOptions& o, const std::string& format, std::ostream& err) {
  const auto fail = [&err](int status, const std::string& message) {
    err << "tolvane-host: " << message << "\n";
    return status;
  };
  std::string error;
  if (!session.Open(&error)) return fail(1, error);
  std::unique_ptr<Document> doc = LoadScene(o.scene, &error);
  if (doc == nullptr) return fail(1, "cannot load the scene: " + error);
  Document* now = ReplaceDocument(session.GetHost(), session.Doc(), std::move(doc));
  if (now == nullptr) return fail(1, "the session's document is not one of the host's");
  session.SetDoc(now);
  Object* op = now->FindNamed(o.object);
  if (op == nullptr)
    return fail(1, "no object " + Quote(o.object) + " in the scene " + Quote(o.scene) + ": it has " + NamesOf(*now));
  const Evaluation eval = Evaluate(session.GetHost(), op);
  if (!eval.ok)
    return fail(1, "no mesh for " + Quote(o.object) + ": " + eval.reason + CrossingHint(session, op, eval.reason));
  if (!WriteMesh(eval.mesh, op->Name(), format, o.output, &error, o.unit)) return fail(1, error);
  return 0;
}

int MakeAndWrite(Session& session, const MeshOptions& o, const std::string& format, std::ostream& err) {
  const auto fail = [&err](int status, const std::string& message) {
    err << "tolvane-host: " << message << "\n";
    return status;
  };
  std::string error;
  if (!session.Open(&error)) return fail(1, error);
  Object* arrow = session.NewArrow(false, &error);
  if (arrow == nullptr) return fail(1, error);
  arrow->SetName("Arrow");
  // The preset first, so that every setting changes the loaded values.
  if (!o.preset.empty()) {
    std::string note;
    const std::string path = session.FindPreset(o.preset, &note);
    if (!note.empty()) err << "tolvane-host: " << note << "\n";
    if (!session.LoadPreset(arrow, path, &error)) return fail(1, error);
  }
  // A setting the description does not know, or a value of the wrong form,
  // is a mistake in the command line.
  const EditMode mode = o.raw ? EditMode::kRaw : EditMode::kEditor;
  for (const std::string& s : o.sets) {
    std::string note;
    if (!session.ApplySetting(arrow, s, &error, mode, &note)) return fail(2, error);
    if (!note.empty()) err << "tolvane-host: " << note << "\n";
  }
  if (o.rounded && !session.ApplySetting(arrow, "ARROW_EXTRUDE_FILLET=true", &error)) return fail(1, error);
  if (!session.PressButton(arrow, "ARROW_MAKE_EXTRUDE", &error)) return fail(1, error);
  Object* extrude = arrow->Up();
  if (extrude == nullptr || extrude->Type() != Oextrude) return fail(1, "the arrow built no extrusion");
  session.GetHost().EditParameter(extrude, kExtrudeMove, Value::Vec({0.0, 0.0, o.depth}));
  const Vec3 move = VecOf(extrude, kExtrudeMove, Vec3{0.0, 0.0, 0.0});
  if (move.x != 0.0 || move.y != 0.0 || move.z != o.depth) return fail(1, "cannot set the extrusion's movement");
  const Evaluation eval = Evaluate(session.GetHost(), extrude);
  if (!eval.ok) return fail(1, "no mesh: " + eval.reason + CrossingHint(session, extrude, eval.reason));
  if (!WriteMesh(eval.mesh, "Arrow", format, o.output, &error, o.unit)) return fail(1, error);
  return 0;
}

// Shuts the host down; what the module left behind or misused, as a text.
std::string ShutDown(Host& h) {
  h.Shutdown();
  std::string findings;
  for (const Leak& leak : h.Leaks()) findings += (findings.empty() ? "the module left behind: " : "; ") + leak.what;
  for (const std::string& misuse : Misuses())
    findings += (findings.empty() ? "" : "; ") + std::string("the module misused the host: ") + misuse;
  return findings;
}

}  // namespace

Json MeasuresJson(const std::string& name, const Measures& m) {
  return Json{{"name", name},
              {"vertices", m.vertices},
              {"triangles", m.triangles},
              {"bbox", Json{{"min", VecJson(m.min)}, {"max", VecJson(m.max)}}},
              {"area", DoubleJson(m.area)},
              {"volume", DoubleJson(m.volume)},
              {"closed", m.closed},
              {"oriented", m.oriented}};
}

void AddMeshCommands(ScriptConsole& console) {
  ScriptCommand exportCommand{"export NAME FILE [--format F] [--unit M]", 2, 6, CmdExport};
  exportCommand.summary =
      "write the mesh of NAME's subtree as .glb, .gltf, .obj, .stl or .ply (or --format F), M metres a unit";
  exportCommand.closedToRequests =
      "names a file on the server: the workbench downloads an object's mesh from GET /api/export";
  console.AddCommand("export", exportCommand);
  ScriptCommand points{"points NAME [linear|cubic] [closed] X,Y,Z X,Y,Z ...", 3, static_cast<std::size_t>(-1),
                       CmdPoints};
  points.summary = "give the spline object NAME these points (a path; one undo step)";
  points.closedToRequests = "";
  console.AddCommand("points", points);
  ScriptCommand print{"print mesh NAME", 1, 1, PrintMesh};
  print.summary = "the mesh's counts, box, area, volume, whether closed and oriented";
  print.closedToRequests = "";
  console.AddPrint("mesh", print);
}

int MeshCommand(const MeshOptions& o, std::ostream& out, std::ostream& err) {
  (void)out;
  const auto usage = [&err](const std::string& message) {
    err << "tolvane-host: " << message << "\n";
    return 2;
  };
  if (!o.format.empty() && !IsFormat(o.format))
    return usage("unknown mesh format '" + o.format + "': expected glb, gltf, obj, stl or ply");
  if (o.output.empty()) return usage("mesh needs -o FILE");
  std::string format, error;
  if (!ChooseFormat(o.output, o.format, &format, &error)) return usage(error);
  if (!std::isfinite(o.depth)) return usage("--depth takes a finite number");
  if (!IsUnit(o.unit)) return usage("--unit takes a positive number of metres per scene unit");
  if (o.scene.empty() != o.object.empty()) return usage("--scene FILE and --object NAME go together");
  if (!o.scene.empty() && (!o.sets.empty() || !o.preset.empty() || o.rounded))
    return usage("--scene exports the object as it stands: --preset, --set and --rounded make an arrow of their own");

  Session session(o.session);
  const int status =
      o.scene.empty() ? MakeAndWrite(session, o, format, err) : WriteSceneObject(session, o, format, err);
  // The module must leave nothing behind and misuse nothing, whatever happened.
  const std::string findings = ShutDown(session.GetHost());
  if (findings.empty()) return status;
  err << "tolvane-host: " << findings << "\n";
  return status == 0 ? 1 : status;
}

}  // namespace mesh
}  // namespace host
