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
  // The same over several folders in order: a match name in an earlier
  // folder wins over the same name in a later one.
  static PluginCatalog scan(const std::vector<std::filesystem::path>& folders);

  // The library of `matchName`, or nullopt.
  std::optional<std::filesystem::path> find(const std::string& matchName) const;
  // Every match name known, sorted.
  std::vector<std::string> matchNames() const;
  // The effect name ("VASK Point Light") of a known match name, or empty.
  std::string effectName(const std::string& matchName) const;
  const std::vector<std::filesystem::path>& folders() const { return folders_; }
  // The folders, comma-separated, for messages.
  std::string foldersText() const;
  const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  struct Entry {
    std::filesystem::path file;
    std::string name;
  };
  void add(const std::filesystem::path& folder);

  std::vector<std::filesystem::path> folders_;
  std::map<std::string, Entry> byMatchName_;
  std::vector<std::string> warnings_;
};

// The folder of the running program (/proc/self/exe).
std::filesystem::path programFolder();

// Where an install puts the effect libraries, from the program's folder:
// PREFIX/bin/vask finds them in PREFIX/lib/vask.
inline constexpr const char* kInstalledPluginFolder = "../lib/vask";

// The folders effects are found in when the command line names none: those
// of $VASK_PLUGIN_PATH (colon-separated, in order), then the installed
// folder beside the program when there is one (kInstalledPluginFolder), else
// the program's own folder (the build's bin/, where the effects land beside
// vask; the test effects land in bin/test-plugins/, out of users' way).
std::vector<std::filesystem::path> defaultPluginFolders();

}  // namespace vask::host
