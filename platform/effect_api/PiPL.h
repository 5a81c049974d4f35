// The PiPL: the property list by which the host knows an effect library before
// it loads any of its code. An effect keeps the bytes in an ELF section named
// ".pipl"; the host reads that section from the file, checks the kind and the
// entry point, and only then loads the library.
//
// Layout (little-endian): int16 version 1, int32 reserved 0, int32 property
// count, then each property as { vendor[4], key[4], int32 id 0, int32 length,
// data of `length` bytes zero-padded to a multiple of 4 }. Four-character
// codes are stored with their bytes reversed ("8BIM" is stored as "MIB8").
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vask::pipl {

inline constexpr std::string_view kSectionName = ".pipl";
inline constexpr int16_t kVersion = 1;
inline constexpr int32_t kPropertyCount = 11;
inline constexpr std::size_t kHeaderSize = 10;
inline constexpr std::size_t kPropertyHeaderSize = 16;

// Four-character codes as written, before reversal.
inline constexpr std::string_view kVendor = "8BIM";
inline constexpr std::string_view kKeyKind = "kind";
inline constexpr std::string_view kKeyName = "name";
inline constexpr std::string_view kKeyCategory = "catg";
inline constexpr std::string_view kKeyEntryPoint = "wx86";
inline constexpr std::string_view kKeyPiPLVersion = "ePVR";
inline constexpr std::string_view kKeyApiVersion = "eSVR";
inline constexpr std::string_view kKeyEffectVersion = "eVER";
inline constexpr std::string_view kKeyInfoFlags = "eINF";
inline constexpr std::string_view kKeyGlobalFlags = "eGLO";
inline constexpr std::string_view kKeyMatchName = "eMNA";
inline constexpr std::string_view kKeyReserved = "aeFL";
inline constexpr std::string_view kKindEffect = "eFKT";

// What every effect of the family declares besides its two names.
struct Fields {
  std::string_view name;       // effect name, at most 255 bytes
  std::string_view matchName;  // match name, at most 255 bytes
  std::string_view category = "Halvaro";
  std::string_view entryPoint = "main";
  int32_t piplVersion = 2;
  int32_t apiVersion = 11;
  uint32_t effectVersion = 0x00080600;
  int16_t infoFlags = 0;
  uint32_t globalFlags = 0x00008001;
  int32_t reserved = 0;
};

constexpr std::size_t padded(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

// Size of the whole list for the given fields.
constexpr std::size_t size(const Fields& f) {
  return kHeaderSize + 11 * kPropertyHeaderSize + 4 /*kind*/ + padded(1 + f.name.size()) +
         padded(1 + f.category.size()) + padded(f.entryPoint.size() + 1) + 4 + 4 + 4 +
         padded(2) + 4 + padded(1 + f.matchName.size()) + 4;
}

namespace detail {
template <std::size_t N>
struct Writer {
  std::array<unsigned char, N> out{};
  std::size_t at = 0;
  std::size_t dataStart = 0;  // where the current property's data began

  constexpr void byte(unsigned v) { out[at++] = static_cast<unsigned char>(v & 0xFF); }
  constexpr void i16(int32_t v) {
    byte(static_cast<unsigned>(v));
    byte(static_cast<unsigned>(v) >> 8);
  }
  constexpr void i32(uint32_t v) {
    for (int i = 0; i < 4; ++i) byte(v >> (8 * i));
  }
  constexpr void reversed(std::string_view code) {
    for (std::size_t i = code.size(); i-- > 0;) byte(static_cast<unsigned char>(code[i]));
  }
  // Pads the current property's data to a multiple of 4. The list's header is
  // 10 bytes, so this is relative to the data's start, not to the list.
  constexpr void pad() {
    while ((at - dataStart) % 4 != 0) byte(0);
  }
  constexpr void header(std::string_view key, std::size_t length) {
    reversed(kVendor);
    reversed(key);
    i32(0);
    i32(static_cast<uint32_t>(length));
    dataStart = at;
  }
  constexpr void int32Property(std::string_view key, uint32_t v) {
    header(key, 4);
    i32(v);
  }
  constexpr void pascalProperty(std::string_view key, std::string_view s) {
    header(key, 1 + s.size());
    byte(static_cast<unsigned>(s.size()));
    for (char c : s) byte(static_cast<unsigned char>(c));
    pad();
  }
};
}  // namespace detail

// The PiPL bytes for the fields. N must be size(f).
template <std::size_t N>
constexpr std::array<unsigned char, N> build(const Fields& f) {
  detail::Writer<N> w;
  w.i16(kVersion);
  w.i32(0);
  w.i32(kPropertyCount);
  w.header(kKeyKind, 4);
  w.reversed(kKindEffect);
  w.pascalProperty(kKeyName, f.name);
  w.pascalProperty(kKeyCategory, f.category);
  w.header(kKeyEntryPoint, f.entryPoint.size() + 1);
  for (char c : f.entryPoint) w.byte(static_cast<unsigned char>(c));
  w.byte(0);
  w.pad();
  w.int32Property(kKeyPiPLVersion, static_cast<uint32_t>(f.piplVersion));
  w.int32Property(kKeyApiVersion, static_cast<uint32_t>(f.apiVersion));
  w.int32Property(kKeyEffectVersion, f.effectVersion);
  w.header(kKeyInfoFlags, 2);
  w.i16(f.infoFlags);
  w.pad();
  w.int32Property(kKeyGlobalFlags, f.globalFlags);
  w.pascalProperty(kKeyMatchName, f.matchName);
  w.int32Property(kKeyReserved, static_cast<uint32_t>(f.reserved));
  return w.out;
}

}  // namespace vask::pipl

// Places an effect's PiPL into the ".pipl" section of the library being built.
// Use once per effect library, at namespace scope:
//   VASK_DEFINE_PIPL(kPiPLFields);
#define VASK_DEFINE_PIPL(fields)                                                      \
  __attribute__((section(".pipl"), used)) constexpr auto vaskPiPLBytes =              \
      ::vask::pipl::build<::vask::pipl::size(fields)>(fields)
