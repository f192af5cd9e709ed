// The workbook report through the built-in engine (every call by name, the
// in-memory model, then libxlsxwriter), exported to .xlsx.
//   bench_workbook --benchmark_filter=NoCharts3000
//   bench_workbook --benchmark_filter=Charts256
//   bench_workbook --benchmark_filter=Charts3000
// scripts/bench-workbook runs them side by side, with their peak memory.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "bench_workbook_data.h"
#include "common/TempFolder.h"
#include "report/WorkbookReport.h"
#include "support/Workbook.h"

namespace yelvane {
namespace {

class Quiet final : public SaveObserver {
 public:
  void SetProgress(int) override {}
  void SetStatus(const std::string&) override {}
  void End() override {}
};

void RunReport(benchmark::State& state, int sessions, bool charts) {
  const TempFolder folder;
  const std::string dir = folder.Str();
  MemorySessionTable table;
  bench::FillTable(table, sessions);
  WorkbookJob job;
  job.path = dir + "/report.xlsx";
  job.plot = charts;
  job.pet = {"Rex", "Ann", "Garden"};
  job.table = &table;
  job.dumpPath = bench::WriteDump(dir);
  for (auto _ : state) {
    NullMessages messages;
    Quiet observer;
    if (!test::SaveReport(job, messages, observer)) state.SkipWithError("not saved");
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(job.path));
}

void NoCharts3000(benchmark::State& state) {
  RunReport(state, 3000, false);
}
void Charts256(benchmark::State& state) {
  RunReport(state, 256, true);
}
// The full logger: 3000 rows and 3000 session sheets with their charts.
void Charts3000(benchmark::State& state) {
  RunReport(state, 3000, true);
}

BENCHMARK(NoCharts3000)->Unit(benchmark::kMillisecond);
BENCHMARK(Charts256)->Unit(benchmark::kMillisecond);
BENCHMARK(Charts3000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace yelvane

BENCHMARK_MAIN();
