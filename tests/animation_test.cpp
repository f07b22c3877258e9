// Animation: interpolation between keys, keys in scene files (and older
// files without them), keying as undo steps, what going to a frame tells the
// module, and the animated exports against the outlines and meshes at each
// frame.
#include <algorithm>
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

// A step made at one frame and undone or redone at another brings back the
// container as it was, keyed values of the old frame included: the frame
// shown is evaluated again, so the values are the keys' at that frame.
TEST(Animation, UndoAndRedoAtAnotherFrameKeepTheKeyedValuesOfTheFrameShown) {
  Console c;
  c.Run("arrow A\nkey A ARROW_SHAFT_LENGTH 0 400\nkey A ARROW_SHAFT_LENGTH 30 100\nframe 0\n"
        "set A ARROW_SHAFT_WIDTH 70\nframe 30");
  const auto shaft = [&] { return c.Print("params A names")["params"]["ARROW_SHAFT_LENGTH"]; };
  ASSERT_EQ(shaft(), 100.0);
  const std::size_t steps = c.Doc()->UndoSteps().size();
  c.Run("undo");
  EXPECT_EQ(c.Print("params A names")["params"]["ARROW_SHAFT_WIDTH"], 100.0);
  EXPECT_EQ(shaft(), 100.0);
  EXPECT_EQ(c.Print("time")["frame"], 30);
  const Json undone = c.Print("contour A");
  c.Run("frame 0\nframe 30");
  EXPECT_EQ(c.Print("contour A"), undone) << "the contour is the frame's";
  c.Run("frame 0\nredo");
  EXPECT_EQ(c.Print("params A names")["params"]["ARROW_SHAFT_WIDTH"], 70.0);
  EXPECT_EQ(shaft(), 400.0);
  // Following the frame is no step of its own.
  EXPECT_EQ(c.Doc()->UndoSteps().size(), steps);
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

// A scene file made by hand (or damaged and its checksum made good) with
// keys the console would never make is refused whole, with the reason.
TEST(Animation, KeysAndTimeLinesBeyondTheLimitsAreRefusedOnLoad) {
  Console c;
  c.Run("arrow Arrow\nkey Arrow ARROW_SHAFT_LENGTH 5 150");
  std::string good, error;
  ASSERT_TRUE(host::EncodeScene(*c.Doc(), 16049, &good, &error)) << error;
  ASSERT_NE(host::DecodeScene(good, &error), nullptr) << error;
  // The file ends in the animation: fps (f64), first, last and current
  // frame, the keyed count, the object's index and track count, the
  // track's parameter and key count, and the key: frame, interpolation,
  // type and its f64 value.
  const std::size_t end = good.size(), key = end - 17, fps = end - 57;
  const auto f64 = [](double v) { std::string b(8, '\0'); std::memcpy(&b[0], &v, 8); return b; };
  const auto i32 = [](int32_t v) { std::string b(4, '\0'); std::memcpy(&b[0], &v, 4); return b; };
  struct Case {
    const char* what;
    std::size_t at;
    std::string bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"a value that is no number", end - 8, f64(std::nan("")), "finite"},
      {"an infinite value", end - 8, f64(INFINITY), "finite"},
      {"a key far beyond the frames", key, i32(INT32_MAX), "beyond the frames"},
      {"a key just beyond them", key, i32(host::kFrameLimit + 1), "beyond the frames"},
      {"a frame rate of almost nothing", fps, f64(1e-300), "time line"},
      {"a frame rate too fast", fps, f64(1001.0), "time line"},
      {"a current frame beyond the frames", fps + 16, i32(-host::kFrameLimit - 1), "time line"},
  };
  ASSERT_EQ(std::memcmp(good.data() + key, i32(5).data(), 4), 0) << "the key's frame is where the test looks";
  ASSERT_EQ(std::memcmp(good.data() + fps, f64(30.0).data(), 8), 0) << "and the frame rate";
  for (const Case& k : cases) {
    std::string bytes = good;
    bytes.replace(k.at, k.bytes.size(), k.bytes);
    const uint32_t crc = host::Crc32(reinterpret_cast<const uint8_t*>(bytes.data()) + host::kSceneHeaderSize,
                                     bytes.size() - host::kSceneHeaderSize);
    for (int b = 0; b < 4; ++b) bytes[24 + b] = static_cast<char>((crc >> (8 * b)) & 0xff);
    error.clear();
    EXPECT_EQ(host::DecodeScene(bytes, &error), nullptr) << k.what;
    EXPECT_NE(error.find(k.reason), std::string::npos) << k.what << ": " << error;
  }
}

