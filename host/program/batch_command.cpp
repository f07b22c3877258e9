// tolvane-host batch: arrows from a table (CSV or JSON), one a row, placed
// in one SVG drawing or one 3-D file (docs/batch.md).
//
// One arrow is made and reused: a row whose arrow settings were seen before
// takes the outline (or mesh) made then; otherwise only the settings that
// differ from the arrow's present ones are applied, and the module's reset
// button starts it afresh when a preset changes or a setting is left out.
#include <cmath>
#include <iostream>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "csv_table.h"
#include "outline_svg.h"
#include "parse.h"
#include "program.h"
#include "safe_writer.h"
#include "svg_png.h"
#if defined(TOLVANE_HAVE_MESH)
#include "mesh.h"
#endif

namespace program {

namespace {

struct BatchOptions {
  host::SessionOptions session;
  std::string table;
  std::string output;
  bool strict = false;
  double depth = 20.0;
  double unit = 0.001;
};

// What a column of the table stands for.
enum class Column { kParam, kPreset, kX, kY, kAngle, kDx, kDy, kScale, kColour };

struct NamedColumn {
  const char* name;
  Column kind;
};
const NamedColumn kPlacementColumns[] = {
    {"preset", Column::kPreset}, {"x", Column::kX},   {"y", Column::kY},         {"angle", Column::kAngle},
    {"dx", Column::kDx},         {"dy", Column::kDy}, {"scale", Column::kScale}, {"colour", Column::kColour},
};

// How much of a name, and of a message about a row, is quoted.
constexpr std::size_t kQuotedName = 100;
constexpr std::size_t kMessageBytes = 1000;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

// Spaces and tabs around a name or a value are no part of it (a table
// written by hand, "x, y" or "1, red"); a cell of blanks is empty, and a
// CSV line of blanks is left out as a blank line is.
void TrimTable(host::CsvTable* table, bool csv) {
  for (std::string& name : table->header) name = host::Trimmed(name);
  host::CsvTable kept;
  for (std::size_t r = 0; r < table->rows.size(); ++r) {
    bool blank = true;
    for (std::string& cell : table->rows[r]) {
      cell = host::Trimmed(cell);
      blank = blank && cell.empty();
    }
    if (blank && csv) continue;
    kept.rows.push_back(std::move(table->rows[r]));
    kept.lines.push_back(table->lines[r]);
  }
  table->rows = std::move(kept.rows);
  table->lines = std::move(kept.lines);
}

// The table as CSV: a header and rows of texts. A JSON table (an array of
// objects) becomes the same: its keys, in the order first met, are the
// columns; numbers and true/false are written as JSON writes them, null
// and a missing key are an empty cell.
bool ReadTable(const std::string& path, host::CsvTable* table, std::string* error) {
  std::string text;
  if (!host::ReadWholeFile(path, &text, error)) return false;
  if (Lower(path.size() >= 5 ? path.substr(path.size() - 5) : "") != ".json") {
    if (!host::ReadCsv(text, table, error)) {
      *error = path + ": " + *error;
      return false;
    }
    TrimTable(table, true);
    return true;
  }
  // A key twice in one object (names differing in case or in blanks around
  // them are one name) would otherwise be taken silently, the last winning.
  host::Json json;
  std::vector<std::set<std::string>> keys;  // of each object open, outermost first
  std::size_t rowsMet = 0;
  std::string twice;
  const auto watch = [&](int depth, host::Json::parse_event_t event, host::Json& parsed) {
    using Event = host::Json::parse_event_t;
    if (event == Event::object_start) {
      keys.emplace_back();
      if (depth == 1) ++rowsMet;
    } else if (event == Event::object_end && !keys.empty()) {
      keys.pop_back();
    } else if (event == Event::key && twice.empty() && !keys.empty() &&
               !keys.back().insert(Lower(host::Trimmed(parsed.get<std::string>()))).second) {
      twice = "row " + std::to_string(rowsMet) + " names '" + parsed.get<std::string>() + "' twice";
    }
    return true;
  };
  try {
    json = host::Json::parse(text, watch);
  } catch (const host::Json::exception& e) {
    // The library's own words, which name the byte and what it met there.
    *error = path + ": not a JSON document: " + e.what();
    return false;
  }
  if (!twice.empty()) {
    *error = path + ": " + twice;
    return false;
  }
  if (!json.is_array()) {
    *error = path + ": expected a JSON array of objects, one a row";
    return false;
  }
  *table = host::CsvTable();
  std::map<std::string, std::size_t> index;
  for (std::size_t r = 0; r < json.size(); ++r) {
    if (!json[r].is_object()) {
      *error = path + ": row " + std::to_string(r + 1) + " is not an object";
      return false;
    }
    // A column is named as the first row that has it names it.
    for (auto it = json[r].begin(); it != json[r].end(); ++it)
      if (index.emplace(Lower(host::Trimmed(it.key())), table->header.size()).second) table->header.push_back(it.key());
  }
  for (std::size_t r = 0; r < json.size(); ++r) {
    std::vector<std::string> row(table->header.size());
    for (auto it = json[r].begin(); it != json[r].end(); ++it) {
      const host::Json& v = it.value();
      std::string& cell = row[index[Lower(host::Trimmed(it.key()))]];
      if (v.is_string()) cell = v.get<std::string>();
      else if (v.is_number() || v.is_boolean()) cell = v.dump();
      else if (!v.is_null()) {
        *error = path + ": row " + std::to_string(r + 1) + ", column " + it.key() +
                 ": expected a string, a number, true, false or null";
        return false;
      }
    }
    table->rows.push_back(row);
    table->lines.push_back(static_cast<int>(r + 1));
  }
  TrimTable(table, false);
  return true;
}

// Each column's meaning; false with the reason for a name that is neither
// a placement column, `preset`, nor a parameter (the nearest name
// suggested), for a button, and for placement columns that do not go
// together.
bool ClassifyColumns(const host::Session& session, const std::vector<std::string>& header,
                     std::vector<Column>* kinds, std::vector<const host::ParamDesc*>* params, std::string* error) {
  std::vector<std::string> names;
  for (const NamedColumn& c : kPlacementColumns) names.push_back(c.name);
  for (const std::string& n : host::Session::ParamNames(session.ArrowDescription())) names.push_back(n);
  std::map<Column, int> seen;
  std::set<std::string> seenParams;  // as the arrow names them: the header's names are case-insensitive
  for (const std::string& name : header) {
    const host::ParamDesc* param = nullptr;
    Column kind = Column::kParam;
    bool placement = false;
    for (const NamedColumn& c : kPlacementColumns)
      if (Lower(name) == c.name) kind = c.kind, placement = true;
    if (!placement) {
      param = session.FindParam(name);
      if (param == nullptr) {
        *error = "unknown column '" + host::Abridged(name, kQuotedName) + "'" + host::DidYouMean(name, names) +
                 " (columns: ARROW_ parameter names, preset, x, y, angle or dx and dy, scale, colour)";
        return false;
      }
      if (param->type == "button") {
        *error = "column '" + name + "': " + param->name + " is a button, not a value";
        return false;
      }
      if (!seenParams.insert(param->name).second) {
        *error = "the table names the column '" + param->name + "' twice";
        return false;
      }
    }
    if (placement && seen[kind]++ > 0) {
      *error = "the table names the column '" + Lower(name) + "' twice";
      return false;
    }
    kinds->push_back(kind);
    params->push_back(param);
  }
  if (seen[Column::kAngle] > 0 && (seen[Column::kDx] > 0 || seen[Column::kDy] > 0)) {
    *error = "the table gives the direction twice: 'angle' or 'dx' and 'dy', not both";
    return false;
  }
  if (seen[Column::kDx] != seen[Column::kDy]) {
    *error = "the columns 'dx' and 'dy' go together";
    return false;
  }
  return true;
}

// One row's placement; `shape` is its arrow settings as one key.
struct Row {
  std::string preset;
  std::vector<std::pair<const host::ParamDesc*, std::string>> sets;  // ARROW_NAME=VALUE, in column order
  std::string key;
  host::PlacedOutline place;
};

bool ReadNumber(const std::string& text, double* out) { return host::ParseNumber(text, out) && std::isfinite(*out); }

// The row's settings and placement; false with "column NAME: ..." otherwise.
bool ReadRow(const std::vector<std::string>& header, const std::vector<Column>& kinds,
             const std::vector<const host::ParamDesc*>& params, const std::vector<std::string>& cells, Row* row,
             std::string* error) {
  double dx = NAN, dy = NAN;
  for (std::size_t k = 0; k < cells.size(); ++k) {
    const std::string& cell = cells[k];
    if (cell.empty()) continue;  // the default
    const auto bad = [&](const std::string& what) {
      *error = "column " + header[k] + ": " + what + ", not '" + cell + "'";
      return false;
    };
    double v = 0;
    switch (kinds[k]) {
      case Column::kParam:
        row->sets.push_back({params[k], cell});
        row->key += "\x1f" + params[k]->name + "=" + cell;
        break;
      case Column::kPreset:
        row->preset = cell;
        break;
      case Column::kX:
      case Column::kY:
      case Column::kAngle:
      case Column::kDx:
      case Column::kDy:
        if (!ReadNumber(cell, &v)) return bad("expected a finite number");
        if (kinds[k] == Column::kX) row->place.x = v;
        if (kinds[k] == Column::kY) row->place.y = v;
        if (kinds[k] == Column::kAngle) row->place.angle = v;
        if (kinds[k] == Column::kDx) dx = v;
        if (kinds[k] == Column::kDy) dy = v;
        break;
      case Column::kScale:
        if (!ReadNumber(cell, &v) || !(v > 0)) return bad("expected a positive number");
        row->place.scale = v;
        break;
      case Column::kColour:
        if (!host::CheckSvgColour(header[k], cell, false, error)) {
          *error = "column " + header[k] + ": " + *error;
          return false;
        }
        row->place.fill = cell;
        break;
    }
  }
  if (std::isnan(dx) != std::isnan(dy)) {
    *error = std::string("column ") + (std::isnan(dx) ? "dx" : "dy") + ": a direction needs both dx and dy";
    return false;
  }
  if (!std::isnan(dx)) {
    if (dx == 0 && dy == 0) {
      *error = "column dx: the direction (0, 0) points nowhere";
      return false;
    }
    row->place.angle = std::atan2(dy, dx) * 180.0 / 3.14159265358979323846;
  }
  row->key = row->preset + row->key;
  return true;
}

// The one arrow every row is made with, and what it holds now.
class ReusedArrow {
 public:
  ReusedArrow(host::Session& session, host::Object* arrow) : session_(session), arrow_(arrow) {}

