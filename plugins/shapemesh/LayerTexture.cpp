#include "plugins/shapemesh/LayerTexture.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/QD3DStorage.h"
#include "scene/Q3Check.h"
#include "shell/WorkerThreads.h"

namespace vask {
namespace {

#if defined(__x86_64__)
const bool kAvx2 = __builtin_cpu_supports("avx2");

// reverseWords eight words at a time; returns the words done.
__attribute__((target("avx2"))) std::size_t reverseWordsAvx2(unsigned char* dst, const unsigned char* src,
                                                           std::size_t count) {
  const __m256i order = _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12,  //
                                         3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), _mm256_shuffle_epi8(words, order));
  }
  return i;
}
#endif

// `count` 32-bit words from src to dst, each with its bytes reversed.
void reverseWords(unsigned char* dst, const unsigned char* src, std::size_t count) {
  std::size_t i = 0;
#if defined(__x86_64__)
  if (kAvx2) i = reverseWordsAvx2(dst, src, count);
#endif
  for (; i < count; ++i) {
    uint32_t word;
    std::memcpy(&word, src + 4 * i, sizeof word);
    word = __builtin_bswap32(word);
    std::memcpy(dst + 4 * i, &word, sizeof word);
  }
}

// Below this many bytes the conversion stays on one thread.
constexpr std::size_t kBytesPerExtraThread = std::size_t{1} << 20;

// The layer's rows into dst, in bands of rows over hostThreadCount() threads.
void convertRows(unsigned char* dst, const LayerImage& layer) {
  const auto rowBytes = static_cast<std::size_t>(layer.rowBytes);
  const auto rows = static_cast<std::size_t>(layer.height);
  const std::size_t words = rowBytes / 4;
  const std::size_t rest = rowBytes % 4;
  const auto bands = static_cast<uint32_t>(
      std::min<std::size_t>({hostThreadCount(), 1 + rows * rowBytes / kBytesPerExtraThread, std::max<std::size_t>(rows, 1)}));
  runBands(bands, [&](uint32_t b) {
    const std::size_t first = rows * b / bands;
    const std::size_t end = rows * (b + 1) / bands;
    if (rest == 0) {
      // Rows follow one another without a break: one pass over the band.
      reverseWords(dst + first * rowBytes, layer.data + first * rowBytes, words * (end - first));
      return;
    }
    // Every row starts at its true offset, so each pixel stays whole.
    for (std::size_t y = first; y < end; ++y) {
      const std::size_t start = y * rowBytes;
      reverseWords(dst + start, layer.data + start, words);
      std::memcpy(dst + start + 4 * words, layer.data + start + 4 * words, rest);
    }
  });
}

}  // namespace

LayerPixmap::LayerPixmap(ObjectSequenceRecord& record, const LayerImage& layer) : record_(record) {
  const uint64_t size = static_cast<uint64_t>(layer.height) * static_cast<uint64_t>(layer.rowBytes);
  // A storage counts its bytes in 32 bits: a larger image cannot be handed over.
  if (size > std::numeric_limits<uint32_t>::max()) raise(msg::kOutOfMemory);
  unsigned char* pixels = static_cast<unsigned char*>(record.pixelBuffer);
  if (record.pixelBufferSize < size) {
    grown_ = MemoryBlock(static_cast<std::size_t>(size));
    adviseHugePages(grown_.data(), grown_.size());
    pixels = static_cast<unsigned char*>(grown_.data());
  }
  const auto bytes = static_cast<TQ3Uns32>(size);
  storage_.reset(q3Check(Q3MemoryStorage_NewBuffer(pixels, bytes, bytes)));
  convertRows(pixels, layer);
  pixmap_.image = storage_.get();
  pixmap_.width = static_cast<TQ3Uns32>(layer.width);
  pixmap_.height = static_cast<TQ3Uns32>(layer.height);
  pixmap_.rowBytes = static_cast<TQ3Uns32>(layer.rowBytes);
  pixmap_.pixelSize = 32;
  pixmap_.pixelType = kQ3PixelTypeARGB32;
  pixmap_.bitOrder = kQ3EndianLittle;
  pixmap_.byteOrder = kQ3EndianLittle;
}

void LayerPixmap::commit() noexcept {
  if (!grown_) return;
  const auto size = static_cast<uint32_t>(grown_.size());
  freeBlock(record_.pixelBuffer);
  record_.pixelBuffer = grown_.release();
  record_.pixelBufferSize = size;
}

TQ3ShaderObject makeTextureShader(ObjectSequenceRecord& record, const LayerImage& layer) {
  LayerPixmap pixels(record, layer);
  ObjectRef texture(q3Check(Q3PixmapTexture_New(&pixels.pixmap())));
  pixels.commit();
  return q3Check(Q3TextureShader_New(texture.get()));
}

void refreshTexture(ObjectSequenceRecord& record, const LayerImage& layer) {
  LayerPixmap pixels(record, layer);
  TQ3TextureObject shared = nullptr;
  q3Check(Q3TextureShader_GetTexture(record.surfaceShader, &shared));
  ObjectRef texture(shared);
  q3Check(Q3PixmapTexture_SetPixmap(texture.get(), &pixels.pixmap()));
  pixels.commit();
}

}  // namespace vask
