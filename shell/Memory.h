// Memory that the host does not own: string blocks, controls panels, version
// data, pixel buffers, bitmap copies, the model cache. It comes from the
// process's local heap, and running out of it is the program's out-of-memory
// error rather than a null pointer to check.
//
// Memory that must survive between host calls in the host's care (global and
// sequence data) lives in host handles instead, never here.
#pragma once

#include "shell/ErrData.h"

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace vask {

// A new block of `size` bytes (contents undefined, not zeroed), aligned for
// any fundamental type. The caller owns it and gives it back with freeBlock.
// A size of 0 gives a valid, unusable block that must still be freed.
// Throws ErrData::host(msg::kOutOfMemory) when the heap cannot satisfy it.
[[nodiscard]] void* allocate(std::size_t size);

// Returns a block obtained from allocate. Null is ignored.
void freeBlock(void* block) noexcept;

// Advises the kernel to back the whole 2 MiB extents inside a large block
// with transparent huge pages. A block of tens of megabytes written once a
// frame (a grid's vertex array, a render buffer) otherwise pays for first
// touching every fresh 4 KiB page, which on virtual machines costs more than
// filling it. Advice only: refused, it changes nothing.
void adviseHugePages(void* block, std::size_t bytes) noexcept;

// Owns one block from allocate and frees it on every way out of a scope.
// Movable, not copyable.
class MemoryBlock {
public:
    MemoryBlock() = default;
    // Allocates `size` bytes; throws like allocate.
    explicit MemoryBlock(std::size_t size) : data_(allocate(size)), size_(size) {}
    ~MemoryBlock() { freeBlock(data_); }

    MemoryBlock(MemoryBlock&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    MemoryBlock& operator=(MemoryBlock&& other) noexcept {
        if (this != &other) {
            freeBlock(data_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    MemoryBlock(const MemoryBlock&) = delete;
    MemoryBlock& operator=(const MemoryBlock&) = delete;

    void* data() const { return data_; }
    std::size_t size() const { return size_; }
    explicit operator bool() const { return data_ != nullptr; }

    // Gives up ownership: the caller frees the returned block.
    [[nodiscard]] void* release() noexcept {
        size_ = 0;
        return std::exchange(data_, nullptr);
    }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

// Constructs a T in a block from allocate. The caller owns the object and ends
// it with destroy. Throws ErrData 1024 when memory runs out; if T's
// constructor throws, the block is freed and the exception passes on.
template <typename T, typename... Args>
[[nodiscard]] T* create(Args&&... args) {
    static_assert(alignof(T) <= alignof(std::max_align_t),
                  "the local heap only guarantees fundamental alignment");
    void* block = allocate(sizeof(T));
    try {
        return ::new (block) T(std::forward<Args>(args)...);
    } catch (...) {
        freeBlock(block);
        throw;
    }
}

// Destroys an object made by create<T> and frees its block. Null is ignored.
template <typename T>
void destroy(T* object) noexcept {
    if (object == nullptr) return;
    static_assert(std::is_nothrow_destructible_v<T>);
    object->~T();
    freeBlock(const_cast<std::remove_cv_t<T>*>(object));
}

}  // namespace vask
