// Reading files the user names: projects, effect libraries, pictures.
//
// Every such file is untrusted, and so is its kind: a name may be a folder, a
// FIFO that nobody writes, or a device that never ends. Opening never blocks
// (O_NONBLOCK, then the type is checked), and no read takes more bytes than
// the caller allows. Failures are HostError naming the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vask::host {

// "0x1f40": how messages give an offset, a flag word or an address.
std::string hexText(uint64_t value);

// "a folder", "a FIFO", "a character device", … for a file's st_mode: how
// messages name a file that is not a regular one.
const char* fileKindName(unsigned mode);

// What kinds of file an opening accepts besides regular files.
enum class Streams {
  Refuse,  // regular files only
  Accept,  // also FIFOs and pipes (read to their end, or to the size limit)
};

// An open file, read at explicit offsets. Regular files only: the size is
// known, and every read is checked against it.
class InputFile {
 public:
  // Opens `path` for reading. Refuses folders, FIFOs, devices and sockets.
  explicit InputFile(const std::filesystem::path& path);
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  uint64_t size() const { return size_; }
  const std::string& name() const { return name_; }

  // `length` bytes at `offset`; `what` names the structure for the message
  // when they run past the end of the file.
  std::vector<std::byte> read(uint64_t offset, uint64_t length, std::string_view what) const;

 private:
  std::string name_;
  int fd_ = -1;
  uint64_t size_ = 0;
};

// `path` opened for reading through stdio ("rb"), for libraries that read
// from a FILE*. Regular files only. The caller closes it.
std::FILE* openInputStream(const std::filesystem::path& path);

// The whole contents of `path`, at most `maxBytes` bytes; a longer file is
// refused with "<file>: larger than <maxBytes> bytes; <purpose>". With
// Streams::Accept a FIFO or pipe is read to its end (a FIFO with no writer
// reads as empty at once).
std::string readWholeFile(const std::filesystem::path& path, std::size_t maxBytes,
                          Streams streams, std::string_view purpose);

}  // namespace vask::host
