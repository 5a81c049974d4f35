// The two layers the Mesh Object reads ("Height Field" and "Texture"): how
// they are checked out of the host, and the checked view of their pixels
// that every loop below works from.
//
// A host world is untrusted input: its numbers are checked once, here, so
// that no loop further down has to trust them again.
#pragma once

#include <cstdint>

#include "platform/effect_api/EffectApi.h"
#include "shell/EffectCall.h"

namespace vask {

// A layer's pixels: 32 bits each, bytes alpha, red, green, blue in memory,
// rows `rowBytes` apart, top row first.
struct LayerImage {
  const unsigned char* data = nullptr;  // null: the layer has no pixels
  int32_t width = 0;   // pixels, as the host reported them (≥ 0, also without pixels)
  int32_t height = 0;  // pixels, likewise
  int64_t rowBytes = 0;  // ≥ width × 4 when there are pixels

  bool hasPixels() const { return data != nullptr; }

  // Image row `y` (0 is the top row), read at its true byte offset.
  // Preconditions: hasPixels(), 0 ≤ y < height.
  const PF_Pixel* row(int32_t y) const {
    return reinterpret_cast<const PF_Pixel*>(data + static_cast<int64_t>(y) * rowBytes);
  }
};

// The checked view of a checked-out layer world.
//  - Null data, or no rows or no columns: no pixels; width and height are
//    kept as reported, since the mesh compares them between frames.
//  - A negative width or height, or rows shorter than width × 4 bytes (a
//    negative rowbytes included): no host hands such a world out, and
//    reading it would leave its memory, so it raises
//    ErrData::host(PF_Err_BAD_CALLBACK_PARAM).
// The pixel memory itself cannot be checked: a world claiming more rows
// than it holds is the host's fault.
LayerImage readLayer(const PF_LayerDef& world);

// One layer parameter, checked out of the host at the call's current time
// for the life of this object. [frame setup]
//
// checkin() gives it back and raises the host's error if that fails; an
// object destroyed still checked out (a failure on the way) checks in
// silently, so the host never sees an unbalanced checkout. Not copyable or
// movable: the host knows the definition by its address.
class CheckedOutLayer {
 public:
  // Raises the host's error when the checkout fails (nothing is then out).
  CheckedOutLayer(EffectCall& call, int32_t index);
  ~CheckedOutLayer();
  CheckedOutLayer(const CheckedOutLayer&) = delete;
  CheckedOutLayer& operator=(const CheckedOutLayer&) = delete;

  // The checked-out world; valid until checkin.
  const PF_LayerDef& world() const { return def_.u.ld; }

  void checkin();

 private:
  EffectCall& call_;
  PF_ParamDef def_{};
  bool out_ = false;
};

}  // namespace vask
