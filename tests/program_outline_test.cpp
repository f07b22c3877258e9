// The host program's `outline` command: the exact JSON and CSV it prints, the
// SVG picture it writes, what it refuses to draw, and its answers to bad
// arguments.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fixture.h"
#include "png_codec.h"
#include "safe_writer.h"
#include "svg_png.h"

namespace {

namespace fs = std::filesystem;
using host::Json;
using testkit::ReadFileBytes;
using testkit::RunProgram;
using testkit::TempDir;

const char kDefaultPoints[] =
    "[[-250.0,50.0,0.0],[150.0,50.0,0.0],[150.0,100.0,0.0],[250.0,0.0,0.0],"
    "[150.0,-100.0,0.0],[150.0,-50.0,0.0],[-250.0,-50.0,0.0]]";

std::string DefaultJson(int release) {
  return "{\"release\":" + std::to_string(release) +
         ",\"closed\":true,\"spline_type\":0,\"interpolation\":3,\"intermediate_points\":8,"
         "\"angle\":0.08726646259971647,\"max_length\":5.0,\"points\":" +
         kDefaultPoints + "}\n";
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// --- a small XML reader, enough to see that the picture is well formed -----

struct Element {
  std::string name;
  std::map<std::string, std::string> attrs;
  std::vector<Element> children;
};

class XmlReader {
 public:
  explicit XmlReader(const std::string& text) : s_(text) {}

  // The root element; false when the text is not one well-formed element
  // (after an optional declaration) with nothing but white space around it.
  bool Document(Element* root) {
    SkipSpace();
    if (s_.compare(i_, 5, "<?xml") == 0) {
      const std::size_t end = s_.find("?>", i_);
      if (end == std::string::npos) return false;
      i_ = end + 2;
    }
    SkipSpace();
    if (!ReadElement(root)) return false;
    SkipSpace();
    return i_ == s_.size();
  }

 private:
  void SkipSpace() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool ReadName(std::string* name) {
    const std::size_t start = i_;
    while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '-' ||
                              s_[i_] == ':' || s_[i_] == '_'))
      ++i_;
    *name = s_.substr(start, i_ - start);
    return !name->empty();
  }
  bool ReadElement(Element* e) {
    if (i_ >= s_.size() || s_[i_] != '<') return false;
    ++i_;
    if (!ReadName(&e->name)) return false;
    for (;;) {
      SkipSpace();
      if (i_ >= s_.size()) return false;
      if (s_.compare(i_, 2, "/>") == 0) {
        i_ += 2;
        return true;
      }
      if (s_[i_] == '>') {
        ++i_;
        break;
      }
      std::string attr;
      if (!ReadName(&attr)) return false;
      SkipSpace();
      if (i_ >= s_.size() || s_[i_] != '=') return false;
      ++i_;
      SkipSpace();
      if (i_ >= s_.size() || (s_[i_] != '"' && s_[i_] != '\'')) return false;
      const char quote = s_[i_++];
      const std::size_t end = s_.find(quote, i_);
      if (end == std::string::npos) return false;
      const std::string value = s_.substr(i_, end - i_);
      if (value.find('<') != std::string::npos) return false;
      if (!e->attrs.emplace(attr, value).second) return false;  // repeated attribute
      i_ = end + 1;
    }
    // Content: text and child elements up to the matching end tag.
    for (;;) {
      const std::size_t lt = s_.find('<', i_);
      if (lt == std::string::npos) return false;
      i_ = lt;
      if (s_.compare(i_, 2, "</") == 0) {
        i_ += 2;
        std::string name;
        if (!ReadName(&name) || name != e->name) return false;
        SkipSpace();
        if (i_ >= s_.size() || s_[i_] != '>') return false;
        ++i_;
        return true;
      }
      Element child;
      if (!ReadElement(&child)) return false;
      e->children.push_back(std::move(child));
    }
  }

  const std::string& s_;
  std::size_t i_ = 0;
};

struct Pt {
  double x, y;
};

// The points of a path made only of M, L and a closing Z.
bool ReadPath(const std::string& d, std::vector<Pt>* points, bool* closed) {
  std::istringstream in(d);
  std::string word;
  *closed = false;
  bool first = true;
  while (in >> word) {
    if (*closed) return false;  // nothing may follow the close
    if (word == "Z") {
      *closed = true;
      continue;
    }
    if (word != (first ? "M" : "L")) return false;
    first = false;
    std::string xs, ys;
    if (!(in >> xs >> ys)) return false;
    char* end = nullptr;
    const double x = std::strtod(xs.c_str(), &end);
    if (*end != '\0') return false;
    const double y = std::strtod(ys.c_str(), &end);
    if (*end != '\0') return false;
    points->push_back({x, y});
  }
  return true;
}

