// The effect libraries of a plug-in folder, by match name.
//
// Scanning reads only each file's PiPL (host/PiPLReader.h): no library code
// runs and nothing is loaded until the host asks for an effect it uses.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vask::host {

class PluginCatalog {
 public:
  // Every "*.so" file directly in `folder` whose PiPL names an effect ("eFKT")
  // with a match name. Files that are not effect libraries (platform
  // libraries, other shared objects) are passed over. When two files carry
  // the same match name the first in file-name order is kept and the other
  // noted in warnings(). Throws HostError when `folder` cannot be listed.
  static PluginCatalog scan(const std::filesystem::path& folder);

  // The library of `matchName`, or nullopt.
  std::optional<std::filesystem::path> find(const std::string& matchName) const;
  // Every match name known, sorted.
  std::vector<std::string> matchNames() const;
  // The effect name ("VASK Point Light") of a known match name, or empty.
  std::string effectName(const std::string& matchName) const;
  const std::filesystem::path& folder() const { return folder_; }
  const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  struct Entry {
    std::filesystem::path file;
    std::string name;
  };
  std::filesystem::path folder_;
  std::map<std::string, Entry> byMatchName_;
  std::vector<std::string> warnings_;
};

// The folder of the running program (/proc/self/exe), where the build and an
// install put the effect libraries beside `vask`.
std::filesystem::path programFolder();

}  // namespace vask::host
