#include "scene/image/OffscreenImage.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os/LocalHeap.h"
#include "plugins/common/art/Artwork.h"
#include "platform/os/Resources.h"
#include "shell/ErrData.h"

namespace os = vask::os;
using vask::OffscreenImage;

namespace {

const char kAnchor = 0;
os::Module* testProgram() { return os::moduleFromAddress(&kAnchor); }

// Field offsets in a bitmap file.
constexpr std::size_t kDataOffset = 10, kHeaderSize = 14, kWidth = 18, kHeight = 22, kPlanes = 26,
                      kBitCount = 28, kCompression = 30, kColorsUsed = 46;

// A bitmap file built field by field: headers, palette, then `rows` as
// stored (bottom row first unless the height is negative), each padded here.
struct Bmp {
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t colorsUsed = 0;
    std::vector<std::uint32_t> palette;           // 0x00RRGGBB
    std::vector<std::vector<std::uint8_t>> rows;  // pixel bytes of each stored row, unpadded

    std::vector<std::byte> bytes() const {
        const std::size_t stride = ((static_cast<std::size_t>(width) * bitCount + 31) / 32) * 4;
        const std::size_t dataOffset = 54 + 4 * palette.size();
        std::vector<std::byte> out(dataOffset + stride * rows.size());
        put(out, 0, 'B', 1);
        put(out, 1, 'M', 1);
        put(out, 2, static_cast<std::uint32_t>(out.size()), 4);
        put(out, kDataOffset, static_cast<std::uint32_t>(dataOffset), 4);
        put(out, kHeaderSize, 40, 4);
        put(out, kWidth, static_cast<std::uint32_t>(width), 4);
        put(out, kHeight, static_cast<std::uint32_t>(height), 4);
        put(out, kPlanes, 1, 2);
        put(out, kBitCount, bitCount, 2);
        put(out, kColorsUsed, colorsUsed, 4);
        for (std::size_t i = 0; i < palette.size(); ++i) put(out, 54 + 4 * i, palette[i], 4);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            for (std::size_t k = 0; k < rows[r].size(); ++k) {
                out[dataOffset + r * stride + k] = std::byte{rows[r][k]};
            }
        }
        return out;
    }

    static void put(std::vector<std::byte>& out, std::size_t at, std::uint32_t value, int size) {
        for (int k = 0; k < size; ++k)
            out[at + k] = static_cast<std::byte>(value >> (8 * k) & 0xFF);
    }
};

// A 2 × 2 24-bit bitmap: a valid base that the rejection cases spoil.
Bmp smallTrueColour() {
    Bmp bmp;
    bmp.width = 2;
    bmp.height = 2;
    bmp.rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
    return bmp;
}

// An image holding one known 1 × 1 pixel, to show that a refused decode
// leaves it untouched.
void markImage(OffscreenImage& image, std::uint32_t (&pixel)[1]) {
    pixel[0] = 0x12345678u;
    image.adopt(1, 1, pixel);
}

class OffscreenImageTest : public ::testing::Test {
protected:
    void SetUp() override { liveBefore_ = os::testing::liveAllocations(); }
    void TearDown() override {
        os::testing::failAllocations(0, 0);
        os::testing::failFindResource(false);
        os::unregisterResources(testProgram());
        EXPECT_EQ(os::testing::liveAllocations(), liveBefore_) << "local heap blocks leaked";
    }

private:
    std::size_t liveBefore_ = 0;
};

}  // namespace