// A key never changes what kind of value its parameter holds: the console
// refuses one of another type, and a key made before the parameter got a
// value of another type is left unapplied.
TEST(Animation, AKeyKeepsItsParametersType) {
  Console c;
  c.Run("object null Holder\nset Holder 7 string:hello");
  host::ScriptError error;
  EXPECT_FALSE(c.Get().Execute("key Holder 7 3 int:4", &error));
  EXPECT_NE(error.message.find("keeps its parameter's type"), std::string::npos) << error.message;
  c.Run("key Holder 8 3 int:4\nset Holder 8 string:later\nframe 3");
  EXPECT_EQ(c.Print("params Holder")["params"]["8"], "later");
  c.Run("key Holder 9 3 int:4\nframe 3");
  EXPECT_EQ(c.Print("params Holder")["params"]["9"], 4);
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
  // Each frame is its own outline, all in one box: the box of frames 2 to
  // 4, the largest of them (frame 4) touching it.
  const auto attribute = [](const std::string& drawing, const std::string& name) {
    const std::size_t from = drawing.find(" " + name + "=\"");
    if (from == std::string::npos) return std::string();
    const std::size_t start = from + name.size() + 3;
    return drawing.substr(start, drawing.find('"', start) - start);
  };
  std::string box;
  for (int f = 2; f <= 4; ++f) {
    const std::string name = "arrow-000" + std::to_string(f) + ".svg";
    ASSERT_TRUE(std::filesystem::exists(dir.File(name))) << name;
    const std::string frame = testkit::ReadFileBytes(dir.File(name));
    EXPECT_EQ(attribute(frame, "d"), values[f]) << name;
    if (f == 2) box = attribute(frame, "viewBox");
    EXPECT_EQ(attribute(frame, "viewBox"), box) << name;
  }
  host::Outline four;
  c.Run("frame 4");
  const Json contour = c.Print("contour Arrow");
  for (const Json& p : contour["points"]) four.points.push_back({p[0], p[1], p[2]});
  std::string alone, error;
  ASSERT_TRUE(host::OutlineSvg(four, {}, &alone, &error)) << error;
  EXPECT_EQ(attribute(alone, "viewBox"), box);
  EXPECT_FALSE(std::filesystem::exists(dir.File("arrow-0005.svg")));
  // A sequence that cannot be written whole leaves every file as it was: a
  // folder in the way of frame 5 keeps frames 2 to 4 of the run before.
  std::filesystem::create_directory(dir.File("arrow-0005.svg"));
  const std::string kept = testkit::ReadFileBytes(dir.File("arrow-0003.svg"));
  const auto files = std::distance(std::filesystem::directory_iterator(dir.Path()), {});
  c.Run("key Arrow ARROW_SHAFT_LENGTH 3 900");
  c.Run("save-scene " + scene);
  const auto blocked = RunProgram("animate --scene " + scene + " --object Arrow --frames 2..5 -o " +
                                  dir.File("arrow-%04d.svg"));
  EXPECT_EQ(blocked.status, 1);
  EXPECT_NE(blocked.err.find("arrow-0005.svg"), std::string::npos) << blocked.err;
  EXPECT_EQ(testkit::ReadFileBytes(dir.File("arrow-0003.svg")), kept);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), files) << "a temporary left";
  // A width that would cut the names short, making frames share a name, is refused.
  const auto wide = RunProgram("animate --scene " + scene + " --object Arrow --frames 2..3 -o " +
                               dir.File("w-%0100d.svg"));
  EXPECT_EQ(wide.status, 2) << wide.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("w-" + std::string(99, '0') + "2.svg")));
}

