#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "support/SimRig.h"
#include "unit/CommandExchange.h"
#include "unit/UnitAccess.h"

namespace yelvane {
namespace {

using test::SimRig;
using testing::ElementsAre;

std::vector<uint8_t> Pattern(std::size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 9));
  return bytes;
}

TEST(CommandBlocks, HeadsParametersAndSectorCounts) {
  const SectorBlock read = MakeBeginReadBlock(0x5F200, 8);
  EXPECT_THAT(
      std::vector<uint8_t>(read.begin(), read.begin() + 18),
      ElementsAre(0x42, 0x52, 0x5A, 0xA5, 4, 0, 1, 0, 0, 0, 0x00, 0xF2, 0x05, 0, 8, 0, 0, 0));
  EXPECT_TRUE(std::all_of(read.begin() + 18, read.end(), [](uint8_t b) { return b == 0; }));

  const SectorBlock write = MakeBeginWriteBlock(3, 0x01020304, 0xA0B0C0D0);
  EXPECT_THAT(std::vector<uint8_t>(write.begin() + 4, write.begin() + 18),
              ElementsAre(2, 0, 3, 0, 0, 0, 4, 3, 2, 1, 0xD0, 0xC0, 0xB0, 0xA0));

  EXPECT_EQ(SectorCount(0), 0u);
  EXPECT_EQ(SectorCount(8), 1u);
  EXPECT_EQ(SectorCount(512), 1u);
  EXPECT_EQ(SectorCount(513), 2u);
  EXPECT_EQ(SectorCount(0x50000), 640u);
}

TEST(CommandBlocks, SetClockBlockFromLocalTime) {
  std::tm t{};
  t.tm_year = 115;  // 2015-06-09 14:05:09, a Tuesday
  t.tm_mon = 5;
  t.tm_mday = 9;
  t.tm_hour = 14;
  t.tm_min = 5;
  t.tm_sec = 9;
  t.tm_wday = 2;
  SectorBlock block = MakeSetClockBlock(t);
  EXPECT_THAT(std::vector<uint8_t>(block.begin(), block.begin() + 13),
              ElementsAre(0x42, 0x52, 0x5A, 0xA5, 1, 0, 15, 6, 9, 14, 5, 9, 2));
  EXPECT_TRUE(std::all_of(block.begin() + 13, block.end(), [](uint8_t b) { return b == 0; }));
  t.tm_year = 100;
  EXPECT_EQ(MakeSetClockBlock(t)[6], 0);
  t.tm_year = 356;  // 2256 wraps to 0
  EXPECT_EQ(MakeSetClockBlock(t)[6], 0);
}

TEST(CommandBlocks, SignatureNeedsTheZeroSixthByte) {
  uint8_t sector[512] = {'B', 'R', 'M', 'S', 'C', 0};
  EXPECT_TRUE(HasUnitSignature(sector));
  sector[5] = '1';
  EXPECT_FALSE(HasUnitSignature(sector));
  sector[5] = 0;
  sector[4] = 'c';
  EXPECT_FALSE(HasUnitSignature(sector));
}

TEST(ReadTransaction, ShapeIsBeginPauseSectorsEnd) {
  SimRig rig(Pattern(kLoggerMemorySize, 3));
  UnitVolume volume = rig.NewVolume();
  ASSERT_TRUE(volume.Open("sim0"));
  rig.trace->Clear();
  std::vector<uint8_t> out(0x600 + 16, 0xEE);
  ASSERT_TRUE(ReadUnitMemory(volume, 0x10000, 0x600, out.data(), rig.clock));
  EXPECT_THAT(rig.trace->Lines(),
              ElementsAre("lock ok",
                          "write 0 1 ok 42525aa504000100000000000100"
                          "0006",
                          "sleep 100", "read 128 1 ok", "read 129 1 ok", "read 130 1 ok",
                          "write 0 1 ok 42525aa505000100000000000100"
                          "0006",
                          "unlock ok"));
  const std::vector<uint8_t> memory = rig.device->Memory();
  EXPECT_EQ(0, std::memcmp(out.data(), &memory[0x10000], 0x600));
  EXPECT_EQ(out[0x600], 0xEE);
  // End block: same 12 parameter bytes as the begin block, accepted by the device.
  const auto journal = rig.device->Journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(0, std::memcmp(&journal[0].block[6], &journal[1].block[6], 12));
  EXPECT_TRUE(journal[1].accepted);
  EXPECT_FALSE(rig.device->InReadTransaction());
}

