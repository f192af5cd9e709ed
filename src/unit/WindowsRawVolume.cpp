#include "unit/WindowsRawVolume.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "common/Format.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace yelvane {

namespace {

// The NT back-end seeks with one signed 32-bit distance: sectors from here on
// are out of its reach (their byte offsets would wrap to other sectors).
constexpr uint32_t kNtSeekableSectorLimit = 0x80000000u / kSectorSize;
// Largest count whose byte size fits the 32-bit transfer length.
constexpr uint32_t kNtMaxSectorsPerCall = 0xFFFFFFFFu / kSectorSize;
// The disk transfer record carries 16 bits of sector count.
constexpr uint32_t kWin9xMaxSectorsPerCall = 0xFFFF;

bool WritableRange(uint32_t sector, uint32_t count) {
  return sector < kWritableSectorLimit && count <= kWritableSectorLimit - sector;
}

}  // namespace

// --- NT family ----------------------------------------------------------------

bool NtRawVolume::Open(const std::string& rootPath) {
  Close();
  char path[8];
  std::snprintf(path, sizeof path, "\\\\.\\%c:", rootPath.empty() ? '\0' : rootPath[0]);
  handle_ = api_.CreateFileA(path, kWinGenericRead | kWinGenericWrite,
                             kWinFileShareRead | kWinFileShareWrite, nullptr, kWinOpenExisting, 0,
                             nullptr);
  return handle_ != WinInvalidHandle();
}

void NtRawVolume::Close() {
  if (handle_ != WinInvalidHandle()) api_.CloseHandle(handle_);
  handle_ = WinInvalidHandle();
}

bool NtRawVolume::Seek(uint32_t sector) {
  const int32_t distance = static_cast<int32_t>(sector * kSectorSize);
  return api_.SetFilePointer(handle_, distance, nullptr, kWinFileBegin) !=
         kWinInvalidSetFilePointer;
}

bool NtRawVolume::ReadSectors(uint32_t sector, void* buffer, uint32_t count) {
  if (sector >= kNtSeekableSectorLimit || count > kNtMaxSectorsPerCall) return false;
  if (!Seek(sector)) return false;
  uint32_t done = 0;
  return api_.ReadFile(handle_, buffer, count * kSectorSize, &done, nullptr) != 0;
}

bool NtRawVolume::WriteSectors(uint32_t sector, const void* buffer, uint32_t count) {
  if (!WritableRange(sector, count)) return false;
  if (!Seek(sector)) return false;
  uint32_t done = 0;
  return api_.WriteFile(handle_, buffer, count * kSectorSize, &done, nullptr) != 0;
}

// --- Windows 95 family ----------------------------------------------------------

bool Win9xRawVolume::Open(const std::string& rootPath) {
  Close();
  WinVersionInfo info{};
  info.size = kWinVersionInfoExSize;
  if (!api_.GetVersionExA(&info)) {
    info.size = kWinVersionInfoSize;
    if (!api_.GetVersionExA(&info)) return false;
  }
  if (info.platformId != 1) return false;
  const int letter = std::toupper(static_cast<unsigned char>(rootPath.empty() ? 0 : rootPath[0]));
  // Anything but a drive letter would address some other drive number.
  if (letter < 'A' || letter > 'Z') return false;
  driveLetter_ = static_cast<uint8_t>(letter);
  driveNumber_ = static_cast<uint8_t>(letter - 0x40);
  const char osr = info.servicePack[1];
  useExtendedCall_ = (info.major >= 4 && info.minor >= 10) ||
                     (info.major == 4 && info.minor == 0 && (osr == 'B' || osr == 'C'));
  device_ = api_.CreateFileA("\\\\.\\VWIN32", 0, 0, nullptr, 0, kWinFileFlagDeleteOnClose, nullptr);
  opened_ = device_ != WinInvalidHandle();
  return opened_;
}

void Win9xRawVolume::Close() {
  if (opened_) api_.CloseHandle(device_);
  opened_ = false;
  device_ = WinInvalidHandle();
}

bool Win9xRawVolume::Call(uint32_t code, Vwin32Registers& registers) {
  uint32_t returned = 0;
  const int ok = api_.DeviceIoControl(device_, code, &registers, sizeof registers, &registers,
                                      sizeof registers, &returned, nullptr);
  return ok != 0 && (registers.flags & 1) == 0;
}

bool Win9xRawVolume::Transfer(bool write, uint32_t sector, const void* buffer, uint32_t count) {
  if (!opened_) return false;
  if (count > kWin9xMaxSectorsPerCall) return false;
  DiskTransferRecord record{sector, static_cast<uint16_t>(count), api_.FlatAddress(buffer)};
  Vwin32Registers registers{};
  registers.ebx = api_.FlatAddress(&record);
  uint32_t code;
  if (useExtendedCall_) {
    code = kVwin32DiocDosDriveInfo;
    registers.eax = 0x7305;
    registers.ecx = 0xFFFFFFFF;
    registers.edx = driveNumber_;
    registers.esi = write ? 0x6001 : 0;
  } else {
    code = write ? kVwin32DiocDosInt26 : kVwin32DiocDosInt25;
    registers.eax = static_cast<uint32_t>(driveNumber_ - 1);
    registers.ecx = 0xFFFF;
  }
  return Call(code, registers);
}

