// A small reader for the simplest TIFF files, for hosts built without
// libtiff (the Windows build): one image of 8-bit RGB or RGBA samples,
// interleaved, uncompressed, in strips, either byte order. Anything else
// is refused with a message.
#ifndef HOST_BASELINE_TIFF_H
#define HOST_BASELINE_TIFF_H

#include <cstdint>
#include <string>
#include <vector>

namespace host {

enum class TiffStatus {
  kOk,
  kNotReadable,  // not a TIFF file, or a kind of TIFF this reader does not take
  kBadSize,      // width or height is 0 or above the limit given
  kBadData       // the pixel data is cut short or lies outside the file
};

// A decoded image the way libtiff's RGBA interface answers it: `width` x
// `height` pixels, rows from the top, 4 bytes each (red, green, blue, alpha)
// with the colours multiplied by alpha.
struct TiffRgba {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgba;
};

// Decodes the first image of the TIFF file held in `bytes`. Images with
// unassociated alpha are multiplied by alpha with libtiff's rounding, so
// that the answer matches libtiff's byte for byte. `message` says what is
// wrong when the answer is not kOk.
TiffStatus DecodeBaselineTiff(const std::string& bytes, uint32_t maxSide, TiffRgba* out,
                              std::string* message);

}  // namespace host

#endif
