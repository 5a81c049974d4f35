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
#include "host/InputFile.h"
#include "host/PngEncoder.h"

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
  File f(openInputStream(path));
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
    png_image_free(&image);  // the reader's structures, made by the begin call
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
  // Alpha first is the byte order of a World's pixels: libpng decodes
  // straight into the world, which is then premultiplied in place.
  image.format = PNG_FORMAT_ARGB;
  World world(static_cast<int32_t>(image.width), static_cast<int32_t>(image.height));
  if (!png_image_finish_read(&image, nullptr, world.view()->data, world.rowbytes(), nullptr)) {
    throw HostError(path.string() + ": damaged PNG: " + image.message);
  }
  for (int32_t y = 0; y < world.height(); ++y) {
    auto* row = reinterpret_cast<PF_Pixel*>(reinterpret_cast<char*>(world.view()->data) +
                                            static_cast<std::ptrdiff_t>(y) * world.rowbytes());
    for (int32_t x = 0; x < world.width(); ++x) {
      if (row[x].alpha != 255) row[x] = premultiply(row[x]);
    }
  }
  return world;
}

void writePng(const std::filesystem::path& path, const World& world) {
  if (world.width() <= 0 || world.height() <= 0) {
    throw HostError(path.string() + ": cannot write an empty picture");
  }
  // Each thread keeps its encoder: a render's writer thread encodes frame
  // after frame of one size into the same buffers.
  std::span<const uint8_t> bytes;
  try {
    thread_local PngEncoder encoder;
    bytes = encoder.encode(world);
  } catch (const std::bad_alloc&) {
    throw HostError(path.string() + ": cannot write: out of memory");
  }
  replaceFile(path, [&](const std::filesystem::path& temporary) {
    File f(std::fopen(temporary.c_str(), "wb"));
    if (!f) throw HostError(path.string() + ": cannot write: " + std::strerror(errno));
    std::setvbuf(f.get(), nullptr, _IONBF, 0);  // one write of the whole file
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    int code = written ? 0 : errno ? errno : EIO;
    std::FILE* raw = f.release();
    if (std::fclose(raw) != 0 && code == 0) code = errno ? errno : EIO;
    if (code != 0) throw HostError(path.string() + ": cannot write: " + std::strerror(code));
  });
}

}  // namespace vask::host
