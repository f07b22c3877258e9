// Fuzzes the host's resource loaders (host/resources.*): the string table
// and the description files.
//
// Input: byte 0 chooses the reader (even: string table, odd: description),
// the rest is the file's text.
//
// Properties checked for every input:
// - a refused text leaves the result as it was and gives a message that
//   starts with the file's name;
// - a string table read holds 32-bit IDs with texts; a description read
//   keeps its name and holds entries with unique IDs and unique upper-case
//   names, a known type, non-empty label and group, units, limits and
//   choices only where the type has them, min <= max, step > 0, unique
//   choice values, a positive accepted type;
// - round trip: what was read, written back as JSON, reads as the same.
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz_support.h"
#include "resources.h"

namespace {

const char* const kTarget = "resources";
using nlohmann::json;

json StringsJson(const std::map<int32_t, std::string>& table) {
  json strings = json::object();
  for (const auto& [id, text] : table) strings[std::to_string(id)] = text;
  return json{{"strings", strings}};
}

// A limit as its entry's type writes it: int32 entries take integers.
json Limit(const host::ParamDesc& p, double v) {
  if (p.type == "int32") return static_cast<int64_t>(v);
  return v;
}

json DescriptionJson(const host::Description& d) {
  json params = json::array();
  for (const host::ParamDesc& p : d.params) {
    json e{{"id", p.id}, {"name", p.name}, {"type", p.type}, {"label", p.label}, {"group", p.group}};
    if (!p.unit.empty()) e["unit"] = p.unit;
    if (p.min) e["min"] = Limit(p, *p.min);
    if (p.max) e["max"] = Limit(p, *p.max);
    if (p.step) e["step"] = Limit(p, *p.step);
    if (!p.choices.empty()) {
      json choices = json::array();
      for (const auto& [value, label] : p.choices) choices.push_back(json{{"value", value}, {"label", label}});
      e["choices"] = choices;
    }
    if (p.accept != 0) e["accept"] = p.accept;
    params.push_back(e);
  }
  json doc{{"params", params}};
  if (!d.version.empty()) doc["version"] = d.version;
  return doc;
}

bool SameParam(const host::ParamDesc& a, const host::ParamDesc& b) {
  return a.id == b.id && a.name == b.name && a.type == b.type && a.label == b.label && a.group == b.group &&
         a.unit == b.unit && a.min == b.min && a.max == b.max && a.step == b.step && a.choices == b.choices &&
         a.accept == b.accept;
}

bool SameDescription(const host::Description& a, const host::Description& b) {
  if (a.name != b.name || a.version != b.version || a.params.size() != b.params.size()) return false;
  for (std::size_t i = 0; i < a.params.size(); ++i)
    if (!SameParam(a.params[i], b.params[i])) return false;
  return true;
}

bool IsIdentifier(const std::string& s) {
  if (s.empty() || s[0] < 'A' || s[0] > 'Z') return false;
  for (char c : s)
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

void CheckDescription(const host::Description& d) {
  static const std::set<std::string> kTypes = {"float", "bool", "int32", "string", "link", "button", "vector"};
  static const std::set<std::string> kUnits = {"", "length", "percent", "degree"};
  std::set<int32_t> ids;
  std::set<std::string> names;
  for (const host::ParamDesc& p : d.params) {
    const std::string at = "entry " + p.name + ": ";
    FUZZ_CHECK(kTarget, ids.insert(p.id).second, at + "an ID that another entry has was accepted");
    FUZZ_CHECK(kTarget, names.insert(p.name).second, at + "a name that another entry has was accepted");
    FUZZ_CHECK(kTarget, IsIdentifier(p.name), at + "a name that is not an upper-case identifier was accepted");
    FUZZ_CHECK(kTarget, kTypes.count(p.type) != 0, at + "unknown type " + p.type + " was accepted");
    FUZZ_CHECK(kTarget, !p.label.empty() && !p.group.empty(), at + "an empty label or group was accepted");
    const bool numeric = p.type == "float" || p.type == "int32";
    FUZZ_CHECK(kTarget, kUnits.count(p.unit) != 0 && (numeric || p.unit.empty()), at + "a bad unit was accepted");
    FUZZ_CHECK(kTarget, numeric || (!p.min && !p.max && !p.step), at + "limits on a type without them");
    FUZZ_CHECK(kTarget, !p.step || *p.step > 0, at + "a step not above 0 was accepted");
    FUZZ_CHECK(kTarget, !p.min || !p.max || *p.min <= *p.max, at + "min above max was accepted");
    FUZZ_CHECK(kTarget, p.choices.empty() || p.type == "int32", at + "choices on a type without them");
    std::set<int32_t> values;
    for (const auto& [value, label] : p.choices) {
      FUZZ_CHECK(kTarget, values.insert(value).second && !label.empty(), at + "a repeated or unlabelled choice");
    }
    FUZZ_CHECK(kTarget, p.accept == 0 || (p.type == "link" && p.accept > 0), at + "a bad accepted type");
  }
}

void Strings(const std::string& text) {
  const std::string file = "strings.json";
  std::map<int32_t, std::string> table = {{-7, "as before"}};
  const std::map<int32_t, std::string> before = table;
  std::string error;
  if (!host::ParseStrings(text, file, &table, &error)) {
    FUZZ_CHECK(kTarget, table == before, "a refused string table changed the result");
    FUZZ_CHECK(kTarget, error.rfind(file, 0) == 0, "the message does not name the file: " + error);
    return;
  }
  std::map<int32_t, std::string> again = {{-7, "as before"}};
  const std::string written = StringsJson(table).dump();
  FUZZ_CHECK(kTarget, host::ParseStrings(written, file, &again, &error),
             "a string table written again is refused: " + error);
  FUZZ_CHECK(kTarget, again == table, "a string table written and read again differs");
}

void Descriptions(const std::string& text) {
  const std::string file = "Ofuzz.json";
  host::Description desc;
  desc.name = "Ofuzz";
  desc.version = "as before";
  desc.params.push_back(host::ParamDesc{});
  desc.params.back().name = "AS_BEFORE";
  const host::Description before = desc;
  std::string error;
  if (!host::ParseDescription(text, file, &desc, &error)) {
    FUZZ_CHECK(kTarget, SameDescription(desc, before), "a refused description changed the result");
    FUZZ_CHECK(kTarget, error.rfind(file, 0) == 0, "the message does not name the file: " + error);
    return;
  }
  FUZZ_CHECK(kTarget, desc.name == "Ofuzz", "the description lost its name");
  CheckDescription(desc);
  std::string written;
  try {
    written = DescriptionJson(desc).dump();
  } catch (const json::exception& e) {
    fuzzkit::Violation(kTarget, "DescriptionJson(desc).dump() does not throw",
                       std::string("a description read cannot be written as JSON: ") + e.what());
  }
  host::Description again;
  again.name = "Ofuzz";
  FUZZ_CHECK(kTarget, host::ParseDescription(written, file, &again, &error),
             "a description written again is refused: " + error + "\n" + written);
  FUZZ_CHECK(kTarget, SameDescription(again, desc), "a description written and read again differs: " + written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] % 2 == 0) Strings(text);
  else Descriptions(text);
  return 0;
}
