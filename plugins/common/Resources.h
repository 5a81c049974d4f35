// Resources every effect library carries: its version record (product version
// 1.0.3.0), found through the os layer like a Windows version resource.
#pragma once

#include <array>

#include "platform/os/Resources.h"

namespace vask::plugins {

inline constexpr os::VersionRecord kVersionRecord = os::makeVersionRecord(1, 0, 3, 0);

inline constexpr std::array<os::ResourceEntry, 1> kCommonResources{{
    {os::kVersionResourceType, os::kVersionResourceId, kVersionRecord},
}};

}  // namespace vask::plugins
