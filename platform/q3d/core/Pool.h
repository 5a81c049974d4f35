// The object pool: where every Object lives, and how a handle from outside is
// checked without trusting it.
//
// Objects are carved from 2 MiB chunks, each aligned to its size and holding
// slots of one size class (8-byte steps up to kMaxSlotBytes); a larger object
// gets a chunk of its own. A chunk starts with a header, then one 32-bit
// reference count per slot, then the slots. Counts live apart from the
// objects so that reference traffic over many objects (a grid's million
// attribute sets) touches 4 dense bytes per object instead of a cache line.
//
// A slot whose count is 0 is not a live object: it is free, being built or
// being destroyed. Small chunks are never returned to the system, so a stale
// handle still points into mapped pool memory; a large chunk leaves the chunk
// table before it is unmapped. Either way findLive() rejects it by looking
// only at the table and the counts, never at the candidate's own bytes.
//
// A disposed slot is reused by the next object of its size class, after
// which an old handle to it names the new object: as with any pointer
// handle, callers must not keep using a disposed handle.
//
// Single-threaded (QD3D.h): no locks. Lookups alone (findLive and friends)
// may run on several threads at once while nothing allocates or frees.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/q3d/QD3D.h"

namespace q3d::pool {

// Largest object served from a shared chunk.
inline constexpr std::size_t kMaxSlotBytes = 512;

// Memory for one object of `bytes` bytes, 8-byte aligned, with count 0.
// Throws std::bad_alloc.
void* allocate(std::size_t bytes);

// Returns a slot from allocate() to its size class. Precondition: its count
// is 0 (it is not live).
void deallocate(void* slot) noexcept;

// The reference count of the slot. Precondition: slot came from allocate()
// and has not been deallocated.
inline TQ3Uns32& countOf(const void* slot) noexcept;

// The reference count of the live object at `candidate`, or nullptr when
// `candidate` is not the start of a slot whose count is above 0. Safe on
// any value: it reads only the chunk table and the headers and counts of
// chunks the table lists.
inline TQ3Uns32* findLiveCount(const void* candidate) noexcept;

// `candidate` itself when findLiveCount() accepts it, else nullptr.
inline void* findLive(const void* candidate) noexcept {
    return findLiveCount(candidate) != nullptr ? const_cast<void*>(candidate) : nullptr;
}

// Whether `candidate` is the start of a slot, in use or free. Safe on any
// value.
inline bool isSlotStart(const void* candidate) noexcept;

// Bytes mapped for chunks, small and large, headers and counts included.
std::uint64_t mappedBytes() noexcept;

// Unmaps every chunk and forgets them all: the pool starts again empty.
// Precondition: no slot is in use (no object is live). A handle that named
// a slot is then refused like any other unknown value.
void releaseAll() noexcept;

namespace detail {

inline constexpr std::uintptr_t kChunkBytes = std::uintptr_t{2} << 20;

// At the start of every chunk, which is aligned to kChunkBytes. A large
// chunk has one slot.
struct Chunk {
    std::byte* slots;
    TQ3Uns32* counts;
    std::uint32_t slotBytes;
    // ceil(2^32 / slotBytes): offset × reciprocal >> 32 is offset / slotBytes
    // for every offset inside a chunk, without a division.
    std::uint32_t reciprocal;
    std::uint32_t capacity;
    std::uint32_t used;  // slots handed out at least once; the rest is untouched
    std::uint32_t sizeClass;
    std::size_t mappedBytes;
};

inline Chunk* chunkOf(const void* address) noexcept {
    return reinterpret_cast<Chunk*>(reinterpret_cast<std::uintptr_t>(address) & ~(kChunkBytes - 1));
}

inline std::uint32_t slotIndexAt(const Chunk& chunk, std::uint32_t offset) noexcept {
    return static_cast<std::uint32_t>((std::uint64_t{offset} * chunk.reciprocal) >> 32);
}

// The chunk the table vouched for most recently: objects used together
// mostly share a chunk, so most lookups stop here. kNoChunk, which no
// chunk-aligned address equals, while there is none. Atomic (relaxed: plain
// moves) so that readers on several threads may look handles up at once
// while nothing changes the pool.
inline constexpr std::uintptr_t kNoChunk = 1;
extern std::atomic<std::uintptr_t> gLastChunk;

// Whether the table lists a chunk at `base`; remembers it when so.
bool isListedChunk(std::uintptr_t base) noexcept;

}  // namespace detail

inline TQ3Uns32& countOf(const void* slot) noexcept {
    detail::Chunk* chunk = detail::chunkOf(slot);
    const auto offset = static_cast<std::uint32_t>(static_cast<const std::byte*>(slot) - chunk->slots);
    return chunk->counts[detail::slotIndexAt(*chunk, offset)];
}

namespace detail {

// The chunk holding the slot that starts at `candidate`, with the slot's
// index, or nullptr when `candidate` starts no slot.
inline const Chunk* slotAt(const void* candidate, std::uint32_t& index) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(candidate);
    const std::uintptr_t base = address & ~(kChunkBytes - 1);
    if (base != gLastChunk.load(std::memory_order_relaxed) && !isListedChunk(base)) return nullptr;
    const auto* chunk = reinterpret_cast<const Chunk*>(base);
    const auto slots = reinterpret_cast<std::uintptr_t>(chunk->slots);
    if (address < slots || address - slots >= std::uintptr_t{chunk->used} * chunk->slotBytes) return nullptr;
    const auto offset = static_cast<std::uint32_t>(address - slots);
    index = slotIndexAt(*chunk, offset);
    return index * chunk->slotBytes == offset ? chunk : nullptr;
}

}  // namespace detail

