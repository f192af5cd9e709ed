#include "app/SessionChartPane.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStackedLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "activity/TimeHelpers.h"
#include "app/VandryView.h"
#include "common/Color.h"

namespace yelvane {

namespace {

// Repeated time labels (a session longer than a day) are told apart by a
// number of zero-width spaces, since an axis takes each label only once.
const QChar kLabelSeparator(0x200B);

// The tint's hue and saturation at well under half its lightness: a green
// and a blue that read on white and apart from each other.
QColor Shade(Rgb tint) {
  const QColor color(tint.red, tint.green, tint.blue);
  const QColor shade =
      QColor::fromHslF(color.hslHueF(), color.hslSaturationF(), color.lightnessF() * 0.4f);
  return QColor(shade.red(), shade.green(), shade.blue());  // 8 bits, as drawn
}

// The axis labels need about this many pixels each.
constexpr int kTimeLabelPixels = 64;
// A marker's radius and a little more.
constexpr int kMarkerPixels = 8;

// A small line chart for the page tabs.
QIcon ChartIcon(const QColor& first, const QColor& second) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::darkGray, 1));
  painter.drawLine(1, 1, 1, 14);
  painter.drawLine(1, 14, 15, 14);
  painter.setPen(QPen(first, 1.6));
  painter.drawPolyline(QPolygonF({{2, 12}, {6, 6}, {10, 9}, {14, 3}}));
  painter.setPen(QPen(second, 1.6));
  painter.drawPolyline(QPolygonF({{2, 13}, {6, 10}, {10, 12}, {14, 8}}));
  return QIcon(pixmap);
}

QLineSeries* NewLine(const QString& name, const QColor& color) {
  auto* series = new QLineSeries;
  series->setName(name);
  QPen pen(color, 2);
  series->setPen(pen);
  series->setColor(color);
  series->setPointsVisible(true);
  series->setMarkerSize(6);
  return series;
}

// Both lines on the chart against the time axis below and the count axis
// to the left.
void AddLines(QChart* chart, QLineSeries* bark, QLineSeries* activity, QAbstractAxis* x,
              QAbstractAxis* y) {
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  for (QLineSeries* series : {bark, activity}) {
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
  }
}

// An integer tick step of 1, 2 or 5 times a power of ten, about five ticks
// up to `maximum`, and the axis end it gives.
void SetCountRange(QValueAxis* axis, double maximum) {
  double step = 1;
  while (maximum / step > 5) {
    if (maximum / (step * 2) <= 5) {
      step *= 2;
    } else if (maximum / (step * 5) <= 5) {
      step *= 5;
    } else {
      step *= 10;
    }
  }
  const double top = std::max(step, std::ceil(maximum / step) * step);
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval(step);
  axis->setRange(0, top);
}

// "MM-DD-YYYY HH:MMAM" as the report writes it; invalid when it does not read.
QDateTime CellDateTime(const std::string& cell) {
  const std::size_t blank = cell.find(' ');
  if (blank == std::string::npos || cell.size() < blank + 8) return {};
  std::vector<int> date;
  SplitToNumbers(cell.substr(0, blank), date, '-', true);
  if (date.size() != 3) return {};
  const std::string time = Time12To24(cell.substr(cell.size() - 7));
  if (time.size() != 5 || time[2] != ':') return {};
  const QDate day(date[2], date[0], date[1]);
  const QTime clock(DecimalValue(time.substr(0, 2)), DecimalValue(time.substr(3, 2)));
  if (!day.isValid() || !clock.isValid()) return {};
  // The wall-clock time as UTC: turning 3000 of them into local times would
  // cost most of the overview's time.
  return QDateTime(day, clock, Qt::UTC);
}

}  // namespace

QColor BarkLineColor() {
  return Shade(kBarkTint);
}

QColor ActivityLineColor() {
  return Shade(kActivityTint);
}

// ---------------------------------------------------------------------------

