// The stand-in host's resource folders: what a plug-in keeps in the folder
// "resources" inside its plug-in folder, and the C functions through which
// the module reaches it.
//
// Layout of <plugin dir>/resources:
//   strings.json            the string table (required)
//   description/<name>.json one description per file; <name> is the
//                           description's name, e.g. "Otolvane"
//   <icon>.tif              icons, read when the module asks for one
//
// strings.json is an object with one member "strings", itself an object that
// maps decimal string IDs to texts:
//   { "strings": { "10000": "Tolvane Arrow", ... } }
//
// A description file is an object with "params" (required), an array of
// parameter entries in on-screen order, and "version" (optional, a text for
// people). Each entry has "id" (a 32-bit integer), "name" (upper-case
// identifier), "type" (one of "float", "bool", "int32", "string", "link",
// "button"), "label" and "group" (non-empty texts), and optionally: for float
// and int32 entries "unit" ("length", "percent" or "degree"), "min", "max" and
// "step" (numbers in the stored unit: a percent value is stored as a
// fraction, an angle in radians); for int32 entries "choices", an array of
// { "value": integer, "label": text }; for links "accept", the object type
// the link takes. IDs and names are unique within a file; any other member is
// an error, so a misspelt key does not pass unnoticed.
#ifndef HOST_RESOURCES_H
#define HOST_RESOURCES_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hostapi.h"

namespace host {

// One parameter or button of a description.
struct ParamDesc {
  int32_t id = 0;
  std::string name;   // e.g. "ARROW_SHAFT_LENGTH"
  std::string type;   // "float", "bool", "int32", "string", "link", "button" or "vector"
  std::string label;  // the text the attribute editor shows
  std::string group;  // the group the entry is shown in
  std::string unit;   // "", "length", "percent" or "degree"
  std::optional<double> min, max, step;
  std::vector<std::pair<int32_t, std::string>> choices;  // value, label
  int32_t accept = 0;  // links: the object type accepted; 0 = any (and for non-links)
};

// One description resource: the parameters of an object plug-in in the order
// the attribute editor shows them.
struct Description {
  std::string name;     // the file name without ".json"
  std::string version;  // the file's "version" text, may be empty
  std::vector<ParamDesc> params;

  const ParamDesc* FindByName(const std::string& name) const;
  const ParamDesc* FindById(int32_t id) const;
};

// A loaded icon: width x height pixels, 4 bytes each (red, green, blue,
// alpha, not premultiplied), rows from the top. `pixelRatio` is the ratio the
// module passed when it loaded the icon (0 when it gave none).
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
  double pixelRatio = 0;
};

// Reads a TIFF file into a Bitmap. Null (with `error` set, when given) when
// the file is missing, is not a readable TIFF or is implausibly large.
// Builds with libtiff read with it; others with the baseline reader, which
// takes uncompressed 8-bit RGB and RGBA images only (baseline_tiff.h).
std::unique_ptr<Bitmap> ReadTiff(const std::string& path, std::string* error);
// The same with the baseline reader, whatever the build has.
std::unique_ptr<Bitmap> ReadBaselineTiff(const std::string& path, std::string* error);

// A plug-in's loaded resource folder. Strings and descriptions are read and
// checked when the folder is loaded; icons are read on demand.
class ResourceFolder {
 public:
  // Loads <pluginDir>/resources. Null when the folder, its string table or
  // one of its description files is missing or malformed; `error` (when
  // given) then says which file and what is wrong with it.
  static std::unique_ptr<ResourceFolder> Load(const std::string& pluginDir, std::string* error);

  // The text of string `id`; "" when there is none.
  std::string String(int32_t id) const;
  bool HasString(int32_t id) const { return strings_.count(id) != 0; }
  const std::map<int32_t, std::string>& Strings() const { return strings_; }

  // The description called `name` (its file name without ".json"), or null.
  const Description* FindDescription(const std::string& name) const;
  const std::vector<Description>& Descriptions() const { return descriptions_; }

  // The icon file `name` of the folder (a plain relative name such as
  // "tolvane.tif"; absolute names and ".." are refused), or null.
  std::unique_ptr<Bitmap> LoadBitmap(const std::string& name, double pixelRatio,
                                     std::string* error) const;

  // The folder itself: <pluginDir>/resources.
  const std::string& Directory() const { return dir_; }

 private:
  ResourceFolder() = default;

  std::string dir_;
  std::map<int32_t, std::string> strings_;
  std::vector<Description> descriptions_;
};

// Parses and checks the text of a string table or of a description file;
// `file` only names the source in error messages. False with `error` set
// when the text is malformed. ParseDescription keeps the name already in
// `out->name` (the loader sets it from the file name).
bool ParseStrings(const std::string& text, const std::string& file,
                  std::map<int32_t, std::string>* out, std::string* error);
bool ParseDescription(const std::string& text, const std::string& file, Description* out,
                      std::string* error);

// The resource suite's functions. Every handle passed in is checked: an
// unknown handle is reported as misuse and the call answers null or nothing.
// ResLoad and ResLoadBitmap each count as one allocation for failure
// injection (an injected failure answers null).
ha_resource ResLoad(const char* plugin_dir);
void ResFree(ha_resource res);  // null is allowed
ha_text ResLoadString(ha_resource res, int32_t id);
ha_bitmap ResLoadBitmap(ha_resource res, const char* name, double pixel_ratio);
void ResFreeBitmap(ha_bitmap bmp);  // null is allowed

// Live handles, for leak checks at shutdown.
std::size_t LiveResourceCount();
std::size_t LiveBitmapCount();

// What a live handle holds; null for null or unknown handles.
const ResourceFolder* ResourceOf(ha_resource res);
const Bitmap* BitmapOf(ha_bitmap bmp);

// Why the last failed ResLoad or ResLoadBitmap failed ("" until one has).
const std::string& LastResourceError();

}  // namespace host

#endif