std::vector<double> Numbers(const std::string& text) {
  std::istringstream in(text);
  std::vector<double> out;
  double v = 0;
  while (in >> v) out.push_back(v);
  return out;
}

// Reads an SVG picture with one path; fails the test when it is not one.
struct Picture {
  bool ok = false;
  std::vector<double> viewBox;
  std::vector<Pt> points;
};

Picture ReadPicture(const std::string& svg) {
  Picture pic;
  Element root;
  XmlReader reader(svg);
  EXPECT_TRUE(reader.Document(&root)) << svg;
  EXPECT_EQ(root.name, "svg");
  EXPECT_EQ(root.attrs["xmlns"], "http://www.w3.org/2000/svg");
  pic.viewBox = Numbers(root.attrs["viewBox"]);
  EXPECT_EQ(pic.viewBox.size(), 4u) << root.attrs["viewBox"];
  EXPECT_EQ(root.children.size(), 1u);
  if (root.children.size() != 1 || pic.viewBox.size() != 4) return pic;
  const Element& path = root.children[0];
  EXPECT_EQ(path.name, "path");
  const auto d = path.attrs.find("d");
  EXPECT_NE(d, path.attrs.end());
  if (d == path.attrs.end()) return pic;
  bool closed = false;
  EXPECT_TRUE(ReadPath(d->second, &pic.points, &closed)) << d->second;
  EXPECT_TRUE(closed) << d->second;
  EXPECT_GT(std::atof(root.attrs["width"].c_str()), 0.0);
  EXPECT_GT(std::atof(root.attrs["height"].c_str()), 0.0);
  pic.ok = !::testing::Test::HasFailure();
  return pic;
}

// Every point inside the picture's view.
void ExpectInsideView(const Picture& pic) {
  const double x0 = pic.viewBox[0], y0 = pic.viewBox[1];
  const double x1 = x0 + pic.viewBox[2], y1 = y0 + pic.viewBox[3];
  for (const Pt& p : pic.points) {
    EXPECT_TRUE(p.x > x0 && p.x < x1 && p.y > y0 && p.y < y1)
        << "(" << p.x << ", " << p.y << ") outside the view";
  }
}

// ---------------------------------------------------------------------------
// JSON and CSV.

TEST(ProgramOutline, DefaultJsonIsExact) {
  const auto r = RunProgram("outline");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, DefaultJson(16));
  EXPECT_EQ(r.err, "");
  // Asking for the format by name gives the same.
  EXPECT_EQ(RunProgram("outline --format json").out, DefaultJson(16));
}

TEST(ProgramOutline, ReleaseTwelveGivesTheSameOutline) {
  const auto r = RunProgram("outline --release 12");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, DefaultJson(12));
}

TEST(ProgramOutline, JsonShowsNegativeZeroAndSettings) {
  const auto r = RunProgram("outline --set ARROW_PLANE=1 --set ARROW_POINT_COUNT=11");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"intermediate_points\":11"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("[-0.0,0.0,250.0]"), std::string::npos) << r.out;
}

TEST(ProgramOutline, CsvListsOnePointALine) {
  const auto r = RunProgram("outline --format csv");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "x,y,z\n-250.0,50.0,0.0\n150.0,50.0,0.0\n150.0,100.0,0.0\n250.0,0.0,0.0\n"
            "150.0,-100.0,0.0\n150.0,-50.0,0.0\n-250.0,-50.0,0.0\n");
}

TEST(ProgramOutline, CsvWritesNonFiniteCoordinatesAsWords) {
  const auto r = RunProgram(
      "outline --format csv --set ARROW_FLETCHING=true --set ARROW_SHAFT_LENGTH=0 "
      "--set ARROW_TAIL_TAPER=0.5");
  EXPECT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::string line;
  int count = 0;
  bool inf = false, negInf = false, nan = false;
  while (std::getline(lines, line)) {
    ++count;
    std::istringstream cells(line);
    std::string cell;
    int cellCount = 0;
    while (std::getline(cells, cell, ',')) {
      ++cellCount;
      inf = inf || cell == "inf";
      negInf = negInf || cell == "-inf";
      nan = nan || cell == "nan";
    }
    EXPECT_EQ(cellCount, 3) << line;
  }
  EXPECT_EQ(count, 14);  // the header line and 13 points
  EXPECT_TRUE(inf && negInf && nan) << r.out;
}

