#include "report/TextReport.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/FileReplace.h"
#include "common/Format.h"
#include "common/SafeText.h"

namespace yelvane {
namespace {

std::size_t Utf8Length(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;  // skip continuation bytes
  return count;
}

const std::string kTitleRule(63, '=');

}  // namespace

std::string PadCell(const std::string& text, int width) {
  std::string cell = text;
  const std::size_t length = Utf8Length(text);
  if (width > 0 && length < static_cast<std::size_t>(width))
    cell.append(static_cast<std::size_t>(width) - length, ' ');
  return cell + "  ";
}

std::string BuildTextReport(const SessionTable& table, const PetInfo& pet,
                            const TextReportRowHook& onRow) {
  std::string out;
  out += kTitleRule + "PET'S DATA REPORT" + kTitleRule + "\r\n";
  // A line break in a pet string would forge report lines: none gets through.
  out += "Pet Name: " + ReportText(pet.name) + "\r\n";
  out += "Pet Owner: " + ReportText(pet.owner) + "\r\n";
  out += "Pet Location: " + ReportText(pet.location) + "\r\n";
  out += "\r\n";

  std::string groups;
  std::string titles;
  const int headers = std::min(table.HeaderCount(), kSessionColumns);
  for (int c = 0; c < headers; ++c) {
    groups += PadCell(kTextReportColumns[c].group, kTextReportColumns[c].width);
    titles += PadCell(table.HeaderText(c, kHeaderBufferSize), kTextReportColumns[c].width);
  }
  out += groups + "\r\n";
  out += titles + "\r\n";

  const int rows = table.RowCount();
  for (int r = 0; r < rows; ++r) {
    std::string line;
    for (int c = 0; c < kSessionColumns; ++c)
      line += PadCell(table.CellText(r, c, kCellBufferSize), kTextReportColumns[c].width);
    out += line + "\r\n";
    if (onRow) onRow(r);
  }
  return out;
}

bool WriteTextReport(const std::string& path, const SessionTable& table, const PetInfo& pet,
                     std::string& error, const TextReportRowHook& onRow) {
  return WriteFileReplacing(path, BuildTextReport(table, pet, onRow), error);
}

}  // namespace yelvane