CChartPage::CChartPage(QWidget* parent)
    : QWidget(parent),
      chart_(new QChart),
      chartView_(new QChartView(chart_, this)),
      stack_(new QStackedLayout(this)),
      hint_(new QLabel(this)) {
  hint_->setAlignment(Qt::AlignCenter);
  hint_->setWordWrap(true);
  hint_->setMargin(12);
  hint_->setAutoFillBackground(true);
  hint_->setBackgroundRole(QPalette::Base);
  chart_->setAnimationOptions(QChart::NoAnimation);
  chart_->legend()->setVisible(true);
  chart_->legend()->setAlignment(Qt::AlignBottom);
  chart_->layout()->setContentsMargins(0, 0, 0, 0);
  // Room at the right for the last time label, which sits on the last point.
  chart_->setMargins(QMargins(6, 6, 40, 6));
  chartView_->setRenderHint(QPainter::Antialiasing);
  stack_->addWidget(hint_);
  stack_->addWidget(chartView_);
}

bool CChartPage::ShowsHint() const {
  return stack_->currentWidget() == hint_;
}

QString CChartPage::HintText() const {
  return ShowsHint() ? hint_->text() : QString();
}

void CChartPage::ShowHint(const QString& text) {
  hint_->setText(text);
  stack_->setCurrentWidget(hint_);
}

void CChartPage::ShowChart() {
  stack_->setCurrentWidget(chartView_);
}

// ---------------------------------------------------------------------------

CSessionChartPage::CSessionChartPage(CVandryView* view, DumpPathSource dumpPath, QWidget* parent)
    : CChartPage(parent),
      view_(view),
      dumpPath_(std::move(dumpPath)),
      bark_(NewLine(QStringLiteral("Bark"), BarkLineColor())),
      activity_(NewLine(QStringLiteral("Activity"), ActivityLineColor())),
      timeAxis_(new QCategoryAxis),
      countAxis_(new QValueAxis) {
  timeAxis_->setTitleText(QStringLiteral("Time"));
  timeAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  timeAxis_->setStartValue(-1);
  countAxis_->setTitleText(QStringLiteral("Bark/Activity"));
  countAxis_->setLabelFormat(QStringLiteral("%d"));
  AddLines(chart_, bark_, activity_, timeAxis_, countAxis_);

  SessionModel* model = view_->Model();
  connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { Refresh(); });
  connect(model, &QAbstractItemModel::modelReset, this, [this] { OnTableChanged(true); });
  connect(model, &QAbstractItemModel::rowsInserted, this, [this] { OnTableChanged(true); });
  connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { OnTableChanged(true); });
  connect(model, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& from, const QModelIndex& to) {
            // Only the start and end cells move the samples of later rows.
            if (from.column() <= 5 && to.column() >= 4) addressesValid_ = false;
            if (row_ == 0 || from.row() < row_) ScheduleRefresh();
          });
  Refresh();
}

void CSessionChartPage::OnTableChanged(bool rowsMoved) {
  if (rowsMoved) addressesValid_ = false;
  ScheduleRefresh();
}

void CSessionChartPage::ScheduleRefresh() {
  // A report walk changes the table thousands of times: load once after.
  if (refreshPending_) return;
  refreshPending_ = true;
  QTimer::singleShot(0, this, [this] {
    if (refreshPending_) Refresh();
  });
}

int CSessionChartPage::SelectedRow() const {
  const QModelIndexList selected = view_->selectionModel()->selectedIndexes();
  return selected.isEmpty() ? 0 : selected.constFirst().row() + 1;
}

