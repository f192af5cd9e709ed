#pragma once

// All the tool's terminal output: the Process Log, message boxes and Yes/No
// questions, and the progress of a transfer or a save as one redrawn line.
// Data goes to stdout; everything else to stderr.

#include <cstdint>
#include <cstdio>
#include <istream>
#include <string>

#include "common/Clock.h"
#include "common/Sinks.h"
#include "operations/UnitDialog.h"
#include "report/WorkbookReport.h"

namespace yelvane {

// One stream shared by the log, the messages and a progress line, so a log
// line never lands in the middle of the line.
class TerminalOut {
 public:
  TerminalOut(std::FILE* out, bool isTerminal) : out_(out), terminal_(isTerminal) {}
  bool IsTerminal() const { return terminal_; }
  void Write(const std::string& text);    // clears the progress line first
  void ShowBar(const std::string& line);  // only on a terminal
  void EndBar();

 private:
  std::FILE* out_;
  bool terminal_;
  bool barShown_ = false;
};

// stderr, shared by every command of the run.
TerminalOut& StderrOut();
// `text` and a line break on stderr.
void StderrLine(const std::string& text);

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
  // Boxes beside a log: a box repeated by the log's next line is shown once.
  // `assumeYes` answers every question Yes (--yes); otherwise the question is
  // asked on `in` and anything but y/yes is No.
  TerminalMessages(TerminalOut& out, TerminalLog& log, std::istream& in, bool assumeYes)
      : out_(out), log_(&log), in_(&in), assumeYes_(assumeYes) {}
  // Boxes as lines of their own, "<prefix><text>"; questions are answered No.
  explicit TerminalMessages(TerminalOut& out, std::string prefix = {})
      : out_(out), prefix_(std::move(prefix)) {}
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;

 private:
  TerminalOut& out_;
  TerminalLog* log_ = nullptr;
  std::istream* in_ = nullptr;
  bool assumeYes_ = false;
  std::string prefix_;
};

// The unit dialogs: "[#####.....]  45%  144K/320K  49KB  3 sec".
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

// The saving dialog: "Saving...  45%  Session: 12".
class TerminalSaveProgress final : public SaveObserver {
 public:
  explicit TerminalSaveProgress(TerminalOut& out) : out_(out) {}
  void SetProgress(int percent) override;
  void SetStatus(const std::string& text) override;
  void End() override;

 private:
  void Draw();
  TerminalOut& out_;
  int percent_ = 0;
  std::string status_;
};

}  // namespace yelvane
