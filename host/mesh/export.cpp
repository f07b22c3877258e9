// Writing meshes as 3-D files, and reading them back, through Assimp: each
// file gets normals (split at hard edges) and says what one unit is.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "gltf_file.h"
#include "mesh.h"
#include "outputs.h"
#include "safe_writer.h"
#include "vec.h"

namespace host {
namespace mesh {
namespace {

struct FormatInfo {
  const char* format;  // our word, also the file suffix
  const char* exporter;  // Assimp's exporter ID
};

// Binary STL and PLY: smaller, and what most programs read fastest.
const FormatInfo kFormats[] = {
    {"glb", "glb2"}, {"gltf", "gltf2"}, {"obj", "obj"}, {"stl", "stlb"}, {"ply", "plyb"},
};

const FormatInfo* FindFormat(const std::string& format) {
  for (const FormatInfo& f : kFormats) {
    if (format == f.format) return &f;
  }
  return nullptr;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

aiVector3D AiVector(Vec3 v) {
  return aiVector3D(static_cast<ai_real>(v.x), static_cast<ai_real>(v.y), static_cast<ai_real>(v.z));
}

// A mesh of the file: the shaded mesh's vertices and normals through
// `place` and `turn`.
template <typename Place, typename Turn>
aiMesh* AiMeshOf(const ShadedMesh& mesh, const std::string& name, unsigned int material, Place place, Turn turn) {
  auto* m = new aiMesh();
  m->mName = aiString(name);
  m->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
  m->mMaterialIndex = material;
  m->mNumVertices = static_cast<unsigned int>(mesh.vertices.size());
  m->mVertices = new aiVector3D[mesh.vertices.size()];
  m->mNormals = new aiVector3D[mesh.vertices.size()];
  for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
    m->mVertices[i] = AiVector(place(mesh.vertices[i]));
    m->mNormals[i] = AiVector(turn(mesh.normals[i]));
  }
  m->mNumFaces = static_cast<unsigned int>(mesh.triangles.size());
  m->mFaces = new aiFace[mesh.triangles.size()];
  for (std::size_t i = 0; i < mesh.triangles.size(); ++i) {
    aiFace& face = m->mFaces[i];
    face.mNumIndices = 3;
    face.mIndices = new unsigned int[3]{mesh.triangles[i][0], mesh.triangles[i][1], mesh.triangles[i][2]};
  }
  return m;
}

// A scene of one node holding the mesh, with one plain material; positions
// multiplied by `scale`.
std::unique_ptr<aiScene> SceneOf(const ShadedMesh& mesh, const std::string& name, double scale) {
  auto scene = std::make_unique<aiScene>();
  scene->mRootNode = new aiNode(name.empty() ? "mesh" : name);
  scene->mRootNode->mNumMeshes = 1;
  scene->mRootNode->mMeshes = new unsigned int[1]{0};

  auto* material = new aiMaterial();
  const aiString materialName("arrow");
  material->AddProperty(&materialName, AI_MATKEY_NAME);
  const aiColor4D colour(0.8f, 0.45f, 0.1f, 1.0f);
  material->AddProperty(&colour, 1, AI_MATKEY_COLOR_DIFFUSE);
  material->AddProperty(&colour, 1, AI_MATKEY_BASE_COLOR);
  scene->mNumMaterials = 1;
  scene->mMaterials = new aiMaterial*[1]{material};

  aiMesh* m = AiMeshOf(mesh, name.empty() ? "mesh" : name, 0, [scale](Vec3 v) { return v * scale; },
                       [](Vec3 n) { return n; });
  scene->mNumMeshes = 1;
  scene->mMeshes = new aiMesh*[1]{m};
  return scene;
}

std::string UnitText(double unit) {
  char text[64];
  std::snprintf(text, sizeof text, "1 unit = %g m", unit);
  return text;
}

// glTF counts in metres: its positions are scaled. The other formats keep
// the scene's units and say what one is, where the format has room for it.
double PositionScale(const std::string& format, double unit) {
  return format == "glb" || format == "gltf" ? unit : 1.0;
}

// Writes the unit into a file's bytes: a comment line for OBJ and PLY, the
// header text of a binary STL.
void NoteUnit(const std::string& format, double unit, std::string* bytes) {
  const std::string note = "Tolvane mesh, " + UnitText(unit);
  if (format == "obj") {
    bytes->insert(0, "# " + note + "\n");
  } else if (format == "ply") {
    const std::size_t format_line = bytes->find("\nformat ");
    if (format_line == std::string::npos) return;
    const std::size_t end = bytes->find('\n', format_line + 1);
    if (end == std::string::npos) return;
    bytes->insert(end + 1, "comment " + note + "\n");
  } else if (format == "stl" && bytes->size() >= 80) {
    // 80 bytes of header text; it must not begin with "solid" (that marks a
    // text STL), and this does not.
    std::string header = note;
    header.resize(80, ' ');
    bytes->replace(0, 80, header);
  }
}

// Assimp names a gltf file's buffer file in its "uri" as the name stands;
// a space, '#' or '%' in it would not find the file. True when a name was
// encoded (and the file's JSON written again), false when none needed it.
bool EncodeBufferUris(std::string* bytes) {
  nlohmann::json gltf = nlohmann::json::parse(*bytes, nullptr, false);
  if (gltf.is_discarded() || !gltf.contains("buffers") || !gltf["buffers"].is_array()) return false;
  bool changed = false;
  for (nlohmann::json& buffer : gltf["buffers"]) {
    if (!buffer.contains("uri") || !buffer["uri"].is_string()) continue;
    const std::string uri = buffer["uri"].get<std::string>();
    if (uri.rfind("data:", 0) == 0 || UriOfFileName(uri) == uri) continue;
    buffer["uri"] = UriOfFileName(uri);
    changed = true;
  }
  if (changed) *bytes = gltf.dump(2) + "\n";
  return changed;
}

// A new empty folder in the system's temporary folder, removed with
// everything in it when the value goes.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    std::random_device random;
    for (int attempt = 0; !ec && attempt < 100; ++attempt) {
      const std::filesystem::path p = base / ("tolvane-export-" + std::to_string(random()));
      if (std::filesystem::create_directory(p, ec)) {
        path_ = p;
        return;
      }
    }
    problem_ = ec ? ec.message() : "every name taken";
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }  // empty when none could be made
  const std::string& Problem() const { return problem_; }

