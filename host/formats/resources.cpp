// The stand-in host's resource folders: loading and checking the string
// table and the descriptions, reading icons, and the resource suite's C
// functions. The file formats are described in resources.h.
#include "resources.h"

#if HOST_HAVE_LIBTIFF
#include <tiffio.h>
#endif

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <mutex>
#include <set>
#include <system_error>

#include <nlohmann/json.hpp>

#include "baseline_tiff.h"
#include "core.h"
#include "safe_writer.h"
#include "state.h"

namespace host {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// The largest icon the host accepts, in pixels per side.
constexpr uint32_t kMaxIconSide = 4096;

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

// Parses JSON text, refusing objects that name a member twice (the parser
// alone would silently keep the last one).
bool ParseJson(const std::string& text, const std::string& file, json* out, std::string* error) {
  std::vector<std::set<std::string>> keys;  // member names per open object
  std::string duplicate;
  json::parser_callback_t watch = [&](int, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
        keys.emplace_back();
        break;
      case json::parse_event_t::object_end:
        if (!keys.empty()) keys.pop_back();
        break;
      case json::parse_event_t::key:
        if (!keys.empty() && parsed.is_string() && !keys.back().insert(parsed.get<std::string>()).second &&
            duplicate.empty()) {
          duplicate = parsed.get<std::string>();
        }
        break;
      default:
        break;
    }
    return true;
  };
  try {
    *out = json::parse(text, watch);
  } catch (const json::exception& e) {
    std::string what = e.what();
    // Drop the library's "[json.exception.parse_error.101] " prefix.
    std::size_t close = what.find("] ");
    if (what.rfind("[json.exception", 0) == 0 && close != std::string::npos) what.erase(0, close + 2);
    return Fail(error, file + ": not valid JSON: " + what);
  }
  if (!duplicate.empty()) return Fail(error, file + ": member \"" + duplicate + "\" appears twice in one object");
  return true;
}

// An integral JSON number that fits into int32_t.
bool AsInt32(const json& value, int32_t* out) {
  if (value.is_number_unsigned()) {
    uint64_t u = value.get<uint64_t>();
    if (u > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return false;
    *out = static_cast<int32_t>(u);
    return true;
  }
  if (value.is_number_integer()) {
    int64_t v = value.get<int64_t>();
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
    *out = static_cast<int32_t>(v);
    return true;
  }
  return false;
}

bool IsIdentifier(const std::string& s) {
  if (s.empty() || !(s[0] >= 'A' && s[0] <= 'Z')) return false;
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; });
}

bool NonEmptyString(const json& entry, const char* key, std::string* out) {
  auto it = entry.find(key);
  if (it == entry.end() || !it->is_string()) return false;
  *out = it->get<std::string>();
  return !out->empty();
}

const std::set<std::string> kTypes = {"float", "bool", "int32", "string", "link", "button", "vector"};
const std::set<std::string> kUnits = {"length", "percent", "degree"};
const std::set<std::string> kEntryKeys = {"id",  "name", "type", "label",   "group", "unit",
                                          "min", "max",  "step", "choices", "accept"};