TEST_F(OffscreenImageTest, CreateEnsureSizeAdoptAndReleaseKeepFieldsAndOwnershipStraight) {
    {
        OffscreenImage image;
        EXPECT_EQ(image.width(), 0);
        EXPECT_EQ(image.height(), 0);
        EXPECT_EQ(image.rowWords(), 0);
        EXPECT_EQ(image.bits(), nullptr);
        EXPECT_EQ(image.section(), nullptr);

        image.create({7, 9, 3, 2});  // x and y are not used
        EXPECT_EQ(image.width(), 3);
        EXPECT_EQ(image.height(), 2);
        EXPECT_EQ(image.rowWords(), 3);
        ASSERT_NE(image.section(), nullptr);
        ASSERT_NE(image.bits(), nullptr);
        EXPECT_EQ(image.bits(), image.section()->pixels);
        const vask::BitmapInfoHeader& info = *image.section()->info;
        EXPECT_EQ(info.size, 40u);
        EXPECT_EQ(info.width, 3);
        EXPECT_EQ(info.height, -2);  // top-down
        EXPECT_EQ(info.planes, 1);
        EXPECT_EQ(info.bitCount, 32);
        EXPECT_EQ(info.compression, 0u);
        EXPECT_EQ(info.sizeImage, 0u);
        EXPECT_EQ(info.clrUsed, 0u);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) EXPECT_EQ(image.pixel(x, y), 0u) << x << ", " << y;
        }

        // The same size at the origin keeps the section and its pixels...
        image.bits()[4] = 0xFFABCDEFu;
        const vask::ImageSection* section = image.section();
        image.ensureSize({0, 0, 3, 2});
        EXPECT_EQ(image.section(), section);
        EXPECT_EQ(image.pixel(1, 1), 0xFFABCDEFu);
        // ...any other rectangle re-creates it, zero-filled.
        image.ensureSize({1, 0, 3, 2});
        EXPECT_EQ(image.pixel(1, 1), 0u);
        image.ensureSize({0, 0, 5, 4});
        EXPECT_EQ(image.width(), 5);
        EXPECT_EQ(image.height(), 4);
        EXPECT_EQ(image.rowWords(), 5);
        image.create({0, 0, -8, 3});  // a too narrow control: an empty image, not a crash
        EXPECT_EQ(image.width(), 0);
        EXPECT_EQ(image.height(), 3);

        image.release();
        EXPECT_EQ(image.width(), 0);
        EXPECT_EQ(image.height(), 0);
        EXPECT_EQ(image.rowWords(), 0);
        EXPECT_EQ(image.bits(), nullptr);
        EXPECT_EQ(image.section(), nullptr);

        // Own memory without a section; the caller's memory stays the caller's
        // (freeing this array would abort under the sanitizers).
        image.adopt(4, 2, nullptr);
        EXPECT_NE(image.bits(), nullptr);
        EXPECT_EQ(image.section(), nullptr);
        EXPECT_EQ(image.rowWords(), 4);
        std::uint32_t mine[6] = {};
        image.adopt(3, 2, mine);
        EXPECT_EQ(image.bits(), mine);
        image.create({0, 0, 2, 2});
        image.adopt(3, 2, mine);  // adopting over a section frees the section
        EXPECT_EQ(image.section(), nullptr);

        OffscreenImage moved(std::move(image));
        EXPECT_EQ(moved.bits(), mine);
        EXPECT_EQ(image.bits(), nullptr);  // NOLINT(bugprone-use-after-move)
        moved.create({0, 0, 2, 1});
        image = std::move(moved);
        EXPECT_EQ(image.width(), 2);
    }  // destruction releases; TearDown checks that nothing leaked
}

TEST_F(OffscreenImageTest, RunningOutOfMemoryRaises1024AndLeavesAnEmptyImage) {
    const vask::ErrData outOfMemory = vask::ErrData::host(1024);
    OffscreenImage image;
    image.create({0, 0, 4, 4});
    // create allocates the section record, its information block, the section's
    // pixels and, only when those are missing, pixels of its own.
    for (std::size_t skip : {0u, 1u}) {
        os::testing::failAllocations(skip, 1);
        try {
            image.create({0, 0, 2, 2});
            ADD_FAILURE() << "no error with allocation " << skip << " failing";
        } catch (const vask::ErrData& error) {
            EXPECT_EQ(error, outOfMemory);
        }
        EXPECT_EQ(image.width(), 0);
        EXPECT_EQ(image.bits(), nullptr);
        EXPECT_EQ(image.section(), nullptr);
    }

    // No pixels for the section: the image renders into memory of its own.
    os::testing::failAllocations(2, 1);
    image.create({0, 0, 2, 2});
    ASSERT_NE(image.section(), nullptr);
    EXPECT_EQ(image.section()->pixels, nullptr);
    EXPECT_NE(image.bits(), nullptr);
    EXPECT_EQ(image.width(), 2);

    os::testing::failAllocations(2, 2);
    EXPECT_THROW(image.create({0, 0, 2, 2}), vask::ErrData);
    EXPECT_EQ(image.bits(), nullptr);
    EXPECT_EQ(image.section(), nullptr);

    os::testing::failAllocations(0, 1);
    EXPECT_THROW(image.adopt(3, 3, nullptr), vask::ErrData);
    EXPECT_EQ(image.width(), 0);
    EXPECT_EQ(image.bits(), nullptr);

    os::testing::failAllocations(0, 0);
    EXPECT_THROW(image.create({0, 0, INT_MAX, INT_MAX}), vask::ErrData);
    EXPECT_EQ(image.bits(), nullptr);
}

