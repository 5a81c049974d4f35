// Shared helpers of the host tests: where the built libraries are, temporary
// folders, and a writer of small ELF files with chosen sections.
#pragma once

#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vask::host::test {

// The build's bin folder: $VASK_BIN, else the folder of this test program.
inline std::filesystem::path binDir() {
  if (const char* bin = std::getenv("VASK_BIN")) return bin;
  return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}
// The test effects live in a folder of their own, out of the users' way.
inline std::filesystem::path testPluginDir() { return binDir() / "test-plugins"; }
inline std::filesystem::path testEffectPath() { return testPluginDir() / "host_test_effect.so"; }
inline std::filesystem::path noEntryEffectPath() { return testPluginDir() / "host_test_noentry.so"; }
// The family's effects and the test effects.
inline std::vector<std::filesystem::path> pluginFolders() { return {binDir(), testPluginDir()}; }

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vask-host-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

  std::filesystem::path write(const std::string& name, std::span<const std::byte> bytes) const {
    const auto p = path_ / name;
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return p;
  }
  std::filesystem::path write(const std::string& name, std::string_view text) const {
    return write(name, std::as_bytes(std::span(text.data(), text.size())));
  }

 private:
  std::filesystem::path path_;
};

template <std::size_t N>
std::vector<std::byte> toBytes(const std::array<unsigned char, N>& a) {
  const auto* p = reinterpret_cast<const std::byte*>(a.data());
  return {p, p + N};
}

// A minimal ELF64 little-endian file: header, section contents, the section
// name table, then the section header table (a null section, the named
// sections in order, the name table last).
struct ElfFile {
  static constexpr std::size_t kShoff = 0x28, kShnum = 0x3C, kShstrndx = 0x3E;
  std::vector<std::byte> bytes;
  std::size_t shoff = 0;

  // Offset of field `at` of section header `index` (0 is the null section).
  std::size_t header(std::size_t index, std::size_t at) const { return shoff + index * 64 + at; }
  void put(std::size_t offset, uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
      bytes[offset + i] = std::byte(static_cast<uint8_t>(value >> (8 * i)));
  }
};

struct Section {
  std::string name;
  std::vector<std::byte> data;
  uint32_t type = 1;  // SHT_PROGBITS
};

inline ElfFile makeElf(const std::vector<Section>& sections) {
  ElfFile f;
  f.bytes.resize(64);
  const unsigned char ident[] = {0x7F, 'E', 'L', 'F', 2, 1, 1};
  std::memcpy(f.bytes.data(), ident, sizeof ident);
  std::vector<std::size_t> offsets;
  std::string names(1, '\0');
  std::vector<std::size_t> nameAt;
  for (const auto& s : sections) {
    offsets.push_back(f.bytes.size());
    f.bytes.insert(f.bytes.end(), s.data.begin(), s.data.end());
    nameAt.push_back(names.size());
    names += s.name + '\0';
  }
  nameAt.push_back(names.size());
  names += std::string(".shstrtab") + '\0';
  const std::size_t namesAt = f.bytes.size();
  for (char c : names) f.bytes.push_back(std::byte(static_cast<uint8_t>(c)));
  while (f.bytes.size() % 8) f.bytes.push_back(std::byte{0});
  f.shoff = f.bytes.size();
  const std::size_t count = sections.size() + 2;
  f.bytes.resize(f.shoff + count * 64);
  f.put(ElfFile::kShoff, f.shoff, 8);
  f.put(0x3A, 64, 2);
  f.put(ElfFile::kShnum, count, 2);
  f.put(ElfFile::kShstrndx, count - 1, 2);
  for (std::size_t i = 0; i <= sections.size(); ++i) {
    const bool isNames = i == sections.size();
    f.put(f.header(i + 1, 0), nameAt[i], 4);
    f.put(f.header(i + 1, 4), isNames ? 3 : sections[i].type, 4);
    f.put(f.header(i + 1, 24), isNames ? namesAt : offsets[i], 8);
    f.put(f.header(i + 1, 32), isNames ? names.size() : sections[i].data.size(), 8);
  }
  return f;
}

}  // namespace vask::host::test
