#include "activity/FlashReport.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "activity/SessionRecord.h"
#include "common/Format.h"

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

// The logger's whole memory, as a memory image holds it: the dump starts
// 0x10000 bytes into it.
constexpr std::uintmax_t kMemoryImageSize = 0x60000;

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
  // The cells of the last slot in use, and its bytes: a short dump reads as
  // thousands of identical zero slots, formatted once.
  std::array<std::string, 5> cells[2];
  std::array<uint8_t, kRecordSize> previous[2]{};
  bool havePrevious = false;
  for (int k = 0; k < kSessionSlots; ++k) {
    progress.SetPos((k + 1) * 100 / kSessionSlots, caption);
    const std::size_t slot = static_cast<std::size_t>(k) * kSlotSize;
    const std::array<uint8_t, kRecordSize> bytes[2] = {
        RecordAt(dump, size, kBarkTableOffset + slot),
        RecordAt(dump, size, kActivityTableOffset + slot)};
    const SessionRecord records[2] = {DecodeSessionRecord(bytes[0].data()),
                                      DecodeSessionRecord(bytes[1].data())};
    const bool inUse = records[0].written || records[1].written;
    // A record that is not written reads all zeros, which pass every check:
    // an unused slot can neither fail nor give a row.
    if (!inUse) continue;
    if (!havePrevious || bytes[0] != previous[0] || bytes[1] != previous[1]) {
      for (int t = 0; t < 2 && error.empty(); ++t)
        error = FormatSessionRecord(records[t], cells[t]);
      if (!error.empty()) break;
      previous[0] = bytes[0];
      previous[1] = bytes[1];
      havePrevious = true;
    }
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

std::string DumpSizeWarning(std::uintmax_t size) {
  const auto bytes = static_cast<unsigned long long>(size);
  // %llu, not %zu: the Windows runtime's printf does not know %zu.
  const auto whole = static_cast<unsigned long long>(kDumpSize);
  if (size < kDumpSize)
    return Format("Warning: the dump has %llu bytes instead of %llu; the missing bytes read as 0.",
                  bytes, whole);
  if (size == kMemoryImageSize)
    return Format(
        "Warning: the dump has %llu bytes instead of %llu: this looks like a whole logger "
        "memory image (its dump is what `simulate create --dump` writes).",
        bytes, whole);
  if (size > kDumpSize)
    return Format("Warning: the dump has %llu bytes instead of %llu; only the first %llu are used.",
                  bytes, whole, whole);
  return {};
}

std::optional<std::vector<uint8_t>> ReadDumpFile(const std::string& dumpPath) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(dumpPath.c_str(), "rb"));
  if (!file) return std::nullopt;
  std::vector<uint8_t> bytes(kDumpSize);
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
  // A folder or a device that refuses to be read is as unreadable as a
  // missing file; a short file is not (its missing bytes read as 0).
  if (std::ferror(file.get())) return std::nullopt;
  bytes.resize(got);
  return bytes;
}

}  // namespace yelvane
