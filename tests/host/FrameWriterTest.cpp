// The background PNG writer: frames reported in order on the caller's
// thread, a failure thrown once and stopping further hand-overs, and the
// frame in hand completed when the writer goes away.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "host/FrameWriter.h"
#include "host/HostError.h"
#include "host/PngImage.h"
#include "tests/host/HostTestSupport.h"

namespace vask::host {
namespace {

World picture(uint8_t shade) {
  World w(64, 32);
  w.fill(PF_Pixel{255, shade, shade, shade});
  return w;
}

std::vector<std::string> filesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FrameWriter, ReportsFramesInOrderAndAFailureOnce) {
  test::TempDir dir;
  std::vector<int64_t> written;
  StageTimes times;
  FrameWriter writer([&](int64_t frame, const std::filesystem::path&) { written.push_back(frame); }, &times);
  writer.submit(0, dir.path() / "a.png", picture(10));
  writer.submit(1, dir.path() / "a.png", picture(20));  // replaces frame 0's file
  writer.submit(2, dir.path() / "missing" / "b.png", picture(30));
  EXPECT_EQ(written, (std::vector<int64_t>{0, 1}));
  EXPECT_THROW(writer.submit(3, dir.path() / "c.png", picture(40)), HostError);
  EXPECT_NO_THROW(writer.finish()) << "the failure was told already";
  EXPECT_EQ(written, (std::vector<int64_t>{0, 1}));
  EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"a.png"}) << "frame 3 was never taken";
  EXPECT_EQ(readPng(dir.path() / "a.png").at(5, 5), (PF_Pixel{255, 20, 20, 20}));
  EXPECT_GT(times[Stage::Png].count(), 0);
}

TEST(FrameWriter, GoingAwayCompletesTheFrameInHand) {
  test::TempDir dir;
  int reported = 0;
  {
    FrameWriter writer([&](int64_t, const std::filesystem::path&) { ++reported; });
    writer.submit(0, dir.path() / "last.png", picture(77));
  }
  EXPECT_EQ(reported, 0) << "reports reach only submit and finish";
  EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"last.png"});
  EXPECT_EQ(readPng(dir.path() / "last.png").at(63, 31), (PF_Pixel{255, 77, 77, 77}));
}

}  // namespace
}  // namespace vask::host
