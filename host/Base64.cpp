#include "host/Base64.h"

#include <array>
#include <cstdint>

namespace vask::host {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> makeTable() {
  std::array<int8_t, 256> t{};
  for (auto& v : t) v = -1;
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
  return t;
}
constexpr auto kTable = makeTable();

}  // namespace

std::string encodeBase64(std::span<const std::byte> bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = std::to_integer<uint32_t>(bytes[i]) << 16 |
                       std::to_integer<uint32_t>(bytes[i + 1]) << 8 |
                       std::to_integer<uint32_t>(bytes[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(v >> s) & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t v = std::to_integer<uint32_t>(bytes[i]) << 16;
    if (rest == 2) v |= std::to_integer<uint32_t>(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::vector<std::byte>> decodeBase64(std::string_view text, std::string* why) {
  auto fail = [&](std::string what) -> std::optional<std::vector<std::byte>> {
    if (why) *why = std::move(what);
    return std::nullopt;
  };
  if (text.size() % 4 != 0) {
    return fail("its length " + std::to_string(text.size()) + " is not a multiple of 4");
  }
  std::vector<std::byte> out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    int pad = 0;
    uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      if (c == '=' && last && k >= 2) {
        ++pad;
        v <<= 6;
        continue;
      }
      const int8_t d = kTable[static_cast<unsigned char>(c)];
      if (d < 0 || pad > 0) {
        return fail("character " + std::to_string(i + k + 1) + " ('" +
                    (c >= 0x20 && c < 0x7F ? std::string(1, c) : std::string("?")) +
                    "') is not base64");
      }
      v = v << 6 | static_cast<uint32_t>(d);
    }
    // Bits under the padding must be zero, or two texts would decode alike.
    if ((pad == 1 && (v & 0xFF) != 0) || (pad == 2 && (v & 0xFFFF) != 0)) {
      return fail("the bits before its padding are not zero");
    }
    out.push_back(std::byte(static_cast<uint8_t>(v >> 16)));
    if (pad < 2) out.push_back(std::byte(static_cast<uint8_t>(v >> 8)));
    if (pad < 1) out.push_back(std::byte(static_cast<uint8_t>(v)));
  }
  return out;
}

}  // namespace vask::host
