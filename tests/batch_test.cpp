// The program's `batch` command: arrows from a table placed where their rows
// say (in the SVG's paths and the glb's nodes), bad rows named by row and
// column with the rest written, --strict, bad tables, JSON read as CSV is;
// and the CSV reader under it.
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "csv_table.h"
#include "fixture.h"

namespace {

using host::Json;
using testkit::ReadFileBytes;
using testkit::RunProgram;
using testkit::TempDir;

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// --- the CSV reader ----------------------------------------------------------

struct CsvCase {
  const char* what;
  const char* text;
  std::vector<std::vector<std::string>> rows;  // header first
  std::vector<int> lines;
};

TEST(BatchCsv, ReadsQuotedFieldsDoubledQuotesAndBothLineEnds) {
  const CsvCase cases[] = {
      {"plain", "a,b\n1,2\n", {{"a", "b"}, {"1", "2"}}, {2}},
      {"CRLF", "a,b\r\n1,2\r\n3,4", {{"a", "b"}, {"1", "2"}, {"3", "4"}}, {2, 3}},
      {"quoted comma", "a,b\n\"1,5\",2\n", {{"a", "b"}, {"1,5", "2"}}, {2}},
      {"doubled quote", "a\n\"say \"\"hi\"\"\"\n", {{"a"}, {"say \"hi\""}}, {2}},
      {"line break in quotes", "a,b\n\"x\r\ny\",2\n3,4\n", {{"a", "b"}, {"x\r\ny", "2"}, {"3", "4"}}, {2, 4}},
      {"empty quoted", "a,b\n\"\",2\n", {{"a", "b"}, {"", "2"}}, {2}},
      {"short row padded", "a,b,c\n1\n", {{"a", "b", "c"}, {"1", "", ""}}, {2}},
      {"blank lines left out", "a\n\n1\n\n", {{"a"}, {"1"}}, {3}},
      {"byte-order mark", "\xEF\xBB\xBFx,y\n1,2\n", {{"x", "y"}, {"1", "2"}}, {2}},
      {"empty last field", "a,b\n1,\n", {{"a", "b"}, {"1", ""}}, {2}},
  };
  for (const CsvCase& c : cases) {
    SCOPED_TRACE(c.what);
    host::CsvTable table;
    std::string error;
    ASSERT_TRUE(host::ReadCsv(c.text, &table, &error)) << error;
    EXPECT_EQ(table.header, c.rows[0]);
    EXPECT_EQ(table.rows, std::vector<std::vector<std::string>>(c.rows.begin() + 1, c.rows.end()));
    EXPECT_EQ(table.lines, c.lines);
  }
}

TEST(BatchCsv, RefusesBadTablesNamingTheLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"a,b\n\"1,2\n", "line 2: a quoted field is not closed"},
      {"a,b\n\"1\"x,2\n", "line 2: text after the closing quote of a field"},
      {"a,b\n1,2\n1,2,3\n", "line 3: 3 fields, but the header has 2"},
      {"a,,b\n", "line 1: column 2 of the header has no name"},
      {"a,a\n", "line 1: the header names 'a' twice"},
      {"", "the table is empty: it needs a header line naming its columns"},
  };
  for (const auto& [text, message] : cases) {
    host::CsvTable table;
    std::string error;
    EXPECT_FALSE(host::ReadCsv(text, &table, &error)) << text;
    EXPECT_EQ(error, message);
  }
}

// --- what the files hold -----------------------------------------------------

struct Placement {
  double x = 0, y = 0, angle = 0, scale = 1;
  std::string fill;
};

// The placements of an SVG's row paths, by row number.
std::map<int, Placement> SvgPlacements(const std::string& svg) {
  std::map<int, Placement> out;
  const std::regex path(
      "<path id=\"row-([0-9]+)\" transform=\"translate\\(([^ ]+) ([^)]+)\\) rotate\\(([^)]+)\\) "
      "scale\\(([^)]+)\\)\" d=\"[^\"]+\" fill=\"([^\"]+)\"");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), path); it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    // The picture's y points down: its turn goes the other way.
    out[std::stoi(m[1])] = {std::stod(m[2]), -std::stod(m[3]), -std::stod(m[4]), std::stod(m[5]), m[6]};
  }
  return out;
}

