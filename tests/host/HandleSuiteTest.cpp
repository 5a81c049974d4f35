#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "host/HandleSuite.h"

namespace vask::host {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class HandleSuiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handles::clearViolations();
    live_ = handles::liveCount();
  }
  void TearDown() override {
    EXPECT_EQ(handles::liveCount(), live_) << "handles leaked";
    handles::clearViolations();
  }
  std::size_t live_ = 0;
};

TEST_F(HandleSuiteTest, NewHandlesAreZeroFilledAndCountLocks) {
  PF_Handle h = handles::newHandle(64);
  ASSERT_NE(h, nullptr);
  ASSERT_NE(*h, nullptr);
  EXPECT_EQ(handles::size(h), 64u);
  const auto* p = static_cast<const unsigned char*>(*h);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(p[i], 0) << "byte " << i;
  EXPECT_EQ(handles::liveCount(), live_ + 1);

  handles::lock(h);
  handles::lock(h);
  EXPECT_EQ(handles::lockCount(h), 2);
  handles::unlock(h);
  handles::unlock(h);
  EXPECT_EQ(handles::lockCount(h), 0);
  EXPECT_EQ(handles::violationCount(), 0u);

  handles::unlock(h);  // below zero
  EXPECT_EQ(handles::lockCount(h), 0);
  EXPECT_THAT(handles::violations(), ElementsAre(HasSubstr("unlock below zero")));

  PF_Handle empty = handles::newHandle(0);
  ASSERT_NE(empty, nullptr);
  EXPECT_NE(*empty, nullptr);  // callers may always dereference
  handles::dispose(empty);
  handles::dispose(h);
}

TEST_F(HandleSuiteTest, UseAfterDisposeIsRecordedNotPerformed) {
  PF_Handle h = handles::newHandle(8);
  handles::lock(h);
  handles::dispose(h);  // disposing a locked handle is allowed
  EXPECT_EQ(handles::violationCount(), 0u);
  EXPECT_FALSE(handles::isLive(h));

  handles::lock(h);
  handles::unlock(h);
  EXPECT_EQ(handles::size(h), 0u);
  handles::dispose(h);
  PF_Handle again = h;
  EXPECT_EQ(handles::resize(16, &again), PF_Err_BAD_CALLBACK_PARAM);
  const auto v = handles::violations();
  ASSERT_EQ(v.size(), 5u);
  for (const auto& m : v) EXPECT_THAT(m, HasSubstr("of disposed handle"));
  EXPECT_THAT(v[0], HasSubstr("lock"));
  EXPECT_THAT(v[3], HasSubstr("dispose"));

  // Addresses the suite never gave out are not dereferenced either.
  void* notAHandle = nullptr;
  handles::lock(&notAHandle);
  handles::dispose(nullptr);
  EXPECT_THAT(handles::violations(), testing::Contains(HasSubstr("lock of unknown handle")));
  EXPECT_THAT(handles::violations(), testing::Contains(HasSubstr("dispose of null handle")));
}

TEST_F(HandleSuiteTest, ResizeKeepsTheHandleAndItsPrefix) {
  PF_Handle h = handles::newHandle(4);
  std::memcpy(*h, "abcd", 4);
  PF_Handle same = h;
  ASSERT_EQ(handles::resize(4096, &same), PF_Err_NONE);
  EXPECT_EQ(same, h);
  EXPECT_EQ(handles::size(h), 4096u);
  EXPECT_EQ(std::memcmp(*h, "abcd", 4), 0);
  EXPECT_EQ(static_cast<const char*>(*h)[4095], 0);

  handles::lock(h);
  EXPECT_EQ(handles::resize(8, &same), PF_Err_BAD_CALLBACK_PARAM) << "a locked block may not move";
  EXPECT_EQ(handles::size(h), 4096u);
  handles::unlock(h);
  handles::dispose(h);
  EXPECT_EQ(handles::violationCount(), 0u);
}

TEST_F(HandleSuiteTest, FailureSeamAndHostSideCopies) {
  handles::failNextNewHandles(2);
  EXPECT_EQ(handles::newHandle(8), nullptr);
  EXPECT_EQ(handles::newHandle(8), nullptr);
  PF_Handle h = handles::newHandle(8);
  ASSERT_NE(h, nullptr);
  handles::dispose(h);

  const std::byte raw[] = {std::byte{1}, std::byte{2}, std::byte{3}};
  PF_Handle copy = handles::fromBytes(raw);
  auto b = handles::bytes(copy);
  ASSERT_EQ(b.size(), 3u);
  EXPECT_EQ(b[2], std::byte{3});
  handles::dispose(copy);
  EXPECT_TRUE(handles::bytes(copy).empty());
  EXPECT_EQ(handles::violationCount(), 0u);
}

}  // namespace
}  // namespace vask::host
