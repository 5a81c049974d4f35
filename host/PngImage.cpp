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

void onPngWarning(png_structp, png_const_charp) {}

File openForReading(const std::filesystem::path& path) {
  File f(openInputStream(path));
  std::array<unsigned char, 8> head{};
  const std::size_t n = std::fread(head.data(), 1, head.size(), f.get());
  if (n != head.size() || head != kSignature) {
    throw HostError(path.string() + ": not a PNG file (its first bytes are not a PNG signature)");
  }
  return f;
}

// What a PNG read found wrong, filled in by libpng's error callback.
struct ReadState {
  char message[200] = {};
};

[[noreturn]] void onReadError(png_structp png, png_const_charp message) {
  auto* state = static_cast<ReadState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message);
  png_longjmp(png, 1);
}

// One libpng read of a file whose signature has been checked: the structures
// live exactly as long as this object.
class PngReader {
 public:
  PngReader(std::FILE* file, const std::filesystem::path& path) : path_(path), file_(file) {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state_, onReadError, onPngWarning);
    if (png_) info_ = png_create_info_struct(png_);
  }
  ~PngReader() {
    if (png_) png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
  }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  // Reads the chunks before the pixels and checks the size.
  PngSize header() {
    if (!png_ || !info_) throw HostError(path_.string() + ": out of memory reading the PNG");
    if (!readInfo()) fail();
    const png_uint_32 w = png_get_image_width(png_, info_), h = png_get_image_height(png_, info_);
    if (w == 0 || h == 0 || w > static_cast<png_uint_32>(World::kMaxSide) ||
        h > static_cast<png_uint_32>(World::kMaxSide) || uint64_t{w} * h > kMaxPngPixels) {
      throw HostError(path_.string() + ": picture of " + std::to_string(w) + " x " + std::to_string(h) +
                      " pixels is larger than this host reads (" + std::to_string(World::kMaxSide) +
                      " pixels a side, " + std::to_string(kMaxPngPixels) + " in all)");
    }
    return PngSize{static_cast<int32_t>(w), static_cast<int32_t>(h)};
  }

  // Decodes every pixel into `world` (of the header's size) as alpha, red,
  // green, blue bytes, straight.
  void pixels(World& world) {
    rows_.resize(static_cast<std::size_t>(world.height()));
    for (int32_t y = 0; y < world.height(); ++y) {
      rows_[static_cast<std::size_t>(y)] =
          reinterpret_cast<png_bytep>(world.view()->data) + static_cast<std::ptrdiff_t>(y) * world.rowbytes();
    }
    if (!readPixels(static_cast<std::size_t>(world.width()) * 4)) fail();
  }

 private:
  [[noreturn]] void fail() {
    throw HostError(path_.string() + ": damaged PNG: " +
                    (state_.message[0] ? state_.message : "the reader stopped"));
  }

  // libpng reports errors by longjmp into these two, so nothing in them has
  // a destructor to skip.
  bool readInfo() {
    if (setjmp(png_jmpbuf(png_))) return false;
    png_init_io(png_, file_);
    png_set_sig_bytes(png_, static_cast<int>(kSignature.size()));
    png_read_info(png_, info_);
    return true;
  }

  // The stored values, whatever the file's gamma, colour space or profile
  // chunks say: a height field's numbers are heights, not light. Only the
  // layout changes: palettes and grey become RGB, sub-byte samples become
  // bytes, a transparency chunk becomes alpha, 16-bit samples are scaled to
  // 8 bits with rounding, and an opaque file gets alpha 255.
  bool readPixels(std::size_t rowBytes) {
    if (setjmp(png_jmpbuf(png_))) return false;
    const png_byte type = png_get_color_type(png_, info_);
    const bool alpha = (type & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png_, info_, PNG_INFO_tRNS);
    png_set_expand(png_);
    png_set_scale_16(png_);
    png_set_gray_to_rgb(png_);
    if (alpha) {
      png_set_swap_alpha(png_);
    } else {
      png_set_add_alpha(png_, 0xFF, PNG_FILLER_BEFORE);
    }
    png_set_interlace_handling(png_);
    png_read_update_info(png_, info_);
    if (png_get_rowbytes(png_, info_) != rowBytes) png_error(png_, "unexpected row size after conversion");
    png_read_image(png_, rows_.data());
    png_read_end(png_, nullptr);
    return true;
  }

  std::filesystem::path path_;
  std::FILE* file_;
  ReadState state_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  std::vector<png_bytep> rows_;
};

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
  File f = openForReading(path);
  PngReader reader(f.get(), path);
  return reader.header();
}

World readPng(const std::filesystem::path& path) {
  File f = openForReading(path);
  PngReader reader(f.get(), path);
  const PngSize size = reader.header();
  World world(size.width, size.height);
  reader.pixels(world);
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

std::vector<std::byte> encodePng(const World& world) {
  if (world.width() <= 0 || world.height() <= 0) throw HostError("cannot encode an empty picture");
  try {
    thread_local PngEncoder encoder;
    const std::span<const uint8_t> bytes = encoder.encode(world);
    const auto* first = reinterpret_cast<const std::byte*>(bytes.data());
    return {first, first + bytes.size()};
  } catch (const std::bad_alloc&) {
    throw HostError("cannot encode a PNG: out of memory");
  }
}

}  // namespace vask::host
