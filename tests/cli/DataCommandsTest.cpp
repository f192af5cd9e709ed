#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "activity/FlashReport.h"
#include "activity/SessionRecord.h"
#include "common/TempFolder.h"
#include "report/TextReport.h"
#include "sim/DemoData.h"
#include "support/Files.h"
#include "support/Golden.h"
#include "support/TestDump.h"
#include "support/Tool.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;
using test::ExpectGolden;
using test::ReadText;
using test::RunTool;
using test::SampleRecord;
using test::TestDump;
using test::ToolRun;

class DataCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    dump_ = DumpSlice(MakeDemoMemory(DemoOptions{}));
    test::WriteBytes(dir_.Path() / "demo.bin", dump_);
  }
  TempFolder dir_;
  std::vector<uint8_t> dump_;
};

TEST_F(DataCommands, DecodeFormatsMatchTheirGoldenFiles) {
  const ToolRun tsv = RunTool(dir_.Path(), {"decode", "demo.bin", "--format", "tsv"});
  EXPECT_EQ(tsv.code, 0);
  EXPECT_EQ(tsv.LastErrLine(), "Reported the flash data successfully!");
  ExpectGolden(tsv.out, "decode_demo.tsv");
  std::istringstream lines(tsv.out);
  std::string first;
  std::getline(lines, first);
  EXPECT_EQ(std::count(first.begin(), first.end(), '\t'), 10);

  const ToolRun table = RunTool(dir_.Path(), {"decode", "demo.bin"});
  EXPECT_EQ(table.code, 0);
  ExpectGolden(table.out, "decode_demo_table.txt");
  const ToolRun json = RunTool(dir_.Path(), {"decode", "demo.bin", "--format", "json"});
  EXPECT_EQ(json.code, 0);
  ExpectGolden(json.out, "decode_demo.json");
}

TEST_F(DataCommands, OutputThatCannotBeWrittenIsAFailure) {
  const ToolRun run =
      RunTool(dir_.Path(), {"decode", "demo.bin", "--format", "tsv"}, {.stdoutIsFull = true});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("the output could not be written"), std::string::npos);
}