// Checks one parameter entry and fills `param`; `where` names the entry.
bool ParseParam(const json& entry, const std::string& where, ParamDesc* param, std::string* error) {
  if (!entry.is_object()) return Fail(error, where + ": an entry must be an object");
  for (auto it = entry.begin(); it != entry.end(); ++it) {
    if (!kEntryKeys.count(it.key())) return Fail(error, where + ": unknown member \"" + it.key() + "\"");
  }
  auto id = entry.find("id");
  if (id == entry.end()) return Fail(error, where + ": \"id\" is missing");
  if (!AsInt32(*id, &param->id)) return Fail(error, where + ": \"id\" must be a 32-bit integer");
  if (!NonEmptyString(entry, "name", &param->name) || !IsIdentifier(param->name)) {
    return Fail(error, where + ": \"name\" must be an upper-case identifier such as ARROW_SHAFT");
  }
  if (!NonEmptyString(entry, "type", &param->type) || !kTypes.count(param->type)) {
    return Fail(error, where + " (" + param->name +
                           "): \"type\" must be one of float, bool, int32, string, link, button, vector");
  }
  const std::string at = where + " (" + param->name + ")";
  if (!NonEmptyString(entry, "label", &param->label)) return Fail(error, at + ": \"label\" must be a non-empty text");
  if (!NonEmptyString(entry, "group", &param->group)) return Fail(error, at + ": \"group\" must be a non-empty text");

  const bool numeric = param->type == "float" || param->type == "int32";
  if (entry.contains("unit")) {
    if (!numeric) return Fail(error, at + ": only float and int32 entries have a \"unit\"");
    if (!entry["unit"].is_string() || !kUnits.count(entry["unit"].get<std::string>())) {
      return Fail(error, at + ": \"unit\" must be one of length, percent, degree");
    }
    param->unit = entry["unit"].get<std::string>();
  }
  for (const char* key : {"min", "max", "step"}) {
    if (!entry.contains(key)) continue;
    if (!numeric) return Fail(error, at + ": only float and int32 entries have \"" + key + "\"");
    const json& v = entry[key];
    int32_t whole = 0;
    if (param->type == "int32" ? !AsInt32(v, &whole) : !v.is_number()) {
      return Fail(error, at + ": \"" + key + "\" must be " +
                             (param->type == "int32" ? "a 32-bit integer" : "a number"));
    }
    const std::string name = key;
    std::optional<double>& slot = name == "min" ? param->min : name == "max" ? param->max : param->step;
    slot = v.get<double>();
  }
  if (param->step && !(*param->step > 0)) return Fail(error, at + ": \"step\" must be greater than 0");
  if (param->min && param->max && *param->min > *param->max) {
    return Fail(error, at + ": \"min\" is greater than \"max\"");
  }
  if (entry.contains("choices")) {
    if (param->type != "int32") return Fail(error, at + ": only int32 entries have \"choices\"");
    const json& choices = entry["choices"];
    if (!choices.is_array() || choices.empty()) return Fail(error, at + ": \"choices\" must be a non-empty array");
    std::set<int32_t> seen;
    for (std::size_t i = 0; i < choices.size(); ++i) {
      const json& c = choices[i];
      const std::string ci = at + ": choices[" + std::to_string(i) + "]";
      if (!c.is_object() || c.size() != 2 || !c.contains("value") || !c.contains("label")) {
        return Fail(error, ci + ": must be an object with exactly \"value\" and \"label\"");
      }
      int32_t value = 0;
      std::string label;
      if (!AsInt32(c["value"], &value)) return Fail(error, ci + ": \"value\" must be a 32-bit integer");
      if (!NonEmptyString(c, "label", &label)) return Fail(error, ci + ": \"label\" must be a non-empty text");
      if (!seen.insert(value).second) return Fail(error, ci + ": value " + std::to_string(value) + " appears twice");
      param->choices.emplace_back(value, label);
    }
  }
  if (entry.contains("accept")) {
    if (param->type != "link") return Fail(error, at + ": only link entries have \"accept\"");
    if (!AsInt32(entry["accept"], &param->accept) || param->accept <= 0) {
      return Fail(error, at + ": \"accept\" must be a positive object type ID");
    }
  }
  return true;
}

// The live handles of one host.
struct Registry : LayerState {
  static constexpr LayerSlot kSlot = kResourcesSlot;
  ~Registry() override {
    // What the module never freed was reported as a leak at shutdown.
    for (const ResourceFolder* f : folders.All()) delete f;
    for (const Bitmap* b : bitmaps.All()) delete b;
  }
  std::mutex mutex;
  HandleSet<ResourceFolder> folders;
  HandleSet<Bitmap> bitmaps;
  std::string lastError;
};

Registry& Reg() { return State().Layer<Registry>(); }

void SetLastError(const std::string& message) {
  std::lock_guard<std::mutex> lock(Reg().mutex);
  Reg().lastError = message;
}

const ResourceFolder* AsFolder(const void* p) { return static_cast<const ResourceFolder*>(p); }
const Bitmap* AsBitmap(const void* p) { return static_cast<const Bitmap*>(p); }

