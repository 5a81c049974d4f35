#include "host/Colour.h"

#include <algorithm>
#include <cmath>

namespace vask::host {
namespace {

std::string inQuotes(std::string_view s) { return "\"" + std::string(s) + "\""; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "#rrggbb" (and "#rrggbbaa" when `withAlpha`), or nullopt.
std::optional<PF_Pixel> hexColour(const std::string& s, bool withAlpha) {
  if (s.empty() || s[0] != '#' || (s.size() != 7 && !(withAlpha && s.size() == 9))) return std::nullopt;
  uint8_t bytes[4] = {0, 0, 0, 255};
  for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
    const int hi = hexDigit(s[1 + i]), lo = hexDigit(s[2 + i]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[i / 2] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return PF_Pixel{bytes[3], bytes[0], bytes[1], bytes[2]};
}

PF_Pixel formatOne(const Json& value, std::vector<std::string>* warnings) {
  const char* expected = "a colour is [r, g, b], [a, r, g, b] (0 … 255 each) or \"#rrggbb\"";
  if (value.is_string()) {
    if (auto c = hexColour(value.get<std::string>(), false)) return *c;
    throw ProjectError(inQuotes(value.get<std::string>()) + " is not a colour: " + expected);
  }
  if (!value.is_array() || (value.size() != 3 && value.size() != 4)) {
    throw ProjectError(briefText(value) + " is not a colour: " + expected);
  }
  static const char* const kNames[] = {"alpha", "red", "green", "blue"};
  uint8_t c[4] = {255, 0, 0, 0};
  const std::size_t skip = value.size() == 3 ? 1 : 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const Json& v = value[i];
    if (!v.is_number() || !std::isfinite(v.get<double>())) {
      throw ProjectError(briefText(value) + " is not a colour: " + expected);
    }
    const double d = std::round(v.get<double>());
    const double clamped = std::clamp(d, 0.0, 255.0);
    if (clamped != d && warnings) {
      warnings->push_back(std::string(kNames[i + skip]) + " " + briefText(v) +
                          " is outside 0 … 255; using " + std::to_string(static_cast<int>(clamped)));
    }
    c[i + skip] = static_cast<uint8_t>(clamped);
  }
  return PF_Pixel{c[0], c[1], c[2], c[3]};
}

constexpr const char* kFormatTwo =
    "a colour is \"#rrggbb\", \"#rrggbbaa\", [r, g, b] or [r, g, b, a] (whole numbers 0 … 255), "
    "or {\"r\": …, \"g\": …, \"b\": …, \"a\": …} (numbers 0 … 1, \"a\" optional)";

[[noreturn]] void notAColour(const Json& value, const std::string& why) {
  throw ProjectError(briefText(value) + " is not a colour: " + why);
}

PF_Pixel formatTwoArray(const Json& value) {
  if (value.size() != 3 && value.size() != 4) notAColour(value, kFormatTwo);
  static const char* const kNames[] = {"red", "green", "blue", "alpha"};
  uint8_t c[4] = {0, 0, 0, 255};
  for (std::size_t i = 0; i < value.size(); ++i) {
    const Json& v = value[i];
    if (v.is_number_float()) {
      notAColour(value, std::string(kNames[i]) + " " + briefText(v) +
                            " is not a whole number; an array holds 0 … 255 (write [255, 240, 217]), "
                            "for 0 … 1 write {\"r\": 1.0, \"g\": 0.94, \"b\": 0.85}");
    }
    if (!v.is_number_integer()) notAColour(value, kFormatTwo);
    if (v.is_number_unsigned() ? v.get<uint64_t>() > 255 : (v.get<int64_t>() < 0 || v.get<int64_t>() > 255)) {
      notAColour(value, std::string(kNames[i]) + " " + briefText(v) + " is outside 0 … 255");
    }
    c[i] = static_cast<uint8_t>(v.get<int64_t>());
  }
  return PF_Pixel{c[3], c[0], c[1], c[2]};
}

PF_Pixel formatTwoObject(const Json& value) {
  static const char* const kKeys[] = {"r", "g", "b", "a"};
  for (const auto& [key, v] : value.items()) {
    if (std::find(std::begin(kKeys), std::end(kKeys), key) == std::end(kKeys)) {
      notAColour(value, "unknown member " + inQuotes(key) + "; " + kFormatTwo);
    }
  }
  uint8_t c[4] = {0, 0, 0, 255};
  for (std::size_t i = 0; i < 4; ++i) {
    if (!value.contains(kKeys[i])) {
      if (i < 3) notAColour(value, "it has no " + inQuotes(kKeys[i]) + "; " + kFormatTwo);
      continue;
    }
    const Json& v = value[kKeys[i]];
    if (!v.is_number() || !std::isfinite(v.get<double>())) notAColour(value, kFormatTwo);
    const double d = v.get<double>();
    if (d < 0 || d > 1) {
      notAColour(value, inQuotes(kKeys[i]) + " " + briefText(v) +
                            " is outside 0 … 1 (for 0 … 255 write an array [r, g, b])");
    }
    c[i] = static_cast<uint8_t>(std::lround(d * 255));
  }
  return PF_Pixel{c[3], c[0], c[1], c[2]};
}

}  // namespace

PF_Pixel parseColour(const Json& value, int format, std::vector<std::string>* warnings) {
  if (format < 2) return formatOne(value, warnings);
  if (value.is_string()) {
    if (auto c = hexColour(value.get<std::string>(), true)) return *c;
    notAColour(value, kFormatTwo);
  }
  if (value.is_array()) return formatTwoArray(value);
  if (value.is_object()) return formatTwoObject(value);
  notAColour(value, kFormatTwo);
}

bool looksLikeUnitColour(const Json& value) {
  if (!value.is_array() || (value.size() != 3 && value.size() != 4)) return false;
  bool fraction = false;
  for (const Json& v : value) {
    if (!v.is_number()) return false;
    const double d = v.get<double>();
    if (!(d >= 0 && d <= 1)) return false;
    fraction = fraction || d != std::floor(d);
  }
  return fraction;
}

}  // namespace vask::host