void CSessionChartPage::Refresh() {
  refreshPending_ = false;
  row_ = 0;
  if (!view_) return;
  if (view_->RowCount() == 0) {
    ShowHint(QStringLiteral("No sessions to show yet: read the logger's memory data."));
    return;
  }
  const int n = SelectedRow();
  if (n == 0) {
    ShowHint(
        QStringLiteral("Select a session in the table to see its half-hour bark and "
                       "activity counts."));
    return;
  }
  const std::string path = dumpPath_ ? dumpPath_() : std::string();
  // The whole dump in one read, the loader then seeks in memory: a seek per
  // sample on the file would be a system call each.
  std::string bytes;
  bool read = false;
  if (!path.empty()) {
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
      char buffer[65536];
      for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, got);
      read = !std::ferror(file);
      std::fclose(file);
    }
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> dump(
      read && !bytes.empty() ? fmemopen(bytes.data(), bytes.size(), "rb") : nullptr, std::fclose);
  if (!read) {
    ShowHint(
        QStringLiteral("The memory dump \"%1\" cannot be read.").arg(QString::fromStdString(path)));
    return;
  }
  if (!addressesValid_ || addresses_.size() < static_cast<std::size_t>(n)) {
    addresses_ = SessionSampleAddresses(*view_);
    addressesValid_ = true;
  }
  if (addresses_.size() < static_cast<std::size_t>(n)) return;
  series_ = ChartSeries{};
  LoadSessionChartAt(*view_, n, addresses_[static_cast<std::size_t>(n - 1)], dump.get(), series_);
  row_ = n;

  QList<QPointF> bark;
  QList<QPointF> activity;
  bark.reserve(static_cast<qsizetype>(series_.bark.size()));
  activity.reserve(static_cast<qsizetype>(series_.activity.size()));
  double maximum = 1;
  for (std::size_t j = 0; j < series_.bark.size(); ++j) {
    bark.append(QPointF(static_cast<double>(j), series_.bark[j]));
    maximum = std::max<double>(maximum, series_.bark[j]);
  }
  for (std::size_t j = 0; j < series_.activity.size(); ++j) {
    activity.append(QPointF(static_cast<double>(j), series_.activity[j]));
    maximum = std::max<double>(maximum, series_.activity[j]);
  }
  // Markers a few pixels apart would only blur the line.
  const bool dense = series_.bark.size() * 4 > static_cast<std::size_t>(std::max(1, width()));
  for (QLineSeries* series : {bark_, activity_}) series->setMarkerSize(dense ? 3 : 6);
  bark_->replace(bark);
  activity_->replace(activity);
  chart_->setTitle(QStringLiteral("Session%1").arg(n));
  SetCountRange(countAxis_, maximum);
  labelledWidth_ = -1;
  LabelTimeAxis();
  ShowChart();
}

void CSessionChartPage::LabelTimeAxis() {
  const int width = std::max(this->width(), 200);
  if (width == labelledWidth_) return;
  labelledWidth_ = width;
  for (const QString& label : timeAxis_->categoriesLabels()) timeAxis_->remove(label);
  const std::size_t points = std::max(series_.labels.size(), series_.bark.size());
  const std::size_t last = points == 0 ? 0 : points - 1;
  // A few pixels to either side, so the first and last markers are not cut
  // in half by the plot's edges.
  const double span = std::max<double>(1, static_cast<double>(last));
  const double pad = span * kMarkerPixels / std::max(100, width - 80);
  timeAxis_->setRange(-pad, span + pad);
  if (series_.labels.empty()) return;
  // The start, every half hour, the end: as many as fit, evenly spread.
  const std::size_t fit = static_cast<std::size_t>(std::max(2, (width - 80) / kTimeLabelPixels));
  const std::size_t stride = std::max<std::size_t>(1, (last + fit - 2) / (fit - 1));
  QHash<QString, int> seen;
  const auto add = [&](std::size_t j) {
    QString label =
        j < series_.labels.size() ? QString::fromStdString(series_.labels[j]) : QString();
    const int repeats = seen[label]++;
    label += QString(repeats, kLabelSeparator);
    timeAxis_->append(label, static_cast<double>(j));
  };
  for (std::size_t j = 0; j < last; j += stride) {
    // Too near the end label, it would be drawn over it: when not every
    // sample is labelled, the end keeps a whole stride to itself.
    if (j > 0 && stride > 1 && last - j < stride) break;
    add(j);
  }
  add(last);
}

