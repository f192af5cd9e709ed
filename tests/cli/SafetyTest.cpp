// What a read keeps, what a report replaces, what reaches a terminal, and
// how a simulated image is shared: through the built tool, as a user (or a
// hostile tester) would run it.

#include <gtest/gtest.h>
#include <sys/file.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/DemoData.h"
#include "support/Files.h"
#include "support/TestDump.h"
#include "support/Tool.h"
#include "support/ToolFolder.h"
#include "unit/FirmwareImage.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using test::FileNames;
using test::Lines;
using test::ReadBytes;
using test::ToolRun;

class Safety : public test::ToolFolder {
 protected:
  Safety() : dump_(DumpSlice(MakeDemoMemory(DemoOptions{}))) {
    test::WriteBytes(dir_ / "demo.bin", dump_);
  }

  // The files of the archive folder, each read whole.
  std::vector<Bytes> Archived() const {
    std::vector<Bytes> kept;
    for (const std::string& name : FileNames(archive_)) kept.push_back(ReadBytes(archive_ / name));
    return kept;
  }

  const Bytes dump_;
};

TEST_F(Safety, ReadKeepsTheBytesItReadWhereverTheDumpGoes) {
  const std::string sessions = Cli({"decode", "demo.bin", "--format", "tsv"}).out;
  ASSERT_EQ(Lines(sessions).size(), 21u);

  // Into a pipe: nothing reopens it, so the read ends (a hang would be cut
  // off by the timeout and show as exit 124).
  const std::string pipe =
      "cd '" + dir_.string() + "' && (YELVANE_ARCHIVE_DIR=archive timeout 60 " + test::ToolPath() +
      " --simulate read -o /dev/stdout --format tsv 2>err.txt; echo $? >rc.txt)"
      " | cat >piped.bin";
  ASSERT_EQ(std::system(pipe.c_str()), 0);
  EXPECT_EQ(test::ReadText(dir_ / "rc.txt"), "0\n") << test::ReadText(dir_ / "err.txt");
  const std::string piped = test::ReadText(dir_ / "piped.bin");
  EXPECT_EQ(piped, std::string(dump_.begin(), dump_.end()) + sessions);
  EXPECT_EQ(Archived(), std::vector<Bytes>{dump_});

  // Into /dev/null: the copy is still whole.
  fs::remove_all(archive_);
  ToolRun run = Cli({"--simulate", "read", "-o", "/dev/null", "--format", "tsv"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, sessions);
  EXPECT_EQ(Archived(), std::vector<Bytes>{dump_});

  // Into a full device: the path and the reason, not the unit's fault.
  run = Cli({"--simulate", "read", "-o", "/dev/full"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.LastErrLine(), "Cannot write \"/dev/full\": No space left on device");
  EXPECT_EQ(run.err.find("unpluged"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");

  // A failed read after a good one leaves the good dump as it was.
  ASSERT_EQ(Cli({"--simulate", "read", "-o", "d.bin"}).code, 0);
  run = Cli({"--simulate", "--sim-fail-sector=300", "read", "-o", "d.bin"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(ReadBytes(dir_ / "d.bin"), dump_);
  EXPECT_EQ(FileNames(dir_), (std::vector<std::string>{"archive", "d.bin", "demo.bin", "err.txt",
                                                       "piped.bin", "rc.txt"}));
}

TEST_F(Safety, TwoReadsAtOnceEachKeepAWholeCopy) {
  fs::create_directory(archive_);
  ToolRun runs[2];
  std::thread first([&] {
    runs[0] = Cli({"--simulate", "read", "-o", "same.bin", "--format", "tsv"});
  });
  runs[1] = Cli({"--simulate", "read", "-o", "same.bin", "--format", "tsv"});
  first.join();
  for (const ToolRun& run : runs) {
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Lines(run.out).size(), 21u);
  }
  EXPECT_EQ(ReadBytes(dir_ / "same.bin"), dump_);
  EXPECT_EQ(Archived(), (std::vector<Bytes>{dump_, dump_}));
}

TEST_F(Safety, ReportsReplaceFilesKeepingWhatTheyWere) {
  std::ofstream(dir_ / "secret.txt") << "old";
  fs::permissions(dir_ / "secret.txt", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("/dev/full", dir_ / "link.txt");
  fs::create_symlink("/dev/null", dir_ / "null.txt");
  const std::string longName = std::string(246, 'n') + ".txt";
  struct Case {
    std::string target;
    int code;
  } cases[] = {{"secret.txt", 0}, {"link.txt", 1}, {longName, 0}, {"null.txt", 0}};
  for (const Case& c : cases) {
    const ToolRun run = Cli({"report", "demo.bin", "-o", c.target});
    EXPECT_EQ(run.code, c.code) << c.target << ": " << run.err;
  }
  EXPECT_EQ(fs::status(dir_ / "secret.txt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(test::ReadText(dir_ / "secret.txt"), test::ReadText(dir_ / longName));
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.txt"));
  EXPECT_EQ(FileNames(dir_),
            (std::vector<std::string>{"demo.bin", "link.txt", longName, "null.txt", "secret.txt"}));
}

TEST_F(Safety, PetTextIsRefusedOrRepairedAndNeverReachesTheTerminalRaw) {
  // Control characters: a usage error, nothing written, nothing read.
  for (const std::string& bad : {std::string("Rex\nPet Owner: Forged"), std::string("a\tb"),
                                 std::string("\x1b[2J"), std::string("x\x7f")}) {
    for (const char* option : {"--pet-name", "--pet-location"}) {
      ToolRun run = Cli({"report", "demo.bin", "-o", "pet.txt", option, bad});
      EXPECT_EQ(run.code, 2) << run.err;
      EXPECT_NE(run.err.find("control character"), std::string::npos) << run.err;
      EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
      run = Cli({"--simulate", "read", option, bad});
      EXPECT_EQ(run.code, 2);
    }
  }
  EXPECT_FALSE(fs::exists(dir_ / "pet.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "tmp.bin"));

  // Invalid UTF-8: U+FFFD, one warning for all fields, a well-formed workbook.
  for (const char* target : {"pet.txt", "pet.xlsx"}) {
    const ToolRun run = Cli({"report", "demo.bin", "-o", target, "--pet-name", "Bj\xF8rn",
                             "--pet-owner", "\xC0\xAF\xED\xA0\x80", "--pet-location", "Oslo"});
    ASSERT_EQ(run.code, 0) << run.err;
    const auto lines = Lines(run.err);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("Warning:", 0) == 0; }),
              1);
  }
  const std::string text = test::ReadText(dir_ / "pet.txt");
  EXPECT_NE(text.find("Pet Name: Bj\xEF\xBF\xBDrn\r\n"), std::string::npos);
  const std::string check =
      "/usr/bin/python3 -c \"import sys, zipfile, xml.dom.minidom as m; z = "
      "zipfile.ZipFile(sys.argv[1]); [m.parseString(z.read(n)) for n in z.namelist() if "
      "n.endswith('.xml')]; sys.exit(0 if 'Bj\\uFFFDrn' in "
      "z.read('xl/sharedStrings.xml').decode('utf-8') else 3)\" '" +
      (dir_ / "pet.xlsx").string() + "'";
  EXPECT_EQ(std::system(check.c_str()), 0);

  // File names with escapes are shown, not obeyed.
  const ToolRun named = Cli({"report", "demo.bin", "-o", "x\x1b[2J\x9b.txt"});
  EXPECT_EQ(named.code, 0);
  EXPECT_EQ(named.err.find('\x1b'), std::string::npos);
  EXPECT_NE(named.err.find("x\xEF\xBF\xBD[2J\xEF\xBF\xBD.txt"), std::string::npos) << named.err;
}

TEST_F(Safety, EveryFailureExitsNonZeroSayingWhy) {
  test::TestDump bad;
  bad.SetBark(0, test::SampleRecord());
  SessionRecord r = test::SampleRecord();
  r.endHour = 24;
  bad.SetActivity(1, r);
  bad.WriteTo(dir_ / "bad.bin");
  const std::string range = "Hour(24) out of range for the End Time!";
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string lastLine;
  } cases[] = {
      {{"decode", "bad.bin"}, 1, range},
      {{"series", "bad.bin", "1"}, 1, range},
      {{"series", "bad.bin", "5"}, 1, range},
      {{"report", "bad.bin", "-o", "bad.txt"}, 1, range},
      {{"report", "bad.bin", "-o", "bad.xlsx"}, 1, range},
      {{"--simulate", "--trace=/dev/full", "info"},
       1,
       "Cannot write the trace file /dev/full: No space left on device."},
      {{"--simulate", "--trace=/dev/full", "read"},
       1,
       "Cannot write the trace file /dev/full: No space left on device."},
  };
  for (const Case& c : cases) {
    const ToolRun run = Cli(c.args);
    EXPECT_EQ(run.code, c.code) << c.args[0] << " " << c.args[1];
    EXPECT_EQ(run.LastErrLine(), c.lastLine) << c.args[0] << " " << c.args[1];
  }
  EXPECT_EQ(FileNames(dir_), (std::vector<std::string>{"bad.bin", "demo.bin"}));
}

TEST_F(Safety, ToolsOnOneImageTakeTurnsAndKeepEveryWrite) {
  ASSERT_EQ(Cli({"simulate", "create", "mem.bin"}).code, 0);
  test::WriteBytes(dir_ / "a.msc", BuildImage({1, 0x20000, 1000}, Bytes(1000, 0xA5)));
  test::WriteBytes(dir_ / "b.msc", BuildImage({1, 0x30000, 1000}, Bytes(1000, 0x5A)));
  ToolRun a;
  std::thread first([&] { a = Cli({"--simulate=mem.bin", "upgrade", "a.msc", "--yes"}); });
  const ToolRun b = Cli({"--simulate=mem.bin", "upgrade", "b.msc", "--yes"});
  first.join();
  EXPECT_EQ(a.code, 0) << a.err;
  EXPECT_EQ(b.code, 0) << b.err;
  Bytes memory = ReadBytes(dir_ / "mem.bin");
  ASSERT_EQ(memory.size(), 0x60000u);
  EXPECT_EQ(memory[0x20000], 0xA5);
  EXPECT_EQ(memory[0x30000 + 999], 0x5A);

  // A program holding the image makes the next one wait, and say so: one
  // that uses it, and one that would replace it under the holder's writes.
  const auto whileHeld = [this](const std::vector<std::string>& args) {
    const int held = ::open((dir_ / "mem.bin").c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(::flock(held, LOCK_EX), 0);
    std::thread release([held] {
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      ::close(held);
    });
    const ToolRun run = Cli(args);
    release.join();
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.err.find("is in use by another program; waiting"), std::string::npos) << run.err;
  };
  whileHeld({"--simulate=mem.bin", "erase", "--yes"});
  EXPECT_EQ(ReadBytes(dir_ / "mem.bin")[0x20000], 0xFF);
  whileHeld({"simulate", "create", "mem.bin"});
  EXPECT_EQ(ReadBytes(dir_ / "mem.bin"), MakeDemoMemory(DemoOptions{}));
}

}  // namespace
}  // namespace yelvane
