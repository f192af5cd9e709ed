#include "app/VandryView.h"

#include <QColor>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPalette>
#include <QStyledItemDelegate>
#include <QThread>

#include <algorithm>
#include <iterator>

namespace yelvane {

int SessionModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SessionModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kSessionColumns;
}

Rgb ColumnTint(int column) {
  if (column == 0) return kSessionTint;
  if (column >= 1 && column <= 5) return kBarkTint;
  if (column >= 6 && column <= 10) return kActivityTint;
  return Rgb{255, 255, 255};
}

QVariant SessionModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= kSessionColumns) return {};
  switch (role) {
    case Qt::DisplayRole:
      return Cell(index.row(), index.column());
    case Qt::BackgroundRole: {
      const Rgb tint = ColumnTint(index.column());
      return QColor(tint.red, tint.green, tint.blue);
    }
    case Qt::ForegroundRole:
      return QColor(Qt::black);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant SessionModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kSessionColumns) return {};
  if (role == Qt::DisplayRole) {
    const auto title = kSessionColumnTitles[static_cast<std::size_t>(section)];
    return QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
  }
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags SessionModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void SessionModel::Clear() {
  if (rows_.empty()) return;
  beginResetModel();
  rows_.clear();
  endResetModel();
}

void SessionModel::InsertRow(int row) {
  row = std::clamp(row, 0, rowCount());
  beginInsertRows({}, row, row);
  rows_.insert(rows_.begin() + row, std::array<QString, kSessionColumns>{});
  endInsertRows();
}

void SessionModel::InsertRows(int row, const std::vector<SessionRow>& rows) {
  if (rows.empty()) return;
  row = std::clamp(row, 0, rowCount());
  std::vector<std::array<QString, kSessionColumns>> block(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < kSessionColumns; ++c)
      block[r][c] = QString::fromStdString(rows[r][c]);
  beginInsertRows({}, row, row + static_cast<int>(rows.size()) - 1);
  rows_.insert(rows_.begin() + row, std::make_move_iterator(block.begin()),
               std::make_move_iterator(block.end()));
  endInsertRows();
}

void SessionModel::SetCell(int row, int column, const QString& text) {
  if (row < 0 || row >= rowCount() || column < 0 || column >= kSessionColumns) return;
  rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
  const QModelIndex at = index(row, column);
  emit dataChanged(at, at, {Qt::DisplayRole});
}

QString SessionModel::Cell(int row, int column) const {
  if (row < 0 || row >= rowCount() || column < 0 || column >= kSessionColumns) return {};
  return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

namespace {
// Cells keep their tint under the current-item mark; the selection alone
// is highlighted, across the whole row.
class CellDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->state &= ~QStyle::State_HasFocus;
  }
};
}  // namespace

CVandryView::CVandryView(QWidget* parent)
    : QTableView(parent), model_(new SessionModel(this)), gate_(this) {
  font_.setFamily(QStringLiteral("Lucida Sans Unicode"));
  font_.setWeight(QFont::Black);
  // 15 is the height of the whole character cell, not of the em square: take
  // the largest pixel size whose line height fits in it.
  for (int size = kFontCellHeight; size > 1; --size) {
    font_.setPixelSize(size);
    if (QFontMetrics(font_).height() <= kFontCellHeight) break;
  }
  // Lucida Sans Unicode is narrow for its height; where it is missing a
  // condensed face keeps the dates within their 160-pixel columns.
  if (QFontInfo(font_).family() != font_.family()) font_.setStretch(QFont::Condensed);
  setModel(model_);
  setItemDelegate(new CellDelegate(this));

  // Report view: single full-row selection that stays visible without focus.
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setSortingEnabled(false);
  verticalHeader()->hide();
  // A list control marks no row under the mouse.
  setMouseTracking(false);
  viewport()->setAttribute(Qt::WA_Hover, false);
  QPalette pal = palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
  }
  pal.setColor(QPalette::Base, Qt::white);
  setPalette(pal);

  setFont(font_);
  QHeaderView* header = horizontalHeader();
  header->setFont(font_);
  verticalHeader()->setDefaultSectionSize(QFontMetrics(font_).height() + 4);

  // The header can be neither clicked nor resized.
  header->setSectionsClickable(false);
  header->setSectionsMovable(false);
  header->setHighlightSections(false);
  header->setStretchLastSection(false);
  header->setSectionResizeMode(QHeaderView::Fixed);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setAttribute(Qt::WA_TransparentForMouseEvents);
  for (int column = 0; column < kSessionColumns; ++column) {
    header->resizeSection(column, kColumnWidths[static_cast<std::size_t>(column)]);
  }
}

CVandryView::~CVandryView() {
  gate_.Close();
}

void CVandryView::DeleteAllRows() {
  gate_.Call([model = model_] { model->Clear(); });
}

void CVandryView::InsertRow(int row) {
  gate_.Call([model = model_, row] { model->InsertRow(row); });
}

void CVandryView::InsertRows(int row, const std::vector<SessionRow>& rows) {
  // On the UI thread (a report's hand-off) without copying the block.
  if (QThread::currentThread() == thread()) {
    if (!gate_.IsClosed()) model_->InsertRows(row, rows);
    return;
  }
  gate_.Call([model = model_, row, rows] { model->InsertRows(row, rows); });
}

void CVandryView::SetCellText(int row, int column, const std::string& text) {
  gate_.Call([model = model_, row, column, text] {
    model->SetCell(row, column, QString::fromStdString(text));
  });
}

int CVandryView::RowCount() const {
  return gate_.Call([model = model_] { return model->rowCount(); });
}

std::string CVandryView::CellText(int row, int column, std::size_t bufferSize) const {
  const std::string text =
      gate_.Call([model = model_, row, column] { return model->Cell(row, column).toStdString(); });
  return TruncateToBuffer(text, bufferSize);
}

}  // namespace yelvane
