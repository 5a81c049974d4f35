// Worlds: the host's owning images, and the copy callback's work.
//
// A World owns width × height pixels of 32-bit alpha-red-green-blue, rows
// `rowbytes` apart; rowbytes may exceed width × 4 so that code reading worlds
// is tested against padded rows. view() is the PF_EffectWorld a plug-in sees.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include "platform/effect_api/EffectApi.h"

// PF_Pixel is a C struct of the host interface; these live in the global
// namespace so that argument-dependent lookup (and GoogleTest) finds them.
inline bool operator==(const PF_Pixel& a, const PF_Pixel& b) {
  return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}
std::ostream& operator<<(std::ostream& os, const PF_Pixel& p);  // "argb(a, r, g, b)"

namespace vask::host {

class World {
 public:
  // Largest width or height: a copy rectangle holds 16-bit coordinates.
  static constexpr int32_t kMaxSide = 32767;
  // Value of every padding byte at the end of a row, so tests can see writes
  // past a row's pixels.
  static constexpr std::byte kPaddingByte{0xCD};

  // A width × height world (0 ≤ each ≤ kMaxSide) of transparent black pixels,
  // with `rowPadding` (0 … 4096) extra bytes after each row. Throws HostError
  // for sizes out of range.
  explicit World(int32_t width = 0, int32_t height = 0, int32_t rowPadding = 0);
  World(const World& other);
  World& operator=(const World& other);
  World(World&& other) noexcept;
  World& operator=(World&& other) noexcept;
  ~World() = default;

  int32_t width() const { return view_.width; }
  int32_t height() const { return view_.height; }
  int32_t rowbytes() const { return view_.rowbytes; }

  // The world as the host interface describes it; data is null for a 0-pixel
  // world. The pointer and the view's data stay valid until this World is
  // assigned to, moved from or destroyed.
  PF_EffectWorld* view() { return &view_; }
  const PF_EffectWorld& view() const { return view_; }

  // The pixel at column x, row y. Throws std::out_of_range outside the world.
  PF_Pixel& at(int32_t x, int32_t y);
  const PF_Pixel& at(int32_t x, int32_t y) const;
  void fill(PF_Pixel p);
  // True when no byte after a row's pixels was written.
  bool paddingIntact() const;

 private:
  void repoint();
  void makeEmpty();

  std::vector<std::byte> bytes_;
  PF_EffectWorld view_{};
};

// The work of the copy callback: copies srcRect of src onto dstRect of dst,
// rectangles as top, left, bottom, right (bottom and right exclusive); a null
// rectangle means the whole world. When the rectangles differ in size the
// source is scaled, nearest neighbour (each destination pixel takes the source
// pixel under its centre). Only pixels inside both worlds are read and
// written: destination pixels outside dst are skipped, and those whose source
// pixel falls outside src are left as they were. src and dst may share pixels.
// Returns PF_Err_BAD_CALLBACK_PARAM, touching nothing, for a null world, a
// world with negative size or rowbytes below width × 4, a world with pixels
// but no data, or a rectangle with bottom < top or right < left.
PF_Err copyWorld(const PF_EffectWorld* src, PF_EffectWorld* dst, const PF_Rect* srcRect,
                 const PF_Rect* dstRect);

}  // namespace vask::host
