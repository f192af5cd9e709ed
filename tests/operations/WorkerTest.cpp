#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "common/Format.h"
#include "common/TempFolder.h"
#include "operations/EraseFlash.h"
#include "operations/ReadFlash.h"
#include "sim/SimulatedLogger.h"
#include "support/Files.h"
#include "support/Recorders.h"
#include "unit/FirmwareImage.h"

namespace yelvane {
namespace {

using Code = ProgressCode;
using test::FakeClock;
using test::ReadBytes;
using test::RecordingDialogObserver;
using test::RecordingLog;
using test::RecordingMessages;

std::vector<uint8_t> PatternMemory() {
  std::vector<uint8_t> memory = MakeBlankMemory();
  for (std::size_t i = 0; i < 0x5F200; ++i) memory[i] = static_cast<uint8_t>(i * 7 + i / 512);
  return memory;
}

class Workers : public ::testing::Test {
 protected:
  Workers() { Attach(SimulatedLogger::Mode::Logger); }

  void Attach(SimulatedLogger::Mode mode) {
    memory_ = PatternMemory();
    device_ = std::make_shared<SimulatedLogger>(memory_, mode);
    drives_ = std::make_unique<SimulatedDrives>();
    drives_->Add("SIM", device_);
  }

  // Prepares and runs one read of the dump stretch; returns the preparation.
  DialogStart Read(uint32_t address = 0x10000, uint32_t length = 0x50000) {
    job_.dumpPath = dir_ + "/tmp.bin";
    test::WriteBytes(job_.dumpPath, {});
    job_.address = address;
    job_.length = length;
    const DialogStart start = PrepareReadJob(job_, *drives_, messages_);
    if (start == DialogStart::WorkerReady) {
      WorkerSurroundings s = Surroundings();
      RunReadWorker(job_, s);
    }
    return start;
  }

  DialogStart Upgrade(const std::vector<uint8_t>& image, bool upgradeMode = true) {
    upgrade_.imagePath = dir_ + "/image.msc";
    test::WriteBytes(upgrade_.imagePath, image);
    upgrade_.upgradeMode = upgradeMode;
    const DialogStart start = PrepareUpgradeJob(upgrade_, *drives_, log_, messages_);
    if (start == DialogStart::WorkerReady) {
      WorkerSurroundings s = Surroundings();
      RunUpgradeWorker(upgrade_, s);
    }
    return start;
  }

  WorkerSurroundings Surroundings() {
    return {
        .drives = *drives_, .dialog = dialog_, .log = log_, .messages = messages_, .clock = clock_};
  }

  std::vector<uint8_t> Codes() const {
    std::vector<uint8_t> codes;
    for (const auto& e : dialog_.events) codes.push_back(static_cast<uint8_t>(e.code));
    return codes;
  }

  TempFolder temp_;
  std::string dir_ = temp_.Str();
  std::vector<uint8_t> memory_;
  std::shared_ptr<SimulatedLogger> device_;
  std::unique_ptr<SimulatedDrives> drives_;
  RecordingDialogObserver dialog_;
  RecordingLog log_;
  RecordingMessages messages_;
  FakeClock clock_;
  ReadJob job_;
  UpgradeJob upgrade_;
};

TEST_F(Workers, ReadCopiesTheDumpStretchSectorBySector) {
  ASSERT_EQ(Read(), DialogStart::WorkerReady);
  EXPECT_TRUE(job_.succeeded);
  EXPECT_TRUE(job_.workerDone);
  EXPECT_EQ(job_.bytesDone, 0x50000u);
  EXPECT_TRUE(job_.buffer.empty());
  EXPECT_EQ(job_.dumpFile, nullptr);
  const std::vector<uint8_t> dump = ReadBytes(job_.dumpPath);
  EXPECT_EQ(dump, std::vector<uint8_t>(memory_.begin() + 0x10000, memory_.begin() + 0x60000));

  // Begin and end blocks carry the same parameters; the pause comes once.
  const auto journal = device_->Journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[0].block, MakeBeginReadBlock(0x10000, 0x50000));
  SectorBlock end = journal[0].block;
  end[4] = 5;
  EXPECT_EQ(journal[1].block, end);
  EXPECT_EQ(clock_.sleeps, std::vector<uint32_t>{100});
  EXPECT_EQ(device_->WrittenSectors(), std::set<uint32_t>{0});