TEST_F(OffscreenImageTest, FillPixmapDescribesTheImageToTheRendererAndDrawToCopiesIt) {
    OffscreenImage image;
    image.create({0, 0, 3, 2});
    image.bits()[0] = 0x00102030u;  // the renderer's fourth byte may be anything
    image.bits()[5] = 0xFFA0B0C0u;

    TQ3Pixmap pixmap{};
    image.fillPixmap(pixmap);
    EXPECT_EQ(pixmap.image, image.bits());
    EXPECT_EQ(pixmap.width, 3u);
    EXPECT_EQ(pixmap.height, 2u);
    EXPECT_EQ(pixmap.rowBytes, 12u);
    EXPECT_EQ(pixmap.pixelSize, 32u);
    EXPECT_EQ(pixmap.pixelType, kQ3PixelTypeRGB32);
    EXPECT_EQ(pixmap.bitOrder, kQ3EndianLittle);
    EXPECT_EQ(pixmap.byteOrder, kQ3EndianLittle);

    os::Canvas canvas(5, 4, os::kWhite);
    image.drawTo(canvas, {0, 0, 3, 2}, {2, 2});
    EXPECT_EQ(canvas.pixel(2, 2), (os::Pixel{255, 0x10, 0x20, 0x30}));
    EXPECT_EQ(canvas.pixel(4, 3), (os::Pixel{255, 0xA0, 0xB0, 0xC0}));
    EXPECT_EQ(canvas.pixel(1, 2), os::kWhite);

    OffscreenImage empty;
    empty.drawTo(canvas, {0, 0, 5, 4}, {0, 0});
    EXPECT_EQ(canvas.pixel(0, 0), os::kWhite);
}

