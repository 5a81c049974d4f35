#include "shell/GrowableArray.h"

#include "shell/ErrData.h"
#include "platform/os/LocalHeap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <vector>

namespace vask {
namespace {

// The model cache's entry on this platform: {seconds, ticks, ref, ref}.
struct CacheEntry {
    int32_t seconds;
    int32_t ticks;
    void* model;
    void* transform;
};

// The 16-byte element of a 32-bit build.
struct Entry16 {
    int32_t a, b, c, d;
};
static_assert(sizeof(Entry16) == 16);

static_assert(std::is_standard_layout_v<GrowableArray<CacheEntry>>);
static_assert(std::is_aggregate_v<GrowableArray<CacheEntry>>);

Entry16 entry(int32_t v) { return {v, v + 1, v + 2, v + 3}; }

class GrowableArrayTest : public ::testing::Test {
protected:
    void TearDown() override {
        array.clear();
        os::testing::failAllocations(0, 0);
    }
    GrowableArray<Entry16> array;
};

TEST_F(GrowableArrayTest, ZeroFilledMemoryIsAnEmptyArray) {
    alignas(GrowableArray<CacheEntry>) unsigned char raw[sizeof(GrowableArray<CacheEntry>)];
    std::memset(raw, 0, sizeof raw);
    auto* cache = std::launder(reinterpret_cast<GrowableArray<CacheEntry>*>(raw));
    EXPECT_EQ(cache->count, 0);
    EXPECT_EQ(cache->append({1, 2, nullptr, nullptr}), 0);
    EXPECT_EQ(cache->capacity, 1);
    EXPECT_EQ((*cache)[0].ticks, 2);
    cache->clear();
    EXPECT_EQ(cache->items, nullptr);
}

TEST_F(GrowableArrayTest, AutomaticGrowthSequence) {
    // Capacity after each growth while appending one at a time: by 4 below 40
    // elements, then by an eighth of the count.
    const std::vector<int32_t> expected = {1,  5,  9,  13, 17, 21, 25, 29, 33, 37,
                                           41, 46, 51, 57, 64, 72, 81, 91, 102};
    std::vector<int32_t> seen;
    for (int32_t i = 0; i < 100; ++i) {
        int32_t before = array.capacity;
        ASSERT_EQ(array.append(entry(i)), i);
        if (array.capacity != before) seen.push_back(array.capacity);
    }
    EXPECT_EQ(seen, expected);
    for (int32_t i = 0; i < 100; ++i) ASSERT_EQ(array[i].a, i) << "index " << i;
}

TEST_F(GrowableArrayTest, GrowthStepAtLandmarks) {
    struct Case {
        int32_t full;
        int32_t grownTo;
    };
    for (Case c : {Case{7, 11}, Case{80, 90}, Case{8191, 9214}, Case{8192, 9216},
                   Case{20000, 21024}}) {
        array.clear();
        array.setSize(c.full);
        ASSERT_EQ(array.capacity, c.full) << "first block holds exactly the count";
        array.append(entry(1));
        EXPECT_EQ(array.capacity, c.grownTo) << "full at " << c.full;
    }
}

TEST_F(GrowableArrayTest, ExplicitStepAndLargeRequests) {
    array.setSize(3, 100);
    EXPECT_EQ(array.growthStep, 100);
    array.setSize(4);
    EXPECT_EQ(array.capacity, 103);
    array.setSize(500);  // beyond capacity + step: exactly the request
    EXPECT_EQ(array.capacity, 500);
    array.setSize(500, 0);  // back to automatic; within capacity, no growth
    EXPECT_EQ(array.growthStep, 0);
    array.append(entry(0));
    EXPECT_EQ(array.capacity, 562);  // 500 / 8 = 62
}

TEST_F(GrowableArrayTest, NewElementsAreZeroedOldOnesKept) {
    for (int32_t i = 0; i < 5; ++i) array.append(entry(10 * i + 1));
    array.setSize(2);  // only lowers the count
    EXPECT_EQ(array.capacity, 5);
    array.setSize(4);  // within capacity: elements 2 and 3 cleared
    EXPECT_EQ(array[1].a, 11);
    EXPECT_EQ(array[2].a, 0);
    EXPECT_EQ(array[3].d, 0);
    array.setSize(20);  // new block
    EXPECT_EQ(array[0].a, 1);
    EXPECT_EQ(array[1].d, 14);
    for (int32_t i = 2; i < 20; ++i) EXPECT_EQ(array[i].b, 0) << "index " << i;
}

TEST_F(GrowableArrayTest, SizeZeroFreesAndRestartsFromOne) {
    std::size_t live = os::testing::liveAllocations();
    for (int32_t i = 0; i < 10; ++i) array.append(entry(i));
    array.setSize(0);
    EXPECT_EQ(array.items, nullptr);
    EXPECT_EQ(array.capacity, 0);
    EXPECT_EQ(os::testing::liveAllocations(), live);
    array.append(entry(9));
    EXPECT_EQ(array.capacity, 1);
    array.setSize(-3);  // refused
    EXPECT_EQ(array.count, 1);
}

TEST_F(GrowableArrayTest, FailedGrowthChangesNothing) {
    for (int32_t i = 0; i < 5; ++i) array.append(entry(i));
    const GrowableArray<Entry16> before = array;
    os::testing::failAllocations(0, 1);
    EXPECT_THROW(array.append(entry(99)), ErrData);
    os::testing::failAllocations(0, 1);
    try {
        array.setSize(50, 7);
        FAIL() << "grew on an exhausted heap";
    } catch (const ErrData& e) {
        EXPECT_EQ(e, ErrData::host(1024));
    }
    EXPECT_EQ(array.items, before.items);
    EXPECT_EQ(array.count, 5);
    EXPECT_EQ(array.capacity, 5);
    EXPECT_EQ(array.growthStep, 0);
    for (int32_t i = 0; i < 5; ++i) EXPECT_EQ(array[i].a, i) << "index " << i;

    GrowableArray<Entry16> fresh{};
    os::testing::failAllocations(0, 1);
    EXPECT_THROW(fresh.append(entry(1)), ErrData);
    EXPECT_EQ(fresh.items, nullptr);
    EXPECT_EQ(fresh.count, 0);
}

TEST_F(GrowableArrayTest, AppendOfOwnElementSurvivesGrowth) {
    array.append(entry(42));
    ASSERT_EQ(array.count, array.capacity);
    array.append(array[0]);  // the source lives in the block being replaced
    EXPECT_EQ(array[1].a, 42);
    EXPECT_EQ(array[1].d, 45);
}

TEST_F(GrowableArrayTest, RemoveMovesLaterElementsDownAndKeepsCapacity) {
    for (int32_t i = 0; i < 6; ++i) array.append(entry(i));
    int32_t capacity = array.capacity;
    EXPECT_EQ(array.remove(1, 2), 2);
    std::vector<int32_t> left;
    for (const Entry16& e : array) left.push_back(e.a);
    EXPECT_EQ(left, (std::vector<int32_t>{0, 3, 4, 5}));
    EXPECT_EQ(array.remove(3), 1);  // the last one
    EXPECT_EQ(array.count, 3);
    EXPECT_EQ(array.capacity, capacity);

    // Out of range: nothing, or only up to the end.
    EXPECT_EQ(array.remove(3), 0);
    EXPECT_EQ(array.remove(-1), 0);
    EXPECT_EQ(array.remove(0, 0), 0);
    EXPECT_EQ(array.remove(1, 1000), 2);
    EXPECT_EQ(array.count, 1);
    EXPECT_EQ(array[0].a, 0);
}

}  // namespace
}  // namespace vask
