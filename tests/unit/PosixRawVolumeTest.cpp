#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/TempFolder.h"
#include "support/Files.h"
#include "support/Recorders.h"
#include "unit/CommandExchange.h"
#include "unit/PosixRawVolume.h"
#include "unit/UnitAccess.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;
using testing::ElementsAre;

class PosixVolume : public ::testing::Test {
 protected:
  void SetUp() override {
    image = (dir / "disk.img").string();
    bytes.resize(64 * 512);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i / 512 + i);
    std::memcpy(&bytes[512], "BRMSC", 6);
    WriteImage();
  }

  void WriteImage() {
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<uint8_t> ReadImage() {
    std::ifstream in(image, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  TempFolder folder;
  const fs::path dir = folder.Path();
  std::string image;
  std::vector<uint8_t> bytes;
};

TEST_F(PosixVolume, ReadsBypassTheCacheAndSeeChanges) {
  PosixRawVolume volume;
  ASSERT_TRUE(volume.Open(image));
  EXPECT_TRUE(volume.UsesDirectIo());
  EXPECT_FALSE(volume.IsWritable());
  uint8_t sector[3 * 512 + 1];
  sector[3 * 512] = 0xEE;
  ASSERT_TRUE(volume.ReadSectors(1, sector + 1, 3));  // unaligned caller buffer
  EXPECT_EQ(0, std::memcmp(sector + 1, &bytes[512], 3 * 512));

  // Another writer changes the disk: the next read shows it.
  bytes[512 + 6] = 0x5A;
  WriteImage();
  ASSERT_TRUE(volume.ReadSectors(1, sector, 1));
  EXPECT_EQ(sector[6], 0x5A);
  // Past the end of the disk is a failure, not a short read.
  EXPECT_FALSE(volume.ReadSectors(63, sector, 2));
  volume.Close();
  EXPECT_FALSE(volume.ReadSectors(1, sector, 1));
}

TEST_F(PosixVolume, ReadOnlyUntilLockAndWritesOnlyTheAskedSector) {
  PosixRawVolume volume;
  ASSERT_TRUE(volume.Open(image));
  uint8_t block[512];
  std::memset(block, 0xA5, sizeof block);
  EXPECT_FALSE(volume.WriteSectors(0, block, 1));  // not locked
  EXPECT_EQ(ReadImage(), bytes);

  ASSERT_TRUE(volume.Lock());
  EXPECT_TRUE(volume.IsWritable());
  EXPECT_TRUE(volume.UsesDirectIo());
  // The lock is exclusive: a second volume cannot take it.
  PosixRawVolume other;
  ASSERT_TRUE(other.Open(image));
  EXPECT_FALSE(other.Lock());
  EXPECT_EQ(other.LastError(), EWOULDBLOCK);

  ASSERT_TRUE(volume.WriteSectors(0, block, 1));
  EXPECT_FALSE(volume.WriteSectors(65536, block, 1));
  std::vector<uint8_t> expected = bytes;
  std::memset(&expected[0], 0xA5, 512);
  EXPECT_EQ(ReadImage(), expected);

  EXPECT_TRUE(volume.Unlock());
  EXPECT_FALSE(volume.IsWritable());
  EXPECT_FALSE(volume.WriteSectors(0, block, 1));
  EXPECT_TRUE(other.Lock());
  other.Close();
  volume.Close();
}

TEST_F(PosixVolume, LockRefusesAPathThatNowNamesAnotherDisk) {
  PosixRawVolume volume;
  ASSERT_TRUE(volume.Open(image));
  fs::rename(image, (dir / "old.img"));
  std::ofstream(image, std::ios::binary) << std::string(4096, 'x');
  EXPECT_FALSE(volume.Lock());
  volume.Close();
}

TEST_F(PosixVolume, LockChecksTheSignatureThroughTheWritingHandle) {
  // The signature was there when the read handle looked; by the time of the
  // lock the device (same node, same inode) holds something else.
  PosixRawVolume volume;
  ASSERT_TRUE(volume.Open(image));
  uint8_t sector[512];
  ASSERT_TRUE(volume.ReadSectors(1, sector, 1));
  ASSERT_TRUE(HasUnitSignature(sector));
  bytes[512 + 5] = 'x';
  WriteImage();
  EXPECT_FALSE(volume.Lock());
  EXPECT_FALSE(volume.IsWritable());
  uint8_t block[512] = {};
  EXPECT_FALSE(volume.WriteSectors(0, block, 1));
  EXPECT_EQ(ReadImage(), bytes);
  // A failed lock leaves no flock behind.
  bytes[512 + 5] = 0;
  WriteImage();
  PosixRawVolume other;
  ASSERT_TRUE(other.Open(image));
  EXPECT_TRUE(other.Lock());
  other.Close();
  volume.Close();
}

TEST_F(PosixVolume, SysBlockScanOrderAndReasons) {
  const fs::path sys = dir / "sys";
  const fs::path dev = dir / "dev";
  fs::create_directories(dev);
  auto disk = [&](const std::string& name, const char* removable) {
    fs::create_directories(sys / name);
    std::ofstream(sys / name / "removable") << removable << "\n";
  };
  disk("sda", "0");
  disk("sdb", "1");
  disk("sdc", "1");
  disk("sdd", "1");
  disk("loop0", "0");
  fs::copy_file(image, dev / "sdb");
  fs::copy_file(image, dev / "sdc");
  bytes[512 + 5] = '!';  // "BRMSC!" is not the signature
  WriteImage();
  fs::copy_file(image, dev / "sdd");
  fs::permissions(dev / "sdc", fs::perms::none);

  SysBlockDriveEnumerator drives(sys.string(), dev.string());
  EXPECT_THAT(drives.Candidates(), ElementsAre(DriveCandidate{(dev / "sdd").string()},
                                               DriveCandidate{(dev / "sdc").string()},
                                               DriveCandidate{(dev / "sdb").string()}));
  // Permissions do not stop root, who then finds the logger on sdc.
  const bool root = ::geteuid() == 0;
  EXPECT_EQ(FindUnitDrive(drives), (dev / (root ? "sdc" : "sdb")).string());
  const auto verdicts = ScanDrives(drives);
  ASSERT_EQ(verdicts.size(), 3u);
  EXPECT_EQ(verdicts[0].second, DriveVerdict::NoSignature);
  EXPECT_EQ(verdicts[1].second, root ? DriveVerdict::Logger : DriveVerdict::PermissionDenied);
  EXPECT_EQ(verdicts[2].second, DriveVerdict::Logger);

  fs::remove(dev / "sdb");
  EXPECT_EQ(ExamineDrive(drives, {(dev / "sdb").string()}), DriveVerdict::OpenFailed);
  SysBlockDriveEnumerator none((dir / "missing").string(), dev.string());
  EXPECT_TRUE(none.Candidates().empty());

  // Each disk is followed by its partitions, highest number first (10 after
  // 9, not before 2); folders without a partition number are not partitions.
  auto part = [&](const std::string& diskName, const std::string& name, const char* number) {
    fs::create_directories(sys / diskName / name);
    if (number) std::ofstream(sys / diskName / name / "partition") << number << "\n";
  };
  part("sdd", "sdd1", "1");
  part("sdd", "sdd10", "10");
  part("sdd", "sdd9", "9");
  part("sdd", "queue", nullptr);
  part("sdd", "holders", nullptr);
  part("sda", "sda1", "1");  // a fixed disk's partitions stay out too
  auto at = [&](const char* name) { return DriveCandidate{(dev / name).string()}; };
  EXPECT_THAT(drives.Candidates(),
              ElementsAre(at("sdd"), at("sdd10"), at("sdd9"), at("sdd1"), at("sdc"), at("sdb")));
  EXPECT_EQ(drives.SysPathOf(at("sdd9").root), (sys / "sdd" / "sdd9").string());
  EXPECT_EQ(drives.SysPathOf(at("sdc").root), (sys / "sdc").string());
  EXPECT_EQ(drives.SysPathOf(at("sda1").root), "");
  // A logger on a partition is found there, after the disk that holds it.
  fs::copy_file(dev / "sdc", dev / "sdd9");
  fs::permissions(dev / "sdd9", fs::perms::owner_read);
  EXPECT_EQ(FindUnitDrive(drives), at("sdd9").root);
}

TEST_F(PosixVolume, ReasonsAfterAFailedTransfer) {
  const fs::path sys = dir / "sys";
  fs::create_directories(sys / "sdb");
  std::ofstream(sys / "sdb" / "removable") << "1\n";
  fs::create_directories(dir / "dev");
  fs::copy_file(image, dir / "dev" / "sdb");
  SysBlockDriveEnumerator drives(sys.string(), (dir / "dev").string());
  const std::string root = (dir / "dev" / "sdb").string();

  // Another program holds the drive: the transfer names the lock, and
  // nothing is written.
  PosixRawVolume holder;
  ASSERT_TRUE(holder.Open(root));
  ASSERT_TRUE(holder.Lock());
  UnitVolume volume(drives.NewVolume());
  ASSERT_TRUE(OpenUnitVolume(volume, root));
  test::FakeClock clock;
  uint8_t record[8];
  EXPECT_FALSE(ReadUnitMemory(volume, 0x5F200, 8, record, clock));
  EXPECT_EQ(LastFailureText(drives, root),
            "Cannot use the drive " + root + ": it is locked by another program.");
  holder.Close();
  EXPECT_EQ(test::ReadBytes(root), bytes);

  // A fresh open forgets it; a drive too short for sector 1 is a read error.
  ASSERT_TRUE(OpenUnitVolume(volume, root));
  EXPECT_EQ(LastFailureText(drives, root), "");
  volume.Close();
  fs::resize_file(root, 512);
  EXPECT_EQ(ExamineDrive(drives, {root}), DriveVerdict::ReadError);
  EXPECT_EQ(DriveTroubleLines(ScanDrives(drives)),
            std::vector<std::string>{"Cannot read the drive " + root + ": read error."});
}

}  // namespace
}  // namespace yelvane
