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
  int ActiveFd() const { return writeFd_ >= 0 ? writeFd_ : readFd_; }

  std::shared_ptr<int> lastError_;
  std::string path_;
  int readFd_ = -1;
  int writeFd_ = -1;
};

// Removable whole disks listed in /sys/block (removable = 1), highest name
// first, as /dev/<name>. The folders are parameters so tests can fake them.
class SysBlockDriveEnumerator final : public DriveEnumerator {
 public:
  explicit SysBlockDriveEnumerator(std::string sysBlockDir = "/sys/block",
                                   std::string devDir = "/dev");
  std::vector<DriveCandidate> Candidates() override;
  std::unique_ptr<RawVolume> NewVolume() override;
  DriveVerdict Diagnose(DriveVerdict generic) override;

 private:
  std::string sysBlockDir_;
  std::string devDir_;
  std::shared_ptr<int> lastError_ = std::make_shared<int>(0);
};

}  // namespace yelvane
