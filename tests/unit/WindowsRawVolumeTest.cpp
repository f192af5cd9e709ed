#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "unit/UnitAccess.h"
#include "unit/WindowsRawVolume.h"

namespace yelvane {
namespace {

using testing::ElementsAre;

// Records every system call the Windows back-ends make and answers them from
// a small script. One test at a time uses it (GoogleTest runs tests serially).
struct FakeWindows {
  std::vector<std::string> calls;
  uint32_t version = 0x0A280105;               // NT family
  std::vector<WinVersionInfo> versionAnswers;  // one per GetVersionExA call; none: fail
  int failVersionCalls = 0;                    // the first calls of GetVersionExA that fail
  bool createOk = true;
  bool seekOk = true;
  bool ioOk = true;
  std::vector<int> deviceResults;  // per DeviceIoControl call: 0 fail, 1 ok, 2 ok with carry
  std::vector<Vwin32Registers> registers;
  std::vector<DiskTransferRecord> records;
  uint32_t drives = 0;
  std::map<std::string, uint32_t> driveTypes;
  std::vector<const void*> flat{nullptr};  // flat address -> pointer

  static FakeWindows* current;
};
FakeWindows* FakeWindows::current = nullptr;

WinHandle FakeHandle() {
  return reinterpret_cast<WinHandle>(uintptr_t{0x77});
}

const WinApi kFakeApi{
    [] {
      FakeWindows::current->calls.push_back("GetVersion");
      return FakeWindows::current->version;
    },
    [](WinVersionInfo* info) {
      auto& f = *FakeWindows::current;
      f.calls.push_back("GetVersionExA " + std::to_string(info->size));
      if (f.failVersionCalls > 0) {
        --f.failVersionCalls;
        return 0;
      }
      if (f.versionAnswers.empty()) return 0;
      const uint32_t size = info->size;
      *info = f.versionAnswers.front();
      info->size = size;
      f.versionAnswers.erase(f.versionAnswers.begin());
      return 1;
    },
    [](const char* name, uint32_t access, uint32_t share, void* security, uint32_t disposition,
       uint32_t flags, WinHandle templateFile) -> WinHandle {
      auto& f = *FakeWindows::current;
      char line[160];
      std::snprintf(line, sizeof line, "CreateFileA %s %08x %x %d %u %08x %d", name, access, share,
                    security != nullptr, disposition, flags, templateFile != nullptr);
      f.calls.push_back(line);
      return f.createOk ? FakeHandle() : WinInvalidHandle();
    },
    [](WinHandle handle) {
      FakeWindows::current->calls.push_back(handle == FakeHandle() ? "CloseHandle"
                                                                   : "CloseHandle ?");
      return 1;
    },
    [](WinHandle, int32_t distance, int32_t* high, uint32_t method) {
      auto& f = *FakeWindows::current;
      f.calls.push_back("SetFilePointer " + std::to_string(distance) + " " +
                        std::to_string(high != nullptr) + " " + std::to_string(method));
      return f.seekOk ? static_cast<uint32_t>(distance) : kWinInvalidSetFilePointer;
    },
    [](WinHandle, void*, uint32_t bytes, uint32_t*, void*) {
      FakeWindows::current->calls.push_back("ReadFile " + std::to_string(bytes));
      return FakeWindows::current->ioOk ? 1 : 0;
    },
    [](WinHandle, const void*, uint32_t bytes, uint32_t*, void*) {
      FakeWindows::current->calls.push_back("WriteFile " + std::to_string(bytes));
      return FakeWindows::current->ioOk ? 1 : 0;
    },
    [](WinHandle, uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize, uint32_t*,
       void*) {
      auto& f = *FakeWindows::current;
      f.calls.push_back("DeviceIoControl " + std::to_string(code) + " " + std::to_string(inSize) +
                        " " + std::to_string(outSize) + " " + std::to_string(in == out));
      auto* regs = static_cast<Vwin32Registers*>(in);
      f.registers.push_back(*regs);
      if (regs->ebx < f.flat.size() && (code == 2 || code == 3 || code == 6)) {
        f.records.push_back(*static_cast<const DiskTransferRecord*>(f.flat[regs->ebx]));
      }
      int result = 1;
      if (!f.deviceResults.empty()) {
        result = f.deviceResults.front();
        f.deviceResults.erase(f.deviceResults.begin());
      }
      regs->flags = result == 2 ? 1 : 0;
      return result == 0 ? 0 : 1;
    },
    [] { return FakeWindows::current->drives; },
    [](const char* root) {
      auto& f = *FakeWindows::current;
      f.calls.push_back(std::string("GetDriveTypeA ") + root);
      auto it = f.driveTypes.find(root);
      return it == f.driveTypes.end() ? 3u : it->second;
    },
    [](const void* pointer) {
      auto& f = *FakeWindows::current;
      f.flat.push_back(pointer);
      return static_cast<uint32_t>(f.flat.size() - 1);
    },
};

class WindowsBackends : public ::testing::Test {
 protected:
  void SetUp() override { FakeWindows::current = &fake; }
  void TearDown() override { FakeWindows::current = nullptr; }

