#pragma once

// Recorders and a fake clock for the operations tests.

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/Sinks.h"

namespace yelvane::test {

// Starts at 5000 ms; each TickMs() call moves it on by `step`; sleeps add up.
class StepClock final : public Clock {
 public:
  explicit StepClock(uint32_t step = 0) : step_(step) {}
  uint32_t TickMs() override {
    const uint32_t now = now_;
    now_ += step_;
    return now;
  }
  void SleepMs(uint32_t ms) override {
    sleeps.push_back(ms);
    now_ += ms;
  }
  std::vector<uint32_t> sleeps;

 private:
  uint32_t now_ = 5000;
  uint32_t step_;
};

class RecordingLog final : public LogSink {
 public:
  void SetLogText(const std::string& text) override {
    lines.clear();
    setTexts.push_back(text);
  }
  void AppendLog(const std::string& text, bool) override { lines.push_back(text); }
  std::vector<std::string> lines;
  std::vector<std::string> setTexts;
};

class RecordingMessages final : public MessageSink {
 public:
  void ShowMessage(const std::string& text, MessageIcon icon) override {
    shown.push_back(text);
    icons.push_back(icon);
  }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    questions.push_back(text);
    captions.push_back(caption);
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<bool> answers;
  std::vector<std::string> shown;
  std::vector<MessageIcon> icons;
  std::vector<std::string> questions;
  std::vector<std::string> captions;
};

// A fresh folder under the test temp dir; also where downloads are archived.
inline std::string MakeTempFolder() {
  std::string pattern = (std::filesystem::path(testing::TempDir()) / "opsXXXXXX").string();
  const char* made = ::mkdtemp(pattern.data());
  EXPECT_NE(made, nullptr);
  return pattern;
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace yelvane::test
