// Writing meshes as 3-D files, and reading them back, through Assimp: each
// file gets normals (split at hard edges) and says what one unit is.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

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

bool ReadBytes(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

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

bool ExportScene(const aiScene& scene, const FormatInfo& info, const std::string& format, const std::string& path,
                 double unit, std::string* error) {
  Assimp::Exporter exporter;
  if (exporter.Export(&scene, info.exporter, path) != aiReturn_SUCCESS) {
    *error = "cannot write '" + path + "': " + exporter.GetErrorString();
    return false;
  }
  if (format == "obj" || format == "ply" || format == "stl") {
    std::string bytes;
    if (!ReadBytes(path, &bytes)) {
      *error = "cannot read back '" + path + "' to note its unit";
      return false;
    }
    NoteUnit(format, unit, &bytes);
    if (!WriteBytes(path, bytes)) {
      *error = "cannot write '" + path + "'";
      return false;
    }
  }
  return true;
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

// The scene of the placed copies (see WritePlacedMeshes).
std::unique_ptr<aiScene> PlacedScene(const std::vector<Mesh>& meshes, const std::vector<PlacedMesh>& copies,
                                     const std::string& format, double unit) {
  const double scale = PositionScale(format, unit);
  const bool nodes = format == "glb" || format == "gltf" || format == "obj";
  const bool instanced = format == "glb" || format == "gltf";
  std::vector<ShadedMesh> shaded(meshes.size());
  std::vector<bool> done(meshes.size(), false);
  std::vector<std::array<double, 4>> colours;
  std::vector<aiMaterial*> materials;
  std::vector<aiMesh*> aiMeshes;
  std::map<std::pair<std::size_t, std::size_t>, unsigned int> shared;  // (mesh, colour) -> file mesh
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
    unsigned int index = 0;
    if (instanced) {
      const auto key = std::make_pair(c.mesh, colour);
      const auto found = shared.find(key);
      if (found == shared.end()) {
        index = static_cast<unsigned int>(aiMeshes.size());
        aiMeshes.push_back(AiMeshOf(shaded[c.mesh], "arrow" + std::to_string(c.mesh + 1),
                                    static_cast<unsigned int>(colour), [scale](Vec3 v) { return v * scale; },
                                    [](Vec3 n) { return n; }));
        shared.emplace(key, index);
      } else {
        index = found->second;
      }
    } else {
      const auto place = [&](Vec3 v) { return (turn(v) * c.scale + c.origin) * scale; };
      if (nodes) {
        index = static_cast<unsigned int>(aiMeshes.size());
        aiMeshes.push_back(AiMeshOf(shaded[c.mesh], c.name, static_cast<unsigned int>(colour), place, turn));
      } else {
        AppendPlaced(shaded[c.mesh], place, turn, &merged);
      }
    }
    if (!nodes) continue;
    auto* node = new aiNode(c.name);
    node->mNumMeshes = 1;
    node->mMeshes = new unsigned int[1]{index};
    if (instanced) {
      const Vec3 t = c.origin * scale;
      const auto s = static_cast<ai_real>(c.scale);
      node->mTransformation = aiMatrix4x4(
          static_cast<ai_real>(ca) * s, static_cast<ai_real>(-sa) * s, 0, static_cast<ai_real>(t.x),
          static_cast<ai_real>(sa) * s, static_cast<ai_real>(ca) * s, 0, static_cast<ai_real>(t.y),
          0, 0, s, static_cast<ai_real>(t.z), 0, 0, 0, 1);
    }
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

std::string Base64(const std::string& bytes) {
  static const char* const kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t n = (uint32_t{static_cast<unsigned char>(bytes[i])} << 16) |
                       (uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8) | static_cast<unsigned char>(bytes[i + 2]);
    for (int k = 18; k >= 0; k -= 6) out += kDigits[(n >> k) & 63];
  }
  if (i < bytes.size()) {
    uint32_t n = uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
    if (i + 1 < bytes.size()) n |= uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

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

namespace host {
namespace mesh {

namespace {

// The parts of a glTF file's buffer: views and accessors appended one
// after another, every view four-byte aligned.
class GltfBuffer {
 public:
  // Floats of `components` per element; min and max when `bounds`.
  int Floats(const std::vector<float>& values, int components, const char* type, bool bounds, int target) {
    const int view = View(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(float), target);
    nlohmann::json accessor{{"bufferView", view},
                            {"componentType", 5126},
                            {"count", values.size() / static_cast<std::size_t>(components)},
                            {"type", type}};
    if (bounds) {
      const std::size_t k = static_cast<std::size_t>(components);
      std::vector<float> lo(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k)), hi = lo;
      for (std::size_t i = 0; i < values.size(); ++i) {
        lo[i % k] = std::min(lo[i % k], values[i]);
        hi[i % k] = std::max(hi[i % k], values[i]);
      }
      accessor["min"] = lo;
      accessor["max"] = hi;
    }
    accessors_.push_back(accessor);
    return static_cast<int>(accessors_.size() - 1);
  }
  int Indices(const std::vector<uint32_t>& values) {
    const int view = View(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(uint32_t), 34963);
    accessors_.push_back(nlohmann::json{{"bufferView", view}, {"componentType", 5125}, {"count", values.size()},
                                        {"type", "SCALAR"}});
    return static_cast<int>(accessors_.size() - 1);
  }
  const std::string& Bytes() const { return bytes_; }
  const nlohmann::json& Views() const { return views_; }
  const nlohmann::json& Accessors() const { return accessors_; }

 private:
  int View(const char* data, std::size_t size, int target) {
    nlohmann::json view{{"buffer", 0}, {"byteOffset", bytes_.size()}, {"byteLength", size}};
    if (target != 0) view["target"] = target;
    bytes_.append(data, size);
    bytes_.append((4 - bytes_.size() % 4) % 4, '\0');
    views_.push_back(view);
    return static_cast<int>(views_.size() - 1);
  }
  std::string bytes_;
  nlohmann::json views_ = nlohmann::json::array();
  nlohmann::json accessors_ = nlohmann::json::array();
};

std::vector<float> FloatsOf(const std::vector<Vec3>& v, double scale, const std::vector<Vec3>* less = nullptr,
                            double lessScale = 1.0) {
  std::vector<float> out;
  out.reserve(v.size() * 3);
  for (std::size_t i = 0; i < v.size(); ++i) {
    const Vec3 p = less != nullptr ? v[i] * scale - (*less)[i] * lessScale : v[i] * scale;
    out.push_back(static_cast<float>(p.x));
    out.push_back(static_cast<float>(p.y));
    out.push_back(static_cast<float>(p.z));
  }
  return out;
}

void PutU32(std::string* out, uint32_t v) {
  for (int k = 0; k < 4; ++k) out->push_back(static_cast<char>((v >> (8 * k)) & 0xff));
}

}  // namespace

bool WriteMorphAnimation(const std::vector<Mesh>& frames, double fps, const std::string& name,
                         const std::string& format, const std::string& path, std::string* error, double unit) {
  if (format != "glb" && format != "gltf") {
    *error = "an animated mesh is written as glb or gltf, not " + format;
    return false;
  }
  if (frames.empty() || !(fps > 0.0) || !IsUnit(unit)) {
    *error = frames.empty() ? "no frames to write" : "frames per second and the unit must be positive";
    return false;
  }
  std::vector<ShadedMesh> shaded;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    shaded.push_back(Shade(frames[i], kCreaseDegrees));
    const ShadedMesh& s = shaded.back();
    if (s.vertices.empty() || s.triangles.empty()) {
      *error = "the mesh is empty at frame " + std::to_string(i) + " of the animation";
      return false;
    }
    if (s.vertices.size() != shaded[0].vertices.size() || s.triangles != shaded[0].triangles) {
      *error = "the mesh's topology changes at frame " + std::to_string(i) + " of the animation (" +
               std::to_string(s.vertices.size()) + " vertices and " + std::to_string(s.triangles.size()) +
               " triangles against " + std::to_string(shaded[0].vertices.size()) + " and " +
               std::to_string(shaded[0].triangles.size()) + " at its first): morph targets need one topology";
      return false;
    }
  }
  const ShadedMesh& base = shaded[0];
  GltfBuffer buffer;
  const int position = buffer.Floats(FloatsOf(base.vertices, unit), 3, "VEC3", true, 34962);
  const int normal = buffer.Floats(FloatsOf(base.normals, 1.0), 3, "VEC3", false, 34962);
  std::vector<uint32_t> indices;
  for (const auto& t : base.triangles) indices.insert(indices.end(), t.begin(), t.end());
  const int index = buffer.Indices(indices);
  nlohmann::json targets = nlohmann::json::array();
  for (const ShadedMesh& s : shaded) {
    targets.push_back(
        {{"POSITION", buffer.Floats(FloatsOf(s.vertices, unit, &base.vertices, unit), 3, "VEC3", true, 34962)},
         {"NORMAL", buffer.Floats(FloatsOf(s.normals, 1.0, &base.normals), 3, "VEC3", false, 34962)}});
  }
  // Frame i's time, and the weights there: its own target alone.
  const std::size_t n = frames.size();
  std::vector<float> times, weights(n * n, 0.0f);
  for (std::size_t i = 0; i < n; ++i) {
    times.push_back(static_cast<float>(static_cast<double>(i) / fps));
    weights[i * n + i] = 1.0f;
  }
  const int input = buffer.Floats(times, 1, "SCALAR", true, 0);
  const int output = buffer.Floats(weights, 1, "SCALAR", false, 0);
  std::vector<float> rest(n, 0.0f);
  rest[0] = 1.0f;

  nlohmann::json gltf{
      {"asset", {{"version", "2.0"}, {"generator", "tolvane-host animate"}}},
      {"scene", 0},
      {"scenes", {{{"nodes", {0}}}}},
      {"nodes", {{{"name", name}, {"mesh", 0}}}},
      {"meshes",
       {{{"name", name},
         {"weights", rest},
         {"primitives",
          {{{"attributes", {{"POSITION", position}, {"NORMAL", normal}}}, {"indices", index}, {"mode", 4},
            {"targets", targets}}}}}}},
      {"animations",
       {{{"name", name + " frames"},
         {"samplers", {{{"input", input}, {"output", output}, {"interpolation", "LINEAR"}}}},
         {"channels", {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "weights"}}}}}}}}},
      {"bufferViews", buffer.Views()},
      {"accessors", buffer.Accessors()},
  };
  nlohmann::json bufferEntry{{"byteLength", buffer.Bytes().size()}};
  if (format == "gltf") bufferEntry["uri"] = "data:application/octet-stream;base64," + Base64(buffer.Bytes());
  gltf["buffers"] = nlohmann::json::array({bufferEntry});
  std::string json = gltf.dump();
  std::string bytes;
  if (format == "gltf") {
    bytes = json + "\n";
  } else {
    json.append((4 - json.size() % 4) % 4, ' ');
    const std::string& bin = buffer.Bytes();
    bytes = "glTF";
    PutU32(&bytes, 2);
    PutU32(&bytes, static_cast<uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
    PutU32(&bytes, static_cast<uint32_t>(json.size()));
    bytes += "JSON";
    bytes += json;
    PutU32(&bytes, static_cast<uint32_t>(bin.size()));
    bytes += std::string("BIN\0", 4);
    bytes += bin;
  }
  return SaveFile(path, bytes, error);
}

}  // namespace mesh
}  // namespace host