bool Win9xRawVolume::ReadSectors(uint32_t sector, void* buffer, uint32_t count) {
  return Transfer(false, sector, buffer, count);
}

bool Win9xRawVolume::WriteSectors(uint32_t sector, const void* buffer, uint32_t count) {
  if (!WritableRange(sector, count)) return false;
  return Transfer(true, sector, buffer, count);
}

bool Win9xRawVolume::Lock() {
  for (const uint32_t category : {0x4800u, 0x0800u}) {
    Vwin32Registers registers{};
    registers.eax = 0x440D;
    registers.ebx = (1u << 8) | driveNumber_;  // lock level 1
    registers.ecx = category | 0x4A;
    registers.edx = 0;  // permissions
    if (Call(kVwin32DiocDosIoctl, registers)) return true;
  }
  return false;
}

bool Win9xRawVolume::Unlock() {
  for (const uint32_t category : {0x4800u, 0x0800u}) {
    Vwin32Registers registers{};
    registers.eax = 0x440D;
    registers.ebx = driveNumber_;
    registers.ecx = category | 0x6A;
    if (Call(kVwin32DiocDosIoctl, registers)) break;
  }
  return true;
}

std::unique_ptr<RawVolume> MakeWindowsRawVolume(const WinApi& api) {
  if (api.GetVersion() <= 0x80000000u) return std::make_unique<NtRawVolume>(api);
  return std::make_unique<Win9xRawVolume>(api);
}

std::vector<DriveCandidate> WindowsDriveEnumerator::Candidates() {
  const uint32_t mask = api_.GetLogicalDrives();
  std::vector<char> letters;
  for (int bit = 0; bit < 26; ++bit) {
    if (mask & (1u << bit)) letters.push_back(static_cast<char>('A' + bit));
  }
  std::vector<DriveCandidate> candidates;
  for (auto it = letters.rbegin(); it != letters.rend(); ++it) {
    if (*it <= 'C') continue;
    const std::string root = Format("%c:\\", *it);
    if (api_.GetDriveTypeA(root.c_str()) == kWinDriveRemovable) candidates.push_back({root});
  }
  return candidates;
}

#ifdef _WIN32

static_assert(sizeof(OSVERSIONINFOEXA) == sizeof(WinVersionInfo));

const WinApi& SystemWinApi() {
  static const WinApi api{
      [] { return static_cast<uint32_t>(::GetVersion()); },
      [](WinVersionInfo* info) {
        return static_cast<int>(::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info)));
      },
      [](const char* name, uint32_t access, uint32_t share, void* security, uint32_t disposition,
         uint32_t flags, WinHandle templateFile) -> WinHandle {
        return ::CreateFileA(name, access, share, static_cast<LPSECURITY_ATTRIBUTES>(security),
                             disposition, flags, templateFile);
      },
      [](WinHandle handle) { return static_cast<int>(::CloseHandle(handle)); },
      [](WinHandle handle, int32_t distance, int32_t* high, uint32_t method) {
        return static_cast<uint32_t>(
            ::SetFilePointer(handle, distance, reinterpret_cast<PLONG>(high), method));
      },
      [](WinHandle handle, void* buffer, uint32_t bytes, uint32_t* done, void* overlapped) {
        DWORD transferred = 0;
        const BOOL ok =
            ::ReadFile(handle, buffer, bytes, &transferred, static_cast<LPOVERLAPPED>(overlapped));
        if (done) *done = transferred;
        return static_cast<int>(ok);
      },
      [](WinHandle handle, const void* buffer, uint32_t bytes, uint32_t* done, void* overlapped) {
        DWORD transferred = 0;
        const BOOL ok =
            ::WriteFile(handle, buffer, bytes, &transferred, static_cast<LPOVERLAPPED>(overlapped));
        if (done) *done = transferred;
        return static_cast<int>(ok);
      },
      [](WinHandle device, uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize,
         uint32_t* returned, void* overlapped) {
        DWORD count = 0;
        const BOOL ok = ::DeviceIoControl(device, code, in, inSize, out, outSize, &count,
                                          static_cast<LPOVERLAPPED>(overlapped));
        if (returned) *returned = count;
        return static_cast<int>(ok);
      },
      [] { return static_cast<uint32_t>(::GetLogicalDrives()); },
      [](const char* root) { return static_cast<uint32_t>(::GetDriveTypeA(root)); },
      [](const void* pointer) {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
      },
  };
  return api;
}

#endif  // _WIN32

}  // namespace yelvane
