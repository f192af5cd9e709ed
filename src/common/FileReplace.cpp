#include "common/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>
#include <vector>

#include "common/Format.h"

namespace yelvane {

namespace fs = std::filesystem;

namespace {

std::string CannotWrite(const std::string& path, const std::string& reason) {
  return Format("Cannot write \"%s\": %s", path.c_str(), reason.c_str());
}

std::string Folder(const std::string& path) {
  const fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

// The temporary name's tail: the target's extension when it is short, so
// that the name stays far below any file system's limit.
std::string ShortSuffix(const std::string& suffix) {
  return suffix.size() <= 16 && suffix.find('/') == std::string::npos ? suffix : std::string();
}

#ifndef _WIN32

// Creates a fresh file "<folder>/.yelvane-XXXXXX<suffix>" exclusively.
int CreateTemporary(const std::string& folder, const std::string& suffix, std::string& name) {
  std::string pattern = folder + "/.yelvane-XXXXXX" + suffix;
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkstemps(buffer.data(), static_cast<int>(suffix.size()));
  if (fd >= 0) name = buffer.data();
  return fd;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The permission bits a newly created file gets from this process's umask.
unsigned NewFileMode() {
  unsigned mask = 022;
  if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, status))
      if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
    std::fclose(status);
  }
  return 0666u & ~mask;
}

// The file a rename must replace: the final component's symbolic links
// followed, so that the link itself stays.
bool ResolveLinks(const std::string& path, std::string& target, int& err) {
  std::string current = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      target = current;  // a missing file is created there
      return true;
    }
    std::vector<char> text(4096);
    const ssize_t n = ::readlink(current.c_str(), text.data(), text.size());
    if (n < 0 || static_cast<std::size_t>(n) >= text.size()) {
      err = n < 0 ? errno : ENAMETOOLONG;
      return false;
    }
    const std::string link(text.data(), static_cast<std::size_t>(n));
    current = link.front() == '/' ? link : Folder(current) + "/" + link;
  }
  err = ELOOP;
  return false;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // the rename itself reaches the disk; best effort
  ::close(fd);
}

// Flushes `temporary` to the disk with `mode`; false with errno set.
bool SyncTemporary(const std::string& temporary, bool setMode, unsigned mode) {
  const int fd = ::open(temporary.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = (!setMode || ::fchmod(fd, static_cast<mode_t>(mode)) == 0) && ::fsync(fd) == 0;
  const int saved = errno;
  ok = ::close(fd) == 0 && ok;
  if (!ok && saved) errno = saved;
  return ok;
}

// Copies the temporary file into a device or FIFO opened as it is.
bool CopyInPlace(const std::string& temporary, const std::string& path) {
  const int in = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const int out = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  bool ok = out >= 0;
  std::vector<char> buffer(1 << 16);
  while (ok) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    ok = WriteAll(out, buffer.data(), static_cast<std::size_t>(n));
  }
  const int saved = errno;
  if (out >= 0 && ::close(out) != 0 && ok) ok = false;
  ::close(in);
  if (!ok && saved) errno = saved;
  return ok;
}

#endif  // !_WIN32

}  // namespace

FileReplacement::~FileReplacement() {
  Abandon();
}

void FileReplacement::Abandon() {
  if (temporary_.empty()) return;
  std::error_code ec;
  fs::remove(temporary_, ec);
  temporary_.clear();
}

#ifndef _WIN32

bool FileReplacement::Begin(const std::string& path, std::string& error,
                            const std::string& suffix) {
  Abandon();
  path_ = path;
  inPlace_ = existed_ = false;
  if (path.empty()) {
    error = "Cannot write a file without a name.";
    return false;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {  // links followed
    if (S_ISDIR(st.st_mode)) {
      error = CannotWrite(path, "it is a folder");
      return false;
    }
    if (S_ISBLK(st.st_mode)) {
      error = CannotWrite(path, "it is a drive, not a file");
      return false;
    }
    if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode) && !S_ISFIFO(st.st_mode)) {
      error = CannotWrite(path, "it is not a file");
      return false;
    }
    inPlace_ = !S_ISREG(st.st_mode);
    existed_ = true;
    mode_ = st.st_mode & 07777;
    // Replacing needs only the folder's permission; a file its owner made
    // read-only stays as it is.
    if (!inPlace_ && ::access(path.c_str(), W_OK) != 0) {
      error = CannotWrite(path, std::strerror(errno));
      return false;
    }
  } else if (errno != ENOENT) {
    error = CannotWrite(path, std::strerror(errno));
    return false;
  } else {
    mode_ = NewFileMode();
  }

  std::string folder;
  if (inPlace_) {
    target_ = path;
    std::error_code ec;
    folder = fs::temp_directory_path(ec).string();
    if (ec || folder.empty()) folder = "/tmp";
  } else {
    int err = 0;
    if (!ResolveLinks(path, target_, err)) {
      error = CannotWrite(path, std::strerror(err));
      return false;
    }
    folder = Folder(target_);
  }
  std::string name;
  const int fd = CreateTemporary(folder, ShortSuffix(suffix), name);
  if (fd < 0) {
    error = CannotWrite(path, std::strerror(errno));
    return false;
  }
  ::close(fd);
  temporary_ = name;
  error.clear();
  return true;
}

