#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/TempFolder.h"
#include "unit/AccessRule.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;

// A sysfs tree as the kernel lays it out: /sys/block/<disk> is a link into
// the device tree, below the USB device that carries idVendor and idProduct.
TEST(AccessRule, UsbIdsAreTakenFromTheFirstUsbAncestor) {
  TempFolder folder;
  const fs::path sys = folder.Path() / "sys";
  const fs::path usb = sys / "devices/pci0000:00/0000:00:14.0/usb2/2-1";
  const fs::path disk = usb / "2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb";
  fs::create_directories(disk / "sdb1");
  fs::create_directories(sys / "block");
  std::ofstream(usb / "idVendor") << "1A2b\n";
  std::ofstream(usb / "idProduct") << "00c3\n";
  // The USB hub above has ids too: the nearest device wins.
  std::ofstream(usb.parent_path() / "idVendor") << "1d6b\n";
  std::ofstream(usb.parent_path() / "idProduct") << "0002\n";
  fs::create_directory_symlink(
      "../devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/"
      "target6:0:0/6:0:0:0/block/sdb",
      sys / "block/sdb");
  const UsbIds ids{"1a2b", "00c3"};
  EXPECT_EQ(FindUsbIds((sys / "block/sdb").string()), ids);
  EXPECT_EQ(FindUsbIds((sys / "block/sdb/sdb1").string()), ids);

  // A disk that is not on USB (a loop device, a virtual disk), a missing
  // folder and an id that is not four hex digits give none.
  fs::create_directories(sys / "devices/virtual/block/loop0");
  EXPECT_EQ(FindUsbIds((sys / "devices/virtual/block/loop0").string()), std::nullopt);
  EXPECT_EQ(FindUsbIds((sys / "block/sdz").string()), std::nullopt);
  std::ofstream(usb / "idProduct") << "c3\n";
  EXPECT_EQ(FindUsbIds((sys / "block/sdb").string()), std::nullopt);
}

TEST(AccessRule, RuleFileIsWrittenKeptAndExtended) {
  const UsbIds first{"1a2b", "00c3"};
  const UsbIds second{"1a2b", "00c4"};
  const std::string firstRule =
      R"(SUBSYSTEM=="block", ATTRS{idVendor}=="1a2b", ATTRS{idProduct}=="00c3", TAG+="uaccess")";
  std::vector<UsbIds> added;

  // Written: the comment and one rule per logger, the same ids once.
  const std::string written = MergeAccessRules(std::nullopt, {first, first}, added);
  EXPECT_EQ(written, NewAccessRules({first}));
  EXPECT_EQ(written.substr(written.find("SUBSYSTEM")), firstRule + "\n");
  EXPECT_EQ(added, std::vector<UsbIds>{first});

  // Kept: the same ids again change nothing, whatever the case or spacing
  // of the rule already there.
  EXPECT_EQ(MergeAccessRules(written, {first}, added), written);
  EXPECT_TRUE(added.empty());
  const std::string byHand =
      "SUBSYSTEM==\"block\",ATTRS{idProduct}==\"00C3\", ATTRS{idVendor}==\"1A2B\", "
      "TAG+=\"uaccess\"";
  EXPECT_EQ(MergeAccessRules(byHand, {first}, added), byHand);

  // Extended: another logger's ids go at the end, the rest stays as it was
  // (a file without a final line break gets one first).
  EXPECT_EQ(MergeAccessRules(written, {second, first}, added),
            written + R"(SUBSYSTEM=="block", ATTRS{idVendor}=="1a2b", ATTRS{idProduct}=="00c4", )"
                      R"(TAG+="uaccess")"
                      "\n");
  EXPECT_EQ(added, std::vector<UsbIds>{second});
  EXPECT_EQ(MergeAccessRules(byHand, {second}, added).substr(0, byHand.size() + 1), byHand + "\n");

  // A rule commented out, one for other devices or without the tag does not count.
  for (
      const std::string& other : std::vector<std::string>{
          "# " + firstRule + "\n",
          R"(SUBSYSTEM=="usb", ATTRS{idVendor}=="1a2b", )"
          R"(ATTRS{idProduct}=="00c3", TAG+="uaccess")",
          R"(SUBSYSTEM=="block", ATTRS{idVendor}=="1a2b", ATTRS{idProduct}=="00c3", MODE="0666")"}) {
    EXPECT_FALSE(RulesCover(other, first)) << other;
  }
}

}  // namespace
}  // namespace yelvane