TEST(ReadTransaction, ShortLengthsCopyOnlyTheRest) {
  SimRig rig(Pattern(kLoggerMemorySize, 9));
  const std::vector<uint8_t> memory = rig.device->Memory();
  UnitVolume volume = rig.NewVolume();
  ASSERT_TRUE(volume.Open("sim0"));

  std::vector<uint8_t> out(600, 0xEE);
  rig.trace->Clear();
  ASSERT_TRUE(ReadUnitMemory(volume, 0x20000, 513, out.data(), rig.clock));
  EXPECT_EQ(0, std::memcmp(out.data(), &memory[0x20000], 513));
  EXPECT_EQ(out[513], 0xEE);
  const auto lines = rig.trace->Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "read 256 1 ok"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "read 257 1 ok"), 1);

  uint8_t version[9];
  std::memset(version, 0xEE, sizeof version);
  rig.trace->Clear();
  ASSERT_TRUE(ReadUnitMemory(volume, 0x5F200, 8, version, rig.clock));
  EXPECT_EQ(0, std::memcmp(version, &memory[0x5F200], 8));
  EXPECT_EQ(version[8], 0xEE);
  EXPECT_EQ(rig.trace->Lines()[3], "read 761 1 ok");
}

TEST(ReadTransaction, ThreeFailuresAreRetriedFourStopWithoutEndBlock) {
  SimRig rig;
  UnitVolume volume = rig.NewVolume();
  ASSERT_TRUE(volume.Open("sim0"));
  uint8_t out[1024];
  rig.device->FailSector(129, 3);
  rig.trace->Clear();
  ASSERT_TRUE(ReadUnitMemory(volume, 0x10000, 1024, out, rig.clock));
  auto lines = rig.trace->Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "read 129 1 fail"), 3);
  EXPECT_EQ(lines[lines.size() - 2].substr(0, 25), "write 0 1 ok 42525aa50500");

  rig.device->FailSector(129, 4);
  rig.trace->Clear();
  EXPECT_FALSE(ReadUnitMemory(volume, 0x10000, 1024, out, rig.clock));
  lines = rig.trace->Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "read 129 1 fail"), 4);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "unlock ok");
  EXPECT_EQ(lines.back(), "close");
  // Only the begin block went out for the abandoned transfer.
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("write", 0) == 0; }),
            1);
}

// Without the begin block the sectors would show the volume, not unit memory.
TEST(ReadTransaction, UnsentBeginBlockIsAFailure) {
  SimRig rig;
  UnitVolume volume = rig.NewVolume();
  ASSERT_TRUE(volume.Open("sim0"));
  rig.device->FailSector(0, 1);
  uint8_t out[512];
  rig.trace->Clear();
  EXPECT_FALSE(ReadUnitMemory(volume, 0x10000, 512, out, rig.clock));
  EXPECT_THAT(rig.trace->Lines(), ElementsAre("lock ok",
                                              "write 0 1 fail 42525aa504000100000000000100"
                                              "0002",
                                              "unlock ok", "close"));
  ASSERT_TRUE(volume.Open("sim0"));
  rig.device->FailSector(0, 1);
  EXPECT_FALSE(WriteUnitStream(volume, 1, 0x10000, 512, out, 512, rig.clock));
  EXPECT_TRUE(rig.device->Journal().empty());
}

TEST(WriteTransaction, ChunksEndBlockAndShortLastChunk) {
  SimRig rig;
  UnitVolume volume = rig.NewVolume();
  ASSERT_TRUE(volume.Open("sim0"));
  const std::vector<uint8_t> payload = Pattern(1000, 1);
  rig.trace->Clear();
  ASSERT_TRUE(WriteUnitStream(volume, 1, 0x10000, 1000, payload.data(), payload.size(), rig.clock));
  const auto lines = rig.trace->Lines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "lock ok");
  EXPECT_EQ(lines[1], "write 0 1 ok 42525aa502000100000000000100e803");
  EXPECT_EQ(lines[2], "sleep 100");
  EXPECT_EQ(lines[3].substr(0, 13), "write 1 1 ok ");
  EXPECT_EQ(lines[4].substr(0, 13), "write 1 1 ok ");
  EXPECT_EQ(lines[5].substr(0, 25), "write 0 1 ok 42525aa50300");
  EXPECT_EQ(lines[6], "unlock ok");

  const auto memory = rig.device->Memory();
  EXPECT_EQ(0, std::memcmp(&memory[0x10000], payload.data(), 1000));
  EXPECT_TRUE(std::all_of(&memory[0x10000 + 1000], &memory[0x10000 + 1024],
                          [](uint8_t b) { return b == 0; }));
  // The end block keeps the rest of the last chunk after its head.
  const auto journal = rig.device->Journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(0, std::memcmp(&journal[1].block[6], &payload[512 + 6], 1000 - 512 - 6));
  EXPECT_TRUE(journal[1].accepted);
}

