#include "tests/q3d_views/GoldenImage.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

namespace viewtest {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string goldenPath(const std::string& name) { return std::string(VASK_GOLDEN_DIR) + "/" + name + ".png"; }

}  // namespace

RgbImage fromPixmap(const TQ3Pixmap& pixmap) {
    RgbImage image;
    image.width = pixmap.width;
    image.height = pixmap.height;
    image.rgb.resize(size_t(pixmap.width) * pixmap.height * 3);
    const bool big = pixmap.byteOrder == kQ3EndianBig;
    for (uint32_t y = 0; y < pixmap.height; ++y) {
        const auto* row = static_cast<const uint8_t*>(pixmap.image) + size_t(y) * pixmap.rowBytes;
        for (uint32_t x = 0; x < pixmap.width; ++x) {
            const uint8_t* p = row + size_t(x) * 4;
            uint8_t* out = &image.rgb[(size_t(y) * pixmap.width + x) * 3];
            out[0] = big ? p[1] : p[2];
            out[1] = big ? p[2] : p[1];
            out[2] = big ? p[3] : p[0];
        }
    }
    return image;
}

bool readPng(const std::string& path, RgbImage& image, std::string& error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        error = path + ": " + png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    image.width = png.width;
    image.height = png.height;
    image.rgb.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) {
        error = path + ": " + png.message;
        png_image_free(&png);
        return false;
    }
    return true;
}

bool writePng(const std::string& path, const RgbImage& image, std::string& error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    png.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&png, path.c_str(), 0, image.rgb.data(), 0, nullptr)) {
        error = path + ": " + png.message;
        return false;
    }
    return true;
}

void expectMatchesGolden(const std::string& name, const RgbImage& image, Tolerance tolerance) {
    std::string error;
    const char* update = std::getenv("VASK_UPDATE_GOLDEN");
    if (update != nullptr && std::strcmp(update, "1") == 0) {
        EXPECT_TRUE(writePng(goldenPath(name), image, error)) << error;
        return;
    }
    RgbImage golden;
    ASSERT_TRUE(readPng(goldenPath(name), golden, error)) << error;
    ASSERT_EQ(golden.width, image.width) << name;
    ASSERT_EQ(golden.height, image.height) << name;
    uint64_t differing = 0;
    uint32_t worst = 0;
    uint32_t firstX = 0, firstY = 0;
    for (size_t i = 0; i < image.rgb.size(); i += 3) {
        uint32_t pixelWorst = 0;
        for (size_t c = 0; c < 3; ++c) {
            pixelWorst =
                std::max<uint32_t>(pixelWorst, uint32_t(std::abs(int(image.rgb[i + c]) - int(golden.rgb[i + c]))));
        }
        if (pixelWorst > tolerance.channelTolerance) {
            if (differing == 0) {
                firstX = uint32_t((i / 3) % image.width);
                firstY = uint32_t((i / 3) / image.width);
            }
            ++differing;
        }
        worst = std::max(worst, pixelWorst);
    }
    if (differing > tolerance.maxDifferingPixels) {
        const std::string actual = (std::filesystem::temp_directory_path() / ("vask_" + name + ".actual.png")).string();
        writePng(actual, image, error);
        ADD_FAILURE() << name << ": " << differing << " pixels differ by more than " << tolerance.channelTolerance
                      << " (allowed " << tolerance.maxDifferingPixels << "), worst channel difference " << worst
                      << ", first at (" << firstX << ", " << firstY << "); the picture is in " << actual;
    }
}

}  // namespace viewtest