 private:
  std::filesystem::path path_;
  std::string problem_;
};

}  // namespace

std::string FormatOfFile(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  const std::string suffix = Lower(path.substr(dot + 1));
  return FindFormat(suffix) != nullptr ? suffix : "";
}

bool IsFormat(const std::string& format) { return FindFormat(format) != nullptr; }

namespace {

// The format of an export, when the mesh can be written in it.
bool ExportScene(const aiScene& scene, const FormatInfo& info, const std::string& format, const std::string& path,
                 double unit, std::string* error);

const FormatInfo* ExportFormat(const Mesh& mesh, const std::string& format, double unit, std::string* error) {
  const FormatInfo* info = FindFormat(format);
  if (info == nullptr) {
    *error = "unknown mesh format '" + format + "': expected glb, gltf, obj, stl or ply";
    return nullptr;
  }
  if (!IsUnit(unit)) {
    *error = "the unit must be a positive number of metres per scene unit";
    return nullptr;
  }
  if (mesh.triangles.empty()) {
    *error = "the mesh has no triangles";
    return nullptr;
  }
  return info;
}

}  // namespace

bool WriteMesh(const Mesh& mesh, const std::string& name, const std::string& format, const std::string& path,
               std::string* error, double unit) {
  const FormatInfo* info = ExportFormat(mesh, format, unit, error);
  if (info == nullptr) return false;
  std::unique_ptr<aiScene> scene = SceneOf(Shade(mesh, kCreaseDegrees), name, PositionScale(format, unit));
  return ExportScene(*scene, *info, format, path, unit, error);
}

