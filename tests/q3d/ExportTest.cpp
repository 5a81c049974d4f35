// The shared library exports the C API and nothing else: plug-ins load with
// local symbols, and a leaked C++ symbol could bind one plug-in's internals to
// another copy.
#include <dlfcn.h>
#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/q3d/QD3D.h"

namespace {

// Names of the defined global and weak symbols in the ELF file's .dynsym.
std::set<std::string> exportedSymbols(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (bytes.size() < sizeof(Elf64_Ehdr)) {
        ADD_FAILURE() << path << ": too short for an ELF header";
        return names;
    }
    Elf64_Ehdr header;
    std::memcpy(&header, bytes.data(), sizeof header);
    const auto section = [&](std::size_t index) {
        Elf64_Shdr s{};
        const std::size_t at = header.e_shoff + index * sizeof(Elf64_Shdr);
        if (index < header.e_shnum && at + sizeof s <= bytes.size()) std::memcpy(&s, bytes.data() + at, sizeof s);
        return s;
    };
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr symbols = section(i);
        if (symbols.sh_type != SHT_DYNSYM) continue;
        const Elf64_Shdr strings = section(symbols.sh_link);
        for (std::size_t at = symbols.sh_offset; at + sizeof(Elf64_Sym) <= symbols.sh_offset + symbols.sh_size &&
                                                 at + sizeof(Elf64_Sym) <= bytes.size();
             at += sizeof(Elf64_Sym)) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, bytes.data() + at, sizeof symbol);
            const int binding = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK)) continue;
            const std::size_t name = strings.sh_offset + symbol.st_name;
            if (name < bytes.size()) names.insert(std::string(bytes.data() + name, strnlen(bytes.data() + name, bytes.size() - name)));
        }
    }
    return names;
}

TEST(Q3dExports, OnlyTheQ3NamesLeaveTheLibrary) {
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&Q3Initialize), &info), 0);
    ASSERT_NE(info.dli_fname, nullptr);
    ASSERT_NE(std::string(info.dli_fname).find("libvask_q3d.so"), std::string::npos)
        << "the tests must exercise the shared library, not a static copy: " << info.dli_fname;

    const std::set<std::string> names = exportedSymbols(info.dli_fname);
    for (const char* expected : {"Q3Initialize", "Q3Error_Get", "Q3Object_Dispose", "Q3Group_AddObject",
                                 "Q3OrderedDisplayGroup_New", "Q3Testing_FailCall", "Q3AttributeSet_Add",
                                 "Q3TriGrid_GetData", "Q3SpotLight_SetData", "Q3PixmapTexture_SetPixmap",
                                 "Q3MemoryStorage_NewBuffer", "Q3TextureShader_GetTexture"}) {
        EXPECT_TRUE(names.count(expected)) << expected << " is not exported";
    }
    for (const std::string& name : names) {
        EXPECT_EQ(name.rfind("Q3", 0), 0u) << "unexpected export " << name;
    }
}

}  // namespace