TEST(WriteTransaction, OneBytePayloadAndEmptyPayload) {
  SimRig rig;
  UnitVolume volume = rig.NewVolume();
  ASSERT_TRUE(volume.Open("sim0"));
  const uint8_t one = 0x5A;
  rig.trace->Clear();
  ASSERT_TRUE(WriteUnitStream(volume, 2, 0, 1, &one, 1, rig.clock));
  EXPECT_EQ(rig.trace->Lines()[3], "write 1 1 ok 5a000000000000000000000000000000");
  const auto store = rig.device->Store(2, 0, 512);
  EXPECT_EQ(store[0], 0x5A);
  EXPECT_TRUE(std::all_of(store.begin() + 1, store.end(), [](uint8_t b) { return b == 0; }));

  rig.trace->Clear();
  ASSERT_TRUE(WriteUnitStream(volume, 1, 0x10000, 0, nullptr, 0, rig.clock));
  EXPECT_EQ(rig.trace->Lines().size(), 5u);  // lock, begin, sleep, end, unlock
}

// The end block commits the stream: a unit that never got it took nothing.
TEST(WriteTransaction, UnwrittenEndBlockIsAFailure) {
  SimRig rig;
  const auto before = rig.device->Memory();
  UnitVolume volume = rig.NewVolume();
  ASSERT_TRUE(volume.Open("sim0"));
  const uint8_t one = 0x5A;
  rig.device->UnplugAfter(2);  // the begin block and the chunk
  EXPECT_FALSE(WriteUnitStream(volume, 1, 0x10000, 1, &one, 1, rig.clock));
  const auto lines = rig.trace->Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3].substr(0, 27), "write 0 1 fail 42525aa50300");
  EXPECT_EQ(lines[lines.size() - 2], "unlock ok");
  EXPECT_EQ(lines.back(), "close");
  EXPECT_EQ(rig.device->Memory(), before);
}

TEST(WriteTransaction, GivenUpChunkStopsWithoutEndBlock) {
  SimRig rig;
  const auto before = rig.device->Memory();
  UnitVolume volume = rig.NewVolume();
  ASSERT_TRUE(volume.Open("sim0"));
  const std::vector<uint8_t> payload = Pattern(2048, 5);
  // Three failures in total are absorbed by the chunk that meets them.
  rig.device->FailSector(1, 3);
  ASSERT_TRUE(WriteUnitStream(volume, 1, 0x10000, 2048, payload.data(), 2048, rig.clock));
  EXPECT_EQ(0, std::memcmp(&rig.device->Memory()[0x10000], payload.data(), 2048));

  SimRig rig2;
  UnitVolume volume2 = rig2.NewVolume();
  ASSERT_TRUE(volume2.Open("sim0"));
  rig2.device->FailSector(1, 4);
  rig2.trace->Clear();
  EXPECT_FALSE(WriteUnitStream(volume2, 1, 0x10000, 2048, payload.data(), 2048, rig2.clock));
  const auto lines = rig2.trace->Lines();
  EXPECT_EQ(lines[lines.size() - 2], "unlock ok");
  EXPECT_EQ(lines.back(), "close");
  EXPECT_EQ(rig2.device->Journal().size(), 1u);
  EXPECT_EQ(rig2.device->Memory(), before);  // nothing committed
}

TEST(SetClock, OneBlockUnderLockWithoutPause) {
  SimRig rig;
  UnitVolume volume = rig.NewVolume();
  ASSERT_TRUE(volume.Open("sim0"));
  std::tm t{};
  t.tm_year = 126;
  t.tm_mon = 11;
  t.tm_mday = 8;
  t.tm_hour = 23;
  t.tm_min = 59;
  t.tm_sec = 30;
  t.tm_wday = 2;
  rig.trace->Clear();
  EXPECT_TRUE(SendClock(volume, t));
  EXPECT_THAT(rig.trace->Lines(),
              ElementsAre("lock ok", "write 0 1 ok 42525aa501001a0c08173b1e02000000", "unlock ok"));
  EXPECT_EQ(rig.device->LastClock(), (ClockSetting{26, 12, 8, 23, 59, 30, 2}));
}

}  // namespace
}  // namespace yelvane
