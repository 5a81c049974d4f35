#include "host/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "host/HostError.h"

namespace vask::host {
namespace {

// Opens without blocking (a FIFO with no writer would block a plain open
// forever), checks the kind, then makes reads blocking again.
int openChecked(const std::string& name, Streams streams, bool& stream) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throw HostError(name + ": cannot open: " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int e = errno;
    ::close(fd);
    throw HostError(name + ": cannot read its file status: " + std::strerror(e));
  }
  stream = S_ISFIFO(st.st_mode);
  if (!S_ISREG(st.st_mode) && !(stream && streams == Streams::Accept)) {
    ::close(fd);
    throw HostError(name + ": is " + fileKindName(st.st_mode) + ", not a file that can be read");
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

}  // namespace

std::string hexText(uint64_t value) {
  std::ostringstream s;
  s << "0x" << std::hex << value;
  return s.str();
}

const char* fileKindName(unsigned mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

InputFile::InputFile(const std::filesystem::path& path) : name_(path.string()) {
  bool stream = false;
  fd_ = openChecked(name_, Streams::Refuse, stream);
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || st.st_size < 0) {
    ::close(fd_);
    throw HostError(name_ + ": cannot read its size");
  }
  size_ = static_cast<uint64_t>(st.st_size);
}

InputFile::~InputFile() { ::close(fd_); }

std::vector<std::byte> InputFile::read(uint64_t offset, uint64_t length, std::string_view what) const {
  if (offset > size_ || length > size_ - offset) {
    throw HostError(name_ + ": " + std::string(what) + " at file offset " + hexText(offset) + " (" +
                    std::to_string(length) + " bytes) runs past the end of the file (" +
                    std::to_string(size_) + " bytes)");
  }
  std::vector<std::byte> out(static_cast<std::size_t>(length));
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A file that shrank while read ends early too.
      throw HostError(name_ + ": read error at file offset " + hexText(offset + done) +
                      (n < 0 ? std::string(": ") + std::strerror(errno) : ": the file ended early"));
    }
    done += static_cast<std::size_t>(n);
  }
  return out;
}

std::FILE* openInputStream(const std::filesystem::path& path) {
  const std::string name = path.string();
  bool stream = false;
  const int fd = openChecked(name, Streams::Refuse, stream);
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    const int e = errno;
    ::close(fd);
    throw HostError(name + ": cannot open: " + std::strerror(e));
  }
  return f;
}

std::string readWholeFile(const std::filesystem::path& path, std::size_t maxBytes, Streams streams,
                          std::string_view purpose) {
  const std::string name = path.string();
  bool stream = false;
  const int fd = openChecked(name, streams, stream);
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int e = errno;
      ::close(fd);
      throw HostError(name + ": cannot read: " + std::strerror(e));
    }
    if (n == 0) break;
    if (text.size() + static_cast<std::size_t>(n) > maxBytes) {
      ::close(fd);
      throw HostError(name + ": larger than " + std::to_string(maxBytes) + " bytes; " +
                      std::string(purpose));
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

}  // namespace vask::host
