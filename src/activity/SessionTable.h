#pragma once

// The session table: the only store of sessions. Every writer and reader
// goes through these operations, so the same report code fills the screen's
// table, an in-memory table for the command-line tool, or a test recorder.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace yelvane {

inline constexpr int kSessionColumns = 11;

// Header titles as the view shows them, left to right.
inline constexpr std::array<std::string_view, kSessionColumns> kSessionColumnTitles = {
    "Session",  "Duration", "Total",     "Rate/Hour",  "Start Time", "End Time",
    "Duration", "Total",    "Rate/Hour", "Start Time", "End Time"};

// Readers see cells through fixed buffers; these are their sizes.
inline constexpr std::size_t kCellBufferSize = 128;
inline constexpr std::size_t kTimeCellBufferSize = 31;
inline constexpr std::size_t kHeaderBufferSize = 256;

// The eleven cell texts of one row.
using SessionRow = std::array<std::string, kSessionColumns>;

// What a reader with a buffer of `bufferSize` characters sees of `text`:
// at most bufferSize - 1 characters (UTF-8 characters, never a cut one).
std::string TruncateToBuffer(std::string_view text, std::size_t bufferSize);

class SessionTable {
 public:
  virtual ~SessionTable() = default;
  virtual void DeleteAllRows() = 0;
  // Inserts an empty row (eleven empty cells) before `row`.
  virtual void InsertRow(int row) = 0;
  virtual void SetCellText(int row, int column, const std::string& text) = 0;
  // Inserts `rows` before `row` (0 to RowCount()), in order: what InsertRow
  // and SetCellText row by row would give, for a table that takes a block at once.
  virtual void InsertRows(int row, const std::vector<SessionRow>& rows);
  virtual int RowCount() const = 0;
  // The cell's text as seen through a buffer of `bufferSize` characters;
  // empty for a cell that does not exist.
  virtual std::string CellText(int row, int column, std::size_t bufferSize) const = 0;
  virtual int HeaderCount() const { return kSessionColumns; }
  virtual std::string HeaderText(int column, std::size_t bufferSize) const;
};

class MemorySessionTable final : public SessionTable {
 public:
  void DeleteAllRows() override { rows_.clear(); }
  void InsertRow(int row) override;
  void SetCellText(int row, int column, const std::string& text) override;
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  std::string CellText(int row, int column, std::size_t bufferSize) const override;

  using Row = SessionRow;
  const std::vector<Row>& Rows() const { return rows_; }

 private:
  std::vector<Row> rows_;
};

}  // namespace yelvane
