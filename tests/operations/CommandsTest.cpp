#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "common/TempFolder.h"
#include "operations/DataFiles.h"
#include "operations/InlineRunners.h"
#include "operations/UnitCommands.h"
#include "sim/SimulatedLogger.h"
#include "support/Files.h"
#include "support/Recorders.h"
#include "unit/FirmwareImage.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;
using test::FakeClock;
using test::ReadBytes;
using test::RecordingDialogObserver;
using test::RecordingLog;
using test::RecordingMessages;
using test::WriteBytes;
using Lines = std::vector<std::string>;

class RecordingPoll final : public PresencePoll {
 public:
  void Stop() override { calls.push_back("stop"); }
  void Start() override { calls.push_back("start"); }
  // Every stop is followed, eventually, by a start.
  bool Running() const { return calls.empty() || calls.back() == "start"; }
  Lines calls;
};

class ScriptedPet final : public PetInfoPrompt {
 public:
  bool Ask(PetInfo& pet) override {
    ++asked;
    if (ok) pet = given;
    return ok;
  }
  void RefreshLabels(const PetInfo& pet) override { labels.push_back(pet); }
  bool ok = true;
  PetInfo given{"Rex", "Ann", "Oslo"};
  int asked = 0;
  std::vector<PetInfo> labels;
};

class ScriptedImage final : public ImageFilePrompt {
 public:
  std::optional<std::string> ChooseImage(const std::string& initialName) override {
    initialNames.push_back(initialName);
    return chosen;
  }
  std::optional<std::string> chosen;
  Lines initialNames;
};

class RecordingReport final : public ReportRunner {
 public:
  explicit RecordingReport(RecordingLog& log) : log_(log) {}
  void Start(const std::string& dumpPath, const DumpBytes& bytes) override {
    started.push_back(dumpPath);
    walked.push_back(bytes ? *bytes : std::vector<uint8_t>{});
    log_.AppendLog("<report>", true);
  }
  void Wait() override { log_.AppendLog("<wait>", true); }
  Lines started;
  std::vector<std::vector<uint8_t>> walked;

 private:
  RecordingLog& log_;
};

class Commands : public ::testing::Test {
 protected:
  Commands() {
    memory_ = MakeBlankMemory();
    for (std::size_t i = 0x10000; i < 0x5F200; ++i) memory_[i] = static_cast<uint8_t>(i % 251);
    device_ = std::make_shared<SimulatedLogger>(memory_);
    drives_.Add("SIM", device_);
    WriteBytes(eraseImage_, BuildImage({1, 0x10000, 0x4F200}, std::vector<uint8_t>(0x4F200, 0xFF)));
  }

  // The commands on the test's recorders, with the test's clock, archive and
  // erase image.
  CommandSurroundings Surroundings() {
    return {.log = log_,
            .messages = messages_,
            .progressPane = pane_,
            .table = table_,
            .poll = poll_,
            .petPrompt = pet_,
            .pet = petInfo_,
            .imagePrompt = image_,
            .dialogs = dialogs_,
            .report = report_,
            .drives = drives_,
            .unitConnected = [this] { return connected_; },
            .startupFolder = folder_,
            .localTime = [this] { return now_; },
            .archiveFolder = archive_,
            .eraseImagePath = eraseImage_};
  }
  UnitCommands Make() { return UnitCommands(Surroundings()); }

  TempFolder temp_;
  std::string folder_ = temp_.Str();
  std::string archive_ = folder_ + "/archive";
  std::string eraseImage_ = folder_ + "/Erase.msc";
  std::vector<uint8_t> memory_;
  std::shared_ptr<SimulatedLogger> device_;
  SimulatedDrives drives_;
  bool connected_ = true;
  std::tm now_ = [] {
    std::tm t{};
    t.tm_year = 115, t.tm_mon = 5, t.tm_mday = 9, t.tm_hour = 14, t.tm_min = 5, t.tm_sec = 9;
    t.tm_wday = 2;
    return t;
  }();
  RecordingLog log_;
  RecordingMessages messages_;
  NullProgress pane_;
  MemorySessionTable table_;
  RecordingPoll poll_;
  ScriptedPet pet_;
  PetInfo petInfo_;
  ScriptedImage image_;
  RecordingDialogObserver dialog_;
  FakeClock clock_;
  InlineDialogRunner dialogs_{
      {.drives = drives_, .dialog = dialog_, .log = log_, .messages = messages_, .clock = clock_}};
  RecordingReport report_{log_};
};

