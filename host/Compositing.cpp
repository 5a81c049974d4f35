#include "host/Compositing.h"

#include <algorithm>
#include <cmath>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vask::host {
namespace {

uint8_t blend(uint32_t top, uint32_t bottom, uint32_t topAlpha) {
  const uint32_t v = top + (bottom * (255 - topAlpha) + 127) / 255;
  return static_cast<uint8_t>(v > 255 ? 255 : v);
}

// The weights of one axis: for every output position, the source positions it
// reads and how much of each.
struct Taps {
  std::vector<int32_t> first;    // per output: first source index
  std::vector<int32_t> count;    // per output: number of taps
  std::vector<float> weights;    // per output: `count` weights summing to 1, concatenated
  std::vector<std::size_t> at;   // per output: offset into weights
};

Taps taps(int32_t from, int32_t to) {
  Taps t;
  const double scale = static_cast<double>(from) / to;
  const double radius = std::max(1.0, scale);
  for (int32_t i = 0; i < to; ++i) {
    const double centre = (i + 0.5) * scale - 0.5;
    auto lo = static_cast<int32_t>(std::floor(centre - radius)) + 1;
    auto hi = static_cast<int32_t>(std::ceil(centre + radius)) - 1;
    lo = std::max(lo, 0);
    hi = std::min(hi, from - 1);
    t.first.push_back(lo);
    t.at.push_back(t.weights.size());
    double sum = 0;
    std::vector<double> w;
    for (int32_t s = lo; s <= hi; ++s) {
      const double v = std::max(0.0, 1.0 - std::abs(s - centre) / radius);
      w.push_back(v);
      sum += v;
    }
    if (sum <= 0) {  // only at the very edge: take the nearest source pixel
      const auto nearest = std::clamp(static_cast<int32_t>(std::lround(centre)), 0, from - 1);
      t.first.back() = nearest;
      w.assign(1, 1.0);
      sum = 1;
    }
    for (double v : w) t.weights.push_back(static_cast<float>(v / sum));
    t.count.push_back(static_cast<int32_t>(w.size()));
  }
  return t;
}

}  // namespace

PF_Pixel over(PF_Pixel top, PF_Pixel bottom) {
  return PF_Pixel{blend(top.alpha, bottom.alpha, top.alpha), blend(top.red, bottom.red, top.alpha),
                  blend(top.green, bottom.green, top.alpha), blend(top.blue, bottom.blue, top.alpha)};
}

void compositeOver(World& target, const World& layer, int32_t x, int32_t y) {
  const int32_t x0 = std::max(0, x), x1 = std::min(target.width(), x + layer.width());
  const int32_t y0 = std::max(0, y), y1 = std::min(target.height(), y + layer.height());
  if (x0 >= x1) return;
  for (int32_t ty = y0; ty < y1; ++ty) {
    PF_Pixel* dst = &target.at(x0, ty);
    const PF_Pixel* src = &layer.at(x0 - x, ty - y);
    // Over an opaque top gives the top, over an empty one the bottom: most
    // pixels of a frame take one of these two ways.
    auto one = [&](int32_t i) {
      if (src[i].alpha == 255) {
        dst[i] = src[i];
      } else if (src[i].alpha != 0 || src[i].red != 0 || src[i].green != 0 || src[i].blue != 0) {
        dst[i] = over(src[i], dst[i]);
      }
    };
    int32_t i = 0;
#if defined(__SSE2__)
    // Four at a time: all opaque (alpha is each word's low byte) or all
    // empty, as most runs of a rendered layer are, take one step.
    const __m128i alphaMask = _mm_set1_epi32(0xFF);
    for (; i + 4 <= x1 - x0; i += 4) {
      const __m128i top = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(top, alphaMask), alphaMask)) == 0xFFFF) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), top);
      } else if (_mm_movemask_epi8(_mm_cmpeq_epi32(top, _mm_setzero_si128())) != 0xFFFF) {
        for (int32_t k = i; k < i + 4; ++k) one(k);
      }
    }
#endif
    for (; i < x1 - x0; ++i) one(i);
  }
}

World resample(const World& source, int32_t width, int32_t height) {
  if (width == source.width() && height == source.height()) return source;
  World out(width, height);
  if (source.width() == 0 || source.height() == 0 || width == 0 || height == 0) return out;
  const Taps tx = taps(source.width(), width);
  const Taps ty = taps(source.height(), height);

  // Horizontal pass into floats (4 channels per pixel), then vertical.
  std::vector<float> rows(static_cast<std::size_t>(width) * source.height() * 4);
  for (int32_t y = 0; y < source.height(); ++y) {
    float* row = &rows[static_cast<std::size_t>(y) * width * 4];
    for (int32_t x = 0; x < width; ++x) {
      float acc[4] = {0, 0, 0, 0};
      const float* w = &tx.weights[tx.at[x]];
      for (int32_t k = 0; k < tx.count[x]; ++k) {
        const PF_Pixel& p = source.at(tx.first[x] + k, y);
        acc[0] += w[k] * p.alpha;
        acc[1] += w[k] * p.red;
        acc[2] += w[k] * p.green;
        acc[3] += w[k] * p.blue;
      }
      std::copy(acc, acc + 4, row + x * 4);
    }
  }
  auto toByte = [](float v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
  for (int32_t y = 0; y < height; ++y) {
    const float* w = &ty.weights[ty.at[y]];
    for (int32_t x = 0; x < width; ++x) {
      float acc[4] = {0, 0, 0, 0};
      for (int32_t k = 0; k < ty.count[y]; ++k) {
        const float* p = &rows[(static_cast<std::size_t>(ty.first[y] + k) * width + x) * 4];
        for (int c = 0; c < 4; ++c) acc[c] += w[k] * p[c];
      }
      PF_Pixel px{toByte(acc[0]), toByte(acc[1]), toByte(acc[2]), toByte(acc[3])};
      // Rounding must not leave a colour channel above its alpha.
      px.red = std::min(px.red, px.alpha);
      px.green = std::min(px.green, px.alpha);
      px.blue = std::min(px.blue, px.alpha);
      out.at(x, y) = px;
    }
  }
  return out;
}

}  // namespace vask::host
