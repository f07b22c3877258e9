// Fuzzes the preset reader of one release (FUZZ_RELEASE, 16 or 12) through
// the real loaded module: each input is written as a .tlv file, the arrow's
// load button is pressed and the host's headless file dialog answers with
// that file.
//
// Properties checked for every input:
// - the load succeeds exactly when an independent reading of the documented
//   layout can read all 26 values (three header strings, the name, items 2
//   to 7, items 8 to 10 only after the version line "# Version 1.2" or
//   "# Version 1.3", then items 11 to 26; a string is a big-endian count
//   N >= 0 and N bytes whose last one is dropped), and then the arrow holds
//   exactly those values while every other parameter keeps its value (the
//   name up to its first zero byte, decoded by the version line: UTF-8 in a
//   version 1.3 file, the host's 8-bit encoding, Windows-1252, in any other);
// - a failed load changes nothing: the arrow's container, the undo stack and
//   the messages sent are as before;
// - a successful load is one undo step with one entry (kind 40, the arrow);
//   undoing it gives back the container exactly;
// - round trip: the loaded arrow saved again and that file loaded into the
//   arrow as it was before gives the same container (release 12 writes the
//   name in Windows-1252: a character it lacks, or a byte that is not UTF-8,
//   comes back as '?');
// - the module holds after each input exactly what it held before (memory,
//   texts, containers, file objects) and misused no handle.
// - the loaded arrow's parameters can be written as JSON, also with a name
//   that is not UTF-8 (possible in a version 1.3 file).
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "files.h"
#include "fuzz_support.h"

#ifndef FUZZ_RELEASE
#error "FUZZ_RELEASE must be 16 or 12"
#endif

namespace {

#define STR2(x) #x
#define STR(x) STR2(x)
const char* const kTarget = "preset_r" STR(FUZZ_RELEASE);

enum class Kind { Text, Real, Flag, Whole };
struct Item {
  Kind kind;
  const char* name;
};
// Items 1 to 26 in file order.
constexpr Item kItems[26] = {
    {Kind::Text, "ARROW_PRESET_NAME"},        {Kind::Real, "ARROW_HEAD_LENGTH"},
    {Kind::Real, "ARROW_BARB_WIDTH"},         {Kind::Real, "ARROW_BARB_SWEEP"},
    {Kind::Flag, "ARROW_CHEVRON"},            {Kind::Flag, "ARROW_CHEVRON_SQUARE_ENDS"},
    {Kind::Real, "ARROW_CHEVRON_DEPTH"},      {Kind::Flag, "ARROW_DOUBLE_HEADED"},
    {Kind::Real, "ARROW_DOUBLE_SHAFT_LENGTH"}, {Kind::Real, "ARROW_DOUBLE_SHAFT_WIDTH"},
    {Kind::Flag, "ARROW_SHAFT"},              {Kind::Real, "ARROW_SHAFT_LENGTH"},
    {Kind::Real, "ARROW_SHAFT_WIDTH"},        {Kind::Real, "ARROW_TAIL_NOTCH"},
    {Kind::Real, "ARROW_HEAD_TAPER"},         {Kind::Real, "ARROW_TAIL_TAPER"},
    {Kind::Flag, "ARROW_FLETCHING"},          {Kind::Real, "ARROW_FLETCHING_LENGTH"},
    {Kind::Real, "ARROW_FLETCHING_HEIGHT"},   {Kind::Real, "ARROW_FLETCHING_SWEEP"},
    {Kind::Whole, "ARROW_PLANE"},             {Kind::Flag, "ARROW_REVERSE"},
    {Kind::Whole, "ARROW_POINT_INTERPOLATION"}, {Kind::Whole, "ARROW_POINT_COUNT"},
    {Kind::Real, "ARROW_POINT_ANGLE"},        {Kind::Real, "ARROW_POINT_MAX_LENGTH"}};

// Windows-1252 characters of the bytes 0x80 to 0x9F (the five undefined
// ones stand for the C1 code point of the same value).
constexpr uint16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string From1252(const std::string& bytes) {
  std::string out;
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const uint32_t cp = c >= 0x80 && c < 0xA0 ? kHigh1252[c - 0x80] : c;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// What writing a UTF-8 text in Windows-1252 and reading it back gives: a
// character the encoding lacks, and each byte of a malformed, overlong or
// cut-short sequence, a surrogate or a value above U+10FFFF, becomes '?'.
std::string Through1252(const std::string& s) {
  std::string bytes;
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char lead = static_cast<unsigned char>(s[i]);
    int extra = -1;
    uint32_t cp = 0, min = 0;
    if (lead < 0x80) extra = 0, cp = lead;
    else if (lead >= 0xC2 && lead <= 0xDF) extra = 1, cp = lead & 0x1Fu, min = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF) extra = 2, cp = lead & 0x0Fu, min = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4) extra = 3, cp = lead & 0x07u, min = 0x10000;
    bool ok = extra >= 0 && s.size() - i > static_cast<std::size_t>(extra);
    for (int k = 1; ok && k <= extra; ++k) {
      const unsigned char c = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      ok = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3Fu);
    }
    ok = ok && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    int byte = -1;
    if (ok && (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))) byte = static_cast<int>(cp);
    for (int k = 0; ok && byte < 0 && k < 32; ++k)
      if (kHigh1252[k] == cp) byte = 0x80 + k;
    bytes += byte >= 0 ? static_cast<char>(byte) : '?';
    i += ok ? static_cast<std::size_t>(extra) + 1 : 1;
  }
  return From1252(bytes);
}

