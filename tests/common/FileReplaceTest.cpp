#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/FileReplace.h"
#include "common/TempFolder.h"
#include "support/Files.h"

namespace yelvane {
namespace {

using test::ReadText;

TEST(WriteFileReplacing, WritesAndReplacesWithoutLeftovers) {
  TempFolder dir;
  const auto path = dir.Path() / "report.txt";
  std::string error;
  ASSERT_TRUE(WriteFileReplacing(path.string(), "first", error)) << error;
  ASSERT_TRUE(WriteFileReplacing(path.string(), "second\r\n", error)) << error;
  EXPECT_EQ(ReadText(path), "second\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(WriteFileReplacing, FailureSaysWhy) {
  TempFolder dir;
  std::string error;
  EXPECT_FALSE(WriteFileReplacing((dir.Path() / "missing" / "r.txt").string(), "x", error));
  EXPECT_NE(error.find("missing/r.txt"), std::string::npos) << error;
  EXPECT_FALSE(WriteFileReplacing(dir.Path().string(), "x", error));
  EXPECT_FALSE(error.empty());
}

TEST(WriteFileReplacing, FailureNeverDestroysTheExistingFile) {
  TempFolder dir;
  std::string error;
  // The temporary file's longer name cannot be created beside this one.
  const auto longName = dir.Path() / (std::string(250, 'r') + ".txt");
  std::ofstream(longName) << "keep me";
  EXPECT_FALSE(WriteFileReplacing(longName.string(), "new", error));
  EXPECT_EQ(ReadText(longName), "keep me");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(WriteFileReplacing, ReadOnlyFolderKeepsTheExistingFile) {
  TempFolder dir;
  std::string error;
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  const auto locked = dir.Path() / "locked";
  std::filesystem::create_directory(locked);
  std::ofstream(locked / "r.txt") << "keep me";
  chmod(locked.c_str(), 0555);
  EXPECT_FALSE(WriteFileReplacing((locked / "r.txt").string(), "new", error));
  chmod(locked.c_str(), 0755);
  EXPECT_EQ(ReadText(locked / "r.txt"), "keep me");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(locked), {}), 1);
}

}  // namespace
}  // namespace yelvane