// The JSON chunk of a glb file.
Json GlbJson(const std::string& bytes) {
  if (bytes.size() < 20 || bytes.compare(0, 4, "glTF") != 0) return Json();
  uint32_t length = 0;
  std::memcpy(&length, bytes.data() + 12, 4);
  return Json::parse(bytes.substr(20, length), nullptr, false);
}

// The placements of a glb's row nodes (translation back in scene units).
std::map<int, Placement> GlbPlacements(const Json& gltf, double unit) {
  std::map<int, Placement> out;
  for (const Json& node : gltf["nodes"]) {
    const std::string name = node.value("name", "");
    if (name.rfind("row-", 0) != 0) continue;
    Placement p;
    if (node.contains("matrix")) {
      const Json& m = node["matrix"];  // column-major
      p.scale = std::hypot(m[0].get<double>(), m[1].get<double>());
      p.angle = std::atan2(m[1].get<double>(), m[0].get<double>()) * 180.0 / M_PI;
      p.x = m[12].get<double>() / unit;
      p.y = m[13].get<double>() / unit;
    } else {
      if (node.contains("translation")) {
        p.x = node["translation"][0].get<double>() / unit;
        p.y = node["translation"][1].get<double>() / unit;
      }
      if (node.contains("scale")) p.scale = node["scale"][0].get<double>();
      if (node.contains("rotation")) {
        const Json& q = node["rotation"];
        p.angle = 2 * std::atan2(q[2].get<double>(), q[3].get<double>()) * 180.0 / M_PI;
      }
    }
    out[std::stoi(name.substr(4))] = p;
  }
  return out;
}

const char kTable[] =
    "x,y,angle,scale,colour,ARROW_HEAD_TAPER\n"
    "0,0,0,1,red,\n"
    "1000,0,90,0.5,#00ff00,25%\n"
    "-300,450,-45,2,steelblue,\n"
    "12.5,-7.25,180,0.25,,25%\n";
const Placement kExpected[] = {
    {0, 0, 0, 1, "red"}, {1000, 0, 90, 0.5, "#00ff00"}, {-300, 450, -45, 2, "steelblue"}, {12.5, -7.25, 180, 0.25, ""}};

void ExpectPlacements(const std::map<int, Placement>& got, double tolerance, bool fills) {
  ASSERT_EQ(got.size(), 4u);
  for (int row = 1; row <= 4; ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    ASSERT_EQ(got.count(row), 1u);
    const Placement& p = got.at(row);
    const Placement& e = kExpected[row - 1];
    EXPECT_NEAR(p.x, e.x, tolerance);
    EXPECT_NEAR(p.y, e.y, tolerance);
    EXPECT_NEAR(std::remainder(p.angle - e.angle, 360.0), 0.0, 1e-3);
    EXPECT_NEAR(p.scale, e.scale, 1e-5);
    if (fills && !e.fill.empty()) {
      EXPECT_EQ(p.fill, e.fill);
    }
  }
}

TEST(Batch, SvgPathsArePlacedWhereTheRowsSay) {
  TempDir dir;
  WriteText(dir.File("t.csv"), kTable);
  const auto r = RunProgram("batch " + Quoted(dir.File("t.csv")) + " -o " + Quoted(dir.File("t.svg")));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string svg = ReadFileBytes(dir.File("t.svg"));
  ExpectPlacements(SvgPlacements(svg), 1e-9, true);
  // Rows 2 and 4 share the tapered head: two shapes, four paths.
  const std::regex d(" d=\"([^\"]+)\"");
  std::map<std::string, int> shapes;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), d); it != std::sregex_iterator(); ++it)
    ++shapes[(*it)[1]];
  EXPECT_EQ(shapes.size(), 2u);
}

// An arrow made in the ZY or XZ plane is drawn seen in its own plane, as
// the outline command draws it alone: the same path as one made in XY.
TEST(Batch, SvgDrawsEveryArrowInItsOwnPlane) {
  TempDir dir;
  WriteText(dir.File("t.csv"), "ARROW_PLANE,x\n0,0\n1,500\n2,1000\n");
  const auto r = RunProgram("batch " + Quoted(dir.File("t.csv")) + " -o " + Quoted(dir.File("t.svg")));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string svg = ReadFileBytes(dir.File("t.svg"));
  const std::regex d(" d=\"([^\"]+)\"");
  std::vector<std::string> paths;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), d); it != std::sregex_iterator(); ++it)
    paths.push_back((*it)[1]);
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[1], paths[0]);
  EXPECT_EQ(paths[2], paths[0]);
  EXPECT_NE(paths[0].find("250.0 0.0"), std::string::npos) << "the tip at x 250: " << paths[0];
}