TEST_F(DataCommands, DecodeExitCodes) {
  const ToolRun missing = RunTool(dir_.Path(), {"decode", "absent.bin"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.err, "File Open Error!\n");
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(RunTool(dir_.Path(), {"decode"}).code, 2);
  EXPECT_EQ(RunTool(dir_.Path(), {"decode", "demo.bin", "--format", "xml"}).code, 2);

  // A range error prints the rows before it and exits 1; the message is the last line.
  TestDump bad;
  bad.SetBark(0, SampleRecord());
  SessionRecord r = SampleRecord();
  r.endHour = 24;
  bad.SetActivity(1, r);
  bad.WriteTo(dir_.Path() / "bad.bin");
  const ToolRun run = RunTool(dir_.Path(), {"decode", "bad.bin", "--format", "tsv"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.LastErrLine(), "Hour(24) out of range for the End Time!");
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
}

TEST_F(DataCommands, DecodeWarnsAboutAWholeMemoryImage) {
  // The image starts 0x10000 bytes before the dump: decoding it as a dump
  // numbers the sessions from 2049, which a user must be told about.
  ASSERT_EQ(RunTool(dir_.Path(), {"simulate", "create", "image.bin"}).code, 0);
  const ToolRun run = RunTool(dir_.Path(), {"decode", "image.bin", "--format", "tsv"});
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.err.find("Warning: the dump has 393216 bytes instead of 327680"),
            std::string::npos);
  EXPECT_NE(run.err.find("simulate create --dump"), std::string::npos);
  EXPECT_EQ(run.LastErrLine(), kFlashReportSuccess);
  const ToolRun dump = RunTool(dir_.Path(), {"decode", "demo.bin", "--format", "tsv"});
  EXPECT_EQ(dump.err, std::string(kFlashReportSuccess) + "\n");
}

TEST_F(DataCommands, DecodeOfAnErasedDumpPrintsNoRows) {
  ASSERT_EQ(RunTool(dir_.Path(), {"simulate", "create", "erased.bin", "--erased", "--dump"}).code,
            0);
  const ToolRun run = RunTool(dir_.Path(), {"decode", "erased.bin", "--format", "tsv"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Reported the flash data successfully!\n");
  EXPECT_EQ(RunTool(dir_.Path(), {"decode", "erased.bin", "--format", "json"}).out, "[]\n");
}

TEST_F(DataCommands, ReportIsTheTextReportOfTheWalkedTable) {
  const ToolRun run =
      RunTool(dir_.Path(), {"report", "demo.bin", "-o", "pet.txt", "--pet-name", "Bj\xc3\xb8rn",
                            "--pet-owner", "Ann Lee", "--pet-location", "Oslo"});
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string bytes = ReadText(dir_.Path() / "pet.txt");
  ExpectGolden(bytes, "text_report_demo.txt");

  MemorySessionTable table;
  NullLog log;
  NullProgress progress;
  ReportFlashDataFromMemory(dump_.data(), dump_.size(), table, log, progress);
  EXPECT_EQ(bytes, BuildTextReport(table, PetInfo{"Bj\xc3\xb8rn", "Ann Lee", "Oslo"}));
}

TEST_F(DataCommands, ReportRefusesOtherKindsAndKeepsFilesOnFailure) {
  const ToolRun xlsx = RunTool(dir_.Path(), {"report", "demo.bin", "-o", "pet.ods"});
  EXPECT_EQ(xlsx.code, 2);
  EXPECT_NE(xlsx.err.find("pet.ods"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_.Path() / "pet.ods"));

  const ToolRun noFolder = RunTool(dir_.Path(), {"report", "demo.bin", "-o", "no/such/pet.txt"});
  EXPECT_EQ(noFolder.code, 1);
  EXPECT_NE(noFolder.LastErrLine().find("no/such/pet.txt"), std::string::npos);

  std::ofstream(dir_.Path() / "old.txt") << "old report";
  const ToolRun noDump = RunTool(dir_.Path(), {"report", "absent.bin", "-o", "old.txt"});
  EXPECT_EQ(noDump.code, 1);
  EXPECT_EQ(ReadText(dir_.Path() / "old.txt"), "old report");
}

TEST_F(DataCommands, SeriesPrintsLabelsAndCounts) {
  // Row 3 of the demo crosses midnight.
  const ToolRun run = RunTool(dir_.Path(), {"series", "demo.bin", "3"});
  ASSERT_EQ(run.code, 0) << run.err;
  ExpectGolden(run.out, "series_demo_3.tsv");
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "10:24PM\t0\t0");
  EXPECT_NE(run.out.find("\n00:24AM\t"), std::string::npos);

  EXPECT_EQ(RunTool(dir_.Path(), {"series", "demo.bin", "22"}).code, 1);
  EXPECT_EQ(RunTool(dir_.Path(), {"series", "demo.bin", "0"}).code, 2);
  EXPECT_EQ(RunTool(dir_.Path(), {"series", "demo.bin", "x"}).code, 2);
}

TEST_F(DataCommands, CsvOfDecodeReportAndSeriesMatchesGoldenFiles) {
  const ToolRun decode = RunTool(dir_.Path(), {"decode", "demo.bin", "--format", "csv"});
  ASSERT_EQ(decode.code, 0) << decode.err;
  ExpectGolden(decode.out, "decode_demo.csv");
  // The report file holds the same bytes, whatever the pet information.
  const ToolRun report =
      RunTool(dir_.Path(), {"report", "demo.bin", "-o", "pet.csv", "--pet-name", "Rex"});
  ASSERT_EQ(report.code, 0) << report.err;
  EXPECT_EQ(ReadText(dir_.Path() / "pet.csv"), decode.out);
  // Row 3 crosses midnight.
  const ToolRun series = RunTool(dir_.Path(), {"series", "demo.bin", "3", "--format", "csv"});
  ASSERT_EQ(series.code, 0) << series.err;
  ExpectGolden(series.out, "series_demo_3.csv");
  EXPECT_EQ(RunTool(dir_.Path(), {"series", "demo.bin", "3", "--format", "json"}).code, 2);
}

TEST_F(DataCommands, SimulateCreateWritesImagesAndDumps) {
  ASSERT_EQ(RunTool(dir_.Path(), {"simulate", "create", "image.bin"}).code, 0);
  ASSERT_EQ(RunTool(dir_.Path(), {"simulate", "create", "dump.bin", "--dump"}).code, 0);
  const std::string image = ReadText(dir_.Path() / "image.bin");
  const std::string dump = ReadText(dir_.Path() / "dump.bin");
  ASSERT_EQ(image.size(), 0x60000u);
  EXPECT_EQ(dump, image.substr(0x10000));
  EXPECT_EQ(dump, std::string(dump_.begin(), dump_.end()));

  ASSERT_EQ(RunTool(dir_.Path(), {"simulate", "create", "erased.bin", "--erased"}).code, 0);
  std::string erased = ReadText(dir_.Path() / "erased.bin");
  ASSERT_EQ(erased.size(), 0x60000u);
  EXPECT_EQ(erased.substr(0x5F200, 2), std::string("\x00\x01", 2));
  erased[0x5F200] = erased[0x5F201] = '\xFF';
  EXPECT_EQ(erased, std::string(0x60000, '\xFF'));

  ASSERT_EQ(RunTool(dir_.Path(),
                    {"simulate", "create", "s.bin", "--sessions", "5", "--seed", "9", "--dump"})
                .code,
            0);
  const ToolRun five = RunTool(dir_.Path(), {"decode", "s.bin", "--format", "tsv"});
  EXPECT_EQ(std::count(five.out.begin(), five.out.end(), '\n'), 5);
  EXPECT_EQ(RunTool(dir_.Path(), {"simulate", "create", "t.bin", "--sessions", "3001"}).code, 2);
  EXPECT_EQ(RunTool(dir_.Path(), {"simulate", "create", "no/such/t.bin"}).code, 1);
  EXPECT_EQ(RunTool(dir_.Path(), {"simulate"}).code, 2);
}

}  // namespace
}  // namespace yelvane