#if HOST_HAVE_LIBTIFF
// libtiff's messages for one file go here instead of to the console.
#if defined(TIFFLIB_AT_LEAST)
#if TIFFLIB_AT_LEAST(4, 5, 0)
#define HOST_TIFF_HAS_OPEN_OPTIONS 1
#endif
#endif

#ifdef HOST_TIFF_HAS_OPEN_OPTIONS
int CollectTiffMessage(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto* sink = static_cast<std::string*>(user);
  if (sink->empty()) {
    char buffer[512];
    std::vsnprintf(buffer, sizeof buffer, fmt, ap);
    *sink = module && *module ? std::string(module) + ": " + buffer : std::string(buffer);
  }
  return 1;  // handled: libtiff prints nothing
}

int IgnoreTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }
#endif

TIFF* OpenTiff(const std::string& path, std::string* message) {
#ifdef HOST_TIFF_HAS_OPEN_OPTIONS
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options, CollectTiffMessage, message);
  TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreTiffWarning, nullptr);
  TIFF* tif = TIFFOpenExt(path.c_str(), "r", options);
  TIFFOpenOptionsFree(options);
  return tif;
#else
  (void)message;
  return TIFFOpen(path.c_str(), "r");
#endif
}

// Decodes a TIFF file with libtiff's RGBA interface.
TiffStatus DecodeWithLibtiff(const std::string& path, uint32_t maxSide, TiffRgba* out,
                             std::string* message) {
  TIFF* tif = OpenTiff(path, message);
  if (!tif) return TiffStatus::kNotReadable;
  uint32_t width = 0, height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  if (width == 0 || height == 0 || width > maxSide || height > maxSide) {
    TIFFClose(tif);
    *message = "image size " + std::to_string(width) + " x " + std::to_string(height);
    return TiffStatus::kBadSize;
  }
  std::vector<uint32_t> raster(static_cast<std::size_t>(width) * height);
  const int ok = TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 0);
  TIFFClose(tif);
  if (!ok) return TiffStatus::kBadData;
  out->width = width;
  out->height = height;
  out->rgba.resize(raster.size() * 4);
  for (std::size_t i = 0; i < raster.size(); ++i) {
    const uint32_t px = raster[i];
    out->rgba[i * 4] = static_cast<uint8_t>(TIFFGetR(px));
    out->rgba[i * 4 + 1] = static_cast<uint8_t>(TIFFGetG(px));
    out->rgba[i * 4 + 2] = static_cast<uint8_t>(TIFFGetB(px));
    out->rgba[i * 4 + 3] = static_cast<uint8_t>(TIFFGetA(px));
  }
  return TiffStatus::kOk;
}
#endif

TiffStatus DecodeWithBaselineReader(const std::string& path, uint32_t maxSide, TiffRgba* out,
                                    std::string* message) {
  std::string bytes;
  std::string problem;
  if (!ReadWholeFile(path, &bytes, &problem)) {
    *message = "cannot read the file";
    return TiffStatus::kNotReadable;
  }
  return DecodeBaselineTiff(bytes, maxSide, out, message);
}

using TiffDecoder = TiffStatus (*)(const std::string&, uint32_t, TiffRgba*, std::string*);

// Reads an icon with `decode` and takes the colours back from their
// multiplication by alpha.
std::unique_ptr<Bitmap> ReadTiffWith(TiffDecoder decode, const std::string& path, std::string* error) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::u8path(path), ec)) {
    Fail(error, path + ": no such file");
    return nullptr;
  }
  std::string message;
  TiffRgba image;
  switch (decode(path, kMaxIconSide, &image, &message)) {
    case TiffStatus::kOk:
      break;
    case TiffStatus::kNotReadable:
      Fail(error, path + ": not a readable TIFF image" + (message.empty() ? "" : " (" + message + ")"));
      return nullptr;
    case TiffStatus::kBadSize:
      Fail(error, path + ": " + message + " is not that of an icon (1 to " + std::to_string(kMaxIconSide) +
                      " pixels per side)");
      return nullptr;
    case TiffStatus::kBadData:
      Fail(error, path + ": the image data cannot be decoded" + (message.empty() ? "" : " (" + message + ")"));
      return nullptr;
  }
  auto bitmap = std::make_unique<Bitmap>();
  bitmap->width = static_cast<int>(image.width);
  bitmap->height = static_cast<int>(image.height);
  bitmap->rgba = std::move(image.rgba);
  for (std::size_t i = 0; i < bitmap->rgba.size(); i += 4) {
    const uint32_t a = bitmap->rgba[i + 3];
    if (a == 0 || a == 255) continue;
    for (int k = 0; k < 3; ++k) {
      // The decoders answer colours multiplied by alpha; undo that.
      const uint32_t v = bitmap->rgba[i + k];
      bitmap->rgba[i + k] = static_cast<uint8_t>(std::min<uint32_t>(255, (v * 255 + a / 2) / a));
    }
  }
  return bitmap;
}

}  // namespace

