#include "cli/Terminal.h"

#include <unistd.h>

#include <algorithm>

#include "common/Format.h"
#include "common/SafeText.h"

namespace yelvane {

void TerminalOut::Write(const std::string& text) {
  EndBar();
  // File names, pet strings and image texts come from outside: none of them
  // may drive the terminal.
  std::fputs(TerminalText(text).c_str(), out_);
  std::fflush(out_);
}

void TerminalOut::ShowBar(const std::string& line) {
  if (!terminal_) return;
  std::fprintf(out_, "\r\033[K%s", line.c_str());
  std::fflush(out_);
  barShown_ = true;
}

void TerminalOut::EndBar() {
  if (!barShown_) return;
  std::fputs("\r\033[K", out_);
  barShown_ = false;
}

TerminalOut& StderrOut() {
  static TerminalOut out(stderr, ::isatty(STDERR_FILENO) == 1);
  return out;
}

void StderrLine(const std::string& text) {
  StderrOut().Write(text + "\n");
}

void TerminalLog::SetLogText(const std::string&) {
  // A terminal cannot be emptied; the command line that follows starts the
  // command's lines, as in `decode`.
  FlushPendingMessage();
}

void TerminalLog::AppendLog(const std::string& text, bool newline) {
  if (hasPending_ && pending_ == text) hasPending_ = false;
  FlushPendingMessage();
  out_.Write(newline ? text + "\n" : text);
}

void TerminalLog::SetPendingMessage(const std::string& text) {
  FlushPendingMessage();
  pending_ = text;
  hasPending_ = true;
}

void TerminalLog::FlushPendingMessage() {
  if (!hasPending_) return;
  hasPending_ = false;
  out_.Write(pending_ + "\n");
}

void TerminalMessages::ShowMessage(const std::string& text, MessageIcon) {
  // Most boxes of a unit command repeat the log line that follows them;
  // print such text once.
  if (log_)
    log_->SetPendingMessage(text);
  else
    out_.Write(prefix_ + text + "\n");
}

bool TerminalMessages::AskYesNo(const std::string& text, const std::string&) {
  if (log_) log_->FlushPendingMessage();
  if (assumeYes_) return true;
  if (!in_) return false;
  out_.Write(text + " [y/N] ");
  std::string answer;
  const bool got = static_cast<bool>(std::getline(*in_, answer));
  // Typed answers end their own line; piped or missing ones do not.
  if (!got || ::isatty(STDIN_FILENO) != 1) out_.Write("\n");
  if (!got) return false;
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
}

TerminalProgress::TerminalProgress(TerminalOut& out, Clock& clock)
    : out_(out), clock_(clock), startMs_(clock.TickMs()) {}

void TerminalProgress::SetTransferText(const std::string& text) {
  // Shown with the next percent or rate change: one redraw per sector is
  // more than a terminal needs.
  transfer_ = text;
}
void TerminalProgress::SetRateText(const std::string& text) {
  rate_ = text;
  Draw();
}
void TerminalProgress::SetPercent(int percent) {
  percent_ = percent;
  Draw();
}
void TerminalProgress::SetStatusText(const std::string&) {}
void TerminalProgress::StopElapsedTimer() {
  stoppedSeconds_ = (clock_.TickMs() - startMs_) / 1000;
  stopped_ = true;
}
void TerminalProgress::CloseAfterDelay() {
  lastDrawn_.clear();
  out_.EndBar();
}

std::string TerminalProgress::Line() const {
  constexpr int kWidth = 30;
  const int filled = std::clamp(percent_, 0, 100) * kWidth / 100;
  const uint32_t seconds = stopped_ ? stoppedSeconds_ : (clock_.TickMs() - startMs_) / 1000;
  // Appended piece by piece: g++ 12 at -O2 and up takes "[" + std::string
  // here for an overflowing copy (a false -Werror=restrict).
  std::string line(1, '[');
  line.append(static_cast<std::size_t>(filled), '#')
      .append(static_cast<std::size_t>(kWidth - filled), '.')
      .append(1, ']');
  return line +
         Format(" %3d%%  %s  %s  %u sec", percent_, transfer_.c_str(), rate_.c_str(), seconds);
}

void TerminalProgress::Draw() {
  if (!out_.IsTerminal()) return;
  std::string line = Line();
  if (line == lastDrawn_) return;
  lastDrawn_ = line;
  out_.ShowBar(line);
}

void TerminalSaveProgress::SetProgress(int percent) {
  percent_ = percent;
  Draw();
}

void TerminalSaveProgress::SetStatus(const std::string& text) {
  status_ = text;
  Draw();
}

void TerminalSaveProgress::End() {
  out_.EndBar();
}

void TerminalSaveProgress::Draw() {
  out_.ShowBar(Format("Saving... %3d%%  %s", percent_, status_.c_str()));
}

}  // namespace yelvane
