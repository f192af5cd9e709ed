// The "Session Chart" pane: its series against the loader's, following the
// table's selection, and the "All Sessions" overview with its clicks.

#include <QCategoryAxis>
#include <QChartView>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include "activity/ChartSeries.h"
#include "activity/FlashReport.h"
#include "app/MainFrm.h"
#include "app/SessionChartPane.h"
#include "app/Vandry.h"
#include "app/VandryView.h"
#include "support/Gui.h"
#include "support/Recorders.h"
#include "support/TestDump.h"

using namespace yelvane;
using yelvane::test::SampleRecord;
using yelvane::test::TestDump;

namespace {

SessionRecord Session(unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned endDay,
                      unsigned endHour, unsigned endMinute, unsigned total) {
  SessionRecord r = SampleRecord();
  r.startMonth = r.endMonth = month;
  r.startDay = day;
  r.endDay = endDay;
  r.startHour = hour;
  r.startMinute = minute;
  r.endHour = endHour;
  r.endMinute = endMinute;
  r.total = total;
  return r;
}

// Rows: 1 from 03-07-2011 11:40PM to 00:20AM (two samples across midnight),
// 2 with equal start and end (one sample), 3 a day and a half (74 samples),
// 4 earlier than all of them. Bark and activity totals differ per row.
std::string WriteDump(const QTemporaryDir& dir) {
  TestDump dump;
  const SessionRecord rows[] = {
      Session(3, 7, 23, 40, 8, 0, 20, 10), Session(3, 9, 20, 0, 9, 20, 0, 7),
      Session(3, 10, 6, 0, 11, 18, 50, 300), Session(3, 1, 9, 15, 1, 9, 45, 55)};
  for (int i = 0; i < 4; ++i) {
    dump.SetBark(i, rows[i]);
    SessionRecord activity = rows[i];
    activity.total = rows[i].total * 3 + 1;
    dump.SetActivity(i, activity);
  }
  // Samples with erased bytes (0xFF reads 0 on its own) and both halves set.
  for (std::size_t s = 0; s < 80; ++s)
    dump.SetSample(s, static_cast<uint8_t>(s * 7), s % 5 == 0 ? 0xFF : 0x01,
                   s % 3 == 0 ? 0xFF : static_cast<uint8_t>(s), 0x00);
  return dump.WriteTo(dir.filePath("d.bin").toStdString());
}

// What the loader gives for row n, through its own table and file.
ChartSeries LoaderSeries(const std::string& path, int n) {
  MemorySessionTable table;
  NullLog log;
  NullProgress progress;
  NullMessages messages;
  ReportFlashData(path, table, log, progress, messages);
  ChartSeries series;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  LoadSessionChart(table, n, file, series);
  std::fclose(file);
  return series;
}

std::vector<double> Ys(const QLineSeries* series) {
  std::vector<double> ys;
  for (const QPointF& p : series->points()) ys.push_back(p.y());
  return ys;
}

template <class T>
std::vector<double> AsDoubles(const std::vector<T>& values) {
  return std::vector<double>(values.begin(), values.end());
}

}  // namespace

class TestAppCharts : public QObject {
  Q_OBJECT
 private slots:
  void paneIsARightDockedPageBar();
  void chartFollowsSelectionWithTheLoadersSeries();
  void overviewMatchesTableAndClickSelectsRow();

 private:
  CVandryApp app_;
};

