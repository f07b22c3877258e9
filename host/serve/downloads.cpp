// Files made of an object for the page's downloads (its outline as SVG or
// PNG, its mesh as glTF, OBJ, STL or PLY), and the presets gallery.
#include <algorithm>
#include <filesystem>

#include "mesh.h"
#include "outline_svg.h"
#include "safe_writer.h"
#include "svg_png.h"
#include "workbench.h"

namespace host {

namespace {

struct Download {
  const char* format;
  const char* type;
};

const Download kDownloads[] = {
    {"svg", "image/svg+xml"},       {"png", "image/png"},       {"glb", "model/gltf-binary"},
    {"gltf", "model/gltf+json"},    {"obj", "model/obj"},       {"stl", "model/stl"},
    {"ply", "application/octet-stream"},
};

// A downloaded picture: the outline's SVG at this width, a PNG as large.
constexpr int kPictureWidth = 1200;

}  // namespace

bool Workbench::Impl::ExportFile(Object* op, const std::string& format, std::string* bytes, std::string* type,
                                 int* status, std::string* error) {
  const auto known = std::find_if(std::begin(kDownloads), std::end(kDownloads),
                                  [&](const Download& d) { return format == d.format; });
  if (known == std::end(kDownloads)) {
    *status = 400;
    *error = "unknown format '" + format + "': expected svg, png, glb, gltf, obj, stl or ply";
    return false;
  }
  *type = known->type;
  *status = 422;
  if (format == "svg" || format == "png") {
    Outline outline;
    if (!S().ContourOutline(op, &outline)) {
      *status = 409;
      *error = "'" + op->Name() + "' has no outline of its own to draw: download a mesh of it instead";
      return false;
    }
    SvgStyle style;
    style.width = kPictureWidth;
    std::string svg;
    if (!OutlineSvg(outline, style, &svg, error)) return false;
    if (format == "svg") {
      *bytes = svg;
      return true;
    }
    const std::size_t at = svg.find(" height=\"");
    const int height = at == std::string::npos ? kPictureWidth : std::atoi(svg.c_str() + at + 9);
    return SvgToPng(svg, kPictureWidth, std::max(1, height), bytes, error);
  }
  const mesh::Evaluation eval = mesh::Evaluate(S().GetHost(), op);
  if (!eval.ok) {
    *error = "no mesh for '" + op->Name() + "': " + eval.reason;
    return false;
  }
  if (eval.mesh.triangles.empty()) {
    *status = 409;
    *error = "'" + op->Name() + "' has no mesh of its own: an extrusion, a cloner or a null holding it has one";
    return false;
  }
  return mesh::MeshBytes(eval.mesh, op->Name(), format, bytes, error);
}

Json Workbench::Impl::Gallery() {
  namespace fs = std::filesystem;
  Json list = Json::array();
  const fs::path folder = fs::u8path(S().PluginDir()) / "presets";
  std::error_code ec;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.path().extension() == ".tlv") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    const std::string key = file.u8string() + "@" +
                            std::to_string(fs::last_write_time(file, ec).time_since_epoch().count());
    auto cached = thumbnails.find(key);
    if (cached == thumbnails.end()) {
      // Each preset is loaded into an arrow of a scratch document, through
      // the module's own load path, and drawn small.
      Json entry{{"file", file.filename().u8string()}};
      Document* scratch = S().GetHost().NewDocument();
      std::string error;
      Object* arrow = S().GetHost().CreateObject(scratch, ID_TOLVANE, false, &error);
      Outline outline;
      if (arrow != nullptr && S().LoadPreset(arrow, file.u8string(), &error) && S().ContourOutline(arrow, &outline)) {
        if (const ParamDesc* p = S().FindParamOf(arrow, "ARROW_PRESET_NAME")) {
          const Value* v = arrow->Data().Find(p->id);
          entry["name"] = v != nullptr ? S().ValueJson(*v) : Json(nullptr);
        }
        SvgStyle style;
        style.width = 120;
        style.height = 72;
        std::string svg;
        entry["svg"] = OutlineSvg(outline, style, &svg, &error) ? Json(svg) : Json(nullptr);
      } else {
        entry["error"] = error;
      }
      auto& docs = S().GetHost().Documents();
      docs.erase(std::remove_if(docs.begin(), docs.end(), [&](const auto& d) { return d.get() == scratch; }),
                 docs.end());
      cached = thumbnails.emplace(key, entry).first;
    }
    list.push_back(cached->second);
  }
  return list;
}

}  // namespace host
