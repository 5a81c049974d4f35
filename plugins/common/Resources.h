// Resources the effect libraries carry, found through the os layer like
// Windows resources: the version record (the project's version, 1.0.3.0), the tool
// palette's button bitmaps, the About box's picture and its dialog.
#pragma once

#include <array>

#include "platform/os/DialogTemplate.h"
#include "platform/os/Resources.h"
#include "plugins/common/art/Artwork.h"
#include "vask/Version.h"

namespace vask::plugins {

inline constexpr os::VersionRecord kVersionRecord =
    os::makeVersionRecord(kVersionMajor, kVersionMinor, kVersionPatch, 0);

inline constexpr os::ResourceEntry kVersionEntry{os::kVersionResourceType,
                                                 os::kVersionResourceId, kVersionRecord};

// The About box: the title (filled in by the library), "Version:" and the
// version text beside the picture. Sizes in dialog units.
inline constexpr char kAboutBoxText[] =
    "DIALOG ABOUTBOX 228 191\n"
    "STYLE popup visible modalframe centered nocaption\n"
    "FONT 8 Arial\n"
    "LTEXT 1005 130 10 86 47 group \"\"\n"
    "LTEXT 1021 130 66 31 8 group \"Version:\"\n"
    "LTEXT 3003 163 67 41 8 \"99.99a99\"\n"
    "BITMAP -1 14 10 83 87 140\n";
inline constexpr auto kAboutBoxBytes = art::detail::bytes(kAboutBoxText);
inline constexpr os::ResourceEntry kAboutBoxEntry{os::kDialogResourceType, 1, kAboutBoxBytes,
                                                  "ABOUTBOX"};

// The File Object and the Mesh Object share the object tools.
inline constexpr std::array<os::ResourceEntry, 4> kObjectResources{
    {kVersionEntry, art::kObjectArtwork[0], art::kObjectArtwork[1], kAboutBoxEntry}};
inline constexpr std::array<os::ResourceEntry, 4> kSpotResources{
    {kVersionEntry, art::kSpotArtwork[0], art::kSpotArtwork[1], kAboutBoxEntry}};
inline constexpr std::array<os::ResourceEntry, 4> kPointResources{
    {kVersionEntry, art::kPointArtwork[0], art::kPointArtwork[1], kAboutBoxEntry}};

}  // namespace vask::plugins
