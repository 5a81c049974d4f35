#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/HostError.h"
#include "host/PiPLReader.h"
#include "platform/effect_api/PiPL.h"
#include "tests/host/HostTestSupport.h"

namespace vask::host {
namespace {

using test::makeElf;
using test::Section;
using test::toBytes;
using ::testing::AllOf;
using ::testing::HasSubstr;

constexpr pipl::Fields kFields{.name = "VASK Spot Light", .matchName = "HALV VASKSPOT1"};
constexpr auto kBytes = pipl::build<pipl::size(kFields)>(kFields);

constexpr auto kLongName = [] {
  std::array<char, 255> a{};
  for (auto& c : a) c = 'n';
  return a;
}();
constexpr pipl::Fields kEdge{.name = std::string_view(kLongName.data(), kLongName.size()),
                             .matchName = "abc",
                             .entryPoint = "entry_pt"};
constexpr auto kEdgeBytes = pipl::build<pipl::size(kEdge)>(kEdge);

std::vector<std::byte> validPiPL() { return toBytes(kBytes); }

PiPLInfo expectedInfo() {
  return PiPLInfo{"eFKT", "VASK Spot Light", "Halvaro", "main", "HALV VASKSPOT1", 2, 11, 0x00080600,
                  0,      0x00008001,        0};
}

// Expects `f` to throw a HostError whose message contains every fragment.
template <class F>
void expectRefusal(F f, std::vector<std::string> fragments) {
  try {
    f();
    FAIL() << "no HostError; expected " << fragments.front();
  } catch (const HostError& e) {
    for (const auto& s : fragments) EXPECT_THAT(e.what(), HasSubstr(s));
  }
}

TEST(PiPLReader, ParsesTheBuildersBytes) {
  EXPECT_EQ(parsePiPL(validPiPL(), "x"), expectedInfo());

  // Longest names, and lengths that need no padding or three bytes of it.
  const PiPLInfo info = parsePiPL(toBytes(kEdgeBytes), "x");
  EXPECT_EQ(info.name, std::string(255, 'n'));
  EXPECT_EQ(info.matchName, "abc");
  EXPECT_EQ(info.entryPoint, "entry_pt");
}

TEST(PiPLReader, ReadsTheSectionOfABuiltLibrary) {
  const PiPLInfo info = readPiPL(test::testEffectPath());
  EXPECT_EQ(info.kind, "eFKT");
  EXPECT_EQ(info.name, "Host Test Effect");
  EXPECT_EQ(info.matchName, "VASK HOSTTEST1");
  EXPECT_EQ(info.entryPoint, "main");
  EXPECT_EQ(info.globalFlags, 0x8001u);
}

TEST(PiPLReader, RejectsMalformedPropertyLists) {
  auto patched = [](std::size_t at, std::initializer_list<uint8_t> values) {
    auto b = validPiPL();
    for (uint8_t v : values) b[at++] = std::byte(v);
    return b;
  };
  auto cut = [](std::size_t n) {
    auto b = validPiPL();
    b.resize(b.size() - n);
    return b;
  };
  const std::size_t name = pipl::kHeaderSize + 16 + 4;  // the name property's header
  const std::size_t entry = name + 16 + pipl::padded(1 + kFields.name.size()) + 16 +
                            pipl::padded(1 + kFields.category.size());
  const std::size_t pvr = entry + 16 + 8;
  const struct {
    const char* what;
    std::vector<std::byte> bytes;
    const char* message;
  } cases[] = {
      {"empty", {}, "header truncated"},
      {"version 2", patched(0, {2}), "version 2 is not 1"},
      {"count too large", patched(6, {200}), "property count 200 does not fit"},
      {"negative count", patched(6, {0xFF, 0xFF, 0xFF, 0xFF}), "property count -1"},
      {"cut in the last property", cut(2), "property 'aeFL' length 4 runs past the end"},
      {"cut in a header", cut(6), "property header truncated"},
      {"length past the end", patched(name + 12, {0xF0, 0xFF}), "property 'name' length"},
      {"string longer than its property", patched(name + 16, {200}), "longer than its property"},
      {"entry point without zero", patched(entry + 16, {'m', 'a', 'i', 'n', 'x', 'x', 'x', 'x'}),
       "entry point is not zero-terminated"},
      {"int32 of length 2", patched(pvr + 12, {2}), "'ePVR' has length 2"},
      {"repeated key", patched(pvr + 4, {'R', 'E', 'V', 'e'}), "repeats property 'eVER'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    expectRefusal([&] { parsePiPL(c.bytes, "lib.so"); }, {"lib.so: PiPL ", c.message, "offset"});
  }
}

TEST(PiPLReader, SkipsPropertiesItDoesNotKnow) {
  auto b = validPiPL();
  b[pipl::kHeaderSize + 16 + 4 + 4] = std::byte{'X'};  // the name's key becomes unknown
  const PiPLInfo info = parsePiPL(b, "x");
  EXPECT_EQ(info.name, "");
  EXPECT_EQ(info.matchName, "HALV VASKSPOT1");
}

TEST(PiPLReader, RejectsMalformedElfFiles) {
  test::TempDir dir;
  const auto good = makeElf({{".text", std::vector<std::byte>(16)}, {".pipl", validPiPL()}});
  EXPECT_EQ(readPiPL(dir.write("good.so", good.bytes)), expectedInfo());

  auto variant = [&](auto change) {
    test::ElfFile f = good;
    change(f);
    return f.bytes;
  };
  const std::size_t piplIndex = 2, namesIndex = 3;
  const struct {
    const char* what;
    std::vector<std::byte> bytes;
    const char* message;
  } cases[] = {
      {"text file", toBytes(std::array<unsigned char, 70>{'h', 'e', 'l', 'l', 'o'}),
       "not an ELF file"},
      {"tiny", std::vector<std::byte>(good.bytes.begin(), good.bytes.begin() + 40),
       "not an ELF file (40 bytes)"},
      {"32-bit", variant([](auto& f) { f.bytes[4] = std::byte{1}; }), "not a 64-bit ELF file"},
      {"big-endian", variant([](auto& f) { f.bytes[5] = std::byte{2}; }),
       "not a little-endian ELF file"},
      {"truncated", std::vector<std::byte>(good.bytes.begin(), good.bytes.end() - 10),
       "section header table at file offset"},
      {"no section table", variant([](auto& f) { f.put(f.kShoff, 0, 8); }),
       "no section header table"},
      {"count too large", variant([](auto& f) { f.put(f.kShnum, 0xFFFE, 2); }),
       "section count 65534"},
      {"name table index", variant([](auto& f) { f.put(f.kShstrndx, 9, 2); }),
       "section name table index 9"},
      {"section past the end",
       variant([&](auto& f) { f.put(f.header(piplIndex, 24), 1u << 30, 8); }),
       "section .pipl at file offset 0x40000000"},
      {"section size past the end",
       variant([&](auto& f) { f.put(f.header(piplIndex, 32), 1000, 8); }),
       "runs past the end of the file"},
      {"huge section",
       variant([&](auto& f) { f.put(f.header(piplIndex, 32), uint64_t{1} << 40, 8); }),
       "is larger than"},
      {"no file data", variant([&](auto& f) { f.put(f.header(piplIndex, 4), 8, 4); }),
       "has no file data"},
      {"name past the table", variant([&](auto& f) { f.put(f.header(piplIndex, 0), 500, 4); }),
       "name of section 2 at name-table offset 500 is past the table"},
      {"names without zero", variant([&](auto& f) {
         // Cut the name table inside ".pipl", before its terminator.
         f.put(f.header(namesIndex, 32), 1 + 6 + 3, 8);
       }),
       "has no terminating zero"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto path = dir.write("bad.so", c.bytes);
    expectRefusal([&] { readPiPL(path); }, {path.string(), c.message});
  }
}

TEST(PiPLReader, NamesAFileWithoutThePiPLSection) {
  test::TempDir dir;
  const auto path = dir.write("plain.so", makeElf({{".text", std::vector<std::byte>(8)}}).bytes);
  expectRefusal([&] { readPiPL(path); },
                {path.string() + ": no .pipl section: not an effect library"});
  // The reader works on its own executable too: an ordinary ELF file.
  expectRefusal([&] { readPiPL("/proc/self/exe"); }, {"no .pipl section"});
  expectRefusal([&] { readPiPL(dir.write("missing", "") / "nothing"); }, {"cannot open: "});
}

}  // namespace
}  // namespace vask::host