inline TQ3Uns32* findLiveCount(const void* candidate) noexcept {
    std::uint32_t index = 0;
    const detail::Chunk* chunk = detail::slotAt(candidate, index);
    if (chunk == nullptr || chunk->counts[index] == 0) return nullptr;
    return &chunk->counts[index];
}

// findLiveCount() for a run of candidates that mostly share chunks (the sets
// of a grid): it keeps the last chunk's numbers at hand instead of
// reloading them for every candidate. Call reset() after making or
// destroying an object, which may change or unmap a chunk.
class CountCursor {
public:
    TQ3Uns32* liveCount(const void* candidate) noexcept {
        const auto address = reinterpret_cast<std::uintptr_t>(candidate);
        const std::uintptr_t base = address & ~(detail::kChunkBytes - 1);
        if (base != base_ && !enter(base)) return nullptr;
        const std::uintptr_t offset = address - slots_;
        if (address < slots_ || offset >= limit_) return nullptr;
        const auto index = static_cast<std::uint32_t>((offset * reciprocal_) >> 32);
        if (std::uintptr_t{index} * slotBytes_ != offset || counts_[index] == 0) return nullptr;
        return &counts_[index];
    }
    void reset() noexcept { base_ = detail::kNoChunk; }

private:
    bool enter(std::uintptr_t base) noexcept {
        if (base != detail::gLastChunk.load(std::memory_order_relaxed) && !detail::isListedChunk(base)) return false;
        const auto* chunk = reinterpret_cast<const detail::Chunk*>(base);
        base_ = base;
        slots_ = reinterpret_cast<std::uintptr_t>(chunk->slots);
        limit_ = std::uintptr_t{chunk->used} * chunk->slotBytes;
        reciprocal_ = chunk->reciprocal;
        slotBytes_ = chunk->slotBytes;
        counts_ = chunk->counts;
        return true;
    }

    std::uintptr_t base_ = detail::kNoChunk;
    std::uintptr_t slots_ = 0;
    std::uintptr_t limit_ = 0;
    std::uint64_t reciprocal_ = 0;
    std::uint64_t slotBytes_ = 0;
    TQ3Uns32* counts_ = nullptr;
};

inline bool isSlotStart(const void* candidate) noexcept {
    std::uint32_t index = 0;
    return detail::slotAt(candidate, index) != nullptr;
}

}  // namespace q3d::pool