TEST_F(OffscreenImageTest, DecodesBothDepthsBottomUpAndTopDown) {
    OffscreenImage image;

    // 24 bits, width 3: rows of 9 pixel bytes and 3 of padding, bottom row first.
    Bmp trueColour;
    trueColour.width = 3;
    trueColour.height = 2;
    trueColour.rows = {{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09},
                       {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19}};
    ASSERT_EQ(trueColour.bytes().size(), 54u + 2 * 12);
    ASSERT_EQ(image.decodeBmp(trueColour.bytes()), vask::kBmpOk);
    EXPECT_EQ(image.width(), 3);
    EXPECT_EQ(image.height(), 2);
    EXPECT_NE(image.section(), nullptr);
    EXPECT_EQ(image.pixel(0, 1), 0xFF030201u);  // first stored row is the bottom one
    EXPECT_EQ(image.pixel(2, 1), 0xFF090807u);
    EXPECT_EQ(image.pixel(0, 0), 0xFF131211u);
    EXPECT_EQ(image.pixel(2, 0), 0xFF191817u);

    // The same, stored top-down.
    trueColour.height = -2;
    ASSERT_EQ(image.decodeBmp(trueColour.bytes()), vask::kBmpOk);
    EXPECT_EQ(image.height(), 2);
    EXPECT_EQ(image.pixel(0, 0), 0xFF030201u);
    EXPECT_EQ(image.pixel(2, 1), 0xFF191817u);

    // 8 bits with 16 palette entries: the rows start right after them, and
    // indices from 16 on, which have no colour, come out opaque black.
    Bmp indexed;
    indexed.width = 4;
    indexed.height = 1;
    indexed.bitCount = 8;
    indexed.colorsUsed = 16;
    for (std::uint32_t i = 0; i < 16; ++i) indexed.palette.push_back(0x010101u * i + 0x000080u);
    indexed.rows = {{0, 15, 16, 255}};
    ASSERT_EQ(indexed.bytes().size(), 54u + 64 + 4);
    ASSERT_EQ(image.decodeBmp(indexed.bytes()), vask::kBmpOk);
    EXPECT_EQ(image.pixel(0, 0), 0xFF000080u);
    EXPECT_EQ(image.pixel(1, 0), 0xFF0F0F8Fu);
    EXPECT_EQ(image.pixel(2, 0), 0xFF000000u);
    EXPECT_EQ(image.pixel(3, 0), 0xFF000000u);

    // 8 bits, used-colour count 0: a full palette of 256.
    Bmp full;
    full.bitCount = 8;
    full.width = 2;
    for (std::uint32_t i = 0; i < 256; ++i) full.palette.push_back(i << 16 | (255 - i));
    full.rows = {{200, 3}};
    ASSERT_EQ(image.decodeBmp(full.bytes()), vask::kBmpOk);
    EXPECT_EQ(image.pixel(0, 0), 0xFFC80037u);
    EXPECT_EQ(image.pixel(1, 0), 0xFF0300FCu);

    // The data offset is not what places the rows: they follow the palette
    // whatever it says (here 0), and the compression field is not read.
    std::vector<std::byte> unplaced = indexed.bytes();
    Bmp::put(unplaced, kDataOffset, 0, 4);
    Bmp::put(unplaced, kCompression, 1, 4);
    ASSERT_EQ(image.decodeBmp(unplaced), vask::kBmpOk);
    EXPECT_EQ(image.pixel(1, 0), 0xFF0F0F8Fu);
}

TEST_F(OffscreenImageTest, DesktopPicturesTakeEveryDepthAtTheirDataOffset) {
    constexpr auto Desktop = vask::BmpRules::Desktop;
    OffscreenImage image;

    // 32 bits: the unused byte does not reach the image.
    Bmp wide;
    wide.width = 2;
    wide.bitCount = 32;
    wide.rows = {{0x10, 0x20, 0x30, 0x00, 0x40, 0x50, 0x60, 0x7F}};
    ASSERT_EQ(image.decodeBmp(wide.bytes(), Desktop), vask::kBmpOk);
    EXPECT_EQ(image.pixel(0, 0), 0xFF302010u);
    EXPECT_EQ(image.pixel(1, 0), 0xFF605040u);

    // 4 bits: high nibble first; width 3 still pads to 4 bytes.
    Bmp nibbles;
    nibbles.width = 3;
    nibbles.height = 2;
    nibbles.bitCount = 4;
    nibbles.colorsUsed = 3;
    nibbles.palette = {0xFF0000, 0x00FF00, 0x0000FF};
    nibbles.rows = {{0x01, 0x20}, {0x21, 0xF0}};  // the bottom row, then the top one
    ASSERT_EQ(image.decodeBmp(nibbles.bytes(), Desktop), vask::kBmpOk);
    EXPECT_EQ(image.pixel(0, 1), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(1, 1), 0xFF00FF00u);
    EXPECT_EQ(image.pixel(2, 1), 0xFF0000FFu);
    EXPECT_EQ(image.pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(image.pixel(1, 0), 0xFF00FF00u);
    EXPECT_EQ(image.pixel(2, 0), 0xFF000000u);  // index 15 of a 3-entry palette

    // 1 bit: most significant bit first, width 10 spans two bytes.
    Bmp mono;
    mono.width = 10;
    mono.bitCount = 1;
    mono.palette = {0x000000, 0xFFFFFF};
    mono.rows = {{0b10100000, 0b01000000}};
    ASSERT_EQ(image.decodeBmp(mono.bytes(), Desktop), vask::kBmpOk);
    const std::string expected = "1010000001";
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(image.pixel(x, 0), expected[x] == '1' ? 0xFFFFFFFFu : 0xFF000000u) << x;
    }

    // What a desktop refuses, leaving the image as it was: the rows are
    // where the data offset says, all of them, uncompressed, in one plane.
    std::vector<std::vector<std::byte>> refused;
    const auto spoilt = [&](std::size_t at, std::uint32_t value, int size) {
        std::vector<std::byte> file = smallTrueColour().bytes();
        Bmp::put(file, at, value, size);
        refused.push_back(file);
    };
    spoilt(kDataOffset, 20, 4);
    spoilt(kDataOffset, 1000, 4);
    spoilt(kCompression, 1, 4);
    spoilt(kPlanes, 0, 2);
    spoilt(kBitCount, 16, 2);
    refused.push_back(smallTrueColour().bytes());
    refused.back().pop_back();
    for (const auto& file : refused) {
        std::uint32_t pixel[1];
        markImage(image, pixel);
        EXPECT_EQ(image.decodeBmp(file, Desktop), vask::kBmpIncorrectFormat);
        EXPECT_EQ(image.bits(), pixel);
        image.release();
    }
}

