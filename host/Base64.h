// Base64 (RFC 4648, standard alphabet, padded) for the flat sequence data a
// project stores.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vask::host {

// Padded base64 of `bytes`; empty for no bytes.
std::string encodeBase64(std::span<const std::byte> bytes);

// The bytes of `text`, or nullopt when it is not canonical padded base64: a
// length that is not a multiple of 4, a character outside the alphabet,
// padding anywhere but the last one or two places, or pad bits that are not
// zero. Whitespace is not allowed. On failure `why` (if given) says what is
// wrong and at which character.
std::optional<std::vector<std::byte>> decodeBase64(std::string_view text,
                                                   std::string* why = nullptr);

}  // namespace vask::host
