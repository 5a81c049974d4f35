// Big blocks of memory straight from the system: pool chunks and the arrays
// of large grids.
//
// Why not the heap: a 2-million-vertex grid needs tens of megabytes, and on
// the machines we run on, first touching fresh 4 KiB pages costs far more
// than filling them. Blocks from here are aligned to 2 MiB and advised for
// transparent huge pages, which the kernel then faults in 512 times fewer
// steps; and the last few blocks freed are kept, already faulted in, for the
// next buffers of about their size, so that a grid refilled or rebuilt at
// the same size every frame maps nothing new. Small blocks still come from
// the heap, where they cost nothing special.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace q3d {

inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Maps at least `bytes` bytes (rounded up to whole pages, returned in
// *mapped) aligned to `alignment`, a power of two no smaller than a page.
// hugePages advises the kernel to back the block with huge pages. The block
// reads as zeros. Throws std::bad_alloc.
void* mapPages(std::size_t bytes, std::size_t alignment, bool hugePages, std::size_t* mapped);
void unmapPages(void* start, std::size_t mapped) noexcept;

// An owned, uninitialised block of bytes (stale contents when it is a kept
// block), 16-byte aligned. Move-only.
class LargeBuffer {
public:
    LargeBuffer() = default;
    // Throws std::bad_alloc.
    explicit LargeBuffer(std::size_t bytes);
    ~LargeBuffer();
    LargeBuffer(LargeBuffer&& other) noexcept { swap(other); }
    LargeBuffer& operator=(LargeBuffer&& other) noexcept {
        LargeBuffer(std::move(other)).swap(*this);
        return *this;
    }
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    void* data() const { return data_; }
    // Usable bytes, at least what was asked for.
    std::size_t size() const { return size_; }

    void swap(LargeBuffer& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(mapped_, other.mapped_);
    }

    // Bytes held by every live buffer of the process and by the kept blocks.
    static std::uint64_t heldBytes() noexcept;
    // Unmaps the blocks kept for reuse; live buffers are not touched.
    static void releaseKept() noexcept;

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
};

// A LargeBuffer seen as `count` elements of a trivially copyable T, left
// uninitialised.
template <class T>
class LargeArray {
    static_assert(std::is_trivially_copyable_v<T> && alignof(T) <= 16);

public:
    LargeArray() = default;
    // Throws std::bad_alloc.
    explicit LargeArray(std::size_t count) : buffer_(count * sizeof(T)), count_(count) {}
    LargeArray(LargeArray&& other) noexcept { swap(other); }
    LargeArray& operator=(LargeArray&& other) noexcept {
        LargeArray(std::move(other)).swap(*this);
        return *this;
    }

    void swap(LargeArray& other) noexcept {
        buffer_.swap(other.buffer_);
        std::swap(count_, other.count_);
    }

    T* data() const { return static_cast<T*>(buffer_.data()); }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    T& operator[](std::size_t i) const { return data()[i]; }
    T* begin() const { return data(); }
    T* end() const { return data() + count_; }

private:
    LargeBuffer buffer_;
    std::size_t count_ = 0;
};

}  // namespace q3d
