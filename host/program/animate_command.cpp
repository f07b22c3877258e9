// tolvane-host animate: an object of a scene file played over its frames
// and written as an SVG that plays by itself, a numbered sequence of SVG or
// PNG pictures of its outline (bent as its set-up's spline wraps bend it),
// or a glTF file of its mesh: morphing, or one node a frame when the
// topology changes (docs/animation.md).
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>

#include "animation.h"
#include "core.h"
#include "object_names.h"
#include "outline_svg.h"
#include "parse.h"
#include "program.h"
#include "safe_writer.h"
#include "scene.h"
#include "scenefile.h"
#include "svg_png.h"
#if defined(TOLVANE_HAVE_MESH)
#include "mesh.h"
#endif

namespace program {

namespace {

struct AnimateOptions {
  host::SessionOptions session;
  std::string scene, object, frames, output;
  double unit = 0.001;  // metres per scene unit of a glTF file (the mesh layer's default)
  int width = 800;      // of PNG frames
};

std::string Lower(std::string text) {
  for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && Lower(text.substr(text.size() - end.size())) == end;
}

// "A..B", both whole frames, A <= B.
void ReadFrames(const std::string& text, int32_t* first, int32_t* last) {
  const std::size_t dots = text.find("..");
  long long a = 0, b = 0;
  const long long limit = host::kFrameLimit;
  if (dots == std::string::npos || !host::ParseWholeNumber(text.substr(0, dots), -limit, limit, &a) ||
      !host::ParseWholeNumber(text.substr(dots + 2), -limit, limit, &b) || a > b)
    throw UsageError{"--frames takes A..B, whole frames with A <= B, such as 0..90; not '" + text + "'"};
  *first = static_cast<int32_t>(a);
  *last = static_cast<int32_t>(b);
}

// The widest frame number of a sequence's names, %020d: a frame takes at
// most 8 characters, so every name of a sequence is its own.
constexpr int kMaxFrameWidth = 20;

// The name of frame `frame` of a sequence named by a printf pattern with
// one %d (%04d, %4d, ...; a width of at most kMaxFrameWidth).
bool FrameName(const std::string& pattern, int32_t frame, std::string* name) {
  const std::size_t at = pattern.find('%');
  if (at == std::string::npos || pattern.find('%', at + 1) != std::string::npos) return false;
  std::size_t end = at + 1;
  int width = 0;
  while (end < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[end]))) {
    width = width * 10 + (pattern[end++] - '0');
    if (width > kMaxFrameWidth) return false;
  }
  if (end >= pattern.size() || pattern[end] != 'd') return false;
  char text[32];
  const int n = std::snprintf(text, sizeof text, pattern.substr(at, end - at + 1).c_str(), frame);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof text) return false;
  *name = pattern.substr(0, at) + text + pattern.substr(end + 1);
  return true;
}

class Animation {
 public:
  explicit Animation(const AnimateOptions& o) : o_(o), session_(o.session) {}
  host::Host& GetHost() { return session_.GetHost(); }

  int Run() {
    std::string error;
    if (!session_.Open(&error)) return Fail(error);
    std::unique_ptr<host::Document> doc = host::LoadScene(o_.scene, &error);
    if (doc == nullptr) return Fail("cannot load the scene: " + error);
    doc_ = host::ReplaceDocument(session_.GetHost(), session_.Doc(), std::move(doc));
    if (doc_ == nullptr) return Fail("the session's document is not one of the host's");
    session_.SetDoc(doc_);
    // Named as the console names objects; a plain name two objects share
    // would be a guess, so it is refused with the paths that tell them apart.
    object_ = host::FindObjectIn(doc_, o_.object, &error);
    if (object_ == nullptr) return Fail(o_.scene + ": " + error);
    if (o_.object.find('/') == std::string::npos && o_.object.rfind('@', 0) != 0) {
      const std::vector<std::string> paths = host::PathsNamed(doc_, o_.object);
      if (paths.size() > 1) {
        std::string list;
        for (const std::string& p : paths) list += (list.empty() ? "'" : ", '") + p + "'";
        return Fail(std::to_string(paths.size()) + " objects of the scene are named '" + o_.object +
                    "': name one by its path, " + list);
      }
    }
    first_ = doc_->Time().start;
    last_ = doc_->Time().end;
    if (!o_.frames.empty()) ReadFrames(o_.frames, &first_, &last_);
    const std::string& out = o_.output;
    if (out.find('%') != std::string::npos) return Sequence();
    if (EndsWith(out, ".svg")) return AnimatedSvg();
    if (EndsWith(out, ".glb") || EndsWith(out, ".gltf")) return Gltf(EndsWith(out, ".glb") ? "glb" : "gltf");
    throw UsageError{"animate writes .svg, .glb or .gltf, or a sequence such as frames/arrow-%04d.svg or .png; not '" +
                     out + "'"};
  }

