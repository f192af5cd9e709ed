#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <thread>

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
  const auto path = dir.Path() / "r.txt";
  std::ofstream(path) << "keep me";
  // A write that fails half-way (here: past the file size limit).
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  const bool written = WriteFileReplacing(path.string(), std::string(10000, 'x'), error);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_NE(error.find("r.txt"), std::string::npos) << error;
  EXPECT_EQ(ReadText(path), "keep me");
  EXPECT_EQ(test::FileNames(dir.Path()), std::vector<std::string>{"r.txt"});
  // A file its owner made read-only is not replaced either.
  chmod(path.c_str(), 0444);
  if (geteuid() != 0) {
    EXPECT_FALSE(WriteFileReplacing(path.string(), "new", error));
    EXPECT_EQ(ReadText(path), "keep me");
  }
}

TEST(WriteFileReplacing, KeepsWhatTheTargetWas) {
  namespace fs = std::filesystem;
  TempFolder dir;
  std::string error;
  // Permissions: a private report stays private; a new file gets the umask's.
  const auto secret = dir.Path() / "secret.txt";
  std::ofstream(secret) << "old";
  chmod(secret.c_str(), 0600);
  ASSERT_TRUE(WriteFileReplacing(secret.string(), "owner's address", error)) << error;
  struct stat st {};
  stat(secret.c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  const mode_t mask = umask(022);
  umask(mask);
  ASSERT_TRUE(WriteFileReplacing((dir.Path() / "new.txt").string(), "n", error)) << error;
  stat((dir.Path() / "new.txt").c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);

  // A link stays a link, relative or dangling; its target gets the bytes.
  fs::create_directory(dir.Path() / "sub");
  fs::create_symlink("sub/real.txt", dir.Path() / "link.txt");
  ASSERT_TRUE(WriteFileReplacing((dir.Path() / "link.txt").string(), "via link", error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "link.txt"));
  EXPECT_EQ(ReadText(dir.Path() / "sub" / "real.txt"), "via link");
  ASSERT_TRUE(WriteFileReplacing((dir.Path() / "link.txt").string(), "again", error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "link.txt"));
  EXPECT_EQ(ReadText(dir.Path() / "sub" / "real.txt"), "again");
  // A link to a device writes the device, not a plain file in the link's place.
  fs::create_symlink("/dev/full", dir.Path() / "full.txt");
  EXPECT_FALSE(WriteFileReplacing((dir.Path() / "full.txt").string(), "x", error));
  EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "full.txt"));
  EXPECT_TRUE(WriteFileReplacing("/dev/null", std::string(327680, 'x'), error)) << error;

  // The longest valid names, new and replaced.
  const auto longName = dir.Path() / (std::string(246, 'r') + ".txt");
  ASSERT_TRUE(WriteFileReplacing(longName.string(), "first", error)) << error;
  ASSERT_TRUE(WriteFileReplacing(longName.string(), "second", error)) << error;
  EXPECT_EQ(ReadText(longName), "second");
  EXPECT_EQ(test::FileNames(dir.Path()),
            (std::vector<std::string>{"full.txt", "link.txt", "new.txt",
                                      longName.filename().string(), "secret.txt", "sub"}));
}

TEST(WriteFileReplacing, FifoIsWrittenInPlace) {
  TempFolder dir;
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string got;
  std::thread reader([&] { got = ReadText(fifo); });
  std::string error;
  EXPECT_TRUE(WriteFileReplacing(fifo, "through the pipe", error)) << error;
  reader.join();
  EXPECT_EQ(got, "through the pipe");
  struct stat st {};
  lstat(fifo.c_str(), &st);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(WriteNewFile, NeverReplaces) {
  TempFolder dir;
  std::string error;
  bool exists = true;
  const std::string path = dir.File("copy.bin");
  ASSERT_TRUE(WriteNewFile(path, "first", exists, error)) << error;
  EXPECT_FALSE(exists);
  EXPECT_FALSE(WriteNewFile(path, "second", exists, error));
  EXPECT_TRUE(exists);
  EXPECT_EQ(ReadText(path), "first");
  EXPECT_FALSE(WriteNewFile(dir.File("no/such/copy.bin"), "x", exists, error));
  EXPECT_FALSE(exists);
  EXPECT_EQ(test::FileNames(dir.Path()), std::vector<std::string>{"copy.bin"});
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
