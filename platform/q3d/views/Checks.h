// Small checks shared by the view family's C entry points.
#pragma once

#include <cmath>
#include <cstring>

#include "platform/q3d/QD3D.h"
#include "platform/q3d/core/Errors.h"

namespace q3d::views {

// Enumerations and booleans are read as their bits: a C caller may put any
// value in them, and reading an out-of-range enumerator is not something to
// rely on.
template <class Enum>
TQ3Uns32 bitsOf(const Enum& value) {
    static_assert(sizeof(Enum) == sizeof(TQ3Uns32));
    TQ3Uns32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline bool isBoolean(const TQ3Boolean& value) { return bitsOf(value) <= kQ3True; }

// Posts `error` and returns false, for `return refuse(...)` in checks.
inline bool refuse(TQ3Error error) noexcept {
    postError(error);
    return false;
}

// Posts kQ3ErrorNULLParameter for a null pointer.
inline bool notNull(const void* pointer) noexcept { return pointer != nullptr || refuse(kQ3ErrorNULLParameter); }

inline bool finite(float value) { return std::isfinite(value); }
inline bool finite(const TQ3Point2D& p) { return finite(p.x) && finite(p.y); }
inline bool finite(const TQ3Point3D& p) { return finite(p.x) && finite(p.y) && finite(p.z); }
inline bool finite(const TQ3Vector3D& v) { return finite(v.x) && finite(v.y) && finite(v.z); }

inline TQ3Matrix4x4 identityMatrix() { return TQ3Matrix4x4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}; }

}  // namespace q3d::views