TEST(Batch, GlbNodesArePlacedWhereTheRowsSayAndShareMeshes) {
  TempDir dir;
  WriteText(dir.File("t.csv"), kTable);
  const auto r = RunProgram("batch " + Quoted(dir.File("t.csv")) + " -o " + Quoted(dir.File("t.glb")));
  ASSERT_EQ(r.status, 0) << r.err;
  const Json gltf = GlbJson(ReadFileBytes(dir.File("t.glb")));
  ASSERT_TRUE(gltf.is_object());
  ExpectPlacements(GlbPlacements(gltf, 0.001), 1e-3, false);
  // Two shapes in four colours: a file mesh for each (shape, colour) pair,
  // the pairs of one shape sharing its vertices; each row's node shows its
  // row's colour.
  ASSERT_EQ(gltf["meshes"].size(), 4u);
  std::map<int, int> positionUses;
  for (const Json& m : gltf["meshes"]) ++positionUses[m["primitives"][0]["attributes"]["POSITION"].get<int>()];
  EXPECT_EQ(positionUses.size(), 2u);
  const std::map<std::string, std::vector<double>> rowColour{
      {"row-1", {1, 0, 0, 1}}, {"row-2", {0, 1, 0, 1}}, {"row-3", {70 / 255.0, 130 / 255.0, 180 / 255.0, 1}}};
  for (const Json& node : gltf["nodes"]) {
    const auto colour = rowColour.find(node.value("name", ""));
    if (colour == rowColour.end()) continue;
    SCOPED_TRACE(colour->first);
    const int material = gltf["meshes"][node["mesh"].get<int>()]["primitives"][0]["material"].get<int>();
    const Json& factor = gltf["materials"][material]["pbrMetallicRoughness"]["baseColorFactor"];
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(factor[k].get<double>(), colour->second[k], 1e-6);
  }
}

TEST(Batch, EveryMeshFormatIsWritten) {
  TempDir dir;
  WriteText(dir.File("t.csv"), kTable);
  for (const char* suffix : {"gltf", "obj", "stl", "ply"}) {
    SCOPED_TRACE(suffix);
    const std::string out = dir.File(std::string("t.") + suffix);
    const auto r = RunProgram("batch " + Quoted(dir.File("t.csv")) + " -o " + Quoted(out));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GT(ReadFileBytes(out).size(), 100u);
  }
  // A gltf file's buffer is the file beside it that it names.
  const Json gltf = Json::parse(ReadFileBytes(dir.File("t.gltf")), nullptr, false);
  ASSERT_TRUE(gltf.is_object());
  EXPECT_EQ(gltf["buffers"][0]["uri"], "t.bin");
  EXPECT_EQ(ReadFileBytes(dir.File("t.bin")).size(), gltf["buffers"][0]["byteLength"].get<std::size_t>());
}

struct BadRowCase {
  const char* what;
  const char* table;
  const char* message;  // the row's line on standard error
};

TEST(Batch, BadRowsAreNamedByRowAndColumnAndTheRestWritten) {
  const BadRowCase cases[] = {
      {"a percentage that is not one", "x,ARROW_HEAD_TAPER\n0,\n100,lots\n200,\n",
       "tolvane-host: row 2, column ARROW_HEAD_TAPER: "},
      {"a position that is not a number", "x,y\n0,0\nleft,0\n200,0\n",
       "tolvane-host: row 2, column x: expected a finite number, not 'left'\n"},
      {"a scale of zero", "x,scale\n0,1\n100,0\n200,2\n",
       "tolvane-host: row 2, column scale: expected a positive number, not '0'\n"},
      {"a colour that is none", "x,colour\n0,red\n100,purplish\n200,blue\n", "tolvane-host: row 2, column colour: "},
      {"a direction of nothing", "x,dx,dy\n0,1,0\n100,0,0\n200,0,1\n",
       "tolvane-host: row 2, column dx: the direction (0, 0) points nowhere\n"},
      {"a preset that is not there", "x,preset\n0,\n100,no-such-preset\n200,\n", "tolvane-host: row 2, column preset: "},
  };
  for (const BadRowCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WriteText(dir.File("t.csv"), c.table);
    const auto r = RunProgram("batch " + Quoted(dir.File("t.csv")) + " -o " + Quoted(dir.File("t.svg")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("1 of 3 rows failed; the other 2 written"), std::string::npos) << r.err;
    const auto placed = SvgPlacements(ReadFileBytes(dir.File("t.svg")));
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed.count(1), 1u);
    EXPECT_EQ(placed.count(3), 1u);
    EXPECT_DOUBLE_EQ(placed.at(3).x, 200.0);
  }
}

