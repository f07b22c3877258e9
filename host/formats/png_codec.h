// PNG pictures as bytes: 8-bit RGB images, rows from the top, 3 bytes a
// pixel. EncodePng and DecodePng are the codec every caller uses; they check
// the image once and hand it to the build's back-end:
//   - libpng where the build has it (HOST_HAVE_LIBPNG, CMake's option
//     TOLVANE_IMAGE_LIBS), which compresses;
//   - otherwise the host's own writer and reader (png_stored.cpp), which
//     every build compiles so that the tests compare it with libpng. Its
//     writer makes a valid PNG whose image data is one zlib stream of stored
//     (uncompressed) deflate blocks, with the chunks' CRCs and the stream's
//     Adler-32 sum; its reader takes such files back: 8-bit RGB or RGBA, not
//     interlaced, image data in stored blocks (any row filter), and refuses
//     compressed data with a message.
// Nothing here touches a file: callers read and write the bytes.
#ifndef HOST_PNG_CODEC_H
#define HOST_PNG_CODEC_H

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// The PNG of a `width` x `height` image. False with `error` set when the
// image has no pixels or its sizes do not match `rgb`, or the back-end fails.
bool EncodePng(int width, int height, const std::vector<uint8_t>& rgb, std::string* png,
               std::string* error);

// Decodes the PNG held in `png` into 3 bytes a pixel (alpha is dropped).
// False with `error` set when it is not a PNG the back-end takes or is
// damaged.
bool DecodePng(const std::string& png, int* width, int* height, std::vector<uint8_t>* rgb,
               std::string* error);

// --- the back-ends, for the codec and for the tests that compare them ---------
// The encoders take an image EncodePng has checked.

// The host's own: stored deflate blocks (png_stored.cpp).
std::string EncodeStoredPng(int width, int height, const std::vector<uint8_t>& rgb);
bool DecodeStoredPng(const std::string& png, int* width, int* height, std::vector<uint8_t>* rgb,
                     std::string* error);

#if HOST_HAVE_LIBPNG
// libpng's (png_libpng.cpp).
bool EncodeLibPng(int width, int height, const std::vector<uint8_t>& rgb, std::string* png,
                  std::string* error);
bool DecodeLibPng(const std::string& png, int* width, int* height, std::vector<uint8_t>* rgb,
                  std::string* error);
#endif

}  // namespace host

#endif
