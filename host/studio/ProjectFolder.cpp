#include "host/studio/ProjectFolder.h"

#include <sys/stat.h>

#include <algorithm>

#include "host/HostError.h"

namespace vask::host {
namespace {

std::string inQuotes(std::string_view s) { return "\"" + std::string(s) + "\""; }

}  // namespace

ProjectFolder::ProjectFolder(const std::filesystem::path& root) {
  std::error_code ec;
  root_ = std::filesystem::canonical(std::filesystem::absolute(root, ec), ec);
  if (ec || !std::filesystem::is_directory(root_, ec)) {
    throw HostError(root.string() + ": the project's folder cannot be opened" +
                    (ec ? ": " + ec.message() : std::string(": not a folder")));
  }
}

bool ProjectFolder::contains(const std::filesystem::path& path) const {
  const auto rel = path.lexically_relative(root_);
  return !rel.empty() && (rel == "." || *rel.begin() != "..");
}

std::filesystem::path ProjectFolder::resolve(std::string_view relative) const {
  const std::string text(relative);
  auto outside = [&] { return HostError(inQuotes(text) + " is outside the project's folder"); };
  if (text.find('\0') != std::string::npos || text.size() > 4096) throw outside();
  const std::filesystem::path p(text);
  if (p.is_absolute()) throw outside();
  for (const auto& part : p)
    if (part == "..") throw outside();
  std::error_code ec;
  const auto resolved = std::filesystem::canonical(root_ / p, ec);
  if (ec) throw HostError(inQuotes(text) + ": " + ec.message());
  if (!contains(resolved)) throw outside();
  return resolved;
}

ProjectFolder::Listing ProjectFolder::list(std::string_view relative) const {
  const auto folder = resolve(relative);
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) throw HostError(inQuotes(relative) + " is not a folder");
  Listing out;
  std::filesystem::directory_iterator it(folder, std::filesystem::directory_options::skip_permission_denied, ec);
  if (ec) throw HostError(inQuotes(relative) + ": " + ec.message());
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    // A link is listed only when it stays inside, as what it leads to.
    const auto target = std::filesystem::canonical(it->path(), ec);
    if (ec || !contains(target)) {
      ec.clear();
      continue;
    }
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) continue;
    const bool isFolder = S_ISDIR(st.st_mode);
    if (!isFolder && !S_ISREG(st.st_mode)) continue;
    if (out.entries.size() == kMaxEntries) {
      ++out.omitted;
      continue;
    }
    out.entries.push_back({name, isFolder, isFolder ? 0 : static_cast<uint64_t>(st.st_size)});
  }
  std::sort(out.entries.begin(), out.entries.end(), [](const Entry& a, const Entry& b) {
    return a.folder != b.folder ? a.folder : a.name < b.name;
  });
  return out;
}

std::filesystem::path ProjectFolder::file(std::string_view relative) const {
  const auto path = resolve(relative);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    throw HostError(inQuotes(relative) + " is not a file");
  }
  return path;
}

}  // namespace vask::host
