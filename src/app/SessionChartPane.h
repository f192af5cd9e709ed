#pragma once

// The "Session Chart" pane: a page bar beside the session table with two
// pages. "Session Chart" draws the selected row's half-hour bark and activity
// counts, loaded the way the workbook's chart sheets load them, from the dump
// the table came from; "All Sessions" plots every session's totals against
// its start, and a click on a point selects that session's row.
//
// Names: the design's given names keep their m_ prefixes (m_wndLog, m_strPetName); members of
// our own end in _ (gate_).

#include <QColor>
#include <QDateTime>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "app/VandryView.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "activity/ChartSeries.h"
#include "widgets/DockPageBar.h"

class QCategoryAxis;
class QChart;
class QChartView;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QMainWindow;
class QStackedLayout;
class QValueAxis;

namespace yelvane {

// The dump the table's sessions were read from ("" when there is none).
using DumpPathSource = std::function<std::string()>;

// The lines' colours: darker shades of the table's bark and activity tints.
QColor BarkLineColor();
QColor ActivityLineColor();

inline constexpr int kSessionChartBarId = 131;

// Either a short hint or a chart; the chart view is made once and reused.
class CChartPage : public QWidget {
  Q_OBJECT
 public:
  explicit CChartPage(QWidget* parent = nullptr);
  bool ShowsHint() const;
  QString HintText() const;
  QChart* Chart() const { return chart_; }
  QChartView* ChartView() const { return chartView_; }

 protected:
  void ShowHint(const QString& text);
  void ShowChart();
  QChart* chart_;
  QChartView* chartView_;

 private:
  QStackedLayout* stack_;
  QLabel* hint_;
};

// The selected row's half-hour series.
class CSessionChartPage final : public CChartPage {
  Q_OBJECT
 public:
  CSessionChartPage(CVandryView* view, DumpPathSource dumpPath, QWidget* parent = nullptr);

  // Loads the selected row's series now (a selection change does it at once).
  void Refresh();
  // The row on the chart (from 1), 0 while the hint shows.
  int Row() const { return row_; }
  // The series as the loader gave them.
  const ChartSeries& Series() const { return series_; }
  QLineSeries* BarkSeries() const { return bark_; }
  QLineSeries* ActivitySeries() const { return activity_; }
  QCategoryAxis* TimeAxis() const { return timeAxis_; }
  QValueAxis* CountAxis() const { return countAxis_; }
  // The time labels on the axis, without what keeps repeated ones apart.
  QStringList TimeAxisLabels() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OnTableChanged(bool rowsMoved);
  void ScheduleRefresh();
  int SelectedRow() const;
  void LabelTimeAxis();

  QPointer<CVandryView> view_;
  DumpPathSource dumpPath_;
  QLineSeries* bark_;
  QLineSeries* activity_;
  QCategoryAxis* timeAxis_;
  QValueAxis* countAxis_;
  ChartSeries series_;
  int row_ = 0;
  int labelledWidth_ = -1;
  // Each row's first sample address, worked out once per table.
  std::vector<int64_t> addresses_;
  bool addressesValid_ = false;
  bool refreshPending_ = false;
};

// Every session's bark and activity totals against its start.
class COverviewPage final : public CChartPage {
  Q_OBJECT
 public:
  struct Point {
    int row;  // from 1
    QDateTime start;
    double bark;
    double activity;
  };

  COverviewPage(CVandryView* view, QWidget* parent = nullptr);

  // Builds the points from the table now (a change of the table does it
  // shortly after, or when the page is shown).
  void Rebuild();
  // The points in time order (sessions whose start cannot be read are left out).
  const std::vector<Point>& Points() const { return points_; }
  QLineSeries* BarkSeries() const { return bark_; }
  QLineSeries* ActivitySeries() const { return activity_; }
  QDateTimeAxis* StartAxis() const { return startAxis_; }
  // Where point `index` of a series is drawn, in the chart view's coordinates.
  QPoint PointPosition(const QLineSeries* series, int index) const;
  // The row (from 1) of the point nearest `pos` (chart view coordinates)
  // within a few pixels, 0 when there is none.
  int RowAt(const QPoint& pos) const;

 signals:
  void rowClicked(int row);

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void MarkDirty();

  QPointer<CVandryView> view_;
  QLineSeries* bark_;
  QLineSeries* activity_;
  QDateTimeAxis* startAxis_;
  QValueAxis* totalAxis_;
  std::vector<Point> points_;
  bool dirty_ = true;
  QTimer rebuildTimer_;
  QPoint pressedAt_;
};

// The bar holding both pages, docked at the frame's right edge.
class CSessionChartBar final : public CDockPageBar {
  Q_OBJECT
 public:
  using CDockPageBar::CDockPageBar;

  // Creates the bar and its pages over `view`; false when the bar cannot be made.
  bool Create(QMainWindow* frame, CVandryView* view, DumpPathSource dumpPath,
              const QSize& defaultSize);
  CSessionChartPage* ChartPage() const { return chartPage_; }
  COverviewPage* OverviewPage() const { return overviewPage_; }

 private:
  QPointer<CSessionChartPage> chartPage_;
  QPointer<COverviewPage> overviewPage_;
};

}  // namespace yelvane