QStringList CSessionChartPage::TimeAxisLabels() const {
  QStringList labels;
  for (QString label : timeAxis_->categoriesLabels()) labels.append(label.remove(kLabelSeparator));
  return labels;
}

void CSessionChartPage::resizeEvent(QResizeEvent* event) {
  CChartPage::resizeEvent(event);
  if (row_ != 0) LabelTimeAxis();
}

// ---------------------------------------------------------------------------

COverviewPage::COverviewPage(CVandryView* view, QWidget* parent)
    : CChartPage(parent),
      view_(view),
      bark_(NewLine(QStringLiteral("Bark Total"), BarkLineColor())),
      activity_(NewLine(QStringLiteral("Activity Total"), ActivityLineColor())),
      startAxis_(new QDateTimeAxis),
      totalAxis_(new QValueAxis) {
  chart_->setTitle(QStringLiteral("All Sessions"));
  startAxis_->setTitleText(QStringLiteral("Start Time"));
  startAxis_->setFormat(QStringLiteral("MM-dd-yyyy"));
  startAxis_->setTickCount(5);
  totalAxis_->setTitleText(QStringLiteral("Bark/Activity Total"));
  totalAxis_->setLabelFormat(QStringLiteral("%d"));
  AddLines(chart_, bark_, activity_, startAxis_, totalAxis_);
  chartView_->viewport()->installEventFilter(this);

  rebuildTimer_.setSingleShot(true);
  rebuildTimer_.setInterval(150);
  connect(&rebuildTimer_, &QTimer::timeout, this, [this] {
    if (dirty_ && isVisible()) Rebuild();
  });
  SessionModel* model = view_->Model();
  connect(model, &QAbstractItemModel::modelReset, this, [this] { MarkDirty(); });
  connect(model, &QAbstractItemModel::rowsInserted, this, [this] { MarkDirty(); });
  connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { MarkDirty(); });
  connect(model, &QAbstractItemModel::dataChanged, this, [this] { MarkDirty(); });
  Rebuild();
}

void COverviewPage::MarkDirty() {
  dirty_ = true;
  // Changes come in bursts (a report walk): rebuild once they stop.
  if (isVisible()) rebuildTimer_.start();
}

void COverviewPage::showEvent(QShowEvent* event) {
  CChartPage::showEvent(event);
  if (dirty_) Rebuild();
}

void COverviewPage::Rebuild() {
  dirty_ = false;
  rebuildTimer_.stop();
  points_.clear();
  if (!view_) return;
  const int rows = view_->RowCount();
  points_.reserve(static_cast<std::size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    const QDateTime start = CellDateTime(view_->CellText(r, 4, kTimeCellBufferSize));
    if (!start.isValid()) continue;
    points_.push_back({r + 1, start,
                       static_cast<double>(DecimalValue(view_->CellText(r, 2, kCellBufferSize))),
                       static_cast<double>(DecimalValue(view_->CellText(r, 7, kCellBufferSize)))});
  }
  std::stable_sort(points_.begin(), points_.end(),
                   [](const Point& a, const Point& b) { return a.start < b.start; });
  if (points_.empty()) {
    bark_->clear();
    activity_->clear();
    ShowHint(rows == 0 ? QStringLiteral("No sessions to show yet: read the logger's memory data.")
                       : QStringLiteral("No session start can be read from the table."));
    return;
  }
  QList<QPointF> bark;
  QList<QPointF> activity;
  bark.reserve(static_cast<qsizetype>(points_.size()));
  activity.reserve(static_cast<qsizetype>(points_.size()));
  double maximum = 1;
  // The axis shows local times: shift the wall-clock times by the local
  // offset (the first session's; one offset for all keeps this cheap).
  const qint64 shift =
      qint64{
          QDateTime(points_.front().start.date(), points_.front().start.time()).offsetFromUtc()} *
      1000;
  for (const Point& p : points_) {
    const auto x = static_cast<double>(p.start.toMSecsSinceEpoch() - shift);
    bark.append(QPointF(x, p.bark));
    activity.append(QPointF(x, p.activity));
    maximum = std::max({maximum, p.bark, p.activity});
  }
  const bool dense = points_.size() * 4 > static_cast<std::size_t>(std::max(1, width()));
  for (QLineSeries* series : {bark_, activity_}) series->setMarkerSize(dense ? 3 : 6);
  bark_->replace(bark);
  activity_->replace(activity);
  QDateTime first = QDateTime::fromMSecsSinceEpoch(qint64(bark.front().x()));
  QDateTime last = QDateTime::fromMSecsSinceEpoch(qint64(bark.back().x()));
  // A margin either side keeps the end points off the frame.
  const qint64 span = std::max<qint64>(first.secsTo(last), 3600);
  first = first.addSecs(-span / 20 - 1800);
  last = last.addSecs(span / 20 + 1800);
  startAxis_->setRange(first, last);
  startAxis_->setFormat(first.daysTo(last) <= 2 ? QStringLiteral("MM-dd hh:mm")
                                                : QStringLiteral("MM-dd-yyyy"));
  SetCountRange(totalAxis_, maximum);
  ShowChart();
}