// ---------------------------------------------------------------------------
// Parsing

bool ParseStrings(const std::string& text, const std::string& file, std::map<int32_t, std::string>* out,
                  std::string* error) {
  json doc;
  if (!ParseJson(text, file, &doc, error)) return false;
  if (!doc.is_object()) return Fail(error, file + ": the string table must be a JSON object");
  for (auto it = doc.begin(); it != doc.end(); ++it) {
    if (it.key() != "strings") return Fail(error, file + ": unknown member \"" + it.key() + "\"");
  }
  auto strings = doc.find("strings");
  if (strings == doc.end() || !strings->is_object()) {
    return Fail(error, file + ": \"strings\" must be an object mapping string IDs to texts");
  }
  std::map<int32_t, std::string> table;
  for (auto it = strings->begin(); it != strings->end(); ++it) {
    const std::string& key = it.key();
    int64_t id = 0;
    const char* end = key.data() + key.size();
    auto parsed = std::from_chars(key.data(), end, id);
    if (key.empty() || parsed.ec != std::errc() || parsed.ptr != end ||
        id < std::numeric_limits<int32_t>::min() || id > std::numeric_limits<int32_t>::max()) {
      return Fail(error, file + ": string ID \"" + key + "\" is not a 32-bit integer");
    }
    if (!it->is_string()) return Fail(error, file + ": string " + key + " must be a text");
    if (!table.emplace(static_cast<int32_t>(id), it->get<std::string>()).second) {
      return Fail(error, file + ": string " + std::to_string(id) + " appears twice");
    }
  }
  *out = std::move(table);
  return true;
}

bool ParseDescription(const std::string& text, const std::string& file, Description* out, std::string* error) {
  json doc;
  if (!ParseJson(text, file, &doc, error)) return false;
  if (!doc.is_object()) return Fail(error, file + ": a description must be a JSON object");
  for (auto it = doc.begin(); it != doc.end(); ++it) {
    if (it.key() != "params" && it.key() != "version") {
      return Fail(error, file + ": unknown member \"" + it.key() + "\"");
    }
  }
  Description desc;
  desc.name = out->name;
  if (doc.contains("version")) {
    if (!doc["version"].is_string()) return Fail(error, file + ": \"version\" must be a text");
    desc.version = doc["version"].get<std::string>();
  }
  auto params = doc.find("params");
  if (params == doc.end() || !params->is_array()) return Fail(error, file + ": \"params\" must be an array");

  std::map<int32_t, std::string> ids;  // id -> name of the entry that has it
  std::set<std::string> names;
  for (std::size_t i = 0; i < params->size(); ++i) {
    const std::string where = file + ": params[" + std::to_string(i) + "]";
    ParamDesc param;
    if (!ParseParam((*params)[i], where, &param, error)) return false;
    auto known = ids.find(param.id);
    if (known != ids.end()) {
      return Fail(error, where + " (" + param.name + "): duplicate id " + std::to_string(param.id) +
                             " (also used by " + known->second + ")");
    }
    if (!names.insert(param.name).second) return Fail(error, where + ": duplicate name " + param.name);
    ids.emplace(param.id, param.name);
    desc.params.push_back(std::move(param));
  }
  *out = std::move(desc);
  return true;
}

// ---------------------------------------------------------------------------
// Description

