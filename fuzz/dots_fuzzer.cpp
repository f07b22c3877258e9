// Fuzzes the read function of the release-16 module's Dots data type through
// the host's custom-data read path (the one a scene file's Dots value takes).
//
// Input: byte 0 is the stored disk level (a signed byte), byte 1 the
// allocation of the module that fails during the read (0: none, N: the Nth),
// the rest the value's stored items as the scene-file stream holds them
// (kind 1: a signed 64-bit integer, kind 2: a vector of three doubles,
// little-endian).
//
// Properties checked for every input:
// - the points read are those of the stored layout: nothing for a level not
//   above 0 or a stream that does not start with the count; else the first
//   min(count, vectors present) vectors that follow the count (reading stops
//   at the first item that is not a vector); with an allocation failing, a
//   successful read holds these points or fewer, in order;
// - round trip: the value written again is exactly the count and its points,
//   and read back at the type's level it holds the same points;
// - a copy made through the type holds the same points and compares equal;
// - after each input the module holds exactly what it held before and
//   misused no handle.
// - a successful read holds every point, also when an allocation failed on
//   the way (a read that cannot store a point must fail, not drop it).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "custom_values.h"
#include "fuzz_support.h"
#include "scenefile.h"

namespace {

const char* const kTarget = "dots";

struct State {
  std::unique_ptr<host::Session> session;
  host::CustomTypeRef type;
  fuzzkit::Ledger ledger;
};
State* g = nullptr;

uint64_t Le(const uint8_t* p, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}

double Real(const uint8_t* p) {
  const uint64_t bits = Le(p, 8);
  double d = 0.0;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// The points the stored items describe, read independently of the module.
std::vector<ha_vector> Expected(int32_t level, const uint8_t* p, std::size_t n) {
  std::vector<ha_vector> points;
  if (level <= 0 || n < 9 || p[0] != 1) return points;
  const int64_t count = static_cast<int64_t>(Le(p + 1, 8));
  std::size_t pos = 9;
  while (count > 0 && static_cast<int64_t>(points.size()) < count && n - pos >= 25 && p[pos] == 2) {
    points.push_back({Real(p + pos + 1), Real(p + pos + 9), Real(p + pos + 17)});
    pos += 25;
  }
  return points;
}

bool SameDouble(double a, double b) {
  if (std::isnan(a) && std::isnan(b)) return true;
  return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SamePoint(const ha_vector& a, const ha_vector& b) {
  return SameDouble(a.x, b.x) && SameDouble(a.y, b.y) && SameDouble(a.z, b.z);
}

bool SamePoints(const std::vector<ha_vector>& a, const std::vector<ha_vector>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!SamePoint(a[i], b[i])) return false;
  return true;
}

std::vector<ha_vector> PointsOf(const host::CustomValue& value, const char* what) {
  std::vector<ha_vector> points;
  host::Value v = host::Value::Custom(value);
  FUZZ_CHECK(kTarget, host::PointsOf(v, &points),
             std::string(what) + " is not stored as a count followed by that many vectors");
  return points;
}

std::string Canonical(const std::vector<ha_vector>& points) {
  std::string out;
  const auto put = [&](uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  const auto real = [&](double d) {
    uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    put(bits);
  };
  out.push_back(1);
  put(static_cast<uint64_t>(points.size()));
  for (const ha_vector& p : points) {
    out.push_back(2);
    real(p.x);
    real(p.y);
    real(p.z);
  }
  return out;
}

void Check(const uint8_t* data, std::size_t size) {
  const int32_t level = static_cast<int8_t>(data[0]);
  const long failAt = data[1];
  const uint8_t* items = data + 2;
  const std::size_t count = size - 2;
  const std::string stored(reinterpret_cast<const char*>(items), count);
  const std::vector<ha_vector> expected = Expected(level, items, count);

  host::CustomValue value;
  std::string error;
  host::Failures().FailAllocation(failAt);
  const bool read = host::ReadCustomValue(g->type->id, stored, level, &value, &error);
  const bool failed = host::Failures().AllocationFailuresInjected() != 0;
  host::Failures().Off();
  if (!read) return;  // the host drops the value; the ledger check follows

  const std::vector<ha_vector> points = PointsOf(value, "the value read");
  FUZZ_CHECK(kTarget, SamePoints(points, expected),
             "read " + std::to_string(points.size()) + " points where the stored items hold " +
                 std::to_string(expected.size()) + (failed ? " (an allocation failed)" : ""));

  // Round trip through the type's own write and read.
  std::string written;
  FUZZ_CHECK(kTarget, host::WriteCustomValue(value, &written, &error), "a value read cannot be written: " + error);
  FUZZ_CHECK(kTarget, written == Canonical(points),
             "the value is not written as its count followed by its points");
  host::CustomValue again;
  FUZZ_CHECK(kTarget, host::ReadCustomValue(g->type->id, written, g->type->diskLevel, &again, &error),
             "a value written cannot be read back: " + error);
  FUZZ_CHECK(kTarget, SamePoints(PointsOf(again, "the value read back"), points),
             "written and read back, the value holds other points");
  FUZZ_CHECK(kTarget, again.Equals(value) && again.Compare(value) == 0,
             "written and read back, the value does not compare equal");

  // A copy through the type.
  const host::CustomValue copy(value);
  FUZZ_CHECK(kTarget, copy.Holds(), "the value could not be copied");
  FUZZ_CHECK(kTarget, SamePoints(PointsOf(copy, "the copy"), points) && copy.Equals(value),
             "the copy holds other points or does not compare equal");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g = new State;
  g->session = std::make_unique<host::Session>(host::SessionOptions{16, "", 0});
  std::string error;
  if (!g->session->Open(&error)) {
    std::fprintf(stderr, "%s: cannot load the plug-in: %s\n", kTarget, error.c_str());
    std::abort();
  }
  g->type = host::FindCustomDataTypeBySymbol("DOTS");
  if (g->type == nullptr) {
    std::fprintf(stderr, "%s: the module registered no Dots type\n", kTarget);
    std::abort();
  }
  fuzzkit::ResetHostLogs(g->session->GetHost());
  g->ledger = fuzzkit::TakeLedger(g->session->GetHost());
  fuzzkit::ShutdownAtExit(kTarget, [] { return &g->session->GetHost(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  host::Host& h = g->session->GetHost();
  fuzzkit::ResetHostLogs(h);
  Check(data, size);
  fuzzkit::ResetHostLogs(h);
  fuzzkit::CheckLedger(kTarget, g->ledger, h, "after the input");
  return 0;
}