  const auto transfers = dialog_.Texts(Code::TransferText);
  ASSERT_EQ(transfers.size(), 641u);
  EXPECT_EQ(transfers.front(), "0K/320K");
  EXPECT_EQ(transfers[1], "0K/320K");  // 512 bytes are 0K
  EXPECT_EQ(transfers[2], "1K/320K");
  EXPECT_EQ(transfers.back(), "320K/320K");
  EXPECT_EQ(dialog_.Texts(Code::StatusText), std::vector<std::string>{kReadStatusText});
  // A read that ends within its first second never shows a rate.
  EXPECT_EQ(dialog_.Texts(Code::RateText), std::vector<std::string>{kReadCompleteText});
  std::vector<int> percents;
  for (const auto& e : dialog_.events)
    if (e.code == Code::Percent) percents.push_back(e.percent);
  ASSERT_EQ(percents.size(), 641u);
  EXPECT_EQ(percents[639], 639 * 100 / 640);
  EXPECT_EQ(percents.back(), 100);
  const auto codes = Codes();
  EXPECT_EQ(std::vector<uint8_t>(codes.end() - 2, codes.end()), (std::vector<uint8_t>{5, 6}));
  EXPECT_EQ(log_.lines, std::vector<std::string>{kReadCompleteText});
}

TEST_F(Workers, ReadOfAPartialSectorCopiesOnlyTheRest) {
  ASSERT_EQ(Read(0x5F200, 513), DialogStart::WorkerReady);
  EXPECT_TRUE(job_.succeeded);
  EXPECT_EQ(ReadBytes(job_.dumpPath),
            std::vector<uint8_t>(memory_.begin() + 0x5F200, memory_.begin() + 0x5F200 + 513));
}

TEST_F(Workers, RateIsBytesPerMillisecondFirstThenScaledOncePerSecond) {
  clock_ = FakeClock(100);  // every tick read moves time on by 100 ms
  ASSERT_EQ(Read(0x10000, 40 * 512), DialogStart::WorkerReady);
  // Mark at T; sector i reads T + 100 (i + 1): the first rate comes before
  // sector 9 with 9 sectors done in 1000 ms: (4608 / 1000) * 1000 / 1024 = 3.
  const auto rates = dialog_.Texts(Code::RateText);
  ASSERT_EQ(rates.size(), 5u);  // before sectors 9, 19, 29 and 39, then the outcome
  EXPECT_EQ(rates[0], "3KB");   // not 4, which bytes * 1000 / 1024 / ms would give
  EXPECT_EQ(rates[1], "4KB");   // 10 sectors in the next second: 5 * 1000 / 1024
  EXPECT_EQ(rates[4], kReadCompleteText);
}

TEST_F(Workers, ASectorFailingThreeTimesDoesNotStopTheRead) {
  device_->FailSector(128 + 17, 3);
  ASSERT_EQ(Read(), DialogStart::WorkerReady);
  EXPECT_TRUE(job_.succeeded);
  EXPECT_EQ(ReadBytes(job_.dumpPath),
            std::vector<uint8_t>(memory_.begin() + 0x10000, memory_.begin() + 0x60000));
}

TEST_F(Workers, FourFailuresCloseTheDialogWithoutEndBlock) {
  device_->FailSector(128 + 17, 4);
  ASSERT_EQ(Read(), DialogStart::WorkerReady);
  EXPECT_FALSE(job_.succeeded);
  EXPECT_TRUE(job_.workerDone);
  EXPECT_EQ(device_->Journal().size(), 1u);  // begin only
  EXPECT_EQ(log_.lines, std::vector<std::string>{kReadFailedText});
  EXPECT_EQ(dialog_.Texts(Code::RateText), std::vector<std::string>{kReadFailedText});
  EXPECT_EQ(dialog_.Texts(Code::StatusText).back(), kReadFailedText);
  EXPECT_EQ(dialog_.events.back().code, Code::CloseSoon);
  EXPECT_TRUE(ReadBytes(job_.dumpPath).empty());
  EXPECT_TRUE(job_.buffer.empty());
  EXPECT_EQ(job_.dumpFile, nullptr);
}

TEST_F(Workers, ADumpThatCannotBeWrittenIsNoSuccess) {
  // Written into the command's file or replacing it, the reason is the
  // file's; the command logs it once the dialog has closed.
  const std::string reason = "Cannot write \"/dev/full\": No space left on device";
  for (const bool replace : {false, true}) {
    job_.dumpPath = "/dev/full";  // every write fails with "no space left"
    job_.replaceDump = replace;
    job_.address = 0x10000;
    job_.length = 0x50000;
    ASSERT_EQ(PrepareReadJob(job_, *drives_, messages_), DialogStart::WorkerReady);
    WorkerSurroundings s = Surroundings();
    RunReadWorker(job_, s);
    EXPECT_FALSE(job_.succeeded);
    EXPECT_TRUE(job_.workerDone);
    EXPECT_EQ(job_.dumpError, reason);
    EXPECT_EQ(job_.data, nullptr);
    EXPECT_EQ(log_.lines.back(), kReadCompleteText);
    EXPECT_EQ(dialog_.Texts(Code::StatusText).back(), reason);
    EXPECT_EQ(dialog_.events.back().code, Code::CloseSoon);
  }
}

TEST_F(Workers, AnUnpreparedJobNeverTouchesTheUnit) {
  job_.unitDrive = "SIM";
  job_.length = 0x50000;
  WorkerSurroundings s = Surroundings();
  RunReadWorker(job_, s);
  EXPECT_FALSE(job_.succeeded);
  EXPECT_TRUE(job_.workerDone);
  EXPECT_EQ(device_->Operations(), 0u);
}

TEST_F(Workers, UnconfirmedUnitLeavesTheDialogOpenAndWritesNothing) {
  Attach(SimulatedLogger::Mode::Plain);
  job_.unitDrive = "SIM";  // as if the scan had found it a moment before
  job_.dumpPath = dir_ + "/tmp.bin";
  test::WriteBytes(job_.dumpPath, {});
  job_.length = 0x50000;
  job_.dumpFile = std::fopen(job_.dumpPath.c_str(), "r+b");
  job_.buffer.assign(job_.length, 0);
  WorkerSurroundings s = Surroundings();
  RunReadWorker(job_, s);
  EXPECT_FALSE(job_.succeeded);
  EXPECT_TRUE(job_.workerDone);
  EXPECT_FALSE(dialog_.Has(Code::CloseSoon));
  EXPECT_EQ(log_.lines, std::vector<std::string>{kReadFailedText});
  EXPECT_TRUE(device_->WrittenSectors().empty());
  EXPECT_EQ(device_->Memory(), memory_);
}

TEST_F(Workers, PreparationFailuresStartNoWorker) {
  SimulatedDrives none;
  job_.dumpPath = dir_ + "/tmp.bin";
  EXPECT_EQ(PrepareReadJob(job_, none, messages_), DialogStart::NoDisk);
  EXPECT_EQ(messages_.shown, std::vector<std::string>{kNoDiskText});
  EXPECT_TRUE(job_.workerDone);
  EXPECT_FALSE(job_.succeeded);

  job_.dumpPath = dir_ + "/not-created/tmp.bin";
  EXPECT_EQ(PrepareReadJob(job_, *drives_, messages_), DialogStart::Failed);
  EXPECT_TRUE(job_.workerDone);

  upgrade_.imagePath = dir_ + "/missing.msc";
  EXPECT_EQ(PrepareUpgradeJob(upgrade_, *drives_, log_, messages_), DialogStart::Failed);
  EXPECT_EQ(log_.lines.back(), "File Open Error: " + upgrade_.imagePath + "!");
  EXPECT_TRUE(upgrade_.workerDone);
  EXPECT_EQ(device_->Operations(), 2u);  // the two scans read sector 1 only
}

// Pulled out at the first, a middle and the last data sector: the read stops
// with its message, no end block follows and the dump stays empty.
TEST_F(Workers, UnpluggedDuringARead) {
  for (uint64_t sector : {0u, 320u, 639u}) {
    Attach(SimulatedLogger::Mode::Logger);
    dialog_.events.clear();
    log_.lines.clear();
    // Scan: sector 1; worker: sector 1, begin block; then the data sectors.
    device_->UnplugAfter(3 + sector);
    ASSERT_EQ(Read(), DialogStart::WorkerReady) << sector;
    EXPECT_FALSE(job_.succeeded) << sector;
    EXPECT_EQ(device_->Journal().size(), 1u) << sector;
    EXPECT_EQ(log_.lines, std::vector<std::string>{kReadFailedText}) << sector;
    EXPECT_EQ(dialog_.events.back().code, Code::CloseSoon);
    EXPECT_EQ(dialog_.Texts(Code::TransferText).back(),
              Format("%ldK/320K", static_cast<long>(sector * 512 / 1024)));
    EXPECT_TRUE(ReadBytes(job_.dumpPath).empty());
  }
}

// Pulled out just before the begin block: nothing but that block is tried.
TEST_F(Workers, ABeginBlockThatFailsEndsTheTransferAtOnce) {
  device_->UnplugAfter(2);  // the scan's and the worker's sector-1 reads
  ASSERT_EQ(Read(), DialogStart::WorkerReady);
  EXPECT_FALSE(job_.succeeded);
  EXPECT_EQ(log_.lines, std::vector<std::string>{kReadFailedText});
  EXPECT_EQ(dialog_.events.back().code, Code::CloseSoon);
  EXPECT_TRUE(device_->Journal().empty());
  EXPECT_TRUE(ReadBytes(job_.dumpPath).empty());

  Attach(SimulatedLogger::Mode::Logger);
  log_.lines.clear();
  device_->UnplugAfter(2);
  ASSERT_EQ(Upgrade(BuildImage({1, 0x10000, 512}, std::vector<uint8_t>(512, 0))),
            DialogStart::WorkerReady);
  EXPECT_FALSE(upgrade_.succeeded);
  EXPECT_EQ(log_.lines, std::vector<std::string>{"Failed to upgrade the firmware! Please retry!"});
  EXPECT_EQ(device_->WrittenSectors(), std::set<uint32_t>{0});  // the begin block only
  EXPECT_EQ(device_->Memory(), memory_);
}

TEST_F(Workers, UpgradeSendsChunksWithTheLastOnePaddedWithZeros) {
  const std::vector<uint8_t> payload(1000, 0xAB);
  ASSERT_EQ(Upgrade(BuildImage({1, 0x20000, 1000}, payload)), DialogStart::WorkerReady);
  EXPECT_TRUE(upgrade_.succeeded);
  EXPECT_TRUE(upgrade_.workerDone);
  EXPECT_TRUE(upgrade_.image.empty());
  const std::vector<uint8_t> after = device_->Memory();
  EXPECT_TRUE(std::all_of(after.begin() + 0x20000, after.begin() + 0x20000 + 1000,
                          [](uint8_t b) { return b == 0xAB; }));
  EXPECT_TRUE(std::all_of(after.begin() + 0x20000 + 1000, after.begin() + 0x20000 + 1024,
                          [](uint8_t b) { return b == 0; }));
  // Nothing else changed.
  std::vector<uint8_t> expected = memory_;
  std::copy(after.begin() + 0x20000, after.begin() + 0x20400, expected.begin() + 0x20000);
  EXPECT_EQ(after, expected);

  const auto journal = device_->Journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[0].block, MakeBeginWriteBlock(1, 0x20000, 1000));
  EXPECT_EQ(journal[1].block[4], 3);
  // The end block keeps the rest of the last chunk.
  EXPECT_EQ(journal[1].block[6], 0xAB);
  EXPECT_EQ(journal[1].block[511], 0);
  EXPECT_EQ(device_->WrittenSectors(), (std::set<uint32_t>{0, 1}));
  EXPECT_EQ(dialog_.Texts(Code::StatusText),
            std::vector<std::string>{"Target Memory : Internal Flash"});
  EXPECT_EQ(dialog_.Texts(Code::TransferText),
            (std::vector<std::string>{"0K/0K", "0K/0K", "1K/0K"}));
  EXPECT_EQ(log_.lines, std::vector<std::string>{"Upgrade is complete."});
  const auto codes = Codes();
  EXPECT_EQ(std::vector<uint8_t>(codes.end() - 2, codes.end()), (std::vector<uint8_t>{5, 6}));
}

