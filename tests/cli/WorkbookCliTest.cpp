// yelvane-cli report with a workbook path: the saved file, the chart sheets,
// the exit codes, and nothing written when the format cannot be produced.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/DemoData.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class WorkbookCli : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "yelvane-cli-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    DemoOptions demo;
    demo.sessions = 4;
    const std::vector<uint8_t> dump = DumpSlice(MakeDemoMemory(demo));
    std::ofstream(dir / "demo.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(dump.data()),
               static_cast<std::streamsize>(dump.size()));
  }
  void TearDown() override { fs::remove_all(dir); }

  int Run(const std::string& env, const std::vector<std::string>& args) {
    std::string command = "cd '" + dir.string() + "' && " + env + " '" + YELVANE_CLI_PATH + "'";
    for (const auto& a : args) command += " '" + a + "'";
    command += " >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    err = Read(dir / "stderr.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
      const std::string name = e.path().filename().string();
      if (name != "stdout.txt" && name != "stderr.txt") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir;
  std::string err;
};

TEST_F(WorkbookCli, WritesTheWorkbookWithAndWithoutCharts) {
  ASSERT_EQ(Run("", {"report", "demo.bin", "-o", "Rex.xlsx", "--pet-name", "Rex"}), 0) << err;
  EXPECT_NE(err.find("Saved the workbook report of 4 sessions to \"Rex.xlsx\"."), std::string::npos)
      << err;
  const std::string withCharts = Read(dir / "Rex.xlsx");
  EXPECT_EQ(withCharts.substr(0, 2), "PK");
  EXPECT_NE(withCharts.find("xl/charts/chart4.xml"), std::string::npos);

  ASSERT_EQ(Run("", {"report", "demo.bin", "-o", "plain.XLSX", "--no-charts"}), 0) << err;
  const std::string plain = Read(dir / "plain.XLSX");
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
  EXPECT_EQ(Read(dir / "old.xls"), "old report");
  EXPECT_EQ(Files(), (std::vector<std::string>{"demo.bin", "old.xls"}));

  EXPECT_EQ(Run("", {"report", "demo.bin", "-o", "old.xls/inside.xlsx"}), 1);
  EXPECT_NE(err.find("was not saved"), std::string::npos) << err;
  EXPECT_EQ(Run("", {"report", "absent.bin", "-o", "new.xlsx"}), 1);
  EXPECT_EQ(Files(), (std::vector<std::string>{"demo.bin", "old.xls"}));
}

}  // namespace
}  // namespace yelvane
