// The tool on Linux drives as a user meets them: volumes found through a
// sysfs tree (faked, with device nodes that are links to image files or to
// loop devices), access set up with setup-access, and the reasons it gives
// when a drive cannot be opened or read.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "common/TempFolder.h"
#include "sim/DemoData.h"
#include "support/Files.h"
#include "support/Tool.h"
#include "unit/AccessRule.h"
#include "unit/CommandExchange.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;
using test::Lines;
using test::ReadBytes;
using test::RunTool;
using test::ToolInput;
using test::ToolRun;
using test::WriteBytes;
using testing::ElementsAre;
using testing::HasSubstr;

constexpr const char* kDisconnected = "USB is Disconnected, Please check the USB!";
bool Shell(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

const std::vector<std::string> kNobody = {"setpriv", "--reuid=65534", "--regid=65534",
                                          "--clear-groups"};

// Logger memory (unit addresses 0 to 0x5FFFF) as a plain medium holds it:
// the demo sessions, and the signature in sector 1.
std::vector<uint8_t> LoggerImage() {
  std::vector<uint8_t> image = MakeDemoMemory(DemoOptions{});
  std::memcpy(&image[512], "BRMSC", 6);
  return image;
}

// A medium that is not a logger but nearly looks like one.
std::vector<uint8_t> PlainImage() {
  std::vector<uint8_t> image(1 << 20);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + i / 512);
  std::memcpy(&image[512], "BRMSC!", 6);
  return image;
}

// A fake /sys/block and /dev: every disk hangs on its own USB device, its
// node a symbolic link to whatever stands for the medium.
class FakeSys {
 public:
  FakeSys() {
    // Readable by the unprivileged runs too.
    fs::permissions(root_.Path(), fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
    fs::create_directories(block_);
    fs::create_directories(dev_);
  }
  void AddDisk(const std::string& name, const fs::path& medium, const std::string& product) {
    const fs::path usb = root_.Path() / "sys/devices/pci0000:00/usb1" / ("1-" + name);
    const fs::path disk = usb / "1-1:1.0/host0/block" / name;
    fs::create_directories(disk);
    std::ofstream(disk / "removable") << "1\n";
    std::ofstream(usb / "idVendor") << "1a2b\n";
    std::ofstream(usb / "idProduct") << product << "\n";
    fs::create_directory_symlink(disk, block_ / name);
    usb_[name] = usb;
    Link(name, medium);
  }
  void AddPartition(const std::string& disk, const std::string& name, int number,
                    const fs::path& medium) {
    fs::create_directories(block_ / disk / name);
    std::ofstream(block_ / disk / name / "partition") << number << "\n";
    Link(name, medium);
  }
  void SetProduct(const std::string& disk, const std::string& product) {
    std::ofstream(usb_.at(disk) / "idProduct") << product << "\n";
  }
  void Link(const std::string& name, const fs::path& medium) {
    fs::remove(dev_ / name);
    fs::create_symlink(medium, dev_ / name);
  }
  std::string Node(const std::string& name) const { return (dev_ / name).string(); }
  std::vector<std::string> Env() const {
    return {"YELVANE_SYS_BLOCK_DIR=" + block_.string(), "YELVANE_DEV_DIR=" + dev_.string()};
  }
  const fs::path& Root() const { return root_.Path(); }

 private:
  TempFolder root_;
  fs::path block_ = root_.Path() / "sys/block";
  fs::path dev_ = root_.Path() / "dev";
  std::map<std::string, fs::path> usb_;
};

class LinuxDrives : public ::testing::Test {
 protected:
  ToolRun Cli(const std::vector<std::string>& args, std::vector<std::string> wrapper = {}) {
    return RunTool(dir, args, ToolInput{.env = sys.Env(), .wrapper = std::move(wrapper)});
  }
  static bool Root() { return ::geteuid() == 0; }
  void SetUp() override {
    // The unprivileged runs work in this folder too.
    fs::permissions(dir,
                    fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec,
                    fs::perm_options::add);
  }

