// A full memory read (640 sectors) through the worker on the simulated
// logger, with a recording observer. The clock does not sleep, so the 100 ms
// pause after the begin block is left out and what remains is our own time:
// the worker, the observer calls, the dump file write, and the simulator.
// BM_SimulatorSectorsOnly measures the simulator's share alone.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "common/TempFolder.h"
#include "operations/ReadFlash.h"
#include "sim/SimulatedLogger.h"
#include "support/Recorders.h"

namespace yelvane {
namespace {

class NoPauseClock final : public Clock {
 public:
  uint32_t TickMs() override { return DefaultClock().TickMs(); }
  void SleepMs(uint32_t) override {}
};

std::string DumpPath() {
  static const TempFolder folder;
  return folder.File("tmp.bin");
}

void BM_ReadWorker(benchmark::State& state) {
  auto device = std::make_shared<SimulatedLogger>(MakeBlankMemory());
  SimulatedDrives drives;
  drives.Add("sim0", device);
  NullLog log;
  NullMessages messages;
  NoPauseClock clock;
  const std::string dumpPath = DumpPath();
  for (auto _ : state) {
    test::RecordingDialogObserver dialog;
    ReadJob job;
    job.dumpPath = dumpPath;
    job.address = 0x10000;
    job.length = 0x50000;
    std::fclose(std::fopen(dumpPath.c_str(), "wb"));
    if (PrepareReadJob(job, drives, messages) != DialogStart::WorkerReady) {
      state.SkipWithError("no simulated logger");
      break;
    }
    WorkerSurroundings s{
        .drives = drives, .dialog = dialog, .log = log, .messages = messages, .clock = clock};
    RunReadWorker(job, s);
    if (!job.succeeded) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(dialog.events.size());
  }
  state.counters["per_sector"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 640,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  std::filesystem::remove(dumpPath);
}
BENCHMARK(BM_ReadWorker)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SimulatorSectorsOnly(benchmark::State& state) {
  auto device = std::make_shared<SimulatedLogger>(MakeBlankMemory());
  SimulatedDrives drives;
  drives.Add("sim0", device);
  NoPauseClock clock;
  SectorBlock data{};
  for (auto _ : state) {
    UnitVolume volume(drives.NewVolume());
    volume.Open("sim0");
    SectorBlock block = MakeBeginReadBlock(0x10000, 0x50000);
    BeginTransaction(volume, block, clock);
    for (uint32_t i = 0; i < 640; ++i) volume.ReadSectors(128 + i, data.data(), 1);
    EndTransaction(volume, block, kEndReadHead);
    volume.Close();
    benchmark::DoNotOptimize(data);
  }
  state.counters["per_sector"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 640,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SimulatorSectorsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace yelvane

BENCHMARK_MAIN();
