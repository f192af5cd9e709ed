#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cli/CliUnit.h"
#include "sim/DemoData.h"
#include "sim/SimulatedLogger.h"
#include "unit/CommandExchange.h"

namespace yelvane {
namespace testing_clock {
class NoWait final : public Clock {
 public:
  uint32_t TickMs() override { return 0; }
  void SleepMs(uint32_t) override {}
};
}  // namespace testing_clock
namespace {

namespace fs = std::filesystem;
using testing::ElementsAre;

struct CliRun {
  int code = -1;
  std::string out;
};

class UnitCli : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "yelvane-unitcli-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }

  CliRun Cli(const std::string& args) {
    const std::string command = "cd '" + dir.string() + "' && '" YELVANE_CLI_PATH "' " + args +
                                " 2>'" + (dir / "stderr").string() + "'";
    CliRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
    const int status = ::pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
  }
  std::vector<std::string> Lines(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::vector<uint8_t> Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  void WriteBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  fs::path dir;
};

TEST_F(UnitCli, InfoShowsTheVersionWithExactlyTheTransaction) {
  const CliRun run = Cli("--simulate --trace=trace.txt info");
  EXPECT_EQ(run.out, "Firmware Version: 1.0\n");
  EXPECT_EQ(run.code, 0);
  EXPECT_THAT(Lines(dir / "trace.txt"),
              ElementsAre("open sim0 ok", "read 1 1 ok", "close",  // presence
                          "open sim0 ok", "read 1 1 ok", "close",  // the version read's scan
                          "open sim0 ok", "read 1 1 ok", "lock ok",
                          "write 0 1 ok 42525aa504000100000000f205000800", "read 761 1 ok",
                          "write 0 1 ok 42525aa505000100000000f205000800", "unlock ok", "unlock ok",
                          "close"));
}

TEST_F(UnitCli, InfoWithoutAnAnsweringUnit) {
  CliRun run = Cli("--simulate --sim-plain info");
  EXPECT_EQ(run.out, "Firmware Version: USB Disconnected, Unknown\n");
  EXPECT_EQ(run.code, 1);
  run = Cli("--simulate --sim-fail-sector=761:4 info");
  EXPECT_EQ(run.out, "Firmware Version: \n");
  EXPECT_EQ(run.code, 1);
  run = Cli("--simulate --sim-fail-sector=761:3 info");
  EXPECT_EQ(run.out, "Firmware Version: 1.0\n");
  run = Cli("--simulate --sim-unplug-after=3 info");  // gone after the signature check
  EXPECT_EQ(run.out, "Firmware Version: \n");
}

TEST_F(UnitCli, DevicesGivesAVerdictPerDrive) {
  EXPECT_EQ(Cli("--simulate devices").out, "sim0\tlogger\n");
  EXPECT_EQ(Cli("--simulate --sim-plain devices").out, "sim0\tno signature\n");
  EXPECT_EQ(Cli("--simulate --sim-unplug-after=0 devices").out, "sim0\topen failed\n");
}

TEST_F(UnitCli, ImageIsCreatedReadAndNeverWrittenAsAPlainDrive) {
  CliRun run = Cli("--simulate=mem.bin info");
  EXPECT_EQ(run.out, "Firmware Version: 1.0\n");
  std::vector<uint8_t> bytes = Bytes(dir / "mem.bin");
  ASSERT_EQ(bytes.size(), kLoggerMemorySize);
  EXPECT_EQ(bytes, MakeDemoMemory(DemoOptions{}));  // a new image holds the demo sessions
  bytes[0x5F200] = 3;
  bytes[0x5F201] = 1;
  bytes[512] = 'B';  // make it look almost like a logger to a plain scan
  WriteBytes(dir / "mem.bin", bytes);
  EXPECT_EQ(Cli("--simulate=mem.bin info").out, "Firmware Version: 1.3\n");
  Cli("--simulate=mem.bin --sim-plain info");
  Cli("--simulate=mem.bin --sim-plain devices");
  EXPECT_EQ(Bytes(dir / "mem.bin"), bytes);
}

TEST_F(UnitCli, BadOptionsAreUsageErrorsAndTouchNothing) {
  WriteBytes(dir / "short.bin", std::vector<uint8_t>(1000, 0x42));
  EXPECT_EQ(Cli("--simulate=short.bin info").code, 2);
  EXPECT_EQ(Bytes(dir / "short.bin").size(), 1000u);
  EXPECT_EQ(Cli("--simulate --sim-fail-sector=12:x info").code, 2);
  EXPECT_EQ(Cli("--sim-plain info").code, 2);  // simulator options need --simulate
  const CliRun run = Cli("--simulate --trace=no/such/dir/trace.txt info");
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
}

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

TEST_F(UnitCli, SimulatedMemoryIsSavedBackWhenTheLastEnumeratorGoes) {
  const std::string image = (dir / "kept.bin").string();
  CliContext ctx;
  ctx.simulate = image;
  auto first = MakeDriveEnumerator(ctx);
  auto second = MakeDriveEnumerator(ctx);  // same device, same memory
  ASSERT_EQ(ctx.exitCode, kExitOk);
  const std::vector<uint8_t> created = Bytes(image);
  ASSERT_EQ(created.size(), kLoggerMemorySize);
  {
    UnitVolume volume(second->NewVolume());
    ASSERT_TRUE(OpenUnitVolume(volume, kSimulatedDriveRoot));
    const std::vector<uint8_t> payload(1024, 0x00);
    testing_clock::NoWait clock;
    ASSERT_TRUE(WriteUnitStream(volume, 1, 0x10000, 1024, payload.data(), 1024, clock));
    volume.Close();
  }
  second.reset();
  EXPECT_EQ(Bytes(image), created);  // still in use by the first enumerator
  first.reset();
  const std::vector<uint8_t> saved = Bytes(image);
  ASSERT_EQ(saved.size(), kLoggerMemorySize);
  EXPECT_TRUE(std::all_of(&saved[0x10000], &saved[0x10400], [](uint8_t b) { return b == 0; }));
  EXPECT_FALSE(fs::exists(image + ".tmp"));
}

}  // namespace
}  // namespace yelvane