TEST(ProgramOutline, CsvToAFile) {
  TempDir tmp;
  const std::string file = tmp.File("arrow.csv");
  const auto r = RunProgram("outline --format csv --set ARROW_SHAFT=false -o " + Quoted(file));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFileBytes(file), "x,y,z\n-50.0,50.0,0.0\n50.0,0.0,0.0\n-50.0,-50.0,0.0\n");
}

// ---------------------------------------------------------------------------
// SVG.

TEST(ProgramOutline, SvgFileDrawsTheDefaultArrowWithYUp) {
  TempDir tmp;
  const std::string file = tmp.File("arrow.svg");
  const auto r = RunProgram("outline --format svg -o " + Quoted(file));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const Picture pic = ReadPicture(ReadFileBytes(file));
  ASSERT_TRUE(pic.ok);
  // The outline's (x, y) is drawn at (x, -y): SVG's y grows downwards, so the
  // arrow appears with y up.
  const std::vector<Pt> expected = {{-250, -50}, {150, -50}, {150, -100}, {250, 0},
                                    {150, 100},  {150, 50},  {-250, 50}};
  ASSERT_EQ(pic.points.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(pic.points[i].x, expected[i].x) << i;
    EXPECT_EQ(pic.points[i].y, expected[i].y) << i;
  }
  ExpectInsideView(pic);
  // The view is fitted to the outline: its centre is the outline's centre.
  EXPECT_DOUBLE_EQ(pic.viewBox[0] + pic.viewBox[2] / 2, 0.0);
  EXPECT_DOUBLE_EQ(pic.viewBox[1] + pic.viewBox[3] / 2, 0.0);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.Path()), fs::directory_iterator()), 1);
}

TEST(ProgramOutline, SvgOfAFletchedChevronArrow) {
  const auto r = RunProgram(
      "outline --format svg --set ARROW_FLETCHING=true --set ARROW_CHEVRON=true "
      "--set ARROW_TAIL_NOTCH=40");
  ASSERT_EQ(r.status, 0) << r.err;
  const Picture pic = ReadPicture(r.out);
  ASSERT_TRUE(pic.ok);
  ASSERT_EQ(pic.points.size(), 16u);
  ExpectInsideView(pic);
  // The notch point comes first on the axis; the tip is the rightmost point;
  // the fins of the upper half are drawn above the axis (negative SVG y).
  EXPECT_EQ(pic.points[0].x, -210.0);
  EXPECT_EQ(pic.points[0].y, 0.0);
  EXPECT_EQ(pic.points[2].x, -300.0);
  EXPECT_EQ(pic.points[2].y, -100.0);
  EXPECT_EQ(pic.points[8].x, 250.0);
  EXPECT_EQ(pic.points[8].y, 0.0);
  for (const Pt& p : pic.points) EXPECT_LE(p.x, 250.0);
}

TEST(ProgramOutline, SvgOfATurnedOutlineIsDrawnInItsOwnPlane) {
  // Plane 1 puts the arrow into the ZY plane: it is drawn with z across.
  const auto r = RunProgram("outline --format svg --set ARROW_PLANE=1");
  ASSERT_EQ(r.status, 0) << r.err;
  const Picture pic = ReadPicture(r.out);
  ASSERT_TRUE(pic.ok);
  ASSERT_EQ(pic.points.size(), 7u);
  EXPECT_EQ(pic.points[3].x, 250.0);
  EXPECT_EQ(pic.points[3].y, 0.0);
  EXPECT_EQ(pic.points[2].x, 150.0);
  EXPECT_EQ(pic.points[2].y, -100.0);
}

TEST(ProgramOutline, SvgRefusesNonFiniteCoordinatesAndWritesNothing) {
  TempDir tmp;
  const std::string file = tmp.File("broken.svg");
  const std::string args =
      "outline --format svg --raw --set ARROW_CHEVRON=true --set ARROW_BARB_WIDTH=-50 -o " + Quoted(file);
  auto r = RunProgram(args);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("not finite"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(fs::is_empty(tmp.Path()));

  // A file already at that path is left as it was.
  {
    std::ofstream out(file, std::ios::binary);
    out << "an older picture";
  }
  r = RunProgram(args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(ReadFileBytes(file), "an older picture");
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.Path()), fs::directory_iterator()), 1);

  // Without -o nothing is printed either.
  r = RunProgram("outline --format svg --raw --set ARROW_CHEVRON=true --set ARROW_BARB_WIDTH=-50");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
}

