#pragma once

// libvask_os is built with hidden visibility: only declarations marked
// VASK_OS_API are exported. Every plug-in links the same copy of the library,
// so its process-wide state (mappings, resources, the installed desktop) is one
// per process.
#define VASK_OS_API __attribute__((visibility("default")))
