#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "host/HostError.h"
#include "host/PluginLibrary.h"
#include "platform/effect_api/PiPL.h"
#include "tests/host/HostTestSupport.h"

namespace vask::host {
namespace {

using ::testing::HasSubstr;

std::string refusal(const std::filesystem::path& path) {
  try {
    PluginLibrary::load(path);
  } catch (const HostError& e) {
    return e.what();
  }
  return "loaded";
}

TEST(PluginLibrary, LoadsAnEffectAndFindsItsEntryPoint) {
  auto lib = PluginLibrary::load(test::testEffectPath());
  EXPECT_EQ(lib->pipl().name, "Host Test Effect");
  EXPECT_EQ(lib->path(), test::testEffectPath());
  ASSERT_NE(lib->entry(), nullptr);
  // Command 2 carries nothing: the entry point answers it without using the blocks.
  EXPECT_EQ(lib->entry()(PF_Cmd_UNUSED_0, nullptr, nullptr, nullptr, nullptr, nullptr),
            PF_Err_NONE);
}

TEST(PluginLibrary, RefusesWhatIsNotAnEffect) {
  test::TempDir dir;
  constexpr pipl::Fields kNoEntry{.name = "x", .matchName = "y", .entryPoint = ""};
  constexpr auto kNoEntryBytes = pipl::build<pipl::size(kNoEntry)>(kNoEntry);
  constexpr pipl::Fields kValid{.name = "x", .matchName = "y"};
  constexpr auto kValidBytes = pipl::build<pipl::size(kValid)>(kValid);
  auto wrongKind = test::toBytes(kValidBytes);
  wrongKind[pipl::kHeaderSize + 16] = std::byte{'X'};  // stored "TKFe" becomes "XKFe"

  auto elfWith = [&](const std::string& name, std::vector<std::byte> piplBytes) {
    return dir.write(name, test::makeElf({{".pipl", std::move(piplBytes)}}).bytes);
  };
  const auto text =
      dir.write("notes.so", "just text, long enough to be more than an ELF header...........");
  EXPECT_THAT(refusal(text), HasSubstr("notes.so: not an ELF file"));
  EXPECT_THAT(refusal(elfWith("kind.so", wrongKind)),
              HasSubstr("kind.so: PiPL kind 'eFKX' is not an effect"));
  EXPECT_THAT(refusal(elfWith("noentry.so", test::toBytes(kNoEntryBytes))),
              HasSubstr("noentry.so: PiPL names no entry point"));
  // A valid PiPL in a file that is no shared library: refused before the
  // system's loader sees it.
  EXPECT_THAT(refusal(elfWith("fake.so", test::toBytes(kValidBytes))),
              HasSubstr("fake.so: e_type 0 is not a shared library (3) (e_type at file offset 0x10)"));
  EXPECT_THAT(refusal(test::noEntryEffectPath()),
              HasSubstr("host_test_noentry.so: entry point 'main' not"));
}

// A real effect library whose intact PiPL sits beside damaged loading
// structures: each of these made the system's loader crash inside the host.
// Each is refused with the field at fault, and nothing is loaded.
TEST(PluginLibrary, RefusesLibrariesTheLoaderWouldCrashOn) {
  std::ifstream in(test::testEffectPath(), std::ios::binary);
  const std::vector<char> good((std::istreambuf_iterator<char>(in)), {});
  auto get = [&](std::size_t at, int size) {
    uint64_t v = 0;
    std::memcpy(&v, good.data() + at, static_cast<std::size_t>(size));
    return v;
  };
  // File offset of the first program header of `type`.
  auto header = [&](uint32_t type) {
    for (std::size_t i = 0, at = get(0x20, 8); i < get(0x38, 2); ++i, at += 56)
      if (get(at, 4) == type) return at;
    throw std::runtime_error("no program header of that type");
  };
  const std::size_t load = header(1), dynamic = header(2);

  struct Damage {
    const char* what;
    std::size_t at;
    uint64_t value;
    int size;
    const char* expected;
  };
  const Damage damages[] = {
      {"program header count", 0x38, 0xFFFF, 2, "(e_phnum at file offset 0x38)"},
      {"program header table", 0x20, 0x7FFFFFF0, 8, "(e_phoff at file offset 0x20)"},
      {"segment past the end", load + 8, 0x7FFFFFF000, 8, "bytes) (p_offset, p_filesz)"},
      {"segment larger in file than in memory", load + 32, ~0ull >> 1, 8, "(p_offset, p_filesz)"},
      {"loadable segments overlapping", load + 40, 0x100000, 8, "loadable segments overlap"},
      {"first segment unreadable", load + 4, 0, 4, "is not readable (p_flags)"},
      {"dynamic table moved in memory", dynamic + 16, get(dynamic + 16, 8) + 0x17, 8,
       "is not where its address"},
      {"dynamic table cut short", dynamic + 32, 16, 8, "the dynamic table is not all in the file"},
  };
  test::TempDir dir;
  for (const Damage& d : damages) {
    std::vector<char> bad = good;
    std::memcpy(bad.data() + d.at, &d.value, static_cast<std::size_t>(d.size));
    const auto path = dir.write("damaged.so", std::as_bytes(std::span(bad)));
    const std::string message = refusal(path);
    EXPECT_THAT(message, HasSubstr("damaged.so: ")) << d.what;
    EXPECT_THAT(message, HasSubstr(d.expected)) << d.what;
  }
}

}  // namespace
}  // namespace vask::host
