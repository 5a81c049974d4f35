#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
  // A valid PiPL in a file that is no loadable library: dlopen's own words.
  EXPECT_THAT(refusal(elfWith("fake.so", test::toBytes(kValidBytes))),
              HasSubstr("fake.so: cannot load: "));
  EXPECT_THAT(refusal(test::noEntryEffectPath()),
              HasSubstr("host_test_noentry.so: entry point 'main' not"));
}

}  // namespace
}  // namespace vask::host
