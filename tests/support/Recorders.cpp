#include "support/Recorders.h"

#include <algorithm>

#include "common/Format.h"

namespace yelvane::test {

uint32_t FakeClock::TickMs() {
  const uint32_t then = now;
  now += step;
  return then;
}

void FakeClock::SleepMs(uint32_t ms) {
  now += ms;
  sleeps.push_back(ms);
  if (trace_) trace_->Line(Format("sleep %u", ms));
}

void RecordingLog::SetLogText(const std::string& text) {
  lines.clear();
  setTexts.push_back(text);
}

void RecordingLog::AppendLog(const std::string& text, bool) {
  lines.push_back(text);
}

void RecordingMessages::ShowMessage(const std::string& text, MessageIcon icon) {
  boxes.push_back({text, {}});
  shown.push_back(text);
  icons.push_back(icon);
  messageCaptions.emplace_back();
}

void RecordingMessages::ShowCaptioned(const std::string& text, const std::string& caption,
                                      MessageIcon icon) {
  ShowMessage(text, icon);
  messageCaptions.back() = caption;
}

bool RecordingMessages::AskYesNo(const std::string& text, const std::string& caption) {
  boxes.push_back({text, caption});
  questions.push_back(text);
  captions.push_back(caption);
  if (whileAsking) whileAsking();
  if (answers.empty()) return false;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

void RecordingMessages::Clear() {
  boxes.clear();
  shown.clear();
  icons.clear();
  questions.clear();
  captions.clear();
  messageCaptions.clear();
}

std::vector<std::string> RecordingDialogObserver::Texts(ProgressCode code) const {
  std::vector<std::string> texts;
  for (const Event& event : events)
    if (event.code == code) texts.push_back(event.text);
  return texts;
}

bool RecordingDialogObserver::Has(ProgressCode code) const {
  return std::any_of(events.begin(), events.end(),
                     [code](const Event& event) { return event.code == code; });
}

}  // namespace yelvane::test