const Lines kReadHead = {"Command: Read Memory Data",
                         "\nPlease input the pet information.",
                         "Pet Name: Rex",
                         "Pet Owner: Ann",
                         "Pet Location: Oslo",
                         "\nFlash memory: Internal Flash",
                         "Start address: 0x00010000",
                         "File size: 327680",
                         "\nStart to read flash data..."};

TEST_F(Commands, ReadLogsInOrderKeepsACopyAndOffersTheErase) {
  messages_.answers = {false};
  UnitCommands commands = Make();
  ASSERT_TRUE(commands.ReadMemoryData());
  Lines expected = kReadHead;
  const std::string kept = "Kept a copy in " + archive_ + "/yelvane-20150609-140509.bin";
  for (const char* line : {"Read flash is complete.", "Read flash data successfully!", kept.c_str(),
                           "\nStart to report the flash data...", "<report>", "<wait>",
                           "Command: Erase Memory Data", "Cancel that erase memory data."})
    expected.push_back(line);
  EXPECT_EQ(log_.lines, expected);
  EXPECT_EQ(log_.setTexts, Lines{""});  // the erase after a read keeps the log
  EXPECT_EQ(messages_.questions, Lines{kEraseQuestion});
  EXPECT_EQ(messages_.captions, Lines{"Erase Data"});

  const std::string dump = folder_ + "/tmp.bin";
  EXPECT_EQ(report_.started, Lines{dump});
  const std::vector<uint8_t> expectedDump(memory_.begin() + 0x10000, memory_.end());
  EXPECT_EQ(report_.walked, std::vector<std::vector<uint8_t>>{expectedDump});
  EXPECT_EQ(ReadBytes(dump), expectedDump);
  EXPECT_EQ(commands.LastArchivePath(), archive_ + "/yelvane-20150609-140509.bin");
  EXPECT_EQ(ReadBytes(commands.LastArchivePath()), expectedDump);
  EXPECT_EQ(poll_.calls, (Lines{"stop", "start"}));
  EXPECT_EQ(device_->Memory(), memory_);

  // A second read in the same second never replaces the first copy.
  WriteBytes(commands.LastArchivePath(), {1, 2, 3});
  ASSERT_TRUE(commands.ReadMemoryData());
  EXPECT_EQ(commands.LastArchivePath(), archive_ + "/yelvane-20150609-140509-2.bin");
  EXPECT_EQ(ReadBytes(archive_ + "/yelvane-20150609-140509.bin"), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(Commands, ReadThenEraseLeavesNoSessionsAndTheVersionRecord) {
  messages_.answers = {true};
  UnitCommands commands = Make();
  ASSERT_TRUE(commands.ReadMemoryData());
  EXPECT_EQ(log_.lines.back(), "Erased all data successfully!");
  const std::vector<uint8_t> after = device_->Memory();
  EXPECT_TRUE(std::all_of(after.begin() + 0x10000, after.begin() + 0x5F200,
                          [](uint8_t b) { return b == 0xFF; }));
  EXPECT_TRUE(std::equal(after.begin() + 0x5F200, after.end(), memory_.begin() + 0x5F200));
  // The copy kept before the erase still holds the sessions.
  EXPECT_EQ(ReadBytes(commands.LastArchivePath()),
            std::vector<uint8_t>(memory_.begin() + 0x10000, memory_.end()));
  EXPECT_TRUE(poll_.Running());
}

TEST_F(Commands, NoEraseOfferWhenTheCopyCouldNotBeKept) {
  WriteBytes(archive_, {0});  // a file where the folder should be
  messages_.answers = {true};
  UnitCommands commands = Make();
  ASSERT_TRUE(commands.ReadMemoryData());
  EXPECT_TRUE(messages_.questions.empty());
  EXPECT_EQ(log_.lines.back(), "<report>");
  EXPECT_EQ(device_->Memory(), memory_);
}

TEST_F(Commands, FailedReadEmptiesTheTableAndRestartsThePoll) {
  table_.InsertRow(0);
  device_->UnplugAfter(100);
  UnitCommands commands = Make();
  EXPECT_FALSE(commands.ReadMemoryData());
  EXPECT_EQ(table_.RowCount(), 0);
  EXPECT_EQ(log_.lines.back(), kReportCancelledText);
  EXPECT_EQ(log_.lines[log_.lines.size() - 2], kReadFailedText);
  EXPECT_TRUE(report_.started.empty());
  EXPECT_TRUE(messages_.questions.empty());
  EXPECT_EQ(poll_.calls, (Lines{"stop", "start"}));
  EXPECT_FALSE(fs::exists(archive_));
}

TEST_F(Commands, ReadWaysOutBeforeTheTransfer) {
  // No unit: one message box and exactly two log lines; the poll runs on.
  connected_ = false;
  EXPECT_FALSE(Make().ReadMemoryData());
  EXPECT_EQ(log_.lines, (Lines{"Command: Read Memory Data", kDisconnectedText}));
  EXPECT_EQ(messages_.shown, Lines{kDisconnectedText});
  EXPECT_TRUE(poll_.calls.empty());

  // Pet dialog cancelled: the old table stays.
  connected_ = true;
  table_.InsertRow(0);
  pet_.ok = false;
  EXPECT_FALSE(Make().ReadMemoryData());
  EXPECT_EQ(log_.lines.back(), kReadCancelledText);
  EXPECT_EQ(table_.RowCount(), 1);
  EXPECT_TRUE(poll_.calls.empty());

  // No unit answering the scan: the dialog's message, the table emptied.
  pet_.ok = true;
  device_->Unplug();
  EXPECT_FALSE(Make().ReadMemoryData());
  EXPECT_EQ(messages_.shown.back(), kNoDiskText);
  EXPECT_EQ(table_.RowCount(), 0);
  EXPECT_EQ(poll_.calls, (Lines{"stop", "start"}));

  // The dump cannot be created.
  poll_.calls.clear();
  device_->Plug();
  CommandSurroundings surroundings = Surroundings();
  surroundings.dumpPath = folder_ + "/missing/tmp.bin";
  UnitCommands commands(std::move(surroundings));
  EXPECT_FALSE(commands.ReadMemoryData());
  EXPECT_EQ(messages_.shown.back(), "File Open Error!");
  EXPECT_EQ(poll_.calls, (Lines{"stop", "start"}));
  EXPECT_EQ(device_->Journal().size(), 0u);
}

TEST_F(Commands, EraseAnsweredNoTouchesNeitherUnitNorPoll) {
  EXPECT_FALSE(Make().EraseMemory(true));
  EXPECT_EQ(log_.setTexts, Lines{" "});
  EXPECT_EQ(log_.lines, (Lines{"Command: Erase Memory Data", kEraseCancelledText}));
  EXPECT_TRUE(poll_.calls.empty());
  EXPECT_EQ(device_->Operations(), 0u);
}

TEST_F(Commands, EraseFromTheMenu) {
  messages_.answers = {true};
  EXPECT_TRUE(Make().EraseMemory(true));
  EXPECT_EQ(log_.lines, (Lines{"Command: Erase Memory Data", "\nThe file: " + eraseImage_,
                               "\nFlash memory: Internal Flash", "Start address: 0x00010000",
                               "File size: 324096", "\nStart to erase all data...",
                               "Erase is complete.", kEraseSucceededText}));
  EXPECT_EQ(poll_.calls, (Lines{"stop", "start"}));

  // A missing erase image: the summary's message, the poll back on.
  poll_.calls.clear();
  fs::remove(eraseImage_);
  messages_.answers = {true};
  EXPECT_FALSE(Make().EraseMemory(true));
  EXPECT_EQ(log_.lines.back(), "File Open Error: " + eraseImage_ + "!");
  EXPECT_EQ(poll_.calls, (Lines{"stop", "start"}));
}

TEST_F(Commands, UpgradeWaysOut) {
  const std::string image = folder_ + "/new.msc";
  WriteBytes(image, BuildImage({1, 0x20000, 512}, std::vector<uint8_t>(512, 0x11)));

  // No: cancel line, nothing else.
  EXPECT_FALSE(Make().UpgradeFirmware(""));
  EXPECT_EQ(log_.lines, (Lines{"Command: Upgrade Firmware", kUpgradeCancelledText}));
  EXPECT_EQ(messages_.questions.back(), kUpgradeQuestion);
  EXPECT_EQ(messages_.captions.back(), "Upgrade Firmware");
  // Yes, then the file dialog cancelled: silent, no poll change.
  messages_.answers = {true};
  EXPECT_FALSE(Make().UpgradeFirmware(""));
  EXPECT_EQ(image_.initialNames, Lines{folder_ + "/*.msc"});
  EXPECT_EQ(log_.lines, Lines{"Command: Upgrade Firmware"});
  EXPECT_TRUE(poll_.calls.empty());
  // A bad image: the summary refuses it and the poll restarts.
  WriteBytes(folder_ + "/bad.msc", {'X'});
  image_.chosen = folder_ + "/bad.msc";
  messages_.answers = {true};
  EXPECT_FALSE(Make().UpgradeFirmware(""));
  EXPECT_EQ(poll_.calls, (Lines{"stop", "start"}));
  EXPECT_EQ(device_->Journal().size(), 0u);

  // Success: table and pet strings emptied, labels refreshed.
  poll_.calls.clear();
  table_.InsertRow(0);
  petInfo_ = {"Rex", "Ann", "Oslo"};
  image_.chosen = image;
  messages_.answers = {true};
  EXPECT_TRUE(Make().UpgradeFirmware(""));
  EXPECT_EQ(log_.lines.back(), kUpgradeSucceededText);
  EXPECT_EQ(table_.RowCount(), 0);
  EXPECT_EQ(petInfo_.name, "");
  ASSERT_EQ(pet_.labels.size(), 1u);
  EXPECT_EQ(pet_.labels[0].owner, "");
  EXPECT_EQ(poll_.calls, (Lines{"stop", "start"}));
  const auto after = device_->Memory();
  EXPECT_TRUE(std::all_of(after.begin() + 0x20000, after.begin() + 0x20200,
                          [](uint8_t b) { return b == 0x11; }));
}

TEST_F(Commands, StartupDetectionDeletesAValidImageEvenWhenDeclined) {
  fs::create_directories(folder_ + "/Firmware");
  const std::string valid = folder_ + "/Firmware/b.msc";
  const std::string other = folder_ + "/Firmware/a.msc";
  WriteBytes(other, {'R', 'X', 'X', 'X', 'X'});
  WriteBytes(valid, BuildImage({1, 0x10000, 0}, {}));

  // The first image by name does not begin with the five letters: left alone.
  Make().DetectFirmware();
  EXPECT_TRUE(fs::exists(other));
  EXPECT_TRUE(fs::exists(valid));
  EXPECT_TRUE(messages_.questions.empty());

  fs::remove(other);
  Make().DetectFirmware();
  EXPECT_EQ(messages_.questions, Lines{"Detect new firmware(\"" + valid +
                                       "\"),are you sure you want to upgrade the firmware?"});
  EXPECT_EQ(log_.lines.back(), kUpgradeCancelledText);
  EXPECT_FALSE(fs::exists(valid));
  EXPECT_EQ(device_->Operations(), 0u);
}

TEST_F(Commands, ClockBytesAreTheLocalTimeTakenOnce) {
  EXPECT_TRUE(Make().SynchronizeClock());
  EXPECT_EQ(log_.lines, (Lines{"Command: Time synchronize.", kClockSucceededText}));
  EXPECT_EQ(messages_.icons, std::vector<MessageIcon>{MessageIcon::Information});
  EXPECT_EQ(device_->LastClock(), (ClockSetting{15, 6, 9, 14, 5, 9, 2}));
  EXPECT_EQ(poll_.calls, (Lines{"stop", "start"}));

  for (auto [year, byte] : {std::pair{2000, 0}, {2255, 255}, {2256, 0}, {2300, 44}}) {
    now_.tm_year = year - 1900;
    EXPECT_TRUE(Make().SynchronizeClock());
    EXPECT_EQ(device_->LastClock()->year, byte) << year;
  }
}

TEST_F(Commands, ClockFailuresAndTheDisconnectedUnit) {
  connected_ = false;
  EXPECT_FALSE(Make().SynchronizeClock());
  EXPECT_EQ(log_.lines, (Lines{"Command: Time synchronize.", kDisconnectedText}));
  EXPECT_TRUE(poll_.calls.empty());
  // Only the look for a reason touched the drive: one read of sector 1.
  EXPECT_EQ(device_->Operations(), 1u);
  EXPECT_TRUE(device_->WrittenSectors().empty());

  connected_ = true;
  device_->Unplug();
  EXPECT_FALSE(Make().SynchronizeClock());
  EXPECT_EQ(log_.lines.back(), kClockFailedText);
  EXPECT_EQ(messages_.icons.back(), MessageIcon::Error);
  EXPECT_EQ(poll_.calls, (Lines{"stop", "start"}));
  EXPECT_FALSE(device_->LastClock());

  // The unit answers but refuses the block: its clock was not set.
  device_->Plug();
  device_->FailSector(0, 1);
  poll_.calls.clear();
  EXPECT_FALSE(Make().SynchronizeClock());
  EXPECT_EQ(log_.lines.back(), kClockFailedText);
  EXPECT_EQ(messages_.icons.back(), MessageIcon::Error);
  EXPECT_EQ(poll_.calls, (Lines{"stop", "start"}));
  EXPECT_FALSE(device_->LastClock());
}

// Restores one environment variable when it goes.
class SavedVariable {
 public:
  explicit SavedVariable(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) value_ = value;
  }
  ~SavedVariable() {
    if (value_)
      ::setenv(name_, value_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> value_;
};

TEST(DataFiles, ArchiveFolderFollowsTheEnvironment) {
  SavedVariable archive(kArchiveDirVariable), xdg("XDG_DATA_HOME"), home("HOME");
  ::setenv(kArchiveDirVariable, "/tmp/x-archive", 1);
  EXPECT_EQ(DownloadArchiveFolder(), "/tmp/x-archive");
  ::unsetenv(kArchiveDirVariable);
  ::setenv("XDG_DATA_HOME", "/tmp/xdg", 1);
  EXPECT_EQ(DownloadArchiveFolder(), "/tmp/xdg/yelvane/downloads");
  ::unsetenv("XDG_DATA_HOME");
  ::setenv("HOME", "/tmp/home", 1);
  EXPECT_EQ(DownloadArchiveFolder(), "/tmp/home/.local/share/yelvane/downloads");
}

TEST(DataFiles, TheBuiltEraseImageStopsAtTheVersionRecord) {
  const std::string path = YELVANE_ERASE_IMAGE;
  const std::vector<uint8_t> image = ReadBytes(path);
  ASSERT_EQ(image.size(), 1024u + 0x4F200u);
  EXPECT_TRUE(IsImageFile(path));
  EXPECT_EQ(DecodeImageHeader(image.data() + 256), (ImageHeader{1, 0x10000, 0x4F200}));
  EXPECT_TRUE(std::all_of(image.begin() + 1024, image.end(), [](uint8_t b) { return b == 0xFF; }));
}

}  // namespace
}  // namespace yelvane

namespace yelvane {
namespace {

TEST(DataFiles, EraseImageIsLookedForInTheStartupFolderFirst) {
  const TempFolder temp, other;
  const std::string folder = temp.Str();
  // Nothing here, nothing beside this test program: the start-up folder's
  // path is what the open error will name.
  EXPECT_EQ(FindEraseImage(folder), folder + "/Erase.msc");
  WriteBytes(folder + "/Erase.msc", {'B'});
  EXPECT_EQ(FindEraseImage(folder), folder + "/Erase.msc");
  EXPECT_EQ(FindEraseImage(other.Str()).find(folder), std::string::npos);
}

}  // namespace
}  // namespace yelvane

namespace yelvane {
namespace {

TEST(DataFiles, DownloadsAreListedNewestFirstFromTheirNames) {
  const TempFolder temp;
  const std::string folder = temp.Str();
  // Sequence numbers compare as numbers (-10 after -9), dates across years;
  // names ArchiveDownload never writes are left out, and so is a folder.
  for (const char* name :
       {"yelvane-20150609-140509.bin", "yelvane-20150609-140509-9.bin",
        "yelvane-20150609-140509-10.bin", "yelvane-20141231-235959.bin",
        "yelvane-20160101-000000.bin", "yelvane-20151301-000000.bin",
        "yelvane-20150609-140509-1.bin", "yelvane-20150609-140509-02.bin",
        "yelvane-2015060-140509.bin", "yelvane-20150609-140509.BIN", "notes.txt", "tmp.bin"})
    WriteBytes(folder + "/" + name, {1});
  fs::create_directory(folder + "/yelvane-20170101-000000.bin");
  std::vector<std::string> listed;
  for (const ArchivedDownload& d : ListDownloads(folder))
    listed.push_back(fs::path(d.path).filename().string() + " " + DownloadTimeText(d.time));
  EXPECT_EQ(listed, (std::vector<std::string>{
                        "yelvane-20160101-000000.bin 2016-01-01 00:00:00",
                        "yelvane-20150609-140509-10.bin 2015-06-09 14:05:09",
                        "yelvane-20150609-140509-9.bin 2015-06-09 14:05:09",
                        "yelvane-20150609-140509.bin 2015-06-09 14:05:09",
                        "yelvane-20141231-235959.bin 2014-12-31 23:59:59",
                    }));
  EXPECT_TRUE(ListDownloads(folder + "/absent").empty());
}

}  // namespace
}  // namespace yelvane
