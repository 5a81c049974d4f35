// Writing a file so that its final name never names a partial file.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

namespace vask::host {

// Calls `write` with a temporary path in the folder of `target`, then renames
// the temporary file to `target` (replacing a file already there). When
// `write` throws, or the rename fails, the temporary file is removed and
// `target` is left as it was; a rename failure throws HostError naming
// `target` and the system's reason. A `target` that exists and is not a
// regular file (a folder, a FIFO, a device) is refused before anything is
// written; a symbolic link is followed, so the file it leads to is replaced
// and the link stays.
void replaceFile(const std::filesystem::path& target,
                 const std::function<void(const std::filesystem::path& temporary)>& write);

// replaceFile with `text` as the whole contents. Throws HostError naming
// `target` when the file cannot be written.
void replaceFileWithText(const std::filesystem::path& target, std::string_view text);

}  // namespace vask::host
