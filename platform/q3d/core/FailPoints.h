// The fail-point seam behind Q3Testing_FailCall. Every creation, setter and
// status call of the library starts with
//     if (q3d::failPoint(__func__)) return <its failure value>;
// so tests can make any of them fail with a chosen error.
#pragma once

#include "platform/q3d/QD3DErrors.h"

namespace q3d {

// True when an armed failure of `function` fires now; the armed error has
// then been posted and the failure disarmed. Costs one atomic load while
// nothing is armed.
bool failPoint(const char* function) noexcept;

// Arms a failure of `function` after `skip` normal calls, replacing an earlier
// arming of the same name. Throws std::bad_alloc.
void armFailure(const char* function, TQ3Error error, TQ3Uns32 skip);

void clearFailures() noexcept;

}  // namespace q3d
