// The fail-point seam behind Q3Testing_FailCall. Every creation, setter and
// status call of the library starts with
//     if (q3d::failPoint(__func__)) return <its failure value>;
// so tests can make any of them fail with a chosen error.
#pragma once

#include <atomic>
#include <cstddef>

#include "platform/q3d/QD3DErrors.h"

namespace q3d {

namespace detail {
extern std::atomic<std::size_t> gArmedFailures;
bool failPointArmed(const char* function) noexcept;
}  // namespace detail

// True when an armed failure of `function` fires now; the armed error has
// then been posted and the failure disarmed. Costs one load while nothing is
// armed: it sits on every call, a million times per grid refill.
inline bool failPoint(const char* function) noexcept {
    return detail::gArmedFailures.load(std::memory_order_relaxed) != 0 && detail::failPointArmed(function);
}

// Arms a failure of `function` after `skip` normal calls, replacing an earlier
// arming of the same name. Throws std::bad_alloc.
void armFailure(const char* function, TQ3Error error, TQ3Uns32 skip);

// Arms a failure of whichever call comes after `skip` calls (of any
// function), and starts counting calls.
void armNthFailure(TQ3Error error, TQ3Uns32 skip);
// Calls counted since armNthFailure, the failing one included.
TQ3Uns32 countedCalls();

void clearFailures() noexcept;

}  // namespace q3d
