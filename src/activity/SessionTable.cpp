#include "activity/SessionTable.h"

#include <algorithm>

namespace yelvane {

std::string TruncateToBuffer(std::string_view text, std::size_t bufferSize) {
  if (bufferSize == 0) return {};
  std::size_t chars = 0;
  std::size_t i = 0;
  while (i < text.size() && chars + 1 < bufferSize) {
    std::size_t len = 1;
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead >= 0xF0)
      len = 4;
    else if (lead >= 0xE0)
      len = 3;
    else if (lead >= 0xC0)
      len = 2;
    if (i + len > text.size()) len = text.size() - i;
    i += len;
    ++chars;
  }
  return std::string(text.substr(0, i));
}

std::string SessionTable::HeaderText(int column, std::size_t bufferSize) const {
  if (column < 0 || column >= kSessionColumns) return {};
  return TruncateToBuffer(kSessionColumnTitles[static_cast<std::size_t>(column)], bufferSize);
}

void SessionTable::InsertRows(int row, const std::vector<SessionRow>& rows) {
  row = std::clamp(row, 0, RowCount());
  for (const SessionRow& cells : rows) {
    InsertRow(row);
    for (int column = 0; column < kSessionColumns; ++column)
      SetCellText(row, column, cells[static_cast<std::size_t>(column)]);
    ++row;
  }
}

void MemorySessionTable::InsertRow(int row) {
  if (row < 0) row = 0;
  if (row > RowCount()) row = RowCount();
  rows_.insert(rows_.begin() + row, Row{});
}

void MemorySessionTable::SetCellText(int row, int column, const std::string& text) {
  if (row < 0 || row >= RowCount() || column < 0 || column >= kSessionColumns) return;
  rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
}

std::string MemorySessionTable::CellText(int row, int column, std::size_t bufferSize) const {
  if (row < 0 || row >= RowCount() || column < 0 || column >= kSessionColumns) return {};
  return TruncateToBuffer(rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)],
                          bufferSize);
}

}  // namespace yelvane