TEST(ProgramOutline, UnwritableOutputFailsWithTheFileNamed) {
  TempDir tmp;
  const std::string file = tmp.File("no-such-folder/arrow.svg");
  const auto r = RunProgram("outline --format svg -o " + Quoted(file));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(file), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(tmp.File("no-such-folder")));
}

// ---------------------------------------------------------------------------
// Bad arguments: exit status 2 and a message naming the problem.

TEST(ProgramOutline, BadArgumentsAreUsageErrors) {
  struct Case {
    std::string args;
    std::vector<std::string> named;  // texts the message must contain
  };
  const std::vector<Case> cases = {
      {"outline --bogus", {"--bogus"}},
      {"outline --release 13", {"--release", "13"}},
      {"outline --release", {"--release"}},
      {"outline --format png", {"png", "-o"}},
      {"outline --format svg --fill \"x/><g>\"", {"--fill", "colour"}},
      {"outline --format svg --stroke bleu", {"--stroke", "bleu"}},
      {"outline --format svg --background none", {"--background", "none"}},
      {"outline --format svg --size 0", {"--size", "0"}},
      {"outline --format svg --size 20000", {"--size"}},
      {"outline --format svg --size 640x", {"--size", "640x"}},
      {"outline --format svg --margin -3", {"--margin"}},
      {"outline --format svg --margin ten%", {"--margin", "ten%"}},
      {"outline --format svg --stroke-width -1", {"--stroke-width"}},
      {"outline --set ARROW_SHAFT_LENGTH=abc", {"ARROW_SHAFT_LENGTH", "abc"}},
      {"outline --set ARROW_CHEVRON=maybe", {"ARROW_CHEVRON", "maybe"}},
      {"outline --set ARROW_NO_SUCH_THING=1", {"ARROW_NO_SUCH_THING"}},
      {"outline --set ARROW_SHAFT_LENGTH", {"ARROW_SHAFT_LENGTH"}},
      // An empty word is refused, not taken as "no such option" (written
      // as "" for both a POSIX shell and the Windows command line).
      {"outline --plugin \"\"", {"--plugin", "empty"}},
      {"params --preset \"\"", {"--preset", "empty"}},
      {"outline -o \"\"", {"-o", "empty"}},
      {"preset save \"\"", {"empty"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = RunProgram(c.args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.out, "");
    for (const std::string& n : c.named) EXPECT_NE(r.err.find(n), std::string::npos) << r.err;
  }
}

// The picture's look as asked: each option shows in the drawing, and the
// defaults stay as they were.
TEST(ProgramOutline, SvgTakesItsColoursSizeAndMargin) {
  struct Case {
    std::string args;
    std::vector<std::string> has;  // texts the drawing must hold
  };
  const std::vector<Case> cases = {
      {"", {"width=\"800\" height=\"364\"", "fill=\"#cfe3f7\"", "stroke=\"#1d4f80\"", "stroke-width=\"2.0\""}},
      {"--fill tomato --stroke \"#000\"", {"fill=\"tomato\"", "stroke=\"#000\""}},
      {"--fill none --stroke-width 7.5", {"fill=\"none\"", "stroke-width=\"7.5\""}},
      {"--stroke-width 0", {"stroke=\"none\""}},
      {"--background white", {"<rect", "fill=\"white\""}},
      {"--size 400", {"width=\"400\" height=\"182\""}},
      {"--size 640x480", {"width=\"640\" height=\"480\""}},
      // The box is 500 x 200: 10 units around it, or a tenth of 500.
      {"--margin 10", {"viewBox=\"-260.0 -110.0 520.0 220.0\""}},
      {"--margin 10%", {"viewBox=\"-300.0 -150.0 600.0 300.0\""}},
      // A stroke wider than the margin gets room for its outer half.
      {"--margin 0 --stroke-width 40", {"viewBox=\"-270.0 -120.0 540.0 240.0\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = RunProgram("outline --format svg " + c.args);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const std::string& h : c.has) EXPECT_NE(r.out.find(h), std::string::npos) << h << "\n" << r.out;
  }
}

// A PNG is the SVG rendered: the size asked, the fill inside the arrow, the
// background around it.
TEST(ProgramOutline, PngIsTheDrawingRenderedAtTheSizeAsked) {
  if (!host::CanRenderSvg()) GTEST_SKIP() << "this build renders no SVG";
  TempDir tmp;
  const std::string file = tmp.File("arrow.png");
  const auto r = RunProgram("outline --format png --size 500 --margin 0 --fill \"#ff0000\" --stroke none "
                            "--background \"#0000ff\" -o " + Quoted(file));
  ASSERT_EQ(r.status, 0) << r.err;
  std::string bytes, error;
  ASSERT_TRUE(host::ReadWholeFile(file, &bytes, &error)) << error;
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(host::DecodePng(bytes, &w, &h, &rgb, &error)) << error;
  EXPECT_EQ(w, 500);
  EXPECT_EQ(h, 200);
  const auto pixel = [&](int x, int y) {
    const size_t at = (static_cast<size_t>(y) * w + x) * 3;
    return std::vector<int>{rgb[at], rgb[at + 1], rgb[at + 2]};
  };
  EXPECT_EQ(pixel(250, 100), (std::vector<int>{255, 0, 0}));  // the shaft at the origin
  EXPECT_EQ(pixel(10, 10), (std::vector<int>{0, 0, 255}));    // beside the shaft, behind the barbs
}

// A preset is loaded before the settings, so every --set wins over the file.
TEST(ProgramOutline, SettingsApplyOnTopOfThePreset) {
  TempDir tmp;
  const std::string preset = tmp.File("long.tlv");
  ASSERT_EQ(RunProgram("preset save " + Quoted(preset) +
                       " --set ARROW_SHAFT_LENGTH=600 --set ARROW_HEAD_LENGTH=70")
                .status,
            0);
  for (const char* release : {"16", "12"}) {
    const auto r = RunProgram(std::string("params --format json --release ") + release +
                              " --set ARROW_SHAFT_LENGTH=250 --preset " + Quoted(preset));
    ASSERT_EQ(r.status, 0) << r.err;
    const Json params = Json::parse(r.out)["params"];
    std::map<std::string, Json> byName;
    for (const Json& p : params) byName[p["name"]] = p["value"];
    EXPECT_EQ(byName["ARROW_SHAFT_LENGTH"], 250.0) << release;  // the setting
    EXPECT_EQ(byName["ARROW_HEAD_LENGTH"], 70.0) << release;    // the preset
  }
}

// Texts need not be valid UTF-8 (typed as raw bytes, or read from a file
// that says UTF-8 and is not); every output still writes them.
TEST(ProgramOutline, EveryOutputWritesMalformedTexts) {
#if defined(_WIN32)
  GTEST_SKIP() << "a Windows command line is UTF-16 and holds no malformed byte, and std::system "
                  "hands it over in the 8-bit code page (the preset and file-layer tests cover "
                  "the same decoding on Windows)";
#endif
  TempDir tmp;
  const std::string bad = Quoted("ARROW_PRESET_NAME=a\xff" "b");
  for (const std::string& args :
       {"params --format json --set " + bad, "params --set " + bad,
        "outline --set " + bad, "outline --format svg --set " + bad,
        "outline --format csv --set " + bad}) {
    SCOPED_TRACE(args);
    const auto r = RunProgram(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out, "");
  }
  const auto json = RunProgram("params --format json --set " + bad);
  EXPECT_NE(json.out.find("a\xEF\xBF\xBD" "b"), std::string::npos) << json.out;  // U+FFFD
  // A version 1.2 file with an 8-bit name reads as proper UTF-8.
  const std::string preset = tmp.File("old.tlv");
  ASSERT_EQ(RunProgram("preset save " + Quoted(preset) + " --release 12 --set " +
                       Quoted("ARROW_PRESET_NAME=Gr\xc3\xbc\xc3\x9f" "e"))
                .status,
            0);
  const auto r = RunProgram("params --format json --preset " + Quoted(preset));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"Gr\xC3\xBC\xC3\x9F" "e\""), std::string::npos) << r.out;
}

TEST(ProgramOutline, BadArgumentsWriteNoFile) {
  TempDir tmp;
  const std::string file = tmp.File("arrow.svg");
  const auto r =
      RunProgram("outline --format svg --set ARROW_NO_SUCH_THING=1 -o " + Quoted(file));
  EXPECT_NE(r.status, 0);
  EXPECT_FALSE(fs::exists(file));
}

}  // namespace
