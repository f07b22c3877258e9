// Fuzzes the scene reader (host/scenefile.*) with the release-16 module
// loaded, so that arrows and Dots values in a scene are made and read by the
// real module.
//
// Each input is a whole scene file. Unless the last byte of its reserved
// header field (byte 15) is 0xFF, the body length (bytes 16 to 23) and the
// body's CRC-32 (bytes 24 to 27) are set to match the bytes that follow the
// header, so that mutations reach the parser behind those checks; byte 15 =
// 0xFF keeps the header as the fuzzer made it, for the checks themselves.
//
// Properties checked for every input:
// - a refused file answers no document and a reason, and changes nothing:
//   the session's document (its scene bytes: tree, names, every parameter,
//   user data, Dots values) and its undo stack are as before;
// - round trip: a loaded scene saved again loads again, and saving that
//   gives the same bytes;
// - the module holds after each input exactly what it held before (every
//   object made for a refused or a loaded scene is freed with it) and
//   misused no handle.
// - a loaded scene's spline plane lies in 0..2 and its user data are of a
//   known type.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "custom_values.h"
#include "fuzz_support.h"
#include "scenefile.h"
#include "checksums.h"

namespace {

const char* const kTarget = "scene";

void PutLe(std::string* s, std::size_t at, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) (*s)[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

struct State {
  std::unique_ptr<host::Session> session;
  fuzzkit::Ledger ledger;
  std::string docBytes;
};
State* g = nullptr;

void Die(const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", kTarget, what.c_str());
  std::abort();
}

void Setup() {
  g = new State;
  g->session = std::make_unique<host::Session>(host::SessionOptions{16, "", 0});
  std::string error;
  if (!g->session->Open(&error)) Die("cannot load the plug-in: " + error);
  // A document with something in it: an arrow with a Dots value, a spline.
  host::Host& h = g->session->GetHost();
  host::Object* arrow = g->session->NewArrow(false, &error);
  host::Object* spline = h.CreateObject(g->session->Doc(), Ospline, false, &error);
  const host::CustomTypeRef dots = host::FindCustomDataTypeBySymbol("DOTS");
  if (arrow == nullptr || spline == nullptr || dots == nullptr) Die("cannot set up the document: " + error);
  if (host::AddUserData(arrow, "Dots", dots->id, &error) == 0) Die("cannot add user data: " + error);
  g->session->Doc()->SetSplinePlane(2);
  g->docBytes = fuzzkit::SceneBytes(kTarget, *g->session->Doc(), h);
  fuzzkit::ResetHostLogs(h);
  g->ledger = fuzzkit::TakeLedger(h);
}

std::string Encode(const host::Document& doc) {
  return fuzzkit::SceneBytes(kTarget, doc, g->session->GetHost());
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

  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (size >= host::kSceneHeaderSize && data[15] != 0xFF) {
    const std::size_t body = size - host::kSceneHeaderSize;
    PutLe(&bytes, 16, body, 8);
    PutLe(&bytes, 24, host::Crc32(data + host::kSceneHeaderSize, body), 4);
  }

  const std::size_t undoSteps = doc->UndoSteps().size();
  const std::size_t redoSteps = doc->RedoSteps().size();
  std::string error;
  {
    std::unique_ptr<host::Document> loaded = host::DecodeScene(bytes, &error);
    if (loaded == nullptr) {
      FUZZ_CHECK(kTarget, !error.empty(), "a refused scene gave no reason");
    } else {
      {
        const int32_t plane = loaded->SplinePlane();
        FUZZ_CHECK(kTarget, plane >= 0 && plane <= 2,
                   "a scene with spline plane " + std::to_string(plane) + " was loaded");
        for (host::Object* op : loaded->TreeOrder()) {
          for (const host::UserDataDesc& d : op->UserData()) {
            const bool plain = d.type == HA_TYPE_INT32 || d.type == HA_TYPE_FLOAT || d.type == HA_TYPE_VECTOR ||
                               d.type == HA_TYPE_STRING || d.type == HA_TYPE_LINK;
            FUZZ_CHECK(kTarget, plain || host::FindCustomDataType(d.type) != nullptr,
                       "a scene with user data of unknown type " + std::to_string(d.type) + " was loaded");
          }
        }
      }
      const std::string first = Encode(*loaded);
      std::string again;
      std::unique_ptr<host::Document> reloaded = host::DecodeScene(first, &again);
      FUZZ_CHECK(kTarget, reloaded != nullptr, "a loaded scene saved again does not load: " + again);
      const std::string second = Encode(*reloaded);
      FUZZ_CHECK(kTarget, first == second,
                 "a loaded scene saved, loaded and saved again gives other bytes (" +
                     std::to_string(first.size()) + " against " + std::to_string(second.size()) + ")");
    }
  }
  // Nothing the reader did touched the session's document.
  FUZZ_CHECK(kTarget, g->session->Doc() == doc && Encode(*doc) == g->docBytes,
             "loading a scene changed the open document");
  FUZZ_CHECK(kTarget, doc->UndoSteps().size() == undoSteps && doc->RedoSteps().size() == redoSteps,
             "loading a scene changed the open document's undo stack");
  fuzzkit::ResetHostLogs(h);
  fuzzkit::CheckLedger(kTarget, g->ledger, h, "after the input");
  return 0;
}
