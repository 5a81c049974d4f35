// Bytes as a file for readers that take a path: an anonymous in-memory file
// (no disk, nothing left behind), named through /proc/self/fd.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

class FuzzFile {
 public:
  FuzzFile(const uint8_t* data, size_t size) : fd_(::memfd_create("fuzz", MFD_CLOEXEC)) {
    if (fd_ < 0) std::abort();
    for (size_t done = 0; done < size;) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
  }
  ~FuzzFile() { ::close(fd_); }
  FuzzFile(const FuzzFile&) = delete;
  FuzzFile& operator=(const FuzzFile&) = delete;

  std::filesystem::path path() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_;
};
