// The file paths a project document holds, and moving them with the file.
//
// Every path member is relative to the project file's folder unless it is
// absolute: a layer's "image" and "sequence", and a File Object entry's
// "model". kPathMembers is the one list of them; whatever walks a project's
// paths walks it.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <string_view>

#include "host/Project.h"

namespace vask::host {

struct PathMember {
  enum class Holder { Layer, Effect };
  Holder holder;
  std::string_view name;
};
inline constexpr std::array<PathMember, 3> kPathMembers = {{
    {PathMember::Holder::Layer, "image"},
    {PathMember::Holder::Layer, "sequence"},
    {PathMember::Holder::Effect, "model"},
}};

// Calls `visit` with every path member's string value of `document` (a
// project document, checked or not: members of the wrong kind are passed
// over).
void forEachPath(Json& document, const std::function<void(Json& path)>& visit);

// Rewrites the relative paths of a project document that lives in folder
// `from` so that they name the same files from folder `to` (either may be
// empty, meaning the current folder). Absolute paths stay as they are, and a
// relative route that would climb up to the root is written absolute.
void rebaseProjectPaths(Json& document, const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace vask::host