namespace {

// Assimp writes a file, and the files it names beside it (an obj's .mtl, a
// gltf's .bin), to a path. It writes them into a scratch folder under the
// names they are to have; the file gets its unit noted (or its buffer's URI
// encoded) there, and then they are saved beside `path` together, the file
// itself last: an export that fails leaves the files as they were.
bool ExportScene(const aiScene& scene, const FormatInfo& info, const std::string& format, const std::string& path,
                 double unit, std::string* error) {
  const ScratchFolder scratch;
  if (scratch.Path().empty()) {
    *error = "cannot write '" + path + "': no scratch folder for the export (" + scratch.Problem() + ")";
    return false;
  }
  const std::filesystem::path target = std::filesystem::u8path(path);
  const std::filesystem::path leaf = target.filename();
  Assimp::Exporter exporter;
  if (exporter.Export(&scene, info.exporter, (scratch.Path() / leaf).u8string()) != aiReturn_SUCCESS) {
    *error = "cannot write '" + path + "': " + exporter.GetErrorString();
    return false;
  }
  std::vector<std::pair<std::string, std::string>> files;
  std::string main;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.Path(), ec)) {
    std::string bytes;
    if (!ReadWholeFile(entry.path().u8string(), &bytes, error)) return false;
    if (entry.path().filename() == leaf) {
      main = std::move(bytes);
      continue;
    }
    files.emplace_back((target.parent_path() / entry.path().filename()).u8string(), std::move(bytes));
  }
  if (ec || main.empty()) {
    *error = "cannot write '" + path + "': the export wrote no file" + (ec ? " (" + ec.message() + ")" : "");
    return false;
  }
  // The STL writer does not say when a write fails: a binary STL holds 50
  // bytes a triangle after its 84-byte head, which tells a cut file.
  uint32_t triangles = 0;
  if (format == "stl" && main.size() >= 84) std::memcpy(&triangles, main.data() + 80, 4);
  if (format == "stl" && main.size() != 84 + 50 * static_cast<uint64_t>(triangles)) {
    *error = "cannot write '" + path + "': the export was cut short (" + std::to_string(main.size()) + " bytes)";
    return false;
  }
  if (format == "gltf") EncodeBufferUris(&main);
  else if (format != "glb") NoteUnit(format, unit, &main);
  files.emplace_back(path, std::move(main));
  return SaveFiles(files, error);
}

// Appends `mesh` to `into`, its vertices through `place` and normals
// through `turn`.
template <typename Place, typename Turn>
void AppendPlaced(const ShadedMesh& mesh, Place place, Turn turn, ShadedMesh* into) {
  const auto base = static_cast<uint32_t>(into->vertices.size());
  for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
    into->vertices.push_back(place(mesh.vertices[i]));
    into->normals.push_back(turn(mesh.normals[i]));
  }
  for (const auto& t : mesh.triangles) into->triangles.push_back({base + t[0], base + t[1], base + t[2]});
}

aiMaterial* MaterialOf(const std::array<double, 4>& rgba, const std::string& name) {
  auto* material = new aiMaterial();
  const aiString materialName(name);
  material->AddProperty(&materialName, AI_MATKEY_NAME);
  const aiColor4D colour(static_cast<float>(rgba[0]), static_cast<float>(rgba[1]), static_cast<float>(rgba[2]),
                         static_cast<float>(rgba[3]));
  material->AddProperty(&colour, 1, AI_MATKEY_COLOR_DIFFUSE);
  material->AddProperty(&colour, 1, AI_MATKEY_BASE_COLOR);
  return material;
}

