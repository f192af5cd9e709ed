#pragma once

// Names: this toolkit's members keep the m_ and type prefixes of the widgets the design names
// (m_szHorz, m_clrText); members of our own elsewhere end in _.

#include <QColor>
#include <QFont>
#include <QList>
#include <QTableView>

namespace yelvane {

// Report-style list that keeps a style record for every item (row) and every
// cell, follows the model as rows and columns come and go, and draws with
// them. A cell's own colours and font win over those of its item.
class CListViewStyled : public QTableView {
  Q_OBJECT

 public:
  struct Style {
    QColor text;  // invalid: the view's own
    QColor back;  // invalid: the view's own
    QFont font;
    bool hasFont = false;
    friend bool operator==(const Style&, const Style&) = default;
  };

  explicit CListViewStyled(QWidget* parent = nullptr);

  void setModel(QAbstractItemModel* model) override;

  bool SetItemStyle(int row, const Style& style);
  bool SetCellStyle(int row, int column, const Style& style);
  Style GetItemStyle(int row) const;
  Style GetCellStyle(int row, int column) const;
  // The style a cell is drawn with.
  Style EffectiveStyle(int row, int column) const;

  int StyledRowCount() const { return static_cast<int>(m_rows.size()); }
  int StyledColumnCount() const { return m_nColumns; }

 private:
  struct RowStyle {
    Style item;
    QList<Style> cells;
  };
  void Rebuild();
  void InsertRows(int first, int last);
  void RemoveRows(int first, int last);
  void InsertColumns(int first, int last);
  void RemoveColumns(int first, int last);

  QList<RowStyle> m_rows;
  int m_nColumns = 0;
  QList<QMetaObject::Connection> m_modelConnections;
};

}  // namespace yelvane
