// libFuzzer target for the report writers fed any table cells and pet
// strings: the text report, and the workbook report through the built-in
// engine into an .xlsx whose every XML part must read back well-formed.
//
// Input: one flag byte (bit 0: chart sheets; bits 1-2: rows, 0 to 3), then
// fields separated by NUL bytes: pet name, owner, location, then the cells
// row by row, eleven a row (missing ones stay empty). The input itself is
// the dump the chart series are read from.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "FuzzFile.h"
#include "ZipXml.h"
#include "activity/ChartSeries.h"
#include "common/TempFolder.h"
#include "report/TextReport.h"
#include "report/WorkbookReport.h"

namespace {

using namespace yelvane;

struct CountedMessages final : MessageSink {
  std::vector<std::string> shown;
  void ShowMessage(const std::string& text, MessageIcon) override { shown.push_back(text); }
  bool AskYesNo(const std::string&, const std::string&) override { std::abort(); }
};

struct NoObserver final : SaveObserver {
  void SetProgress(int percent) override {
    if (percent < 0 || percent > 100) std::abort();
  }
  void SetStatus(const std::string&) override {}
  void End() override {}
};

std::vector<std::string> Fields(const uint8_t* data, std::size_t size) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      fields.emplace_back();
    else
      fields.back() += static_cast<char>(data[i]);
  }
  return fields;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

void CheckTextReport(const MemorySessionTable& table, const PetInfo& pet,
                     const std::vector<std::string>& fields) {
  int hooked = 0;
  const std::string report = BuildTextReport(table, pet, [&](int row) {
    if (row != hooked++) std::abort();
  });
  if (hooked != table.RowCount()) std::abort();
  if (report.size() < 2 || report.compare(report.size() - 2, 2, "\r\n") != 0) std::abort();
  bool plain = true;
  for (const auto& f : fields) plain = plain && f.find_first_of("\r\n") == std::string::npos;
  // Title, three pet lines, a blank line, two header lines, one per row.
  if (plain && Count(report, "\r\n") != 7u + static_cast<std::size_t>(table.RowCount()))
    std::abort();
}

void CheckWorkbook(const MemorySessionTable& table, const PetInfo& pet, bool plot,
                   const uint8_t* data, std::size_t size) {
  static TempFolder folder;
  if (!folder.Ok()) std::abort();
  const fuzz::MemoryFile dump(data, size);
  WorkbookJob job;
  job.path = folder.File("report.xlsx");
  job.plot = plot;
  job.pet = pet;
  job.table = &table;
  job.dumpPath = dump.Path();

  CountedMessages messages;
  NoObserver observer;
  EngineAutomationServer server;
  CExcelAutomation excel(messages);
  bool saved = false;
  if (BuildWorkbook(job, server, excel, observer, &saved) != 1 || !saved) std::abort();
  if (!messages.shown.empty()) std::abort();

  std::vector<uint8_t> zip;
  {
    std::ifstream in(job.path, std::ios::binary);
    zip.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::filesystem::remove(job.path);
  std::map<std::string, std::string> parts;
  if (!fuzz::ReadZip(zip, parts) || parts.count("xl/workbook.xml") == 0) std::abort();
  for (const auto& [name, text] : parts) {
    const bool xml = name.size() > 4 && (name.compare(name.size() - 4, 4, ".xml") == 0 ||
                                         name.compare(name.size() - 5, 5, ".rels") == 0);
    if (xml && !fuzz::WellFormedXml(text)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool charts = data[0] & 1;
  const int rows = (data[0] >> 1) & 3;
  const std::vector<std::string> fields = Fields(data + 1, size - 1);
  auto field = [&](std::size_t i) { return i < fields.size() ? fields[i] : std::string(); };

  const PetInfo pet{field(0), field(1), field(2)};
  MemorySessionTable table;
  for (int r = 0; r < rows; ++r) {
    table.InsertRow(r);
    for (int c = 0; c < kSessionColumns; ++c)
      table.SetCellText(r, c, field(3 + static_cast<std::size_t>(r * kSessionColumns + c)));
  }
  CheckTextReport(table, pet, fields);

  // Sessions spanning years are valid but slow to chart; short ones take
  // the same paths.
  bool plot = charts;
  for (int n = 1; n <= rows; ++n) plot = plot && SessionSampleBytes(table, n) <= 4 * 512;
  CheckWorkbook(table, pet, plot, data, size);
  return 0;
}
