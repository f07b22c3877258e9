// Scene files: a whole document saved to and loaded from the host's own
// binary format, and the scene-file streams through which custom data types
// store their values (the hyperfile suite).
//
// Layout (all numbers little-endian):
//   header   8 bytes  signature "TLVSCENE"
//            u32      format version (kSceneFormatVersion)
//            u32      0 (reserved)
//            u64      body length: exactly the bytes that follow the header
//            u32      CRC-32 of the body
//   body     u32      interface version of the host that wrote the file
//            i32      the document's spline plane: 0 (XY), 1 (ZY) or 2 (XZ)
//            u32      object count, then each object in tree order (depth
//                     first, so a parent comes before its children):
//              u32    parent: 0 at the top level, else 1 + its index
//              i32    type ID
//              str    name
//              u8     1 for a spline object, else 0; a spline then has
//                     i32 spline type (0 to 4), u32 point count, 3 f64
//                     per point
//              u32    user data count, each: i32 ID (from 700001, each
//                     once), str name, i32 type (a value type or a data
//                     type a loaded plug-in registers); the parameter's
//                     value, when present, is of that type
//              container: u32 entry count, each: i32 ID (each once),
//                     i32 type, payload:
//                     int32 i32 | float f64 | vector 3 f64 | string str |
//                     link u32 (0 = empty, else 1 + index of the target
//                     object in this file) | none: nothing | a custom data
//                     type: i32 disk level, u32 length, that many bytes
//                     written by the type's write function
//            u32      active object: 0 = none, else 1 + its index
//            (from format 2 on) the animation:
//            f64      frames per second (finite, positive)
//            i32 i32  the first and last frame (first <= last)
//            i32      the current frame
//            u32      keyed object count, each: u32 1 + its index (each
//                     once), u32 track count, each: i32 parameter ID (each
//                     once), u32 key count (at least 1), each: i32 frame
//                     (ascending), u8 interpolation (0 hold, 1 linear,
//                     2 ease), i32 value type and payload: int32 i32 |
//                     float f64 (keys hold numbers only)
//   str = u32 length and that many UTF-8 bytes.
//
// Every count and length is checked against the bytes that are there, and
// every value taken from a fixed set (plane, spline flag and type, parent,
// object and value types, links, the active object) against that set; a file
// that is not a scene, comes from a newer format, is truncated, has trailing
// bytes or a wrong checksum, holds a value outside its set, or names an
// object or data type that no loaded plug-in registers is refused whole,
// with a message that names the object and parameter. The open document is
// then left as it was.
//
// Inside a custom value's bytes each item is a kind byte followed by its
// payload: 1 = signed 64-bit integer (8 bytes), 2 = vector (3 f64). The
// type's read function gets exactly these bytes. The value is refused (and
// with it the file) when the read function answers false, when one of its
// reads fails (past the end, an item of another kind, cut short, or of an
// unknown kind), or when it leaves bytes unread.
#ifndef HOST_SCENEFILE_H
#define HOST_SCENEFILE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model.h"

namespace host {

// Format 1 had no animation; it is still read (as a document without keys
// on the default time line).
constexpr uint32_t kSceneFormatVersion = 2;
constexpr std::size_t kSceneHeaderSize = 28;

// The bytes a custom value's write function stores. False when the value
// holds nothing, its type is gone or its write function failed.
bool WriteCustomValue(const CustomValue& value, std::string* bytes, std::string* error);
// A new value of `type` that the type's read function fills from `bytes`,
// told the stored disk level `level`. False (with the reason) when the type
// is unknown, the value cannot be made, the read function failed, one of its
// reads failed, or it left some of `bytes` unread.
bool ReadCustomValue(int32_t type, const std::string& bytes, int32_t level, CustomValue* out,
                     std::string* error);

// The items of a custom value's stored bytes, for showing a value.
struct HyperItem {
  bool isVector = false;
  int64_t integer = 0;
  ha_vector vector{0.0, 0.0, 0.0};
};
bool DecodeHyperItems(const std::string& bytes, std::vector<HyperItem>* items);
// A custom value stored as a count n followed by exactly n vectors (a Dots
// value is), as its points. False for any other value.
bool PointsOf(const Value& value, std::vector<ha_vector>* points);

// A document as scene-file bytes, and back into a new document. Plug-in
// objects are made through their registered allocator (so the plug-in sets
// itself up) and then given the loaded container in place of the defaults.
bool EncodeScene(const Document& doc, int32_t hostVersion, std::string* bytes, std::string* error);
std::unique_ptr<Document> DecodeScene(const std::string& bytes, std::string* error);

// Saves with the host's safe writer (safe_writer.h): complete or not at all,
// through links to the file they lead to, straight into a device or FIFO.
// Making the temporary, each write, the close and the rename count as file
// operations for failure injection.
// `hostVersion` is the interface version of the host that writes it.
bool SaveScene(int32_t hostVersion, const Document& doc, const std::string& path, std::string* error);
// Loads a scene file into a new document (not yet one of the host's).
std::unique_ptr<Document> LoadScene(const std::string& path, std::string* error);

}  // namespace host

#endif
