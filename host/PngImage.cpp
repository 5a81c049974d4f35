#include "host/PngImage.h"

#include <png.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/AtomicFile.h"
#include "host/HostError.h"

namespace vask::host {
namespace {

constexpr std::array<unsigned char, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Ends a png_image read on every way out.
struct ImageGuard {
  png_image* image;
  ~ImageGuard() { png_image_free(image); }
};

File openForReading(const std::filesystem::path& path) {
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) throw HostError(path.string() + ": cannot open: " + std::strerror(errno));
  std::array<unsigned char, 8> head{};
  const std::size_t n = std::fread(head.data(), 1, head.size(), f.get());
  if (n != head.size() || head != kSignature) {
    throw HostError(path.string() + ": not a PNG file (its first bytes are not a PNG signature)");
  }
  std::rewind(f.get());
  return f;
}

// Opens the file and reads its header into `image`.
File beginRead(const std::filesystem::path& path, png_image& image) {
  File f = openForReading(path);
  image = png_image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_stdio(&image, f.get())) {
    throw HostError(path.string() + ": damaged PNG: " + image.message);
  }
  if (image.width == 0 || image.height == 0 ||
      image.width > static_cast<png_uint_32>(World::kMaxSide) ||
      image.height > static_cast<png_uint_32>(World::kMaxSide) ||
      uint64_t{image.width} * image.height > kMaxPngPixels) {
    throw HostError(path.string() + ": picture of " + std::to_string(image.width) + " x " +
                    std::to_string(image.height) + " pixels is larger than this host reads (" +
                    std::to_string(World::kMaxSide) + " pixels a side, " +
                    std::to_string(kMaxPngPixels) + " in all)");
  }
  return f;
}

}  // namespace

bool isPng(std::span<const std::byte> bytes) {
  if (bytes.size() < kSignature.size()) return false;
  return std::memcmp(bytes.data(), kSignature.data(), kSignature.size()) == 0;
}

PF_Pixel premultiply(PF_Pixel s) {
  auto mul = [&](uint8_t c) { return static_cast<uint8_t>((c * s.alpha + 127) / 255); };
  return PF_Pixel{s.alpha, mul(s.red), mul(s.green), mul(s.blue)};
}

PF_Pixel unpremultiply(PF_Pixel p) {
  if (p.alpha == 0) return PF_Pixel{0, 0, 0, 0};
  auto div = [&](uint8_t c) {
    const int v = (c * 255 + p.alpha / 2) / p.alpha;
    return static_cast<uint8_t>(v > 255 ? 255 : v);
  };
  return PF_Pixel{p.alpha, div(p.red), div(p.green), div(p.blue)};
}

PngSize readPngSize(const std::filesystem::path& path) {
  png_image image;
  File f = beginRead(path, image);
  ImageGuard guard{&image};
  return PngSize{static_cast<int32_t>(image.width), static_cast<int32_t>(image.height)};
}

World readPng(const std::filesystem::path& path) {
  png_image image;
  File f = beginRead(path, image);
  ImageGuard guard{&image};
  image.format = PNG_FORMAT_RGBA;
  const auto width = static_cast<int32_t>(image.width);
  const auto height = static_cast<int32_t>(image.height);
  std::vector<png_byte> rgba(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
    throw HostError(path.string() + ": damaged PNG: " + image.message);
  }
  World world(width, height);
  const png_byte* p = rgba.data();
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x, p += 4) {
      world.at(x, y) = premultiply(PF_Pixel{p[3], p[0], p[1], p[2]});
    }
  }
  return world;
}

void writePng(const std::filesystem::path& path, const World& world) {
  if (world.width() <= 0 || world.height() <= 0) {
    throw HostError(path.string() + ": cannot write an empty picture");
  }
  std::vector<png_byte> rgba(static_cast<std::size_t>(world.width()) * world.height() * 4);
  png_byte* p = rgba.data();
  for (int32_t y = 0; y < world.height(); ++y) {
    for (int32_t x = 0; x < world.width(); ++x, p += 4) {
      const PF_Pixel s = unpremultiply(world.at(x, y));
      p[0] = s.red;
      p[1] = s.green;
      p[2] = s.blue;
      p[3] = s.alpha;
    }
  }
  replaceFile(path, [&](const std::filesystem::path& temporary) {
    File f(std::fopen(temporary.c_str(), "wb"));
    if (!f) throw HostError(path.string() + ": cannot write: " + std::strerror(errno));
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(world.width());
    image.height = static_cast<png_uint_32>(world.height());
    image.format = PNG_FORMAT_RGBA;
    const bool ok = png_image_write_to_stdio(&image, f.get(), 0, rgba.data(), 0, nullptr) != 0;
    const std::string why = ok ? std::string() : std::string(image.message);
    png_image_free(&image);
    if (!ok) throw HostError(path.string() + ": cannot write: " + why);
    std::FILE* raw = f.release();
    const bool flushed = std::fflush(raw) == 0;
    const int code = errno;
    if (std::fclose(raw) != 0 || !flushed) {
      throw HostError(path.string() + ": cannot write: " + std::strerror(code ? code : errno));
    }
  });
}

}  // namespace vask::host
