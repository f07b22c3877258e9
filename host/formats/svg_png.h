// Pictures as PNG files: an SVG drawing rendered by librsvg (with cairo),
// so that the PNG of an outline is its SVG, pixel for pixel as a browser
// draws it. Builds without librsvg (the cross builds) have no renderer.
#ifndef HOST_SVG_PNG_H
#define HOST_SVG_PNG_H

#include <string>

namespace host {

// Whether this build can render SVG drawings.
bool CanRenderSvg();

// The largest side of a picture, in pixels.
constexpr int kMaxPictureSide = 16384;

// Renders `svg` into a `width` x `height` PNG (the drawing fitted and
// centred; `height` 0: as high as the drawing's own aspect makes it);
// false with the reason when the drawing cannot be read, a side is beyond
// kMaxPictureSide (for a height that follows the drawing, with the width
// that would fit) or this build has no renderer.
bool SvgToPng(const std::string& svg, int width, int height, std::string* png, std::string* error);

}  // namespace host

#endif
