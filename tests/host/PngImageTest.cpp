#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "host/HostError.h"
#include "host/PngImage.h"
#include "tests/host/HostTestSupport.h"

namespace vask::host {
namespace {

using ::testing::HasSubstr;

std::string refusal(const std::filesystem::path& p) {
  try {
    readPng(p);
  } catch (const HostError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(PngImage, PremultipliesOnReadAndUndoesItOnWrite) {
  EXPECT_EQ(premultiply(PF_Pixel{128, 255, 100, 0}), (PF_Pixel{128, 128, 50, 0}));
  EXPECT_EQ(unpremultiply(PF_Pixel{128, 128, 50, 0}), (PF_Pixel{128, 255, 100, 0}));
  EXPECT_EQ(unpremultiply(PF_Pixel{0, 9, 9, 9}), (PF_Pixel{0, 0, 0, 0}));
  EXPECT_EQ(unpremultiply(PF_Pixel{10, 200, 0, 0}).red, 255) << "never above 255";

  // Every opaque pixel and every premultiplied pixel of a straight colour
  // survives a write and a read.
  test::TempDir dir;
  World w(5, 3, 8);
  w.at(0, 0) = PF_Pixel{255, 1, 2, 3};
  w.at(1, 0) = premultiply(PF_Pixel{128, 255, 100, 7});
  w.at(2, 0) = premultiply(PF_Pixel{1, 255, 255, 255});
  w.at(3, 2) = PF_Pixel{0, 0, 0, 0};
  w.at(4, 2) = PF_Pixel{255, 255, 255, 255};
  const auto file = dir.path() / "w.png";
  writePng(file, w);
  EXPECT_EQ(readPngSize(file).width, 5);
  EXPECT_EQ(readPngSize(file).height, 3);
  const World back = readPng(file);
  ASSERT_EQ(back.width(), 5);
  ASSERT_EQ(back.height(), 3);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(back.at(x, y), w.at(x, y)) << x << ", " << y;
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().filename(), "w.png") << "no temporary file is left behind";
  }
}

// A frame-sized picture of every alpha, with padded rows, makes an 8-bit
// RGBA file (IHDR: depth 8, colour type 6) that reads back pixel for pixel.
TEST(PngImage, LargePicturesOfEveryAlphaSurviveAWriteAndARead) {
  test::TempDir dir;
  World w(517, 300, 12);
  for (int32_t y = 0; y < w.height(); ++y) {
    for (int32_t x = 0; x < w.width(); ++x) {
      const auto alpha = static_cast<uint8_t>((x + 3 * y) % 256);
      const auto c = [&](int k) { return static_cast<uint8_t>((x * k + y * 7) % 256); };
      w.at(x, y) = premultiply(PF_Pixel{alpha, c(1), c(5), c(11)});
    }
  }
  const auto file = dir.path() / "big.png";
  writePng(file, w);
  std::ifstream in(file, std::ios::binary);
  std::string head(26, '\0');
  in.read(head.data(), 26);
  EXPECT_EQ(head.substr(12, 4), "IHDR");
  EXPECT_EQ(head[24], 8) << "bit depth";
  EXPECT_EQ(head[25], 6) << "colour type: RGBA";
  const World back = readPng(file);
  ASSERT_EQ(back.width(), w.width());
  ASSERT_EQ(back.height(), w.height());
  for (int32_t y = 0; y < w.height(); ++y) {
    for (int32_t x = 0; x < w.width(); ++x) ASSERT_EQ(back.at(x, y), w.at(x, y)) << x << ", " << y;
  }
  EXPECT_TRUE(w.paddingIntact()) << "writing reads only the pixels";
}

TEST(PngImage, RefusesFilesThatAreNotPictures) {
  test::TempDir dir;
  EXPECT_THAT(refusal(dir.path() / "none.png"), HasSubstr("none.png: cannot open: No such file"));
  EXPECT_THAT(refusal(dir.write("text.png", "hello, world")),
              HasSubstr("text.png: not a PNG file"));
  EXPECT_THAT(refusal(dir.write("short.png", "\x89PN")), HasSubstr("not a PNG file"));

  // A good file cut short after its header.
  World w(4, 4);
  writePng(dir.path() / "good.png", w);
  std::ifstream in(dir.path() / "good.png", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_THAT(refusal(dir.write("cut.png", bytes.substr(0, 40))), HasSubstr("cut.png: damaged PNG"));

  // A whole header claiming a picture too large to hold is refused before
  // decoding (and the reader's structures go with the refusal).
  std::string huge = bytes;
  for (int i : {16, 20}) {  // width and height, big-endian, in the IHDR chunk
    huge[i] = '\x00';
    huge[i + 1] = '\x01';
    huge[i + 2] = '\x00';
    huge[i + 3] = '\x00';
  }
  uint32_t crc = 0xFFFFFFFF;  // over the chunk type and data: bytes 12 … 28
  for (int i = 12; i < 29; ++i) {
    crc ^= static_cast<uint8_t>(huge[i]);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  crc = ~crc;
  for (int k = 0; k < 4; ++k) huge[29 + k] = static_cast<char>(crc >> (24 - 8 * k));
  EXPECT_THAT(refusal(dir.write("huge.png", huge)),
              HasSubstr("huge.png: picture of 65536 x 65536 pixels is larger than this host reads"));

  const auto fifo = dir.path() / "fifo.png";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THAT(refusal(fifo), HasSubstr("fifo.png: is a FIFO")) << "refused, not waited on";

  EXPECT_THROW(writePng(dir.path() / "no" / "such" / "folder.png", w), HostError);
  EXPECT_THROW(writePng(dir.path() / "empty.png", World()), HostError);
}

}  // namespace
}  // namespace vask::host
