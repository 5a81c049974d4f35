// Posting side of the error, warning and notice channels (QD3DErrors.h has
// the reading side). Safe from any thread; never throws.
#pragma once

#include "platform/q3d/QD3DErrors.h"

namespace q3d {

// Records code as the latest of its channel, and as the first if the channel
// holds nothing yet. Posting kQ3ErrorNone (or the None of a channel) does
// nothing.
void postError(TQ3Error error) noexcept;
void postWarning(TQ3Warning warning) noexcept;
void postNotice(TQ3Notice notice) noexcept;

// Empties all three channels.
void clearPostedCodes() noexcept;

}  // namespace q3d
