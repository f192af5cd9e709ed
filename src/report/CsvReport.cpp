#include "report/CsvReport.h"

#include "common/FileReplace.h"

namespace yelvane {

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    line += CsvField(fields[i]);
  }
  return line + "\r\n";
}

std::string BuildCsvReport(const SessionTable& table, const CsvRowHook& onRow) {
  std::string out = std::string(kCsvReportHeader) + "\r\n";
  const int rows = table.RowCount();
  std::vector<std::string> cells(kSessionColumns);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < kSessionColumns; ++c)
      cells[static_cast<std::size_t>(c)] = table.CellText(r, c, kCellBufferSize);
    out += CsvLine(cells);
    if (onRow) onRow(r);
  }
  return out;
}

bool WriteCsvReport(const std::string& path, const SessionTable& table, std::string& error,
                    const CsvRowHook& onRow) {
  return WriteFileReplacing(path, BuildCsvReport(table, onRow), error);
}

std::string BuildSeriesCsv(const ChartSeries& series) {
  std::string out = std::string(kCsvSeriesHeader) + "\r\n";
  for (std::size_t i = 0; i < series.labels.size(); ++i) {
    const unsigned bark = i < series.bark.size() ? series.bark[i] : 0u;
    const unsigned activity = i < series.activity.size() ? series.activity[i] : 0u;
    out += CsvLine({series.labels[i], std::to_string(bark), std::to_string(activity)});
  }
  return out;
}

}  // namespace yelvane
