#include "host/PngEncoder.h"

#include <libdeflate.h>

#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "host/PngImage.h"

namespace vask::host {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kFilterSub = 1;

void putBigEndian(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value >> 24);
  out[1] = static_cast<uint8_t>(value >> 16);
  out[2] = static_cast<uint8_t>(value >> 8);
  out[3] = static_cast<uint8_t>(value);
}

// A chunk whose data already sits at `at` + 8: its length, type and CRC
// around it. Returns the byte after it.
uint8_t* closeChunk(uint8_t* at, const char type[4], uint32_t length) {
  putBigEndian(at, length);
  std::memcpy(at + 4, type, 4);
  putBigEndian(at + 8 + length, libdeflate_crc32(0, at + 4, std::size_t{length} + 4));
  return at + 12 + length;
}

// One row: each pixel un-premultiplied (opaque ones, the bulk of a rendered
// frame, need no division) and Sub-filtered, after its filter byte.
void filterRow(const PF_Pixel* in, int32_t width, uint8_t* out) {
  *out++ = kFilterSub;
  uint8_t previous[4] = {0, 0, 0, 0};
  auto one = [&](int32_t x) {
    const PF_Pixel s = in[x].alpha == 255 ? in[x] : unpremultiply(in[x]);
    const uint8_t straight[4] = {s.red, s.green, s.blue, s.alpha};
    for (int k = 0; k < 4; ++k) {
      out[4 * x + k] = static_cast<uint8_t>(straight[k] - previous[k]);
      previous[k] = straight[k];
    }
  };
  int32_t x = 0;
#if defined(__SSE2__)
  // Four opaque pixels a register: alpha is each word's low byte, so
  // rotating the words by one byte gives red, green, blue, alpha; the byte
  // four places back is the same channel of the pixel before.
  const __m128i alphaMask = _mm_set1_epi32(0xFF);
  for (; x + 4 <= width; x += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(v, alphaMask), alphaMask)) != 0xFFFF) {
      for (int32_t k = x; k < x + 4; ++k) one(k);
      continue;
    }
    const __m128i straight = _mm_or_si128(_mm_srli_epi32(v, 8), _mm_slli_epi32(v, 24));
    uint32_t last;
    std::memcpy(&last, previous, 4);
    const __m128i before = _mm_or_si128(_mm_slli_si128(straight, 4), _mm_cvtsi32_si128(static_cast<int>(last)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), _mm_sub_epi8(straight, before));
    const auto word = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(straight, 12)));
    std::memcpy(previous, &word, 4);
  }
#endif
  for (; x < width; ++x) one(x);
}

}  // namespace

PngEncoder::PngEncoder() : compressor_(libdeflate_alloc_compressor(1)) {
  if (compressor_ == nullptr) throw std::bad_alloc();
}

PngEncoder::~PngEncoder() { libdeflate_free_compressor(compressor_); }

std::span<const uint8_t> PngEncoder::encode(const World& world) {
  const auto width = static_cast<std::size_t>(world.width());
  const auto height = static_cast<std::size_t>(world.height());
  const std::size_t stride = 1 + 4 * width;
  filtered_.resize(stride * height);
  const auto* base = reinterpret_cast<const char*>(world.view().data);
  for (std::size_t y = 0; y < height; ++y) {
    filterRow(reinterpret_cast<const PF_Pixel*>(base + static_cast<std::ptrdiff_t>(y) * world.rowbytes()),
              world.width(), filtered_.data() + y * stride);
  }
  // Signature, IHDR (13 bytes of data), IDAT (the stream), IEND.
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor_, filtered_.size());
  // A chunk's length is 31 bits; a picture of at most 16384 × 16384 pixels
  // compresses to well under that.
  if (bound > 0x7FFFFFFF) throw std::bad_alloc();
  file_.resize(sizeof kSignature + 25 + 12 + bound + 12);
  uint8_t* at = file_.data();
  std::memcpy(at, kSignature, sizeof kSignature);
  at += sizeof kSignature;
  uint8_t* header = at + 8;
  putBigEndian(header, static_cast<uint32_t>(width));
  putBigEndian(header + 4, static_cast<uint32_t>(height));
  header[8] = 8;   // bits per channel
  header[9] = 6;   // RGBA
  header[10] = 0;  // deflate
  header[11] = 0;  // adaptive filtering, one filter byte per row
  header[12] = 0;  // not interlaced
  at = closeChunk(at, "IHDR", 13);
  const std::size_t stream =
      libdeflate_zlib_compress(compressor_, filtered_.data(), filtered_.size(), at + 8, bound);
  if (stream == 0) throw std::bad_alloc();  // cannot happen with the bound's room
  at = closeChunk(at, "IDAT", static_cast<uint32_t>(stream));
  at = closeChunk(at, "IEND", 0);
  return {file_.data(), static_cast<std::size_t>(at - file_.data())};
}

}  // namespace vask::host
