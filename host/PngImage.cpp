#include "host/PngImage.h"

#include <png.h>

#include <array>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/AtomicFile.h"
#include "host/HostError.h"
#include "host/InputFile.h"

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

// What a PNG write found wrong, filled in by libpng's callbacks.
struct WriteState {
  std::FILE* file;
  std::vector<std::byte>* memory = nullptr;  // written here instead when set
  int systemError = 0;  // errno of a failed write, else 0
  char message[200] = {};
};

[[noreturn]] void onPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<WriteState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message);
  png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

void writeBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* state = static_cast<WriteState*>(png_get_error_ptr(png));
  if (state->memory) {
    const auto* bytes = reinterpret_cast<const std::byte*>(data);
    state->memory->insert(state->memory->end(), bytes, bytes + length);
    return;
  }
  if (std::fwrite(data, 1, length, state->file) != length) {
    state->systemError = errno ? errno : EIO;
    png_error(png, "write failed");
  }
}

void flushBytes(png_structp) {}  // the caller flushes once, at the end

// Un-premultiplies one row of `world` into 8-bit RGBA. Opaque pixels, the
// bulk of a rendered frame, need no division.
void straightRow(const World& world, int32_t y, png_byte* out) {
  const auto* in = reinterpret_cast<const PF_Pixel*>(reinterpret_cast<const char*>(world.view().data) +
                                                     static_cast<std::ptrdiff_t>(y) * world.rowbytes());
  for (int32_t x = 0; x < world.width(); ++x, out += 4) {
    const PF_Pixel s = in[x].alpha == 255 ? in[x] : unpremultiply(in[x]);
    out[0] = s.red;
    out[1] = s.green;
    out[2] = s.blue;
    out[3] = s.alpha;
  }
}

// Encodes `world` through `png`, one row at a time through `row` (width × 4
// bytes). False when libpng reported an error (in the WriteState).
//
// zlib level 2 with the Sub filter on every row: on rendered 1920 × 1080
// frames and height fields this encodes 4 to 6 times faster than libpng's
// defaults (level 6, a filter chosen per row), for files from 4 % smaller
// to 56 % larger (smooth height fields gain most from the per-row choice).
// Level 1 was no faster and made larger files; Up, Paeth or the per-row
// choice cost more time for no smaller files; no filter made noisy frames
// a little smaller and smooth ones 80 % larger. Rendered frames are mostly
// passed on to an encoder: the render's time matters more than their size.
//
// libpng reports errors by longjmp into this function, so nothing here has
// a destructor to skip.
bool encodeRows(png_structp png, png_infop info, const World& world, png_byte* row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, png_get_error_ptr(png), writeBytes, flushBytes);
  png_set_compression_level(png, 2);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_IHDR(png, info, static_cast<png_uint_32>(world.width()),
               static_cast<png_uint_32>(world.height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  for (int32_t y = 0; y < world.height(); ++y) {
    straightRow(world, y, row);
    png_write_row(png, row);
  }
  png_write_end(png, info);
  return true;
}

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
  std::vector<png_byte> row(static_cast<std::size_t>(world.width()) * 4);
  replaceFile(path, [&](const std::filesystem::path& temporary) {
    // A frame goes out in few system calls. The buffer is made before the
    // file, so that it outlives the close on every way out.
    std::vector<char> buffer(std::size_t{1} << 20);
    File f(std::fopen(temporary.c_str(), "wb"));
    if (!f) throw HostError(path.string() + ": cannot write: " + std::strerror(errno));
    std::setvbuf(f.get(), buffer.data(), _IOFBF, buffer.size());
    WriteState state{f.get()};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool ok = png && info && encodeRows(png, info, world, row.data());
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!ok) {
      const std::string why = state.systemError ? std::strerror(state.systemError)
                              : state.message[0] ? state.message
                                                 : "out of memory";
      throw HostError(path.string() + ": cannot write: " + why);
    }
    std::FILE* raw = f.release();
    errno = 0;
    const bool flushed = std::fflush(raw) == 0;
    const int code = errno;
    if (std::fclose(raw) != 0 || !flushed) {
      throw HostError(path.string() + ": cannot write: " + std::strerror(code ? code : errno));
    }
  });
}

std::vector<std::byte> encodePng(const World& world) {
  if (world.width() <= 0 || world.height() <= 0) throw HostError("cannot encode an empty picture");
  std::vector<png_byte> row(static_cast<std::size_t>(world.width()) * 4);
  std::vector<std::byte> out;
  out.reserve(static_cast<std::size_t>(world.width()) * static_cast<std::size_t>(world.height()));
  WriteState state{nullptr, &out};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, onPngError, onPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool ok = png && info && encodeRows(png, info, world, row.data());
  if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  if (!ok) throw HostError(std::string("cannot encode a PNG: ") + (state.message[0] ? state.message : "out of memory"));
  return out;
}

}  // namespace vask::host
