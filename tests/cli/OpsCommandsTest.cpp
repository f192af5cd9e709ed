// The unit commands end to end through the built tool, on a simulated logger
// whose memory lives in an image file of the test's own folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/Files.h"
#include "support/Tool.h"
#include "support/ToolFolder.h"
#include "unit/FirmwareImage.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using test::Lines;
using test::ReadBytes;
using test::ToolRun;
using test::WriteBytes;

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (std::size_t at; (at = line.find('\t', from)) != std::string::npos; from = at + 1)
    fields.push_back(line.substr(from, at - from));
  fields.push_back(line.substr(from));
  return fields;
}

class OpsCommands : public test::ToolFolder {
 protected:
  OpsCommands() {
    EXPECT_EQ(Cli({"simulate", "create", "mem.bin"}).code, 0);
    memory_ = ReadBytes(dir_ / "mem.bin");
  }

  // The one file of the archive folder.
  fs::path KeptCopy() const {
    const auto names = test::FileNames(archive_);
    return names.size() == 1 ? archive_ / names[0] : fs::path("<not one copy>");
  }

  Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t to) const {
    return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(to));
  }

  Bytes memory_;
};

TEST_F(OpsCommands, ReadCopiesTheMemoryAndPrintsItsSessions) {
  const ToolRun read = Cli({"--simulate=mem.bin", "read", "--pet-name", "Rex", "--pet-owner", "Ann",
                            "--pet-location", "Oslo", "--format", "tsv"});
  ASSERT_EQ(read.code, 0) << read.err;
  EXPECT_EQ(Lines(read.err),
            (std::vector<std::string>{
                "Command: Read Memory Data", "", "Please input the pet information.",
                "Pet Name: Rex", "Pet Owner: Ann", "Pet Location: Oslo", "",
                "Flash memory: Internal Flash", "Start address: 0x00010000", "File size: 327680",
                "", "Start to read flash data...", "Read flash is complete.",
                "Read flash data successfully!", "Kept a copy in " + KeptCopy().string(), "",
                "Start to report the flash data...", "Reported the flash data successfully!"}));
  const Bytes dump = ReadBytes(dir_ / "tmp.bin");
  EXPECT_EQ(dump, Slice(memory_, 0x10000, 0x60000));
  EXPECT_EQ(ReadBytes(dir_ / "mem.bin"), memory_);  // a read changes nothing

  const ToolRun decode = Cli({"decode", "tmp.bin", "--format", "tsv"});
  EXPECT_EQ(read.out, decode.out);
  EXPECT_GT(Lines(read.out).size(), 5u);

  // The archived copy is the same dump.
  std::vector<fs::path> kept;
  for (const auto& entry : fs::directory_iterator(archive_)) kept.push_back(entry.path());
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(ReadBytes(kept[0]), dump);
  EXPECT_EQ(kept[0].filename().string().rfind("yelvane-", 0), 0u);

  // -o writes the dump elsewhere.
  ASSERT_EQ(Cli({"--simulate=mem.bin", "read", "-o", "other.bin", "--format", "json"}).code, 0);
  EXPECT_EQ(ReadBytes(dir_ / "other.bin"), dump);
}

