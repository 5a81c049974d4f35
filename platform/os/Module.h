#pragma once

#include "platform/os/Export.h"

#include <optional>
#include <string>

namespace vask::os {

// A loaded binary: the program or one shared library. Opaque; a Module* is a
// handle valid while that binary stays loaded, and is never freed by callers.
struct Module;

// The module that contains `anyAddressInside` (a function or a static variable
// of that binary), or null when the address lies in no loaded binary (heap,
// stack, null). A plug-in finds its own module from the address of one of its
// own statics:
//     static const char kAnchor = 0;
//     os::Module* self = os::moduleFromAddress(&kAnchor);
// (A helper defined inline in this header could not do it: an inline function's
// statics may be merged across libraries.)
VASK_OS_API Module* moduleFromAddress(const void* anyAddressInside);

// The absolute path of the module's file, or nullopt when `module` is null, is
// not a loaded binary, or its path cannot be found.
VASK_OS_API std::optional<std::string> moduleFileName(Module* module);

namespace testing {

// While on, moduleFileName fails for every module.
VASK_OS_API void failModuleFileName(bool on);

}  // namespace testing
}  // namespace vask::os
