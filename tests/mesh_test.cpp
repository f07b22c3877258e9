// The stand-in host's meshes: extrusions of every outline kind are closed,
// consistently oriented solids of the right volume; cloners put their copies
// on the path in order and turned to it; a spline wrap keeps each vertex's
// distance from the path; bad outlines give no mesh and the reason; files
// read back with the same counts. Through the loaded module of both releases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "extrude.h"
#include "fixture.h"
#include "mesh.h"
#include "mesh_console.h"

namespace {

using host::Object;
using host::mesh::Evaluate;
using host::mesh::Evaluation;
using host::mesh::Measure;
using host::mesh::Measures;
using host::mesh::Mesh;
using host::mesh::Vec3;

Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Len(Vec3 a) { return std::sqrt(Dot(a, a)); }

// Distance from a point to a polyline.
double DistanceToPolyline(Vec3 p, const std::vector<Vec3>& line) {
  double best = INFINITY;
  for (std::size_t i = 0; i + 1 < line.size(); ++i) {
    const Vec3 a = line[i], d = Sub(line[i + 1], a);
    double t = Dot(Sub(p, a), d) / Dot(d, d);
    t = std::fmax(0.0, std::fmin(1.0, t));
    best = std::fmin(best, Len(Sub(p, {a.x + d.x * t, a.y + d.y * t, a.z + d.z * t})));
  }
  return best;
}

class MeshTest : public testkit::ArrowTest {
 protected:
  host::Host& H() { return session_->GetHost(); }

  // A new arrow with the settings, extruded by its button (rounded caps when
  // asked), its extrusion moved by `move`. Answers the extrusion.
  Object* Extruded(const std::vector<std::string>& settings, bool rounded, Vec3 move) {
    std::string error;
    Object* arrow = session_->NewArrow(false, &error);
    EXPECT_NE(arrow, nullptr) << error;
    if (arrow == nullptr) return nullptr;
    arrow->SetName("Arrow");
    for (const std::string& s : settings) EXPECT_TRUE(session_->ApplySetting(arrow, s, &error)) << error;
    if (rounded) {
      EXPECT_TRUE(session_->ApplySetting(arrow, "ARROW_EXTRUDE_FILLET=true", &error));
    }
    EXPECT_TRUE(session_->PressButton(arrow, "ARROW_MAKE_EXTRUDE", &error)) << error;
    Object* extrude = arrow->Up();
    EXPECT_TRUE(extrude != nullptr && extrude->Type() == Oextrude);
    if (extrude == nullptr) return nullptr;
    H().EditParameter(extrude, EXTRUDEOBJECT_MOVE, host::Value::Vec({move.x, move.y, move.z}));
    const host::Value* set = extrude->Data().Find(EXTRUDEOBJECT_MOVE);
    EXPECT_TRUE(set != nullptr && set->AsVector().x == move.x && set->AsVector().y == move.y &&
                set->AsVector().z == move.z);
    return extrude;
  }

  // A spline object named NAME with the points.
  Object* Path(const std::string& name, const std::vector<Vec3>& points, int type, bool closed) {
    std::string error;
    Object* op = H().CreateObject(session_->Doc(), Ospline, false, &error);
    EXPECT_NE(op, nullptr) << error;
    op->SetName(name);
    op->MakeSpline(static_cast<int32_t>(points.size()), type);
    for (std::size_t i = 0; i < points.size(); ++i) op->Points()[i] = {points[i].x, points[i].y, points[i].z};
    op->Data().Set(SPLINEOBJECT_CLOSED, host::Value::Int(closed ? 1 : 0));
    return op;
  }

