// Helpers of the Dots tests: a loaded release-16 session, Dots values made
// from points through the data type's own read function, and their points.
#ifndef TESTS_DOTS_HELPERS_H
#define TESTS_DOTS_HELPERS_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fixture.h"
#include "gui.h"
#include "scenefile.h"
#include "session.h"

namespace dots {

constexpr int32_t kDotsType = ID_CUSTOMDATATYPE_DOTS;
constexpr int32_t kDotsGui = ID_CUSTOMGUI_DOTS;
constexpr int32_t kFieldId = 2000;

using Points = std::vector<ha_vector>;

// Scene-file items as the host stores them: a kind byte and the payload.
inline std::string Int64Item(int64_t v) {
  std::string out(1, '\x01');
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF));
  return out;
}
inline std::string VectorItem(double x, double y, double z) {
  std::string out(1, '\x02');
  for (double d : {x, y, z}) {
    uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
  }
  return out;
}
// The stored form of a Dots value with these points.
inline std::string Stored(const Points& points) {
  std::string out = Int64Item(static_cast<int64_t>(points.size()));
  for (const ha_vector& p : points) out += VectorItem(p.x, p.y, p.z);
  return out;
}

// A Dots value holding `points`, read by the module from their stored form.
inline host::CustomValue MakeDots(const Points& points) {
  host::CustomValue value;
  std::string error;
  EXPECT_TRUE(host::ReadCustomValue(kDotsType, Stored(points), 1, &value, &error)) << error;
  return value;
}

// The points of a value (written by the module); fails the test when the
// value is no list of points.
inline Points PointsOfValue(const host::Value& value) {
  Points points;
  EXPECT_TRUE(host::PointsOf(value, &points)) << "not a list of points";
  return points;
}
inline Points PointsOfCustom(const host::CustomValue& value) {
  return PointsOfValue(host::Value::Custom(value));
}

inline bool SamePoints(const Points& a, const Points& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].z != b[i].z) return false;
  return true;
}

inline std::string Show(const Points& points) {
  std::string out = "[";
  for (const ha_vector& p : points)
    out += "(" + host::FormatDouble(p.x) + "," + host::FormatDouble(p.y) + "," + host::FormatDouble(p.z) + ")";
  return out + "]";
}

// A release-16 session with an arrow that has a Dots user data parameter.
class DotsSession : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = std::make_unique<host::Session>(host::SessionOptions{});
    std::string error;
    ASSERT_TRUE(session_->Open(&error)) << error;
    arrow_ = session_->NewArrow(false, &error);
    ASSERT_NE(arrow_, nullptr) << error;
    param_ = host::AddUserData(arrow_, "Dots", kDotsType, &error);
    ASSERT_NE(param_, 0) << error;
  }
  void TearDown() override {
    if (session_ != nullptr) testkit::ExpectCleanShutdown(session_->GetHost());
  }

  host::Host& H() { return session_->GetHost(); }
  host::ElementHost* Open() {
    std::string error;
    host::ElementHost* elementHost = host::OpenElement(arrow_, param_, &error);
    EXPECT_NE(elementHost, nullptr) << error;
    return elementHost;
  }
  Points ParamPoints() { return PointsOfValue(*arrow_->Data().Find(param_)); }
  // A click at a position of the field, delivered in window coordinates.
  static bool ClickField(host::ElementHost* e, int32_t x, int32_t y) {
    const host::FieldInfo f = e->Fields().at(0);
    return e->Click(f.x + x, f.y + y);
  }

  std::unique_ptr<host::Session> session_;
  host::Object* arrow_ = nullptr;
  int32_t param_ = 0;
};

}  // namespace dots

#endif
