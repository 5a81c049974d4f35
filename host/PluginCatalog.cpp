#include "host/PluginCatalog.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "host/HostError.h"
#include "host/PiPLReader.h"
#include "platform/effect_api/PiPL.h"

namespace vask::host {

PluginCatalog PluginCatalog::scan(const std::filesystem::path& folder) {
  return scan(std::vector<std::filesystem::path>{folder});
}

PluginCatalog PluginCatalog::scan(const std::vector<std::filesystem::path>& folders) {
  PluginCatalog c;
  c.folders_ = folders;
  for (const auto& folder : folders) c.add(folder);
  return c;
}

std::string PluginCatalog::foldersText() const {
  std::string out;
  for (const auto& f : folders_) out += (out.empty() ? "" : ", ") + f.string();
  return out;
}

void PluginCatalog::add(const std::filesystem::path& folder) {
  PluginCatalog& c = *this;
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

std::vector<std::filesystem::path> defaultPluginFolders() {
  std::vector<std::filesystem::path> folders;
  if (const char* path = std::getenv("VASK_PLUGIN_PATH")) {
    std::string_view rest(path);
    while (!rest.empty()) {
      const auto colon = rest.find(':');
      const std::string_view one = rest.substr(0, colon);
      if (!one.empty()) folders.emplace_back(one);
      rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
  }
  const auto program = programFolder();
  std::error_code ec;
  const auto installed = (program / kInstalledPluginFolder).lexically_normal();
  folders.push_back(std::filesystem::is_directory(installed, ec) ? installed : program);
  return folders;
}

}  // namespace vask::host