  static WinVersionInfo Version(uint32_t platform, uint32_t major, uint32_t minor,
                                const char* sp = "") {
    WinVersionInfo info{};
    info.platformId = platform;
    info.major = major;
    info.minor = minor;
    std::strncpy(info.servicePack, sp, sizeof info.servicePack - 1);
    return info;
  }

  FakeWindows fake;
};

TEST_F(WindowsBackends, FamilyChosenByVersionHighBit) {
  fake.version = 0x80000000;
  EXPECT_NE(dynamic_cast<NtRawVolume*>(MakeWindowsRawVolume(kFakeApi).get()), nullptr);
  fake.version = 0xC0000A04;
  EXPECT_NE(dynamic_cast<Win9xRawVolume*>(MakeWindowsRawVolume(kFakeApi).get()), nullptr);
  fake.version = 0x1DB10106;
  EXPECT_NE(dynamic_cast<NtRawVolume*>(MakeWindowsRawVolume(kFakeApi).get()), nullptr);
}

TEST_F(WindowsBackends, NtCallsAndRanges) {
  NtRawVolume volume(kFakeApi);
  EXPECT_TRUE(volume.Lock());
  EXPECT_TRUE(volume.Unlock());
  EXPECT_TRUE(fake.calls.empty());  // no system call for lock and unlock

  ASSERT_TRUE(volume.Open("g:\\"));
  uint8_t buffer[1024] = {};
  EXPECT_TRUE(volume.ReadSectors(761, buffer, 2));
  EXPECT_TRUE(volume.WriteSectors(1, buffer, 1));
  EXPECT_FALSE(volume.WriteSectors(65536, buffer, 1));
  EXPECT_FALSE(volume.WriteSectors(65535, buffer, 2));
  EXPECT_TRUE(volume.ReadSectors(4194303, buffer, 1));
  EXPECT_FALSE(volume.ReadSectors(4194304, buffer, 1));  // beyond a signed 32-bit seek
  EXPECT_FALSE(volume.ReadSectors(8388609, buffer, 1));  // would wrap to sector 1
  volume.Close();
  volume.Close();
  EXPECT_THAT(
      fake.calls,
      ElementsAre("CreateFileA \\\\.\\g: c0000000 3 0 3 00000000 0", "SetFilePointer 389632 0 0",
                  "ReadFile 1024", "SetFilePointer 512 0 0", "WriteFile 512",
                  "SetFilePointer 2147483136 0 0", "ReadFile 512", "CloseHandle"));

  fake.calls.clear();
  fake.seekOk = false;
  ASSERT_TRUE(volume.Open("E:\\"));
  EXPECT_FALSE(volume.ReadSectors(1, buffer, 1));
  EXPECT_THAT(fake.calls, ElementsAre("CreateFileA \\\\.\\E: c0000000 3 0 3 00000000 0",
                                      "SetFilePointer 512 0 0"));

  // An empty root builds the device path from a NUL character: "\\.\" fails.
  volume.Close();
  fake.calls.clear();
  fake.createOk = false;
  EXPECT_FALSE(volume.Open(""));
  EXPECT_THAT(fake.calls, ElementsAre("CreateFileA \\\\.\\ c0000000 3 0 3 00000000 0"));
  volume.Close();
  EXPECT_EQ(fake.calls.size(), 1u);  // nothing to close
}

TEST_F(WindowsBackends, Win9xOpenVersionFallbackAndOsr2) {
  Win9xRawVolume volume(kFakeApi);
  // Both structure sizes refused: no volume.
  fake.versionAnswers = {};
  EXPECT_FALSE(volume.Open("e:\\"));
  EXPECT_THAT(fake.calls, ElementsAre("GetVersionExA 156", "GetVersionExA 148"));

  // Only the plain structure size is known (first Windows 95 releases).
  fake.calls.clear();
  fake.failVersionCalls = 1;
  fake.versionAnswers = {Version(1, 4, 0, " B")};
  EXPECT_TRUE(volume.Open("e:\\"));
  EXPECT_TRUE(volume.useExtendedCall());
  EXPECT_THAT(fake.calls, ElementsAre("GetVersionExA 156", "GetVersionExA 148",
                                      "CreateFileA \\\\.\\VWIN32 00000000 0 0 0 04000000 0"));
  volume.Close();

  struct Case {
    uint32_t platform, major, minor;
    const char* sp;
    bool opens, extended;
  };
  const Case cases[] = {
      {1, 4, 0, " B", true, true}, {1, 4, 0, " C", true, true}, {1, 4, 0, " A", true, false},
      {1, 4, 0, "", true, false},  {1, 4, 10, "", true, true},  {1, 4, 90, "", true, true},
      {2, 5, 1, "", false, false},
  };
  for (const Case& c : cases) {
    fake.calls.clear();
    fake.versionAnswers = {Version(c.platform, c.major, c.minor, c.sp)};
    EXPECT_EQ(volume.Open("e:\\"), c.opens) << c.major << "." << c.minor << c.sp;
    if (!c.opens) continue;
    EXPECT_EQ(volume.useExtendedCall(), c.extended) << c.major << "." << c.minor << c.sp;
    EXPECT_EQ(volume.driveNumber(), 5);  // lower-case e is drive E
    EXPECT_THAT(fake.calls, ElementsAre("GetVersionExA 156",
                                        "CreateFileA \\\\.\\VWIN32 00000000 0 0 0 04000000 0"));
    volume.Close();
  }
}

TEST_F(WindowsBackends, Win9xRegisterBlocks) {
  Win9xRawVolume classic(kFakeApi);
  fake.versionAnswers = {Version(1, 4, 0, "")};
  ASSERT_TRUE(classic.Open("G:\\"));
  uint8_t buffer[512] = {};
  EXPECT_TRUE(classic.ReadSectors(761, buffer, 1));
  EXPECT_TRUE(classic.WriteSectors(1, buffer, 1));
  ASSERT_EQ(fake.registers.size(), 2u);
  const Vwin32Registers& read = fake.registers[0];
  EXPECT_EQ(read.eax, 6u);  // drive number 7 minus 1
  EXPECT_EQ(read.ecx, 0xFFFFu);
  EXPECT_EQ(read.edx, 0u);
  EXPECT_EQ(read.esi, 0u);
  EXPECT_EQ(read.edi, 0u);
  ASSERT_EQ(fake.records.size(), 2u);
  // Copies: the packed record's fields are not aligned.
  EXPECT_EQ(uint32_t{fake.records[0].startSector}, 761u);
  EXPECT_EQ(uint32_t{fake.records[0].sectorCount}, 1u);
  EXPECT_EQ(fake.flat[fake.records[0].bufferAddress], buffer);
  EXPECT_EQ(uint32_t{fake.records[1].startSector}, 1u);
  EXPECT_THAT(std::vector<std::string>(fake.calls.end() - 2, fake.calls.end()),
              ElementsAre("DeviceIoControl 2 28 28 1", "DeviceIoControl 3 28 28 1"));

  Win9xRawVolume extended(kFakeApi);
  fake.versionAnswers = {Version(1, 4, 10)};
  ASSERT_TRUE(extended.Open("G:\\"));
  fake.registers.clear();
  fake.calls.clear();
  EXPECT_TRUE(extended.ReadSectors(128, buffer, 1));
  EXPECT_TRUE(extended.WriteSectors(0, buffer, 1));
  EXPECT_FALSE(extended.WriteSectors(65536, buffer, 1));
  ASSERT_EQ(fake.registers.size(), 2u);
  for (const Vwin32Registers& r : fake.registers) {
    EXPECT_EQ(r.eax, 0x7305u);
    EXPECT_EQ(r.ecx, 0xFFFFFFFFu);
    EXPECT_EQ(r.edx, 7u);
  }
  EXPECT_EQ(fake.registers[0].esi, 0u);
  EXPECT_EQ(fake.registers[1].esi, 0x6001u);
  EXPECT_THAT(fake.calls, ElementsAre("DeviceIoControl 6 28 28 1", "DeviceIoControl 6 28 28 1"));

  // A carry flag or a zero result is a failure.
  fake.deviceResults = {2, 0};
  EXPECT_FALSE(extended.ReadSectors(128, buffer, 1));
  EXPECT_FALSE(extended.ReadSectors(128, buffer, 1));
  extended.Close();
  EXPECT_FALSE(extended.ReadSectors(128, buffer, 1));  // not opened: no call
  EXPECT_EQ(fake.registers.size(), 4u);
}

TEST_F(WindowsBackends, Win9xLockAndUnlockFallBackToCategory08) {
  Win9xRawVolume volume(kFakeApi);
  fake.versionAnswers = {Version(1, 4, 10)};
  ASSERT_TRUE(volume.Open("F:\\"));

  fake.deviceResults = {1};
  EXPECT_TRUE(volume.Lock());
  fake.deviceResults = {2, 1};
  EXPECT_TRUE(volume.Lock());
  fake.deviceResults = {0, 0};
  EXPECT_FALSE(volume.Lock());
  ASSERT_EQ(fake.registers.size(), 5u);
  for (const Vwin32Registers& r : fake.registers) {
    EXPECT_EQ(r.eax, 0x440Du);
    EXPECT_EQ(r.ebx, 0x106u);
    EXPECT_EQ(r.edx, 0u);
  }
  EXPECT_EQ(fake.registers[0].ecx, 0x484Au);
  EXPECT_EQ(fake.registers[2].ecx, 0x084Au);

  fake.registers.clear();
  fake.deviceResults = {0, 2};
  EXPECT_TRUE(volume.Unlock());  // always reported as done
  ASSERT_EQ(fake.registers.size(), 2u);
  EXPECT_EQ(fake.registers[0].ecx, 0x486Au);
  EXPECT_EQ(fake.registers[1].ecx, 0x086Au);
  EXPECT_EQ(fake.registers[1].ebx, 6u);
  fake.deviceResults = {1};
  volume.Unlock();
  EXPECT_EQ(fake.registers.size(), 3u);
  EXPECT_EQ(fake.calls.back(), "DeviceIoControl 1 28 28 1");
}

TEST_F(WindowsBackends, DriveLettersHighestFirstRemovableAboveC) {
  // A, B, C, E, G and Z exist; A to C would say removable but are never asked.
  fake.drives = (1u << 0) | (1u << 1) | (1u << 2) | (1u << 4) | (1u << 6) | (1u << 25);
  fake.driveTypes = {{"A:\\", 2}, {"C:\\", 2}, {"E:\\", 2}, {"G:\\", 2}, {"Z:\\", 5}};
  WindowsDriveEnumerator drives(kFakeApi);
  EXPECT_THAT(drives.Candidates(), ElementsAre(DriveCandidate{"G:\\"}, DriveCandidate{"E:\\"}));
  EXPECT_THAT(fake.calls,
              ElementsAre("GetDriveTypeA Z:\\", "GetDriveTypeA G:\\", "GetDriveTypeA E:\\"));

  fake.calls.clear();
  fake.drives = 0b111;
  EXPECT_EQ(FindUnitDrive(drives), "");
  EXPECT_TRUE(fake.calls.empty());  // nothing opened, nothing asked
}

}  // namespace
}  // namespace yelvane