  // Brings the arrow to the row's settings. False with "column NAME: ..."
  // when a setting cannot be applied (the arrow is then started afresh for
  // the next row); notes (a value put within its limits) go to `notes`.
  bool Become(const Row& row, std::vector<std::string>* notes, std::string* error) {
    bool afresh = dirty_ || row.preset != preset_;
    for (const auto& [param, value] : sets_) {
      bool kept = false;
      for (const auto& set : row.sets) kept = kept || set.first == param;
      afresh = afresh || !kept;
    }
    if (afresh) {
      dirty_ = true;
      if (!session_.PressButton(arrow_, "ARROW_RESET", error)) return false;
      sets_.clear();
      preset_.clear();
      if (!row.preset.empty()) {
        std::string note;
        const std::string path = session_.FindPreset(row.preset, &note);
        if (!note.empty()) notes->push_back("column preset: " + note);
        if (!session_.LoadPreset(arrow_, path, error)) {
          *error = "column preset: " + *error;
          return false;
        }
        preset_ = row.preset;
      }
    }
    dirty_ = true;
    for (const auto& [param, value] : row.sets) {
      const auto now = sets_.find(param);
      if (now != sets_.end() && now->second == value) continue;
      std::string note;
      if (!session_.ApplySetting(arrow_, param->name + "=" + value, error, host::EditMode::kEditor, &note)) {
        *error = "column " + param->name + ": " + *error;
        return false;
      }
      if (!note.empty()) notes->push_back("column " + param->name + ": " + note);
      sets_[param] = value;
    }
    dirty_ = false;
    return true;
  }

