#include "host/ProjectPaths.h"

namespace vask::host {
namespace {

// The folder's absolute, normalised form; "" is the current folder (the
// folder of a project named without one, "terrain.json").
std::filesystem::path absoluteFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(folder.empty() ? std::filesystem::path(".") : folder, ec);
  return std::filesystem::weakly_canonical(absolute, ec).lexically_normal();
}

void visitMembers(Json& holder, PathMember::Holder kind, const std::function<void(Json&)>& visit) {
  if (!holder.is_object()) return;
  for (const PathMember& m : kPathMembers) {
    if (m.holder != kind) continue;
    const std::string key(m.name);
    if (holder.contains(key) && holder[key].is_string()) visit(holder[key]);
  }
}

}  // namespace

void forEachPath(Json& document, const std::function<void(Json&)>& visit) {
  if (!document.is_object() || !document.contains("layers") || !document["layers"].is_array()) return;
  for (Json& layer : document["layers"]) {
    visitMembers(layer, PathMember::Holder::Layer, visit);
    if (!layer.is_object() || !layer.contains("effects") || !layer["effects"].is_array()) continue;
    for (Json& effect : layer["effects"]) visitMembers(effect, PathMember::Holder::Effect, visit);
  }
}

void rebaseProjectPaths(Json& document, const std::filesystem::path& from, const std::filesystem::path& to) {
  const auto fromAbs = absoluteFolder(from);
  const auto toAbs = absoluteFolder(to);
  if (fromAbs == toAbs) return;
  forEachPath(document, [&](Json& member) {
    const std::filesystem::path p(member.get<std::string>());
    if (p.empty() || p.is_absolute()) return;
    const auto target = (fromAbs / p).lexically_normal();
    const auto rel = target.lexically_relative(toAbs);
    // A route that climbs all the way to the root says less than the
    // absolute path it stands for.
    std::size_t climbs = 0, depth = 0;
    for (const auto& part : rel) climbs += part == ".." ? 1 : 0;
    for (const auto& part : toAbs.relative_path()) depth += part.empty() ? 0 : 1;
    const bool viaRoot = climbs > 0 && climbs >= depth;
    member = (rel.empty() || viaRoot ? target : rel).generic_string();
  });
}

}  // namespace vask::host