  host::mesh::Path ReadPath(Object* op) {
    host::mesh::Path path;
    std::string why;
    EXPECT_TRUE(host::mesh::ReadPath(H(), op, &path, &why)) << why;
    return path;
  }
};

INSTANTIATE_TEST_SUITE_P(Both, MeshTest, ::testing::Values(16, 12));

// Every outline kind, in every plane, flat and rounded, moved straight,
// slanted and against the outline's normal: a closed solid whose every edge
// two triangles run through in opposite directions; flat, its volume is the
// outline's area times the depth and each cap covers exactly the outline.
TEST_P(MeshTest, EveryOutlineKindGivesAClosedOrientedSolid) {
  struct Case {
    std::vector<std::string> settings;
    Vec3 move;
  };
  const Vec3 z{0.0, 0.0, 20.0};
  const Case cases[] = {
      {{}, z},
      {{"ARROW_SHAFT=false"}, z},
      {{"ARROW_SHAFT=false", "ARROW_ROUND_CORNERS=true"}, z},
      {{"ARROW_ROUND_CORNERS=true"}, z},
      {{"ARROW_ROUND_CORNERS=true", "ARROW_TAIL_NOTCH=40"}, z},
      {{"ARROW_DOUBLE_HEADED=true"}, z},
      {{"ARROW_DOUBLE_HEADED=true", "ARROW_CHEVRON=true"}, z},
      {{"ARROW_FLETCHING=true", "ARROW_TAIL_NOTCH=40", "ARROW_CHEVRON=true"}, z},
      {{"ARROW_CHEVRON=true", "ARROW_CHEVRON_SQUARE_ENDS=true"}, z},
      {{"ARROW_HEAD_TAPER=0.5", "ARROW_TAIL_TAPER=0.3", "ARROW_BARB_SWEEP=30"}, z},
      {{"ARROW_HEAD_TAPER=1"}, z},  // the shaft pinched to a point at the head: two lobes
      {{"ARROW_SHAFT_WIDTH=4", "ARROW_BARB_WIDTH=3"}, z},  // thinner than the rounding
      {{"ARROW_REVERSE=true"}, z},
      {{"ARROW_POINT_INTERPOLATION=1"}, z},  // intermediate points on every edge
      {{"ARROW_POINT_INTERPOLATION=4", "ARROW_POINT_MAX_LENGTH=30"}, z},
      {{}, {6.0, -3.0, 20.0}},                // slanted
      {{}, {0.0, 0.0, -35.0}},                // against the normal
      {{"ARROW_PLANE=1"}, {20.0, 0.0, 0.0}},  // ZY plane
      {{"ARROW_PLANE=2", "ARROW_FLETCHING=true"}, {0.0, 12.0, 0.0}},  // XZ plane
  };
  for (const Case& c : cases) {
    std::string label;
    for (const std::string& s : c.settings) label += s + " ";
    label += "move (" + std::to_string(c.move.x) + ", " + std::to_string(c.move.y) + ", " +
             std::to_string(c.move.z) + ")";
    Measures flat;
    for (bool rounded : {false, true}) {
      SCOPED_TRACE(label + (rounded ? " rounded" : " flat"));
      Object* extrude = Extruded(c.settings, rounded, c.move);
      ASSERT_NE(extrude, nullptr);
      const Evaluation eval = Evaluate(H(), extrude);
      ASSERT_TRUE(eval.ok) << eval.reason;
      const Measures m = Measure(eval.mesh);
      EXPECT_TRUE(m.closed);
      EXPECT_TRUE(m.oriented);
      // The outline's area and normal from the contour the module answers.
      Object* contour = H().EvaluateContour(extrude->Down());
      ASSERT_NE(contour, nullptr);
      std::vector<Vec3> pts;
      for (const ha_vector& p : contour->Points()) pts.push_back({p.x, p.y, p.z});
      Vec3 twice{0.0, 0.0, 0.0};
      for (std::size_t i = 0; i < pts.size(); ++i) {
        const Vec3 k = Cross(pts[i], pts[(i + 1) % pts.size()]);
        twice = {twice.x + k.x, twice.y + k.y, twice.z + k.z};
      }
      const double area = Len(twice) / 2.0;
      const Vec3 n{twice.x / Len(twice), twice.y / Len(twice), twice.z / Len(twice)};
      const double depth = std::fabs(Dot(c.move, n));
      if (!rounded) {
        flat = m;
        EXPECT_NEAR(m.volume, area * depth, 1e-9 * area * depth);
        // The caps: triangles wholly in the start or the end plane.
        double caps[2] = {0.0, 0.0};
        for (const auto& t : eval.mesh.triangles) {
          const Vec3 a = eval.mesh.vertices[t[0]], b = eval.mesh.vertices[t[1]], d = eval.mesh.vertices[t[2]];
          for (int end = 0; end < 2; ++end) {
            const double h = end * Dot(c.move, n);
            const auto in = [&](Vec3 v) { return std::fabs(Dot(Sub(v, pts[0]), n) - h) < 1e-9 * area; };
            if (in(a) && in(b) && in(d)) caps[end] += Len(Cross(Sub(b, a), Sub(d, a))) / 2.0;
          }
        }
        EXPECT_NEAR(caps[0], area, 1e-9 * area);
        EXPECT_NEAR(caps[1], area, 1e-9 * area);
      } else {
        // Rounding takes material off the rims only: the same box, less volume.
        EXPECT_GT(m.volume, 0.5 * flat.volume);
        EXPECT_LT(m.volume, flat.volume);
        EXPECT_GT(m.triangles, flat.triangles);
        if (std::fabs(depth - Len(c.move)) < 1e-12) {  // a slanted rim shifts the box
          for (double d : {m.min.x - flat.min.x, m.min.y - flat.min.y, m.min.z - flat.min.z,
                           m.max.x - flat.max.x, m.max.y - flat.max.y, m.max.z - flat.max.z})
            EXPECT_NEAR(d, 0.0, 1e-6);
        }
      }
    }
  }
}

// An outline with a point that is not finite, or whose edges cross, gives no
// mesh, and the evaluation says why.
TEST_P(MeshTest, BadOutlinesGiveNoMeshAndTheReason) {
  struct Case {
    const char* setting;
    const char* reason;
  };
  const Case cases[] = {
      {"ARROW_SHAFT_LENGTH=nan", "the outline of 'Arrow' has a point that is not finite (point "},
      {"ARROW_HEAD_LENGTH=inf", "the outline of 'Arrow' has a point that is not finite (point "},
      {"ARROW_BARB_WIDTH=-inf", "the outline of 'Arrow' has a point that is not finite (point "},
      {"ARROW_TAIL_TAPER=3", "the outline of 'Arrow' crosses or touches itself (edges "},
      {"ARROW_BARB_WIDTH=-80", "the outline of 'Arrow' crosses or touches itself (edges "},
      {"ARROW_TAIL_NOTCH=600", "the outline of 'Arrow' crosses or touches itself (edges "},
      {"ARROW_SHAFT_WIDTH=0", "the outline of 'Arrow' crosses or touches itself (edges "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    Object* extrude = Extruded({c.setting}, false, {0.0, 0.0, 20.0});
    ASSERT_NE(extrude, nullptr);
    const Evaluation eval = Evaluate(H(), extrude);
    EXPECT_FALSE(eval.ok);
    EXPECT_TRUE(eval.mesh.vertices.empty() && eval.mesh.triangles.empty());
    EXPECT_EQ(eval.reason.rfind(c.reason, 0), 0u) << eval.reason;
  }
}

// An outline that touches itself at single points is cut there into lobes,
// each its own closed solid; one that crosses itself, or turns a part inside
// out, has no mesh.
TEST(MeshOutline, TouchingOutlinesComeApartIntoLobes) {
  struct Case {
    const char* label;
    std::vector<Vec3> points;
    std::size_t solids;  // 0: no mesh, for the reason below
    const char* reason = "";
  };
  const Case cases[] = {
      {"square", {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}}, 1},
      {"two squares at a corner",
       {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {20, 10, 0}, {20, 20, 0}, {10, 20, 0}, {10, 10, 0}, {0, 10, 0}},
       2},
      {"a corner on an edge", {{0, 0, 0}, {20, 0, 0}, {10, 10, 0}, {20, 20, 0}, {0, 20, 0}, {10, 10, 0}}, 2},
      {"a point touching an edge", {{0, 0, 0}, {20, 0, 0}, {20, 20, 0}, {10, 0, 0}, {0, 20, 0}}, 2},
      {"bow tie", {{0, 0, 0}, {10, 10, 0}, {10, 0, 0}, {0, 10, 0}}, 0, "the outline encloses no area"},
      {"uneven bow tie", {{0, 0, 0}, {20, 10, 0}, {20, 0, 0}, {0, 10, 0}, {-5, 5, 0}}, 0,
       "the outline crosses or touches itself (edges "},
      {"inside out", {{0, 10, 0}, {10, 10, 0}, {10, 2, 0}, {14, 6, 0}, {10, 8, 0}, {10, 0, 0}, {0, 0, 0}}, 0,
       "the outline crosses or touches itself (edges "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    host::mesh::CapSettings flat;
    const Evaluation eval = host::mesh::Extrude(c.points, {0.0, 0.0, 5.0}, flat, flat);
    std::string why;
    EXPECT_EQ(host::mesh::CheckOutline(c.points, &why), c.solids > 0) << why;
    if (c.solids == 0) {
      EXPECT_FALSE(eval.ok);
      EXPECT_EQ(eval.reason.rfind(c.reason, 0), 0u) << eval.reason;
      continue;
    }
    ASSERT_TRUE(eval.ok) << eval.reason;
    const Measures m = Measure(eval.mesh);
    EXPECT_TRUE(m.closed && m.oriented);
    // Separate solids: vertices joined only by triangles.
    std::vector<uint32_t> part(eval.mesh.vertices.size());
    for (uint32_t i = 0; i < part.size(); ++i) part[i] = i;
    const auto find = [&part](uint32_t i) {
      while (part[i] != i) i = part[i] = part[part[i]];
      return i;
    };
    for (const auto& t : eval.mesh.triangles) {
      part[find(t[1])] = find(t[0]);
      part[find(t[2])] = find(t[0]);
    }
    std::size_t solids = 0;
    for (uint32_t i = 0; i < part.size(); ++i) solids += find(i) == i ? 1 : 0;
    EXPECT_EQ(solids, c.solids);
    double area = 0.0;
    for (std::size_t i = 0; i < c.points.size(); ++i) {
      const Vec3 a = c.points[i], b = c.points[(i + 1) % c.points.size()];
      area += 0.5 * (a.x * b.y - b.x * a.y);
    }
    EXPECT_NEAR(m.volume, 5.0 * area, 1e-9 * area);
  }
}

// The program's mesh command (one host at a time: no other session open).
class MeshProgram : public ::testing::TestWithParam<int> {
 protected:
  int Run(host::mesh::MeshOptions o, std::string* err) {
    o.session.release = GetParam();
    std::ostringstream out, errors;
    const int status = host::mesh::MeshCommand(o, out, errors);
    EXPECT_EQ(out.str(), "");
    *err = errors.str();
    return status;
  }
};

INSTANTIATE_TEST_SUITE_P(Both, MeshProgram, ::testing::Values(16, 12));

// The same bad outlines in the program's mesh command (status 1, no file) and
// the console's print mesh and export (status 1), each with the reason.
TEST_P(MeshProgram, BadOutlinesGiveNoMeshAndTheReason) {
  // A crossing also says which setting makes it: the one whose default,
  // tried alone, gives an outline that does not cross.
  struct Case {
    std::vector<std::string> sets;
    const char* reason;
    const char* hint;  // how the message ends
  };
  const Case cases[] = {
      {{"ARROW_HEAD_LENGTH=inf"}, "tolvane-host: no mesh: the outline of 'Arrow' has a point that is not finite (point ",
       ")\n"},
      {{"ARROW_TAIL_TAPER=3"}, "tolvane-host: no mesh: the outline of 'Arrow' crosses or touches itself (edges ",
       "; it does not cross with ARROW_TAIL_TAPER at its default 0% (now 300%): change that setting\n"},
      {{"ARROW_BARB_WIDTH=-80"}, "tolvane-host: no mesh: the outline of 'Arrow' crosses or touches itself (edges ",
       "; it does not cross with ARROW_BARB_WIDTH at its default 50 (now -80): change that setting\n"},
      {{"ARROW_FLETCHING=true", "ARROW_FLETCHING_SWEEP=-400"},
       "tolvane-host: no mesh: the outline of 'Arrow' crosses or touches itself (edges ",
       "; it does not cross with ARROW_FLETCHING at its default off (now on) or with ARROW_FLETCHING_SWEEP at its "
       "default 50 (now -400): change one of those settings\n"},
  };
  testkit::TempDir dir;
  for (const Case& c : cases) {
    const std::string setting = c.sets.front();
    const std::string reason = c.reason, hint = c.hint;
    host::mesh::MeshOptions o;
    o.sets = c.sets;
    o.raw = true;  // beyond the editor's limits
    o.output = dir.File("bad.glb");
    std::string err;
    EXPECT_EQ(Run(o, &err), 1) << setting;
    EXPECT_EQ(err.rfind(reason, 0), 0u) << err;
    EXPECT_TRUE(err.size() >= hint.size() && err.compare(err.size() - hint.size(), hint.size(), hint) == 0) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;  // nothing left behind
    EXPECT_FALSE(std::filesystem::exists(o.output));
  }
  // The console, through the program (release 16's plug-in).
  if (GetParam() != 16) return;
  for (const char* what : {"print mesh \"Extrude NURBS\"", "export \"Extrude NURBS\" x.glb"}) {
    const testkit::ProgramResult r =
        testkit::RunProgram("run -", std::string("arrow Arrow\nset-raw Arrow ARROW_TAIL_TAPER 3\n") +
                                         "press Arrow ARROW_MAKE_EXTRUDE\n" + what + "\n");
    EXPECT_EQ(r.status, 1) << what;
    EXPECT_EQ(r.err.rfind("<stdin>:4: no mesh for 'Extrude NURBS': the outline of 'Arrow' crosses or touches "
                          "itself (edges ",
                          0),
              0u)
        << r.err;
    EXPECT_EQ(r.out, "");
  }
}

// The program's mesh command writes every format; OBJ, STL, PLY and both
// glTF forms read back through the library with the vertex and triangle
// counts of the extrusion's mesh, still closed and oriented, with the same
// volume (to float rounding). Wrong options are the command line's mistakes.
TEST_P(MeshProgram, FilesReadBackWithTheSameCounts) {
  testkit::TempDir dir;
  const char* formats[] = {"obj", "stl", "ply", "glb", "gltf"};
  for (bool rounded : {false, true}) {
    for (const char* format : formats) {
      host::mesh::MeshOptions o;
      o.sets = {"ARROW_FLETCHING=true"};
      o.depth = 30.0;
      o.rounded = rounded;
      o.format = format;
      o.output = dir.File(std::string(rounded ? "round." : "flat.") + format);
      std::string err;
      ASSERT_EQ(Run(o, &err), 0) << err;
      EXPECT_EQ(err, "");
    }
  }
  // The meshes the files should hold, from a session of our own.
  Measures want[2];
  {
    host::Session session(host::SessionOptions{GetParam(), "", 0});
    std::string error;
    ASSERT_TRUE(session.Open(&error)) << error;
    for (bool rounded : {false, true}) {
      Object* arrow = session.NewArrow(false, &error);
      ASSERT_NE(arrow, nullptr) << error;
      ASSERT_TRUE(session.ApplySetting(arrow, "ARROW_FLETCHING=true", &error));
      ASSERT_TRUE(session.ApplySetting(arrow, std::string("ARROW_EXTRUDE_FILLET=") + (rounded ? "true" : "false"),
                                       &error));
      ASSERT_TRUE(session.PressButton(arrow, "ARROW_MAKE_EXTRUDE", &error));
      session.GetHost().EditParameter(arrow->Up(), EXTRUDEOBJECT_MOVE, host::Value::Vec({0.0, 0.0, 30.0}));
      const Evaluation eval = Evaluate(session.GetHost(), arrow->Up());
      ASSERT_TRUE(eval.ok) << eval.reason;
      want[rounded ? 1 : 0] = Measure(eval.mesh);
    }
    testkit::ExpectCleanShutdown(session.GetHost());
  }
  for (bool rounded : {false, true}) {
    for (const char* format : formats) {
      SCOPED_TRACE(std::string(format) + (rounded ? " rounded" : " flat"));
      Mesh back;
      std::string why;
      ASSERT_TRUE(host::mesh::ReadMeshFile(dir.File(std::string(rounded ? "round." : "flat.") + format), &back,
                                           &why))
          << why;
      const Measures got = Measure(back);
      const Measures& w = want[rounded ? 1 : 0];
      EXPECT_EQ(got.vertices, w.vertices);
      EXPECT_EQ(got.triangles, w.triangles);
      EXPECT_TRUE(got.closed);
      EXPECT_TRUE(got.oriented);
      // glTF counts in metres: its positions come scaled by the unit.
      const bool gltf = std::string(format) == "glb" || std::string(format) == "gltf";
      const double cube = gltf ? std::pow(host::mesh::kDefaultUnit, 3) : 1.0;
      EXPECT_NEAR(got.volume, w.volume * cube, 1e-5 * w.volume * cube);
    }
  }
  struct Wrong {
    std::string format, output, set;
    double depth, unit;
    std::string message;
  };
  const double unit = host::mesh::kDefaultUnit;
  const Wrong wrong[] = {
      {"dxf", "a.dxf", "", 20.0, unit, "unknown mesh format 'dxf': expected glb, gltf, obj, stl or ply"},
      {"glb", "", "", 20.0, unit, "mesh needs -o FILE"},
      {"glb", "a.glb", "", NAN, unit, "--depth takes a finite number"},
      {"glb", "a.glb", "ARROW_NO_SUCH=1", 20.0, unit, "unknown parameter 'ARROW_NO_SUCH'"},
      {"", "a.dae", "", 20.0, unit,
       "cannot tell the format of '" + dir.File("a.dae") +
           "': the file must end in .glb, .gltf, .obj, .stl or .ply, or the format be given"},
      {"", "a", "", 20.0, unit,
       "cannot tell the format of '" + dir.File("a") +
           "': the file must end in .glb, .gltf, .obj, .stl or .ply, or the format be given"},
      {"", "a.glb", "", 20.0, 0.0, "--unit takes a positive number of metres per scene unit"},
      {"", "a.glb", "", 20.0, -0.01, "--unit takes a positive number of metres per scene unit"},
      {"", "a.glb", "", 20.0, NAN, "--unit takes a positive number of metres per scene unit"},
  };
  for (const Wrong& w : wrong) {
    host::mesh::MeshOptions o;
    o.format = w.format;
    o.output = w.output.empty() ? "" : dir.File(w.output);
    o.depth = w.depth;
    o.unit = w.unit;
    if (!w.set.empty()) o.sets = {w.set};
    std::string err;
    EXPECT_EQ(Run(o, &err), 2) << w.message;
    EXPECT_EQ(err, "tolvane-host: " + w.message + "\n");
    if (!o.output.empty()) {
      EXPECT_FALSE(std::filesystem::exists(o.output));
    }
  }
}

// A cloner along a path (straight, curved, closed) puts `count` copies of
// the extruded arrow with their origins on the path, in order along it, each
// the child's mesh moved rigidly; aligned, the arrow points along the path.
TEST_P(MeshTest, ClonerPutsItsCopiesOnThePathInOrder) {
  struct Case {
    const char* label;
    std::vector<Vec3> points;
    int type;
    bool closed;
  };
  const Case cases[] = {
      {"straight", {{-500.0, 0.0, 0.0}, {700.0, 100.0, 0.0}}, 0, false},
      {"curved", {{0, 0, 0}, {300, 0, 200}, {600, 50, -100}, {900, 0, 150}, {1200, 0, 0}}, 1, false},
      {"closed", {{600, 0, 0}, {0, 0, 600}, {-600, 0, 0}, {0, 0, -600}}, 1, true},
      {"corners", {{0, 0, 0}, {400, 0, 0}, {400, 400, 0}, {0, 400, 300}}, 0, false},
  };
  int serial = 0;
  for (const Case& c : cases) {
    for (bool align : {true, false}) {
      SCOPED_TRACE(std::string(c.label) + (align ? " aligned" : " not aligned"));
      const std::string name = "Path" + std::to_string(++serial);
      Object* pathObject = Path(name, c.points, c.type, c.closed);
      std::string error;
      Object* arrow = session_->NewArrow(false, &error);
      ASSERT_NE(arrow, nullptr) << error;
      const std::vector<std::string> settings = {"ARROW_CLONE_ON_SPLINE=true", "ARROW_CLONE_SPLINE=" + name,
                                                 "ARROW_CLONE_EXTRUDED=true", "ARROW_CLONE_COUNT=7",
                                                 std::string("ARROW_CLONE_ALIGN=") + (align ? "true" : "false")};
      for (const std::string& s : settings)
        ASSERT_TRUE(session_->ApplySetting(arrow, s, &error)) << error;
      ASSERT_TRUE(session_->PressButton(arrow, "ARROW_MAKE_CLONER", &error)) << error;
      Object* cloner = arrow->Up() != nullptr ? arrow->Up()->Up() : nullptr;
      ASSERT_TRUE(cloner != nullptr && cloner->Type() == Ocloner);

      const host::mesh::Path path = ReadPath(pathObject);
      std::vector<host::mesh::Placement> places;
      ASSERT_TRUE(host::mesh::ClonerPlacements(H(), cloner, &places, &error)) << error;
      ASSERT_EQ(places.size(), 7u);
      const Vec3 arrowAxis = align ? Vec3{0.0, 0.0, 1.0} : Vec3{1.0, 0.0, 0.0};
      for (std::size_t i = 0; i < places.size(); ++i) {
        const host::mesh::Placement& p = places[i];
        EXPECT_LT(DistanceToPolyline(p.origin, path.points), 1e-9 * path.Length()) << "copy " << i;
        if (i > 0) {
          EXPECT_GT(p.distance, places[i - 1].distance) << "copy " << i;
        }
        // The path's direction there, from its points alone.
        const double h = 1e-3 * path.Length(), L = path.Length();
        double a = p.distance - h, b = p.distance + h;
        if (c.closed) {
          a = a < 0.0 ? a + L : a;
        } else {
          a = std::fmax(0.0, a);
          b = std::fmin(L, b);
        }
        const Vec3 dir = Sub(host::mesh::FrameAt(path, b).point, host::mesh::FrameAt(path, a).point);
        const Vec3 along = {p.axes[0].x * arrowAxis.x + p.axes[2].x * arrowAxis.z,
                            p.axes[0].y * arrowAxis.x + p.axes[2].y * arrowAxis.z,
                            p.axes[0].z * arrowAxis.x + p.axes[2].z * arrowAxis.z};
        const double cosine = Dot(along, dir) / Len(dir);
        if (align) {
          EXPECT_GT(cosine, 0.99) << "copy " << i;
        } else {
          EXPECT_LT(std::fabs(cosine), 0.1) << "copy " << i;
        }
        // A rotation: unit axes, square to each other, right-handed.
        EXPECT_NEAR(Dot(Cross(p.axes[0], p.axes[1]), p.axes[2]), 1.0, 1e-9);
      }
      EXPECT_NEAR(places.front().distance, 0.0, 1e-9);
      if (!c.closed) {
        EXPECT_NEAR(places.back().distance, path.Length(), 1e-9 * path.Length());
      }

      const Evaluation one = Evaluate(H(), arrow->Up());
      const Evaluation all = Evaluate(H(), cloner);
      ASSERT_TRUE(one.ok && all.ok) << one.reason << all.reason;
      ASSERT_EQ(all.mesh.vertices.size(), 7 * one.mesh.vertices.size());
      const std::size_t n = one.mesh.vertices.size();
      double worst = 0.0;
      for (std::size_t k = 0; k < 7; ++k) {
        for (std::size_t j = 0; j < n; ++j) {
          const Vec3 v = one.mesh.vertices[j];
          const host::mesh::Placement& p = places[k];
          const Vec3 want{p.origin.x + p.axes[0].x * v.x + p.axes[1].x * v.y + p.axes[2].x * v.z,
                          p.origin.y + p.axes[0].y * v.x + p.axes[1].y * v.y + p.axes[2].y * v.z,
                          p.origin.z + p.axes[0].z * v.x + p.axes[1].z * v.y + p.axes[2].z * v.z};
          worst = std::fmax(worst, Len(Sub(all.mesh.vertices[k * n + j], want)));
        }
      }
      EXPECT_LT(worst, 1e-9 * path.Length());
      const Measures m = Measure(all.mesh);
      EXPECT_TRUE(m.closed && m.oriented);
      EXPECT_NEAR(m.volume, 7 * Measure(one.mesh).volume, 1e-9 * m.volume);
    }
  }
}

// A spline wrap moves each vertex to the path point at its distance along
// the arrow's axis, at the same distance from the path as it had from the
// axis; on a straight path along the axis nothing moves. The scene's
// deformer gives exactly that mesh, closed and oriented.
TEST_P(MeshTest, WrapKeepsDistancesFromThePath) {
  struct Case {
    const char* label;
    std::vector<Vec3> points;
    int type;
  };
  std::vector<Vec3> arc;
  for (int i = 0; i <= 6; ++i) {
    const double a = M_PI * i / 6;
    arc.push_back({-600.0 * std::cos(a), 600.0 * std::sin(a), 40.0 * i});
  }
  const Case cases[] = {
      {"straight", {{-250.0, 0.0, 0.0}, {1750.0, 0.0, 0.0}}, 0},
      {"curved", arc, 1},
  };
  int serial = 0;
  for (const Case& c : cases) {
    for (bool fit : {false, true}) {
      SCOPED_TRACE(std::string(c.label) + (fit ? " fit" : " keep length"));
      const std::string name = "Path" + std::to_string(++serial);
      Object* pathObject = Path(name, c.points, c.type, false);
      Object* extrude = Extruded({"ARROW_POINT_INTERPOLATION=1"}, true, {0.0, 0.0, 20.0});
      ASSERT_NE(extrude, nullptr);
      const Evaluation straight = Evaluate(H(), extrude);
      ASSERT_TRUE(straight.ok) << straight.reason;
      const host::mesh::Path path = ReadPath(pathObject);
      Mesh cut = straight.mesh;
      host::mesh::CutForPath(&cut, path, {1.0, 0.0, 0.0}, fit);
      Mesh bent = cut;
      host::mesh::BendAlongPath(&bent, path, {1.0, 0.0, 0.0}, fit);
      ASSERT_EQ(bent.vertices.size(), cut.vertices.size());
      double worst = 0.0, moved = 0.0, largest = 0.0;
      for (std::size_t i = 0; i < cut.vertices.size(); ++i) {
        const Vec3 v = cut.vertices[i];
        const double fromAxis = std::hypot(v.y, v.z);
        largest = std::fmax(largest, fromAxis);
        worst = std::fmax(worst, std::fabs(DistanceToPolyline(bent.vertices[i], path.points) - fromAxis));
        moved = std::fmax(moved, Len(Sub(bent.vertices[i], v)));
      }
      // The path is followed segment by segment: where two meet at a small
      // angle a vertex near the inner side comes a little closer.
      EXPECT_LT(worst, 2e-3 * largest);
      if (std::string(c.label) == "straight" && !fit) {
        EXPECT_LT(moved, 1e-9);
      } else {
        EXPECT_GT(moved, 1.0);
      }
      const Measures m = Measure(bent);
      EXPECT_TRUE(m.closed && m.oriented);
      EXPECT_GT(m.volume, 0.0);
      EXPECT_NEAR(Measure(cut).volume, Measure(straight.mesh).volume, 1e-9 * m.volume);

      // The deformer the arrow's button builds bends the extrusion the same way.
      Object* arrow = extrude->Down();
      std::string error;
      const std::vector<std::string> settings = {"ARROW_WRAP_SPLINE=" + name,
                                                 std::string("ARROW_WRAP_MODE=") + (fit ? "true" : "false"),
                                                 "ARROW_WRAP_NATURAL_POINTS=false"};
      for (const std::string& s : settings)
        ASSERT_TRUE(session_->ApplySetting(arrow, s, &error)) << error;
      ASSERT_TRUE(session_->PressButton(arrow, "ARROW_MAKE_SPLINE_WRAP", &error)) << error;
      ASSERT_TRUE(extrude->Down()->Next() != nullptr && extrude->Down()->Next()->Type() == Osplinewrap);
      const Evaluation wrapped = Evaluate(H(), extrude);
      ASSERT_TRUE(wrapped.ok) << wrapped.reason;
      ASSERT_EQ(wrapped.mesh.vertices.size(), bent.vertices.size());
      ASSERT_EQ(wrapped.mesh.triangles, bent.triangles);
      for (std::size_t i = 0; i < bent.vertices.size(); ++i)
        ASSERT_LT(Len(Sub(wrapped.mesh.vertices[i], bent.vertices[i])), 1e-9) << i;
    }
  }
}

// The console's commands in the program: points for a path, print mesh and
// export on the cloner example's set-up; wrong words are script errors.
TEST(MeshConsole, ExportsTheExampleSetUp) {
  testkit::TempDir dir;
  const std::string script = testkit::ReadFileBytes(TOLVANE_SOURCE_DIR "/examples/cloner-along-path.script");
  const std::string file = dir.File("row.glb");
  const testkit::ProgramResult r = testkit::RunProgram(
      "run -", script + "print mesh Cloner\nexport Cloner \"" + file + "\"\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string last = r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1);
  EXPECT_EQ(last.rfind("{\"name\":\"Cloner\",", 0), 0u) << last;
  EXPECT_NE(last.find("\"closed\":true,\"oriented\":true}"), std::string::npos) << last;
  Mesh back;
  std::string why;
  ASSERT_TRUE(host::mesh::ReadMeshFile(file, &back, &why)) << why;
  EXPECT_NE(last.find("\"triangles\":" + std::to_string(back.triangles.size()) + ","), std::string::npos);

  struct Wrong {
    const char* line;
    int status;
    const char* err;
  };
  const Wrong wrong[] = {
      {"export Arrow a.dae", 2,
       "<stdin>:3: cannot tell the format of 'a.dae': the file must end in .glb, .gltf, .obj, .stl or .ply, "
       "or the format be given\n"},
      {"export Arrow a.glb --format dae", 2,
       "<stdin>:3: unknown mesh format 'dae': expected glb, gltf, obj, stl or ply\n"},
      {"export Arrow a.glb --unit 0", 2,
       "<stdin>:3: bad unit '0': expected a positive number of metres per scene unit\n"},
      {"export Arrow a.glb --unit", 2,
       "<stdin>:3: usage: export NAME FILE [--format glb|gltf|obj|stl|ply] [--unit METRES]\n"},
      {"export Arrow a.glb --scale 2", 2,
       "<stdin>:3: usage: export NAME FILE [--format glb|gltf|obj|stl|ply] [--unit METRES]\n"},
      {"print mesh Path", 1, "<stdin>:3: no mesh for 'Path': 'Path' is a spline: it has no mesh of its own\n"},
      {"points Arrow 0,0,0 1,1,1", 2, "<stdin>:3: 'Arrow' is not a spline object\n"},
      {"points Path 0,0,0 1,1", 2, "<stdin>:3: bad point '1,1': expected X,Y,Z with finite numbers\n"},
      {"points Path 0,0,0 1,1,nan", 2, "<stdin>:3: bad point '1,1,nan': expected X,Y,Z with finite numbers\n"},
      {"points Path closed 0,0,0", 2, "<stdin>:3: usage: points NAME [linear|cubic] [closed] X,Y,Z X,Y,Z ...\n"},
  };
  for (const Wrong& w : wrong) {
    const testkit::ProgramResult bad =
        testkit::RunProgram("run -", std::string("object spline Path\narrow Arrow\n") + w.line + "\n");
    EXPECT_EQ(bad.status, w.status) << w.line;
    EXPECT_EQ(bad.err, w.err) << w.line;
  }
}

// What a file's bytes say its format is.
std::string FormatOfBytes(const std::string& b) {
  if (b.rfind("glTF", 0) == 0) return "glb";
  if (b.rfind("ply\n", 0) == 0) return "ply";
  if (!b.empty() && b[0] == '{' && b.find("\"asset\"") != std::string::npos) return "gltf";
  if (b.find("\nv ") != std::string::npos && b.find("\nf ") != std::string::npos) return "obj";
  if (b.size() >= 84) {
    uint32_t n = 0;
    for (int k = 3; k >= 0; --k) n = (n << 8) | static_cast<unsigned char>(b[80 + k]);
    if (b.size() == 84 + 50 * static_cast<std::size_t>(n)) return "stl";
  }
  return "?";
}

// The file's suffix picks the format; --format overrides it (in the program
// and the console alike), and each file is that format, with normals and its
// unit named where the format has room.
TEST_P(MeshProgram, TheSuffixPicksTheFormatAndFormatOverrides) {
  testkit::TempDir dir;
  struct Case {
    const char* format;
    const char* normals;  // what shows the normals in the file
    const char* unitNote;  // what names the unit ("" where glTF's metres say it)
  };
  const Case cases[] = {
      {"glb", "NORMAL", ""},
      {"gltf", "NORMAL", ""},
      {"obj", "\nvn ", "# Tolvane mesh, 1 unit = 0.001 m\n"},
      {"stl", "", "Tolvane mesh, 1 unit = 0.001 m"},
      {"ply", "property float nx", "comment Tolvane mesh, 1 unit = 0.001 m\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    for (bool overridden : {false, true}) {
      host::mesh::MeshOptions o;
      o.output = dir.File(std::string(overridden ? "other." : "a.") + (overridden ? "data" : c.format));
      if (overridden) o.format = c.format;
      std::string err;
      ASSERT_EQ(Run(o, &err), 0) << err;
      const std::string bytes = testkit::ReadFileBytes(o.output);
      EXPECT_EQ(FormatOfBytes(bytes), c.format);
      if (*c.normals != '\0') {
        EXPECT_NE(bytes.find(c.normals), std::string::npos);
      }
      if (*c.unitNote != '\0') {
        EXPECT_NE(bytes.find(c.unitNote), std::string::npos);
      }
    }
    // A suffix naming another format: --format wins.
    host::mesh::MeshOptions o;
    o.output = dir.File(std::string("wrong.") + (std::string(c.format) == "stl" ? "ply" : "stl"));
    o.format = c.format;
    std::string err;
    ASSERT_EQ(Run(o, &err), 0) << err;
    EXPECT_EQ(FormatOfBytes(testkit::ReadFileBytes(o.output)), c.format);
  }
  if (GetParam() != 16) return;
  // The console's export: the same rule.
  const std::string setUp = "arrow Arrow\npress Arrow ARROW_MAKE_EXTRUDE\n";
  for (const Case& c : cases) {
    const std::string bySuffix = dir.File(std::string("console.") + c.format);
    const std::string byOption = dir.File(std::string("console-") + c.format + ".data");
    const testkit::ProgramResult r = testkit::RunProgram(
        "run -", setUp + "export \"Extrude NURBS\" \"" + bySuffix + "\"\nexport \"Extrude NURBS\" \"" + byOption +
                     "\" --format " + c.format + "\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FormatOfBytes(testkit::ReadFileBytes(bySuffix)), c.format);
    EXPECT_EQ(FormatOfBytes(testkit::ReadFileBytes(byOption)), c.format);
  }
}

// glTF counts in metres: positions are scene units times --unit (1 mm by
// default, so the default arrow, 500 units, is 0.5 m long); the other formats keep the
// scene's units and name the unit.
TEST_P(MeshProgram, TheUnitScalesGltfAndIsNamedElsewhere) {
  testkit::TempDir dir;
  struct Case {
    const char* format;
    double unit;
    double length;  // the arrow's length along x in the file
    const char* note;
  };
  const Case cases[] = {
      {"glb", host::mesh::kDefaultUnit, 0.5, ""},
      {"glb", 0.01, 5.0, ""},
      {"gltf", 1.0, 500.0, ""},
      {"obj", 0.01, 500.0, "# Tolvane mesh, 1 unit = 0.01 m\n"},
      {"ply", 0.0254, 500.0, "comment Tolvane mesh, 1 unit = 0.0254 m\n"},
      {"stl", 1.0, 500.0, "Tolvane mesh, 1 unit = 1 m"},
  };
  int serial = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " unit " + std::to_string(c.unit));
    host::mesh::MeshOptions o;
    o.unit = c.unit;
    o.output = dir.File("u" + std::to_string(++serial) + "." + c.format);
    std::string err;
    ASSERT_EQ(Run(o, &err), 0) << err;
    Mesh back;
    std::string why;
    ASSERT_TRUE(host::mesh::ReadMeshFile(o.output, &back, &why)) << why;
    const Measures m = Measure(back);
    EXPECT_NEAR(m.max.x - m.min.x, c.length, 1e-5 * c.length);
    if (*c.note != '\0') {
      EXPECT_NE(testkit::ReadFileBytes(o.output).find(c.note), std::string::npos);
    }
  }
}

// Normals: a flat extrusion is shaded flat (every corner's normal is its
// face's: vertices split at the hard edges); rounded caps are shaded smooth
// (corners of the rim take the mean of the faces round them), and no corner
// turns further from its face than the crease angle.
TEST_P(MeshTest, NormalsAreFlatOnFlatFacesAndSmoothOnRoundedCaps) {
  for (bool rounded : {false, true}) {
    SCOPED_TRACE(rounded ? "rounded" : "flat");
    Object* extrude = Extruded({"ARROW_FLETCHING=true"}, rounded, {0.0, 0.0, 20.0});
    ASSERT_NE(extrude, nullptr);
    const Evaluation eval = Evaluate(H(), extrude);
    ASSERT_TRUE(eval.ok) << eval.reason;
    const host::mesh::ShadedMesh shaded = host::mesh::Shade(eval.mesh, host::mesh::kCreaseDegrees);
    ASSERT_EQ(shaded.triangles.size(), eval.mesh.triangles.size());
    ASSERT_EQ(shaded.normals.size(), shaded.vertices.size());
    std::size_t smooth = 0;
    const double cosCrease = std::cos(host::mesh::kCreaseDegrees * M_PI / 180.0);
    for (std::size_t t = 0; t < shaded.triangles.size(); ++t) {
      const auto& tri = shaded.triangles[t];
      const auto& was = eval.mesh.triangles[t];
      const Vec3 a = shaded.vertices[tri[0]], b = shaded.vertices[tri[1]], d = shaded.vertices[tri[2]];
      const Vec3 cross = Cross(Sub(b, a), Sub(d, a));
      const Vec3 face{cross.x / Len(cross), cross.y / Len(cross), cross.z / Len(cross)};
      for (int k = 0; k < 3; ++k) {
        const Vec3 n = shaded.normals[tri[k]];
        EXPECT_NEAR(Len(n), 1.0, 1e-9);
        EXPECT_EQ(Len(Sub(shaded.vertices[tri[k]], eval.mesh.vertices[was[k]])), 0.0);  // same place
        const double c = Dot(n, face);
        EXPECT_GE(c, cosCrease - 1e-9);
        if (c < 1.0 - 1e-6) ++smooth;
      }
    }
    if (rounded) {
      EXPECT_GT(smooth, shaded.triangles.size());  // the rim's corners
    } else {
      EXPECT_EQ(smooth, 0u);
      EXPECT_GT(shaded.vertices.size(), eval.mesh.vertices.size());  // split at the hard edges
    }
  }
}

// --preset loads a preset (by name or file) into the arrow before the --set
// values; a preset that cannot be loaded is named.
TEST_P(MeshProgram, PresetsLoadBeforeTheSettings) {
  testkit::TempDir dir;
  Measures want;
  {
    host::Session session(host::SessionOptions{GetParam(), "", 0});
    std::string error;
    ASSERT_TRUE(session.Open(&error)) << error;
    Object* arrow = session.NewArrow(false, &error);
    ASSERT_NE(arrow, nullptr) << error;
    ASSERT_TRUE(session.LoadPreset(arrow, session.FindPreset("fletched-notched"), &error)) << error;
    ASSERT_TRUE(session.ApplySetting(arrow, "ARROW_SHAFT_LENGTH=300", &error)) << error;
    ASSERT_TRUE(session.PressButton(arrow, "ARROW_MAKE_EXTRUDE", &error));
    const Evaluation eval = Evaluate(session.GetHost(), arrow->Up());
    ASSERT_TRUE(eval.ok) << eval.reason;
    want = Measure(eval.mesh);
    testkit::ExpectCleanShutdown(session.GetHost());
  }
  host::mesh::MeshOptions o;
  o.preset = "fletched-notched";
  o.sets = {"ARROW_SHAFT_LENGTH=300"};
  o.unit = 1.0;
  o.output = dir.File("preset.stl");
  std::string err;
  ASSERT_EQ(Run(o, &err), 0) << err;
  Mesh back;
  std::string why;
  ASSERT_TRUE(host::mesh::ReadMeshFile(o.output, &back, &why)) << why;
  const Measures got = Measure(back);
  EXPECT_EQ(got.triangles, want.triangles);
  EXPECT_NEAR(got.volume, want.volume, 1e-5 * want.volume);
  EXPECT_NEAR(got.max.x - got.min.x, want.max.x - want.min.x, 1e-3);

  o.preset = dir.File("no-such.tlv");
  o.output = dir.File("none.stl");
  EXPECT_EQ(Run(o, &err), 1);
  EXPECT_NE(err.find("no-such.tlv"), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(o.output));
}

// --scene FILE --object NAME writes any object of a scene file that has a
// mesh; a missing file, a missing object (the names listed) and an object
// without a mesh are each said plainly.
TEST_P(MeshProgram, SceneObjectsExportAsTheyStand) {
  testkit::TempDir dir;
  const std::string scene = dir.File("row.tlvscene");
  const std::string script = testkit::ReadFileBytes(TOLVANE_SOURCE_DIR "/examples/cloner-along-path.script");
  std::string forRelease = script;
  const std::string line = "plugin release 16\n";
  forRelease.replace(forRelease.find(line), line.size(), "plugin release " + std::to_string(GetParam()) + "\n");
  const testkit::ProgramResult saved =
      testkit::RunProgram("run -", forRelease + "print mesh Cloner\nsave-scene \"" + scene + "\"\n");
  ASSERT_EQ(saved.status, 0) << saved.err;
  const std::string last = saved.out.substr(saved.out.rfind("{\"name\":\"Cloner\",\"vertices\""));

  host::mesh::MeshOptions o;
  o.scene = scene;
  o.object = "Cloner";
  o.output = dir.File("row.ply");
  std::string err;
  ASSERT_EQ(Run(o, &err), 0) << err;
  Mesh back;
  std::string why;
  ASSERT_TRUE(host::mesh::ReadMeshFile(o.output, &back, &why)) << why;
  EXPECT_NE(last.find("\"triangles\":" + std::to_string(back.triangles.size()) + ","), std::string::npos) << last;
  EXPECT_TRUE(Measure(back).closed);

  struct Wrong {
    std::string scene, object;
    int status;
    std::string message;  // the start of the message
  };
  const Wrong wrong[] = {
      {dir.File("missing.tlvscene"), "Cloner", 1, "tolvane-host: cannot load the scene: "},
      {scene, "Nope", 1,
       "tolvane-host: no object 'Nope' in the scene '" + scene +
           "': it has 'Cloner', 'Extrude NURBS', 'Arrow', 'Path'\n"},
      {scene, "Path", 1, "tolvane-host: no mesh for 'Path': 'Path' is a spline: it has no mesh of its own\n"},
      {scene, "", 2, "tolvane-host: --scene FILE and --object NAME go together\n"},
  };
  for (const Wrong& w : wrong) {
    SCOPED_TRACE(w.object);
    o.scene = w.scene;
    o.object = w.object;
    o.output = dir.File("wrong.glb");
    EXPECT_EQ(Run(o, &err), w.status);
    EXPECT_EQ(err.rfind(w.message, 0), 0u) << err;
    EXPECT_FALSE(std::filesystem::exists(o.output));
  }
  // A missing file says why.
  o.scene = dir.File("missing.tlvscene");
  o.object = "Cloner";
  Run(o, &err);
  EXPECT_NE(err.find("missing.tlvscene"), std::string::npos) << err;
  o.scene = scene;
  o.sets = {"ARROW_CHEVRON=true"};
  EXPECT_EQ(Run(o, &err), 2);
  EXPECT_EQ(err,
            "tolvane-host: --scene exports the object as it stands: --preset, --set and --rounded make an arrow "
            "of their own\n");
}

// Every example that builds a set-up exports it as it stands, in every
// format, and the cloner example's clones do not overlap.
// Whichever file operation of an export fails, the files there before are
// kept: the file and the ones it names beside it (an obj's .mtl, a gltf's
// .bin) are written whole and put in place together, the file last. Only a
// failure of one of those last renames leaves the ones before it new, and
// the message says so; no temporary is left either way.
TEST(MeshFiles, AFailedExportKeepsTheFilesThatWereThere) {
  host::Host running;  // whose failure plan the saves follow
  Mesh old, next;
  old.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  old.triangles = {{{0, 2, 1}}, {{0, 1, 3}}, {{0, 3, 2}}, {{1, 2, 3}}};
  next = old;
  for (Vec3& v : next.vertices) v.z += 5.0;
  for (const char* format : {"obj", "stl", "ply", "gltf", "glb"}) {
    SCOPED_TRACE(format);
    testkit::TempDir dir;
    const std::string path = dir.File(std::string("tetra.") + format);
    std::string error;
    ASSERT_TRUE(host::mesh::WriteMesh(old, "tetra", format, path, &error)) << error;
    const auto snapshot = [&] {
      std::vector<std::pair<std::string, std::string>> files;
      for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        files.emplace_back(e.path().filename().string(), testkit::ReadFileBytes(e.path().string()));
      std::sort(files.begin(), files.end());
      return files;
    };
    const auto before = snapshot();
    const std::string main = testkit::ReadFileBytes(path);
    host::FailurePlan& plan = host::Failures();
    long failed = 0;  // the file operations the export met
    for (long nth = 1;; ++nth) {
      plan.Reset();
      plan.FailFileOperation(nth);
      error.clear();
      const bool ok = host::mesh::WriteMesh(next, "tetra", format, path, &error);
      const bool injected = plan.FileFailuresInjected() > 0;
      plan.Reset();
      if (!injected) {
        EXPECT_TRUE(ok) << error;
        EXPECT_GE(failed, 4) << "the export's writes follow the failure plan (create, write, close, replace)";
        break;
      }
      ++failed;
      EXPECT_FALSE(ok) << "file operation " << nth;
      const auto now = snapshot();
      EXPECT_EQ(now.size(), before.size()) << "file operation " << nth << ": a file more or less";
      if (error.find("before it written") == std::string::npos) {
        EXPECT_EQ(now, before) << "file operation " << nth;
      }
      // The file itself is put in place last, so it is always the old one.
      EXPECT_EQ(testkit::ReadFileBytes(path), main) << "file operation " << nth << ": " << error;
      ASSERT_TRUE(host::mesh::WriteMesh(old, "tetra", format, path, &error)) << error;
      ASSERT_LT(nth, 100);
    }
    EXPECT_NE(snapshot(), before) << "the export went through at last";
  }
}

TEST(MeshExamples, EveryExampleSetUpExportsInEveryFormat) {
  testkit::TempDir dir;
  struct Example {
    const char* file;
    const char* object;
  };
  const Example examples[] = {
      {"cloner-along-path.script", "Cloner"},
      {"wrap-along-path.script", "Extrude NURBS"},
      {"grow-along-path.script", "Extrude NURBS"},
  };
  // Each example that presses a set-up button is in the table.
  for (const auto& entry : std::filesystem::directory_iterator(TOLVANE_SOURCE_DIR "/examples")) {
    const std::string name = entry.path().filename().string();
    if (testkit::ReadFileBytes(entry.path().string()).find("ARROW_MAKE_") == std::string::npos) continue;
    EXPECT_TRUE(std::any_of(std::begin(examples), std::end(examples),
                            [&](const Example& e) { return name == e.file; }))
        << name << " builds a set-up the test does not export";
  }
  for (const Example& e : examples) {
    SCOPED_TRACE(e.file);
    std::string script = testkit::ReadFileBytes(std::string(TOLVANE_SOURCE_DIR "/examples/") + e.file);
    std::vector<std::string> files;
    for (const char* format : {"glb", "gltf", "obj", "stl", "ply"}) {
      files.push_back(dir.File(std::string(e.file) + "." + format));
      script += std::string("export \"") + e.object + "\" \"" + files.back() + "\"\n";
    }
    const testkit::ProgramResult r = testkit::RunProgram("run -", script);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const std::string& f : files) {
      Mesh back;
      std::string why;
      ASSERT_TRUE(host::mesh::ReadMeshFile(f, &back, &why)) << why;
      const Measures m = Measure(back);
      EXPECT_TRUE(m.closed && m.oriented) << f;
    }
  }
  // The cloner's copies keep apart: five separate solids (joined where
  // they share vertices), no vertex of one nearer than 100 units to another's.
  Mesh row;
  std::string why;
  ASSERT_TRUE(host::mesh::ReadMeshFile(dir.File("cloner-along-path.script.stl"), &row, &why)) << why;
  std::vector<uint32_t> part(row.vertices.size());
  for (uint32_t i = 0; i < part.size(); ++i) part[i] = i;
  const auto find = [&part](uint32_t i) {
    while (part[i] != i) i = part[i] = part[part[i]];
    return i;
  };
  for (const auto& t : row.triangles) {
    part[find(t[1])] = find(t[0]);
    part[find(t[2])] = find(t[0]);
  }
  std::vector<uint32_t> roots;
  for (uint32_t i = 0; i < part.size(); ++i) {
    if (find(i) == i) roots.push_back(i);
  }
  EXPECT_EQ(roots.size(), 5u);
  double nearest = INFINITY;
  for (std::size_t i = 0; i < row.vertices.size(); ++i) {
    for (std::size_t j = i + 1; j < row.vertices.size(); ++j) {
      if (find(static_cast<uint32_t>(i)) != find(static_cast<uint32_t>(j)))
        nearest = std::fmin(nearest, Len(Sub(row.vertices[i], row.vertices[j])));
    }
  }
  EXPECT_GT(nearest, 100.0);
}

}  // namespace