TEST(Batch, StrictWritesNothingAtTheFirstBadRow) {
  TempDir dir;
  WriteText(dir.File("t.csv"), "x,ARROW_HEAD_TAPER\n0,\n100,lots\n200,also bad\n");
  for (const char* suffix : {"svg", "glb"}) {
    const std::string out = dir.File(std::string("t.") + suffix);
    const auto r = RunProgram("batch --strict " + Quoted(dir.File("t.csv")) + " -o " + Quoted(out));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("row 2, column ARROW_HEAD_TAPER"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("row 3"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--strict: nothing written"), std::string::npos);
    EXPECT_FALSE(std::ifstream(out).good()) << suffix;
  }
}

TEST(Batch, BadTablesAreClearErrors) {
  struct Case {
    std::string file, table, message;
    std::string output = "t.svg";
  };
  const Case cases[] = {
      {"t.csv", "x,ARROW_HEAD_TAPPER\n0,1\n", "unknown column 'ARROW_HEAD_TAPPER': did you mean 'ARROW_HEAD_TAPER'?"},
      {"t.csv", "x,colour\n\"0,red\n", "line 2: a quoted field is not closed"},
      {"t.csv", "x,y\n0,0,0\n", "line 2: 3 fields, but the header has 2"},
      {"t.csv", "x,angle,dx,dy\n0,0,1,0\n", "the table gives the direction twice"},
      {"t.csv", "x,dx\n0,1\n", "the columns 'dx' and 'dy' go together"},
      {"t.csv", "x,ARROW_RESET\n0,1\n", "ARROW_RESET is a button, not a value"},
      // Names are case-insensitive, so these are one column twice.
      {"t.csv", "ARROW_SHAFT_LENGTH,arrow_shaft_length\n100,900\n", "names the column 'ARROW_SHAFT_LENGTH' twice"},
      {"t.json", R"([{"ARROW_SHAFT_LENGTH":100,"arrow_shaft_length":900}])", "row 1 names 'arrow_shaft_length' twice"},
      // A JSON object's key twice would otherwise be taken silently, the last winning.
      {"t.json", R"([{"x":1},{"x":1,"y":2,"x":500}])", "row 2 names 'x' twice"},
      // A file that is no JSON says where it stops being JSON.
      {"t.json", R"([{"x":1},)", "not a JSON document: [json.exception.parse_error.101] parse error at line 1, column 10"},
      {"t.json", R"([{"x":1e400}])", "not a JSON document: [json.exception.out_of_range.406] number overflow"},
      // Each placement is finite, but together they span more than a drawing's numbers hold.
      {"t.csv", "x\n1e308\n-1e308\n", "beyond the numbers a drawing can hold"},
      // A 3-D file's 32-bit floats cannot hold an arrow scaled by 1e40.
      {"t.csv", "x,scale\n0,1e40\n", "row-1 reaches ", "t.stl"},
      {"t.csv", "x,scale\n0,1e40\n", "beyond the largest number a mesh file holds", "t.glb"},
      // A wrong file as the table: its first line is quoted cut short.
      {"t.csv", std::string(100000, 'q') + "\n1\n", "unknown column '" + std::string(100, 'q') + "... (99900 more bytes)'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table.substr(0, 80));
    TempDir dir;
    WriteText(dir.File(c.file), c.table);
    const auto r = RunProgram("batch " + Quoted(dir.File(c.file)) + " -o " + Quoted(dir.File(c.output)));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err.substr(0, 2000);
    EXPECT_LT(r.err.size(), 2000u);
    EXPECT_FALSE(std::ifstream(dir.File(c.output)).good());
  }
}

// A table written by hand: blanks around names and values, a line of
// blanks, names in another case; the arrows are those of its tidy form.
TEST(Batch, BlanksAndTheCaseOfNamesAreNoPartOfATable) {
  TempDir dir;
  WriteText(dir.File("tidy.csv"), "x,y,colour,ARROW_CHEVRON\n0,0,red,true\n1000,0,#00ff00,false\n");
  WriteText(dir.File("blanks.csv"), "x, y ,\tcolour , arrow_chevron\n 0 , 0 , red , true\n   \t\n1000,0, #00ff00 ,false\n");
  WriteText(dir.File("keys.json"), R"([{"X":0,"y":0," colour ":"red","ARROW_CHEVRON":true},
                                      {"x":1000,"Y":0,"colour":"#00ff00","arrow_chevron":" false"}])");
  std::string drawn[3];
  const char* tables[] = {"tidy.csv", "blanks.csv", "keys.json"};
  for (int k = 0; k < 3; ++k) {
    const auto r = RunProgram("batch " + Quoted(dir.File(tables[k])) + " -o " + Quoted(dir.File("out.svg")));
    ASSERT_EQ(r.status, 0) << tables[k] << ": " << r.err;
    drawn[k] = testkit::ReadFileBytes(dir.File("out.svg"));
  }
  EXPECT_EQ(drawn[1], drawn[0]);
  EXPECT_EQ(drawn[2], drawn[0]);
}

TEST(Batch, JsonTableGivesTheSameFileAsCsv) {
  TempDir dir;
  WriteText(dir.File("t.csv"), kTable);
  WriteText(dir.File("t.json"),
            R"([{"x":0,"y":0,"angle":0,"scale":1,"colour":"red"},
                {"x":1000,"y":0,"angle":90,"scale":0.5,"colour":"#00ff00","ARROW_HEAD_TAPER":"25%"},
                {"x":-300,"y":450,"angle":-45,"scale":2,"colour":"steelblue","ARROW_HEAD_TAPER":null},
                {"x":12.5,"y":-7.25,"angle":180,"scale":0.25,"ARROW_HEAD_TAPER":"25%"}])");
  for (const char* suffix : {"svg", "glb"}) {
    SCOPED_TRACE(suffix);
    const std::string a = dir.File(std::string("csv.") + suffix), b = dir.File(std::string("json.") + suffix);
    ASSERT_EQ(RunProgram("batch " + Quoted(dir.File("t.csv")) + " -o " + Quoted(a)).status, 0);
    const auto r = RunProgram("batch " + Quoted(dir.File("t.json")) + " -o " + Quoted(b));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFileBytes(a), ReadFileBytes(b));
  }
}

