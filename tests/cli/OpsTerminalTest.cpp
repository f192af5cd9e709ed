// The terminal side of the unit commands: message boxes shown once beside
// their log line, questions, and the progress bar.

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "cli/Terminal.h"
#include "support/Recorders.h"

namespace yelvane {
namespace {

using test::FakeClock;

class Terminal : public ::testing::Test {
 protected:
  ~Terminal() override { std::fclose(file_); }
  std::string Written() {
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    for (int c; (c = std::fgetc(file_)) != EOF;) text += static_cast<char>(c);
    return text;
  }
  std::FILE* file_ = std::tmpfile();
};

TEST_F(Terminal, AMessageRepeatedByTheNextLogLineIsShownOnce) {
  TerminalOut out(file_, false);
  TerminalLog log(out);
  std::istringstream in("y\n");
  TerminalMessages messages(out, log, in, false);
  log.SetLogText(" ");
  log.AppendLog("Command: Erase Memory Data");
  messages.ShowMessage("USB is Disconnected, Please check the USB!", MessageIcon::None);
  log.AppendLog("USB is Disconnected, Please check the USB!");
  messages.ShowMessage("There is no available disk!!", MessageIcon::None);
  log.AppendLog("\nStart to erase all data...");
  messages.ShowMessage("File Open Error!", MessageIcon::None);
  EXPECT_TRUE(messages.AskYesNo("Are you sure?", "Erase Data"));
  log.AppendLog("Failed To Synchronize Time!\nPlease Retry!");
  log.FlushPendingMessage();
  EXPECT_EQ(Written(),
            "Command: Erase Memory Data\n"
            "USB is Disconnected, Please check the USB!\n"
            "There is no available disk!!\n"
            "\nStart to erase all data...\n"
            "File Open Error!\n"
            "Are you sure? [y/N] \n"
            "Failed To Synchronize Time!\nPlease Retry!\n");
}

TEST_F(Terminal, QuestionsAreNoUnlessAnsweredYes) {
  TerminalOut out(file_, false);
  TerminalLog log(out);
  std::istringstream in("yes\nn\n\nY\n");
  TerminalMessages messages(out, log, in, false);
  EXPECT_TRUE(messages.AskYesNo("q", "c"));
  EXPECT_FALSE(messages.AskYesNo("q", "c"));
  EXPECT_FALSE(messages.AskYesNo("q", "c"));
  EXPECT_TRUE(messages.AskYesNo("q", "c"));
  EXPECT_FALSE(messages.AskYesNo("q", "c"));  // end of input
  std::istringstream none;
  TerminalMessages assumeYes(out, log, none, true);
  EXPECT_TRUE(assumeYes.AskYesNo("q", "c"));
}

TEST_F(Terminal, ProgressBarShowsPercentTransferRateAndElapsedSeconds) {
  FakeClock clock;
  TerminalOut out(file_, true);
  TerminalProgress progress(out, clock);
  progress.SetTransferText("0K/320K");
  progress.SetPercent(50);
  progress.SetRateText("49KB");
  clock.now += 3500;
  EXPECT_EQ(progress.Line(), "[###############...............]  50%  0K/320K  49KB  3 sec");
  progress.StopElapsedTimer();
  clock.now += 5000;
  progress.SetPercent(100);
  EXPECT_EQ(progress.Line(), "[##############################] 100%  0K/320K  49KB  3 sec");
  // A log line clears the bar first; the bar never stays behind the last line.
  TerminalLog log(out);
  log.AppendLog("Read flash is complete.");
  progress.CloseAfterDelay();
  const std::string written = Written();
  EXPECT_NE(written.find("\r\033[K[###"), std::string::npos);
  const std::string tail = "\r\033[KRead flash is complete.\n";
  EXPECT_EQ(written.substr(written.size() - tail.size()), tail);
}

TEST_F(Terminal, NoBarWhenNotATerminal) {
  FakeClock clock;
  TerminalOut out(file_, false);
  TerminalProgress progress(out, clock);
  progress.SetPercent(50);
  progress.CloseAfterDelay();
  EXPECT_EQ(Written(), "");
}

}  // namespace
}  // namespace yelvane
