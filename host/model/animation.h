// Animation: the keys of objects' parameters (model.h keeps them, with the
// document's time line) and the values they give at a frame.
//
// Each object keeps its keys by parameter ID, every parameter's keys sorted
// by frame with at most one key a frame. A key's interpolation says how the
// value goes from that key to the next one:
//   hold    the key's value until the next key;
//   linear  a straight line to the next key's value;
//   ease    smoothstep (3t^2 - 2t^3): easing out of this key and into the next.
// Only real numbers (float values) are interpolated; any other value (an
// integer, a bool, a choice) holds until the next key whatever the key says.
// Before the first key a parameter has the first key's value, after the
// last the last one's.
#ifndef HOST_ANIMATION_H
#define HOST_ANIMATION_H

#include <cstdint>
#include <string>

#include "model.h"

namespace host {

// The time line's limits, the same for the console, scene files and the
// program: frames are whole numbers from -kFrameLimit to kFrameLimit, and a
// document plays from kMinFps to kMaxFps frames a second.
constexpr int32_t kFrameLimit = 1000000;
constexpr double kMinFps = 0.01;
constexpr double kMaxFps = 1000.0;
inline bool IsFrame(long long frame) { return frame >= -kFrameLimit && frame <= kFrameLimit; }
inline bool IsFps(double fps) { return fps >= kMinFps && fps <= kMaxFps; }  // false for NaN
// The limits as messages say them.
constexpr char kFpsLimitsText[] = "from 0.01 to 1000";
inline std::string FrameLimitsText() {
  return "from " + std::to_string(-kFrameLimit) + " to " + std::to_string(kFrameLimit);
}

// "hold", "linear", "ease"; false for another word.
bool ParseInterpolation(const std::string& word, Interpolation* out);
const char* InterpolationName(Interpolation interpolation);

// Puts a key into the track, replacing a key at the same frame.
void PutKey(Track* track, AnimKey key);
// Removes the key at `frame`; false when there is none.
bool RemoveKey(Track* track, int32_t frame);
// The value of a track at a (possibly fractional) frame; the track holds at
// least one key.
Value ValueAt(const Track& track, double frame);
// The factor of an interpolation at t in [0, 1].
double InterpolationFactor(Interpolation interpolation, double t);

}  // namespace host

#endif
