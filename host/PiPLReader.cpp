#include "host/PiPLReader.h"

#include <array>
#include <cstring>
#include <sstream>

#include "host/HostError.h"
#include "host/InputFile.h"
#include "platform/effect_api/PiPL.h"

namespace vask::host {
namespace {

uint16_t le16(const std::byte* p) {
  return static_cast<uint16_t>(std::to_integer<unsigned>(p[0]) |
                               (std::to_integer<unsigned>(p[1]) << 8));
}
uint32_t le32(const std::byte* p) {
  return static_cast<uint32_t>(le16(p)) | (static_cast<uint32_t>(le16(p + 2)) << 16);
}
uint64_t le64(const std::byte* p) {
  return static_cast<uint64_t>(le32(p)) | (static_cast<uint64_t>(le32(p + 4)) << 32);
}

constexpr std::size_t kElfHeaderSize = 64;
constexpr std::size_t kSectionHeaderSize = 64;
constexpr uint32_t kShtNobits = 8;
constexpr uint16_t kShnXindex = 0xFFFF;
constexpr std::size_t kMaxNameTable = 16u << 20;

struct SectionHeader {
  uint32_t name;
  uint32_t type;
  uint64_t offset;
  uint64_t size;
  uint32_t link;
};

SectionHeader sectionAt(const std::vector<std::byte>& table, std::size_t index,
                        std::size_t entrySize) {
  const std::byte* p = table.data() + index * entrySize;
  return SectionHeader{le32(p), le32(p + 4), le64(p + 24), le64(p + 32), le32(p + 40)};
}

std::string fourCC(const std::byte* stored) {
  // Stored with its bytes reversed.
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>(stored[3 - i]);
  return s;
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const PiPLInfo& i) {
  return os << "PiPL{kind '" << i.kind << "', name '" << i.name << "', category '" << i.category
            << "', entry '" << i.entryPoint << "', match '" << i.matchName << "', pipl "
            << i.piplVersion << ", API " << i.apiVersion << ", version " << hexText(i.effectVersion)
            << ", info " << i.infoFlags << ", global " << hexText(i.globalFlags) << ", reserved "
            << i.reserved << "}";
}

PiPLInfo parsePiPL(std::span<const std::byte> bytes, std::string_view source) {
  const std::string src(source);
  auto fail = [&](std::size_t offset, const std::string& what) -> HostError {
    return HostError(src + ": PiPL " + what + " at PiPL offset " + std::to_string(offset));
  };
  const std::size_t size = bytes.size();
  if (size < pipl::kHeaderSize)
    throw fail(0, "header truncated (" + std::to_string(size) + " bytes)");
  const auto version = static_cast<int16_t>(le16(bytes.data()));
  if (version != pipl::kVersion) throw fail(0, "version " + std::to_string(version) + " is not 1");
  const auto count = static_cast<int32_t>(le32(bytes.data() + 6));
  if (count < 0 ||
      static_cast<std::size_t>(count) > (size - pipl::kHeaderSize) / pipl::kPropertyHeaderSize) {
    throw fail(6, "property count " + std::to_string(count) + " does not fit in " +
                      std::to_string(size) + " bytes");
  }

  PiPLInfo info;
  std::vector<std::string> seen;
  std::size_t at = pipl::kHeaderSize;
  for (int32_t n = 0; n < count; ++n) {
    if (size - at < pipl::kPropertyHeaderSize) throw fail(at, "property header truncated");
    const std::byte* head = bytes.data() + at;
    const std::string vendor = fourCC(head);
    const std::string key = fourCC(head + 4);
    const uint32_t length = le32(head + 12);
    const std::size_t dataAt = at + pipl::kPropertyHeaderSize;
    if (length > size - dataAt) {
      throw fail(at + 12, "property '" + key + "' length " + std::to_string(length) +
                              " runs past the end (" + std::to_string(size) + " bytes)");
    }
    const std::byte* data = bytes.data() + dataAt;
    // The last property may end without its padding; the next header check
    // catches a list that claims more after it.
    at = dataAt + std::min<std::size_t>(pipl::padded(length), size - dataAt);

    if (vendor != pipl::kVendor) continue;
    const bool known = key == pipl::kKeyKind || key == pipl::kKeyName ||
                       key == pipl::kKeyCategory || key == pipl::kKeyEntryPoint ||
                       key == pipl::kKeyPiPLVersion || key == pipl::kKeyApiVersion ||
                       key == pipl::kKeyEffectVersion || key == pipl::kKeyInfoFlags ||
                       key == pipl::kKeyGlobalFlags || key == pipl::kKeyMatchName ||
                       key == pipl::kKeyReserved;
    if (!known) continue;
    for (const auto& k : seen) {
      if (k == key)
        throw fail(dataAt - pipl::kPropertyHeaderSize, "repeats property '" + key + "'");
    }
    seen.push_back(key);

    auto expectLength = [&](uint32_t want) {
      if (length != want) {
        throw fail(dataAt - 4, "property '" + key + "' has length " + std::to_string(length) +
                                   ", expected " + std::to_string(want));
      }
    };
    auto pascal = [&]() {
      if (length < 1) throw fail(dataAt, "property '" + key + "' is empty");
      const auto n8 = std::to_integer<uint32_t>(data[0]);
      if (n8 + 1 > length) {
        throw fail(dataAt, "string of property '" + key + "' (" + std::to_string(n8) +
                               " bytes) is longer than its property");
      }
      return std::string(reinterpret_cast<const char*>(data + 1), n8);
    };
    if (key == pipl::kKeyKind) {
      expectLength(4);
      info.kind = fourCC(data);
    } else if (key == pipl::kKeyName) {
      info.name = pascal();
    } else if (key == pipl::kKeyCategory) {
      info.category = pascal();
    } else if (key == pipl::kKeyMatchName) {
      info.matchName = pascal();
    } else if (key == pipl::kKeyEntryPoint) {
      const void* zero = std::memchr(data, 0, length);
      if (!zero) throw fail(dataAt, "entry point is not zero-terminated");
      info.entryPoint.assign(reinterpret_cast<const char*>(data),
                             static_cast<const std::byte*>(zero) - data);
    } else if (key == pipl::kKeyInfoFlags) {
      expectLength(2);
      info.infoFlags = static_cast<int16_t>(le16(data));
    } else {
      expectLength(4);
      const uint32_t v = le32(data);
      if (key == pipl::kKeyPiPLVersion)
        info.piplVersion = static_cast<int32_t>(v);
      else if (key == pipl::kKeyApiVersion)
        info.apiVersion = static_cast<int32_t>(v);
      else if (key == pipl::kKeyEffectVersion)
        info.effectVersion = v;
      else if (key == pipl::kKeyGlobalFlags)
        info.globalFlags = v;
      else
        info.reserved = static_cast<int32_t>(v);
    }
  }
  return info;
}

std::optional<std::vector<std::byte>> readElfSection(const std::filesystem::path& path,
                                                     std::string_view sectionName,
                                                     std::size_t maxSize) {
  const InputFile file(path);
  const std::string& name = file.name();
  if (file.size() < kElfHeaderSize) {
    throw HostError(name + ": not an ELF file (" + std::to_string(file.size()) + " bytes)");
  }
  const auto header = file.read(0, kElfHeaderSize, "ELF header");
  static constexpr std::array<unsigned char, 4> kMagic{0x7F, 'E', 'L', 'F'};
  for (std::size_t i = 0; i < kMagic.size(); ++i) {
    if (std::to_integer<unsigned char>(header[i]) != kMagic[i]) {
      throw HostError(name + ": not an ELF file (bad magic at file offset 0)");
    }
  }
  if (std::to_integer<int>(header[4]) != 2) {
    throw HostError(name + ": not a 64-bit ELF file (class at file offset 4)");
  }
  if (std::to_integer<int>(header[5]) != 1) {
    throw HostError(name + ": not a little-endian ELF file (data at file offset 5)");
  }

  const uint64_t shoff = le64(header.data() + 0x28);
  const uint16_t shentsize = le16(header.data() + 0x3A);
  uint64_t shnum = le16(header.data() + 0x3C);
  uint32_t shstrndx = le16(header.data() + 0x3E);
  if (shoff == 0) throw HostError(name + ": no section header table (e_shoff at file offset 0x28)");
  if (shentsize < kSectionHeaderSize) {
    throw HostError(name + ": section header size " + std::to_string(shentsize) +
                    " is too small (e_shentsize at file offset 0x3a)");
  }
  // Counts that do not fit in the header live in section 0.
  if (shnum == 0 || shstrndx == kShnXindex) {
    const auto first = file.read(shoff, shentsize, "section header 0");
    const SectionHeader s0 = sectionAt(first, 0, shentsize);
    if (shnum == 0) shnum = s0.size;
    if (shstrndx == kShnXindex) shstrndx = s0.link;
  }
  if (shnum == 0) return std::nullopt;
  if (shnum > file.size() / shentsize) {
    throw HostError(name + ": section count " + std::to_string(shnum) +
                    " does not fit in the file (e_shnum at file offset 0x3c)");
  }
  const auto table = file.read(shoff, shnum * shentsize, "section header table");
  if (shstrndx >= shnum) {
    throw HostError(name + ": section name table index " + std::to_string(shstrndx) +
                    " is not below the section count " + std::to_string(shnum) +
                    " (e_shstrndx at file offset 0x3e)");
  }
  const SectionHeader strSection = sectionAt(table, shstrndx, shentsize);
  if (strSection.type == kShtNobits) {
    throw HostError(name + ": section name table has no file data");
  }
  if (strSection.size > kMaxNameTable) {
    throw HostError(name + ": section name table of " + std::to_string(strSection.size) +
                    " bytes is too large");
  }
  const auto names = file.read(strSection.offset, strSection.size, "section name table");

  for (uint64_t i = 0; i < shnum; ++i) {
    const SectionHeader s = sectionAt(table, static_cast<std::size_t>(i), shentsize);
    if (s.name >= names.size()) {
      throw HostError(name + ": name of section " + std::to_string(i) + " at name-table offset " +
                      std::to_string(s.name) + " is past the table (" +
                      std::to_string(names.size()) + " bytes)");
    }
    const char* first = reinterpret_cast<const char*>(names.data()) + s.name;
    const std::size_t room = names.size() - s.name;
    const void* end = std::memchr(first, 0, room);
    if (!end) {
      throw HostError(name + ": name of section " + std::to_string(i) + " at name-table offset " +
                      std::to_string(s.name) + " has no terminating zero");
    }
    const std::string_view sectionNameHere(first, static_cast<const char*>(end) - first);
    if (sectionNameHere != sectionName) continue;
    const std::string label = "section " + std::string(sectionName);
    if (s.type == kShtNobits) throw HostError(name + ": " + label + " has no file data");
    if (s.size > maxSize) {
      throw HostError(name + ": " + label + " of " + std::to_string(s.size) +
                      " bytes is larger than " + std::to_string(maxSize));
    }
    return file.read(s.offset, s.size, label);
  }
  return std::nullopt;
}

PiPLInfo readPiPL(const std::filesystem::path& path) {
  auto section = readElfSection(path, pipl::kSectionName);
  if (!section) {
    throw HostError(path.string() + ": no " + std::string(pipl::kSectionName) +
                    " section: not an effect library");
  }
  return parsePiPL(*section, path.string());
}

}  // namespace vask::host
