// Checking an effect library's ELF structure before the system's dynamic
// loader sees it.
//
// The loader trusts what it reads: program headers whose offsets or sizes run
// past the file, a dynamic table that points outside the mapped image, or
// relocations that write outside it make it crash (or write where it should
// not) inside the host. So before a library is loaded, everything the loader
// takes from the file to map and link it is checked here: the file header,
// every program header, the dynamic table and the relocation tables.
// Failures are HostError naming the file and the field at fault.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <string_view>

namespace vask::host {

// Checks the whole file `bytes` (named `name` in messages) as a 64-bit
// little-endian shared library for this machine.
void checkLoadableElf(std::span<const std::byte> bytes, std::string_view name);

// Reads the file at `path` (at most 1 GiB, regular files only) and checks it.
void checkLoadableElf(const std::filesystem::path& path);

}  // namespace vask::host
