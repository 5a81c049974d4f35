#include "shell/GrowableArray.h"

#include "shell/Memory.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vask::detail {
namespace {

constexpr int32_t kMaxCount = std::numeric_limits<int32_t>::max();

char* bytes(void* items) { return static_cast<char*>(items); }

// Elements to add when `count` elements no longer fit.
int32_t automaticStep(int32_t count) { return std::clamp(count / 8, 4, 1024); }

}  // namespace

void growableSetSize(GrowableArrayFields& fields, std::size_t elementSize, int32_t newCount,
                     int32_t step) {
    if (newCount < 0) return;
    // Work on a copy and publish it only at the end, so that a failed
    // allocation leaves every field, the growth step included, as it was.
    GrowableArrayFields next = fields;
    if (step != -1) next.growthStep = step;

    if (newCount == 0) {
        freeBlock(next.items);
        next.items = nullptr;
        next.count = 0;
        next.capacity = 0;
    } else if (next.items == nullptr) {
        void* block = allocate(static_cast<std::size_t>(newCount) * elementSize);
        std::memset(block, 0, static_cast<std::size_t>(newCount) * elementSize);
        next.items = block;
        next.count = newCount;
        next.capacity = newCount;
    } else if (newCount <= next.capacity) {
        if (newCount > next.count) {
            std::memset(bytes(next.items) + static_cast<std::size_t>(next.count) * elementSize, 0,
                        static_cast<std::size_t>(newCount - next.count) * elementSize);
        }
        next.count = newCount;
    } else {
        // A stored step below 0 (other than the -1 "keep" marker) would shrink
        // the capacity: treat it like 0, the automatic choice.
        int32_t grow = next.growthStep > 0 ? next.growthStep : automaticStep(next.count);
        int64_t wanted = static_cast<int64_t>(next.capacity) + grow;
        int32_t newCapacity =
            static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(wanted, newCount), kMaxCount));
        void* block = allocate(static_cast<std::size_t>(newCapacity) * elementSize);
        std::memcpy(block, next.items, static_cast<std::size_t>(next.count) * elementSize);
        std::memset(bytes(block) + static_cast<std::size_t>(next.count) * elementSize, 0,
                    static_cast<std::size_t>(newCount - next.count) * elementSize);
        freeBlock(next.items);
        next.items = block;
        next.count = newCount;
        next.capacity = newCapacity;
    }
    fields = next;
}

int32_t growableAppend(GrowableArrayFields& fields, std::size_t elementSize, const void* element) {
    // No room for one more index: the same answer as a heap that cannot grow.
    if (fields.count == kMaxCount) raise(msg::kOutOfMemory);
    // `element` may point into the array itself; copy it out before the block
    // can move.
    char saved[256];
    MemoryBlock large;
    char* copy = saved;
    if (elementSize > sizeof saved) {
        large = MemoryBlock(elementSize);
        copy = static_cast<char*>(large.data());
    }
    std::memcpy(copy, element, elementSize);

    growableSetSize(fields, elementSize, fields.count + 1, -1);
    int32_t index = fields.count - 1;
    std::memcpy(bytes(fields.items) + static_cast<std::size_t>(index) * elementSize, copy,
                elementSize);
    return index;
}

int32_t growableRemove(GrowableArrayFields& fields, std::size_t elementSize, int32_t index,
                       int32_t n) noexcept {
    if (index < 0 || index >= fields.count || n < 1) return 0;
    n = std::min(n, fields.count - index);
    int32_t tail = fields.count - index - n;
    if (tail > 0) {
        std::memmove(bytes(fields.items) + static_cast<std::size_t>(index) * elementSize,
                     bytes(fields.items) + static_cast<std::size_t>(index + n) * elementSize,
                     static_cast<std::size_t>(tail) * elementSize);
    }
    fields.count -= n;
    return n;
}

}  // namespace vask::detail
