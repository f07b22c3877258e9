// The PNG codec: one check of the image, then the build's back-end.
#include "png_codec.h"

#include <cstddef>

namespace host {

bool EncodePng(int width, int height, const std::vector<uint8_t>& rgb, std::string* png,
               std::string* error) {
  if (width <= 0 || height <= 0) {
    *error = "the field has no pixels to write";
    return false;
  }
  if (rgb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) {
    *error = "cannot encode the PNG: the raster's size does not match its pixels";
    return false;
  }
#if HOST_HAVE_LIBPNG
  return EncodeLibPng(width, height, rgb, png, error);
#else
  *png = EncodeStoredPng(width, height, rgb);
  return true;
#endif
}

bool DecodePng(const std::string& png, int* width, int* height, std::vector<uint8_t>* rgb,
               std::string* error) {
#if HOST_HAVE_LIBPNG
  return DecodeLibPng(png, width, height, rgb, error);
#else
  return DecodeStoredPng(png, width, height, rgb, error);
#endif
}

}  // namespace host
