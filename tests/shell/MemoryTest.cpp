#include "shell/Memory.h"

#include "platform/os/LocalHeap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

namespace vask {
namespace {

class MemoryTest : public ::testing::Test {
protected:
    void TearDown() override { os::testing::failAllocations(0, 0); }
};

TEST_F(MemoryTest, BlockIsUsableAndFreed) {
    std::size_t live = os::testing::liveAllocations();
    void* block = allocate(100);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xAB, 100);
    EXPECT_EQ(os::testing::liveAllocations(), live + 1);
    freeBlock(block);
    freeBlock(nullptr);
    EXPECT_EQ(os::testing::liveAllocations(), live);
}

TEST_F(MemoryTest, ExhaustionRaisesOutOfMemory) {
    os::testing::failAllocations(0, 1);
    try {
        (void)allocate(16);
        FAIL() << "allocate succeeded on an exhausted heap";
    } catch (const ErrData& e) {
        EXPECT_EQ(e, ErrData::host(msg::kOutOfMemory));
    }
    void* block = allocate(16);  // the heap recovers
    EXPECT_NE(block, nullptr);
    freeBlock(block);
}

struct Counted {
    static inline int alive = 0;
    int value;
    explicit Counted(int v) : value(v) {
        if (v < 0) throw std::invalid_argument("negative");
        ++alive;
    }
    ~Counted() { --alive; }
};

TEST_F(MemoryTest, CreateAndDestroyPairConstructionWithTheBlock) {
    std::size_t live = os::testing::liveAllocations();
    Counted* object = create<Counted>(7);
    EXPECT_EQ(object->value, 7);
    EXPECT_EQ(Counted::alive, 1);
    destroy(object);
    destroy<Counted>(nullptr);
    EXPECT_EQ(Counted::alive, 0);
    EXPECT_EQ(os::testing::liveAllocations(), live);

    // A throwing constructor gives its block back.
    EXPECT_THROW((void)create<Counted>(-1), std::invalid_argument);
    EXPECT_EQ(os::testing::liveAllocations(), live);

    // No memory: the constructor never runs.
    os::testing::failAllocations(0, 1);
    EXPECT_THROW((void)create<Counted>(1), ErrData);
    EXPECT_EQ(Counted::alive, 0);
}

TEST_F(MemoryTest, MemoryBlockFreesOnEveryWayOut) {
    std::size_t live = os::testing::liveAllocations();
    {
        MemoryBlock a(32);
        MemoryBlock b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.size(), 32u);
        MemoryBlock c(8);
        c = std::move(b);  // frees c's own block
        EXPECT_EQ(os::testing::liveAllocations(), live + 1);
    }
    EXPECT_EQ(os::testing::liveAllocations(), live);

    MemoryBlock d(4);
    void* kept = d.release();
    EXPECT_FALSE(d);
    freeBlock(kept);
    EXPECT_EQ(os::testing::liveAllocations(), live);
}

}  // namespace
}  // namespace vask
