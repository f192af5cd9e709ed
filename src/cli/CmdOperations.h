#pragma once

// The terminal side of the unit commands: the Process Log on stderr, message
// boxes and Yes/No questions, and the progress dialog as a one-line bar.

#include <cstdio>
#include <istream>
#include <string>

#include "common/Clock.h"
#include "common/Sinks.h"
#include "operations/UnitDialog.h"

namespace yelvane {

// One stream shared by the log, the messages and the progress bar, so a log
// line never lands in the middle of the bar.
class TerminalOut {
 public:
  TerminalOut(std::FILE* out, bool isTerminal) : out_(out), terminal_(isTerminal) {}
  bool IsTerminal() const { return terminal_; }
  void Write(const std::string& text);  // clears the bar first
  void ShowBar(const std::string& line);
  void EndBar();

 private:
  std::FILE* out_;
  bool terminal_;
  bool barShown_ = false;
};

// The Process Log on a terminal: AppendLog writes the message and a line
// break (a leading "\n" leaves an empty line); emptying the log writes nothing.
// A message box whose text is the next log line is shown once.
class TerminalLog final : public LogSink {
 public:
  explicit TerminalLog(TerminalOut& out) : out_(out) {}
  void SetLogText(const std::string& text) override;
  void AppendLog(const std::string& text, bool newline = true) override;
  void SetPendingMessage(const std::string& text);
  void FlushPendingMessage();

 private:
  TerminalOut& out_;
  std::string pending_;
  bool hasPending_ = false;
};

class TerminalMessages final : public MessageSink {
 public:
  // `assumeYes` answers every question Yes (--yes); otherwise the question
  // is asked on `in` and anything but y/yes is No.
  TerminalMessages(TerminalOut& out, TerminalLog& log, std::istream& in, bool assumeYes)
      : out_(out), log_(log), in_(in), assumeYes_(assumeYes) {}
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;

 private:
  TerminalOut& out_;
  TerminalLog& log_;
  std::istream& in_;
  bool assumeYes_;
};

// "[#####.....]  45%  144K/320K  49KB  3 sec": drawn only on a terminal.
class TerminalProgress final : public UnitDialogObserver {
 public:
  TerminalProgress(TerminalOut& out, Clock& clock);
  void SetTransferText(const std::string& text) override;
  void SetRateText(const std::string& text) override;
  void SetPercent(int percent) override;
  void SetStatusText(const std::string& text) override;
  void StopElapsedTimer() override;
  void CloseAfterDelay() override;

  // The bar line for the current state; public for tests.
  std::string Line() const;

 private:
  void Draw();

  TerminalOut& out_;
  Clock& clock_;
  uint32_t startMs_;
  uint32_t stoppedSeconds_ = 0;
  bool stopped_ = false;
  int percent_ = 0;
  std::string transfer_;
  std::string rate_;
  std::string lastDrawn_;
};

}  // namespace yelvane
