#include "activity/FlashReport.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "activity/SessionRecord.h"

namespace yelvane {
namespace {

// Only the two session tables are read; the sample area is not needed here.
constexpr std::size_t kTablesEnd = kActivityTableOffset + kSessionSlots * kSlotSize;

std::array<uint8_t, kRecordSize> RecordAt(const uint8_t* dump, std::size_t size,
                                          std::size_t offset) {
  std::array<uint8_t, kRecordSize> bytes{};  // bytes beyond the dump stay 0
  if (offset < size) std::memcpy(bytes.data(), dump + offset, std::min(kRecordSize, size - offset));
  return bytes;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string ReportFlashDataFromMemory(const uint8_t* dump, std::size_t size, SessionTable& table,
                                      LogSink& log, ProgressSink& progress) {
  table.DeleteAllRows();
  const std::string caption = kFlashReportCaption;
  std::string error;
  int row = 0;
  std::array<std::string, 5> cells[2];  // reused: their buffers stay
  for (int k = 0; k < kSessionSlots; ++k) {
    progress.SetPos((k + 1) * 100 / kSessionSlots, caption);
    const std::size_t slot = static_cast<std::size_t>(k) * kSlotSize;
    const SessionRecord records[2] = {
        DecodeSessionRecord(RecordAt(dump, size, kBarkTableOffset + slot).data()),
        DecodeSessionRecord(RecordAt(dump, size, kActivityTableOffset + slot).data())};
    const bool inUse = records[0].written || records[1].written;
    // A record that is not written reads all zeros, which pass every check:
    // an unused slot can neither fail nor give a row.
    if (!inUse) continue;
    for (int t = 0; t < 2 && error.empty(); ++t) error = FormatSessionRecord(records[t], cells[t]);
    if (!error.empty()) break;
    table.InsertRow(row);
    table.SetCellText(row, 0, std::to_string(k + 1));
    for (int t = 0; t < 2; ++t)
      for (int c = 0; c < 5; ++c) table.SetCellText(row, 1 + t * 5 + c, cells[t][c]);
    ++row;
  }
  const std::string last = error.empty() ? std::string(kFlashReportSuccess) : error;
  log.AppendLog(last, true);
  return last;
}

int ReportFlashData(const std::string& dumpPath, SessionTable& table, LogSink& log,
                    ProgressSink& progress, MessageSink& messages) {
  table.DeleteAllRows();
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(dumpPath.c_str(), "rb"));
  std::vector<uint8_t> dump(kTablesEnd);
  std::size_t got = 0;
  if (file) {
    got = std::fread(dump.data(), 1, dump.size(), file.get());
    // A folder or a device that refuses to be read is as unreadable as a
    // missing file; a short file is not (its missing bytes read as 0).
    if (std::ferror(file.get())) file.reset();
  }
  if (!file) {
    messages.ShowMessage("File Open Error!", MessageIcon::Warning);
    return 0;
  }
  file.reset();
  ReportFlashDataFromMemory(dump.data(), got, table, log, progress);
  return 1;
}

}  // namespace yelvane