TEST_F(Workers, MisalignedOffsetIsRefusedBeforeAnythingIsWritten) {
  ASSERT_EQ(Upgrade(BuildImage({3, 2, 1000}, std::vector<uint8_t>(1000, 1))),
            DialogStart::WorkerReady);
  EXPECT_FALSE(upgrade_.succeeded);
  EXPECT_TRUE(upgrade_.workerDone);
  EXPECT_EQ(messages_.shown, std::vector<std::string>{kImageMisalignedText});
  EXPECT_EQ(log_.lines, std::vector<std::string>{kImageMisalignedText});
  EXPECT_EQ(Codes(), std::vector<uint8_t>{5});  // the dialog stays open
  EXPECT_TRUE(device_->WrittenSectors().empty());
  EXPECT_TRUE(upgrade_.image.empty());
}

TEST_F(Workers, ImageShrunkBelowItsHeaderIsRefused) {
  upgrade_.image = std::vector<uint8_t>(600, 'B');
  upgrade_.imageLength = 600;
  upgrade_.unitDrive = "SIM";
  WorkerSurroundings s = Surroundings();
  RunUpgradeWorker(upgrade_, s);
  EXPECT_EQ(log_.lines, std::vector<std::string>{kImageNotMscText});
  EXPECT_TRUE(device_->WrittenSectors().empty());
  EXPECT_TRUE(upgrade_.workerDone);
}

