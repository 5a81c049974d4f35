#include "platform/os/NamedMapping.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace os = vask::os;

namespace {

// Each test uses its own names and drops them, so the tests also pass when
// they all run in one process.
class NamedMappingTest : public ::testing::Test {
protected:
    void TearDown() override {
        os::testing::dropNamedMapping("os test block");
        os::testing::dropNamedMapping("os test other");
    }
};

bool allZero(const void* address, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(address);
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

// The line of /proc/self/maps that covers `address`.
std::string mapsLineFor(const void* address) {
    const auto target = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        std::uintptr_t start = 0, end = 0;
        char dash = 0;
        std::istringstream fields(line);
        fields >> std::hex >> start >> dash >> end;
        if (start <= target && target < end) return line;
    }
    return {};
}

}  // namespace

TEST_F(NamedMappingTest, SecondOpenFindsTheSameBlockWithItsContents) {
    os::MappingResult first = os::openNamedMapping("os test block", 1024);
    ASSERT_EQ(first.error, 0) << first;
    ASSERT_NE(first.address, nullptr);
    EXPECT_FALSE(first.alreadyExisted);
    EXPECT_TRUE(allZero(first.address, 1024));

    std::memset(first.address, 0x5A, 1024);
    os::MappingResult second = os::openNamedMapping("os test block", 1024);
    EXPECT_EQ(second.error, 0) << second;
    EXPECT_TRUE(second.alreadyExisted);
    EXPECT_EQ(second.address, first.address);
    EXPECT_EQ(static_cast<unsigned char*>(second.address)[1023], 0x5A);

    os::MappingResult other = os::openNamedMapping("os test other", 1024);
    EXPECT_FALSE(other.alreadyExisted) << other;
    EXPECT_NE(other.address, first.address);

    // After a drop the name starts again from a fresh, zeroed block.
    ASSERT_TRUE(os::testing::dropNamedMapping("os test block"));
    EXPECT_FALSE(os::testing::dropNamedMapping("os test block"));
    os::MappingResult fresh = os::openNamedMapping("os test block", 1024);
    ASSERT_EQ(fresh.error, 0) << fresh;
    EXPECT_FALSE(fresh.alreadyExisted);
    EXPECT_TRUE(allZero(fresh.address, 1024));
}

TEST_F(NamedMappingTest, RejectsBadRequestsWithoutHarmingTheBlock) {
    os::MappingResult block = os::openNamedMapping("os test block", 1024);
    ASSERT_EQ(block.error, 0) << block;

    for (std::size_t size : {std::size_t{512}, std::size_t{2048}}) {
        os::MappingResult mismatch = os::openNamedMapping("os test block", size);
        EXPECT_EQ(mismatch.error, EINVAL) << "size " << size;
        EXPECT_EQ(mismatch.address, nullptr) << "size " << size;
    }
    EXPECT_EQ(os::openNamedMapping("", 1024).error, EINVAL);
    EXPECT_EQ(os::openNamedMapping("os test other", 0).error, EINVAL);
    EXPECT_EQ(os::openNamedMapping("os test other", SIZE_MAX).error, ENOMEM);

    os::MappingResult again = os::openNamedMapping("os test block", 1024);
    EXPECT_EQ(again.address, block.address) << again;
    EXPECT_TRUE(again.alreadyExisted);
}

TEST_F(NamedMappingTest, InjectedFailureHitsOnlyTheNextOpen) {
    os::testing::failNextMapping(ENOMEM);
    os::MappingResult failed = os::openNamedMapping("os test block", 1024);
    EXPECT_EQ(failed.error, ENOMEM);
    EXPECT_EQ(failed.address, nullptr);

    // The failed call created nothing: the next open makes the block new.
    os::MappingResult next = os::openNamedMapping("os test block", 1024);
    EXPECT_EQ(next.error, 0) << next;
    EXPECT_FALSE(next.alreadyExisted);
}

TEST_F(NamedMappingTest, LivesInNoFileSystem) {
    os::MappingResult block = os::openNamedMapping("os test block", 1024);
    ASSERT_EQ(block.error, 0) << block;

    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
        EXPECT_EQ(entry.path().filename().string().find("os test"), std::string::npos)
            << entry.path();
    }
    std::string line = mapsLineFor(block.address);
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.find("/dev/shm"), std::string::npos) << line;
    EXPECT_NE(line.find("rw-s"), std::string::npos) << "expected a shared writable mapping: " << line;
}
