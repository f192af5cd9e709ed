#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "support/SimRig.h"
#include "unit/CommandExchange.h"
#include "unit/UnitAccess.h"

namespace yelvane {
namespace {

using test::FakeClock;
using test::SimRig;
using testing::ElementsAre;

// An enumerator that lists fixed candidates and must never be asked for a volume.
class NoVolumeEnumerator final : public DriveEnumerator {
 public:
  std::vector<DriveCandidate> Candidates() override { return {}; }
  std::unique_ptr<RawVolume> NewVolume() override {
    ++volumes;
    return nullptr;
  }
  int volumes = 0;
};

class RecordingIndicator final : public PresenceIndicator {
 public:
  void ShowPresence(const std::string& t, Rgb c) override {
    text = t;
    color = c;
  }
  std::string text;
  Rgb color;
};

std::vector<uint8_t> PlainWithSector1(const char* bytes, std::size_t size) {
  std::vector<uint8_t> memory(kLoggerMemorySize, 0x11);
  std::memcpy(&memory[512], bytes, size);
  return memory;
}

TEST(FindUnitDrive, ScanOrderAndSignatureRule) {
  auto drives = std::make_shared<SimulatedDrives>();
  auto trace = std::make_shared<MemoryTraceLog>();
  // Scan order is the enumerator's: highest first.
  drives->Add("H", std::make_shared<SimulatedLogger>(PlainWithSector1("BRMSC1", 6),
                                                     SimulatedLogger::Mode::Plain));
  drives->Add("G", std::make_shared<SimulatedLogger>(MakeBlankMemory()));
  drives->Add("E", std::make_shared<SimulatedLogger>(MakeBlankMemory()));
  SimulatedDrives& table = *drives;
  TracingDriveEnumerator traced(std::make_unique<SimulatedDrives>(table), trace);
  EXPECT_EQ(FindUnitDrive(traced), "G");
  EXPECT_THAT(trace->Lines(), ElementsAre("open H ok", "read 1 1 ok", "close", "open G ok",
                                          "read 1 1 ok", "close"));
  EXPECT_THAT(ScanDrives(traced),
              ElementsAre(std::pair{DriveCandidate{"H"}, DriveVerdict::NoSignature},
                          std::pair{DriveCandidate{"G"}, DriveVerdict::Logger},
                          std::pair{DriveCandidate{"E"}, DriveVerdict::Logger}));

  // A logger that stops answering is skipped like any other drive.
  drives->Device("G")->Unplug();
  EXPECT_EQ(FindUnitDrive(*drives), "E");
  drives->Device("E")->FailSector(1, 1);
  EXPECT_EQ(FindUnitDrive(*drives), "");
  EXPECT_EQ(ExamineDrive(*drives, {"G"}), DriveVerdict::OpenFailed);
}

TEST(FindUnitDrive, NoCandidatesOpensNothing) {
  NoVolumeEnumerator none;
  EXPECT_EQ(FindUnitDrive(none), "");
  EXPECT_EQ(none.volumes, 0);
  bool connected = true;
  RecordingIndicator indicator;
  EXPECT_FALSE(PollUnitPresence(none, connected, indicator));
  EXPECT_FALSE(connected);
  EXPECT_EQ(indicator.text, "USB Disconnected");
  EXPECT_EQ(indicator.color, (Rgb{255, 0, 0}));
}

TEST(PollUnitPresence, FollowsPluggingAndUnplugging) {
  SimRig rig;
  bool connected = false;
  RecordingIndicator indicator;
  EXPECT_TRUE(PollUnitPresence(*rig.traced, connected, indicator));
  EXPECT_TRUE(connected);
  EXPECT_EQ(indicator.text, "USB Connected");
  EXPECT_EQ(indicator.color, (Rgb{0, 0, 255}));
  rig.device->Unplug();
  PollUnitPresence(*rig.traced, connected, indicator);
  EXPECT_FALSE(connected);
  EXPECT_EQ(indicator.text, "USB Disconnected");
}

TEST(FirmwareVersion, TextUsesSignedBytesMajorFirst) {
  const uint8_t a[8] = {3, 1};
  const uint8_t b[8] = {0xFF, 1};
  const uint8_t c[8] = {1, 2};
  EXPECT_EQ(FirmwareVersionText(a), "1.3");
  EXPECT_EQ(FirmwareVersionText(b), "1.-1");
  EXPECT_EQ(FirmwareVersionText(c), "2.1");
}

TEST(FirmwareVersion, ExactTransaction) {
  SimRig rig(MakeBlankMemory(2, 7));
  const auto version = ReadFirmwareVersion(true, *rig.traced, rig.clock);
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(*version, "2.7");
  EXPECT_THAT(rig.trace->Lines(),
              ElementsAre("open sim0 ok", "read 1 1 ok", "close",  // the scan
                          "open sim0 ok", "read 1 1 ok", "lock ok",
                          "write 0 1 ok 42525aa504000100000000f205000800", "sleep 100",
                          "read 761 1 ok", "write 0 1 ok 42525aa505000100000000f205000800",
                          "unlock ok", "unlock ok", "close"));
}

TEST(FirmwareVersion, DisconnectedAndFailures) {
  NoVolumeEnumerator none;
  FakeClock clock;
  EXPECT_EQ(ReadFirmwareVersion(false, none, clock), "USB Disconnected, Unknown");
  EXPECT_EQ(none.volumes, 0);
  // Flag still set but the logger is gone: the field stays as it was.
  EXPECT_EQ(ReadFirmwareVersion(true, none, clock), std::nullopt);

  SimRig rig;
  rig.device->FailSector(761, 4);
  EXPECT_EQ(ReadFirmwareVersion(true, *rig.traced, rig.clock), std::nullopt);
  const auto lines = rig.trace->Lines();
  EXPECT_EQ(lines.back(), "close");
  EXPECT_EQ(rig.device->Journal().size(), 1u);  // begin block only

  SimRig retried;
  retried.device->FailSector(761, 3);
  EXPECT_EQ(ReadFirmwareVersion(true, *retried.traced, retried.clock), "1.0");
}

// Nothing this library does may write to a drive without the signature, and
// on the logger only sectors 0 and 1 are ever written.
TEST(Safety, PlainDriveNeverWrittenLoggerOnlySectorsZeroAndOne) {
  std::vector<uint8_t> bytes(kLoggerMemorySize);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
  SimRig plain(bytes, SimulatedLogger::Mode::Plain);
  bool connected = true;
  RecordingIndicator indicator;
  PollUnitPresence(*plain.traced, connected, indicator);
  EXPECT_FALSE(connected);
  EXPECT_EQ(ReadFirmwareVersion(true, *plain.traced, plain.clock), std::nullopt);
  ScanDrives(*plain.traced);
  UnitVolume volume = plain.NewVolume();
  EXPECT_FALSE(OpenUnitVolume(volume, "sim0"));
  EXPECT_TRUE(plain.device->WrittenSectors().empty());
  EXPECT_EQ(plain.device->Memory(), bytes);
  EXPECT_FALSE(plain.device->MemoryChanged());

  SimRig logger;
  PollUnitPresence(*logger.traced, connected, indicator);
  ReadFirmwareVersion(true, *logger.traced, logger.clock);
  UnitVolume unit = logger.NewVolume();
  ASSERT_TRUE(OpenUnitVolume(unit, "sim0"));
  std::vector<uint8_t> dump(0x50000);
  ASSERT_TRUE(ReadUnitMemory(unit, 0x10000, 0x50000, dump.data(), logger.clock));
  ASSERT_TRUE(WriteUnitStream(unit, 1, 0x10000, 4096, dump.data(), 4096, logger.clock));
  SendClock(unit, std::tm{});
  // Writes past the writable range are refused before they reach the drive.
  EXPECT_FALSE(unit.WriteSectors(kWritableSectorLimit, dump.data(), 1));
  EXPECT_FALSE(unit.WriteSectors(kWritableSectorLimit - 1, dump.data(), 2));
  logger.device->FailSector(1, 4);
  EXPECT_FALSE(WriteUnitStream(unit, 1, 0x10000, 4096, dump.data(), 4096, logger.clock));
  ASSERT_TRUE(OpenUnitVolume(unit, "sim0"));
  logger.device->FailSector(130, 4);
  EXPECT_FALSE(ReadUnitMemory(unit, 0x10000, 0x50000, dump.data(), logger.clock));
  EXPECT_EQ(logger.device->WrittenSectors(), (std::set<uint32_t>{0, 1}));
}

}  // namespace
}  // namespace yelvane