TEST_F(OffscreenImageTest, RejectsMalformedFilesWithIncorrectFormatAndLeavesTheImage) {
    struct Case {
        const char* what;
        std::vector<std::byte> file;
    };
    std::vector<Case> cases;
    const auto spoil = [&](const char* what, auto change) {
        Bmp bmp = smallTrueColour();
        std::vector<std::byte> file = bmp.bytes();
        change(bmp, file);
        cases.push_back({what, std::move(file)});
    };
    const auto set = [](std::size_t at, std::uint32_t value, int size) {
        return [=](Bmp&, std::vector<std::byte>& file) { Bmp::put(file, at, value, size); };
    };
    cases.push_back({"empty", {}});
    spoil("53 bytes", [](Bmp&, std::vector<std::byte>& f) { f.resize(53); });
    spoil("magic", set(0, 'X', 1));
    spoil("magic 'MB'", set(0, 'M' | 'B' << 8, 2));
    spoil("header size 12", set(kHeaderSize, 12, 4));
    spoil("header size 124", set(kHeaderSize, 124, 4));
    for (std::uint32_t depth : {0, 1, 2, 4, 16, 32}) spoil("another depth", set(kBitCount, depth, 2));
    spoil("width 0", set(kWidth, 0, 4));
    spoil("negative width", set(kWidth, static_cast<std::uint32_t>(-2), 4));
    spoil("height 0", set(kHeight, 0, 4));
    spoil("lowest height", set(kHeight, 0x80000000u, 4));
    spoil("width overflows the stride", set(kWidth, 0x7FFFFFFFu, 4));
    spoil("size overflow", [](Bmp&, std::vector<std::byte>& f) {
        Bmp::put(f, kWidth, 100000, 4);
        Bmp::put(f, kHeight, 100000, 4);
    });
    spoil("palette past the end", set(kColorsUsed, 200, 4));
    spoil("huge palette count", set(kColorsUsed, 0xFFFFFFFFu, 4));
    spoil("a tiny file announcing a huge bitmap", [](Bmp&, std::vector<std::byte>& f) {
        Bmp::put(f, kWidth, 0x00FF0000, 4);
        Bmp::put(f, kHeight, 2, 4);
    });
    spoil("an 8-bit palette past the end", set(kBitCount, 8, 2));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OffscreenImage image;
        std::uint32_t pixel[1];
        markImage(image, pixel);
        EXPECT_EQ(image.decodeBmp(c.file), vask::kBmpIncorrectFormat);
        EXPECT_EQ(image.width(), 1);
        EXPECT_EQ(image.bits(), pixel);
        EXPECT_EQ(image.pixel(0, 0), 0x12345678u);
    }
}