// The scene of the placed copies in an OBJ file (a group a copy), or in an
// STL or PLY file (one mesh); glTF files are written by PlacedGltfBytes.
std::unique_ptr<aiScene> PlacedScene(const std::vector<Mesh>& meshes, const std::vector<PlacedMesh>& copies,
                                     const std::string& format, double unit) {
  const double scale = PositionScale(format, unit);
  const bool nodes = format == "obj";
  std::vector<ShadedMesh> shaded(meshes.size());
  std::vector<bool> done(meshes.size(), false);
  std::vector<std::array<double, 4>> colours;
  std::vector<aiMaterial*> materials;
  std::vector<aiMesh*> aiMeshes;
  std::vector<aiNode*> children;
  ShadedMesh merged;  // every copy, where the format has one mesh
  const auto colourIndex = [&](const std::array<double, 4>& rgba) {
    const auto at = std::find(colours.begin(), colours.end(), rgba);
    if (at != colours.end()) return static_cast<std::size_t>(at - colours.begin());
    colours.push_back(rgba);
    materials.push_back(MaterialOf(rgba, "colour" + std::to_string(colours.size())));
    return colours.size() - 1;
  };
  for (const PlacedMesh& c : copies) {
    if (!done[c.mesh]) {
      shaded[c.mesh] = Shade(meshes[c.mesh], kCreaseDegrees);
      done[c.mesh] = true;
    }
    const std::size_t colour = colourIndex(c.rgba);
    const double a = c.angle * 3.14159265358979323846 / 180.0, ca = std::cos(a), sa = std::sin(a);
    const auto turn = [ca, sa](Vec3 v) { return Vec3{ca * v.x - sa * v.y, sa * v.x + ca * v.y, v.z}; };
    const auto place = [&](Vec3 v) { return (turn(v) * c.scale + c.origin) * scale; };
    if (!nodes) {
      AppendPlaced(shaded[c.mesh], place, turn, &merged);
      continue;
    }
    const auto index = static_cast<unsigned int>(aiMeshes.size());
    aiMeshes.push_back(AiMeshOf(shaded[c.mesh], c.name, static_cast<unsigned int>(colour), place, turn));
    auto* node = new aiNode(c.name);
    node->mNumMeshes = 1;
    node->mMeshes = new unsigned int[1]{index};
    children.push_back(node);
  }
  auto scene = std::make_unique<aiScene>();
  scene->mRootNode = new aiNode("arrows");
  if (nodes) {
    scene->mRootNode->addChildren(static_cast<unsigned int>(children.size()), children.data());
  } else {
    const auto same = [](Vec3 v) { return v; };
    aiMeshes.push_back(AiMeshOf(merged, "arrows", 0, same, same));
    scene->mRootNode->mNumMeshes = 1;
    scene->mRootNode->mMeshes = new unsigned int[1]{0};
  }
  scene->mNumMaterials = static_cast<unsigned int>(materials.size());
  scene->mMaterials = new aiMaterial*[materials.size()];
  std::copy(materials.begin(), materials.end(), scene->mMaterials);
  scene->mNumMeshes = static_cast<unsigned int>(aiMeshes.size());
  scene->mMeshes = new aiMesh*[aiMeshes.size()];
  std::copy(aiMeshes.begin(), aiMeshes.end(), scene->mMeshes);
  return scene;
}

}  // namespace

bool WritePlacedMeshes(const std::vector<Mesh>& meshes, const std::vector<PlacedMesh>& copies,
                       const std::string& format, const std::string& path, std::string* error, double unit) {
  if (copies.empty()) {
    *error = "there are no meshes to write";
    return false;
  }
  const FormatInfo* info = nullptr;
  for (const PlacedMesh& c : copies) {
    if (c.mesh >= meshes.size()) {
      *error = "a copy names no mesh";
      return false;
    }
    info = ExportFormat(meshes[c.mesh], format, unit, error);
    if (info == nullptr) return false;
  }
  // Every placed vertex must be a number the file can hold: the formats
  // store 32-bit floats (OBJ's text is read back as them), so a copy that
  // reaches beyond them (a huge scale or place) is refused, not written as
  // infinities.
  std::vector<double> reach(meshes.size(), 0.0);
  for (std::size_t m = 0; m < meshes.size(); ++m)
    for (const Vec3& v : meshes[m].vertices) reach[m] = std::max(reach[m], std::hypot(v.x, v.y, v.z));
  for (const PlacedMesh& c : copies) {
    const double far = (std::hypot(c.origin.x, c.origin.y, c.origin.z) + std::fabs(c.scale) * reach[c.mesh]) * unit;
    if (!(far <= std::numeric_limits<float>::max()) || !std::isfinite(c.angle)) {
      *error = (c.name.empty() ? std::string("a copy") : c.name) + " reaches " + FormatDouble(far) +
               " from the origin, beyond the largest number a mesh file holds (" +
               FormatDouble(std::numeric_limits<float>::max()) + "); nothing written";
      return false;
    }
  }
  if (format == "glb" || format == "gltf") {
    // A gltf file's buffer goes beside it, FILE.bin, as WriteMesh's does.
    std::string binName, binPath;
    if (format == "gltf") {
      const std::size_t slash = path.find_last_of("/\\");
      const std::size_t dot = path.find_last_of('.');
      const std::size_t leaf = slash == std::string::npos ? 0 : slash + 1;
      binPath = (dot != std::string::npos && dot > leaf ? path.substr(0, dot) : path) + ".bin";
      binName = UriOfFileName(binPath.substr(leaf));
    }
    std::string bytes, bin;
    if (!PlacedGltfBytes(meshes, copies, format, binName, unit, &bytes, &bin, error)) return false;
    // The buffer and the file together, the file last.
    std::vector<std::pair<std::string, std::string>> files;
    if (!binPath.empty()) files.emplace_back(binPath, std::move(bin));
    files.emplace_back(path, std::move(bytes));
    return SaveFiles(files, error);
  }
  const std::unique_ptr<aiScene> scene = PlacedScene(meshes, copies, format, unit);
  return ExportScene(*scene, *info, format, path, unit, error);
}

