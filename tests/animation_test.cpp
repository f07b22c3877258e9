// Animation: interpolation between keys, keys in scene files (and older
// files without them), keying as undo steps, what going to a frame tells the
// module, and the animated exports against the outlines and meshes at each
// frame.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "animation.h"
#include "checksums.h"
#include "fixture.h"
#include "mesh.h"
#include "mesh_console.h"
#include "outline_svg.h"
#include "scenefile.h"
#include "script.h"

namespace {

using host::AnimKey;
using host::Interpolation;
using host::Json;
using host::Value;
using testkit::RunProgram;
using testkit::TempDir;

std::string Source(const std::string& relative) { return std::string(TOLVANE_SOURCE_DIR) + "/" + relative; }

// A console with the mesh commands that stops the test at the first failed line.
class Console {
 public:
  Console() : console_(out_, {&host::mesh::AddMeshCommands}) {}
  ~Console() {
    std::string error;
    EXPECT_TRUE(console_.Finish(&error)) << error;
  }
  void Run(const std::string& lines) {
    std::istringstream in(lines);
    std::string line, error;
    while (std::getline(in, line)) ASSERT_TRUE(console_.Execute(line, &error)) << line << ": " << error;
  }
  Json Print(const std::string& subject) {
    host::ScriptError error;
    Json doc = console_.PrintedDocument(subject, &error);
    EXPECT_FALSE(doc.is_null()) << subject << ": " << error.message;
    return doc;
  }
  host::Document* Doc() { return console_.LoadedSession()->Doc(); }
  host::ScriptConsole& Get() { return console_; }

