// The one writer of outlines as pictures and lists: an outline (its points,
// open or closed) as an SVG drawing, and as CSV. The program's `outline`
// and the workbench's preview and downloads all draw through here.
#ifndef HOST_OUTLINE_SVG_H
#define HOST_OUTLINE_SVG_H

#include <array>
#include <string>
#include <vector>

namespace host {

// An outline in the scene's coordinates.
struct Outline {
  std::vector<std::array<double, 3>> points;
  bool closed = true;
};

// How an outline is drawn. The drawing is in the scene's units (the SVG's
// user space is the outline's plane, y up, so that a point of the picture
// reads back as a point of the plane), fitted into `width` x `height`
// pixels with `margin` around the outline's box.
struct SvgStyle {
  int width = 800;
  int height = 0;            // 0: from the box's aspect
  double margin = 0.05;      // around the box, a fraction of its larger side
  double marginLength = -1;  // around the box in scene units, in place of `margin` when >= 0
  std::string fill = "#cfe3f7";
  std::string stroke = "#1d4f80";
  double strokeWidth = 0.0;  // in scene units; 0: the box's larger side / 250
  std::string background;    // a colour behind it all; none when empty
  int plane = -1;            // 0 XY, 1 ZY, 2 XZ; -1: the plane the points lie in
  // The workbench's preview: the plane's axes through the origin, the
  // points, a scale bar and `title`, strokes of the same width at any size.
  bool guides = false;
  std::string title;
  std::string id;            // the svg element's id, when not empty
};

// The plane an outline lies in (the axis along which every point is zero
// is the one seen end-on): 0 XY, 1 ZY, 2 XZ.
int PlaneOf(const Outline& outline);

// False with the reason when a coordinate is not finite or there is no
// point (nothing is drawn).
bool OutlineSvg(const Outline& outline, const SvgStyle& style, std::string* svg, std::string* error);
// The path data ("M x y L x y ... Z") OutlineSvg draws an outline with, in
// the SVG's user space of `plane` (0 XY, 1 ZY, 2 XZ).
std::string OutlinePathData(const Outline& outline, int plane);
// Every one of `frames` drawn as OutlineSvg draws it (no guides), all in the
// box that holds them all, so that the frames of an animation share one
// picture; false with the reason when one cannot be drawn.
bool OutlineSvgFrames(const std::vector<Outline>& frames, const SvgStyle& style, std::vector<std::string>* svgs,
                      std::string* error);
// An SVG drawing that plays by itself: the path of frames[0], morphed
// through every frame by an SMIL <animate attributeName="d"> of `fps`
// frames a second, repeated indefinitely. One path morphs only between
// path data of the same commands: every frame must have as many points as
// the first and be closed as it is; false with a message naming the first
// frame that is not (nothing is resampled), by its number in the scene:
// frames[i] is frame `firstFrame` + i.
bool AnimatedOutlineSvg(const std::vector<Outline>& frames, double fps, const SvgStyle& style, std::string* svg,
                        std::string* error, int32_t firstFrame = 0);

// Whether `text` is a colour an SVG drawing takes: "#rgb", "#rgba",
// "#rrggbb", "#rrggbbaa", one of the colour keywords of CSS ("red",
// "steelblue", ...), or "none" when `noneToo`. False with a message naming
// `what` and the text otherwise.
bool CheckSvgColour(const std::string& what, const std::string& text, bool noneToo, std::string* error);

// The red, green, blue and alpha (0 to 1) of a colour CheckSvgColour takes
// (not "none"); false for anything else.
bool SvgColourRgba(const std::string& text, double rgba[4]);

// Copies of outlines placed in one picture: `shape` indexes the outlines
// given, each copy turned by `angle` degrees (counter-clockwise, y up),
// scaled by `scale` and moved to (x, y). `fill` is checked by
// CheckSvgColour; `id` names the copy's path when not empty.
struct PlacedOutline {
  std::size_t shape = 0;
  double x = 0.0, y = 0.0, angle = 0.0, scale = 1.0;
  std::string fill;
  std::string id;
};
// One drawing of every copy, each a path of its outline's points (seen in
// the outline's own plane, as PlaneOf finds it, its horizontal axis as x)
// with its placement as the path's transform, in the order given; the view
// box holds them all and the style's margin, stroke and background. Each
// path's stroke is its own outline's size / 250 unless the style gives a
// width. False with the reason when there is no copy, a copy names no
// outline, or a number (of a point, a placement or the box) is not finite.
bool PlacedOutlinesSvg(const std::vector<Outline>& outlines, const std::vector<PlacedOutline>& copies,
                       const SvgStyle& style, std::string* svg, std::string* error);

// A picture of `width` x `height` pixels holding only a line of text.
std::string NoteSvg(const std::string& note, int width, int height, const std::string& id = "");
// A header line "x,y,z", then one "x,y,z" line a point.
std::string OutlineCsv(const Outline& outline);

}  // namespace host

#endif
