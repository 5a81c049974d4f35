// The library's own module: set when the library is loaded, used to find its
// compiled-in resources (version record, bitmaps).
#pragma once

#include "platform/os/Module.h"

namespace vask {

// This library's module, or null before it was loaded (never in practice).
os::Module* moduleHandle();

}  // namespace vask
