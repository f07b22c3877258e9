// The baseline TIFF reader of hosts built without libtiff.
#include "baseline_tiff.h"

#include <cstddef>

namespace host {
namespace {

// Tags this reader looks at.
enum : uint16_t {
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometric = 262,
  kStripOffsets = 273,
  kOrientation = 274,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kPlanarConfig = 284,
  kPredictor = 317,
  kExtraSamples = 338,
  kSampleFormat = 339
};

class Reader {
 public:
  explicit Reader(const std::string& bytes) : b_(bytes) {}

  bool Header(uint32_t* ifd) {
    if (b_.size() < 8) return false;
    if (b_[0] == 'I' && b_[1] == 'I') {
      big_ = false;
    } else if (b_[0] == 'M' && b_[1] == 'M') {
      big_ = true;
    } else {
      return false;
    }
    uint32_t magic = 0;
    return U16(2, &magic) && magic == 42 && U32(4, ifd);
  }

  bool U16(std::size_t at, uint32_t* v) const {
    if (at > b_.size() || b_.size() - at < 2) return false;
    const uint32_t a = Byte(at), c = Byte(at + 1);
    *v = big_ ? (a << 8 | c) : (c << 8 | a);
    return true;
  }

  bool U32(std::size_t at, uint32_t* v) const {
    uint32_t hi = 0, lo = 0;
    if (!U16(at, big_ ? &hi : &lo) || !U16(at + 2, big_ ? &lo : &hi)) return false;
    *v = hi << 16 | lo;
    return true;
  }

  uint32_t Byte(std::size_t at) const { return static_cast<unsigned char>(b_[at]); }
  std::size_t Size() const { return b_.size(); }

 private:
  const std::string& b_;
  bool big_ = false;
};

// One directory entry: a tag with its unsigned values (BYTE, SHORT or LONG).
struct Field {
  bool present = false;
  std::vector<uint32_t> values;
  uint32_t First(uint32_t preset) const { return present && !values.empty() ? values[0] : preset; }
};

bool ReadField(const Reader& r, std::size_t entry, Field* f, std::string* message) {
  uint32_t type = 0, count = 0;
  if (!r.U16(entry + 2, &type) || !r.U32(entry + 4, &count)) return false;
  uint32_t width = 0;
  switch (type) {
    case 1: width = 1; break;  // BYTE
    case 3: width = 2; break;  // SHORT
    case 4: width = 4; break;  // LONG
    default:
      *message = "a field of type " + std::to_string(type) + " where a number is expected";
      return false;
  }
  if (count > r.Size() / width) {
    *message = "a field with more values than the file has bytes";
    return false;
  }
  std::size_t at = entry + 8;
  if (static_cast<uint64_t>(count) * width > 4) {
    uint32_t offset = 0;
    if (!r.U32(entry + 8, &offset)) return false;
    at = offset;
  }
  if (at > r.Size() || r.Size() - at < static_cast<std::size_t>(count) * width) {
    *message = "field values lie outside the file";
    return false;
  }
  f->present = true;
  f->values.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    const std::size_t p = at + static_cast<std::size_t>(i) * width;
    uint32_t v = 0;
    if (width == 1) v = r.Byte(p);
    if (width == 2) r.U16(p, &v);
    if (width == 4) r.U32(p, &v);
    f->values[i] = v;
  }
  return true;
}

TiffStatus Refuse(std::string* message, const std::string& why) {
  *message = why;
  return TiffStatus::kNotReadable;
}

}  // namespace