bool ChooseFormat(const std::string& path, const std::string& requested, std::string* format, std::string* error) {
  if (!requested.empty()) {
    if (!IsFormat(requested)) {
      *error = "unknown mesh format '" + requested + "': expected glb, gltf, obj, stl or ply";
      return false;
    }
    *format = requested;
    return true;
  }
  *format = FormatOfFile(path);
  if (format->empty()) {
    *error = "cannot tell the format of '" + path +
             "': the file must end in .glb, .gltf, .obj, .stl or .ply, or the format be given";
    return false;
  }
  return true;
}

bool IsUnit(double unit) { return std::isfinite(unit) && unit > 0.0; }

namespace {

std::string BlobText(const aiExportDataBlob* blob) {
  return std::string(static_cast<const char*>(blob->data), blob->size);
}

}  // namespace

bool MeshBytes(const Mesh& mesh, const std::string& name, const std::string& format, std::string* bytes,
               std::string* error, double unit) {
  const FormatInfo* info = ExportFormat(mesh, format, unit, error);
  if (info == nullptr) return false;
  std::unique_ptr<aiScene> scene = SceneOf(Shade(mesh, kCreaseDegrees), name, PositionScale(format, unit));
  Assimp::Exporter exporter;
  const aiExportDataBlob* blob = exporter.ExportToBlob(scene.get(), info->exporter);
  if (blob == nullptr) {
    *error = std::string("cannot make the ") + format + " file: " + exporter.GetErrorString();
    return false;
  }
  *bytes = BlobText(blob);
  if (format == "gltf") {
    // The buffer goes into the file as a data URI in place of the file name
    // beside it.
    for (const aiExportDataBlob* next = blob->next; next != nullptr; next = next->next) {
      const std::string file = std::string(next->name.C_Str());
      const std::size_t at = bytes->find("\"" + file);
      if (file.empty() || at == std::string::npos) continue;
      const std::size_t end = bytes->find('"', at + 1);
      bytes->replace(at + 1, end - at - 1, "data:application/octet-stream;base64," + Base64(BlobText(next)));
    }
  } else if (format == "obj") {
    // Without the materials file, the lines naming it go.
    std::string kept;
    std::size_t from = 0;
    while (from < bytes->size()) {
      std::size_t end = bytes->find('\n', from);
      end = end == std::string::npos ? bytes->size() : end + 1;
      const std::string line = bytes->substr(from, end - from);
      if (line.rfind("mtllib", 0) != 0 && line.rfind("usemtl", 0) != 0) kept += line;
      from = end;
    }
    *bytes = kept;
  }
  NoteUnit(format, unit, bytes);
  return true;
}

