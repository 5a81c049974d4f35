// Initialisation count and reported version, behind Q3Initialize, Q3Exit,
// Q3IsInitialized and Q3GetVersion.
#pragma once

#include <atomic>

#include "platform/q3d/QD3D.h"
#include "platform/q3d/core/Errors.h"

namespace q3d {

namespace detail {
// Every object creation reads it: a plain global, no lock.
extern std::atomic<TQ3Uns32> gInitCount;
}  // namespace detail

// True while the library is initialised; otherwise posts
// kQ3ErrorNotInitialized and returns false.
inline bool requireInitialized() noexcept {
    if (detail::gInitCount.load(std::memory_order_relaxed) > 0) return true;
    postError(kQ3ErrorNotInitialized);
    return false;
}

void setReportedVersion(TQ3Uns32 major, TQ3Uns32 minor) noexcept;
void restoreReportedVersion() noexcept;

}  // namespace q3d
