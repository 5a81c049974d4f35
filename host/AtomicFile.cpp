#include "host/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/HostError.h"

namespace vask::host {
namespace {

std::atomic<unsigned> gCounter{0};

std::filesystem::path temporaryFor(const std::filesystem::path& target) {
  // Hidden, and unique per process and call, so two writers never share one.
  return target.parent_path() / ("." + target.filename().string() + ".tmp-" +
                                 std::to_string(::getpid()) + "-" + std::to_string(++gCounter));
}

}  // namespace

void replaceFile(const std::filesystem::path& target,
                 const std::function<void(const std::filesystem::path&)>& write) {
  const std::filesystem::path temporary = temporaryFor(target);
  std::error_code ignored;
  try {
    write(temporary);
  } catch (...) {
    std::filesystem::remove(temporary, ignored);
    throw;
  }
  if (std::rename(temporary.c_str(), target.c_str()) != 0) {
    const int code = errno;
    std::filesystem::remove(temporary, ignored);
    throw HostError(target.string() + ": cannot write: " + std::strerror(code));
  }
}

void replaceFileWithText(const std::filesystem::path& target, std::string_view text) {
  replaceFile(target, [&](const std::filesystem::path& temporary) {
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw HostError(target.string() + ": cannot write: " + std::strerror(errno));
    std::size_t done = 0;
    int code = 0;
    while (done < text.size()) {
      const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        code = errno;
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && code == 0) code = errno;
    if (code != 0) throw HostError(target.string() + ": cannot write: " + std::strerror(code));
  });
}

}  // namespace vask::host