QPoint COverviewPage::PointPosition(const QLineSeries* series, int index) const {
  if (index < 0 || index >= series->count()) return {};
  const QPointF inChart =
      chart_->mapToPosition(series->at(index), const_cast<QLineSeries*>(series));
  return chartView_->mapFromScene(chart_->mapToScene(inChart));
}

int COverviewPage::RowAt(const QPoint& pos) const {
  constexpr int kReach = 8;
  int best = 0;
  int bestDistance = kReach * kReach + 1;
  for (const QLineSeries* series : {bark_, activity_}) {
    for (int i = 0; i < series->count() && i < static_cast<int>(points_.size()); ++i) {
      const QPoint d = PointPosition(series, i) - pos;
      const int distance = d.x() * d.x() + d.y() * d.y();
      if (distance < bestDistance) {
        bestDistance = distance;
        best = points_[static_cast<std::size_t>(i)].row;
      }
    }
  }
  return best;
}

bool COverviewPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == chartView_->viewport()) {
    if (event->type() == QEvent::MouseButtonPress) {
      pressedAt_ = static_cast<QMouseEvent*>(event)->position().toPoint();
    } else if (event->type() == QEvent::MouseButtonRelease) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint at = mouse->position().toPoint();
      if (mouse->button() == Qt::LeftButton && (at - pressedAt_).manhattanLength() <= 4) {
        if (const int row = RowAt(at)) emit rowClicked(row);
      }
    }
  }
  return CChartPage::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------

bool CSessionChartBar::Create(QMainWindow* frame, CVandryView* view, DumpPathSource dumpPath,
                              const QSize& defaultSize) {
  if (!CDockPageBar::Create(QStringLiteral("Session Chart"), frame, defaultSize, true,
                            kSessionChartBarId, kAlignTop))
    return false;
  SetBarStyle(GetBarStyle() | kTooltips | kFlyBy | kSizeDynamic);
  EnableDocking(Qt::AllDockWidgetAreas);
  chartPage_ = new CSessionChartPage(view, std::move(dumpPath), this);
  overviewPage_ = new COverviewPage(view, this);
  AddPage(chartPage_, QStringLiteral("Session Chart"),
          ChartIcon(BarkLineColor(), ActivityLineColor()));
  AddPage(overviewPage_, QStringLiteral("All Sessions"),
          ChartIcon(ActivityLineColor(), BarkLineColor()));
  connect(overviewPage_, &COverviewPage::rowClicked, view, [view](int row) {
    const QModelIndex at = view->Model()->index(row - 1, 0);
    if (!at.isValid()) return;
    view->selectRow(row - 1);
    view->scrollTo(at);
  });
  return true;
}

}  // namespace yelvane