bool FileReplacement::Commit(std::string& error) {
  if (temporary_.empty()) {
    error = CannotWrite(path_, "nothing was written");
    return false;
  }
  bool ok;
  if (inPlace_) {
    ok = CopyInPlace(temporary_, path_);
  } else {
    // The new file takes the old one's permission bits (and owner, where
    // this process may give it).
    struct stat st {};
    if (existed_ && ::stat(target_.c_str(), &st) == 0) {
      if (const int fd = ::open(temporary_.c_str(), O_RDWR | O_CLOEXEC); fd >= 0) {
        if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
            ::fchown(fd, st.st_uid, st.st_gid) != 0) {
          // Not this process's to give: the new file keeps its own owner.
        }
        ::close(fd);
      }
    }
    ok = SyncTemporary(temporary_, true, mode_) &&
         ::rename(temporary_.c_str(), target_.c_str()) == 0;
    if (ok) {
      temporary_.clear();
      SyncFolder(Folder(target_));
    }
  }
  if (!ok) {
    error = CannotWrite(path_, std::strerror(errno));
    Abandon();
    return false;
  }
  Abandon();
  error.clear();
  return true;
}

bool FileReplacement::Write(const std::string& bytes, std::string& error) {
  const int fd = ::open(temporary_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  bool ok = fd >= 0 && WriteAll(fd, bytes.data(), bytes.size());
  int saved = errno;
  if (fd >= 0 && ::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (!ok) error = CannotWrite(path_, std::strerror(saved));
  return ok;
}

bool WriteNewFile(const std::string& path, const std::string& bytes, bool& exists,
                  std::string& error) {
  exists = false;
  std::string temporary;
  const int fd = CreateTemporary(Folder(path), "", temporary);
  if (fd < 0) {
    error = CannotWrite(path, std::strerror(errno));
    return false;
  }
  bool ok = WriteAll(fd, bytes.data(), bytes.size()) &&
            ::fchmod(fd, static_cast<mode_t>(NewFileMode())) == 0 && ::fsync(fd) == 0;
  int saved = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok) {
    // No replacing, even of a file that appeared a moment ago.
    ok = ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0;
    saved = errno;
    if (!ok && (saved == EINVAL || saved == ENOSYS)) {
      ok = ::link(temporary.c_str(), path.c_str()) == 0;
      saved = errno;
    }
    exists = !ok && saved == EEXIST;
  }
  ::unlink(temporary.c_str());
  if (!ok) {
    error = CannotWrite(path, std::strerror(saved));
    return false;
  }
  SyncFolder(Folder(path));
  error.clear();
  return true;
}

#else  // _WIN32: the same steps with what the standard library offers.

bool FileReplacement::Begin(const std::string& path, std::string& error,
                            const std::string& suffix) {
  Abandon();
  path_ = target_ = path;
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    error = CannotWrite(path, "it is a folder");
    return false;
  }
  std::random_device random;
  const std::string folder = Folder(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name =
        folder + Format("/.yelvane-%08x", static_cast<unsigned>(random())) + ShortSuffix(suffix);
    if (fs::exists(name, ec)) continue;
    std::ofstream out(name, std::ios::binary);
    if (!out) break;
    temporary_ = name;
    return true;
  }
  error = CannotWrite(path, std::strerror(errno));
  return false;
}

bool FileReplacement::Commit(std::string& error) {
  std::error_code ec;
  fs::rename(temporary_, target_, ec);
  if (ec) {
    error = CannotWrite(path_, ec.message());
    Abandon();
    return false;
  }
  temporary_.clear();
  return true;
}

bool FileReplacement::Write(const std::string& bytes, std::string& error) {
  std::ofstream out(temporary_, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) error = CannotWrite(path_, std::strerror(errno));
  return static_cast<bool>(out);
}

bool WriteNewFile(const std::string& path, const std::string& bytes, bool& exists,
                  std::string& error) {
  std::error_code ec;
  exists = fs::exists(path, ec);
  if (exists) {
    error = CannotWrite(path, "it exists");
    return false;
  }
  return WriteFileReplacing(path, bytes, error);
}

#endif

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error) {
  FileReplacement replacement;
  return replacement.Begin(path, error) && replacement.Write(bytes, error) &&
         replacement.Commit(error);
}

}  // namespace yelvane