TEST_F(OffscreenImageTest, ShortRowsEndTheDecodingWithTheEarlierRowsKept) {
    // 3 × 4, 24 bits: stride 12. The last stored row (the top one) is cut
    // short, and then the rows are cut off after the headers.
    Bmp bmp;
    bmp.width = 3;
    bmp.height = 4;
    for (std::uint8_t r = 1; r <= 4; ++r) bmp.rows.push_back(std::vector<std::uint8_t>(9, r));
    std::vector<std::byte> file = bmp.bytes();
    file.resize(file.size() - 6);
    OffscreenImage image;
    EXPECT_EQ(image.decodeBmp(file), vask::kBmpIncorrectFormat);
    ASSERT_EQ(image.width(), 3);
    ASSERT_EQ(image.height(), 4);
    EXPECT_EQ(image.pixel(0, 3), 0xFF010101u);
    EXPECT_EQ(image.pixel(2, 1), 0xFF030303u);

    file.resize(54);
    EXPECT_EQ(image.decodeBmp(file), vask::kBmpIncorrectFormat);
    EXPECT_EQ(image.height(), 4) << "made before its rows are read";
}

TEST_F(OffscreenImageTest, AnyCorruptionOrTruncationDecodesSafely) {
    // Every byte of small 8- and 24-bit files set to telling values, and every
    // truncation: the decoder may refuse but never reads past the bytes it is
    // given (the sanitizer build checks that).
    Bmp indexed;
    indexed.width = 3;
    indexed.height = 2;
    indexed.bitCount = 8;
    indexed.colorsUsed = 4;
    indexed.palette = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
    indexed.rows = {{0, 1, 2}, {3, 200, 1}};
    Bmp trueColour = indexed;
    trueColour.bitCount = 24;
    trueColour.colorsUsed = 0;
    trueColour.palette.clear();
    trueColour.rows = {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}};
    for (const Bmp& bmp : {indexed, trueColour}) {
        const std::vector<std::byte> original = bmp.bytes();
        for (std::size_t at = 0; at < original.size(); ++at) {
            for (std::uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                std::vector<std::byte> file = original;
                file[at] = std::byte{value};
                OffscreenImage image;
                const std::int32_t result = image.decodeBmp(file);
                ASSERT_TRUE(result == vask::kBmpOk || result == vask::kBmpIncorrectFormat)
                    << "byte " << at << " = " << int{value} << ": " << result;
            }
            OffscreenImage image;
            EXPECT_EQ(image.decodeBmp(std::span(original).first(at)), vask::kBmpIncorrectFormat)
                << "cut to " << at << " bytes";
        }
    }
}

TEST_F(OffscreenImageTest, LoadsBitmapResourcesOfTheModule) {
    const std::vector<std::byte> file = smallTrueColour().bytes();
    const std::vector<os::ResourceEntry> entries{
        {"BMP", 101, file},
        {"BMP", 103, {}},
    };
    ASSERT_TRUE(os::registerResources(testProgram(), entries));

    OffscreenImage image;
    EXPECT_EQ(image.loadBmpResource(testProgram(), 101), vask::kBmpOk);
    EXPECT_EQ(image.width(), 2);
    EXPECT_EQ(image.pixel(1, 0), 0xFF0C0B0Au);

    EXPECT_EQ(vask::bmpResourceMissingCode(), ENOENT);
    EXPECT_EQ(image.loadBmpResource(testProgram(), 102), ENOENT);
    EXPECT_EQ(image.loadBmpResource(testProgram(), 101, "BITMAP"), ENOENT);
    EXPECT_EQ(image.loadBmpResource(nullptr, 101), ENOENT);
    // An empty resource is malformed, not a success.
    EXPECT_EQ(image.loadBmpResource(testProgram(), 103), vask::kBmpIncorrectFormat);
    os::testing::failFindResource(true);
    EXPECT_EQ(image.loadBmpResource(testProgram(), 101), ENOENT);
    EXPECT_EQ(image.width(), 2);  // a failed load leaves what the image held
}

// ---------------------------------------------------------------------------
// The committed artwork.

