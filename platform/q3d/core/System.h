// Initialisation count and reported version, behind Q3Initialize, Q3Exit,
// Q3IsInitialized and Q3GetVersion.
#pragma once

#include "platform/q3d/QD3D.h"

namespace q3d {

// True while the library is initialised; otherwise posts
// kQ3ErrorNotInitialized and returns false.
bool requireInitialized() noexcept;

void setReportedVersion(TQ3Uns32 major, TQ3Uns32 minor) noexcept;
void restoreReportedVersion() noexcept;

}  // namespace q3d