TiffStatus DecodeBaselineTiff(const std::string& bytes, uint32_t maxSide, TiffRgba* out,
                              std::string* message) {
  std::string ignored;
  if (message == nullptr) message = &ignored;
  Reader r(bytes);
  uint32_t ifd = 0, entries = 0;
  if (!r.Header(&ifd)) return Refuse(message, "no TIFF header");
  if (!r.U16(ifd, &entries) || entries == 0) return Refuse(message, "the image directory is missing");
  if (static_cast<uint64_t>(ifd) + 2 + 12ull * entries > r.Size())
    return Refuse(message, "the image directory is cut short");

  Field width, length, bits, compression, photometric, offsets, orientation, samples, rows, counts,
      planar, predictor, extra, format;
  const struct {
    uint16_t tag;
    Field* field;
  } wanted[] = {{kImageWidth, &width},        {kImageLength, &length},     {kBitsPerSample, &bits},
                {kCompression, &compression}, {kPhotometric, &photometric}, {kStripOffsets, &offsets},
                {kOrientation, &orientation}, {kSamplesPerPixel, &samples}, {kRowsPerStrip, &rows},
                {kStripByteCounts, &counts},  {kPlanarConfig, &planar},     {kPredictor, &predictor},
                {kExtraSamples, &extra},      {kSampleFormat, &format}};
  for (uint32_t i = 0; i < entries; ++i) {
    const std::size_t entry = ifd + 2 + 12 * static_cast<std::size_t>(i);
    uint32_t tag = 0;
    r.U16(entry, &tag);
    for (const auto& w : wanted) {
      if (w.tag == tag && !ReadField(r, entry, w.field, message)) return TiffStatus::kNotReadable;
    }
  }

  const uint32_t w = width.First(0), h = length.First(0);
  if (!width.present || !length.present) return Refuse(message, "the image has no size");
  const uint32_t spp = samples.First(1);
  if (spp != 3 && spp != 4) return Refuse(message, "only RGB and RGBA images are read");
  if (photometric.First(0) != 2) return Refuse(message, "only RGB images are read");
  for (uint32_t i = 0; i < spp; ++i) {
    const uint32_t b = i < bits.values.size() ? bits.values[i] : (bits.values.empty() ? 1 : bits.values[0]);
    if (b != 8) return Refuse(message, "only 8 bits per sample are read");
  }
  if (compression.First(1) != 1) return Refuse(message, "compressed images are not read (compression " +
                                                             std::to_string(compression.First(1)) + ")");
  if (planar.First(1) != 1) return Refuse(message, "only interleaved samples are read");
  if (predictor.First(1) != 1) return Refuse(message, "predictors are not read");
  if (format.First(1) != 1) return Refuse(message, "only unsigned integer samples are read");
  if (orientation.First(1) != 1) return Refuse(message, "only images stored from the top left are read");
  if (w == 0 || h == 0 || w > maxSide || h > maxSide) {
    *message = "image size " + std::to_string(w) + " x " + std::to_string(h);
    return TiffStatus::kBadSize;
  }

  // The fourth sample: unassociated alpha (2), associated alpha (1, and 0
  // "unspecified", which libtiff takes as associated), or no alpha at all
  // when the file names no extra sample.
  enum { kOpaque, kAssociated, kUnassociated } alpha = kOpaque;
  if (spp == 4 && extra.present && !extra.values.empty()) {
    alpha = extra.values[0] == 2 ? kUnassociated : kAssociated;
    if (extra.values[0] > 2) return Refuse(message, "unknown kind of extra sample");
  }

  const uint32_t perStrip = rows.First(0xFFFFFFFFu) == 0 ? h : rows.First(0xFFFFFFFFu);
  const uint32_t strips = perStrip >= h ? 1 : (h + perStrip - 1) / perStrip;
  if (offsets.values.size() < strips || counts.values.size() < strips) {
    *message = "strip offsets or byte counts are missing";
    return TiffStatus::kBadData;
  }

  out->width = w;
  out->height = h;
  out->rgba.assign(static_cast<std::size_t>(w) * h * 4, 0);
  const std::size_t rowBytes = static_cast<std::size_t>(w) * spp;
  for (uint32_t s = 0; s < strips; ++s) {
    const uint32_t first = s * perStrip;
    const uint32_t count = perStrip >= h - first ? h - first : perStrip;
    const std::size_t need = rowBytes * count;
    const std::size_t at = offsets.values[s];
    if (counts.values[s] < need || at > r.Size() || r.Size() - at < need) {
      *message = "strip " + std::to_string(s) + " is cut short";
      return TiffStatus::kBadData;
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(w) * count; ++i) {
      const std::size_t src = at + i * spp;
      uint8_t* px = &out->rgba[(static_cast<std::size_t>(first) * w + i) * 4];
      const uint32_t a = alpha == kOpaque ? 255 : r.Byte(src + 3);
      for (int c = 0; c < 3; ++c) {
        uint32_t v = r.Byte(src + c);
        if (alpha == kUnassociated) v = (v * a + 127) / 255;  // libtiff's rounding
        px[c] = static_cast<uint8_t>(v);
      }
      px[3] = static_cast<uint8_t>(a);
    }
  }
  return TiffStatus::kOk;
}

}  // namespace host