TEST_F(Workers, EmptyPayloadSendsOnlyBeginAndEnd) {
  ASSERT_EQ(Upgrade(BuildImage({1, 0x10000, 0}, {}), false), DialogStart::WorkerReady);
  EXPECT_TRUE(upgrade_.succeeded);
  const auto journal = device_->Journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[0].block[4], 2);
  EXPECT_EQ(journal[1].block[4], 3);
  EXPECT_EQ(device_->WrittenSectors(), std::set<uint32_t>{0});
  EXPECT_EQ(device_->Memory(), memory_);
  EXPECT_EQ(log_.lines, std::vector<std::string>{"Erase is complete."});
}

TEST_F(Workers, UpgradeFailureTextsByMode) {
  Attach(SimulatedLogger::Mode::Plain);
  for (bool upgradeMode : {false, true}) {
    log_.lines.clear();
    dialog_.events.clear();
    upgrade_.image = BuildImage({1, 0x10000, 512}, std::vector<uint8_t>(512, 0));
    upgrade_.imageLength = upgrade_.image.size();
    upgrade_.unitDrive = "SIM";
    upgrade_.upgradeMode = upgradeMode;
    WorkerSurroundings s = Surroundings();
    RunUpgradeWorker(upgrade_, s);
    const std::string text = upgradeMode ? "Failed to upgrade the firmware! Please retry!"
                                         : "Failed to erase Data! Please retry!";
    EXPECT_EQ(log_.lines, std::vector<std::string>{text});
    EXPECT_EQ(dialog_.Texts(Code::RateText), std::vector<std::string>{text});
    EXPECT_FALSE(dialog_.Has(Code::CloseSoon));
  }
  EXPECT_TRUE(device_->WrittenSectors().empty());
  EXPECT_EQ(device_->Memory(), memory_);
}

// Pulled out at the first, a middle and the last chunk, or just before the
// end block that commits them: erase failure text, the dialog closes, no end
// block, so the logger's memory is untouched.
TEST_F(Workers, UnpluggedDuringAnUpgrade) {
  const std::vector<uint8_t> payload(10 * 512, 0x00);
  for (uint64_t chunk : {0u, 5u, 9u, 10u}) {
    Attach(SimulatedLogger::Mode::Logger);
    log_.lines.clear();
    dialog_.events.clear();
    device_->UnplugAfter(3 + chunk);
    ASSERT_EQ(Upgrade(BuildImage({1, 0x10000, 5120}, payload), false), DialogStart::WorkerReady);
    EXPECT_FALSE(upgrade_.succeeded);
    EXPECT_EQ(log_.lines, std::vector<std::string>{"Failed to erase data! Please retry!"}) << chunk;
    EXPECT_EQ(dialog_.events.back().code, Code::CloseSoon);
    EXPECT_FALSE(dialog_.Has(Code::StopElapsedTimer)) << chunk;
    EXPECT_EQ(device_->Journal().size(), 1u) << chunk;
    EXPECT_EQ(device_->Memory(), memory_) << chunk;
  }
}

}  // namespace
}  // namespace yelvane
