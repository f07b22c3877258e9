// Tests of the host's own TIFF reader and PNG coder, which builds without
// libtiff and libpng (Windows) use. Where the libraries are part of the
// build, the tests also check that both ways give the same pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "baseline_tiff.h"
#include "checksums.h"
#include "fixture.h"
#include "gui.h"
#include "host.h"
#include "resources.h"
#include "png_codec.h"
#include "tiff_kit.h"

namespace fs = std::filesystem;

namespace {

const fs::path kIcon = fs::u8path(TOLVANE_SOURCE_DIR) / "resources" / "tolvane.tif";

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// --- TIFF ----------------------------------------------------------------------

TEST(BaselineTiff, IconIsUncompressedAndDecodes) {
  const std::string bytes = ReadBytes(kIcon);
  host::TiffRgba image;
  std::string message;
  ASSERT_EQ(host::DecodeBaselineTiff(bytes, 4096, &image, &message), host::TiffStatus::kOk) << message;
  EXPECT_EQ(image.width, 64u);
  EXPECT_EQ(image.height, 64u);
  ASSERT_EQ(image.rgba.size(), 64u * 64u * 4u);
  EXPECT_EQ(image.rgba[3], 0);                       // a transparent corner
  EXPECT_EQ(image.rgba[(32 * 64 + 32) * 4 + 3], 255);  // the opaque shaft
}

TEST(BaselineTiff, IconDecodesLikeLibtiff) {
#if HOST_HAVE_LIBTIFF
  std::string error;
  auto withLibtiff = host::ReadTiff(kIcon.u8string(), &error);
  ASSERT_NE(withLibtiff, nullptr) << error;
  auto baseline = host::ReadBaselineTiff(kIcon.u8string(), &error);
  ASSERT_NE(baseline, nullptr) << error;
  EXPECT_EQ(baseline->width, withLibtiff->width);
  EXPECT_EQ(baseline->height, withLibtiff->height);
  ASSERT_EQ(baseline->rgba.size(), withLibtiff->rgba.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < baseline->rgba.size(); ++i) differing += baseline->rgba[i] != withLibtiff->rgba[i];
  EXPECT_EQ(differing, 0u) << "bytes that differ between the baseline reader and libtiff";
#else
  GTEST_SKIP() << "this build has no libtiff to compare the baseline reader with";
#endif
}

TEST(BaselineTiff, ReadsBothByteOrdersAndSeveralStrips) {
  testkit::TiffSpec spec;
  spec.width = 3;
  spec.height = 5;
  spec.samples = 3;
  spec.rowsPerStrip = 2;  // strips of 2, 2 and 1 rows
  for (int i = 0; i < 3 * 5 * 3; ++i) spec.pixels.push_back(static_cast<uint8_t>(i * 5));
  for (bool big : {false, true}) {
    spec.bigEndian = big;
    host::TiffRgba image;
    std::string message;
    ASSERT_EQ(host::DecodeBaselineTiff(testkit::MakeTiff(spec), 4096, &image, &message), host::TiffStatus::kOk)
        << message;
    ASSERT_EQ(image.width, 3u);
    ASSERT_EQ(image.height, 5u);
    for (std::size_t px = 0; px < 15; ++px) {
      for (int c = 0; c < 3; ++c) EXPECT_EQ(image.rgba[px * 4 + c], spec.pixels[px * 3 + c]) << px;
      EXPECT_EQ(image.rgba[px * 4 + 3], 255) << px;
    }
  }
}

TEST(BaselineTiff, MultipliesUnassociatedAlphaAsLibtiffDoes) {
  testkit::TiffSpec spec;
  spec.width = 2;
  spec.pixels = {200, 100, 50, 128, 10, 20, 30, 0};
  host::TiffRgba image;
  std::string message;
  ASSERT_EQ(host::DecodeBaselineTiff(testkit::MakeTiff(spec), 4096, &image, &message), host::TiffStatus::kOk);
  const std::vector<uint8_t> expected = {(200 * 128 + 127) / 255, (100 * 128 + 127) / 255, (50 * 128 + 127) / 255,
                                         128, 0, 0, 0, 0};
  EXPECT_EQ(image.rgba, expected);

  spec.extraSample = 1;  // associated: taken as it is
  ASSERT_EQ(host::DecodeBaselineTiff(testkit::MakeTiff(spec), 4096, &image, &message), host::TiffStatus::kOk);
  EXPECT_EQ(image.rgba, spec.pixels);
}

TEST(BaselineTiff, RefusesWhatItCannotRead) {
  testkit::TiffSpec spec;
  spec.width = 2;
  spec.height = 2;
  spec.pixels.assign(16, 7);
  host::TiffRgba image;
  std::string message;

  testkit::TiffSpec lzw = spec;
  lzw.compression = 5;
  EXPECT_EQ(host::DecodeBaselineTiff(testkit::MakeTiff(lzw), 4096, &image, &message),
            host::TiffStatus::kNotReadable);
  EXPECT_NE(message.find("compress"), std::string::npos) << message;

  EXPECT_EQ(host::DecodeBaselineTiff(testkit::MakeTiff(spec), 1, &image, &message), host::TiffStatus::kBadSize);
  EXPECT_NE(message.find("2 x 2"), std::string::npos) << message;

  std::string cut = testkit::MakeTiff(spec);
  cut.resize(cut.size() - 3);
  EXPECT_EQ(host::DecodeBaselineTiff(cut, 4096, &image, &message), host::TiffStatus::kBadData);

  EXPECT_EQ(host::DecodeBaselineTiff("this is not an image", 4096, &image, &message),
            host::TiffStatus::kNotReadable);
  EXPECT_EQ(host::DecodeBaselineTiff(std::string("II*\0\xFF\xFF\xFF\x7F", 8), 4096, &image, &message),
            host::TiffStatus::kNotReadable);
}

// --- PNG -----------------------------------------------------------------------

TEST(StoredPng, ChecksumsHaveTheirKnownValues) {
  const auto bytes = [](const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); };
  // The CRC of an empty end chunk, as every PNG file ends; the standard
  // check values of both sums.
  EXPECT_EQ(host::Crc32(bytes("IEND"), 4), 0xAE426082u);
  EXPECT_EQ(host::Crc32(bytes("123456789"), 9), 0xCBF43926u);
  EXPECT_EQ(host::Adler32(bytes("123456789"), 9), 0x091E01DEu);
  EXPECT_EQ(host::Adler32(bytes("abc"), 3), 0x024D0127u);
}