 private:
  bool OutlinesOfFrames(std::vector<host::Outline>* outlines, std::string* error) {
    for (int32_t f = first_; f <= last_; ++f) {
      host::EvaluateFrame(doc_, f);
      host::Outline outline;
      if (!session_.ContourOutline(object_, &outline)) {
        *error = "'" + o_.object + "' answers no outline at frame " + std::to_string(f);
        return false;
      }
      if (!AsWrapped(&outline, error)) {
        *error += " (at frame " + std::to_string(f) + ")";
        return false;
      }
      outlines->push_back(std::move(outline));
    }
    return true;
  }

  // The outline bent as the spline wraps of its set-up bend its mesh, when
  // they do and the mesh layer is built; otherwise it stays flat.
  bool AsWrapped(host::Outline* outline, std::string* error) {
#if defined(TOLVANE_HAVE_MESH)
    std::vector<host::mesh::Vec3> points;
    for (const auto& p : outline->points) points.push_back({p[0], p[1], p[2]});
    bool bent = false;
    if (!host::mesh::BendOutlineAsWrapped(session_.GetHost(), object_, outline->closed,
                                          host::mesh::kBentOutlinePieces, &points, &bent, error))
      return false;
    if (!bent) return true;
    outline->points.clear();
    for (const host::mesh::Vec3& p : points) outline->points.push_back({p.x, p.y, p.z});
#else
    (void)outline;
    (void)error;
#endif
    return true;
  }

  int AnimatedSvg() {
    std::vector<host::Outline> outlines;
    std::string svg, error;
    if (!OutlinesOfFrames(&outlines, &error) ||
        !host::AnimatedOutlineSvg(outlines, doc_->Time().fps, host::SvgStyle(), &svg, &error, first_) ||
        !host::SaveFile(o_.output, svg, &error))
      return Fail(error);
    return kExitOk;
  }

  int Sequence() {
    const bool png = EndsWith(o_.output, ".png");
    if (!png && !EndsWith(o_.output, ".svg"))
      throw UsageError{"a frame sequence is of .svg or .png files; not '" + o_.output + "'"};
    std::string name;
    if (!FrameName(o_.output, first_, &name))
      throw UsageError{"a frame sequence's name holds one %d, %04d or the like (a width of at most " +
                       std::to_string(kMaxFrameWidth) + "), for the frame; not '" + o_.output + "'"};
    std::vector<host::Outline> outlines;
    std::string error;
    if (!OutlinesOfFrames(&outlines, &error)) return Fail(error);
    host::SvgStyle style;
    style.width = o_.width;
    // Every frame is drawn before any file is written, and the files are
    // saved together: a sequence that fails leaves the files as they were.
    std::vector<std::string> drawings;
    if (!host::OutlineSvgFrames(outlines, style, &drawings, &error)) return Fail(error);
    std::vector<std::pair<std::string, std::string>> files;
    for (std::size_t i = 0; i < drawings.size(); ++i) {
      std::string bytes;
      FrameName(o_.output, first_ + static_cast<int32_t>(i), &name);
      if (png && !host::SvgToPng(drawings[i], o_.width, 0, &bytes, &error)) return Fail(error);
      files.emplace_back(name, png ? std::move(bytes) : std::move(drawings[i]));
    }
    if (!host::SaveFiles(files, &error)) return Fail(error);
    return kExitOk;
  }

