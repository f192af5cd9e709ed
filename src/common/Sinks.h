#pragma once

// The small interfaces through which the core talks to the world. The GUI
// implements them on the UI thread (blocking invocation from workers), the
// command-line tool on a terminal, the tests with recorders.

#include <string>

#include "common/Color.h"

namespace yelvane {

// The "Process Log" pane.
class LogSink {
 public:
  virtual ~LogSink() = default;
  // Replaces the whole text (commands start with "" or " ").
  virtual void SetLogText(const std::string& text) = 0;
  // Appends one message; see AppendLogText for the line-break rule.
  virtual void AppendLog(const std::string& text, bool newline = true) = 0;
};

// What AppendLog adds to the control's text: "\r\n" is appended when the
// flag is set and the text does not already end with it.
std::string AppendLogText(std::string text, bool newline);

// The progress pane of the main window (and the progress bars of dialogs).
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetRange(int lower, int upper) = 0;
  virtual void SetPos(int pos) = 0;
  // Sets the position with a caption; also turns the percentage on.
  virtual void SetPos(int pos, const std::string& caption) = 0;
  virtual void SetShowPercent(bool show) = 0;
  virtual void SetStartColor(Rgb color) = 0;
  virtual void SetEndColor(Rgb color) = 0;
  virtual void SetTextColor(Rgb color) = 0;
};

enum class MessageIcon { None, Information, Warning, Error, Question };

// Message boxes and Yes/No questions.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None) = 0;
  // A message box with its own caption; sinks that show no captions show
  // it as any other message.
  virtual void ShowCaptioned(const std::string& text, const std::string& caption,
                             MessageIcon icon) {
    (void)caption;
    ShowMessage(text, icon);
  }
  // A Yes/No box with the question icon; true for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
};

// Sinks that drop everything (questions are answered No).
class NullLog final : public LogSink {
 public:
  void SetLogText(const std::string&) override {}
  void AppendLog(const std::string&, bool) override {}
};

class NullProgress final : public ProgressSink {
 public:
  void SetRange(int, int) override {}
  void SetPos(int) override {}
  void SetPos(int, const std::string&) override {}
  void SetShowPercent(bool) override {}
  void SetStartColor(Rgb) override {}
  void SetEndColor(Rgb) override {}
  void SetTextColor(Rgb) override {}
};

class NullMessages final : public MessageSink {
 public:
  void ShowMessage(const std::string&, MessageIcon) override {}
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

}  // namespace yelvane
