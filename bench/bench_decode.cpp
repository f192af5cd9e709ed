// The report walk over a dense dump: 3000 sessions, every slot in use.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "activity/ChartSeries.h"
#include "activity/FlashReport.h"
#include "report/TextReport.h"
#include "sim/DemoData.h"

namespace {

using namespace yelvane;

const std::vector<uint8_t>& DenseDump() {
  static const std::vector<uint8_t> dump = [] {
    DemoOptions options;
    options.sessions = 3000;
    return DumpSlice(MakeDemoMemory(options));
  }();
  return dump;
}

const std::string& DenseDumpFile() {
  static const std::string path = [] {
    const auto p = std::filesystem::temp_directory_path() / "yelvane-bench-dense.bin";
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(DenseDump().data()),
               static_cast<std::streamsize>(DenseDump().size()));
    return p.string();
  }();
  return path;
}

// From the file on disk, as the program runs it after a memory read.
void BM_ReportFlashData_File(benchmark::State& state) {
  MemorySessionTable table;
  NullLog log;
  NullProgress progress;
  NullMessages messages;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReportFlashData(DenseDumpFile(), table, log, progress, messages));
    if (table.RowCount() != 3000) state.SkipWithError("expected 3000 rows");
  }
  state.SetItemsProcessed(state.iterations() * 3000);
}
BENCHMARK(BM_ReportFlashData_File)->Unit(benchmark::kMillisecond);

void BM_ReportFlashData_Memory(benchmark::State& state) {
  MemorySessionTable table;
  NullLog log;
  NullProgress progress;
  for (auto _ : state)
    ReportFlashDataFromMemory(DenseDump().data(), DenseDump().size(), table, log, progress);
  state.SetItemsProcessed(state.iterations() * 3000);
}
BENCHMARK(BM_ReportFlashData_Memory)->Unit(benchmark::kMillisecond);

// The session table of the dense dump, walked once outside the timed loops.
MemorySessionTable DenseTable() {
  MemorySessionTable table;
  NullLog log;
  NullProgress progress;
  ReportFlashDataFromMemory(DenseDump().data(), DenseDump().size(), table, log, progress);
  return table;
}

void BM_TextReport(benchmark::State& state) {
  const MemorySessionTable table = DenseTable();
  for (auto _ : state)
    benchmark::DoNotOptimize(BuildTextReport(table, PetInfo{"Rex", "Ann", "Oslo"}));
}
BENCHMARK(BM_TextReport)->Unit(benchmark::kMillisecond);

// Every row's chart series, as the workbook loads them one after another.
void BM_LoadAllSessionCharts(benchmark::State& state) {
  const MemorySessionTable table = DenseTable();
  std::FILE* file = std::fopen(DenseDumpFile().c_str(), "rb");
  ChartSeries series;
  for (auto _ : state)
    for (int n = 1; n <= table.RowCount(); ++n) LoadSessionChart(table, n, file, series);
  std::fclose(file);
}
BENCHMARK(BM_LoadAllSessionCharts)->Unit(benchmark::kMillisecond);

// The same with the sample addresses summed once.
void BM_LoadAllSessionChartsAt(benchmark::State& state) {
  const MemorySessionTable table = DenseTable();
  std::FILE* file = std::fopen(DenseDumpFile().c_str(), "rb");
  ChartSeries series;
  for (auto _ : state) {
    const std::vector<int64_t> addresses = SessionSampleAddresses(table);
    for (int n = 1; n <= table.RowCount(); ++n)
      LoadSessionChartAt(table, n, addresses[static_cast<std::size_t>(n - 1)], file, series);
  }
  std::fclose(file);
}
BENCHMARK(BM_LoadAllSessionChartsAt)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
