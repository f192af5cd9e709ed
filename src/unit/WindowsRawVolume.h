#pragma once

// Windows back-ends: NT family (the volume device "\\.\X:") and the Windows 95
// family (absolute disk calls through the "\\.\VWIN32" device). Every system
// call goes through WinApi, a table of function pointers: on Windows it holds
// the kernel32 functions, in tests fakes that check each call.

#include <cstdint>
#include <memory>
#include <string>

#include "unit/RawVolume.h"
#include "unit/UnitAccess.h"

namespace yelvane {

using WinHandle = void*;
inline WinHandle WinInvalidHandle() {
  return reinterpret_cast<WinHandle>(~uintptr_t{0});
}

inline constexpr uint32_t kWinGenericRead = 0x80000000;
inline constexpr uint32_t kWinGenericWrite = 0x40000000;
inline constexpr uint32_t kWinFileShareRead = 0x1;
inline constexpr uint32_t kWinFileShareWrite = 0x2;
inline constexpr uint32_t kWinOpenExisting = 3;
inline constexpr uint32_t kWinFileBegin = 0;
inline constexpr uint32_t kWinFileFlagDeleteOnClose = 0x04000000;
inline constexpr uint32_t kWinInvalidSetFilePointer = 0xFFFFFFFF;
inline constexpr uint32_t kWinDriveRemovable = 2;

// VWIN32 control codes.
inline constexpr uint32_t kVwin32DiocDosIoctl = 1;
inline constexpr uint32_t kVwin32DiocDosInt25 = 2;
inline constexpr uint32_t kVwin32DiocDosInt26 = 3;
inline constexpr uint32_t kVwin32DiocDosDriveInfo = 6;

// OSVERSIONINFOEXA, byte for byte (156 bytes; the first 148 are OSVERSIONINFOA).
struct WinVersionInfo {
  uint32_t size;
  uint32_t major;
  uint32_t minor;
  uint32_t build;
  uint32_t platformId;
  char servicePack[128];
  uint16_t servicePackMajor;
  uint16_t servicePackMinor;
  uint16_t suiteMask;
  uint8_t productType;
  uint8_t reserved;
};
static_assert(sizeof(WinVersionInfo) == 156);
inline constexpr uint32_t kWinVersionInfoExSize = 156;
inline constexpr uint32_t kWinVersionInfoSize = 148;

#pragma pack(push, 1)
// The register block of a VWIN32 call (DIOC_REGISTERS).
struct Vwin32Registers {
  uint32_t ebx;
  uint32_t edx;
  uint32_t ecx;
  uint32_t eax;
  uint32_t edi;
  uint32_t esi;
  uint32_t flags;
};
// The disk transfer record of the absolute disk calls (DISKIO).
struct DiskTransferRecord {
  uint32_t startSector;
  uint16_t sectorCount;
  uint32_t bufferAddress;
};
#pragma pack(pop)
static_assert(sizeof(Vwin32Registers) == 28);
static_assert(sizeof(DiskTransferRecord) == 10);

struct WinApi {
  uint32_t (*GetVersion)();
  int (*GetVersionExA)(WinVersionInfo* info);
  WinHandle (*CreateFileA)(const char* name, uint32_t access, uint32_t share, void* security,
                           uint32_t disposition, uint32_t flags, WinHandle templateFile);
  int (*CloseHandle)(WinHandle handle);
  uint32_t (*SetFilePointer)(WinHandle handle, int32_t distance, int32_t* distanceHigh,
                             uint32_t method);
  int (*ReadFile)(WinHandle handle, void* buffer, uint32_t bytes, uint32_t* done, void* overlapped);
  int (*WriteFile)(WinHandle handle, const void* buffer, uint32_t bytes, uint32_t* done,
                   void* overlapped);
  int (*DeviceIoControl)(WinHandle device, uint32_t code, void* in, uint32_t inSize, void* out,
                         uint32_t outSize, uint32_t* returned, void* overlapped);
  uint32_t (*GetLogicalDrives)();
  uint32_t (*GetDriveTypeA)(const char* rootPath);
  // The 32-bit flat address the Windows 95 family sees for a pointer.
  uint32_t (*FlatAddress)(const void* pointer);
};

#ifdef _WIN32
// The real kernel32 functions.
const WinApi& SystemWinApi();
#endif

class NtRawVolume final : public RawVolume {
 public:
  explicit NtRawVolume(const WinApi& api) : api_(api) {}
  bool Open(const std::string& rootPath) override;
  void Close() override;
  bool ReadSectors(uint32_t sector, void* buffer, uint32_t count) override;
  bool WriteSectors(uint32_t sector, const void* buffer, uint32_t count) override;
  bool Lock() override { return true; }
  bool Unlock() override { return true; }

 private:
  bool Seek(uint32_t sector);
  const WinApi& api_;
  WinHandle handle_ = WinInvalidHandle();
};

class Win9xRawVolume final : public RawVolume {
 public:
  explicit Win9xRawVolume(const WinApi& api) : api_(api) {}
  bool Open(const std::string& rootPath) override;
  void Close() override;
  bool ReadSectors(uint32_t sector, void* buffer, uint32_t count) override;
  bool WriteSectors(uint32_t sector, const void* buffer, uint32_t count) override;
  bool Lock() override;
  bool Unlock() override;

  bool useExtendedCall() const { return useExtendedCall_; }
  uint8_t driveNumber() const { return driveNumber_; }

 private:
  bool Transfer(bool write, uint32_t sector, const void* buffer, uint32_t count);
  bool Call(uint32_t code, Vwin32Registers& registers);

  const WinApi& api_;
  WinHandle device_ = WinInvalidHandle();
  bool opened_ = false;
  uint8_t driveLetter_ = 0;
  uint8_t driveNumber_ = 0;
  bool useExtendedCall_ = false;
};

// NT back-end when GetVersion's high bit is clear, Windows 95 family otherwise.
std::unique_ptr<RawVolume> MakeWindowsRawVolume(const WinApi& api);

// Drive letters D to Z, highest first, removable drives only.
class WindowsDriveEnumerator final : public DriveEnumerator {
 public:
  explicit WindowsDriveEnumerator(const WinApi& api) : api_(api) {}
  std::vector<DriveCandidate> Candidates() override;
  std::unique_ptr<RawVolume> NewVolume() override { return MakeWindowsRawVolume(api_); }

 private:
  const WinApi& api_;
};

}  // namespace yelvane
