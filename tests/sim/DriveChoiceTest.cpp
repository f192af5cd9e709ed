// The drive choice both programs share: the simulated logger's memory image
// and the fault options.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/TempFolder.h"
#include "sim/DriveChoice.h"
#include "support/Files.h"
#include "support/Recorders.h"
#include "unit/CommandExchange.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;

TEST(FailSectorSpec, Parsing) {
  FailSectorSpec spec;
  EXPECT_TRUE(ParseFailSector("761", spec));
  EXPECT_EQ(spec.sector, 761u);
  EXPECT_EQ(spec.times, UINT32_MAX);
  EXPECT_TRUE(ParseFailSector("128:3", spec));
  EXPECT_EQ(spec.times, 3u);
  for (const char* bad : {"", ":", "1:", ":2", "1:2:3", "-1", "1 ", "99999999999"}) {
    EXPECT_FALSE(ParseFailSector(bad, spec)) << bad;
  }
}

TEST(DriveChoice, SimulatedMemoryIsSavedBackWhenTheLastEnumeratorGoes) {
  const TempFolder dir;
  const std::string image = dir.File("kept.bin");
  const DriveChoice choice{.simulate = image};
  auto first = MakeDriveEnumerator(choice, {});
  auto second = MakeDriveEnumerator(choice, {});  // same device, same memory
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  const std::vector<uint8_t> created = ReadBytes(image);
  ASSERT_EQ(created.size(), kLoggerMemorySize);
  {
    UnitVolume volume(second->NewVolume());
    ASSERT_TRUE(OpenUnitVolume(volume, kSimulatedDriveRoot));
    const std::vector<uint8_t> payload(1024, 0x00);
    test::FakeClock clock;
    ASSERT_TRUE(WriteUnitStream(volume, 1, 0x10000, 1024, payload.data(), 1024, clock));
    volume.Close();
  }
  // Saved as soon as the write changed the memory, while both are in use
  // (a program that crashes later loses nothing), and again at the end.
  std::vector<uint8_t> saved = ReadBytes(image);
  ASSERT_EQ(saved.size(), kLoggerMemorySize);
  EXPECT_TRUE(std::all_of(&saved[0x10000], &saved[0x10400], [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(std::equal(saved.begin() + 0x10400, saved.end(), created.begin() + 0x10400));
  second.reset();
  first.reset();
  EXPECT_EQ(ReadBytes(image), saved);
  // Written through its own locked file: nothing else is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);
}

}  // namespace
}  // namespace yelvane
