#include "svg_png.h"

#include <algorithm>
#include <cmath>

#if defined(HOST_HAVE_RSVG)
#include <cairo.h>
#include <librsvg/rsvg.h>
#endif

namespace host {

#if defined(HOST_HAVE_RSVG)

namespace {

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

bool CanRenderSvg() { return true; }

bool SvgToPng(const std::string& svg, int width, int height, std::string* png, std::string* error) {
  GError* gerror = nullptr;
  RsvgHandle* handle =
      rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()), svg.size(), &gerror);
  if (handle == nullptr) {
    *error = std::string("the drawing cannot be read: ") + (gerror != nullptr ? gerror->message : "unknown");
    if (gerror != nullptr) g_error_free(gerror);
    return false;
  }
  // A height of 0 follows the drawing's own proportions; what that makes of
  // it is said when it is too high.
  double ownWidth = 0, ownHeight = 0;
  double followed = 0.0;
  if (height == 0 && width > 0 && rsvg_handle_get_intrinsic_size_in_pixels(handle, &ownWidth, &ownHeight) &&
      ownWidth > 0 && ownHeight > 0) {
    followed = ownHeight / ownWidth * width;
    if (followed < kMaxPictureSide + 0.5) height = std::max(1, static_cast<int>(followed + 0.5));
  }
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) {
    const std::string limit = "a picture is 1 to " + std::to_string(kMaxPictureSide) + " pixels wide and high";
    if (height == 0 && followed >= kMaxPictureSide + 0.5)
      *error = limit + ": " + std::to_string(width) + " pixels wide, this drawing would be " +
               std::to_string(std::llround(followed)) + " high (at most " +
               std::to_string(static_cast<long long>(kMaxPictureSide * ownWidth / ownHeight)) + " wide fits)";
    else
      *error = limit + ", not " + std::to_string(width) + " x " + std::to_string(height);
    g_object_unref(handle);
    return false;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  const RsvgRectangle viewport{0.0, 0.0, static_cast<double>(width), static_cast<double>(height)};
  const bool drawn = rsvg_handle_render_document(handle, cr, &viewport, &gerror) != 0;
  std::string bytes;
  const bool written = drawn && cairo_surface_write_to_png_stream(surface, Append, &bytes) == CAIRO_STATUS_SUCCESS;
  if (!drawn) *error = std::string("the drawing cannot be rendered: ") + (gerror != nullptr ? gerror->message : "");
  else if (!written) *error = "the picture cannot be encoded as PNG";
  if (gerror != nullptr) g_error_free(gerror);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  g_object_unref(handle);
  if (!written) return false;
  *png = std::move(bytes);
  return true;
}

#else

bool CanRenderSvg() { return false; }

bool SvgToPng(const std::string&, int, int, std::string*, std::string* error) {
  *error = "this build has no SVG renderer (librsvg): PNG pictures of outlines are made by the Linux build";
  return false;
}

#endif

}  // namespace host
