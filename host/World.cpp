#include "host/World.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "host/HostError.h"

std::ostream& operator<<(std::ostream& os, const PF_Pixel& p) {
  return os << "argb(" << int{p.alpha} << ", " << int{p.red} << ", " << int{p.green} << ", "
            << int{p.blue} << ")";
}

namespace vask::host {

World::World(int32_t width, int32_t height, int32_t rowPadding) {
  if (width < 0 || width > kMaxSide || height < 0 || height > kMaxSide) {
    throw HostError("world size " + std::to_string(width) + " x " + std::to_string(height) +
                    " is outside 0 … " + std::to_string(kMaxSide));
  }
  if (rowPadding < 0 || rowPadding > 4096) {
    throw HostError("world row padding " + std::to_string(rowPadding) + " is outside 0 … 4096");
  }
  view_.width = width;
  view_.height = height;
  view_.rowbytes = width * 4 + rowPadding;
  view_.extent_hint = PF_LRect{0, 0, width, height};
  view_.pix_aspect_ratio = PF_RationalScale{1, 1};
  bytes_.assign(static_cast<std::size_t>(view_.rowbytes) * static_cast<std::size_t>(height),
                std::byte{0});
  for (int32_t y = 0; y < height; ++y) {
    auto row = bytes_.begin() + static_cast<std::ptrdiff_t>(y) * view_.rowbytes;
    std::fill(row + width * 4, row + view_.rowbytes, kPaddingByte);
  }
  repoint();
}

World::World(const World& other) : bytes_(other.bytes_), view_(other.view_) { repoint(); }

World& World::operator=(const World& other) {
  if (this != &other) {
    bytes_ = other.bytes_;
    view_ = other.view_;
    repoint();
  }
  return *this;
}

World::World(World&& other) noexcept : bytes_(std::move(other.bytes_)), view_(other.view_) {
  repoint();
  other.makeEmpty();
}

World& World::operator=(World&& other) noexcept {
  if (this != &other) {
    bytes_ = std::move(other.bytes_);
    view_ = other.view_;
    repoint();
    other.makeEmpty();
  }
  return *this;
}

void World::makeEmpty() {
  bytes_.clear();
  view_ = PF_EffectWorld{};
  view_.pix_aspect_ratio = PF_RationalScale{1, 1};
}

void World::repoint() {
  view_.data = bytes_.empty() ? nullptr : reinterpret_cast<PF_Pixel*>(bytes_.data());
}

PF_Pixel& World::at(int32_t x, int32_t y) {
  return const_cast<PF_Pixel&>(static_cast<const World&>(*this).at(x, y));
}

const PF_Pixel& World::at(int32_t x, int32_t y) const {
  if (x < 0 || x >= width() || y < 0 || y >= height()) {
    throw std::out_of_range("pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                            ") outside a " + std::to_string(width()) + " x " +
                            std::to_string(height()) + " world");
  }
  const std::byte* p = bytes_.data() + static_cast<std::size_t>(y) * rowbytes() + x * 4;
  return *reinterpret_cast<const PF_Pixel*>(p);
}

void World::fill(PF_Pixel p) {
  for (int32_t y = 0; y < height(); ++y) {
    std::fill_n(reinterpret_cast<PF_Pixel*>(bytes_.data() + static_cast<std::size_t>(y) * rowbytes()),
                width(), p);
  }
}

bool World::paddingIntact() const {
  for (int32_t y = 0; y < height(); ++y) {
    auto row = bytes_.begin() + static_cast<std::ptrdiff_t>(y) * rowbytes();
    if (!std::all_of(row + width() * 4, row + rowbytes(),
                     [](std::byte b) { return b == kPaddingByte; })) {
      return false;
    }
  }
  return true;
}

namespace {

bool validWorld(const PF_EffectWorld* w) {
  if (!w || w->width < 0 || w->height < 0) return false;
  if (int64_t{w->rowbytes} < int64_t{w->width} * 4) return false;
  return w->data || w->width == 0 || w->height == 0;
}

struct Span {
  int32_t begin, size;  // begin may be negative; size >= 0
};

bool rectSpans(const PF_Rect* r, const PF_EffectWorld* w, Span& x, Span& y) {
  if (!r) {
    x = {0, w->width};
    y = {0, w->height};
    return true;
  }
  if (r->bottom < r->top || r->right < r->left) return false;
  x = {r->left, r->right - r->left};
  y = {r->top, r->bottom - r->top};
  return true;
}

// Source coordinate under the centre of destination pixel i of a span of n
// pixels mapped onto m source pixels starting at `from`.
int32_t sample(int32_t i, int32_t n, int32_t m, int32_t from) {
  return from + static_cast<int32_t>((2 * int64_t{i} + 1) * m / (2 * int64_t{n}));
}

const std::byte* rowOf(const PF_EffectWorld* w, const std::byte* base, int32_t y) {
  return base + static_cast<std::ptrdiff_t>(y) * w->rowbytes;
}

}  // namespace

PF_Err copyWorld(const PF_EffectWorld* src, PF_EffectWorld* dst, const PF_Rect* srcRect,
                 const PF_Rect* dstRect) {
  if (!validWorld(src) || !validWorld(dst)) return PF_Err_BAD_CALLBACK_PARAM;
  Span sx{}, sy{}, dx{}, dy{};
  if (!rectSpans(srcRect, src, sx, sy) || !rectSpans(dstRect, dst, dx, dy)) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (sx.size == 0 || sy.size == 0 || dx.size == 0 || dy.size == 0) return PF_Err_NONE;

  const int32_t x0 = std::max(dx.begin, 0), x1 = std::min(dx.begin + dx.size, dst->width);
  const int32_t y0 = std::max(dy.begin, 0), y1 = std::min(dy.begin + dy.size, dst->height);
  if (x0 >= x1 || y0 >= y1) return PF_Err_NONE;

  // Reading from a copy when the two worlds share memory keeps a scaled or
  // shifted copy from reading pixels it has already written.
  const auto* srcBase = reinterpret_cast<const std::byte*>(src->data);
  const auto* srcEnd = srcBase + static_cast<std::ptrdiff_t>(src->height) * src->rowbytes;
  auto* dstBase = reinterpret_cast<std::byte*>(dst->data);
  const auto* dstEnd = dstBase + static_cast<std::ptrdiff_t>(dst->height) * dst->rowbytes;
  std::vector<std::byte> snapshot;
  if (srcBase < dstEnd && dstBase < srcEnd) {
    snapshot.assign(srcBase, srcEnd);
    srcBase = snapshot.data();
  }

  std::vector<int32_t> columns(static_cast<std::size_t>(x1 - x0));
  for (int32_t x = x0; x < x1; ++x)
    columns[x - x0] = sample(x - dx.begin, dx.size, sx.size, sx.begin);

  for (int32_t y = y0; y < y1; ++y) {
    const int32_t from = sample(y - dy.begin, dy.size, sy.size, sy.begin);
    if (from < 0 || from >= src->height) continue;
    const std::byte* in = rowOf(src, srcBase, from);
    std::byte* out = dstBase + static_cast<std::ptrdiff_t>(y) * dst->rowbytes;
    for (int32_t x = x0; x < x1; ++x) {
      const int32_t c = columns[x - x0];
      if (c < 0 || c >= src->width) continue;
      std::memcpy(out + x * 4, in + c * 4, 4);
    }
  }
  return PF_Err_NONE;
}

}  // namespace vask::host
