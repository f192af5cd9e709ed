// yelvane-cli report with a workbook path: the saved file, the chart sheets,
// the exit codes, and nothing written when the format cannot be produced.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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

// Past 256 sessions a .xls first says what it leaves out, and only --yes goes on.
TEST_F(WorkbookCli, XlsOfMoreThan256SessionsWarnsFirstAndNeedsYes) {
  DemoOptions demo;
  demo.sessions = 300;
  test::WriteBytes(dir / "big.bin", DumpSlice(MakeDemoMemory(demo)));
  const char* warning =
      "Warning: The 97-2003 format (.xls) holds at most 256 session sheets: sessions 1 to 256 get "
      "their sheet and chart, the other 44 only their row on the report sheet. An .xlsx workbook "
      "holds the sheets of all 300 sessions.\n";
  const struct {
    std::vector<std::string> args;
    const char* then;  // what follows the warning; null: no warning
  } cases[] = {
      {{"report", "big.bin", "-o", "big.xls"},
       "Nothing was written to \"big.xls\": add --yes to write it with 256 session sheets, or "
       "choose an .xlsx name."},
      // /bin/false converts nothing: the failed SaveAs shows that it went on.
      {{"report", "big.bin", "-o", "big.xls", "--yes"}, "Error: IDispatch::Invoke(\"SaveAs\"="},
      {{"report", "big.bin", "-o", "big.xls", "--no-charts"}, nullptr},
      {{"report", "demo.bin", "-o", "small.xls"}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    EXPECT_EQ(Run("YELVANE_SOFFICE=/bin/false", c.args), 1);
    const std::size_t at = err.find(warning);
    if (!c.then) {
      EXPECT_EQ(at, std::string::npos) << err;
      EXPECT_NE(err.find("Error: IDispatch::Invoke(\"SaveAs\"="), std::string::npos) << err;
      continue;
    }
    ASSERT_NE(at, std::string::npos) << err;
    EXPECT_NE(err.find(c.then, at + std::strlen(warning)), std::string::npos) << err;
    // Without --yes nothing is built.
    EXPECT_EQ(err.find("SaveAs") == std::string::npos, c.args.back() != "--yes") << err;
  }
  EXPECT_EQ(Files(), (std::vector<std::string>{"big.bin", "demo.bin"}));
}

}  // namespace
}  // namespace yelvane
