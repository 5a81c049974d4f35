// The project's folder as the studio's page sees it. The page's file picker
// lists and chooses files here and in its subfolders only: every path the
// page sends is relative to the folder, and nothing outside it is ever read
// or listed, whether the way out is "..", an absolute path or a symbolic
// link that leads elsewhere.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vask::host {

class ProjectFolder {
 public:
  // Most entries one listing returns; the rest are left out (and counted).
  static constexpr std::size_t kMaxEntries = 2000;

  // `root` must be a folder. Throws HostError otherwise.
  explicit ProjectFolder(const std::filesystem::path& root);

  // The folder, absolute, symbolic links resolved.
  const std::filesystem::path& root() const { return root_; }

  struct Entry {
    std::string name;
    bool folder = false;
    uint64_t size = 0;  // files only
  };
  struct Listing {
    std::vector<Entry> entries;  // folders first, then files; each by name
    std::size_t omitted = 0;     // entries past kMaxEntries
  };
  // The entries of the subfolder `relative` ("" for the folder itself, '/'
  // between names). Hidden entries (a leading '.') and entries that lead
  // outside the folder are left out. Throws HostError for a path that leads
  // outside the folder or is not a folder.
  Listing list(std::string_view relative) const;

  // The absolute path of the regular file `relative`, links resolved.
  // Throws HostError for a path that leads outside the folder, does not
  // exist, or is not a regular file.
  std::filesystem::path file(std::string_view relative) const;

  // `relative` (links resolved), or HostError when it is outside or missing.
  std::filesystem::path resolve(std::string_view relative) const;

  // True when `path` (absolute, links resolved) is the folder or lies in it.
  bool contains(const std::filesystem::path& path) const;

 private:
  std::filesystem::path root_;
};

}  // namespace vask::host
