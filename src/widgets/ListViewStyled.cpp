#include "widgets/ListViewStyled.h"

#include <QHeaderView>
#include <QStyledItemDelegate>

namespace yelvane {
namespace {

class StyledDelegate : public QStyledItemDelegate {
 public:
  explicit StyledDelegate(CListViewStyled* view) : QStyledItemDelegate(view), m_view(view) {}

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const CListViewStyled::Style style = m_view->EffectiveStyle(index.row(), index.column());
    if (style.text.isValid()) {
      option->palette.setColor(QPalette::Text, style.text);
      option->palette.setColor(QPalette::HighlightedText, style.text);
    }
    if (style.back.isValid()) option->backgroundBrush = QBrush(style.back);
    if (style.hasFont) option->font = style.font;
  }

 private:
  CListViewStyled* m_view;
};

}  // namespace

CListViewStyled::CListViewStyled(QWidget* parent) : QTableView(parent) {
  setItemDelegate(new StyledDelegate(this));
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setShowGrid(false);
  verticalHeader()->hide();
}

void CListViewStyled::setModel(QAbstractItemModel* model) {
  for (const QMetaObject::Connection& connection : m_modelConnections) disconnect(connection);
  m_modelConnections.clear();
  QTableView::setModel(model);
  if (model != nullptr) {
    m_modelConnections = {
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex& parent, int first, int last) {
                  if (!parent.isValid()) InsertRows(first, last);
                }),
        connect(model, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex& parent, int first, int last) {
                  if (!parent.isValid()) RemoveRows(first, last);
                }),
        connect(model, &QAbstractItemModel::columnsInserted, this,
                [this](const QModelIndex& parent, int first, int last) {
                  if (!parent.isValid()) InsertColumns(first, last);
                }),
        connect(model, &QAbstractItemModel::columnsRemoved, this,
                [this](const QModelIndex& parent, int first, int last) {
                  if (!parent.isValid()) RemoveColumns(first, last);
                }),
        connect(model, &QAbstractItemModel::modelReset, this, [this] { Rebuild(); }),
        connect(model, &QAbstractItemModel::layoutChanged, this, [this] { viewport()->update(); }),
    };
  }
  Rebuild();
}

void CListViewStyled::Rebuild() {
  m_rows.clear();
  m_nColumns = model() != nullptr ? model()->columnCount() : 0;
  const int rows = model() != nullptr ? model()->rowCount() : 0;
  if (rows > 0) InsertRows(0, rows - 1);
}

void CListViewStyled::InsertRows(int first, int last) {
  first = qBound(0, first, static_cast<int>(m_rows.size()));
  for (int row = first; row <= first + (last - first); ++row) {
    RowStyle record;
    record.cells.resize(m_nColumns);
    m_rows.insert(row, record);
  }
}

void CListViewStyled::RemoveRows(int first, int last) {
  if (first < 0 || first >= m_rows.size()) return;
  last = qMin(last, static_cast<int>(m_rows.size()) - 1);
  m_rows.remove(first, last - first + 1);
}

void CListViewStyled::InsertColumns(int first, int last) {
  first = qBound(0, first, m_nColumns);
  const int count = last - first + 1;
  m_nColumns += count;
  for (RowStyle& row : m_rows) row.cells.insert(first, count, Style{});
}

void CListViewStyled::RemoveColumns(int first, int last) {
  if (first < 0 || first >= m_nColumns) return;
  last = qMin(last, m_nColumns - 1);
  m_nColumns -= last - first + 1;
  for (RowStyle& row : m_rows) row.cells.remove(first, last - first + 1);
}

bool CListViewStyled::SetItemStyle(int row, const Style& style) {
  if (row < 0 || row >= m_rows.size()) return false;
  m_rows[row].item = style;
  viewport()->update();
  return true;
}

bool CListViewStyled::SetCellStyle(int row, int column, const Style& style) {
  if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_nColumns) return false;
  m_rows[row].cells[column] = style;
  viewport()->update();
  return true;
}

CListViewStyled::Style CListViewStyled::GetItemStyle(int row) const {
  return row >= 0 && row < m_rows.size() ? m_rows[row].item : Style{};
}

CListViewStyled::Style CListViewStyled::GetCellStyle(int row, int column) const {
  if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_nColumns) return Style{};
  return m_rows[row].cells[column];
}

CListViewStyled::Style CListViewStyled::EffectiveStyle(int row, int column) const {
  Style style = GetItemStyle(row);
  const Style cell = GetCellStyle(row, column);
  if (cell.text.isValid()) style.text = cell.text;
  if (cell.back.isValid()) style.back = cell.back;
  if (cell.hasFont) {
    style.font = cell.font;
    style.hasFont = true;
  }
  return style;
}

}  // namespace yelvane
