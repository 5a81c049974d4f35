// The object pool: which addresses pass for live objects, across size
// classes, chunk boundaries and objects too big to share a chunk.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "platform/q3d/QD3DTesting.h"
#include "platform/q3d/core/Object.h"

namespace {

// A shared object of Bytes bytes, to fill any size class.
template <std::size_t Bytes>
class Filler final : public q3d::SharedObject {
public:
    static constexpr q3d::ClassInfo kClass{kQ3SharedTypeString, &q3d::SharedObject::kClass};
    const q3d::ClassInfo& classInfo() const override { return kClass; }
    std::array<unsigned char, Bytes - sizeof(q3d::SharedObject)> payload{};
};

template <std::size_t Bytes>
TQ3Object make() {
    return q3d::adopt(std::make_unique<Filler<Bytes>>());
}

bool live(const void* address) { return q3d::pool::findLive(address) != nullptr; }

class PoolTest : public ::testing::Test {
protected:
    void SetUp() override { liveAtStart_ = Q3Testing_LiveObjectCount(); }
    void TearDown() override { EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_); }
    TQ3Uns32 liveAtStart_ = 0;
};

TEST_F(PoolTest, OnlyTheStartOfALiveSlotPasses) {
    TQ3Object a = make<40>();
    TQ3Object b = make<40>();
    auto* bytes = reinterpret_cast<unsigned char*>(a);
    EXPECT_TRUE(live(a));
    EXPECT_TRUE(live(b));
    EXPECT_FALSE(live(bytes + 8)) << "inside an object";
    EXPECT_FALSE(live(bytes - 8)) << "between objects";
    EXPECT_FALSE(live(q3d::pool::detail::chunkOf(a))) << "the chunk header";
    EXPECT_FALSE(live(bytes + 40 * 1000)) << "slots never handed out";
    int onTheStack = 0;
    auto onTheHeap = std::make_unique<long[]>(8);
    EXPECT_FALSE(live(&onTheStack));
    EXPECT_FALSE(live(onTheHeap.get()));
    EXPECT_FALSE(live(reinterpret_cast<void*>(0x10)));
    EXPECT_FALSE(live(nullptr));

    EXPECT_EQ(q3d::pool::countOf(a), 1u);
    q3d::release(*q3d::findObject(a));
    EXPECT_FALSE(live(a)) << "a disposed slot";
    EXPECT_TRUE(q3d::pool::isSlotStart(a)) << "still a slot, just not live";
    q3d::release(*q3d::findObject(b));
}

TEST_F(PoolTest, EverySizeClassAndChunkBoundaryResolves) {
    std::vector<TQ3Object> objects;
    // More 512-byte objects than one 2 MiB chunk holds, and one of each
    // smaller class.
    for (int i = 0; i < 5000; ++i) objects.push_back(make<512>());
    objects.push_back(make<16>());
    objects.push_back(make<24>());
    objects.push_back(make<136>());
    objects.push_back(make<504>());
    for (std::size_t i = 0; i < objects.size(); ++i) {
        ASSERT_TRUE(live(objects[i])) << i;
        ASSERT_EQ(q3d::resolve(objects[i])->leafType(), kQ3SharedTypeString) << i;
    }
    // Disposed slots are reused by the next object of their class.
    TQ3Object freed = objects[100];
    q3d::release(*q3d::findObject(freed));
    TQ3Object reused = make<512>();
    EXPECT_EQ(reused, freed);
    objects[100] = reused;
    for (TQ3Object object : objects) q3d::release(*q3d::findObject(object));
}

TEST_F(PoolTest, LargeObjectsGetAChunkOfTheirOwnAndLeaveNoTrace) {
    const std::uint64_t mappedBefore = q3d::pool::mappedBytes();
    TQ3Object big = make<100000>();
    EXPECT_GE(q3d::pool::mappedBytes(), mappedBefore + 100000);
    EXPECT_TRUE(live(big));
    EXPECT_FALSE(live(reinterpret_cast<unsigned char*>(big) + 16));
    q3d::retain(*q3d::findObject(big));
    EXPECT_EQ(q3d::pool::countOf(big), 2u);
    q3d::release(*q3d::findObject(big));
    q3d::release(*q3d::findObject(big));
    // Unmapped: the handle is refused by the chunk table, never read.
    EXPECT_FALSE(live(big));
    EXPECT_EQ(q3d::pool::mappedBytes(), mappedBefore);
}

#if defined(__SANITIZE_ADDRESS__)
// Disposed slots are poisoned, so a reader that keeps a stale pointer inside
// the library is caught even though the pool never frees the memory.
TEST_F(PoolTest, SanitizerCatchesReadsOfADisposedObject) {
    TQ3Object object = make<40>();
    auto* bytes = reinterpret_cast<volatile unsigned char*>(object);
    q3d::release(*q3d::findObject(object));
    EXPECT_DEATH((void)bytes[20], "use-after-poison");
}
#endif

}  // namespace