ShadedMesh Shade(const Mesh& mesh, double creaseDegrees) {
  const double cosCrease = std::cos(creaseDegrees * 3.14159265358979323846 / 180.0);
  const std::size_t nt = mesh.triangles.size();
  std::vector<Vec3> faceNormal(nt);
  std::vector<std::array<double, 3>> cornerWeight(nt);
  std::vector<std::vector<std::pair<uint32_t, int>>> around(mesh.vertices.size());  // (triangle, corner)
  for (std::size_t t = 0; t < nt; ++t) {
    const auto& tri = mesh.triangles[t];
    const Vec3 a = mesh.vertices[tri[0]], b = mesh.vertices[tri[1]], c = mesh.vertices[tri[2]];
    const Vec3 twiceArea = Cross(b - a, c - a);
    faceNormal[t] = Normalized(twiceArea);
    for (int k = 0; k < 3; ++k) {
      const Vec3 p = mesh.vertices[tri[k]];
      const Vec3 u = Normalized(mesh.vertices[tri[(k + 1) % 3]] - p), w = Normalized(mesh.vertices[tri[(k + 2) % 3]] - p);
      cornerWeight[t][k] = std::acos(std::clamp(Dot(u, w), -1.0, 1.0)) * Length(twiceArea);
      around[tri[k]].push_back({static_cast<uint32_t>(t), k});
    }
  }
  ShadedMesh out;
  out.triangles = mesh.triangles;
  for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
    // Each corner's normal: the mean of the faces round the vertex that lie
    // within the crease angle of its own face, weighted by their corner
    // angle and area (so that a flat cap or a side wall keeps its own normal
    // where a narrow rounded rim meets it). Corners whose normals agree share
    // one vertex of the output.
    std::vector<std::pair<Vec3, uint32_t>> made;
    for (const auto& [t, k] : around[v]) {
      Vec3 sum;
      for (const auto& [g, j] : around[v]) {
        if (Dot(faceNormal[t], faceNormal[g]) >= cosCrease) sum = sum + faceNormal[g] * cornerWeight[g][j];
      }
      Vec3 n = Normalized(sum);
      if (!(Length(n) > 0.5)) n = Length(faceNormal[t]) > 0.5 ? faceNormal[t] : Vec3{0.0, 0.0, 1.0};
      uint32_t index = 0;
      bool found = false;
      for (const auto& [normal, i] : made) {
        if (Dot(normal, n) > 1.0 - 1e-9) {
          index = i;
          found = true;
          break;
        }
      }
      if (!found) {
        index = static_cast<uint32_t>(out.vertices.size());
        out.vertices.push_back(mesh.vertices[v]);
        out.normals.push_back(n);
        made.push_back({n, index});
      }
      out.triangles[t][k] = index;
    }
  }
  return out;
}

bool ReadMeshFile(const std::string& path, Mesh* mesh, std::string* error) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate);
  if (scene == nullptr) {
    *error = "cannot read '" + path + "': " + importer.GetErrorString();
    return false;
  }
  // Vertices with the same position are one vertex (a file may repeat them
  // per face, as STL does).
  mesh->vertices.clear();
  mesh->triangles.clear();
  std::map<std::tuple<float, float, float>, uint32_t> index;
  for (unsigned int k = 0; k < scene->mNumMeshes; ++k) {
    const aiMesh* m = scene->mMeshes[k];
    std::vector<uint32_t> remap(m->mNumVertices);
    for (unsigned int i = 0; i < m->mNumVertices; ++i) {
      const aiVector3D& v = m->mVertices[i];
      const auto key = std::make_tuple(static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z));
      const auto found = index.find(key);
      if (found != index.end()) {
        remap[i] = found->second;
      } else {
        remap[i] = static_cast<uint32_t>(mesh->vertices.size());
        index.emplace(key, remap[i]);
        mesh->vertices.push_back({v.x, v.y, v.z});
      }
    }
    for (unsigned int f = 0; f < m->mNumFaces; ++f) {
      const aiFace& face = m->mFaces[f];
      if (face.mNumIndices != 3) continue;
      mesh->triangles.push_back({remap[face.mIndices[0]], remap[face.mIndices[1]], remap[face.mIndices[2]]});
    }
  }
  return true;
}

}  // namespace mesh
}  // namespace host
