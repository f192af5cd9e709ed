#pragma once

// The session table on screen: eleven tinted text columns, one row per
// session. It is the session table of the core, so the report walk fills it
// from its worker thread; those calls run on the UI thread while the worker
// waits.
//
// Names: the design's given names keep their m_ prefixes (m_wndLog, m_strPetName); members of
// our own end in _ (gate_).

#include <QAbstractTableModel>
#include <QFont>
#include <QTableView>

#include <array>
#include <vector>

#include "activity/SessionTable.h"
#include "app/UiGate.h"
#include "common/Color.h"

namespace yelvane {

// The rows as the view shows them; the cells are plain text.
class SessionModel final : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  void Clear();
  void InsertRow(int row);
  // Inserts a block of rows before `row` with one notification.
  void InsertRows(int row, const std::vector<SessionRow>& rows);
  void SetCell(int row, int column, const QString& text);
  QString Cell(int row, int column) const;

 private:
  std::vector<std::array<QString, kSessionColumns>> rows_;
};

// The tint of a column: session number yellow, bark green, activity blue,
// anything else white.
Rgb ColumnTint(int column);

class CVandryView final : public QTableView, public SessionTable {
  Q_OBJECT
 public:
  explicit CVandryView(QWidget* parent = nullptr);
  ~CVandryView() override;

  // Column widths in pixels, left to right.
  static constexpr std::array<int, kSessionColumns> kColumnWidths = {60, 70, 50, 80,  160, 160,
                                                                     70, 50, 80, 160, 160};
  // Line height of the table's font in pixels.
  static constexpr int kFontCellHeight = 15;

  // SessionTable: callable from any thread.
  void DeleteAllRows() override;
  void InsertRow(int row) override;
  void SetCellText(int row, int column, const std::string& text) override;
  // A block of rows in one call to the UI thread.
  void InsertRows(int row, const std::vector<SessionRow>& rows) override;
  int RowCount() const override;
  std::string CellText(int row, int column, std::size_t bufferSize) const override;

  // Calls from workers stop waiting for the view from now on.
  void CloseGate() { gate_.Close(); }

  SessionModel* Model() const { return model_; }
  const QFont& TableFont() const { return font_; }

 private:
  QFont font_;
  SessionModel* model_;
  mutable UiGate gate_;
};

}  // namespace yelvane