TEST_F(OpsCommands, EraseLeavesNoSessionsAndKeepsTheVersionRecord) {
  const ToolRun no = Cli({"--simulate=mem.bin", "erase"}, "n\n");
  EXPECT_EQ(no.code, 1);
  EXPECT_EQ(Lines(no.err).back(), "Cancel that erase memory data.");
  EXPECT_EQ(ReadBytes(dir_ / "mem.bin"), memory_);

  const ToolRun erase = Cli({"--simulate=mem.bin", "erase", "--yes"});
  ASSERT_EQ(erase.code, 0) << erase.err;
  EXPECT_EQ(Lines(erase.err).front(), "Command: Erase Memory Data");
  EXPECT_EQ(Lines(erase.err).back(), "Erased all data successfully!");
  const Bytes after = ReadBytes(dir_ / "mem.bin");
  ASSERT_EQ(after.size(), memory_.size());
  EXPECT_TRUE(std::all_of(after.begin() + 0x10000, after.begin() + 0x5F200,
                          [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(Slice(after, 0x5F200, 0x60000), Slice(memory_, 0x5F200, 0x60000));
  EXPECT_EQ(Slice(after, 0, 0x10000), Slice(memory_, 0, 0x10000));

  const ToolRun read = Cli({"--simulate=mem.bin", "read", "--format", "tsv"});
  ASSERT_EQ(read.code, 0);
  EXPECT_EQ(read.out, "");
}

TEST_F(OpsCommands, ReadWithEraseKeepsTheSessionsInTheArchive) {
  const ToolRun run = Cli({"--simulate=mem.bin", "read", "--erase", "--yes", "--format", "tsv"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(Lines(run.err).back(), "Erased all data successfully!");
  EXPECT_NE(run.out, "");
  const Bytes after = ReadBytes(dir_ / "mem.bin");
  EXPECT_EQ(after[0x10000], 0xFF);
  ASSERT_TRUE(fs::exists(archive_));
  EXPECT_EQ(ReadBytes(fs::directory_iterator(archive_)->path()), Slice(memory_, 0x10000, 0x60000));
}

TEST_F(OpsCommands, UpgradeChangesExactlyTheTargetBytes) {
  WriteBytes(dir_ / "new.msc", BuildImage({1, 0x20000, 1000}, Bytes(1000, 0xA5)));
  const ToolRun no = Cli({"--simulate=mem.bin", "upgrade", "new.msc"}, "no\n");
  EXPECT_EQ(no.code, 1);
  EXPECT_EQ(Lines(no.err).back(), "Cancel that upgrade firmware.");

  const ToolRun run = Cli({"--simulate=mem.bin", "upgrade", "new.msc", "--yes"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(Lines(run.err).back(), "Upgrade the firmware successfully!");
  Bytes expected = memory_;
  std::fill(expected.begin() + 0x20000, expected.begin() + 0x20000 + 1000, 0xA5);
  std::fill(expected.begin() + 0x20000 + 1000, expected.begin() + 0x20400, 0x00);
  EXPECT_EQ(ReadBytes(dir_ / "mem.bin"), expected);

  // Refused images never reach the logger.
  WriteBytes(dir_ / "nand.msc", BuildImage({3, 2, 0}, Bytes(512, 1)));
  const ToolRun misaligned = Cli({"--simulate=mem.bin", "upgrade", "nand.msc", "--yes"});
  EXPECT_EQ(misaligned.code, 1);
  EXPECT_NE(misaligned.err.find("Target offset of MSC FIle is not aligned!\nCheck your MSC file."),
            std::string::npos);
  WriteBytes(dir_ / "short.msc", Bytes(1000, 'B'));
  const ToolRun tooShort = Cli({"--simulate=mem.bin", "upgrade", "short.msc", "--yes"});
  EXPECT_EQ(tooShort.code, 1);
  EXPECT_EQ(Lines(tooShort.err).back(), "This file is not MSC format!");
  EXPECT_EQ(ReadBytes(dir_ / "mem.bin"), expected);
}

TEST_F(OpsCommands, AnOrdinaryDriveMakesEveryCommandFailUntouched) {
  WriteBytes(dir_ / "new.msc", BuildImage({1, 0x10000, 512}, Bytes(512, 0)));
  for (const auto& args : std::vector<std::vector<std::string>>{{"read"},
                                                                {"read", "--erase", "--yes"},
                                                                {"erase", "--yes"},
                                                                {"upgrade", "new.msc", "--yes"},
                                                                {"sync-clock"}}) {
    std::vector<std::string> full{"--simulate=mem.bin", "--sim-plain"};
    full.insert(full.end(), args.begin(), args.end());
    const ToolRun run = Cli(full);
    EXPECT_EQ(run.code, 1) << args[0];
    EXPECT_EQ(Lines(run.err).back(), "USB is Disconnected, Please check the USB!") << args[0];
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(ReadBytes(dir_ / "mem.bin"), memory_);
  EXPECT_FALSE(fs::exists(archive_));
}

TEST_F(OpsCommands, UnpluggedDuringTheReadCancelsTheReport) {
  const ToolRun run =
      Cli({"--simulate=mem.bin", "--sim-unplug-after=300", "read", "--erase", "--yes"});
  EXPECT_EQ(run.code, 1);
  const auto lines = Lines(run.err);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "Failed to read flash data! Please retry!");
  EXPECT_EQ(lines.back(), "Cancel the data report because of USB device had been unpluged!");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadBytes(dir_ / "tmp.bin").size(), 0u);
  EXPECT_FALSE(fs::exists(archive_));
  EXPECT_EQ(ReadBytes(dir_ / "mem.bin"), memory_);
}

TEST_F(OpsCommands, SyncClockAndImageSummary) {
  const ToolRun sync = Cli({"--simulate=mem.bin", "sync-clock"});
  EXPECT_EQ(sync.code, 0);
  EXPECT_EQ(Lines(sync.err),
            (std::vector<std::string>{"Command: Time synchronize.",
                                      "Device Timer is synchronized with your PC Timer!"}));

  WriteBytes(dir_ / "n.msc", BuildImage({3, 2, 4096}, {}));
  const ToolRun image = Cli({"image", "n.msc"});
  EXPECT_EQ(image.code, 0);
  EXPECT_EQ(Lines(image.out),
            (std::vector<std::string>{"", "The file: n.msc", "", "Flash memory: NAND Flash",
                                      "Start address: 0x00000400", "File size: 4096"}));
  WriteBytes(dir_ / "x.msc", Bytes(20, 'X'));
  const ToolRun bad = Cli({"image", "x.msc"});
  EXPECT_EQ(bad.code, 1);
  EXPECT_EQ(Lines(bad.err), std::vector<std::string>{"This file is not MSC format!"});
  EXPECT_EQ(Cli({"image", "none.msc"}).code, 1);
}

TEST_F(OpsCommands, DownloadsListsEveryReadNewestFirstWithItsSessions) {
  const ToolRun first = Cli({"--simulate=mem.bin", "read", "--format", "tsv"});
  ASSERT_EQ(first.code, 0);
  const int sessions = static_cast<int>(Lines(first.out).size());
  ASSERT_GT(sessions, 0);
  ASSERT_EQ(Cli({"--simulate=mem.bin", "read"}).code, 0);
  ASSERT_EQ(Cli({"--simulate=mem.bin", "erase", "--yes"}).code, 0);
  ASSERT_EQ(Cli({"--simulate=mem.bin", "read"}).code, 0);
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(archive_)) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 3u);

  const ToolRun run = Cli({"downloads"});
  ASSERT_EQ(run.code, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::vector<std::string> f = SplitTabs(lines[i]);
    ASSERT_EQ(f.size(), 3u) << lines[i];
    const std::string name = fs::path(f[0]).filename().string();
    EXPECT_EQ(fs::path(f[0]).parent_path(), archive_);
    // The time is the name's: yelvane-YYYYMMDD-HHMMSS.
    EXPECT_EQ(f[1], name.substr(8, 4) + "-" + name.substr(12, 2) + "-" + name.substr(14, 2) + " " +
                        name.substr(17, 2) + ":" + name.substr(19, 2) + ":" + name.substr(21, 2));
    // The newest is the read after the erase.
    EXPECT_EQ(f[2], std::to_string(i == 0 ? 0 : sessions));
  }
  // The erased read is the newest, whether or not the reads shared a second
  // (then it is the one with the highest "-N").
  EXPECT_GE(SplitTabs(lines[0])[1], SplitTabs(lines[1])[1]);
  EXPECT_GE(SplitTabs(lines[1])[1], SplitTabs(lines[2])[1]);

  const ToolRun json = Cli({"downloads", "--format", "json"});
  ASSERT_EQ(json.code, 0);
  const std::vector<std::string> f = SplitTabs(lines[0]);
  EXPECT_EQ(json.out.substr(0, json.out.find('\n', 2) + 1),
            "[\n  {\"path\": \"" + f[0] + "\", \"time\": \"" + f[1] + "\", \"sessions\": 0},\n");
  EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '{'), 3);
  EXPECT_EQ(json.out.substr(json.out.size() - 4), "}\n]\n");

  // A download cut short, and one whose walk stops at a range error, are
  // listed with the rows they give and said to be so.
  const std::string cut = SplitTabs(lines[2])[0], bad = SplitTabs(lines[1])[0];
  fs::resize_file(cut, 1000);
  Bytes bytes = ReadBytes(bad);
  bytes[32 + 8] = 60;  // the second session's start minute
  WriteBytes(bad, bytes);
  const ToolRun odd = Cli({"downloads"});
  EXPECT_EQ(odd.code, 0) << odd.err;
  EXPECT_EQ(SplitTabs(Lines(odd.out)[1])[2], "1");
  EXPECT_EQ(SplitTabs(Lines(odd.out)[2])[2], "3000");
  EXPECT_EQ(Lines(odd.err),
            (std::vector<std::string>{
                bad + ": Minute(60) out of range for the Start Time!",
                cut + ": Warning: the dump has 1000 bytes instead of 327680; the missing bytes "
                      "read as 0."}));

  // An empty archive lists nothing and says so.
  fs::remove_all(archive_);
  const ToolRun none = Cli({"downloads", "--format", "json"});
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(none.out, "[]\n");
  EXPECT_NE(none.err.find("No downloads"), std::string::npos);
}

}  // namespace
}  // namespace yelvane
