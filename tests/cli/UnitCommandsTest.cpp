#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "common/TempFolder.h"
#include "sim/DemoData.h"
#include "sim/SimulatedLogger.h"
#include "support/Files.h"
#include "support/Tool.h"
#include "unit/CommandExchange.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::RunTool;
using test::ToolRun;
using test::WriteBytes;
using testing::ElementsAre;

class UnitCli : public ::testing::Test {
 protected:
  std::vector<std::string> TraceLines() { return test::Lines(test::ReadText(dir / "trace.txt")); }

  TempFolder folder;
  const fs::path dir = folder.Path();
};

TEST_F(UnitCli, InfoShowsTheVersionWithExactlyTheTransaction) {
  const ToolRun run = RunTool(dir, {"--simulate", "--trace=trace.txt", "info"});
  EXPECT_EQ(run.out, "Firmware Version: 1.0\n");
  EXPECT_EQ(run.code, 0);
  EXPECT_THAT(TraceLines(),
              ElementsAre("open sim0 ok", "read 1 1 ok", "close",  // presence
                          "open sim0 ok", "read 1 1 ok", "close",  // the version read's scan
                          "open sim0 ok", "read 1 1 ok", "lock ok",
                          "write 0 1 ok 42525aa504000100000000f205000800", "read 761 1 ok",
                          "write 0 1 ok 42525aa505000100000000f205000800", "unlock ok", "unlock ok",
                          "close"));
}

TEST_F(UnitCli, InfoWithoutAnAnsweringUnit) {
  ToolRun run = RunTool(dir, {"--simulate", "--sim-plain", "info"});
  EXPECT_EQ(run.out, "Firmware Version: USB Disconnected, Unknown\n");
  EXPECT_EQ(run.code, 1);
  // A unit that does not answer the version read: the reason, not an empty version.
  run = RunTool(dir, {"--simulate", "--sim-fail-sector=761:4", "info"});
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Cannot read the firmware version from sim0: the logger did not answer.\n");
  EXPECT_EQ(run.code, 1);
  run = RunTool(dir, {"--simulate", "--sim-fail-sector=761:3", "info"});
  EXPECT_EQ(run.out, "Firmware Version: 1.0\n");
  run = RunTool(dir,
                {"--simulate", "--sim-unplug-after=3", "info"});  // gone after the signature check
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.code, 1);
}

TEST_F(UnitCli, DevicesGivesAVerdictPerDrive) {
  EXPECT_EQ(RunTool(dir, {"--simulate", "devices"}).out, "sim0\tlogger\n");
  EXPECT_EQ(RunTool(dir, {"--simulate", "--sim-plain", "devices"}).out, "sim0\tno signature\n");
  EXPECT_EQ(RunTool(dir, {"--simulate", "--sim-unplug-after=0", "devices"}).out,
            "sim0\topen failed\n");
}

TEST_F(UnitCli, ImageIsCreatedReadAndNeverWrittenAsAPlainDrive) {
  ToolRun run = RunTool(dir, {"--simulate=mem.bin", "info"});
  EXPECT_EQ(run.out, "Firmware Version: 1.0\n");
  std::vector<uint8_t> bytes = ReadBytes(dir / "mem.bin");
  ASSERT_EQ(bytes.size(), kLoggerMemorySize);
  EXPECT_EQ(bytes, MakeDemoMemory(DemoOptions{}));  // a new image holds the demo sessions
  bytes[0x5F200] = 3;
  bytes[0x5F201] = 1;
  bytes[512] = 'B';  // make it look almost like a logger to a plain scan
  WriteBytes(dir / "mem.bin", bytes);
  EXPECT_EQ(RunTool(dir, {"--simulate=mem.bin", "info"}).out, "Firmware Version: 1.3\n");
  RunTool(dir, {"--simulate=mem.bin", "--sim-plain", "info"});
  RunTool(dir, {"--simulate=mem.bin", "--sim-plain", "devices"});
  EXPECT_EQ(ReadBytes(dir / "mem.bin"), bytes);
}

TEST_F(UnitCli, BadOptionsAreUsageErrorsAndTouchNothing) {
  WriteBytes(dir / "short.bin", std::vector<uint8_t>(1000, 0x42));
  EXPECT_EQ(RunTool(dir, {"--simulate=short.bin", "info"}).code, 2);
  EXPECT_EQ(ReadBytes(dir / "short.bin").size(), 1000u);
  EXPECT_EQ(RunTool(dir, {"--simulate", "--sim-fail-sector=12:x", "info"}).code, 2);
  EXPECT_EQ(RunTool(dir, {"--sim-plain", "info"}).code, 2);  // simulator options need --simulate
  const ToolRun run = RunTool(dir, {"--simulate", "--trace=no/such/dir/trace.txt", "info"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
}

}  // namespace
}  // namespace yelvane
