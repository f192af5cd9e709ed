#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace yelvane {

inline constexpr uint32_t kSectorSize = 512;
// No back-end writes at or above this sector.
inline constexpr uint32_t kWritableSectorLimit = 65536;

// Raw 512-byte sector access to one drive's volume.
class RawVolume {
 public:
  virtual ~RawVolume() = default;
  virtual bool Open(const std::string& rootPath) = 0;
  virtual void Close() = 0;
  virtual bool ReadSectors(uint32_t sector, void* buffer, uint32_t count) = 0;
  virtual bool WriteSectors(uint32_t sector, const void* buffer, uint32_t count) = 0;
  virtual bool Lock() = 0;
  virtual bool Unlock() = 0;
};

// The facade every caller uses: owns one back-end and forwards to it.
// Destroying it does not close the volume (callers close it themselves).
class UnitVolume {
 public:
  explicit UnitVolume(std::unique_ptr<RawVolume> impl) : impl_(std::move(impl)) {}
  bool Open(const std::string& rootPath) { return impl_ && impl_->Open(rootPath); }
  void Close() {
    if (impl_) impl_->Close();
  }
  bool ReadSectors(uint32_t sector, void* buffer, uint32_t count) {
    return impl_ && impl_->ReadSectors(sector, buffer, count);
  }
  bool WriteSectors(uint32_t sector, const void* buffer, uint32_t count) {
    return impl_ && impl_->WriteSectors(sector, buffer, count);
  }
  bool Lock() { return impl_ && impl_->Lock(); }
  bool Unlock() { return impl_ ? impl_->Unlock() : true; }

 private:
  std::unique_ptr<RawVolume> impl_;
};

}  // namespace yelvane
