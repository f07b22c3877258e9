// The buffer and the file of the glTF files the host writes itself.
#include "gltf_file.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace host {
namespace mesh {

int GltfBuffer::Floats(const std::vector<float>& values, int components, const char* type, bool bounds,
                       int target) {
  for (float v : values) allFinite_ = allFinite_ && std::isfinite(v);
  const int view = View(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(float), target);
  nlohmann::json accessor{{"bufferView", view},
                          {"componentType", 5126},
                          {"count", values.size() / static_cast<std::size_t>(components)},
                          {"type", type}};
  if (bounds && !values.empty()) {
    const std::size_t k = static_cast<std::size_t>(components);
    std::vector<float> lo(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k)), hi = lo;
    for (std::size_t i = 0; i < values.size(); ++i) {
      lo[i % k] = std::min(lo[i % k], values[i]);
      hi[i % k] = std::max(hi[i % k], values[i]);
    }
    accessor["min"] = lo;
    accessor["max"] = hi;
  }
  accessors_.push_back(std::move(accessor));
  return static_cast<int>(accessors_.size() - 1);
}

int GltfBuffer::Indices(const std::vector<uint32_t>& values) {
  const int view = View(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(uint32_t), 34963);
  accessors_.push_back(
      nlohmann::json{{"bufferView", view}, {"componentType", 5125}, {"count", values.size()}, {"type", "SCALAR"}});
  return static_cast<int>(accessors_.size() - 1);
}

int GltfBuffer::View(const char* data, std::size_t size, int target) {
  nlohmann::json view{{"buffer", 0}, {"byteOffset", bytes_.size()}, {"byteLength", size}};
  if (target != 0) view["target"] = target;
  bytes_.append(data, size);
  bytes_.append((4 - bytes_.size() % 4) % 4, '\0');
  views_.push_back(std::move(view));
  return static_cast<int>(views_.size() - 1);
}

std::vector<float> FloatsOf(const std::vector<Vec3>& v, double scale, const std::vector<Vec3>* less,
                            double lessScale) {
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

std::string Base64(const std::string& bytes) {
  static const char* const kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
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

std::string UriOfFileName(const std::string& name) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

GltfMeshAccessors WriteShadedMesh(const ShadedMesh& shaded, double scale, GltfBuffer* buffer) {
  GltfMeshAccessors a;
  a.position = buffer->Floats(FloatsOf(shaded.vertices, scale), 3, "VEC3", true, 34962);
  a.normal = buffer->Floats(FloatsOf(shaded.normals, 1.0), 3, "VEC3", false, 34962);
  std::vector<uint32_t> indices;
  indices.reserve(shaded.triangles.size() * 3);
  for (const auto& t : shaded.triangles) indices.insert(indices.end(), t.begin(), t.end());
  a.indices = buffer->Indices(indices);
  return a;
}

nlohmann::json TrianglesPrimitive(const GltfMeshAccessors& a) {
  return {{"attributes", {{"POSITION", a.position}, {"NORMAL", a.normal}}}, {"indices", a.indices}, {"mode", 4}};
}

namespace {

void PutU32(std::string* out, uint32_t v) {
  for (int k = 0; k < 4; ++k) out->push_back(static_cast<char>((v >> (8 * k)) & 0xff));
}

}  // namespace

bool GltfFileBytes(nlohmann::json gltf, const GltfBuffer& buffer, const std::string& format,
                   const std::string& binName, std::string* bytes, std::string* error) {
  if (!buffer.AllFinite()) {
    *error = "a number of the file is beyond what a 32-bit float holds (the unit too large, or the frame rate "
             "too small)";
    return false;
  }
  const std::string& bin = buffer.Bytes();
  gltf["bufferViews"] = buffer.Views();
  gltf["accessors"] = buffer.Accessors();
  nlohmann::json bufferEntry{{"byteLength", bin.size()}};
  if (format == "gltf") {
    bufferEntry["uri"] = binName.empty() ? "data:application/octet-stream;base64," + Base64(bin) : binName;
  }
  gltf["buffers"] = nlohmann::json::array({bufferEntry});
  std::string json = gltf.dump();
  if (format == "gltf") {
    *bytes = json + "\n";
    return true;
  }
  json.append((4 - json.size() % 4) % 4, ' ');
  const uint64_t total = 12 + 8 + uint64_t{json.size()} + 8 + uint64_t{bin.size()};
  if (total > 0xffffffffu) {
    *error = "the glb file would be " + std::to_string(total >> 20) +
             " MiB, more than the 4 GiB a glb file can hold: write a gltf file (its buffer beside it) or fewer rows";
    return false;
  }
  bytes->clear();
  bytes->reserve(static_cast<std::size_t>(total));
  *bytes = "glTF";
  PutU32(bytes, 2);
  PutU32(bytes, static_cast<uint32_t>(total));
  PutU32(bytes, static_cast<uint32_t>(json.size()));
  *bytes += "JSON";
  *bytes += json;
  PutU32(bytes, static_cast<uint32_t>(bin.size()));
  bytes->append("BIN\0", 4);
  *bytes += bin;
  return true;
}

}  // namespace mesh
}  // namespace host
