// The flat form of the Mesh Object's and the lights' sequence records: one
// int32 holding 1. Nothing of the live record survives flattening; a re-setup
// starts from defaults and the parameters give everything that matters.
#pragma once

#include <cstdint>

#include "shell/EffectCall.h"

namespace vask::flatMarker {

inline constexpr uint64_t kSize = 4;

inline uint64_t flatSize(const void*) { return kSize; }
// The flag was written by the shell; there is nothing else to keep.
inline void fillFlat(EffectCall&, void*, void*) {}
inline uint64_t heldFlatSize(const void*, uint64_t) { return kSize; }
inline void unflatten(EffectCall&, void*, const void*, uint64_t) {}

}  // namespace vask::flatMarker
