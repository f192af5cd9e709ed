// yelvane-cli report with a workbook path: the saved file, the chart sheets,
// the exit codes, and nothing written when the format cannot be produced.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/TempFolder.h"
#include "sim/DemoData.h"
#include "support/Files.h"
#include "support/Tool.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;
using test::ReadText;

class WorkbookCli : public ::testing::Test {
 protected:
  void SetUp() override {
    DemoOptions demo;
    demo.sessions = 4;
    test::WriteBytes(dir / "demo.bin", DumpSlice(MakeDemoMemory(demo)));
  }

  // Runs the tool in the test folder with `env` ("NAME=value" or nothing).
  int Run(const std::string& env, const std::vector<std::string>& args) {
    test::ToolInput input;
    if (!env.empty()) input.env.push_back(env);
    const test::ToolRun run = test::RunTool(dir, args, input);
    err = run.err;
    return run.code;
  }
  std::vector<std::string> Files() { return test::FileNames(dir); }

  TempFolder folder;
  const fs::path dir = folder.Path();
  std::string err;
};

TEST_F(WorkbookCli, WritesTheWorkbookWithAndWithoutCharts) {
  ASSERT_EQ(Run("", {"report", "demo.bin", "-o", "Rex.xlsx", "--pet-name", "Rex"}), 0) << err;
  EXPECT_NE(err.find("Saved the workbook report of 4 sessions to \"Rex.xlsx\"."), std::string::npos)
      << err;
  const std::string withCharts = ReadText(dir / "Rex.xlsx");
  EXPECT_EQ(withCharts.substr(0, 2), "PK");
  EXPECT_NE(withCharts.find("xl/charts/chart4.xml"), std::string::npos);

  ASSERT_EQ(Run("", {"report", "demo.bin", "-o", "plain.XLSX", "--no-charts"}), 0) << err;
  const std::string plain = ReadText(dir / "plain.XLSX");
  EXPECT_EQ(plain.find("xl/charts/"), std::string::npos);
  EXPECT_EQ(plain.find("xl/worksheets/sheet2.xml"), std::string::npos);
  EXPECT_EQ(Files(), (std::vector<std::string>{"Rex.xlsx", "demo.bin", "plain.XLSX"}));
}

TEST_F(WorkbookCli, XlsWithoutLibreOfficeSaysSoAndWritesNothing) {
  EXPECT_EQ(Run("YELVANE_SOFFICE=/nonexistent/soffice", {"report", "demo.bin", "-o", "Rex.xls"}),
            1);
  EXPECT_NE(err.find("LibreOffice is not installed"), std::string::npos) << err;
  EXPECT_NE(err.find(".xlsx"), std::string::npos) << err;
  EXPECT_EQ(err.find("Reported the flash data"), std::string::npos) << err;  // before any work
  EXPECT_EQ(Files(), (std::vector<std::string>{"demo.bin"}));
}

TEST_F(WorkbookCli, FailedSaveKeepsTheOldFileAndFails) {
  std::ofstream(dir / "old.xls") << "old report";
  // "Installed", but every conversion fails.
  EXPECT_EQ(Run("YELVANE_SOFFICE=/bin/false", {"report", "demo.bin", "-o", "old.xls"}), 1);
  EXPECT_NE(err.find("Error: IDispatch::Invoke(\"SaveAs\"="), std::string::npos) << err;
  EXPECT_NE(err.find("failed w/err 0x800a03ec"), std::string::npos) << err;
  EXPECT_EQ(ReadText(dir / "old.xls"), "old report");
  EXPECT_EQ(Files(), (std::vector<std::string>{"demo.bin", "old.xls"}));

  EXPECT_EQ(Run("", {"report", "demo.bin", "-o", "old.xls/inside.xlsx"}), 1);
  EXPECT_NE(err.find("was not saved"), std::string::npos) << err;
  EXPECT_EQ(Run("", {"report", "absent.bin", "-o", "new.xlsx"}), 1);
  EXPECT_EQ(Files(), (std::vector<std::string>{"demo.bin", "old.xls"}));
}

}  // namespace
}  // namespace yelvane
