#include "platform/q3d/io/BinarySource.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/q3d/core/Errors.h"
#include "platform/q3d/io/ReadFailure.h"

namespace q3d::io {
namespace {

// Values are read bytewise: objects start at any offset.
std::uint32_t load32(const unsigned char* p, bool big) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return big == (std::endian::native == std::endian::big) ? v : __builtin_bswap32(v);
}
std::uint16_t load16(const unsigned char* p, bool big) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return big == (std::endian::native == std::endian::big) ? v : __builtin_bswap16(v);
}

bool printable(std::uint32_t code) {
    for (int shift = 0; shift < 32; shift += 8) {
        const unsigned c = (code >> shift) & 0xff;
        if (c < 0x20 || c > 0x7e) return false;
    }
    return true;
}

constexpr std::size_t kPollEvery = 1 << 18;

}  // namespace

BinarySource::BinarySource(std::span<const unsigned char> bytes, bool bigEndian,
                           std::function<bool(TQ3Int32)> isCustom)
    : bytes_(bytes), bigEndian_(bigEndian), isCustom_(std::move(isCustom)) {
    ends_.push_back(bytes.size());
}

const unsigned char* BinarySource::take(std::uint64_t count) {
    if (count > ends_.back() - pos_) {
        fail(kQ3ErrorInvalidMetafileObject, "an object ends before its data does, at " + where());
    }
    const unsigned char* at = bytes_.data() + pos_;
    pos_ += count;
    return at;
}

bool BinarySource::enter(ObjectHead& head, AtTop junk) {
    const std::uint64_t end = ends_.back();
    if (pos_ == end) return false;
    const bool top = ends_.size() == 1;
    const std::uint64_t left = end - pos_;
    std::uint32_t type = 0, size = 0;
    if (left >= 8) {
        type = load32(bytes_.data() + pos_, bigEndian_);
        size = load32(bytes_.data() + pos_ + 4, bigEndian_);
    }
    const bool fits = left >= 8 && size <= left - 8;
    if (!fits) {
        const bool looksLikeObject = left >= 8 && (printable(type) || isCustom_(std::int32_t(type)));
        if (top && junk == AtTop::kJunkEnds && !looksLikeObject) {
            postWarning(kQ3WarningInvalidMetafileObject);
            pos_ = end;
            return false;
        }
        fail(left < 8 ? kQ3ErrorEndOfFile : kQ3ErrorInvalidMetafileObject,
             left < 8 ? "the file ends inside an object's frame at " + where()
                      : "an object runs past " + std::string(top ? "the end of the file" : "its parent") +
                            ", at " + where());
    }
    head.code = std::int32_t(type);
    head.name = {};
    head.start = pos_;
    pos_ += 8;
    ends_.push_back(pos_ + size);
    return true;
}

void BinarySource::leave() {
    pos_ = ends_.back();
    if (ends_.size() > 1) ends_.pop_back();
}

std::uint32_t BinarySource::u32() { return load32(take(4), bigEndian_); }
std::uint16_t BinarySource::u16() { return load16(take(2), bigEndian_); }

std::uint64_t BinarySource::u64() {
    const unsigned char* p = take(8);
    const std::uint64_t a = load32(p, bigEndian_), b = load32(p + 4, bigEndian_);
    return bigEndian_ ? (a << 32) | b : (b << 32) | a;
}

float BinarySource::f32() { return std::bit_cast<float>(u32()); }

std::string BinarySource::string() {
    const std::uint64_t end = ends_.back();
    const void* zero = std::memchr(bytes_.data() + pos_, 0, end - pos_);
    if (zero == nullptr) fail(kQ3ErrorInvalidMetafilePrimitive, "a string has no end, at " + where());
    const auto length = std::uint64_t(static_cast<const unsigned char*>(zero) - (bytes_.data() + pos_));
    std::string text(reinterpret_cast<const char*>(take(length + 1)), length);
    // Strings are padded to four bytes with their terminator; a writer that
    // did not pad leaves the next value right after the zero.
    const std::uint64_t padded = (length + 1 + 3) / 4 * 4 - (length + 1);
    pos_ += std::min(padded, end - pos_);
    return text;
}

void BinarySource::raw(unsigned char* out, std::size_t count) {
    // An empty run may come with no buffer at all.
    if (count != 0) std::memcpy(out, take(count), count);
}

void BinarySource::floats(float* out, std::size_t count) {
    if (count > (ends_.back() - pos_) / 4) take(std::uint64_t(count) * 4);  // fails
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(kPollEvery, count - done);
        const unsigned char* p = take(n * 4);
        if (bigEndian_ == (std::endian::native == std::endian::big)) {
            std::memcpy(out + done, p, n * 4);
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                std::uint32_t v;
                std::memcpy(&v, p + 4 * i, 4);
                out[done + i] = std::bit_cast<float>(__builtin_bswap32(v));
            }
        }
        done += n;
        pollNow();
    }
}

void BinarySource::unsignedValues(std::uint32_t* out, std::size_t count, unsigned width) {
    if (count > (ends_.back() - pos_) / width) take(std::uint64_t(count) * width);  // fails
    const bool swap = bigEndian_ != (std::endian::native == std::endian::big);
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(kPollEvery, count - done);
        const unsigned char* p = take(n * width);
        std::uint32_t* o = out + done;
        if (width == 1) {
            for (std::size_t i = 0; i < n; ++i) o[i] = p[i];
        } else if (width == 2) {
            for (std::size_t i = 0; i < n; ++i) {
                std::uint16_t v;
                std::memcpy(&v, p + 2 * i, 2);
                o[i] = swap ? __builtin_bswap16(v) : v;
            }
        } else if (swap) {
            for (std::size_t i = 0; i < n; ++i) {
                std::uint32_t v;
                std::memcpy(&v, p + 4 * i, 4);
                o[i] = __builtin_bswap32(v);
            }
        } else {
            std::memcpy(o, p, n * 4);
        }
        done += n;
        pollNow();
    }
}

std::uint64_t BinarySource::filePointer() {
    const std::uint64_t at = u64();
    return at == 0 || at >= bytes_.size() ? kNowhere : at;
}

void BinarySource::restore(const Mark& mark) {
    ends_ = mark.scopes;
    pos_ = mark.position;
}

void BinarySource::seekTop(std::uint64_t position) {
    ends_.resize(1);
    pos_ = std::min<std::uint64_t>(position, bytes_.size());
}

}  // namespace q3d::io