const ParamDesc* Description::FindByName(const std::string& wanted) const {
  for (const ParamDesc& p : params) {
    if (p.name == wanted) return &p;
  }
  return nullptr;
}

const ParamDesc* Description::FindById(int32_t id) const {
  for (const ParamDesc& p : params) {
    if (p.id == id) return &p;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Icons

std::unique_ptr<Bitmap> ReadTiff(const std::string& path, std::string* error) {
#if HOST_HAVE_LIBTIFF
  return ReadTiffWith(DecodeWithLibtiff, path, error);
#else
  return ReadTiffWith(DecodeWithBaselineReader, path, error);
#endif
}

std::unique_ptr<Bitmap> ReadBaselineTiff(const std::string& path, std::string* error) {
  return ReadTiffWith(DecodeWithBaselineReader, path, error);
}

// ---------------------------------------------------------------------------
// ResourceFolder

std::unique_ptr<ResourceFolder> ResourceFolder::Load(const std::string& pluginDir, std::string* error) {
  if (pluginDir.empty()) {
    Fail(error, "no plug-in folder given");
    return nullptr;
  }
  std::error_code ec;
  const fs::path dir = fs::path(pluginDir) / "resources";
  if (!fs::is_directory(dir, ec)) {
    Fail(error, "resource folder not found: " + dir.string());
    return nullptr;
  }

  std::unique_ptr<ResourceFolder> folder(new ResourceFolder());
  folder->dir_ = dir.string();

  const fs::path stringsFile = dir / "strings.json";
  if (!fs::is_regular_file(stringsFile, ec)) {
    Fail(error, stringsFile.string() + ": string table missing");
    return nullptr;
  }
  std::string text;
  if (!ReadWholeFile(stringsFile.u8string(), &text, error)) return nullptr;
  if (!ParseStrings(text, stringsFile.string(), &folder->strings_, error)) return nullptr;

  const fs::path descDir = dir / "description";
  if (fs::exists(descDir, ec)) {
    if (!fs::is_directory(descDir, ec)) {
      Fail(error, descDir.string() + ": not a folder");
      return nullptr;
    }
    std::vector<fs::path> files;
    for (fs::directory_iterator it(descDir, ec), end; !ec && it != end; it.increment(ec)) {
      if (it->path().extension() == ".json" && it->is_regular_file(ec)) files.push_back(it->path());
    }
    if (ec) {
      Fail(error, descDir.string() + ": cannot be listed (" + ec.message() + ")");
      return nullptr;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      if (!ReadWholeFile(file.u8string(), &text, error)) return nullptr;
      Description desc;
      desc.name = file.stem().string();
      if (!ParseDescription(text, file.string(), &desc, error)) return nullptr;
      folder->descriptions_.push_back(std::move(desc));
    }
  }
  return folder;
}

std::string ResourceFolder::String(int32_t id) const {
  auto it = strings_.find(id);
  return it == strings_.end() ? std::string() : it->second;
}

const Description* ResourceFolder::FindDescription(const std::string& name) const {
  for (const Description& d : descriptions_) {
    if (d.name == name) return &d;
  }
  return nullptr;
}

std::unique_ptr<Bitmap> ResourceFolder::LoadBitmap(const std::string& name, double pixelRatio,
                                                   std::string* error) const {
  const fs::path relative(name);
  bool plain = !name.empty() && !relative.has_root_name() && !relative.has_root_directory();
  for (const fs::path& part : relative) {
    if (part == "..") plain = false;
  }
  if (!plain) {
    Fail(error, "icon name \"" + name + "\" must name a file inside the resource folder");
    return nullptr;
  }
  std::unique_ptr<Bitmap> bitmap = ReadTiff((fs::path(dir_) / relative).string(), error);
  if (bitmap) bitmap->pixelRatio = pixelRatio;
  return bitmap;
}

// ---------------------------------------------------------------------------
// The suite's C functions. Nothing may throw out of them.

ha_resource ResLoad(const char* plugin_dir) {
  try {
    if (!plugin_dir) {
      SetLastError("no plug-in folder given");
      return nullptr;
    }
    if (Failures().NextAllocationFails()) {
      SetLastError("out of memory while loading the resources of " + std::string(plugin_dir));
      return nullptr;
    }
    std::string error;
    std::unique_ptr<ResourceFolder> folder = ResourceFolder::Load(plugin_dir, &error);
    if (!folder) {
      SetLastError(error);
      return nullptr;
    }
    std::lock_guard<std::mutex> lock(Reg().mutex);
    Reg().folders.Add(folder.get());
    return reinterpret_cast<ha_resource>(folder.release());
  } catch (...) {
    SetLastError("out of memory while loading resources");
    return nullptr;
  }
}

void ResFree(ha_resource res) {
  if (!res) return;
  const ResourceFolder* folder = nullptr;
  {
    std::lock_guard<std::mutex> lock(Reg().mutex);
    if (Reg().folders.Has(res)) {
      folder = AsFolder(res);
      Reg().folders.Remove(folder);
    }
  }
  if (!folder) {
    ReportMisuse("resource free: unknown resource handle");
    return;
  }
  delete folder;
}

ha_text ResLoadString(ha_resource res, int32_t id) {
  const ResourceFolder* folder = ResourceOf(res);
  if (!folder) {
    // A module whose resources failed to load asks with a null handle; only
    // a handle that was never ours (or was freed) is a mistake.
    if (res) ReportMisuse("load_string: unknown resource handle");
    return nullptr;
  }
  try {
    return MakeText(folder->String(id));
  } catch (...) {
    return nullptr;
  }
}

ha_bitmap ResLoadBitmap(ha_resource res, const char* name, double pixel_ratio) {
  try {
    const ResourceFolder* folder = ResourceOf(res);
    if (!folder) {
      if (res) ReportMisuse("load_bitmap: unknown resource handle");
      return nullptr;
    }
    if (!name) {
      ReportMisuse("load_bitmap: null file name");
      return nullptr;
    }
    if (!std::isfinite(pixel_ratio) || pixel_ratio < 0) {
      ReportMisuse("load_bitmap: pixel ratio must be 0 (not given) or positive");
      return nullptr;
    }
    if (Failures().NextAllocationFails()) {
      SetLastError(std::string("out of memory while loading icon ") + name);
      return nullptr;
    }
    std::string error;
    std::unique_ptr<Bitmap> bitmap = folder->LoadBitmap(name, pixel_ratio, &error);
    if (!bitmap) {
      SetLastError(error);
      return nullptr;
    }
    std::lock_guard<std::mutex> lock(Reg().mutex);
    Reg().bitmaps.Add(bitmap.get());
    return reinterpret_cast<ha_bitmap>(bitmap.release());
  } catch (...) {
    SetLastError("out of memory while loading an icon");
    return nullptr;
  }
}

void ResFreeBitmap(ha_bitmap bmp) {
  if (!bmp) return;
  const Bitmap* bitmap = nullptr;
  {
    std::lock_guard<std::mutex> lock(Reg().mutex);
    if (Reg().bitmaps.Has(bmp)) {
      bitmap = AsBitmap(bmp);
      Reg().bitmaps.Remove(bitmap);
    }
  }
  if (!bitmap) {
    ReportMisuse("free_bitmap: unknown bitmap handle");
    return;
  }
  delete bitmap;
}

std::size_t LiveResourceCount() {
  std::lock_guard<std::mutex> lock(Reg().mutex);
  return Reg().folders.Size();
}

std::size_t LiveBitmapCount() {
  std::lock_guard<std::mutex> lock(Reg().mutex);
  return Reg().bitmaps.Size();
}

const ResourceFolder* ResourceOf(ha_resource res) {
  std::lock_guard<std::mutex> lock(Reg().mutex);
  return Reg().folders.Has(res) ? AsFolder(res) : nullptr;
}

const Bitmap* BitmapOf(ha_bitmap bmp) {
  std::lock_guard<std::mutex> lock(Reg().mutex);
  return Reg().bitmaps.Has(bmp) ? AsBitmap(bmp) : nullptr;
}

const std::string& LastResourceError() {
  // Read by the thread that made the failed call, after it returned.
  return Reg().lastError;
}

}  // namespace host