// --object takes a name or a path of names, as the console does; a name two
// objects share is refused with the paths that tell them apart.
TEST(Animation, TheObjectIsNamedAsTheConsoleNamesIt) {
  TempDir dir;
  const std::string scene = dir.File("two.tlvscene");
  Console c;
  c.Run("arrow A\npress A ARROW_MAKE_EXTRUDE\narrow B\nset B ARROW_SHAFT_LENGTH 500\npress B ARROW_MAKE_EXTRUDE\n"
        "save-scene " + scene);
  const auto shared = RunProgram("animate --scene " + scene + " --object \"Extrude NURBS\" -o " + dir.File("e.glb"));
  EXPECT_EQ(shared.status, 1);
  EXPECT_NE(shared.err.find("2 objects of the scene are named 'Extrude NURBS': name one by its path, "), std::string::npos)
      << shared.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("e.glb")));
  const std::string svg = dir.File("a.svg");
  std::string drawn[2];
  for (int k = 0; k < 2; ++k) {
    const std::string path = k == 0 ? "Extrude NURBS/A" : "Extrude NURBS/B";
    const auto r = RunProgram("animate --scene " + scene + " --object \"" + path + "\" -o " + svg);
    ASSERT_EQ(r.status, 0) << path << ": " << r.err;
    drawn[k] = testkit::ReadFileBytes(svg);
  }
  EXPECT_NE(drawn[0], drawn[1]) << "A and B are different arrows";
  const auto missing = RunProgram("animate --scene " + scene + " --object \"Extrude NURBS/C\" -o " + svg);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("no object at path 'Extrude NURBS/C'"), std::string::npos) << missing.err;
}

