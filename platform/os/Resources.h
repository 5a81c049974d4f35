#pragma once

#include "platform/os/Export.h"
#include "platform/os/Module.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string_view>

namespace vask::os {

// ---------------------------------------------------------------------------
// Resources: named blobs compiled into a module (version record, artwork,
// dialog descriptions), registered when the module loads and found by type and
// number.

struct ResourceEntry {
    std::string_view type;          // e.g. "VERSION", "BMP"; compared exactly
    int id;                         // number within the type
    std::span<const std::byte> bytes;
    std::string_view name = {};     // a resource found by name ("ABOUTBOX"); empty for none
};

// Registers `entries` as the resources of `module`, replacing any set it had.
// The type names and names are copied; the bytes are not: they must stay valid until
// unregisterResources(module) (normally they are constants of the module, and
// the module unregisters from a static destructor before it is unloaded).
// When two entries share type and id, the first one is found.
// Returns false, registering nothing, when `module` is null. Thread-safe.
VASK_OS_API bool registerResources(Module* module, std::span<const ResourceEntry> entries);

// Forgets the resources of `module`; nothing happens if it has none.
VASK_OS_API void unregisterResources(Module* module);

// The bytes of resource (type, id) of `module`, or nullopt when the module is
// null, has no registered resources or has no such resource. The span stays
// valid until the module unregisters.
VASK_OS_API std::optional<std::span<const std::byte>> findResource(Module* module,
                                                                   std::string_view type, int id);

// The bytes of the resource of `type` named `name` (compared exactly) of
// `module`, or nullopt as findResource. An empty name finds nothing.
VASK_OS_API std::optional<std::span<const std::byte>> findNamedResource(Module* module,
                                                                        std::string_view type,
                                                                        std::string_view name);

// ---------------------------------------------------------------------------
// Version record: resource type "VERSION", id 1, a fixed file-information
// record of 13 little-endian uint32 words:
//   0 signature 0xFEEF04BD      1 record version 0x00010000
//   2 file version MS           3 file version LS
//   4 product version MS        5 product version LS
//   6 flags mask  7 flags  8 OS  9 type  10 subtype  11 date MS  12 date LS
// A version a.b.c.d is stored as MS = a << 16 | b, LS = c << 16 | d.

inline constexpr std::string_view kVersionResourceType = "VERSION";
inline constexpr int kVersionResourceId = 1;
inline constexpr std::size_t kVersionRecordSize = 52;
inline constexpr std::uint32_t kVersionSignature = 0xFEEF04BDu;
inline constexpr std::uint32_t kVersionRecordVersion = 0x00010000u;

using VersionRecord = std::array<std::byte, kVersionRecordSize>;

// The two product version words of a version record.
struct ProductVersion {
    std::uint32_t ms;  // major << 16 | minor
    std::uint32_t ls;  // third << 16 | fourth
    friend bool operator==(const ProductVersion&, const ProductVersion&) = default;
};

VASK_OS_API std::ostream& operator<<(std::ostream& out, const ProductVersion& version);

// The version record of version a.b.c.d (file and product version alike), a
// library with no flags and no date. constexpr, so that a plug-in keeps it as a
// static constant and registers it as its "VERSION" 1 resource.
constexpr VersionRecord makeVersionRecord(std::uint16_t a, std::uint16_t b, std::uint16_t c,
                                          std::uint16_t d) {
    const std::uint32_t ms = std::uint32_t{a} << 16 | b;
    const std::uint32_t ls = std::uint32_t{c} << 16 | d;
    const std::uint32_t words[13] = {kVersionSignature, kVersionRecordVersion, ms, ls, ms, ls,
                                     0x3Fu /* flags mask */, 0, 0 /* OS */, 2 /* library */,
                                     0, 0, 0};
    VersionRecord record{};
    for (std::size_t i = 0; i < 13; ++i) {
        for (std::size_t k = 0; k < 4; ++k) {
            record[i * 4 + k] = static_cast<std::byte>(words[i] >> (8 * k) & 0xFFu);
        }
    }
    return record;
}

// The product version of a version record, or nullopt unless `bytes` is
// exactly 52 bytes with the right signature and record version.
VASK_OS_API std::optional<ProductVersion> parseVersionRecord(std::span<const std::byte> bytes);

// The product version of `module`'s "VERSION" 1 resource, or nullopt when the
// resource is missing or malformed.
VASK_OS_API std::optional<ProductVersion> readProductVersion(Module* module);

namespace testing {

// While on, findResource fails (and with it readProductVersion).
VASK_OS_API void failFindResource(bool on);

// While on, readProductVersion fails even though the resource is there.
VASK_OS_API void failReadProductVersion(bool on);

}  // namespace testing
}  // namespace vask::os
