// A growable array of plain elements, moved as raw bytes, for data that lives
// inside host handles (meshfile's model cache sits in its global data).
//
// The array is four fields and nothing else: a pointer to a block of
// `capacity` elements (or null), the number in use, the capacity, and the
// growth step. It has no constructor or destructor that must run: memory
// filled with zeros is a valid empty array, so it can sit in a zero-filled
// host handle. Whoever holds it calls clear() before the memory goes away;
// nothing else frees the block.
//
// The array does not own what its elements refer to: whoever removes an
// element takes over whatever the element references.
//
// Growth: when an element no longer fits, the capacity grows by the growth
// step, or, when the step is 0 (automatic), by count / 8 clamped to 4 … 1024,
// or to exactly the requested count if that is more. An empty array's first
// block holds exactly the requested count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace vask {

namespace detail {

// The untyped fields every GrowableArray<T> has, in the same order.
struct GrowableArrayFields {
    void* items;
    int32_t count;
    int32_t capacity;
    int32_t growthStep;
};

// The element-size-independent operations behind GrowableArray<T>. On
// exhaustion they throw ErrData::host(1024) with `fields` left as they were.
void growableSetSize(GrowableArrayFields& fields, std::size_t elementSize, int32_t newCount,
                     int32_t step);
int32_t growableAppend(GrowableArrayFields& fields, std::size_t elementSize, const void* element);
int32_t growableRemove(GrowableArrayFields& fields, std::size_t elementSize, int32_t index,
                       int32_t n) noexcept;

}  // namespace detail

// T must be trivially copyable (elements are copied and moved as bytes and
// never constructed or destroyed).
template <typename T>
struct GrowableArray {
    static_assert(std::is_trivially_copyable_v<T>, "elements are moved as raw bytes");

    // Public so that the record stays an aggregate that zero-filled memory
    // represents; read them freely, change them only through the operations.
    T* items = nullptr;      // block of `capacity` elements, or null
    int32_t count = 0;       // elements in use
    int32_t capacity = 0;    // elements the block holds
    int32_t growthStep = 0;  // elements added per growth; 0 chooses automatically

    // Makes the array hold `newCount` elements. A `step` other than -1 is
    // first stored as the growth step (0 = automatic). Elements from the old
    // count up to `newCount` are zeroed; a smaller count only lowers `count`
    // (nothing is freed or cleared); 0 frees the block. A negative `newCount`
    // changes nothing. Throws ErrData 1024 when the block cannot grow; the
    // array, growth step included, is then unchanged.
    void setSize(int32_t newCount, int32_t step = -1) {
        apply([&](detail::GrowableArrayFields& f) {
            detail::growableSetSize(f, sizeof(T), newCount, step);
            return 0;
        });
    }

    // Copies `element` into a new last place and returns its index. Throws
    // ErrData 1024 (array unchanged) when the block cannot grow.
    int32_t append(const T& element) {
        return apply([&](detail::GrowableArrayFields& f) {
            return detail::growableAppend(f, sizeof(T), &element);
        });
    }

    // Removes `n` elements starting at `index`, moving the later ones down;
    // nothing is freed, the capacity stays. An index outside 0 … count-1 or an
    // n below 1 removes nothing; an n reaching past the end removes up to the
    // end. Returns the number of elements removed.
    int32_t remove(int32_t index, int32_t n = 1) noexcept {
        detail::GrowableArrayFields f{items, count, capacity, growthStep};
        int32_t removed = detail::growableRemove(f, sizeof(T), index, n);
        count = f.count;
        return removed;
    }

    // Frees the block: the array is empty and will start again from exactly
    // the count first asked for. The growth step is kept.
    void clear() noexcept { setSizeZeroNoThrow(); }

    bool empty() const { return count == 0; }
    T* begin() { return items; }
    T* end() { return items + count; }
    const T* begin() const { return items; }
    const T* end() const { return items + count; }

    // Precondition: 0 <= i < count.
    T& operator[](int32_t i) { return items[i]; }
    const T& operator[](int32_t i) const { return items[i]; }

private:
    // Runs an untyped operation on a copy of the fields and stores the result
    // only when it returns, so a throw leaves the array as it was.
    template <typename Op>
    int32_t apply(Op op) {
        detail::GrowableArrayFields f{items, count, capacity, growthStep};
        int32_t result = op(f);
        items = static_cast<T*>(f.items);
        count = f.count;
        capacity = f.capacity;
        growthStep = f.growthStep;
        return result;
    }

    void setSizeZeroNoThrow() noexcept {
        // Shrinking to zero only frees; it never allocates, so it cannot throw.
        apply([](detail::GrowableArrayFields& f) {
            detail::growableSetSize(f, sizeof(T), 0, -1);
            return 0;
        });
    }
};

}  // namespace vask
