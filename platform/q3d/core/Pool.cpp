#include "platform/q3d/core/Pool.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/q3d/core/LargeBuffer.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define Q3D_POISON(address, bytes) ASAN_POISON_MEMORY_REGION(address, bytes)
#define Q3D_UNPOISON(address, bytes) ASAN_UNPOISON_MEMORY_REGION(address, bytes)
#else
#define Q3D_POISON(address, bytes) ((void)(address), (void)(bytes))
#define Q3D_UNPOISON(address, bytes) ((void)(address), (void)(bytes))
#endif

namespace q3d::pool {
namespace {

using detail::Chunk;
using detail::chunkOf;
using detail::kChunkBytes;
static_assert(kChunkBytes == kHugePageBytes);
constexpr std::size_t kGranule = 8;
constexpr std::size_t kClassCount = kMaxSlotBytes / kGranule;
constexpr std::uint32_t kLargeClass = kClassCount;

constexpr std::size_t kHeaderBytes = (sizeof(Chunk) + 15) / 16 * 16;

struct FreeSlot {
    FreeSlot* next;
};

struct SizeClass {
    FreeSlot* freeList;
    Chunk* current;
    std::uint32_t chunkCount;
};

// Plain data, constant-initialised and never destroyed: plug-ins dispose
// objects from their own static destructors at exit.
struct State {
    SizeClass classes[kClassCount];
    std::uintptr_t* table;  // chunk addresses, sorted
    std::size_t tableSize;
    std::size_t tableCapacity;
    std::uint64_t mappedBytes;
};

constinit State gState{};

void addToTable(std::uintptr_t base) {
    if (gState.tableSize == gState.tableCapacity) {
        const std::size_t capacity = gState.tableCapacity == 0 ? 64 : gState.tableCapacity * 2;
        auto* grown = new std::uintptr_t[capacity];  // throws before anything changes
        std::copy(gState.table, gState.table + gState.tableSize, grown);
        delete[] gState.table;
        gState.table = grown;
        gState.tableCapacity = capacity;
    }
    std::uintptr_t* end = gState.table + gState.tableSize;
    std::uintptr_t* at = std::upper_bound(gState.table, end, base);
    std::copy_backward(at, end, end + 1);
    *at = base;
    ++gState.tableSize;
}

void removeFromTable(std::uintptr_t base) noexcept {
    std::uintptr_t* end = gState.table + gState.tableSize;
    std::uintptr_t* at = std::lower_bound(gState.table, end, base);
    if (at == end || *at != base) return;
    std::copy(at + 1, end, at);
    --gState.tableSize;
    if (detail::gLastChunk.load(std::memory_order_relaxed) == base) {
        detail::gLastChunk.store(detail::kNoChunk, std::memory_order_relaxed);
    }
}

// Maps and registers a chunk of `capacity` slots of slotBytes. Throws
// std::bad_alloc with nothing changed.
Chunk* newChunk(std::uint32_t sizeClass, std::size_t slotBytes, std::size_t bytes, std::uint32_t capacity,
                bool hugePages) {
    std::size_t mapped = 0;
    void* memory = mapPages(bytes, kChunkBytes, hugePages, &mapped);
    const auto base = reinterpret_cast<std::uintptr_t>(memory);
    try {
        addToTable(base);
    } catch (...) {
        unmapPages(memory, mapped);
        throw;
    }
    auto* chunk = new (memory) Chunk{};
    chunk->counts = reinterpret_cast<TQ3Uns32*>(static_cast<std::byte*>(memory) + kHeaderBytes);
    const std::size_t countBytes = (capacity * sizeof(TQ3Uns32) + 15) / 16 * 16;
    chunk->slots = static_cast<std::byte*>(memory) + kHeaderBytes + countBytes;
    chunk->slotBytes = static_cast<std::uint32_t>(slotBytes);
    chunk->reciprocal = static_cast<std::uint32_t>(((std::uint64_t{1} << 32) + slotBytes - 1) / slotBytes);
    chunk->capacity = capacity;
    chunk->used = 0;
    chunk->sizeClass = sizeClass;
    chunk->mappedBytes = mapped;
    Q3D_POISON(chunk->slots, std::size_t{capacity} * slotBytes);
    gState.mappedBytes += mapped;
    return chunk;
}

void* allocateLarge(std::size_t bytes) {
    if (bytes > (std::size_t{1} << 31)) throw std::bad_alloc();
    const std::size_t slotBytes = (bytes + 15) / 16 * 16;
    Chunk* chunk = newChunk(kLargeClass, slotBytes, kHeaderBytes + 16 + slotBytes, 1, false);
    chunk->used = 1;
    Q3D_UNPOISON(chunk->slots, slotBytes);
    return chunk->slots;
}

}  // namespace

void* allocate(std::size_t bytes) {
    if (bytes > kMaxSlotBytes) return allocateLarge(bytes);
    const std::size_t index = bytes == 0 ? 0 : (bytes - 1) / kGranule;
    const std::size_t slotBytes = (index + 1) * kGranule;
    SizeClass& sizeClass = gState.classes[index];
    if (FreeSlot* slot = sizeClass.freeList) {
        Q3D_UNPOISON(slot, slotBytes);
        sizeClass.freeList = slot->next;
        return slot;
    }
    Chunk* chunk = sizeClass.current;
    if (chunk == nullptr || chunk->used == chunk->capacity) {
        const auto capacity =
            static_cast<std::uint32_t>((kChunkBytes - kHeaderBytes - 16) / (slotBytes + sizeof(TQ3Uns32)));
        // A class's first chunk stays on small pages so that a process making
        // few objects does not pin a huge page per size; busy classes get
        // huge pages.
        chunk = newChunk(static_cast<std::uint32_t>(index), slotBytes, kChunkBytes, capacity,
                         sizeClass.chunkCount > 0);
        ++sizeClass.chunkCount;
        sizeClass.current = chunk;
    }
    std::byte* slot = chunk->slots + std::size_t{chunk->used} * slotBytes;
    ++chunk->used;
    Q3D_UNPOISON(slot, slotBytes);
    return slot;
}

void deallocate(void* slot) noexcept {
    Chunk* chunk = chunkOf(slot);
    if (chunk->sizeClass == kLargeClass) {
        const auto base = reinterpret_cast<std::uintptr_t>(chunk);
        removeFromTable(base);
        gState.mappedBytes -= chunk->mappedBytes;
        unmapPages(chunk, chunk->mappedBytes);
        return;
    }
    countOf(slot) = 0;
    SizeClass& sizeClass = gState.classes[chunk->sizeClass];
    auto* free = static_cast<FreeSlot*>(slot);
    free->next = sizeClass.freeList;
    sizeClass.freeList = free;
    Q3D_POISON(slot, chunk->slotBytes);
}

std::uint64_t mappedBytes() noexcept { return gState.mappedBytes; }

void releaseAll() noexcept {
    for (std::size_t i = 0; i < gState.tableSize; ++i) {
        auto* chunk = reinterpret_cast<Chunk*>(gState.table[i]);
        const std::size_t mapped = chunk->mappedBytes;
        // The next chunks may be mapped at these addresses with another
        // layout: nothing of this one's poisoning may stay behind.
        Q3D_UNPOISON(chunk, mapped);
        unmapPages(chunk, mapped);
    }
    delete[] gState.table;
    gState = State{};
    detail::gLastChunk.store(detail::kNoChunk, std::memory_order_relaxed);
}

namespace detail {

constinit std::atomic<std::uintptr_t> gLastChunk{kNoChunk};

bool isListedChunk(std::uintptr_t base) noexcept {
    const std::uintptr_t* begin = gState.table;
    const std::uintptr_t* end = begin + gState.tableSize;
    const std::uintptr_t* at = std::lower_bound(begin, end, base);
    if (at == end || *at != base) return false;
    gLastChunk.store(base, std::memory_order_relaxed);
    return true;
}

}  // namespace detail
}  // namespace q3d::pool
