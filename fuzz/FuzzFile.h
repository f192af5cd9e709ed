#pragma once

// Inputs handed to code that takes a path: the bytes in an anonymous memory
// file, named through /proc/self/fd, so no input ever touches a disk.

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace yelvane::fuzz {

class MemoryFile {
 public:
  MemoryFile(const uint8_t* data, std::size_t size) : fd_(memfd_create("fuzz", MFD_CLOEXEC)) {
    if (fd_ < 0) std::abort();
    for (std::size_t done = 0; done < size;) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n <= 0) std::abort();
      done += static_cast<std::size_t>(n);
    }
  }
  ~MemoryFile() { ::close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

  // What the file holds now.
  std::vector<uint8_t> Bytes() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) std::abort();
    std::vector<uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t n =
          ::pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<std::size_t>(n);
    }
    return bytes;
  }

 private:
  int fd_;
};

}  // namespace yelvane::fuzz
