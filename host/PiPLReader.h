// Reading an effect library's PiPL from its ELF file, without loading it.
//
// The host learns what a library is (its kind, names, entry point, versions and
// flags) before running any of its code: it opens the file with ordinary reads,
// finds the section named ".pipl" through the section header table and the
// section-name string table, and parses the property list in it (layout in
// platform/effect_api/PiPL.h).
//
// Both readers are safe on any bytes: every offset, length and count is checked
// against the file or the section before it is used. Failures are HostError
// whose message starts with the file (or source) name and names the offset or
// field at fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vask::host {

// The properties of one PiPL. Four-character codes are given as written
// ("eFKT"), not as stored. A property the list does not carry keeps its zero
// value (an empty string, 0).
struct PiPLInfo {
  std::string kind;
  std::string name, category, entryPoint, matchName;
  int32_t piplVersion = 0, apiVersion = 0;
  uint32_t effectVersion = 0;
  int16_t infoFlags = 0;
  uint32_t globalFlags = 0;
  int32_t reserved = 0;

  bool operator==(const PiPLInfo&) const = default;
};
std::ostream& operator<<(std::ostream& os, const PiPLInfo& info);

// Parses property-list bytes (the contents of a ".pipl" section). `source`
// names the bytes in error messages; offsets in messages are from the start of
// `bytes`. Refuses a header other than version 1, a property count that cannot
// fit, a property whose data runs past the end, a string longer than its
// property, an entry point without its terminating zero, a numeric property of
// the wrong length and a repeated property. Unknown properties are skipped.
PiPLInfo parsePiPL(std::span<const std::byte> bytes, std::string_view source);

// The contents of the first section called `sectionName` in the ELF64
// little-endian file at `path`, or nullopt when the file has no such section.
// Throws HostError when the file cannot be read or is not a well-formed ELF64
// little-endian file (truncated, tables past the end, names without their
// terminating zero, sections of no file data or larger than `maxSize` bytes).
std::optional<std::vector<std::byte>> readElfSection(const std::filesystem::path& path,
                                                     std::string_view sectionName,
                                                     std::size_t maxSize = 1 << 20);

// readElfSection(path, ".pipl") then parsePiPL. A file without the section is
// refused with "<file>: no .pipl section: not an effect library".
PiPLInfo readPiPL(const std::filesystem::path& path);

}  // namespace vask::host
