#include "platform/os/Module.h"
#include "platform/os/NamedMapping.h"
#include "platform/os/Resources.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <vector>

namespace os = vask::os;

namespace {

const char kAnchor = 0;  // an address inside the test program

os::Module* testProgram() { return os::moduleFromAddress(&kAnchor); }
os::Module* osLibrary() {
    return os::moduleFromAddress(reinterpret_cast<const void*>(&os::openNamedMapping));
}

std::uint32_t wordAt(const os::VersionRecord& record, std::size_t index) {
    std::uint32_t word = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        word |= std::to_integer<std::uint32_t>(record[index * 4 + k]) << (8 * k);
    }
    return word;
}

constexpr os::VersionRecord kVersion = os::makeVersionRecord(1, 0, 3, 0);
static_assert(kVersion[0] == std::byte{0xBD} && kVersion[3] == std::byte{0xFE},
              "a version record is a compile-time constant, signature first, little-endian");

const std::array<std::byte, 3> kArtwork{std::byte{1}, std::byte{2}, std::byte{3}};
const std::array<std::byte, 1> kOtherArtwork{std::byte{9}};

class ResourcesTest : public ::testing::Test {
protected:
    void TearDown() override {
        os::testing::failFindResource(false);
        os::testing::failReadProductVersion(false);
        os::testing::failModuleFileName(false);
        os::unregisterResources(testProgram());
        os::unregisterResources(osLibrary());
    }
};

}  // namespace

TEST_F(ResourcesTest, ModulesAreFoundByAnyAddressInside) {
    os::Module* program = testProgram();
    os::Module* library = osLibrary();
    ASSERT_NE(program, nullptr);
    ASSERT_NE(library, nullptr);
    EXPECT_NE(program, library);
    EXPECT_EQ(os::moduleFromAddress(reinterpret_cast<const void*>(&testProgram)), program);

    auto libraryPath = os::moduleFileName(library);
    ASSERT_TRUE(libraryPath);
    EXPECT_EQ(std::filesystem::path(*libraryPath).filename(), "libvask_os.so");
    EXPECT_TRUE(std::filesystem::path(*libraryPath).is_absolute()) << *libraryPath;
    EXPECT_EQ(os::moduleFileName(program),
              std::filesystem::canonical("/proc/self/exe").string());

    auto heap = std::make_unique<int>(0);
    EXPECT_EQ(os::moduleFromAddress(heap.get()), nullptr);
    EXPECT_EQ(os::moduleFromAddress(nullptr), nullptr);
    EXPECT_EQ(os::moduleFileName(nullptr), std::nullopt);
    // An address inside a module that is not its base is no module handle.
    EXPECT_EQ(os::moduleFileName(reinterpret_cast<os::Module*>(
                  reinterpret_cast<char*>(library) + 1)),
              std::nullopt);

    os::testing::failModuleFileName(true);
    EXPECT_EQ(os::moduleFileName(library), std::nullopt);
}

TEST_F(ResourcesTest, RegisteredResourcesAreFoundPerModuleUntilUnregistered) {
    const std::vector<os::ResourceEntry> entries{
        {"BMP", 101, kArtwork},
        {"VERSION", 1, kVersion},
        {"BMP", 101, kOtherArtwork},  // a duplicate: the first entry wins
    };
    ASSERT_TRUE(os::registerResources(testProgram(), entries));

    auto artwork = os::findResource(testProgram(), "BMP", 101);
    ASSERT_TRUE(artwork);
    EXPECT_EQ(artwork->data(), kArtwork.data());
    EXPECT_EQ(artwork->size(), kArtwork.size());
    EXPECT_FALSE(os::findResource(testProgram(), "BMP", 102));
    EXPECT_FALSE(os::findResource(testProgram(), "bmp", 101));
    EXPECT_FALSE(os::findResource(osLibrary(), "BMP", 101));
    EXPECT_FALSE(os::findResource(nullptr, "BMP", 101));
    EXPECT_FALSE(os::registerResources(nullptr, entries));

    // Registering again replaces the module's whole set.
    const std::vector<os::ResourceEntry> replacement{{"BMP", 102, kOtherArtwork}};
    ASSERT_TRUE(os::registerResources(testProgram(), replacement));
    EXPECT_FALSE(os::findResource(testProgram(), "BMP", 101));
    EXPECT_TRUE(os::findResource(testProgram(), "BMP", 102));

    os::testing::failFindResource(true);
    EXPECT_FALSE(os::findResource(testProgram(), "BMP", 102));
    os::testing::failFindResource(false);

    os::unregisterResources(testProgram());
    EXPECT_FALSE(os::findResource(testProgram(), "BMP", 102));
}

TEST_F(ResourcesTest, VersionRecordRoundTrips) {
    EXPECT_EQ(wordAt(kVersion, 1), os::kVersionRecordVersion);
    EXPECT_EQ(wordAt(kVersion, 2), 0x00010000u);  // file version equals product version
    EXPECT_EQ(wordAt(kVersion, 3), 0x00030000u);

    auto parsed = os::parseVersionRecord(os::makeVersionRecord(2, 5, 1, 12));
    EXPECT_EQ(parsed, (os::ProductVersion{0x00020005u, 0x0001000Cu}));
    parsed = os::parseVersionRecord(os::makeVersionRecord(65535, 65535, 65535, 65535));
    EXPECT_EQ(parsed, (os::ProductVersion{0xFFFFFFFFu, 0xFFFFFFFFu}));

    const std::vector<os::ResourceEntry> entries{{os::kVersionResourceType, 1, kVersion}};
    ASSERT_TRUE(os::registerResources(testProgram(), entries));
    EXPECT_EQ(os::readProductVersion(testProgram()), (os::ProductVersion{0x00010000u, 0x00030000u}));

    os::testing::failReadProductVersion(true);
    EXPECT_EQ(os::readProductVersion(testProgram()), std::nullopt);
    os::testing::failReadProductVersion(false);
    os::testing::failFindResource(true);
    EXPECT_EQ(os::readProductVersion(testProgram()), std::nullopt);
}

TEST_F(ResourcesTest, RejectsMalformedVersionRecords) {
    const os::VersionRecord good = os::makeVersionRecord(1, 0, 3, 0);
    for (std::size_t size = 0; size < good.size(); ++size) {
        EXPECT_EQ(os::parseVersionRecord(std::span(good).first(size)), std::nullopt)
            << "size " << size;
    }
    std::array<std::byte, 53> longer{};
    std::copy(good.begin(), good.end(), longer.begin());
    EXPECT_EQ(os::parseVersionRecord(longer), std::nullopt);

    os::VersionRecord badSignature = good;
    badSignature[0] = std::byte{0xBC};
    EXPECT_EQ(os::parseVersionRecord(badSignature), std::nullopt);
    os::VersionRecord badRecordVersion = good;
    badRecordVersion[6] = std::byte{2};
    EXPECT_EQ(os::parseVersionRecord(badRecordVersion), std::nullopt);

    // Through the registry: a short record, and a module with no record at all.
    const std::vector<os::ResourceEntry> entries{{"VERSION", 1, std::span(good).first(48)}};
    ASSERT_TRUE(os::registerResources(testProgram(), entries));
    EXPECT_EQ(os::readProductVersion(testProgram()), std::nullopt);
    EXPECT_EQ(os::readProductVersion(osLibrary()), std::nullopt);
}