void TestAppCharts::paneIsARightDockedPageBar() {
  CMainFrame frame;
  frame.resize(1280, 800);
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  CSessionChartBar* bar = frame.ChartBar();
  QVERIFY(bar != nullptr);
  QCOMPARE(bar->windowTitle(), QStringLiteral("Session Chart"));
  QCOMPARE(frame.dockWidgetArea(bar), Qt::RightDockWidgetArea);
  QCOMPARE(bar->GetPageCount(), 2);
  QCOMPARE(bar->GetPageTitle(0), QStringLiteral("Session Chart"));
  QCOMPARE(bar->GetPageTitle(1), QStringLiteral("All Sessions"));
  // No rows: a hint on both pages, not an empty frame.
  QVERIFY(bar->ChartPage()->ShowsHint());
  QVERIFY(bar->OverviewPage()->ShowsHint());
  QVERIFY(bar->SetAutoHide(true));
  QVERIFY(frame.IsAutoHidden(bar));
  QVERIFY(bar->SetAutoHide(false));
  QCOMPARE(frame.dockWidgetArea(bar), Qt::RightDockWidgetArea);
}

void TestAppCharts::chartFollowsSelectionWithTheLoadersSeries() {
  QTemporaryDir dir;
  const std::string path = WriteDump(dir);
  CMainFrame frame;
  frame.resize(1280, 800);
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  frame.OpenDump(path);
  CVandryView* view = frame.View();
  QCOMPARE(view->RowCount(), 4);
  CSessionChartPage* page = frame.ChartBar()->ChartPage();
  QTRY_VERIFY(page->HintText().startsWith(QStringLiteral("Select a session")));

  struct Case {
    int row;
    QStringList labels;  // every label fits on the axis
  } cases[] = {
      {1, {"11:40PM", "00:10AM", "00:20AM"}},
      {2, {"08:00PM", "08:00PM"}},
      {3, {}},
  };
  for (const Case& c : cases) {
    view->selectRow(c.row - 1);
    // At once, not on some later event.
    QVERIFY(!page->ShowsHint());
    QCOMPARE(page->Row(), c.row);
    QCOMPARE(page->Chart()->title(), QStringLiteral("Session%1").arg(c.row));
    const ChartSeries expected = LoaderSeries(path, c.row);
    QCOMPARE(page->Series().labels, expected.labels);
    QCOMPARE(Ys(page->BarkSeries()), AsDoubles(expected.bark));
    QCOMPARE(Ys(page->ActivitySeries()), AsDoubles(expected.activity));
    for (int j = 0; j < page->BarkSeries()->count(); ++j)
      QCOMPARE(page->BarkSeries()->at(j).x(), double(j));
    const QStringList labels = page->TimeAxisLabels();
    if (!c.labels.isEmpty()) {
      QCOMPARE(labels, c.labels);
    } else {
      // 75 labels do not fit: the first and the last, evenly thinned between.
      QCOMPARE(expected.labels.size(), 75u);
      QVERIFY(labels.size() >= 3 && labels.size() < 40);
      QCOMPARE(labels.first(), QString::fromStdString(expected.labels.front()));
      QCOMPARE(labels.last(), QString::fromStdString(expected.labels.back()));
      const QList<double> at = [&] {
        QList<double> values;
        for (const QString& label : page->TimeAxis()->categoriesLabels())
          values.append(page->TimeAxis()->endValue(label));
        return values;
      }();
      for (int i = 0; i < labels.size(); ++i)
        QCOMPARE(labels[i],
                 QString::fromStdString(expected.labels[static_cast<std::size_t>(at[i])]));
      // The end label is no nearer the one before than the others are.
      QVERIFY(at[at.size() - 1] - at[at.size() - 2] >= at[1] - at[0]);
    }
    // The end markers lie inside the plot, not on its edges.
    QVERIFY(page->TimeAxis()->min() < 0);
    QVERIFY(page->TimeAxis()->max() > page->BarkSeries()->count() - 1);
    QVERIFY(page->CountAxis()->max() >=
            *std::max_element(expected.activity.begin(), expected.activity.end()));
  }
  // Darker shades of the table's tints, one hue each.
  QCOMPARE(page->BarkSeries()->color(), BarkLineColor());
  for (const auto& [line, tint] : {std::pair{BarkLineColor(), QColor(204, 255, 204)},
                                   {ActivityLineColor(), QColor(153, 204, 255)}}) {
    QVERIFY(qAbs(line.hslHue() - tint.hslHue()) <= 1);
    QVERIFY(line.lightness() < tint.lightness() / 2);
  }
  QVERIFY(page->Chart()->legend()->isVisible());
  QCOMPARE(page->TimeAxis()->titleText(), QStringLiteral("Time"));
  QCOMPARE(page->CountAxis()->titleText(), QStringLiteral("Bark/Activity"));

  // The selection goes: the hint comes back. A new table: the hint too.
  view->clearSelection();
  QVERIFY(page->ShowsHint());
  view->selectRow(0);
  QVERIFY(!page->ShowsHint());
  TestDump().WriteTo(dir.filePath("erased.bin").toStdString());
  frame.OpenDump(dir.filePath("erased.bin").toStdString());
  QTRY_VERIFY(page->HintText().startsWith(QStringLiteral("No sessions")));
  // A dump that went away is said so, not drawn as zeros.
  frame.OpenDump(path);
  QFile::remove(QString::fromStdString(path));
  view->selectRow(1);
  QVERIFY(page->HintText().contains(QStringLiteral("cannot be read")));
}