  host::Object* Arrow() { return arrow_; }

 private:
  host::Session& session_;
  host::Object* arrow_;
  bool dirty_ = false;  // in a state no row asked for
  std::string preset_;
  std::map<const host::ParamDesc*, std::string> sets_;
};

// What a distinct set of arrow settings made: its shape's index, or why none.
struct Made {
  bool ok = false;
  std::size_t index = 0;
  std::string reason;
};

std::string Suffix(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Lower(path.substr(dot + 1));
}

int Batch(const BatchOptions& o) {
  const std::string format = Suffix(o.output);
  const bool png = format == "png";
  const bool svg = format == "svg" || png;
  if (png && !host::CanRenderSvg()) return Fail("this build of the host renders no PNG pictures");
#if defined(TOLVANE_HAVE_MESH)
  if (!svg && !host::mesh::IsFormat(format))
    throw UsageError{"-o takes a file ending in .svg, .png, .glb, .gltf, .obj, .stl or .ply, not '" + o.output + "'"};
  if (!std::isfinite(o.depth) || o.depth == 0) throw UsageError{"--depth takes a finite number other than 0"};
  if (!host::mesh::IsUnit(o.unit)) throw UsageError{"--unit takes a positive number of metres per scene unit"};
#else
  if (!svg) throw UsageError{"-o takes a file ending in .svg or .png (this build has no mesh layer), not '" + o.output + "'"};
#endif
  std::string error;
  host::CsvTable table;
  if (!ReadTable(o.table, &table, &error)) return Fail(error);

  host::Session session(o.session);
  if (!session.Open(&error)) return Fail(error);
  std::vector<Column> kinds;
  std::vector<const host::ParamDesc*> params;
  if (!ClassifyColumns(session, table.header, &kinds, &params, &error)) return Fail(o.table + ": " + error);
  host::Object* arrow = session.NewArrow(false, &error);
  if (arrow == nullptr) return Fail(error);
  arrow->SetName("Arrow");
  ReusedArrow reused(session, arrow);
#if defined(TOLVANE_HAVE_MESH)
  host::Object* extrude = nullptr;
  std::vector<host::mesh::Mesh> meshes;
  std::vector<host::mesh::PlacedMesh> placedMeshes;
  if (!svg) {
    // The extrusion the arrow's button makes, evaluated for each distinct arrow.
    if (!session.PressButton(arrow, "ARROW_MAKE_EXTRUDE", &error)) return Fail(error);
    extrude = arrow->Up();
    if (extrude == nullptr || extrude->Type() != Oextrude) return Fail("the arrow built no extrusion");
    session.GetHost().EditParameter(extrude, EXTRUDEOBJECT_MOVE, host::Value::Vec({0.0, 0.0, o.depth}));
  }
#endif
  std::vector<host::Outline> outlines;
  std::vector<host::PlacedOutline> placed;
  std::map<std::string, Made> made;
  int failed = 0;
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const std::string where = "row " + std::to_string(r + 1);
    Row row;
    std::vector<std::string> notes;
    bool ok = ReadRow(table.header, kinds, params, table.rows[r], &row, &error);
    if (ok) {
      auto found = made.find(row.key);
      if (found == made.end()) {
        Made m;
        if (!reused.Become(row, &notes, &error)) {
          m.reason = error;
        } else if (svg) {
          host::Outline outline;
          if (session.ContourOutline(reused.Arrow(), &outline)) {
            m.ok = true;
            m.index = outlines.size();
            outlines.push_back(outline);
          } else {
            m.reason = "the arrow answered no outline";
          }
        } else {
#if defined(TOLVANE_HAVE_MESH)
          host::mesh::Evaluation eval = host::mesh::Evaluate(session.GetHost(), extrude);
          if (eval.ok) {
            m.ok = true;
            m.index = meshes.size();
            meshes.push_back(std::move(eval.mesh));
          } else {
            m.reason = "no mesh: " + eval.reason;
          }
#endif
        }
        found = made.emplace(row.key, m).first;
      }
      ok = found->second.ok;
      if (!ok) error = found->second.reason;
      row.place.shape = found->second.index;
    }
    // A cell of a wrong file may be megabytes long: its message is cut.
    for (const std::string& note : notes)
      std::cerr << "tolvane-host: " << where << ", " << host::Abridged(note, kMessageBytes) << "\n";
    if (!ok) {
      std::cerr << "tolvane-host: " << where << ", " << host::Abridged(error, kMessageBytes) << "\n";
      ++failed;
      if (o.strict) {
        std::cerr << "tolvane-host: --strict: nothing written\n";
        return kExitFailed;
      }
      continue;
    }
    row.place.id = "row-" + std::to_string(r + 1);
    if (svg) {
      placed.push_back(row.place);
    } else {
#if defined(TOLVANE_HAVE_MESH)
      host::mesh::PlacedMesh p;
      p.mesh = row.place.shape;
      p.origin = {row.place.x, row.place.y, 0.0};
      p.angle = row.place.angle;
      p.scale = row.place.scale;
      if (!row.place.fill.empty()) host::SvgColourRgba(row.place.fill, p.rgba.data());
      p.name = row.place.id;
      placedMeshes.push_back(p);
#endif
    }
  }
  const std::size_t written = svg ? placed.size() : table.rows.size() - static_cast<std::size_t>(failed);
  if (written == 0) return Fail(table.rows.empty() ? o.table + ": the table has no rows" : "no row could be made; nothing written");
  if (svg) {
    std::string text;
    // A picture to look at: white behind the arrows, twice the drawing's width.
    host::SvgStyle style;
    if (png) {
      style.background = "white";
      style.width = 1600;
    }
    if (!host::PlacedOutlinesSvg(outlines, placed, style, &text, &error)) return Fail(error);
    if (png) {
      std::string picture;
      if (!host::SvgToPng(text, style.width, 0, &picture, &error)) return Fail(error);
      text = std::move(picture);
    }
    if (!host::SaveFile(o.output, text, &error)) return Fail(error);
  } else {
#if defined(TOLVANE_HAVE_MESH)
    if (!host::mesh::WritePlacedMeshes(meshes, placedMeshes, format, o.output, &error, o.unit)) return Fail(error);
#endif
  }
  if (failed > 0) {
    std::cerr << "tolvane-host: " << failed << " of " << table.rows.size() << " rows failed; the other "
              << written << " written to " << o.output << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace

Command AddBatchCommand(CLI::App& app) {
  auto o = std::make_shared<BatchOptions>();
  CLI::App* batch = app.add_subcommand(
      "batch", "make one arrow a row of a table (CSV, or JSON: an array of objects) and place them all in one "
               "SVG drawing or one 3-D file");
  AddPluginOptions(batch, &o->session);
  batch->add_option("table", o->table,
                    "the table: columns named by ARROW_ parameters (values as --set takes them), preset, x, y, "
                    "angle (degrees) or dx and dy, scale, colour; a .json file is an array of objects")
      ->type_name("TABLE.csv|TABLE.json")
      ->required()
      ->check(kNonEmpty);
  batch->add_option("-o", o->output, "the file to write: .svg (or .png: that drawing as a picture on white), or .glb, .gltf, .obj, .stl or .ply (extruded)")
      ->type_name("FILE")
      ->required()
      ->check(kNonEmpty);
  batch->add_flag("--strict", o->strict, "write nothing if any row cannot be made");
#if defined(TOLVANE_HAVE_MESH)
  batch->add_option("--depth", o->depth, "3-D files: the extrusion's depth along z (20 by default)")->type_name("D");
  batch->add_option("--unit", o->unit, "3-D files: metres per scene unit (0.001 by default), as for mesh")
      ->type_name("M");
#endif
  batch->footer(
      "Rows that cannot be made are named on standard error (\"row 7, column ARROW_HEAD_TAPER: ...\") and the\n"
      "rest are written; the exit status is then 1.\n"
      "Examples:\n  tolvane-host batch examples/vector-field.csv -o field.svg\n"
      "  tolvane-host batch examples/vector-field.csv -o field.glb");
  return {batch, [o] { return Batch(*o); }};
}

}  // namespace program