TEST(Animation, APointCountThatChangesIsRefused) {
  TempDir dir;
  const std::string scene = dir.File("a.tlvscene");
  {
    Console c;
    c.Run("arrow Arrow\nrange 0 4\nkey Arrow ARROW_DOUBLE_HEADED 0 false\nkey Arrow ARROW_DOUBLE_HEADED 2 true\n"
          "save-scene " + scene);
  }
  // Frames are named as the scene numbers them, not from the export's start.
  const auto r = RunProgram("animate --scene " + scene + " --object Arrow --frames 1..4 -o " + dir.File("a.svg"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("at frame 2 but"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("at frame 1, the animation's first"), std::string::npos) << r.err;
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

// The points of one path data "M x y L x y ... Z" in the scene's XY plane
// (the picture's y runs down).
std::vector<host::mesh::Vec3> PathPoints(const std::string& data) {
  std::vector<host::mesh::Vec3> points;
  std::istringstream in(data);
  for (std::string command; in >> command && command != "Z";) {
    double x = 0.0, y = 0.0;
    in >> x >> y;
    points.push_back({x, -y, 0.0});
  }
  return points;
}

// The distance from `p` to the polyline through `path`, and how far along
// the polyline its nearest point is.
struct Nearest {
  double distance = HUGE_VAL, along = 0.0;
};
Nearest NearestOnPolyline(host::mesh::Vec3 p, const std::vector<host::mesh::Vec3>& path) {
  Nearest best;
  double start = 0.0;
  for (std::size_t i = 0; i + 1 < path.size(); ++i) {
    const double dx = path[i + 1].x - path[i].x, dy = path[i + 1].y - path[i].y, span = std::hypot(dx, dy);
    const double t = std::clamp(((p.x - path[i].x) * dx + (p.y - path[i].y) * dy) / (span * span), 0.0, 1.0);
    const double d = std::hypot(p.x - path[i].x - t * dx, p.y - path[i].y - t * dy);
    if (d < best.distance) best = {d, start + t * span};
    start += span;
  }
  return best;
}

// The growth example's scene, saved into `dir`.
std::string GrowthScene(const TempDir& dir) {
  const auto saved = RunProgram("run -", testkit::ReadFileBytes(Source("examples/grow-along-path.script")) +
                                             "\nsave-scene " + dir.File("grow.tlvscene") + "\n");
  EXPECT_EQ(saved.status, 0) << saved.err;
  return dir.File("grow.tlvscene");
}

TEST(Animation, TheGrowingArrowIsDrawnBentAlongItsPath) {
  TempDir dir;
  const std::string scene = GrowthScene(dir);
  const auto svg = RunProgram("animate --scene " + scene + " --object Arrow -o " + dir.File("grow.svg"));
  ASSERT_EQ(svg.status, 0) << svg.err;
  const std::vector<std::string> values = AnimatedValues(testkit::ReadFileBytes(dir.File("grow.svg")));
  ASSERT_EQ(values.size(), 31u);
  Console c;
  c.Run(testkit::ReadFileBytes(Source("examples/grow-along-path.script")));
  const std::vector<host::mesh::Vec3> path{{0, 0, 0}, {400, 0, 0}, {400, 300, 0}};
  for (int f = 0; f <= 30; ++f) {
    c.Run("frame " + std::to_string(f));
    const Json contour = c.Print("contour Arrow");
    double halfWidth = 0.0, low = HUGE_VAL;
    std::size_t tip = 0;
    const Json& flat = contour["points"];
    for (std::size_t i = 0; i < flat.size(); ++i) {
      halfWidth = std::max(halfWidth, std::fabs(flat[i][1].get<double>()));
      low = std::min(low, flat[i][0].get<double>());
      if (flat[i][0].get<double>() > flat[tip][0].get<double>()) tip = i;
    }
    const std::vector<host::mesh::Vec3> points = PathPoints(values[f]);
    // Every edge in as many pieces at every frame, so one path morphs.
    ASSERT_EQ(points.size(), flat.size() * host::mesh::kBentOutlinePieces) << "frame " << f;
    // Bent, not flat: every point as far from the path as it was from the
    // axis at most ...
    for (const host::mesh::Vec3& p : points)
      EXPECT_LE(NearestOnPolyline(p, path).distance, halfWidth + 1e-6) << "frame " << f;
    // ... and the tip (a contour point, so the first of its edge's pieces)
    // on the path, as far along it as the arrow is long.
    const Nearest atTip = NearestOnPolyline(points[tip * host::mesh::kBentOutlinePieces], path);
    EXPECT_LT(atTip.distance, 1e-6) << "frame " << f;
    EXPECT_NEAR(atTip.along, flat[tip][0].get<double>() - low, 1e-6) << "frame " << f;
  }
  // At the last frame the tip (the flat outline's farthest point, one of the
  // pieces' ends) is at the path's length along it: its end.
  const std::vector<host::mesh::Vec3> last = PathPoints(values[30]);
  double nearest = HUGE_VAL;
  for (const host::mesh::Vec3& p : last) nearest = std::min(nearest, std::hypot(p.x - 400.0, p.y - 300.0));
  EXPECT_LT(nearest, 1e-6);
  // The first frame stays at the path's start: only the 100-long head.
  for (const host::mesh::Vec3& p : PathPoints(values[0])) EXPECT_LE(p.x, 100.0 + 1e-6);
}

// The bytes of an accessor of floats in a glb file's binary chunk.
std::vector<float> GlbFloats(const std::string& bytes, const Json& gltf, int accessor) {
  uint32_t jsonLength = 0;
  std::memcpy(&jsonLength, bytes.data() + 12, 4);
  const std::size_t bin = 20 + jsonLength + 8;
  const Json& a = gltf["accessors"][accessor];
  const Json& view = gltf["bufferViews"][a["bufferView"].get<int>()];
  const std::size_t components = a["type"] == "VEC3" ? 3 : 1;
  std::vector<float> out(a["count"].get<std::size_t>() * components);
  std::memcpy(out.data(), bytes.data() + bin + view["byteOffset"].get<std::size_t>(), out.size() * sizeof(float));
  return out;
}

TEST(Animation, TheGrowingArrowExportsAsOneNodeAFrame) {
  TempDir dir;
  const std::string scene = GrowthScene(dir);
  // Frames -3..30: the three before the first key repeat frame 0.
  const auto r = RunProgram("animate --scene " + scene + " --object \"Extrude NURBS\" --frames -3..30 -o " +
                            dir.File("grow.glb"));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string bytes = testkit::ReadFileBytes(dir.File("grow.glb"));
  const Json gltf = GlbJson(bytes);
  const std::size_t n = 34;
  ASSERT_EQ(gltf["nodes"].size(), n + 1);
  ASSERT_EQ(gltf["nodes"][0]["children"].size(), n);
  EXPECT_EQ(gltf["meshes"].size(), 31u) << "the held frames share frame 0's mesh";
  EXPECT_EQ(gltf["nodes"][1]["mesh"], gltf["nodes"][4]["mesh"]);
  EXPECT_NE(gltf["nodes"][4]["mesh"], gltf["nodes"][5]["mesh"]);
  for (const Json& mesh : gltf["meshes"]) EXPECT_FALSE(mesh["primitives"][0].contains("targets"));
  const Json& animation = gltf["animations"][0];
  ASSERT_EQ(animation["channels"].size(), n);
  // The scale of each frame node at each frame's time (STEP: the last key
  // at or before it): exactly that frame's node is shown.
  std::vector<std::vector<float>> times(n), scales(n);
  std::vector<int> nodeOf(n);
  for (std::size_t k = 0; k < n; ++k) {
    const Json& channel = animation["channels"][k];
    ASSERT_EQ(channel["target"]["path"], "scale");
    const Json& sampler = animation["samplers"][channel["sampler"].get<int>()];
    ASSERT_EQ(sampler["interpolation"], "STEP");
    nodeOf[k] = channel["target"]["node"];
    times[k] = GlbFloats(bytes, gltf, sampler["input"]);
    scales[k] = GlbFloats(bytes, gltf, sampler["output"]);
    ASSERT_EQ(scales[k].size(), times[k].size() * 3);
  }
  for (std::size_t f = 0; f < n; ++f) {
    const float t = static_cast<float>(f) / 30.0f;
    std::vector<int> shown;
    for (std::size_t k = 0; k < n; ++k) {
      std::size_t key = 0;
      while (key + 1 < times[k].size() && times[k][key + 1] <= t) ++key;
      if (scales[k][key * 3] == 1.0f) shown.push_back(nodeOf[k]);
      else EXPECT_EQ(scales[k][key * 3], 0.0f);
    }
    ASSERT_EQ(shown.size(), 1u) << "at frame " << f;
    EXPECT_EQ(shown[0], static_cast<int>(f) + 1);
  }
  // The arrow grows: frame 0's mesh ends 0.1 m along +X, the last one's tip
  // is at the path's end (0.4, 0.3).
  const auto position = [&](std::size_t node) {
    return gltf["accessors"][gltf["meshes"][gltf["nodes"][node]["mesh"].get<int>()]["primitives"][0]["attributes"]
                                 ["POSITION"]
                                     .get<int>()];
  };
  EXPECT_LE(position(1)["max"][0].get<double>(), 0.1 + 1e-6);
  EXPECT_NEAR(position(n)["max"][1].get<double>(), 0.3, 1e-4);
  // Morph targets alone still need one topology, and say where it changes.
  std::string error;
  host::mesh::Mesh a, b;
  a.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  a.triangles = {{{0, 2, 1}}, {{0, 1, 3}}, {{0, 3, 2}}, {{1, 2, 3}}};
  b = a;
  b.Append(a);
  EXPECT_FALSE(host::mesh::WriteMorphAnimation({a, b}, 30.0, "m", "glb", dir.File("m.glb"), &error));
  EXPECT_NE(error.find("topology changes at frame 1"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(dir.File("m.glb")));
}

}  // namespace
