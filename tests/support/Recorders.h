#pragma once

// Recorders for the small interfaces the core reports through, and a clock
// that never waits. Shared by the tests and the benchmark.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/Clock.h"
#include "common/Sinks.h"
#include "operations/UnitDialog.h"
#include "unit/TracingVolume.h"

namespace yelvane::test {

// Time as a number: TickMs() reads `now` and then moves it on by `step`;
// SleepMs adds the pause to `now`, keeps it in `sleeps` and, with a trace,
// writes "sleep N" there, so its place in a transaction can be checked.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(uint32_t step = 0, std::shared_ptr<TraceLog> trace = nullptr)
      : step(step), trace_(std::move(trace)) {}
  uint32_t TickMs() override;
  void SleepMs(uint32_t ms) override;

  uint32_t now = 5000;
  uint32_t step;
  std::vector<uint32_t> sleeps;

 private:
  std::shared_ptr<TraceLog> trace_;
};

// SetLogText empties `lines` and keeps its text in `setTexts`.
class RecordingLog final : public LogSink {
 public:
  void SetLogText(const std::string& text) override;
  void AppendLog(const std::string& text, bool newline) override;
  std::vector<std::string> lines;
  std::vector<std::string> setTexts;
};

class RecordingProgress final : public ProgressSink {
 public:
  void SetRange(int, int) override {}
  void SetPos(int pos) override { positions.emplace_back(pos, ""); }
  void SetPos(int pos, const std::string& caption) override {
    positions.emplace_back(pos, caption);
  }
  void SetShowPercent(bool) override {}
  void SetStartColor(Rgb) override {}
  void SetEndColor(Rgb) override {}
  void SetTextColor(Rgb) override {}
  std::vector<std::pair<int, std::string>> positions;
};

// Keeps every box, answers questions from `answers` (No once they run out).
class RecordingMessages final : public MessageSink {
 public:
  struct Box {
    std::string text;
    std::string caption;  // empty for a message
  };
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  // Kept as a message; its caption goes to `messageCaptions`.
  void ShowCaptioned(const std::string& text, const std::string& caption,
                     MessageIcon icon) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void Clear();

  std::deque<bool> answers;
  // Runs while a question is up, as a user would take their time.
  std::function<void()> whileAsking;
  std::vector<Box> boxes;          // messages and questions in the order they came
  std::vector<std::string> shown;  // messages only
  std::vector<MessageIcon> icons;
  std::vector<std::string> questions;
  std::vector<std::string> captions;
  std::vector<std::string> messageCaptions;  // "" for a message without its own
};

// Keeps every call of a unit worker to its dialog, in order.
class RecordingDialogObserver final : public UnitDialogObserver {
 public:
  struct Event {
    ProgressCode code;
    std::string text;
    int percent = 0;
    friend bool operator==(const Event&, const Event&) = default;
  };
  void SetTransferText(const std::string& text) override { Add(ProgressCode::TransferText, text); }
  void SetRateText(const std::string& text) override { Add(ProgressCode::RateText, text); }
  void SetPercent(int percent) override { events.push_back({ProgressCode::Percent, {}, percent}); }
  void SetStatusText(const std::string& text) override { Add(ProgressCode::StatusText, text); }
  void StopElapsedTimer() override { Add(ProgressCode::StopElapsedTimer); }
  void CloseAfterDelay() override { Add(ProgressCode::CloseSoon); }

  // Texts sent with one code, in order.
  std::vector<std::string> Texts(ProgressCode code) const;
  bool Has(ProgressCode code) const;

  std::vector<Event> events;

 private:
  void Add(ProgressCode code, const std::string& text = {}) { events.push_back({code, text}); }
};

}  // namespace yelvane::test