// The CRC taken several bytes at a time against the plain bit-by-bit
// definition: every length from 0 to 300 at every start offset 0 to 7 (so
// every alignment and every tail), whole and continued from a split.
TEST(StoredPng, CrcAgreesWithTheBitwiseDefinition) {
  std::vector<uint8_t> data(310);
  uint32_t x = 12345;
  for (uint8_t& b : data) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  const auto bitwise = [](const uint8_t* p, std::size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
      c ^= p[i];
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
  };
  int wrong = 0;
  for (std::size_t start = 0; start < 8; ++start)
    for (std::size_t n = 0; start + n <= 300; ++n) {
      const uint8_t* p = data.data() + start;
      const uint32_t want = bitwise(p, n);
      if (host::Crc32(p, n) != want) ++wrong;
      if (host::Crc32(p + n / 3, n - n / 3, host::Crc32(p, n / 3)) != want) ++wrong;
    }
  EXPECT_EQ(wrong, 0);
}

// Filling rectangles against a pixel-by-pixel fill: corners in any order,
// partly or wholly outside, one pixel wide or high, on rasters of odd widths.
TEST(RasterFill, MatchesAPixelByPixelFill) {
  std::mt19937 rng(7);
  const auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int wrong = 0;
  for (int round = 0; round < 400; ++round) {
    host::Raster r;
    r.Reset(pick(1, 37), pick(1, 23), {10, 20, 30});
    std::vector<uint8_t> want = r.rgb;
    for (int n = 0; n < 6; ++n) {
      const int x1 = pick(-5, r.width + 4), x2 = pick(-5, r.width + 4);
      const int y1 = pick(-5, r.height + 4), y2 = pick(-5, r.height + 4);
      const host::Rgb c{static_cast<uint8_t>(pick(0, 255)), static_cast<uint8_t>(pick(0, 255)),
                        static_cast<uint8_t>(pick(0, 255))};
      r.Fill(x1, y1, x2, y2, c);
      for (int y = std::max(0, std::min(y1, y2)); y <= std::min(r.height - 1, std::max(y1, y2)); ++y)
        for (int x = std::max(0, std::min(x1, x2)); x <= std::min(r.width - 1, std::max(x1, x2)); ++x)
          for (std::size_t k = 0; k < 3; ++k)
            want[(static_cast<std::size_t>(y) * static_cast<std::size_t>(r.width) + static_cast<std::size_t>(x)) * 3 + k] = c[k];
    }
    if (r.rgb != want) ++wrong;
  }
  EXPECT_EQ(wrong, 0);
}

