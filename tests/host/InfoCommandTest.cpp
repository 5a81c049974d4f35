#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "host/InfoCommand.h"
#include "tests/host/HostTestSupport.h"

namespace vask::host {
namespace {

using ::testing::HasSubstr;

TEST(InfoCommand, DescribesEffectsAndReportsEveryOtherFile) {
  test::TempDir dir;
  const auto text =
      dir.write("readme.so", "not a library at all, but long enough for an ELF header.......");
  const auto fifo = dir.path() / "fifo.so";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::ostringstream out, err;
  const int rc = runInfo({text, fifo, test::testEffectPath()}, out, err);
  EXPECT_EQ(rc, 1) << "a file that is not an effect fails the command";
  EXPECT_THAT(err.str(), HasSubstr("readme.so: not an ELF file"));
  EXPECT_THAT(err.str(), HasSubstr("fifo.so: is a FIFO")) << "refused, not waited on";

  const std::string s = out.str();
  for (const char* line :
       {"name            Host Test Effect", "match name      VASK HOSTTEST1",
        "category        Halvaro", "entry point     main", "API version     0x0000000b",
        "effect version  0x00080600 (1.0.0 stage 3 build 0)", "global flags    0x00008001",
        "my_version 0x00080600, out flags 0x00008001", "parameters      8",
        "1  \"Amount\"  fixed slider  flags 0x0  valid 0 … 100  slider 0 … 10  default 5  "
        "precision 2",
        "2  \"Angle\"  angle  flags 0x0  default 45°",
        "3  \"Enabled\"  checkbox  flags 0x0  label \"On\"  default on",
        "4  \"Tint\"  color  flags 0x0  default a 255, r 10, g 20, b 30",
        "5  \"Mode\"  popup  flags 0x0  choices \"Normal|Skip Checkin|Fail|Replace Sequence|Invert|Fail Render\"  "
        "count 6  default 1",
        "6  \"Source\"  layer  flags 0x0  default layer 0",
        "7  \"Panel\"  custom control  flags 0x2  area 100 x 85",
        "custom UI       events 0x00000004"}) {
    EXPECT_THAT(s, HasSubstr(line));
  }

  std::ostringstream out2, err2;
  EXPECT_EQ(runInfo({test::testEffectPath()}, out2, err2), 0);
  EXPECT_EQ(err2.str(), "");
}

}  // namespace
}  // namespace vask::host
