// Resources the effect libraries carry, found through the os layer like
// Windows resources: the version record (product version 1.0.3.0), the tool
// palette's button bitmaps and the About box's picture.
#pragma once

#include <array>

#include "platform/os/Resources.h"
#include "plugins/common/art/Artwork.h"

namespace vask::plugins {

inline constexpr os::VersionRecord kVersionRecord = os::makeVersionRecord(1, 0, 3, 0);

inline constexpr os::ResourceEntry kVersionEntry{os::kVersionResourceType,
                                                 os::kVersionResourceId, kVersionRecord};

// The File Object and the Mesh Object share the object tools.
inline constexpr std::array<os::ResourceEntry, 3> kObjectResources{
    {kVersionEntry, art::kObjectArtwork[0], art::kObjectArtwork[1]}};
inline constexpr std::array<os::ResourceEntry, 3> kSpotResources{
    {kVersionEntry, art::kSpotArtwork[0], art::kSpotArtwork[1]}};
inline constexpr std::array<os::ResourceEntry, 3> kPointResources{
    {kVersionEntry, art::kPointArtwork[0], art::kPointArtwork[1]}};

}  // namespace vask::plugins
