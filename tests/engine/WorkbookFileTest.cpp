// Running LibreOffice: a private profile per conversion, a time limit, and
// clear failures; the window-record fix refuses what is not a workbook.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "engine/WorkbookFile.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;
using namespace yelvane::test;

class WorkbookFile : public ::testing::Test {
 protected:
  // A stand-in for soffice that records its arguments and runs `body`.
  std::string FakeOffice(const std::string& body) {
    const std::string path = dir + "/soffice";
    std::ofstream(path) << "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" << dir << "/args.txt'\n"
                        << body << "\n";
    chmod(path.c_str(), 0755);
    return path;
  }
  TempFolder folder;
  const std::string dir = folder.Str();
};

TEST_F(WorkbookFile, EachConversionGetsItsOwnProfileAndAnAnswer) {
  const std::string soffice = FakeOffice("exit 0");  // produces nothing
  std::string error;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(ConvertWithLibreOffice(soffice, dir + "/book.xlsx", "xls", "xls", dir, 30, error),
              "");
    EXPECT_NE(error.find("could not convert"), std::string::npos) << error;
  }
  std::istringstream args(ReadText(dir + "/args.txt"));
  std::vector<std::string> profiles;
  bool headless = false;
  for (std::string line; std::getline(args, line);) {
    if (line.rfind("-env:UserInstallation=file:///", 0) == 0) profiles.push_back(line);
    headless |= line == "--headless";
  }
  EXPECT_TRUE(headless);
  ASSERT_EQ(profiles.size(), 2u);
  EXPECT_NE(profiles[0], profiles[1]);
  EXPECT_FALSE(fs::exists(profiles[0].substr(std::string("-env:UserInstallation=file://").size())));
}

TEST_F(WorkbookFile, AStuckConversionIsStoppedAtItsTimeLimit) {
  const std::string soffice = FakeOffice("sleep 60");
  std::string error;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ConvertWithLibreOffice(soffice, dir + "/book.xlsx", "xls", "xls", dir, 1, error), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_NE(error.find("within 1 seconds"), std::string::npos) << error;
}

TEST_F(WorkbookFile, GridlineFixRefusesWhatIsNotAWorkbook) {
  const std::string path = dir + "/fake.xls";
  std::ofstream(path) << std::string(600, 'x');
  std::string error;
  EXPECT_FALSE(HideGridlinesInXls(path, {true}, error));
  EXPECT_EQ(error, "not a compound document");
  EXPECT_EQ(ReadText(path), std::string(600, 'x'));
  EXPECT_FALSE(HideGridlinesInXls(dir + "/absent.xls", {true}, error));
}

}  // namespace
}  // namespace yelvane
