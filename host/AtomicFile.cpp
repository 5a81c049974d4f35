#include "host/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/HostError.h"
#include "host/InputFile.h"
#include "host/Interruption.h"

namespace vask::host {
namespace {

std::atomic<unsigned> gCounter{0};

std::filesystem::path temporaryFor(const std::filesystem::path& target) {
  // Hidden, and unique per process and call, so two writers never share one.
  return target.parent_path() / ("." + target.filename().string() + ".tmp-" +
                                 std::to_string(::getpid()) + "-" + std::to_string(++gCounter));
}

// The file a write to `target` replaces: `target` itself, or for a symbolic
// link the file it leads to (the link stays a link). Refuses a target that
// exists and is not a regular file: renaming over a device node or a FIFO
// would replace it with a plain file (as root, even /dev/null).
std::filesystem::path destinationOf(const std::filesystem::path& target) {
  std::filesystem::path path = target;
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    std::error_code ec;
    path = std::filesystem::weakly_canonical(target, ec);
    if (ec) throw HostError(target.string() + ": cannot follow the link: " + ec.message());
  }
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    throw HostError(target.string() + ": exists and is " + fileKindName(st.st_mode) +
                    "; only a regular file is replaced");
  }
  return path;
}

}  // namespace

void replaceFile(const std::filesystem::path& requested,
                 const std::function<void(const std::filesystem::path&)>& write) {
  const std::filesystem::path target = destinationOf(requested);
  const std::filesystem::path temporary = temporaryFor(target);
  // Noted while it exists, so that a process ended by a second Ctrl-C still
  // removes it.
  struct Noted {
    int slot;
    ~Noted() { releaseTemporary(slot); }
  } noted{registerTemporary(temporary.c_str())};
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
    throw HostError(requested.string() + ": cannot write: " + std::strerror(code));
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
