// Writing meshes as 3-D files, and reading them back, through Assimp.
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

// A scene of one node holding the mesh, with one plain material.
std::unique_ptr<aiScene> SceneOf(const Mesh& mesh, const std::string& name) {
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

  auto* m = new aiMesh();
  m->mName = aiString(name.empty() ? "mesh" : name);
  m->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
  m->mMaterialIndex = 0;
  m->mNumVertices = static_cast<unsigned int>(mesh.vertices.size());
  m->mVertices = new aiVector3D[mesh.vertices.size()];
  for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
    const Vec3 v = mesh.vertices[i];
    m->mVertices[i] = aiVector3D(static_cast<ai_real>(v.x), static_cast<ai_real>(v.y), static_cast<ai_real>(v.z));
  }
  m->mNumFaces = static_cast<unsigned int>(mesh.triangles.size());
  m->mFaces = new aiFace[mesh.triangles.size()];
  for (std::size_t i = 0; i < mesh.triangles.size(); ++i) {
    aiFace& face = m->mFaces[i];
    face.mNumIndices = 3;
    face.mIndices = new unsigned int[3]{mesh.triangles[i][0], mesh.triangles[i][1], mesh.triangles[i][2]};
  }
  scene->mNumMeshes = 1;
  scene->mMeshes = new aiMesh*[1]{m};
  return scene;
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
const FormatInfo* ExportFormat(const Mesh& mesh, const std::string& format, std::string* error) {
  const FormatInfo* info = FindFormat(format);
  if (info == nullptr) {
    *error = "unknown mesh format '" + format + "': expected glb, gltf, obj, stl or ply";
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
               std::string* error) {
  const FormatInfo* info = ExportFormat(mesh, format, error);
  if (info == nullptr) return false;
  std::unique_ptr<aiScene> scene = SceneOf(mesh, name);
  Assimp::Exporter exporter;
  if (exporter.Export(scene.get(), info->exporter, path) != aiReturn_SUCCESS) {
    *error = "cannot write '" + path + "': " + exporter.GetErrorString();
    return false;
  }
  return true;
}

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
               std::string* error) {
  const FormatInfo* info = ExportFormat(mesh, format, error);
  if (info == nullptr) return false;
  std::unique_ptr<aiScene> scene = SceneOf(mesh, name);
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
  return true;
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
