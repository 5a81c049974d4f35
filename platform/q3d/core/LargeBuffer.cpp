#include "platform/q3d/core/LargeBuffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <new>

namespace q3d {
namespace {

// Below this a block comes from the heap. Under AddressSanitizer every block
// does, so that overruns of grid arrays are caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kMapThreshold = SIZE_MAX;
#else
constexpr std::size_t kMapThreshold = std::size_t{1} << 20;
#endif

// Freed mapped blocks kept for reuse, oldest first. A block serves a request
// of at least half its size, so a kept block never wastes more than it holds.
constexpr std::size_t kKeptBlocks = 4;

struct KeptBlock {
    void* data;
    std::size_t size;
};

struct Keep {
    KeptBlock blocks[kKeptBlocks];
    std::size_t count;
};

constinit Keep gKeep{};
std::uint64_t gHeldBytes = 0;  // live buffers and kept blocks

// A kept block for `bytes`, or {nullptr, 0}.
KeptBlock takeKept(std::size_t bytes) {
    std::size_t best = kKeptBlocks;
    for (std::size_t i = 0; i < gKeep.count; ++i) {
        const std::size_t size = gKeep.blocks[i].size;
        if (size >= bytes && size / 2 <= bytes && (best == kKeptBlocks || size < gKeep.blocks[best].size)) best = i;
    }
    if (best == kKeptBlocks) return {nullptr, 0};
    const KeptBlock block = gKeep.blocks[best];
    std::copy(gKeep.blocks + best + 1, gKeep.blocks + gKeep.count, gKeep.blocks + best);
    --gKeep.count;
    return block;
}

void keep(void* data, std::size_t size) noexcept {
    if (gKeep.count == kKeptBlocks) {
        unmapPages(gKeep.blocks[0].data, gKeep.blocks[0].size);
        gHeldBytes -= gKeep.blocks[0].size;
        std::copy(gKeep.blocks + 1, gKeep.blocks + kKeptBlocks, gKeep.blocks);
        --gKeep.count;
    }
    gKeep.blocks[gKeep.count++] = {data, size};
}

std::size_t pageBytes() {
    static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return page;
}

}  // namespace

void* mapPages(std::size_t bytes, std::size_t alignment, bool hugePages, std::size_t* mapped) {
    const std::size_t page = pageBytes();
    if (alignment < page) alignment = page;
    if (bytes > SIZE_MAX - alignment - page) throw std::bad_alloc();
    const std::size_t length = (bytes + page - 1) / page * page;
    // Over-map by the alignment, then trim both ends to the aligned block.
    const std::size_t span = length + alignment;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + alignment - 1) & ~(std::uintptr_t{alignment} - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const std::uintptr_t tail = aligned + length;
    if (start + span > tail) munmap(reinterpret_cast<void*>(tail), start + span - tail);
    // Only advice: a kernel without huge pages gives small ones.
    if (hugePages) madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    *mapped = length;
    return reinterpret_cast<void*>(aligned);
}

void unmapPages(void* start, std::size_t mapped) noexcept { munmap(start, mapped); }

LargeBuffer::LargeBuffer(std::size_t bytes) {
    if (bytes == 0) return;
    if (bytes >= kMapThreshold) {
        mapped_ = true;
        const KeptBlock kept = takeKept(bytes);
        if (kept.data != nullptr) {
            data_ = kept.data;
            size_ = kept.size;
            return;  // already counted
        }
        data_ = mapPages(bytes, kHugePageBytes, true, &size_);
    } else {
        data_ = ::operator new(bytes, std::align_val_t{16});
        size_ = bytes;
    }
    gHeldBytes += size_;
}

LargeBuffer::~LargeBuffer() {
    if (data_ == nullptr) return;
    if (mapped_) {
        keep(data_, size_);
    } else {
        gHeldBytes -= size_;
        ::operator delete(data_, std::align_val_t{16});
    }
}

std::uint64_t LargeBuffer::heldBytes() noexcept { return gHeldBytes; }

void LargeBuffer::releaseKept() noexcept {
    for (std::size_t i = 0; i < gKeep.count; ++i) {
        unmapPages(gKeep.blocks[i].data, gKeep.blocks[i].size);
        gHeldBytes -= gKeep.blocks[i].size;
    }
    gKeep.count = 0;
}

}  // namespace q3d
