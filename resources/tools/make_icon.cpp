// Draws the arrow object's icon, resources/tolvane.tif: a 64 x 64 RGBA TIFF
// (8 bits per sample, unassociated alpha, one uncompressed strip) showing a right-pointing arrow with a notched tail on a transparent
// background. The generated file is kept in the repository, so a build never
// needs this program; run it again only when the pictogram changes:
//
//   g++ -std=c++17 -O2 resources/tools/make_icon.cpp $(pkg-config --cflags --libs libtiff-4) -o /tmp/make_icon
//   /tmp/make_icon resources/tolvane.tif
//
// (from the repository root). The output is the same on every run.
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSize = 64;
constexpr int kSamples = 4;     // sub-samples per axis for smooth edges
constexpr double kBorder = 2.0;  // outline width in pixels

struct Point {
  double x, y;
};

// The arrow, pointing along +x, in pixel coordinates (y downwards).
const std::vector<Point> kArrow = {
    {5, 24},  {36, 24}, {36, 9},  {60, 32}, {36, 55},
    {36, 40}, {5, 40},  {12, 32},
};

bool Inside(const std::vector<Point>& poly, double x, double y) {
  bool in = false;
  for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    const Point& a = poly[i];
    const Point& b = poly[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
  }
  return in;
}

double DistanceToEdge(const std::vector<Point>& poly, double x, double y) {
  double best = 1e9;
  for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    const Point& a = poly[j];
    const Point& b = poly[i];
    double dx = b.x - a.x, dy = b.y - a.y;
    double t = ((x - a.x) * dx + (y - a.y) * dy) / (dx * dx + dy * dy);
    t = std::clamp(t, 0.0, 1.0);
    double px = a.x + t * dx - x, py = a.y + t * dy - y;
    best = std::min(best, std::sqrt(px * px + py * py));
  }
  return best;
}

uint8_t ToByte(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.tif\n", argv[0]);
    return 2;
  }

  // Fill colour: a warm orange getting lighter towards the top; a darker
  // outline of the same hue keeps the shape readable on light backgrounds.
  const double fillTop[3] = {1.00, 0.70, 0.30};
  const double fillBottom[3] = {0.93, 0.45, 0.10};
  const double line[3] = {0.55, 0.22, 0.02};

  std::vector<uint8_t> pixels(static_cast<std::size_t>(kSize) * kSize * 4, 0);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      double cover = 0, edge = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          double px = x + (sx + 0.5) / kSamples;
          double py = y + (sy + 0.5) / kSamples;
          if (!Inside(kArrow, px, py)) continue;
          cover += 1;
          if (DistanceToEdge(kArrow, px, py) < kBorder) edge += 1;
        }
      }
      const double n = kSamples * kSamples;
      double alpha = cover / n;
      if (alpha <= 0) continue;
      double lineShare = edge / cover;
      double t = static_cast<double>(y) / (kSize - 1);
      uint8_t* p = &pixels[(static_cast<std::size_t>(y) * kSize + x) * 4];
      for (int c = 0; c < 3; ++c) {
        double fill = fillTop[c] + (fillBottom[c] - fillTop[c]) * t;
        p[c] = ToByte(fill + (line[c] - fill) * lineShare);
      }
      p[3] = ToByte(alpha);
    }
  }

  TIFF* tif = TIFFOpen(argv[1], "w");
  if (!tif) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }
  const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(kSize));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(kSize));
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(4));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(8));
  TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, static_cast<uint16_t>(1), extra);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, static_cast<uint16_t>(ORIENTATION_TOPLEFT));
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, static_cast<uint16_t>(PLANARCONFIG_CONTIG));
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, static_cast<uint16_t>(PHOTOMETRIC_RGB));
  // Uncompressed, so that hosts without libtiff read it with a baseline reader.
  TIFFSetField(tif, TIFFTAG_COMPRESSION, static_cast<uint16_t>(COMPRESSION_NONE));
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(kSize));

  bool ok = true;
  for (int y = 0; y < kSize && ok; ++y) {
    ok = TIFFWriteScanline(tif, &pixels[static_cast<std::size_t>(y) * kSize * 4],
                           static_cast<uint32_t>(y), 0) == 1;
  }
  TIFFClose(tif);
  if (!ok) {
    std::fprintf(stderr, "writing %s failed\n", argv[1]);
    return 1;
  }
  return 0;
}
