#pragma once

// Linux back-end: a whole-disk block device such as /dev/sdb (or, in tests,
// a disk image file). Reads go through O_DIRECT with aligned buffers so each
// one reaches the device; the device is opened for writing only at Lock, so
// the once-a-second presence scan never opens a disk for writing.

#include <memory>
#include <string>

#include "unit/RawVolume.h"
#include "unit/UnitAccess.h"

namespace yelvane {

class PosixRawVolume final : public RawVolume {
 public:
  // `lastError` (optional) receives the errno of each failing call, shared
  // with the enumerator that diagnoses rejected drives.
  explicit PosixRawVolume(std::shared_ptr<int> lastError = nullptr);
  ~PosixRawVolume() override;
  PosixRawVolume(const PosixRawVolume&) = delete;
  PosixRawVolume& operator=(const PosixRawVolume&) = delete;

  // Opens `rootPath` itself (a device or file path), read-only.
  bool Open(const std::string& rootPath) override;
  void Close() override;
  bool ReadSectors(uint32_t sector, void* buffer, uint32_t count) override;
  // Only after Lock, only below sector 65536.
  bool WriteSectors(uint32_t sector, const void* buffer, uint32_t count) override;
  // Reopens the same device read-write, takes an exclusive flock on it and
  // checks the logger's signature in sector 1 through the new handle.
  bool Lock() override;
  bool Unlock() override;

  bool IsOpen() const { return readFd_ >= 0; }
  bool IsWritable() const { return writeFd_ >= 0; }
  // True when reads bypass the page cache (O_DIRECT on the open handle).
  bool UsesDirectIo() const;
  int LastError() const { return *lastError_; }

 private:
  bool Fail(int error);
  bool TakeWriteHandle();
  int ActiveFd() const { return writeFd_ >= 0 ? writeFd_ : readFd_; }

  std::shared_ptr<int> lastError_;
  // Why the last Lock failed: a write without the lock fails with it, so the
  // diagnosis after a transfer names the lock, not the write.
  int lockError_ = 0;
  std::string path_;
  int readFd_ = -1;
  int writeFd_ = -1;
};

inline constexpr const char* kSysBlockDirVariable = "YELVANE_SYS_BLOCK_DIR";
inline constexpr const char* kDevDirVariable = "YELVANE_DEV_DIR";

// The volumes of the removable disks listed in /sys/block (removable = 1):
// disks by name, highest first, each followed by its partitions
// (/sys/block/<disk>/<part> with a `partition` file), highest number first,
// as /dev/<name>. A partition is what a drive letter names on a medium with a
// partition table. The folders are parameters so tests can fake them.
class SysBlockDriveEnumerator final : public DriveEnumerator {
 public:
  explicit SysBlockDriveEnumerator(std::string sysBlockDir = "/sys/block",
                                   std::string devDir = "/dev");
  // The folders named by YELVANE_SYS_BLOCK_DIR and YELVANE_DEV_DIR when set.
  static std::unique_ptr<SysBlockDriveEnumerator> FromEnvironment();

  std::vector<DriveCandidate> Candidates() override;
  std::unique_ptr<RawVolume> NewVolume() override;
  DriveVerdict Diagnose(DriveVerdict generic) override;

  // The sysfs folder of a candidate's disk or partition ("" when `root` is
  // none of the candidates).
  std::string SysPathOf(const std::string& root);

 private:
  struct Volume {
    std::string name;     // sdb, sdb1
    std::string sysPath;  // /sys/block/sdb, /sys/block/sdb/sdb1
  };
  std::vector<Volume> Volumes() const;

  std::string sysBlockDir_;
  std::string devDir_;
  std::shared_ptr<int> lastError_ = std::make_shared<int>(0);
};

}  // namespace yelvane