// The documented layout, read independently of the module.
class Model {
 public:
  Model(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  // The text's bytes up to its first zero byte.
  bool Text(std::string* out) {
    uint32_t raw = 0;
    if (!Bytes(4, &raw)) return false;
    const int32_t count = static_cast<int32_t>(raw);
    if (count < 0 || static_cast<std::size_t>(count) > size_ - pos_) return false;
    std::string text(reinterpret_cast<const char*>(data_ + pos_),
                     count > 0 ? static_cast<std::size_t>(count) - 1 : 0);
    pos_ += static_cast<std::size_t>(count);
    // Texts cross the interface as C strings: they end at the first zero.
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    *out = text;
    return true;
  }
  bool Value(Kind kind, host::Value* out) {
    uint32_t raw = 0;
    switch (kind) {
      case Kind::Text: {
        std::string s;
        if (!Text(&s)) return false;
        *out = host::Value::Str(s);
        return true;
      }
      case Kind::Real: {
        if (!Bytes(4, &raw)) return false;
        float f = 0.0f;
        std::memcpy(&f, &raw, 4);
        *out = host::Value::Real(static_cast<double>(f));
        return true;
      }
      case Kind::Flag:
        if (!Bytes(1, &raw)) return false;
        *out = host::Value::Int(raw != 0 ? 1 : 0);
        return true;
      case Kind::Whole:
        if (!Bytes(4, &raw)) return false;
        *out = host::Value::Int(static_cast<int32_t>(raw));
        return true;
    }
    return false;
  }

 private:
  bool Bytes(std::size_t n, uint32_t* out) {
    if (size_ - pos_ < n) return false;
    uint32_t v = 0;
    for (std::size_t k = 0; k < n; ++k) v = (v << 8) | data_[pos_ + k];
    pos_ += n;
    *out = v;
    return true;
  }

  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

struct Expectation {
  bool loads = false;
  host::Value values[26];
  std::string version;     // the version line as read (when the header could be read)
};

Expectation Expect(const uint8_t* data, std::size_t size) {
  Expectation e;
  Model m(data, size);
  std::string header, start;
  if (!m.Text(&header) || !m.Text(&e.version) || !m.Text(&start)) return e;
  const bool full = e.version == "# Version 1.2" || e.version == "# Version 1.3";
  for (int k = 0; k < 26; ++k) {
    if (k >= 7 && k <= 9 && !full) {
      e.values[k] = k == 7 ? host::Value::Int(0) : host::Value::Real(k == 8 ? 400.0 : 100.0);
      continue;
    }
    if (!m.Value(kItems[k].kind, &e.values[k])) return e;
  }
  if (e.version != "# Version 1.3") e.values[0].MutableString() = From1252(e.values[0].AsString());
  e.loads = true;
  return e;
}

struct State {
  std::unique_ptr<host::Session> session;
  host::Object* arrow = nullptr;
  int32_t ids[26] = {};
  host::Container baseline;
  fuzzkit::Ledger ledger;
};
State* g = nullptr;

void Setup() {
  g = new State;
  g->session = std::make_unique<host::Session>(host::SessionOptions{FUZZ_RELEASE, "", 0});
  std::string error;
  if (!g->session->Open(&error) || (g->arrow = g->session->NewArrow(false, &error)) == nullptr) {
    std::fprintf(stderr, "%s: cannot load the plug-in: %s\n", kTarget, error.c_str());
    std::abort();
  }
  for (int k = 0; k < 26; ++k) {
    const host::ParamDesc* p = g->session->FindParam(kItems[k].name);
    if (p == nullptr) {
      std::fprintf(stderr, "%s: the description has no %s\n", kTarget, kItems[k].name);
      std::abort();
    }
    g->ids[k] = p->id;
  }
  // Values a load must keep (not part of a preset) and values it replaces.
  for (const char* s : {"ARROW_ROUND_CORNERS=true", "ARROW_CLONE_COUNT=9", "ARROW_SHAFT_LENGTH=123.25",
                        "ARROW_DOUBLE_HEADED=true", "ARROW_PRESET_NAME=before"}) {
    if (!g->session->ApplySetting(g->arrow, s, &error)) {
      std::fprintf(stderr, "%s: %s\n", kTarget, error.c_str());
      std::abort();
    }
  }
  // The arrow finds its presets folder the first time its load dialog opens
  // and keeps it; open the dialog once (cancelled) so that what the arrow
  // holds is settled before the ledger is taken.
  host::ClearDialogQueue();
  if (!g->session->PressButton(g->arrow, "ARROW_LOAD_PRESET", &error)) {
    std::fprintf(stderr, "%s: %s\n", kTarget, error.c_str());
    std::abort();
  }
  g->baseline = g->arrow->Data();
  fuzzkit::ResetHostLogs(g->session->GetHost());
  g->ledger = fuzzkit::TakeLedger(g->session->GetHost());
}

bool UpdateSent(std::size_t from) {
  const auto& messages = g->session->GetHost().Messages();
  for (std::size_t i = from; i < messages.size(); ++i)
    if (messages[i].serial == g->arrow->Serial() && messages[i].type == HA_MSG_UPDATE) return true;
  return false;
}

bool Load(const std::string& path) {
  std::string error;
  return g->session->LoadPreset(g->arrow, path, &error);
}

void CheckOneLoadStep(host::Document* doc, std::size_t stepsBefore, const char* what) {
  FUZZ_CHECK(kTarget, doc->UndoSteps().size() == stepsBefore + 1,
             std::string(what) + ": " + std::to_string(doc->UndoSteps().size() - stepsBefore) +
                 " undo steps instead of one");
  const auto& entries = doc->UndoSteps().back().entries;
  FUZZ_CHECK(kTarget,
             entries.size() == 1 && entries[0].kind == HA_UNDO_CHANGE && entries[0].object == g->arrow,
             std::string(what) + ": the undo step is not one change entry of the arrow");
}

void UndoTo(host::Document* doc, const host::Container& expected, const char* what) {
  FUZZ_CHECK(kTarget, doc->Undo(), std::string(what) + ": nothing to undo");
  std::string why;
  FUZZ_CHECK(kTarget, fuzzkit::SameContainer(g->arrow->Data(), expected, &why),
             std::string(what) + ": undo did not give back the arrow's container: " + why);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Setup();
  fuzzkit::ShutdownAtExit(kTarget, [] { return &g->session->GetHost(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  host::Host& h = g->session->GetHost();
  host::Document* doc = g->session->Doc();
  fuzzkit::ResetHostLogs(h);
  g->arrow->Data() = g->baseline;

  const std::string input = fuzzkit::TempFile("input.tlv");
  fuzzkit::WriteFile(input, data, size);
  const host::Container before = g->arrow->Data();
  const std::size_t steps = doc->UndoSteps().size();
  const bool loaded = Load(input);
  const bool updated = UpdateSent(0);
  std::string why;

  const Expectation expected = Expect(data, size);
  if (!loaded) {
    FUZZ_CHECK(kTarget, !updated, "the arrow was told of an update by a failed load");
    FUZZ_CHECK(kTarget, fuzzkit::SameContainer(g->arrow->Data(), before, &why),
               "a failed load changed the arrow: " + why);
    FUZZ_CHECK(kTarget, doc->UndoSteps().size() == steps, "a failed load recorded an undo step");
    FUZZ_CHECK(kTarget, !expected.loads,
               "the file holds all 26 values of its version, but the load failed");
  } else {
    CheckOneLoadStep(doc, steps, "load");
    FUZZ_CHECK(kTarget, expected.loads,
               "the load succeeded although the file does not hold all 26 values of its version");
    const host::Container after = g->arrow->Data();
    // Every preset value as the layout says; every other parameter as before.
    host::Container want = before;
    for (int k = 0; k < 26; ++k) want.Set(g->ids[k], expected.values[k]);
    FUZZ_CHECK(kTarget, fuzzkit::SameContainer(after, want, &why),
               "the loaded arrow differs from the file's values: " + why);
    try {
      (void)host::JsonText(g->session->ParamsJson(g->arrow));
    } catch (const std::exception& ex) {
      fuzzkit::Violation(kTarget, "JsonText(ParamsJson(arrow)) does not throw",
                         std::string("the loaded arrow's parameters cannot be written as JSON: ") + ex.what());
    }

    // Round trip: save, go back to the arrow as it was, load the saved file.
    std::string written, error;
    FUZZ_CHECK(kTarget, g->session->SavePreset(g->arrow, fuzzkit::TempFile("again.tlv"), &written, &error),
               "the loaded arrow cannot be saved again: " + error);
    UndoTo(doc, before, "after the load");
    const std::size_t stepsAgain = doc->UndoSteps().size();
    FUZZ_CHECK(kTarget, Load(written), "the preset saved from a loaded file does not load");
    CheckOneLoadStep(doc, stepsAgain, "second load");
    host::Container want2 = after;
    if (FUZZ_RELEASE == 12) want2.Set(g->ids[0], host::Value::Str(Through1252(after.Find(g->ids[0])->AsString())));
    FUZZ_CHECK(kTarget, fuzzkit::SameContainer(g->arrow->Data(), want2, &why),
               "saved and loaded again, the arrow differs: " + why);
    UndoTo(doc, before, "after the second load");
  }
  fuzzkit::ResetHostLogs(h);
  fuzzkit::CheckLedger(kTarget, g->ledger, h, "after the input");
  return 0;
}
