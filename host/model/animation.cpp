#include "animation.h"

#include <algorithm>

namespace host {

namespace {

struct NamedInterpolation {
  const char* name;
  Interpolation value;
};
constexpr NamedInterpolation kInterpolations[] = {
    {"hold", Interpolation::kHold}, {"linear", Interpolation::kLinear}, {"ease", Interpolation::kEase}};

Track::iterator FirstAtOrAfter(Track* track, int32_t frame) {
  return std::lower_bound(track->begin(), track->end(), frame,
                          [](const AnimKey& k, int32_t f) { return k.frame < f; });
}

}  // namespace

bool ParseInterpolation(const std::string& word, Interpolation* out) {
  for (const NamedInterpolation& n : kInterpolations) {
    if (word == n.name) {
      *out = n.value;
      return true;
    }
  }
  return false;
}

const char* InterpolationName(Interpolation interpolation) {
  for (const NamedInterpolation& n : kInterpolations)
    if (n.value == interpolation) return n.name;
  return "hold";
}

void PutKey(Track* track, AnimKey key) {
  auto at = FirstAtOrAfter(track, key.frame);
  if (at != track->end() && at->frame == key.frame) *at = std::move(key);
  else track->insert(at, std::move(key));
}

bool RemoveKey(Track* track, int32_t frame) {
  auto at = FirstAtOrAfter(track, frame);
  if (at == track->end() || at->frame != frame) return false;
  track->erase(at);
  return true;
}

double InterpolationFactor(Interpolation interpolation, double t) {
  t = std::clamp(t, 0.0, 1.0);
  switch (interpolation) {
    case Interpolation::kLinear: return t;
    case Interpolation::kEase: return t * t * (3.0 - 2.0 * t);
    case Interpolation::kHold: break;
  }
  return 0.0;
}

Value ValueAt(const Track& track, double frame) {
  if (frame <= track.front().frame) return track.front().value;
  if (frame >= track.back().frame) return track.back().value;
  // The key at or before the frame, and the one after it.
  auto next = std::upper_bound(track.begin(), track.end(), frame,
                               [](double f, const AnimKey& k) { return f < k.frame; });
  const AnimKey& from = *(next - 1);
  const AnimKey& to = *next;
  if (from.value.type != HA_TYPE_FLOAT || to.value.type != HA_TYPE_FLOAT) return from.value;
  const double t = (frame - from.frame) / (static_cast<double>(to.frame) - from.frame);
  const double k = InterpolationFactor(from.interpolation, t);
  return Value::Real(from.value.f + (to.value.f - from.value.f) * k);
}

}  // namespace host
