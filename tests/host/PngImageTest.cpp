#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <cstdio>

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

// A one-row PNG of `type` and `depth` holding `samples` (each already at the
// file's depth, 16-bit ones as numbers up to 65535), written by libpng with
// the ancillary chunks asked for.
struct PngLayout {
  int type = PNG_COLOR_TYPE_GRAY, depth = 8;
  std::vector<unsigned> samples;  // width × channels
  double gamma = 0;               // a gAMA chunk when > 0
  bool srgb = false;              // an sRGB chunk
  bool interlaced = false;
  std::vector<png_color> palette = {};
  std::vector<png_byte> paletteAlpha = {};                // tRNS of a palette file
  std::optional<png_color_16> transparent = std::nullopt;  // tRNS of a grey or RGB file
};

void writeLayout(const std::filesystem::path& file, const PngLayout& layout) {
  const int channels = layout.type == PNG_COLOR_TYPE_RGB ? 3 : layout.type == PNG_COLOR_TYPE_RGBA ? 4
                       : layout.type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
  const auto width = static_cast<png_uint_32>(layout.samples.size() / static_cast<std::size_t>(channels));
  // Packs the samples at the file's depth, big-endian, as PNG rows are laid out.
  std::vector<png_byte> row((width * static_cast<unsigned>(channels * layout.depth) + 7) / 8 + 1);
  std::size_t bit = 0;
  for (unsigned v : layout.samples) {
    for (int b = layout.depth - 1; b >= 0; --b, ++bit) {
      if ((v >> b) & 1) row[bit / 8] |= static_cast<png_byte>(0x80 >> (bit % 8));
    }
  }
  std::FILE* f = std::fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, width, 1, layout.depth, layout.type,
               layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
               PNG_FILTER_TYPE_BASE);
  if (layout.gamma > 0) png_set_gAMA(png, info, layout.gamma);
  if (layout.srgb) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  if (!layout.palette.empty()) png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
  if (!layout.paletteAlpha.empty()) {
    png_set_tRNS(png, info, layout.paletteAlpha.data(), static_cast<int>(layout.paletteAlpha.size()), nullptr);
  }
  if (layout.transparent) png_set_tRNS(png, info, nullptr, 0, &*layout.transparent);
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

// The pixels of the one-row picture at `file`, premultiplied as read.
std::vector<PF_Pixel> rowOf(const std::filesystem::path& file) {
  const World w = readPng(file);
  std::vector<PF_Pixel> out;
  for (int32_t x = 0; x < w.width(); ++x) out.push_back(w.at(x, 0));
  return out;
}

// Heights and textures are the file's numbers: no gamma, sRGB or 16-bit
// linear conversion, whatever chunks the file carries. Only the layout is
// converted (depths, palettes, grey, transparency chunks, interlacing).
TEST(PngImage, ReadsTheStoredValuesOfEveryKindOfPng) {
  test::TempDir dir;
  struct Case {
    const char* name;
    PngLayout layout;
    std::vector<PF_Pixel> expected;
  };
  const std::vector<Case> cases = {
      {"grey marked gamma 1.0, as terrain tools write height maps",
       {.samples = {0, 50, 128, 255}, .gamma = 1.0},
       {{255, 0, 0, 0}, {255, 50, 50, 50}, {255, 128, 128, 128}, {255, 255, 255, 255}}},
      {"RGB with gamma and sRGB chunks",
       {.type = PNG_COLOR_TYPE_RGB, .samples = {10, 20, 30}, .gamma = 0.45455, .srgb = true},
       {{255, 10, 20, 30}}},
      {"16-bit RGBA, scaled with rounding",
       {.type = PNG_COLOR_TYPE_RGBA, .depth = 16, .samples = {0x8080, 0x0101, 0xFFFF, 0xFFFF, 0x7F7F, 0, 0, 0x8080},
        .gamma = 1.0},
       {{255, 128, 1, 255}, premultiply({128, 127, 0, 0})}},
      {"2-bit grey, interlaced",
       {.depth = 2, .samples = {0, 1, 2, 3}, .interlaced = true},
       {{255, 0, 0, 0}, {255, 85, 85, 85}, {255, 170, 170, 170}, {255, 255, 255, 255}}},
      {"palette with a transparency chunk",
       {.type = PNG_COLOR_TYPE_PALETTE, .depth = 4, .samples = {1, 0},
        .palette = {{200, 100, 50}, {1, 2, 3}}, .paletteAlpha = {128}},
       {{255, 1, 2, 3}, premultiply({128, 200, 100, 50})}},
      {"grey with a transparent value",
       {.samples = {7, 9}, .transparent = png_color_16{0, 0, 0, 0, 7}},
       {{0, 0, 0, 0}, {255, 9, 9, 9}}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto file = dir.path() / ("case" + std::to_string(i) + ".png");
    writeLayout(file, cases[i].layout);
    EXPECT_EQ(rowOf(file), cases[i].expected) << cases[i].name;
  }
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
