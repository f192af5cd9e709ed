// Linux only; the Windows build uses the NT and Win9x back-ends.
#ifndef _WIN32

#include "unit/PosixRawVolume.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "unit/CommandExchange.h"

namespace yelvane {

namespace {

constexpr std::size_t kDirectAlignment = 4096;

struct AlignedFree {
  void operator()(void* p) const { std::free(p); }
};

// O_DIRECT wants the buffer aligned; the caller's may not be.
std::unique_ptr<uint8_t, AlignedFree> AlignedBuffer(std::size_t size) {
  const std::size_t rounded = (size + kDirectAlignment - 1) / kDirectAlignment * kDirectAlignment;
  return std::unique_ptr<uint8_t, AlignedFree>(
      static_cast<uint8_t*>(std::aligned_alloc(kDirectAlignment, rounded)));
}

int OpenDirect(const std::string& path, int mode) {
  int fd = ::open(path.c_str(), mode | O_DIRECT | O_CLOEXEC);
  // A few file systems refuse O_DIRECT; block devices never do.
  if (fd < 0 && errno == EINVAL) fd = ::open(path.c_str(), mode | O_CLOEXEC);
  return fd;
}

bool SameFile(int a, int b) {
  struct stat sa {};
  struct stat sb {};
  if (::fstat(a, &sa) != 0 || ::fstat(b, &sb) != 0) return false;
  if (S_ISBLK(sa.st_mode) || S_ISBLK(sb.st_mode)) return sa.st_rdev == sb.st_rdev;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Reads sector 1 through `fd` and checks the logger's signature. errno is 0
// when the sector was read but does not carry it.
bool HasSignature(int fd) {
  auto aligned = AlignedBuffer(kSectorSize);
  if (!aligned) {
    errno = ENOMEM;
    return false;
  }
  ssize_t got;
  do {
    got = ::pread(fd, aligned.get(), kSectorSize, static_cast<off_t>(kSectorSize));
  } while (got < 0 && errno == EINTR);
  if (got != static_cast<ssize_t>(kSectorSize)) {
    if (got >= 0) errno = EIO;
    return false;
  }
  errno = 0;
  return HasUnitSignature(aligned.get());
}

}  // namespace

PosixRawVolume::PosixRawVolume(std::shared_ptr<int> lastError)
    : lastError_(lastError ? std::move(lastError) : std::make_shared<int>(0)) {}

PosixRawVolume::~PosixRawVolume() {
  // Callers close volumes themselves; this only keeps descriptors from leaking.
  if (writeFd_ >= 0) ::close(writeFd_);
  if (readFd_ >= 0) ::close(readFd_);
}

bool PosixRawVolume::Fail(int error) {
  *lastError_ = error;
  return false;
}

bool PosixRawVolume::Open(const std::string& rootPath) {
  Close();
  if (rootPath.empty()) return Fail(ENOENT);
  const int fd = OpenDirect(rootPath, O_RDONLY);
  if (fd < 0) return Fail(errno);
  readFd_ = fd;
  path_ = rootPath;
  // A failure seen on this drive later is not explained by an older one.
  *lastError_ = 0;
  lockError_ = 0;
  return true;
}

void PosixRawVolume::Close() {
  Unlock();
  if (readFd_ >= 0) ::close(readFd_);
  readFd_ = -1;
  path_.clear();
}

bool PosixRawVolume::ReadSectors(uint32_t sector, void* buffer, uint32_t count) {
  if (readFd_ < 0) return Fail(EBADF);
  const std::size_t size = std::size_t{count} * kSectorSize;
  if (size == 0) return true;
  auto aligned = AlignedBuffer(size);
  if (!aligned) return Fail(ENOMEM);
  const off_t offset = static_cast<off_t>(sector) * kSectorSize;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got =
        ::pread(ActiveFd(), aligned.get() + done, size - done, offset + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Fail(errno);
    if (got == 0) return Fail(EIO);  // past the end of the volume
    done += static_cast<std::size_t>(got);
  }
  std::memcpy(buffer, aligned.get(), size);
  return true;
}

bool PosixRawVolume::WriteSectors(uint32_t sector, const void* buffer, uint32_t count) {
  if (writeFd_ < 0) return Fail(lockError_ != 0 ? lockError_ : EBADF);
  if (sector >= kWritableSectorLimit || count > kWritableSectorLimit - sector) return Fail(EPERM);
  const std::size_t size = std::size_t{count} * kSectorSize;
  if (size == 0) return true;
  auto aligned = AlignedBuffer(size);
  if (!aligned) return Fail(ENOMEM);
  std::memcpy(aligned.get(), buffer, size);
  const off_t offset = static_cast<off_t>(sector) * kSectorSize;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put =
        ::pwrite(writeFd_, aligned.get() + done, size - done, offset + static_cast<off_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return Fail(put < 0 ? errno : EIO);
    done += static_cast<std::size_t>(put);
  }
  return true;
}

bool PosixRawVolume::Lock() {
  if (readFd_ < 0) return Fail(EBADF);
  if (writeFd_ >= 0) return true;
  lockError_ = 0;
  if (!TakeWriteHandle()) {
    lockError_ = *lastError_;
    return false;
  }
  return true;
}

bool PosixRawVolume::TakeWriteHandle() {
  const int fd = OpenDirect(path_, O_RDWR);
  if (fd < 0) return Fail(errno);
  // The signature was checked on the read handle: make sure the path still
  // names the same device before anything is written through the new one.
  if (!SameFile(fd, readFd_)) {
    ::close(fd);
    return Fail(ENODEV);
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return Fail(error);
  }
  // Writes go through this new handle, so the logger's signature must be seen
  // through it too: the same device number can name another medium by now.
  if (!HasSignature(fd)) {
    const int error = errno == 0 ? ENODEV : errno;
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return Fail(error);
  }
  writeFd_ = fd;
  return true;
}

bool PosixRawVolume::Unlock() {
  if (writeFd_ >= 0) {
    ::flock(writeFd_, LOCK_UN);
    ::close(writeFd_);
    writeFd_ = -1;
  }
  return true;
}

bool PosixRawVolume::UsesDirectIo() const {
  if (readFd_ < 0) return false;
  const int flags = ::fcntl(ActiveFd(), F_GETFL);
  return flags >= 0 && (flags & O_DIRECT) != 0;
}

SysBlockDriveEnumerator::SysBlockDriveEnumerator(std::string sysBlockDir, std::string devDir)
    : sysBlockDir_(std::move(sysBlockDir)), devDir_(std::move(devDir)) {}

std::unique_ptr<SysBlockDriveEnumerator> SysBlockDriveEnumerator::FromEnvironment() {
  const char* sys = std::getenv(kSysBlockDirVariable);
  const char* dev = std::getenv(kDevDirVariable);
  return std::make_unique<SysBlockDriveEnumerator>(sys && *sys ? sys : "/sys/block",
                                                   dev && *dev ? dev : "/dev");
}

namespace {

// The partition number sysfs gives a partition folder; 0 for anything else.
unsigned long PartitionNumber(const std::filesystem::path& folder) {
  std::ifstream in(folder / "partition");
  unsigned long number = 0;
  return in >> number ? number : 0;
}

}  // namespace

std::vector<SysBlockDriveEnumerator::Volume> SysBlockDriveEnumerator::Volumes() const {
  namespace fs = std::filesystem;
  std::vector<std::string> disks;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(sysBlockDir_, error)) {
    std::ifstream removable(entry.path() / "removable");
    char flag = 0;
    if (removable.get(flag) && flag == '1') disks.push_back(entry.path().filename().string());
  }
  std::sort(disks.rbegin(), disks.rend());
  std::vector<Volume> volumes;
  for (const std::string& disk : disks) {
    const fs::path diskPath = fs::path(sysBlockDir_) / disk;
    volumes.push_back({disk, diskPath.string()});
    std::vector<std::pair<unsigned long, std::string>> parts;
    for (const auto& entry : fs::directory_iterator(diskPath, error)) {
      const std::string name = entry.path().filename().string();
      const unsigned long number = PartitionNumber(entry.path());
      if (number > 0 && name.starts_with(disk)) parts.emplace_back(number, name);
    }
    std::sort(parts.rbegin(), parts.rend());
    for (const auto& part : parts)
      volumes.push_back({part.second, (diskPath / part.second).string()});
  }
  return volumes;
}

std::vector<DriveCandidate> SysBlockDriveEnumerator::Candidates() {
  std::vector<DriveCandidate> candidates;
  for (const Volume& volume : Volumes()) candidates.push_back({devDir_ + "/" + volume.name});
  return candidates;
}

std::string SysBlockDriveEnumerator::SysPathOf(const std::string& root) {
  for (const Volume& volume : Volumes()) {
    if (devDir_ + "/" + volume.name == root) return volume.sysPath;
  }
  return {};
}

std::unique_ptr<RawVolume> SysBlockDriveEnumerator::NewVolume() {
  return std::make_unique<PosixRawVolume>(lastError_);
}

DriveVerdict SysBlockDriveEnumerator::Diagnose(DriveVerdict generic) {
  switch (*lastError_) {
    case EACCES:
    case EPERM:
      return DriveVerdict::PermissionDenied;
    case ENOMEDIUM:
      return DriveVerdict::NoMedium;
    case EBUSY:
    case EWOULDBLOCK:
      return DriveVerdict::Locked;
    case EIO:
      return DriveVerdict::ReadError;
    default:
      return generic;
  }
}

}  // namespace yelvane

#endif  // _WIN32