  TempFolder folder;
  const fs::path dir = folder.Path();
  FakeSys sys;
};

// --- Without root: files stand in for the media ------------------------------

TEST_F(LinuxDrives, SetupAccessWritesKeepsExtendsAndRefusesTheRuleFile) {
  const fs::path logger = sys.Root() / "logger.img";
  WriteBytes(logger, LoggerImage());
  sys.AddDisk("sdq", logger, "00c3");
  const fs::path rules = dir / "rules";
  fs::create_directory(rules);
  const fs::path file = rules / kAccessRuleFileName;
  const UsbIds first{"1a2b", "00c3"}, second{"1a2b", "00c4"};

  ToolRun run = Cli({"setup-access", "--print"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, NewAccessRules({first}));
  EXPECT_EQ(Lines(run.err),
            Lines("Found the logger on " + sys.Node("sdq") + " (USB 1a2b:00c3).\n"));
  EXPECT_TRUE(fs::is_empty(rules));

  // Written, then kept as it is.
  run = Cli({"setup-access", "--rules-dir", rules.string()});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(test::ReadText(file), NewAccessRules({first}));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
  EXPECT_THAT(run.err, HasSubstr("Wrote the rule for the logger (USB 1a2b:00c3) to " +
                                 file.string() + ".\n"));
  EXPECT_THAT(run.LastErrLine(), HasSubstr("plug it in again"));
  run = Cli({"setup-access", "--rules-dir", rules.string()});
  EXPECT_EQ(run.code, 0);
  EXPECT_THAT(run.err, HasSubstr("already gives access to the logger (USB 1a2b:00c3)"));
  EXPECT_EQ(test::ReadText(file), NewAccessRules({first}));

  // Another logger's ids are added after the first.
  sys.SetProduct("sdq", "00C4");
  run = Cli({"setup-access", "--rules-dir", rules.string()});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(test::ReadText(file), NewAccessRules({first, second}));
  EXPECT_THAT(run.err, HasSubstr("Added the rule for the logger (USB 1a2b:00c4)"));

  // Refused, with nothing written: a folder that is not there or not a
  // folder, no logger, the simulator.
  const std::string before = test::ReadText(file);
  run = Cli({"setup-access", "--rules-dir", (rules / "missing").string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.err, HasSubstr("does not exist"));
  run = Cli({"setup-access", "--rules-dir", file.string()});
  EXPECT_EQ(run.code, 1);
  WriteBytes(logger, PlainImage());
  run = Cli({"setup-access", "--rules-dir", rules.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.LastErrLine(), "No logger found among the removable drives.");
  EXPECT_EQ(Cli({"--simulate", "setup-access", "--print"}).code, 2);
  EXPECT_EQ(test::FileNames(rules), std::vector<std::string>{kAccessRuleFileName});
  EXPECT_EQ(test::ReadText(file), before);
}

TEST_F(LinuxDrives, ADriveThatCannotBeUsedSaysWhichAndWhy) {
  const fs::path logger = sys.Root() / "logger.img";
  const std::vector<uint8_t> image = LoggerImage();
  WriteBytes(logger, image);
  sys.AddDisk("sdq", logger, "00c3");
  const std::string node = sys.Node("sdq");

  // Another program holds the logger: the transfer fails, names the lock
  // after the failure text, and writes nothing.
  const int held = ::open(logger.c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const std::string locked = "Cannot use the drive " + node + ": it is locked by another program.";
  ToolRun run = Cli({"read"});
  EXPECT_EQ(run.code, 1);
  const auto lines = Lines(run.err);
  EXPECT_THAT(std::vector<std::string>(lines.end() - 3, lines.end()),
              ElementsAre("Failed to read flash data! Please retry!", locked,
                          "Cancel the data report because of USB device had been unpluged!"));
  run = Cli({"info"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.LastErrLine(),
            "Cannot read the firmware version from " + node + ": locked by another program.");
  run = Cli({"sync-clock"});
  EXPECT_EQ(run.LastErrLine(), locked);
  ::close(held);
  EXPECT_EQ(ReadBytes(logger), image);

  // A medium too short for sector 1: a read error, named after the
  // command's own line, and by devices.
  WriteBytes(logger, std::vector<uint8_t>(512, 0));
  const std::string readError = "Cannot read the drive " + node + ": read error.";
  run = Cli({"devices"});
  EXPECT_EQ(run.out, node + "\tread error\n");
  EXPECT_EQ(run.err, readError + "\n");
  run = Cli({"erase", "--yes"});
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(Lines(run.err), ElementsAre("Command: Erase Memory Data", kDisconnected, readError));
  run = Cli({"info"});
  EXPECT_EQ(run.out, "Firmware Version: USB Disconnected, Unknown\n");
  EXPECT_EQ(run.err, readError + "\n");
}

// --- As root: unprivileged runs, and real kernel block devices ---------------

TEST_F(LinuxDrives, AnUnprivilegedUserIsToldTheFix) {
  if (!Root()) GTEST_SKIP() << "needs root to run the tool as another user (setpriv)";
  const fs::path logger = sys.Root() / "logger.img";
  WriteBytes(logger, LoggerImage());
  fs::permissions(logger, fs::perms::owner_read | fs::perms::owner_write);
  sys.AddDisk("sdq", logger, "00c3");
  const std::string denied =
      "Cannot open the drive " + sys.Node("sdq") +
      ": permission denied. Give this user access once with \"sudo yelvane-cli setup-access\", "
      "then plug the logger in again.";

  ToolRun run = Cli({"devices"}, kNobody);
  EXPECT_EQ(run.out, sys.Node("sdq") + "\tpermission denied\n");
  EXPECT_EQ(run.err, denied + "\n");
  run = Cli({"read"}, kNobody);
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(Lines(run.err), ElementsAre("Command: Read Memory Data", kDisconnected, denied));
  EXPECT_FALSE(fs::exists(dir / "tmp.bin"));

  // The system folder needs root; another folder this user may not write
  // is refused with the reason.
  run = Cli({"setup-access"}, kNobody);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.LastErrLine(),
            "Writing /etc/udev/rules.d/70-yelvane.rules needs root: run "
            "\"sudo yelvane-cli setup-access\".");
  fs::permissions(logger, fs::perms::others_read, fs::perm_options::add);
  const fs::path rules = dir / "rules";
  fs::create_directory(rules);
  fs::permissions(rules, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  run = Cli({"setup-access", "--rules-dir", rules.string()}, kNobody);
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.LastErrLine(), HasSubstr("Permission denied"));
  EXPECT_TRUE(fs::is_empty(rules));
}

// A loop device attached for one test and detached again.
class LoopDevice {
 public:
  LoopDevice(const fs::path& file, bool partitions) {
    const TempFolder scratch;
    const std::string out = scratch.File("out");
    const std::string command = std::string("losetup --find --show ") + (partitions ? "-P " : "") +
                                "'" + file.string() + "' >'" + out + "' 2>/dev/null";
    // Another process may take the free device first.
    for (int attempt = 0; attempt < 5 && path_.empty(); ++attempt) {
      if (Shell(command)) path_ = Lines(test::ReadText(out)).at(0);
    }
    if (path_.empty() || !partitions) return;
    // Without udev the kernel may leave the partition table unread.
    const std::string part = path_ + "p1";
    for (int wait = 0; wait < 40 && !fs::exists(part); ++wait) {
      if (wait == 5) Shell("partx -a '" + path_ + "' 2>/dev/null");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!fs::exists(part)) Detach();
  }
  ~LoopDevice() { Detach(); }
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;
  bool Ok() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }

 private:
  void Detach() {
    if (!path_.empty()) Shell("losetup -d '" + path_ + "'");
    path_.clear();
  }
  std::string path_;
};

// A removable logger on a kernel block device, read without --simulate:
// on the whole disk, and on the first partition of a medium with a
// partition table. An ordinary removable disk scanned before it is never
// written; on the logger only its own sector 0 is.
class RealDrives : public LinuxDrives, public ::testing::WithParamInterface<bool> {};

TEST_P(RealDrives, ReadCopiesTheLoggerAndWritesOnlyItsSectorZero) {
  if (!Root()) GTEST_SKIP() << "needs root for loop devices";
  const bool partitioned = GetParam();
  const std::vector<uint8_t> logger = LoggerImage();
  // The partition starts at sector 2048, as partitioning tools place it.
  constexpr uint32_t kStart = 2048;
  std::vector<uint8_t> medium = logger;
  if (partitioned) {
    medium.assign(kStart * 512 + logger.size() + 64 * 512, 0);
    std::copy(logger.begin(), logger.end(), medium.begin() + kStart * 512);
    uint8_t* entry = &medium[0x1BE];
    entry[4] = 0x0C;  // FAT32 (LBA)
    const uint32_t first = kStart, count = kLoggerMemorySize / 512;
    std::memcpy(entry + 8, &first, 4);
    std::memcpy(entry + 12, &count, 4);
    medium[510] = 0x55;
    medium[511] = 0xAA;
  }
  const std::vector<uint8_t> plain = PlainImage();
  const fs::path mediumFile = dir / "logger.img", plainFile = dir / "plain.img";
  WriteBytes(mediumFile, medium);
  WriteBytes(plainFile, plain);
  LoopDevice loggerLoop(mediumFile, partitioned);
  LoopDevice plainLoop(plainFile, false);
  if (!loggerLoop.Ok() || !plainLoop.Ok()) GTEST_SKIP() << "no loop device could be attached";

  sys.AddDisk("sdz", plainLoop.Path(), "0001");
  sys.AddDisk("sdy", loggerLoop.Path(), "00c3");
  std::string loggerNode = sys.Node("sdy");
  std::string expectedDevices = sys.Node("sdz") + "\tno signature\n";
  if (partitioned) {
    sys.AddPartition("sdy", "sdy1", 1, loggerLoop.Path() + "p1");
    expectedDevices += sys.Node("sdy") + "\tno signature\n";
    loggerNode = sys.Node("sdy1");
  }
  expectedDevices += loggerNode + "\tlogger\n";
  const std::size_t zero = partitioned ? kStart * 512 : 0;

  // After every command: the plain disk as it was, the medium as it was but
  // for the logger's sector 0, which holds the command's end block.
  auto check = [&](const std::string& command, uint8_t endCode) {
    SCOPED_TRACE(command);
    EXPECT_EQ(ReadBytes(plainFile), plain);
    const std::vector<uint8_t> now = ReadBytes(mediumFile);
    ASSERT_EQ(now.size(), medium.size());
    EXPECT_TRUE(std::equal(now.begin(), now.begin() + zero, medium.begin()));
    EXPECT_TRUE(std::equal(now.begin() + zero + 512, now.end(), medium.begin() + zero + 512));
    if (endCode) {
      EXPECT_EQ(now[zero + 4], endCode);
      EXPECT_EQ(0, std::memcmp(&now[zero], "BRZ\xA5", 4));
    }
  };

  ToolRun run = Cli({"devices"});
  EXPECT_EQ(run.out, expectedDevices);
  EXPECT_EQ(run.err, "");
  check("devices", 0);
  run = Cli({"info"});
  EXPECT_EQ(run.out, "Firmware Version: 1.0\n");
  check("info", 5);
  run = Cli({"read", "--format", "tsv"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(ReadBytes(dir / "tmp.bin"),
            std::vector<uint8_t>(logger.begin() + 0x10000, logger.begin() + 0x60000));
  EXPECT_FALSE(run.out.empty());
  check("read", 5);
  const std::vector<uint8_t> now = ReadBytes(mediumFile);
  EXPECT_EQ(0, std::memcmp(&now[zero + 6], "\x01\0\0\0\0\0\x01\0\0\0\x05\0", 12));

  // The same drives for a user without access: named, with the fix, and
  // still nothing written.
  run = Cli({"devices"}, kNobody);
  EXPECT_THAT(run.out, HasSubstr(loggerNode + "\tpermission denied\n"));
  EXPECT_THAT(run.err, HasSubstr("Cannot open the drive " + loggerNode +
                                 ": permission denied. Give this user access once with \"sudo "
                                 "yelvane-cli setup-access\""));
  check("devices as nobody", 5);
}

INSTANTIATE_TEST_SUITE_P(WholeDiskAndPartition, RealDrives, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Partition" : "WholeDisk"; });

}  // namespace
}  // namespace yelvane
