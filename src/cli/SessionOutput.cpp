#include "cli/SessionOutput.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/Format.h"
#include "report/CsvReport.h"

namespace yelvane {
namespace {

std::string Cell(const SessionTable& table, int r, int c) {
  return table.CellText(r, c, kCellBufferSize);
}

void PrintTsv(const SessionTable& table) {
  for (int r = 0; r < table.RowCount(); ++r) {
    std::string line;
    for (int c = 0; c < kSessionColumns; ++c) {
      if (c) line += '\t';
      line += Cell(table, r, c);
    }
    std::printf("%s\n", line.c_str());
  }
}

std::string TrimRight(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

void PrintTable(const SessionTable& table) {
  std::vector<std::size_t> widths(kSessionColumns);
  for (int c = 0; c < kSessionColumns; ++c) {
    widths[c] = table.HeaderText(c, kHeaderBufferSize).size();
    for (int r = 0; r < table.RowCount(); ++r)
      widths[c] = std::max(widths[c], Cell(table, r, c).size());
  }
  const auto line = [&](auto cellOf) {
    std::string out;
    for (int c = 0; c < kSessionColumns; ++c) {
      std::string cell = cellOf(c);
      if (cell.size() < widths[c]) cell.append(widths[c] - cell.size(), ' ');
      out += cell + (c == 5 ? "  |  " : "  ");
    }
    std::printf("%s\n", TrimRight(out).c_str());
  };
  line([](int c) { return std::string(c == 1 ? "BARKING" : c == 6 ? "ACTIVITY" : ""); });
  line([&](int c) { return table.HeaderText(c, kHeaderBufferSize); });
  line([&](int c) { return std::string(widths[c], '-'); });
  for (int r = 0; r < table.RowCount(); ++r) line([&](int c) { return Cell(table, r, c); });
}

// Counts are written as JSON numbers when the cell holds only digits.
std::string JsonNumberOrString(const std::string& text) {
  const bool digits =
      !text.empty() && text.size() < 16 &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  return digits ? text : JsonString(text);
}

void PrintJson(const SessionTable& table) {
  const int rows = table.RowCount();
  if (rows == 0) {
    std::printf("[]\n");
    return;
  }
  std::printf("[\n");
  for (int r = 0; r < rows; ++r) {
    const auto half = [&](int first) {
      return Format(
          "{\"duration\": %s, \"total\": %s, \"ratePerHour\": %s, \"start\": %s, \"end\": %s}",
          JsonString(Cell(table, r, first)).c_str(),
          JsonNumberOrString(Cell(table, r, first + 1)).c_str(),
          JsonNumberOrString(Cell(table, r, first + 2)).c_str(),
          JsonString(Cell(table, r, first + 3)).c_str(),
          JsonString(Cell(table, r, first + 4)).c_str());
    };
    std::printf("  {\"session\": %s, \"bark\": %s, \"activity\": %s}%s\n",
                JsonNumberOrString(Cell(table, r, 0)).c_str(), half(1).c_str(), half(6).c_str(),
                r + 1 < rows ? "," : "");
  }
  std::printf("]\n");
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\')
      out += std::string("\\") + ch;
    else if (c < 0x20)
      out += Format("\\u%04x", c);
    else
      out += ch;
  }
  return out + "\"";
}

void PrintSessions(const SessionTable& table, const std::string& format) {
  if (format == "tsv") {
    PrintTsv(table);
  } else if (format == "csv") {
    const std::string csv = BuildCsvReport(table);
    std::fwrite(csv.data(), 1, csv.size(), stdout);
  } else if (format == "json") {
    PrintJson(table);
  } else {
    PrintTable(table);
  }
}

}  // namespace yelvane
