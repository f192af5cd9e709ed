// Running LibreOffice: a private profile per conversion, a time limit, and
// clear failures; the window-record fix refuses what is not a workbook.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

#include "common/TempFolder.h"
#include "engine/LibreOffice.h"
#include "engine/XlsGridlines.h"
#include "support/Files.h"

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

// Every LibreOffice process runs within the memory limit, and a conversion
// that ends badly says how.
TEST_F(WorkbookFile, TheConversionRunsWithinItsMemoryLimitAndSaysHowItEnded) {
  const struct {
    const char* body;
    int limitMB;
    const char* error;
  } cases[] = {
      {"ulimit -v > \"$(dirname \"$0\")/limit.txt\"; kill -ABRT $$", 1900,
       "(signal 6); it may have needed more than its memory limit of 1900 MB"},
      {"ulimit -v > \"$(dirname \"$0\")/limit.txt\"; exit 81", 300,
       "(exit status 81); it may have needed more than its memory limit of 300 MB"},
      {"ulimit -v > \"$(dirname \"$0\")/limit.txt\"; exit 81", 0,
       "could not convert the workbook (exit status 81)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    const std::string soffice = FakeOffice(c.body);
    std::string error;
    EXPECT_EQ(ConvertWithLibreOffice(soffice, dir + "/book.xlsx", "xls", "xls", dir, 30, error,
                                     c.limitMB),
              "");
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    const std::string limit = ReadText(dir + "/limit.txt");
    EXPECT_EQ(limit, c.limitMB ? std::to_string(c.limitMB * 1024) + "\n" : "unlimited\n");
  }
}

// tests/data/three_sheets.xls: three sheets as LibreOffice's 97-2003 export
// writes them, each showing its gridlines.
TEST_F(WorkbookFile, GridlineFixClearsTheFlagOfTheHiddenSheetsAndNothingElse) {
  const std::vector<uint8_t> original = ReadBytes(YELVANE_TEST_DATA_DIR "/three_sheets.xls");
  const std::string path = dir + "/book.xls";
  // Where each sheet keeps its flag, in sheet order.
  auto changedBytes = [&](const std::vector<bool>& hidden) {
    WriteBytes(path, original);
    std::string error;
    EXPECT_TRUE(HideGridlinesInXls(path, hidden, error)) << error;
    const std::vector<uint8_t> patched = ReadBytes(path);
    EXPECT_EQ(patched.size(), original.size());
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < std::min(patched.size(), original.size()); ++i) {
      if (patched[i] == original[i]) continue;
      EXPECT_EQ(patched[i], original[i] & ~0x02) << "byte " << i;
      changed.push_back(i);
    }
    return changed;
  };
  const std::vector<std::size_t> flags = changedBytes({true, true, true});
  ASSERT_EQ(flags.size(), 3u);
  EXPECT_EQ(changedBytes({false, true}), std::vector<std::size_t>{flags[1]});
  EXPECT_EQ(changedBytes({true, false, true, true}),
            (std::vector<std::size_t>{flags[0], flags[2]}));
  EXPECT_TRUE(changedBytes({}).empty());
}

TEST_F(WorkbookFile, GridlineFixRefusesWhatIsNotAWorkbook) {
  const std::string path = dir + "/fake.xls";
  std::ofstream(path) << std::string(600, 'x');
  std::string error;
  EXPECT_FALSE(HideGridlinesInXls(path, {true}, error));
  EXPECT_EQ(error, "not a compound document");
  EXPECT_EQ(ReadText(path), std::string(600, 'x'));
  EXPECT_FALSE(HideGridlinesInXls(dir + "/absent.xls", {true}, error));

  // A damaged file whose sector chains loop (here the allocation table's
  // chain points back at itself) is refused as it is, not followed for ever.
  std::vector<uint8_t> looped(1024, 0);
  const uint8_t signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::copy(std::begin(signature), std::end(signature), looped.begin());
  looped[0x1E] = 9;  // 512-byte sectors
  looped[0x20] = 6;
  std::fill(looped.begin() + 0x4C, looped.begin() + 512, 0xFF);  // no FAT sector in the header
  WriteBytes(path, looped);  // the chain starts at sector 0, whose last entry is 0 again
  EXPECT_FALSE(HideGridlinesInXls(path, {true}, error));
  EXPECT_EQ(error, "no workbook stream");
  EXPECT_EQ(ReadBytes(path), looped);
}

}  // namespace
}  // namespace yelvane