 private:
  std::ostringstream out_;
  host::ScriptConsole console_;
};

host::Track TrackOf(std::initializer_list<AnimKey> keys) {
  host::Track track;
  for (const AnimKey& k : keys) host::PutKey(&track, k);
  return track;
}

TEST(Animation, InterpolationBetweenKeys) {
  struct Case {
    Interpolation how;
    double frame;
    double expected;
  };
  // From 100 at frame 10 to 300 at frame 20, by the first key's interpolation.
  const Case cases[] = {
      {Interpolation::kHold, 0, 100},    {Interpolation::kHold, 10, 100},   {Interpolation::kHold, 15, 100},
      {Interpolation::kHold, 19.9, 100}, {Interpolation::kHold, 20, 300},   {Interpolation::kHold, 99, 300},
      {Interpolation::kLinear, 0, 100},  {Interpolation::kLinear, 12, 140}, {Interpolation::kLinear, 15, 200},
      {Interpolation::kLinear, 17.5, 250}, {Interpolation::kLinear, 20, 300}, {Interpolation::kLinear, 25, 300},
      {Interpolation::kEase, 10, 100},   {Interpolation::kEase, 12, 100 + 200 * 0.104},
      {Interpolation::kEase, 15, 200},   {Interpolation::kEase, 18, 100 + 200 * 0.896},
      {Interpolation::kEase, 20, 300},
  };
  for (const Case& c : cases) {
    const host::Track track = TrackOf({{20, Value::Real(300), Interpolation::kHold}, {10, Value::Real(100), c.how}});
    const Value v = host::ValueAt(track, c.frame);
    ASSERT_EQ(v.type, HA_TYPE_FLOAT);
    EXPECT_NEAR(v.f, c.expected, 1e-9) << host::InterpolationName(c.how) << " at " << c.frame;
  }
}

TEST(Animation, KeysStaySortedAndWholeNumbersHold) {
  host::Track track = TrackOf({{30, Value::Int(3), Interpolation::kLinear},
                               {0, Value::Int(1), Interpolation::kLinear},
                               {15, Value::Int(2), Interpolation::kEase}});
  host::PutKey(&track, {15, Value::Int(5), Interpolation::kLinear});  // replaces the key at 15
  ASSERT_EQ(track.size(), 3u);
  EXPECT_EQ(track[0].frame, 0);
  EXPECT_EQ(track[1].frame, 15);
  EXPECT_EQ(track[2].frame, 30);
  EXPECT_EQ(host::ValueAt(track, 14).i, 1);  // an integer holds, linear or not
  EXPECT_EQ(host::ValueAt(track, 15).i, 5);
  EXPECT_EQ(host::ValueAt(track, 29.5).i, 5);
  EXPECT_TRUE(host::RemoveKey(&track, 15));
  EXPECT_FALSE(host::RemoveKey(&track, 15));
  EXPECT_EQ(host::ValueAt(track, 20).i, 1);
}

TEST(Animation, KeyingAndUnkeyingAreOneUndoStepEach) {
  Console c;
  c.Run("arrow Arrow\nkey Arrow ARROW_SHAFT_LENGTH 0 100");
  const std::size_t steps = c.Doc()->UndoSteps().size();
  c.Run("key Arrow ARROW_SHAFT_LENGTH 30 400 ease");
  EXPECT_EQ(c.Doc()->UndoSteps().size(), steps + 1);
  const Json two = c.Print("keys Arrow");
  ASSERT_EQ(two["params"][0]["keys"].size(), 2u);
  EXPECT_EQ(two["params"][0]["keys"][1]["value"], 400.0);  // read as the editor reads it
  EXPECT_EQ(two["params"][0]["keys"][1]["interpolation"], "ease");
  c.Run("undo");
  EXPECT_EQ(c.Print("keys Arrow")["params"][0]["keys"].size(), 1u);
  c.Run("redo");
  EXPECT_EQ(c.Print("keys Arrow"), two);
  c.Run("unkey Arrow ARROW_SHAFT_LENGTH 0");
  EXPECT_EQ(c.Doc()->UndoSteps().size(), steps + 2);
  EXPECT_EQ(c.Print("keys Arrow")["params"][0]["keys"].size(), 1u);
  c.Run("undo");
  EXPECT_EQ(c.Print("keys Arrow"), two);
  // Not a key there, not a number: script errors, no step.
  EXPECT_EQ(c.Get().Run("unkey Arrow ARROW_SHAFT_LENGTH 7").status, host::kScriptError);
  EXPECT_EQ(c.Get().Run("key Arrow ARROW_PRESET_NAME 7 Fast").status, host::kScriptError);
  EXPECT_EQ(c.Get().Run("key Arrow ARROW_SHAFT_LENGTH 7 10 bounce").status, host::kScriptError);
  EXPECT_EQ(c.Doc()->UndoSteps().size(), steps + 1);
}

TEST(Animation, GoingToAFrameWritesTheValuesAndTellsTheModuleAsAnEditDoes) {
  Console c;
  c.Run("arrow Arrow\nkey Arrow ARROW_SHAFT_LENGTH 0 100\nkey Arrow ARROW_SHAFT_LENGTH 20 300\n"
        "key Arrow ARROW_CHEVRON 10 false hold\nkey Arrow ARROW_CHEVRON 15 true");
  const std::size_t steps = c.Doc()->UndoSteps().size();
  const std::size_t messages = c.Print("messages").size();
  c.Run("frame 5");
  EXPECT_EQ(c.Print("params Arrow names")["params"]["ARROW_SHAFT_LENGTH"], 150.0);
  EXPECT_EQ(c.Print("params Arrow names")["params"]["ARROW_CHEVRON"], false);
  EXPECT_EQ(c.Print("time")["frame"], 5);
  c.Run("frame 15");
  EXPECT_EQ(c.Print("params Arrow names")["params"]["ARROW_SHAFT_LENGTH"], 250.0);
  EXPECT_EQ(c.Print("params Arrow names")["params"]["ARROW_CHEVRON"], true);
  EXPECT_EQ(c.Doc()->UndoSteps().size(), steps) << "a frame is no edit";
  // Frame 5 changed the length (the chevron was off already), frame 15 both:
  // one changed-parameter message each.
  const Json all = c.Print("messages");
  int changed = 0;
  for (std::size_t i = messages; i < all.size(); ++i) changed += all[i]["type"] == HA_MSG_DESCRIPTION_POSTSETPARAMETER;
  EXPECT_EQ(changed, 3);
}

TEST(Animation, SetUpsFollowAFrame) {
  Console c;
  c.Run("object spline Path\npoints Path linear 0,0,0 500,0,0\narrow Arrow\n"
        "set Arrow ARROW_CLONE_SPLINE Path\nset Arrow ARROW_CLONE_COUNT 2\npress Arrow ARROW_MAKE_CLONER\n"
        "key Arrow ARROW_CLONE_COUNT 0 2\nkey Arrow ARROW_CLONE_COUNT 10 7\nframe 10");
  const Json cloner = c.Print("params Cloner");
  bool sevenClones = false;
  for (const auto& [id, v] : cloner["params"].items()) sevenClones = sevenClones || (v == 7);
  EXPECT_TRUE(sevenClones) << cloner.dump();
}

TEST(Animation, KeysAreSavedAndLoaded) {
  TempDir dir;
  Json keys, time;
  {
    Console c;
    c.Run("arrow Arrow\nfps 24\nrange 5 50\nkey Arrow ARROW_SHAFT_LENGTH 5 100 hold\n"
          "key Arrow ARROW_SHAFT_LENGTH 50 300 ease\nkey Arrow ARROW_DOUBLE_HEADED 20 true\n"
          "object null Holder\nkey Holder 7 3 int:4\nframe 12\nsave-scene " +
          dir.File("a.tlvscene"));
    keys = c.Print("keys Arrow");
    time = c.Print("time");
  }
  Console d;
  d.Run("load-scene " + dir.File("a.tlvscene"));
  EXPECT_EQ(d.Print("keys Arrow"), keys);
  EXPECT_EQ(d.Print("time"), time);
  EXPECT_EQ(time, (Json{{"fps", 24.0}, {"range", {5, 50}}, {"frame", 12}}));
  EXPECT_EQ(d.Print("keys Holder")["params"][0]["keys"][0]["value"], 4);
}

TEST(Animation, AFormatOneSceneStillLoads) {
  Console c;
  c.Run("object spline Path\npoints Path linear 0,0,0 10,0,0");
  std::string bytes, error;
  ASSERT_TRUE(host::EncodeScene(*c.Doc(), 16049, &bytes, &error)) << error;
  // The same document as format 1 wrote it: no animation after the active
  // object (f64 fps, three i32, u32 keyed count).
  bytes.resize(bytes.size() - 24);
  const auto put = [&](std::size_t at, uint64_t v, int n) {
    for (int k = 0; k < n; ++k) bytes[at + k] = static_cast<char>((v >> (8 * k)) & 0xff);
  };
  put(8, 1, 4);
  put(16, bytes.size() - host::kSceneHeaderSize, 8);
  put(24, host::Crc32(reinterpret_cast<const uint8_t*>(bytes.data()) + host::kSceneHeaderSize,
                      bytes.size() - host::kSceneHeaderSize),
      4);
  std::unique_ptr<host::Document> doc = host::DecodeScene(bytes, &error);
  ASSERT_NE(doc, nullptr) << error;
  ASSERT_NE(doc->FindNamed("Path"), nullptr);
  EXPECT_EQ(doc->FindNamed("Path")->Points().size(), 2u);
  EXPECT_EQ(doc->Time().fps, 30.0);
  EXPECT_EQ(doc->Time().start, 0);
  EXPECT_EQ(doc->Time().end, 90);
  // A format 2 file cut short in its animation is refused.
  std::string now;
  ASSERT_TRUE(host::EncodeScene(*c.Doc(), 16049, &now, &error));
  now.resize(now.size() - 4);
  for (int k = 0; k < 8; ++k) now[16 + k] = static_cast<char>(((now.size() - host::kSceneHeaderSize) >> (8 * k)) & 0xff);
  const uint32_t crc = host::Crc32(reinterpret_cast<const uint8_t*>(now.data()) + host::kSceneHeaderSize,
                                   now.size() - host::kSceneHeaderSize);
  for (int k = 0; k < 4; ++k) now[24 + k] = static_cast<char>((crc >> (8 * k)) & 0xff);
  EXPECT_EQ(host::DecodeScene(now, &error), nullptr);
}

// The values of the SVG's <animate> element, one path data a frame.
std::vector<std::string> AnimatedValues(const std::string& svg) {
  const std::string marker = "values=\"";
  const std::size_t from = svg.find(marker);
  if (from == std::string::npos) return {};
  const std::size_t to = svg.find('"', from + marker.size());
  std::vector<std::string> values;
  std::stringstream list(svg.substr(from + marker.size(), to - from - marker.size()));
  for (std::string v; std::getline(list, v, ';');) values.push_back(v);
  return values;
}

TEST(Animation, TheAnimatedSvgHoldsTheOutlineOfEveryFrame) {
  TempDir dir;
  const std::string scene = dir.File("a.tlvscene");
  Console c;
  c.Run("arrow Arrow\nrange 0 12\nkey Arrow ARROW_SHAFT_LENGTH 0 100 ease\nkey Arrow ARROW_SHAFT_LENGTH 12 500\n"
        "key Arrow ARROW_HEAD_TAPER 4 0%\nkey Arrow ARROW_HEAD_TAPER 8 50% hold\nsave-scene " + scene);
  const auto r = RunProgram("animate --scene " + scene + " --object Arrow -o " + dir.File("a.svg"));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string svg = testkit::ReadFileBytes(dir.File("a.svg"));
  EXPECT_NE(svg.find("repeatCount=\"indefinite\""), std::string::npos);
  EXPECT_NE(svg.find("dur=\"0.4s\""), std::string::npos) << "12 frame steps at 30 fps";
  const std::vector<std::string> values = AnimatedValues(svg);
  ASSERT_EQ(values.size(), 13u);
  for (int f = 0; f <= 12; ++f) {
    c.Run("frame " + std::to_string(f));
    const Json contour = c.Print("contour Arrow");
    host::Outline outline;
    outline.closed = contour["closed"];
    for (const Json& p : contour["points"]) outline.points.push_back({p[0], p[1], p[2]});
    EXPECT_EQ(values[f], host::OutlinePathData(outline, host::PlaneOf(outline))) << "frame " << f;
  }
  // Frames of their own, named by the pattern.
  const auto seq = RunProgram("animate --scene " + scene + " --object Arrow --frames 2..4 -o " +
                              dir.File("arrow-%04d.svg"));
  ASSERT_EQ(seq.status, 0) << seq.err;
  for (const char* name : {"arrow-0002.svg", "arrow-0003.svg", "arrow-0004.svg"})
    EXPECT_TRUE(std::filesystem::exists(dir.File(name))) << name;
  EXPECT_FALSE(std::filesystem::exists(dir.File("arrow-0005.svg")));
}

TEST(Animation, APointCountThatChangesIsRefused) {
  TempDir dir;
  const std::string scene = dir.File("a.tlvscene");
  {
    Console c;
    c.Run("arrow Arrow\nrange 0 4\nkey Arrow ARROW_DOUBLE_HEADED 0 false\nkey Arrow ARROW_DOUBLE_HEADED 2 true\n"
          "save-scene " + scene);
  }
  const auto r = RunProgram("animate --scene " + scene + " --object Arrow -o " + dir.File("a.svg"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("same point count"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("a.svg")));
}

// A glb file's JSON chunk.
Json GlbJson(const std::string& bytes) {
  uint32_t length = 0;
  std::memcpy(&length, bytes.data() + 12, 4);
  return Json::parse(bytes.substr(20, length));
}

TEST(Animation, TheGltfMorphsThroughEveryFrame) {
  TempDir dir;
  const std::string scene = dir.File("e.tlvscene");
  {
    Console c;
    c.Run("arrow Arrow\npress Arrow ARROW_MAKE_EXTRUDE\nrange 0 10\nfps 25\nkey Arrow ARROW_SHAFT_LENGTH 0 100\n"
          "key Arrow ARROW_SHAFT_LENGTH 10 400 ease\nsave-scene " + scene);
  }
  const auto r = RunProgram("animate --scene " + scene + " --object \"Extrude NURBS\" -o " + dir.File("e.glb"));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string bytes = testkit::ReadFileBytes(dir.File("e.glb"));
  ASSERT_EQ(bytes.substr(0, 4), "glTF");
  const Json gltf = GlbJson(bytes);
  const Json& primitive = gltf["meshes"][0]["primitives"][0];
  ASSERT_EQ(primitive["targets"].size(), 11u);
  EXPECT_EQ(gltf["meshes"][0]["weights"].size(), 11u);
  const Json& sampler = gltf["animations"][0]["samplers"][0];
  EXPECT_EQ(sampler["interpolation"], "LINEAR");
  const Json& input = gltf["accessors"][sampler["input"].get<int>()];
  const Json& output = gltf["accessors"][sampler["output"].get<int>()];
  EXPECT_EQ(input["count"], 11);
  EXPECT_EQ(output["count"], 121);
  EXPECT_FLOAT_EQ(input["min"][0].get<float>(), 0.0f);
  EXPECT_FLOAT_EQ(input["max"][0].get<float>(), 10.0f / 25.0f);
  const int vertices = gltf["accessors"][primitive["attributes"]["POSITION"].get<int>()]["count"];
  for (const Json& target : primitive["targets"])
    EXPECT_EQ(gltf["accessors"][target["POSITION"].get<int>()]["count"], vertices);
  // The last target moves the tip from frame 0's x (100 + 100 head, centred:
  // 100) to frame 10's (400 + 100 centred: 250), 0.001 m a unit.
  const Json& last = gltf["accessors"][primitive["targets"][10]["POSITION"].get<int>()];
  EXPECT_NEAR(last["max"][0].get<double>(), 0.15, 1e-4);
}

TEST(Animation, AnArrowGrowsAlongItsPath) {
  std::ifstream file(Source("examples/grow-along-path.script"));
  std::stringstream script;
  script << file.rdbuf();
  ASSERT_FALSE(script.str().empty());
  Console c;
  c.Run(script.str());
  c.Run("frame 30");
  host::Object* extrusion = c.Doc()->FindNamed("Extrude NURBS");
  ASSERT_NE(extrusion, nullptr);
  host::mesh::Evaluation eval = host::mesh::Evaluate(c.Get().LoadedSession()->GetHost(), extrusion);
  ASSERT_TRUE(eval.ok) << eval.reason;
  // The tip: the vertex farthest along the path's last leg (+Y).
  host::mesh::Vec3 tip = eval.mesh.vertices.front();
  for (const host::mesh::Vec3& v : eval.mesh.vertices) if (v.y > tip.y) tip = v;
  EXPECT_NEAR(tip.x, 400.0, 1.0);
  EXPECT_NEAR(tip.y, 300.0, 1.0);
  // At the first frame only the head stands at the path's start.
  c.Run("frame 0");
  eval = host::mesh::Evaluate(c.Get().LoadedSession()->GetHost(), extrusion);
  ASSERT_TRUE(eval.ok) << eval.reason;
  for (const host::mesh::Vec3& v : eval.mesh.vertices) EXPECT_LE(v.x, 100.0 + 1e-6);
}

TEST(Animation, TheGrowingArrowExportsAsSvgButNotAsMorphTargets) {
  TempDir dir;
  const auto saved = RunProgram("run -", testkit::ReadFileBytes(Source("examples/grow-along-path.script")) +
                                             "\nsave-scene " + dir.File("grow.tlvscene") + "\n");
  ASSERT_EQ(saved.status, 0) << saved.err;
  const auto svg = RunProgram("animate --scene " + dir.File("grow.tlvscene") + " --object Arrow -o " +
                              dir.File("grow.svg"));
  EXPECT_EQ(svg.status, 0) << svg.err;
  EXPECT_EQ(AnimatedValues(testkit::ReadFileBytes(dir.File("grow.svg"))).size(), 31u);
  // The wrap cuts the mesh where the path bends, so its topology changes as
  // the arrow grows: said so, and nothing written.
  const auto glb = RunProgram("animate --scene " + dir.File("grow.tlvscene") + " --object \"Extrude NURBS\" -o " +
                              dir.File("grow.glb"));
  EXPECT_EQ(glb.status, 1);
  EXPECT_NE(glb.err.find("topology changes"), std::string::npos) << glb.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("grow.glb")));
}

}  // namespace