// An image larger than one stored block (65535 bytes), with varied pixels.
host::Raster Pattern() {
  host::Raster r;
  r.width = 200;
  r.height = 120;
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x)
      for (int c = 0; c < 3; ++c) r.rgb.push_back(static_cast<uint8_t>((x * 7 + y * 13 + c * 101) & 0xFF));
  return r;
}

TEST(StoredPng, EncodesAndDecodesTheSamePixels) {
  const host::Raster r = Pattern();
  const std::string png = host::EncodeStoredPng(r.width, r.height, r.rgb);
  ASSERT_FALSE(png.empty());
  EXPECT_EQ(png.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  std::string error;
  ASSERT_TRUE(host::DecodeStoredPng(png, &w, &h, &rgb, &error)) << error;
  EXPECT_EQ(w, r.width);
  EXPECT_EQ(h, r.height);
  EXPECT_EQ(rgb, r.rgb);

  std::string bytes;
  EXPECT_FALSE(host::EncodePng(2, 2, std::vector<uint8_t>(11), &bytes, &error));  // sizes do not match
  EXPECT_NE(error.find("does not match"), std::string::npos) << error;
}

TEST(StoredPng, DamageIsFound) {
  const host::Raster r = Pattern();
  std::string png = host::EncodeStoredPng(r.width, r.height, r.rgb);
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  std::string error;
  std::string flipped = png;
  flipped[100] = static_cast<char>(flipped[100] ^ 0x01);  // inside the image data
  EXPECT_FALSE(host::DecodeStoredPng(flipped, &w, &h, &rgb, &error));
  EXPECT_NE(error.find("CRC"), std::string::npos) << error;
  EXPECT_FALSE(host::DecodeStoredPng(png.substr(0, png.size() / 2), &w, &h, &rgb, &error));
  EXPECT_FALSE(host::DecodeStoredPng("not a png", &w, &h, &rgb, &error));
}

TEST(StoredPng, WrittenFilesReadBackThroughTheHost) {
  const host::Raster r = Pattern();
  host::Raster back;
  std::string error;
  // With libpng this is libpng reading the host's own file; without, the
  // host's reader.
  ASSERT_TRUE(host::DecodePng(host::EncodeStoredPng(r.width, r.height, r.rgb), &back.width, &back.height,
                              &back.rgb, &error))
      << error;
  EXPECT_EQ(back.width, r.width);
  EXPECT_EQ(back.height, r.height);
  EXPECT_EQ(back.rgb, r.rgb);
}

TEST(StoredPng, CompressedFilesAreRefusedWithAReason) {
#if HOST_HAVE_LIBPNG
  const host::Raster r = Pattern();
  std::string png, error;
  ASSERT_TRUE(host::EncodePng(r.width, r.height, r.rgb, &png, &error)) << error;  // libpng compresses
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  EXPECT_FALSE(host::DecodeStoredPng(png, &w, &h, &rgb, &error));
  EXPECT_NE(error.find("compressed"), std::string::npos) << error;
#else
  GTEST_SKIP() << "this build has no libpng to make a compressed file with";
#endif
}

}  // namespace
