// The host's handle suite: the memory behind PF_UtilCallbacks'
// host_new_handle, host_get_handle_size, host_lock_handle, host_unlock_handle,
// host_dispose_handle and host_resize_handle.
//
// A handle is the address of the data-pointer field of a host record
// { void* data; uint64_t size; int32_t locks; ... }: `*handle` is the block.
// Blocks never move while a handle is locked; new blocks are zero-filled.
//
// The callbacks take no context, so the suite is process-wide. It keeps a
// registry of the live records and never dereferences a handle it does not
// know: a lock, unlock, size query, resize or dispose of a disposed or unknown
// handle, and an unlock below zero, are recorded as violations (and printed to
// stderr in debug builds) instead of touching memory. Recently disposed records
// are kept in quarantine so that their addresses are not handed out again,
// which is what lets a use after dispose be named as such.
//
// Thread safety: every function may be called from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/effect_api/EffectApi.h"

namespace vask::host::handles {

// ---- the callbacks ----------------------------------------------------------

// A new unlocked handle of `size` bytes, zero-filled; null when memory runs out
// or a test asked for a failure (failNextNewHandles).
PF_Handle newHandle(uint64_t size);
// The block's size in bytes; 0 (and a violation) for a handle that is not live.
uint64_t size(PF_Handle h);
void lock(PF_Handle h);
void unlock(PF_Handle h);
// Frees the block and the record; disposing a locked handle is allowed.
void dispose(PF_Handle h);
// Gives `*h` a block of `newSize` bytes, keeping the common prefix and zero-
// filling the rest. PF_Err_BAD_CALLBACK_PARAM for a null or dead handle (a
// violation) or a locked one (its block may not move); PF_Err_OUT_OF_MEMORY
// when memory runs out, leaving the handle as it was.
PF_Err resize(uint64_t newSize, PF_Handle* h);

// ---- host-side inspection (no violations recorded) --------------------------

bool isLive(PF_Handle h);
// Current lock count, or -1 when the handle is not live.
int32_t lockCount(PF_Handle h);
// Number of live handles, for leak checks.
std::size_t liveCount();
// The block of a live handle, or an empty span. Valid until the handle is
// resized or disposed.
std::span<std::byte> bytes(PF_Handle h);
// A new handle holding exactly `data` (for sequence data read from a project
// or written by a test); null when memory runs out.
PF_Handle fromBytes(std::span<const std::byte> data);

// ---- violations and test seams ----------------------------------------------

// Messages of the violations recorded since the last clearViolations(), oldest
// first (at most the first 1000 are kept; violationCount() counts all).
std::vector<std::string> violations();
std::size_t violationCount();
void clearViolations();
// Makes `count` calls of newHandle return null, after `skip` calls that
// succeed (count <= 0 clears).
void failNextNewHandles(int count, std::size_t skip = 0);
// Calls of newHandle made so far (a fault sweep counts a scenario's).
std::size_t newHandleCalls();

}  // namespace vask::host::handles