TEST(Batch, ReusedArrowGivesTheShapesFreshArrowsGive) {
  // Settings changed, dropped and taken up again, and a preset between:
  // each row's outline must be the one `outline` draws for it alone.
  TempDir dir;
  WriteText(dir.File("t.csv"),
            "preset,ARROW_HEAD_TAPER,ARROW_CHEVRON,x\n"
            ",25%,,0\n,,true,1\nclassic,,,2\n,25%,true,3\n,,,4\n");
  const auto r = RunProgram("batch " + Quoted(dir.File("t.csv")) + " -o " + Quoted(dir.File("t.svg")));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string svg = ReadFileBytes(dir.File("t.svg"));
  const char* alone[] = {"--set ARROW_HEAD_TAPER=25%", "--set ARROW_CHEVRON=true", "--preset classic",
                         "--set ARROW_HEAD_TAPER=25% --set ARROW_CHEVRON=true", ""};
  for (int row = 1; row <= 5; ++row) {
    SCOPED_TRACE(alone[row - 1]);
    const auto one = RunProgram(std::string("outline --format svg ") + alone[row - 1]);
    ASSERT_EQ(one.status, 0) << one.err;
    const std::smatch d = [&] {
      std::smatch m;
      std::regex_search(one.out, m, std::regex(" d=\"([^\"]+)\""));
      return m;
    }();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(svg, m, std::regex("id=\"row-" + std::to_string(row) + "\"[^>]* d=\"([^\"]+)\"")));
    EXPECT_EQ(m[1].str(), d[1].str());
  }
}

}  // namespace