void TestAppCharts::overviewMatchesTableAndClickSelectsRow() {
  QTemporaryDir dir;
  const std::string path = WriteDump(dir);
  CMainFrame frame;
  frame.resize(1280, 800);
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  frame.OpenDump(path);
  CSessionChartBar* bar = frame.ChartBar();
  bar->SetActivePage(1);
  COverviewPage* page = bar->OverviewPage();
  QTRY_VERIFY(!page->ShowsHint());
  QTRY_COMPARE(page->Points().size(), 4u);
  QTest::qWait(50);
  test::SaveShot(frame, QStringLiteral("charts_overview"));

  // In time order: row 4 (03-01) first, then rows 1, 2, 3; the y values are
  // the table's totals of each row, the x its bark start.
  CVandryView* view = frame.View();
  const int order[] = {4, 1, 2, 3};
  for (int i = 0; i < 4; ++i) {
    const int row = order[i];
    QCOMPARE(page->Points()[static_cast<std::size_t>(i)].row, row);
    QCOMPARE(page->BarkSeries()->at(i).y(),
             QString::fromStdString(view->CellText(row - 1, 2, 128)).toDouble());
    QCOMPARE(page->ActivitySeries()->at(i).y(),
             QString::fromStdString(view->CellText(row - 1, 7, 128)).toDouble());
    QCOMPARE(QDateTime::fromMSecsSinceEpoch(qint64(page->BarkSeries()->at(i).x()))
                 .toString(QStringLiteral("MM-dd-yyyy hh:mmAP")),
             QString::fromStdString(view->CellText(row - 1, 4, 31)));
  }

  // A click on a point selects its row, and the chart page follows.
  QChartView* chartView = page->ChartView();
  for (const auto& [series, index, row] :
       {std::tuple{page->BarkSeries(), 2, 2}, std::tuple{page->ActivitySeries(), 0, 4},
        std::tuple{page->ActivitySeries(), 3, 3}}) {
    const QPoint at = page->PointPosition(series, index);
    QVERIFY(chartView->viewport()->rect().contains(at));
    QTest::mouseClick(chartView->viewport(), Qt::LeftButton, {}, at + QPoint(2, -1));
    const QModelIndexList selected = view->selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().row(), row - 1);
    QCOMPARE(bar->ChartPage()->Row(), row);
  }
  // Far from every point nothing changes.
  QTest::mouseClick(chartView->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
  QCOMPARE(view->selectionModel()->selectedRows().first().row(), 2);

  // A new table is plotted again once the page shows it.
  TestDump().WriteTo(dir.filePath("erased.bin").toStdString());
  frame.OpenDump(dir.filePath("erased.bin").toStdString());
  QTRY_VERIFY(page->ShowsHint());
  QCOMPARE(page->Points().size(), 0u);
}

QTEST_MAIN(TestAppCharts)
#include "tst_app_charts.moc"