namespace {

namespace art = vask::plugins::art;

std::uint32_t wordOf(std::span<const std::byte> file, std::size_t at) {
    std::uint32_t word = 0;
    for (std::size_t k = 0; k < 4; ++k)
        word |= std::to_integer<std::uint32_t>(file[at + k]) << (8 * k);
    return word;
}

}  // namespace

TEST_F(OffscreenImageTest, TheCommittedArtworkDecodesToItsLayout) {
    const struct {
        const char* name;
        std::span<const std::byte> file;
    } palettes[] = {
        {"object", art::kObjectTools},
        {"spot", art::kSpotTools},
        {"point", art::kPointTools},
    };
    for (const auto& p : palettes) {
        SCOPED_TRACE(p.name);
        // A whole bitmap file of 14134 bytes: 8 bits per pixel, 256 colours,
        // pixels at 1078.
        ASSERT_EQ(p.file.size(), 14134u);
        EXPECT_EQ(wordOf(p.file, kDataOffset), 1078u);
        EXPECT_EQ(wordOf(p.file, kBitCount) & 0xFFFF, 8u);
        OffscreenImage image;
        ASSERT_EQ(image.decodeBmp(p.file), vask::kBmpOk);
        ASSERT_EQ(image.width(), 201);
        ASSERT_EQ(image.height(), 64);
        // Cells of 26 × 22 at x = 25 i and y = 0, 21, 42 share their border
        // lines, so every cell's outline has the one border colour.
        const std::uint32_t border = image.pixel(0, 0);
        for (int look = 0; look < 3; ++look) {
            for (int i = 0; i < 8; ++i) {
                const int x0 = 25 * i, y0 = 21 * look;
                for (int k = 0; k < 26; ++k) {
                    ASSERT_EQ(image.pixel(x0 + k, y0), border) << "cell " << i << ", look " << look;
                    ASSERT_EQ(image.pixel(x0 + k, y0 + 21), border)
                        << "cell " << i << ", look " << look;
                }
                for (int k = 0; k < 22; ++k) {
                    ASSERT_EQ(image.pixel(x0, y0 + k), border) << "cell " << i << ", look " << look;
                    ASSERT_EQ(image.pixel(x0 + 25, y0 + k), border)
                        << "cell " << i << ", look " << look;
                }
            }
        }
        // The pressed look's face differs from the normal one in every cell.
        for (int i = 0; i < 8; ++i) {
            EXPECT_NE(image.pixel(25 * i + 3, 18), image.pixel(25 * i + 3, 21 + 18))
                << "cell " << i;
        }
    }
    EXPECT_NE(std::vector<std::byte>(art::kObjectTools.begin(), art::kObjectTools.end()),
              std::vector<std::byte>(art::kSpotTools.begin(), art::kSpotTools.end()));
    EXPECT_NE(std::vector<std::byte>(art::kPointTools.begin(), art::kPointTools.end()),
              std::vector<std::byte>(art::kSpotTools.begin(), art::kSpotTools.end()));

    // The About picture: 125 × 153 at 4 bits per pixel.
    EXPECT_EQ(wordOf(art::kAboutPicture, kBitCount) & 0xFFFF, 4u);
    OffscreenImage about;
    EXPECT_EQ(about.decodeBmp(art::kAboutPicture), vask::kBmpIncorrectFormat) << "not artwork";
    ASSERT_EQ(about.decodeBmp(art::kAboutPicture, vask::BmpRules::Desktop), vask::kBmpOk);
    EXPECT_EQ(about.width(), 125);
    EXPECT_EQ(about.height(), 153);

    // Registered as a plug-in registers them, they load by type and number.
    ASSERT_TRUE(os::registerResources(testProgram(), art::kSpotArtwork));
    OffscreenImage loaded;
    EXPECT_EQ(loaded.loadBmpResource(testProgram(), art::kSpotToolPaletteId, art::kBitmapType),
              vask::kBmpOk);
    EXPECT_EQ(loaded.width(), 201);
    EXPECT_EQ(loaded.loadBmpResource(testProgram(), art::kAboutPictureId, art::kPictureType,
                                     vask::BmpRules::Desktop),
              vask::kBmpOk);
    EXPECT_EQ(loaded.height(), 153);
}
