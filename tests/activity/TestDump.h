#pragma once

// Builds dumps and records what the report walk tells its sinks.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "activity/SessionRecord.h"
#include "common/Sinks.h"

namespace yelvane::testing_support {

// An erased dump with records written into chosen slots.
class TestDump {
 public:
  TestDump() : bytes_(kDumpSize, 0xFF) {}

  std::vector<uint8_t>& Bytes() { return bytes_; }

  void SetBark(int slot, const SessionRecord& r) { Put(kBarkTableOffset, slot, r); }
  void SetActivity(int slot, const SessionRecord& r) { Put(kActivityTableOffset, slot, r); }
  void SetRawByte(std::size_t table, int slot, std::size_t byte, uint8_t value) {
    bytes_[table + static_cast<std::size_t>(slot) * kSlotSize + byte] = value;
  }
  void SetSample(std::size_t index, uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    const std::size_t at = kSampleAreaOffset + index * kSampleSize;
    bytes_[at] = b0;
    bytes_[at + 1] = b1;
    bytes_[at + 2] = b2;
    bytes_[at + 3] = b3;
  }

  std::string WriteTo(const std::filesystem::path& path) const {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes_.data()),
              static_cast<std::streamsize>(bytes_.size()));
    return path.string();
  }

 private:
  void Put(std::size_t table, int slot, const SessionRecord& r) {
    const auto b = EncodeSessionRecord(r);
    std::copy(b.begin(), b.end(),
              bytes_.begin() +
                  static_cast<std::ptrdiff_t>(table + static_cast<std::size_t>(slot) * kSlotSize));
  }
  std::vector<uint8_t> bytes_;
};

// A plausible record: 1 h 10 min from 03-07-2011 08:00PM.
inline SessionRecord SampleRecord() {
  SessionRecord r;
  r.durationMinutes = 10;
  r.durationHours = 1;
  r.total = 42;
  r.rate = 36;
  r.startMinute = 0;
  r.startHour = 20;
  r.startMonth = 3;
  r.startDay = 7;
  r.startYear = 11;
  r.endMinute = 10;
  r.endHour = 21;
  r.endMonth = 3;
  r.endDay = 7;
  r.endYear = 11;
  return r;
}

class RecordingLog final : public LogSink {
 public:
  void SetLogText(const std::string& text) override {
    lines.clear();
    if (!text.empty()) lines.push_back(text);
  }
  void AppendLog(const std::string& text, bool) override { lines.push_back(text); }
  std::vector<std::string> lines;
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

class RecordingMessages final : public MessageSink {
 public:
  void ShowMessage(const std::string& text, MessageIcon) override { shown.push_back(text); }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  std::vector<std::string> shown;
};

// A fresh folder under the test temp dir, removed on destruction.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "yelvane-test-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    path_ = mkdtemp(buf.data());
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace yelvane::testing_support
