// Arrays that _GetData calls hand to callers inside data records (a grid's
// vertices, a box's face sets) and that _EmptyData takes back.
//
// The library remembers what it lent, so that _EmptyData frees only its own
// arrays and knows their true length whatever the record now says. Arrays
// are LargeBuffers, so a grid refilled every frame through get/set/empty
// gets last frame's vertex array back instead of faulting in tens of
// megabytes of fresh pages.
#pragma once

#include <cstddef>

namespace q3d {

// An uninitialised array of at least `bytes` bytes, 16-byte aligned, lent to
// a caller. Throws std::bad_alloc.
void* lendArray(std::size_t bytes);

// Bytes asked for when the array at `array` was lent, or 0 when the library
// did not lend it (or it was already given back).
std::size_t lentBytes(const void* array) noexcept;

// Takes back a lent array; does nothing for any other pointer.
void giveBackArray(void* array) noexcept;

}  // namespace q3d
