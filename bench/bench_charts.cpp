// The chart pane on a full table: switching the session chart between a
// short session and one of 3000 half-hour samples, and building the overview
// of 3000 sessions. Runs on Qt's offscreen platform unless told otherwise.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDateTime>
#include <QLineSeries>

#include <filesystem>

#include "activity/FlashReport.h"
#include "app/SessionChartPane.h"
#include "app/VandryView.h"
#include "support/TestDump.h"

namespace {

using namespace yelvane;

constexpr int kRows = 3000;
constexpr int kLongSamples = 3000;

SessionRecord RecordAt(const QDateTime& start, const QDateTime& end, unsigned total) {
  SessionRecord r;
  const qint64 minutes = start.secsTo(end) / 60;
  r.durationHours = static_cast<unsigned>(std::min<qint64>(minutes / 60, 99));
  r.durationMinutes = static_cast<unsigned>(minutes % 60);
  r.total = total;
  r.rate = 10;
  r.startMinute = static_cast<unsigned>(start.time().minute());
  r.startHour = static_cast<unsigned>(start.time().hour());
  r.startDay = static_cast<unsigned>(start.date().day());
  r.startMonth = static_cast<unsigned>(start.date().month());
  r.startYear = static_cast<unsigned>(start.date().year() % 100);
  r.endMinute = static_cast<unsigned>(end.time().minute());
  r.endHour = static_cast<unsigned>(end.time().hour());
  r.endDay = static_cast<unsigned>(end.date().day());
  r.endMonth = static_cast<unsigned>(end.date().month());
  r.endYear = static_cast<unsigned>(end.date().year() % 100);
  return r;
}

// 2999 sessions of half an hour, twelve hours apart, then one of 3000
// half hours; every sample set.
const std::string& DumpFile() {
  static const std::string path = [] {
    test::TestDump dump;
    QDateTime start(QDate(2011, 1, 1), QTime(8, 0), Qt::UTC);
    for (int i = 0; i < kRows; ++i) {
      const qint64 minutes = i + 1 < kRows ? 30 : 30LL * kLongSamples;
      const QDateTime end = start.addSecs(minutes * 60);
      const SessionRecord r = RecordAt(start, end, static_cast<unsigned>(i % 500));
      dump.SetBark(i, r);
      dump.SetActivity(i, RecordAt(start, end, static_cast<unsigned>(i % 900 + 100)));
      start = start.addSecs(12 * 3600);
    }
    for (std::size_t s = 0; s < kRows - 1 + kLongSamples; ++s)
      dump.SetSample(s, static_cast<uint8_t>(s), 0, static_cast<uint8_t>(s * 3), 1);
    return dump.WriteTo(std::filesystem::temp_directory_path() / "yelvane-bench-charts.bin");
  }();
  return path;
}

// The table of the screen, filled from the dump.
CVandryView& View() {
  static CVandryView* view = [] {
    auto* v = new CVandryView;
    NullLog log;
    NullProgress progress;
    NullMessages messages;
    ReportFlashData(DumpFile(), *v, log, progress, messages);
    return v;
  }();
  return *view;
}

// Switching the session chart from the first session to the last, with
// or without the chart drawn once as the screen would show it.
void BM_SessionChart(benchmark::State& state, bool paint) {
  CVandryView& view = View();
  if (view.RowCount() != kRows) state.SkipWithError("the table is not full");
  const std::string path = DumpFile();
  CSessionChartPage page(&view, [path] { return path; });
  page.resize(440, 520);
  page.show();
  view.selectRow(0);  // the addresses are worked out once per table
  for (auto _ : state) {
    view.selectRow(kRows - 1);  // loads, plots and labels at once
    if (page.BarkSeries()->count() != kLongSamples + 1) state.SkipWithError("wrong series");
    if (paint) benchmark::DoNotOptimize(page.grab());
    state.PauseTiming();
    view.selectRow(0);
    state.ResumeTiming();
  }
}
BENCHMARK_CAPTURE(BM_SessionChart, SwitchTo3000Samples, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SessionChart, SwitchAndPaint, true)->Unit(benchmark::kMillisecond);

// The "All Sessions" overview of a full table, with or without drawing it.
void BM_Overview(benchmark::State& state, bool paint) {
  CVandryView& view = View();
  COverviewPage page(&view);
  page.resize(440, 520);
  page.show();
  for (auto _ : state) {
    page.Rebuild();
    if (page.Points().size() != static_cast<std::size_t>(kRows)) state.SkipWithError("points");
    if (paint) benchmark::DoNotOptimize(page.grab());
  }
}
BENCHMARK_CAPTURE(BM_Overview, Build3000, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Overview, BuildAndPaint3000, true)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
