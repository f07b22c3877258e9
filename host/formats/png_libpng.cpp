// libpng's PNG back-end (builds with TOLVANE_IMAGE_LIBS), in memory both ways.
#include "png_codec.h"

#include <png.h>

#include <cstring>

namespace host {
namespace {

png_image NewImage() {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  return image;
}

}  // namespace

bool EncodeLibPng(int width, int height, const std::vector<uint8_t>& rgb, std::string* png,
                  std::string* error) {
  png_image image = NewImage();
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr)) {
    *error = std::string("cannot encode the PNG: ") + image.message;
    return false;
  }
  std::string bytes(size, '\0');
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, rgb.data(), 0, nullptr)) {
    *error = std::string("cannot encode the PNG: ") + image.message;
    return false;
  }
  bytes.resize(size);
  *png = std::move(bytes);
  return true;
}

bool DecodeLibPng(const std::string& png, int* width, int* height, std::vector<uint8_t>* rgb,
                  std::string* error) {
  png_image image = NewImage();
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) {
    *error = image.message;
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    *error = image.message;
    png_image_free(&image);
    return false;
  }
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  *rgb = std::move(pixels);
  return true;
}

}  // namespace host
