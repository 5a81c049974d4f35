#include "host/PluginCatalog.h"

#include <algorithm>

#include "host/HostError.h"
#include "host/PiPLReader.h"
#include "platform/effect_api/PiPL.h"

namespace vask::host {

PluginCatalog PluginCatalog::scan(const std::filesystem::path& folder) {
  PluginCatalog c;
  c.folder_ = folder;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) throw HostError(folder.string() + ": cannot list the plug-in folder: " + ec.message());
  std::vector<std::filesystem::path> files;
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (ec) throw HostError(folder.string() + ": cannot list the plug-in folder: " + ec.message());
    const auto& p = it->path();
    std::error_code fileEc;
    if (p.extension() == ".so" && it->is_regular_file(fileEc)) files.push_back(p);
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    PiPLInfo info;
    try {
      info = readPiPL(file);
    } catch (const HostError&) {
      continue;  // not an effect library
    }
    if (info.kind != pipl::kKindEffect || info.matchName.empty()) continue;
    auto [at, added] = c.byMatchName_.emplace(info.matchName, Entry{file, info.name});
    if (!added) {
      c.warnings_.push_back(file.string() + ": match name \"" + info.matchName +
                            "\" is already taken by " + at->second.file.string() + "; ignored");
    }
  }
  return c;
}

std::optional<std::filesystem::path> PluginCatalog::find(const std::string& matchName) const {
  auto it = byMatchName_.find(matchName);
  if (it == byMatchName_.end()) return std::nullopt;
  return it->second.file;
}

std::vector<std::string> PluginCatalog::matchNames() const {
  std::vector<std::string> out;
  for (const auto& [name, entry] : byMatchName_) out.push_back(name);
  return out;
}

std::string PluginCatalog::effectName(const std::string& matchName) const {
  auto it = byMatchName_.find(matchName);
  return it == byMatchName_.end() ? std::string() : it->second.name;
}

std::filesystem::path programFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : exe.parent_path();
}

}  // namespace vask::host
