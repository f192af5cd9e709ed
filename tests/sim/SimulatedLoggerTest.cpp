#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "sim/SimulatedLogger.h"
#include "support/SimRig.h"
#include "unit/CommandExchange.h"
#include "unit/UnitAccess.h"

namespace yelvane {
namespace {

using test::SimRig;

SectorBlock Block(uint8_t code, std::initializer_list<uint8_t> params, bool goodHead = true) {
  SectorBlock block{};
  const uint8_t head[6] = {0x42, 0x52, 0x5A, static_cast<uint8_t>(goodHead ? 0xA5 : 0xA4), code, 0};
  std::memcpy(block.data(), head, 6);
  std::size_t i = 6;
  for (uint8_t p : params) block[i++] = p;
  return block;
}

TEST(SimulatedLogger, SignatureOutsideTransactionsMemoryInside) {
  SimRig rig;
  UnitVolume volume = rig.NewVolume();
  ASSERT_TRUE(volume.Open("sim0"));
  SectorBlock sector{};
  ASSERT_TRUE(volume.ReadSectors(1, sector.data(), 1));
  EXPECT_EQ(0, std::memcmp(sector.data(), "BRMSC\0\0\0", 8));
  EXPECT_TRUE(std::all_of(sector.begin() + 5, sector.end(), [](uint8_t b) { return b == 0; }));
  ASSERT_TRUE(volume.WriteSectors(0, MakeBeginReadBlock(0x5F200, 8).data(), 1));
  EXPECT_TRUE(rig.device->InReadTransaction());
  ASSERT_TRUE(volume.ReadSectors(761, sector.data(), 1));
  EXPECT_EQ(sector[0], 0);  // minor 0
  EXPECT_EQ(sector[1], 1);  // major 1
  // Past the end of unit memory there is nothing to serve.
  EXPECT_FALSE(volume.ReadSectors(kLoggerMemorySize / 512, sector.data(), 1));
}

TEST(SimulatedLogger, MalformedAndOutOfPlaceBlocksAreIgnored) {
  SimRig rig;
  UnitVolume volume = rig.NewVolume();
  ASSERT_TRUE(volume.Open("sim0"));
  const SectorBlock bad[] = {
      Block(4, {1, 0, 0, 0, 0, 0, 1, 0, 8, 0, 0, 0}, false),  // wrong signature
      Block(9, {}),                                           // unknown code
      Block(5, {1, 0, 0, 0, 0, 0, 1, 0, 8, 0, 0, 0}),         // end without begin
      Block(3, {}),                                           // end write without begin
      Block(4, {2, 0, 0, 0, 0, 0, 1, 0, 8, 0, 0, 0}),         // kind 2 read
      Block(4, {1, 0, 0, 0, 0, 0, 6, 0, 1, 0, 0, 0}),         // past the end of memory
      Block(1, {15, 13, 9, 14, 5, 9, 2}),                     // month 13
  };
  for (const SectorBlock& block : bad) ASSERT_TRUE(volume.WriteSectors(0, block.data(), 1));
  for (const JournalEntry& entry : rig.device->Journal()) EXPECT_FALSE(entry.accepted);
  EXPECT_FALSE(rig.device->InReadTransaction());
  EXPECT_FALSE(rig.device->LastClock().has_value());

  // An end-read that does not match its begin block leaves the transfer open.
  ASSERT_TRUE(volume.WriteSectors(0, MakeBeginReadBlock(0x10000, 512).data(), 1));
  SectorBlock end = MakeBeginReadBlock(0x10000, 1024);
  SetCommandHead(end.data(), kEndReadHead);
  ASSERT_TRUE(volume.WriteSectors(0, end.data(), 1));
  EXPECT_FALSE(rig.device->Journal().back().accepted);
  EXPECT_TRUE(rig.device->InReadTransaction());
}

TEST(SimulatedLogger, WriteStreamStoresPerKind) {
  SimRig rig;
  UnitVolume volume = rig.NewVolume();
  ASSERT_TRUE(volume.Open("sim0"));
  std::vector<uint8_t> payload(700, 0xAB);
  ASSERT_TRUE(WriteUnitStream(volume, 3, 4, 700, payload.data(), payload.size(), rig.clock));
  ASSERT_TRUE(WriteUnitStream(volume, 2, 100, 700, payload.data(), payload.size(), rig.clock));
  const auto nand = rig.device->Store(3, 4 * 512, 1024);  // kind 3 offsets count sectors
  EXPECT_EQ(nand[0], 0xAB);
  EXPECT_EQ(nand[699], 0xAB);
  EXPECT_EQ(nand[700], 0);  // zero fill of the last chunk
  EXPECT_EQ(rig.device->Store(2, 99, 2)[0], 0xFF);
  EXPECT_EQ(rig.device->Store(2, 99, 2)[1], 0xAB);
  EXPECT_FALSE(rig.device->MemoryChanged());  // other kinds leave unit memory alone

  // Chunks are held until the end block commits them.
  ASSERT_TRUE(volume.WriteSectors(0, MakeBeginWriteBlock(1, 0x10000, 512).data(), 1));
  ASSERT_TRUE(volume.WriteSectors(1, payload.data(), 1));
  EXPECT_EQ(rig.device->Memory()[0x10000], 0xFF);
  EXPECT_TRUE(rig.device->InWriteTransaction());
}

TEST(SimulatedLogger, UnplugAfterOperationsAndReplug) {
  SimRig rig;
  rig.device->UnplugAfter(2);
  UnitVolume volume = rig.NewVolume();
  ASSERT_TRUE(volume.Open("sim0"));
  SectorBlock sector{};
  EXPECT_TRUE(volume.ReadSectors(1, sector.data(), 1));
  EXPECT_TRUE(volume.ReadSectors(1, sector.data(), 1));
  EXPECT_FALSE(volume.ReadSectors(1, sector.data(), 1));
  EXPECT_FALSE(volume.WriteSectors(0, sector.data(), 1));
  EXPECT_FALSE(volume.Lock());
  volume.Close();
  EXPECT_FALSE(volume.Open("sim0"));
  EXPECT_EQ(FindUnitDrive(*rig.traced), "");
  rig.device->Plug();
  EXPECT_EQ(FindUnitDrive(*rig.traced), "sim0");
}

TEST(SimulatedLogger, WorkerAndPollerShareTheDevice) {
  SimRig rig;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    test::FakeClock clock;
    for (int i = 0; i < 20; ++i) {
      UnitVolume volume(rig.traced->NewVolume());
      ASSERT_TRUE(OpenUnitVolume(volume, "sim0"));
      std::vector<uint8_t> out(4096);
      EXPECT_TRUE(ReadUnitMemory(volume, 0x10000, 4096, out.data(), clock));
      volume.Close();
    }
    done = true;
  });
  while (!done) FindUnitDrive(*rig.traced);
  worker.join();
  EXPECT_FALSE(rig.device->InReadTransaction());
}

}  // namespace
}  // namespace yelvane
