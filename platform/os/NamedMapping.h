#pragma once

#include "platform/os/Export.h"

#include <cstddef>
#include <iosfwd>
#include <string_view>

namespace vask::os {

// Outcome of openNamedMapping.
struct MappingResult {
    void* address = nullptr;      // start of the mapping (page aligned), or null on failure
    bool alreadyExisted = false;  // true when the name was already open in this process
    int error = 0;                // 0 on success, an errno value otherwise
};

VASK_OS_API std::ostream& operator<<(std::ostream& out, const MappingResult& result);

// Opens the process-wide shared memory block called `name`, creating it when the
// name is new.
//
// - A new block is `size` bytes of zero-filled, readable and writable memory.
// - A later call with the same name returns the same address with
//   alreadyExisted = true and leaves the contents alone; `size` must equal the
//   size the block was created with, otherwise the call fails with EINVAL.
// - An empty name or a size of 0 fails with EINVAL; a block the system cannot
//   provide fails with the errno of the failed allocation (ENOMEM, ...).
//
// Ownership: the block belongs to the process. It is never unmapped and lives
// until the process ends, so the address stays valid after every plug-in
// library that opened it is unloaded. Blocks live in no file system: they join
// the plug-ins of one process, never two processes.
// Thread-safe.
VASK_OS_API MappingResult openNamedMapping(std::string_view name, std::size_t size);

namespace testing {

// Makes the next openNamedMapping call, whatever its name, fail with `error`
// (an errno value) without touching the table; 0 cancels a pending failure.
VASK_OS_API void failNextMapping(int error);

// Forgets the block called `name` and unmaps it, so that a test can start again
// from a new block. Every address handed out for it becomes invalid.
// Returns false when no such block is open.
VASK_OS_API bool dropNamedMapping(std::string_view name);

}  // namespace testing
}  // namespace vask::os