  int Gltf(const std::string& format) {
#if defined(TOLVANE_HAVE_MESH)
    std::vector<host::mesh::Mesh> meshes;
    for (int32_t f = first_; f <= last_; ++f) {
      host::EvaluateFrame(doc_, f);
      host::mesh::Evaluation eval = host::mesh::Evaluate(session_.GetHost(), object_);
      if (!eval.ok) return Fail("no mesh for '" + o_.object + "' at frame " + std::to_string(f) + ": " + eval.reason);
      meshes.push_back(std::move(eval.mesh));
    }
    std::string error;
    if (!host::mesh::WriteMeshAnimation(meshes, doc_->Time().fps, object_->Name(), format, o_.output, &error,
                                         o_.unit, first_))
      return Fail(error);
    return kExitOk;
#else
    (void)format;
    return Fail("this build has no mesh layer: glTF files cannot be written");
#endif
  }

  const AnimateOptions& o_;
  host::Session session_;
  host::Document* doc_ = nullptr;
  host::Object* object_ = nullptr;
  int32_t first_ = 0, last_ = 0;
};

// What the module left behind or misused, as one text; empty for nothing.
std::string Findings(host::Host& h) {
  std::string findings;
  for (const host::Leak& leak : h.Leaks()) findings += (findings.empty() ? "the module left behind: " : "; ") + leak.what;
  for (const std::string& misuse : host::Misuses())
    findings += (findings.empty() ? "" : "; ") + std::string("the module misused the host: ") + misuse;
  return findings;
}

int Animate(const AnimateOptions& o) {
  if (!(std::isfinite(o.unit) && o.unit > 0.0))
    throw UsageError{"--unit takes a positive number of metres per scene unit"};
  Animation animation(o);
  const int status = animation.Run();
  // The module must leave nothing behind and misuse nothing, whatever happened.
  animation.GetHost().Shutdown();
  const std::string findings = Findings(animation.GetHost());
  if (findings.empty()) return status;
  Fail(findings);
  return status == kExitOk ? kExitFailed : status;
}

}  // namespace

Command AddAnimateCommand(CLI::App& app) {
  auto o = std::make_shared<AnimateOptions>();
  CLI::App* animate = app.add_subcommand(
      "animate", "play an object of a scene file over its frames and write the animation (SVG, frames, glTF)");
  AddPluginOptions(animate, &o->session);
  animate->add_option("--scene", o->scene, "the scene file, with its keys")->type_name("FILE")->required()->check(kNonEmpty);
  animate->add_option("--object", o->object,
                      "the object to write, by name or by path (Cloner/Extrude NURBS/Arrow): an arrow (outline; "
                      "bent along the path of the spline wrap that bends its extrusion, as the mesh is) or a set-up "
                      "(glTF)")
      ->type_name("NAME")
      ->required()
      ->check(kNonEmpty);
  animate->add_option("--frames", o->frames, "the frames to write, A..B (by default the scene's range)")
      ->type_name("A..B");
  animate->add_option("--unit", o->unit, "metres per scene unit of a glTF file (0.001 by default)")->type_name("M");
  animate->add_option("--width", o->width, "the width of PNG frames in pixels (800 by default)")
      ->type_name("PIXELS")
      ->check(CLI::Range(1, host::kMaxPictureSide));
  animate->add_option("-o", o->output,
                      "the file: .svg (plays by itself), .glb or .gltf (morph targets, or one node a frame "
                      "when the mesh's topology changes), or a sequence frames/arrow-%04d.svg or .png")
      ->type_name("FILE")
      ->required()
      ->check(kNonEmpty);
#if defined(TOLVANE_HAVE_MESH)
  const std::string drawn =
      "An arrow's outline is drawn as the viewer sees it: when a spline wrap bends the arrow's extrusion,\n"
      "every edge is cut into " +
      std::to_string(host::mesh::kBentOutlinePieces) +
      " pieces, bent along the wrap's path as the mesh is and drawn in the\n"
      "path's plane (the same point count at every frame, so one path still morphs); an arrow that no\n"
      "wrap bends is drawn flat.\n";
#else
  const std::string drawn = "An arrow's outline is drawn flat (this build has no mesh layer to bend it).\n";
#endif
  animate->footer(
      drawn +
      "Examples:\n  tolvane-host animate --scene grow.tlvscene --object Arrow -o grow.svg\n"
      "  tolvane-host animate --scene grow.tlvscene --object Arrow --frames 0..30 -o arrow-%04d.png\n"
      "  tolvane-host animate --scene grow.tlvscene --object \"Extrude NURBS\" -o grow.glb");
  return {animate, [o] { return Animate(*o); }};
}

}  // namespace program
