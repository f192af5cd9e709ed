// The session table of a full logger (3000 sessions) on screen, through the
// real worker-to-window path of the desktop program, offscreen:
//
// - BM_ReadToTable: Command > Read Memory Data on a simulated dense logger,
//   from the moment the copy has ended (the command's "Read flash data
//   successfully!", after the read dialog's fixed second of closing delay)
//   until the last row is in the table and "Reported the flash data
//   successfully!" shows; the erase question comes after that, over the
//   whole table. `rows_at_question` is the table's size when it came up.
// - BM_ReportToTable: the report worker alone, started and waited for.
// - BM_ReportCellByCell: the same walk handing every cell and progress step
//   to the UI thread one blocking call at a time, for comparison.
//
// The argument 1 keeps the other core busy with a spinning process. The
// manual time is the wall clock; own_cpu_ms is this process's CPU time over
// the same stretch (both threads), what the machine's other load leaves out.

#include <benchmark/benchmark.h>

#include <atomic>
#include <functional>
#include <thread>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "activity/FlashReport.h"
#include "app/DlgPetInfo.h"
#include "app/MainFrm.h"
#include "app/Vandry.h"
#include "app/VandryView.h"
#include "common/TempFolder.h"
#include "sim/DemoData.h"
#include "sim/SimulatedLogger.h"

namespace yelvane {
namespace {

constexpr int kSessions = 3000;

// Spins on the other core while it lives: a process of its own, so that our
// own CPU time leaves it out.
class BusyCore {
 public:
  explicit BusyCore(bool on) {
    if (!on) return;
    child_ = fork();
    if (child_ == 0)
      for (unsigned long n = 0;; ++n) benchmark::DoNotOptimize(n);
  }
  ~BusyCore() {
    if (child_ <= 0) return;
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
  }

 private:
  pid_t child_ = -1;
};

// This process's CPU time (every thread), in seconds.
double OwnCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Answers the erase question No once the user has looked at it a while
// (at most a second), noting the table's size when it came up.
class ErasePrompt final : public MessageSink {
 public:
  explicit ErasePrompt(CMainFrame& frame) : frame_(frame) {}
  void ShowMessage(const std::string&, MessageIcon) override {}
  bool AskYesNo(const std::string&, const std::string&) override {
    rowsAtQuestion = frame_.View()->Model()->rowCount();
    QElapsedTimer waited;
    waited.start();
    while (frame_.ReportRunning() && waited.elapsed() < 1000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return false;
  }
  int rowsAtQuestion = -1;

 private:
  CMainFrame& frame_;
};

// A window on a simulated dense logger in a start-up folder of its own.
struct Desk {
  Desk() : previous(QDir::currentPath()) {
    QDir::setCurrent(QString::fromStdString(folder.Str()));
    DemoOptions options;
    options.sessions = kSessions;
    memory = MakeDemoMemory(options);
    const std::vector<uint8_t> dump = DumpSlice(memory);
    std::ofstream(DumpPath(), std::ios::binary)
        .write(reinterpret_cast<const char*>(dump.data()),
               static_cast<std::streamsize>(dump.size()));
    logger = std::make_shared<SimulatedLogger>(memory);
    drives.Add("sim0", logger);
    frame = std::make_unique<CMainFrame>();
    frame->SetDrives(drives);
    prompt = std::make_unique<ErasePrompt>(*frame);
    frame->SetPrompt(prompt.get());
    frame->SetArchiveFolder(folder.File("archive"));
    frame->resize(1280, 800);
    frame->show();
    QCoreApplication::processEvents();
  }
  ~Desk() {
    frame.reset();
    QDir::setCurrent(previous);
  }
  std::string DumpPath() const { return folder.File("dense.bin"); }

  TempFolder folder;
  QString previous;
  CVandryApp app;
  std::vector<uint8_t> memory;
  std::shared_ptr<SimulatedLogger> logger;
  SimulatedDrives drives;
  std::unique_ptr<CMainFrame> frame;
  std::unique_ptr<ErasePrompt> prompt;
};

bool TableComplete(CMainFrame& frame) {
  return frame.View()->Model()->rowCount() == kSessions &&
         frame.LogControl()->toPlainText().contains(QString::fromUtf8(kFlashReportSuccess));
}

void BM_ReadToTable(benchmark::State& state) {
  Desk desk;
  double cpu = 0;
  desk.frame->CheckUnitPresence();
  if (!desk.frame->UnitConnected()) return state.SkipWithError("no simulated logger");
  for (auto _ : state) {
    desk.frame->View()->DeleteAllRows();
    QElapsedTimer clock;
    qint64 copied = -1;
    qint64 complete = -1;
    double cpuAtCopy = 0;
    const auto connection = QObject::connect(
        desk.frame->LogControl(), &QPlainTextEdit::textChanged, desk.frame.get(), [&] {
          const QString text = desk.frame->LogControl()->toPlainText();
          if (copied < 0 && text.contains(QStringLiteral("Read flash data successfully!"))) {
            clock.start();
            cpuAtCopy = OwnCpuSeconds();
            copied = 0;
          }
          if (copied >= 0 && complete < 0 && TableComplete(*desk.frame)) {
            complete = clock.nsecsElapsed();
            cpu += OwnCpuSeconds() - cpuAtCopy;
          }
        });
    // The pet dialog is answered as soon as it is up.
    QTimer pet;
    QObject::connect(&pet, &QTimer::timeout, [] {
      if (auto* dialog = qobject_cast<CDlgPetInfo*>(QApplication::activeModalWidget()))
        dialog->accept();
    });
    pet.start(5);
    BusyCore busy(state.range(0) != 0);
    desk.frame->OnCommand(ID_READ_MEMORY_DATA);
    desk.frame->FinishReport();
    QCoreApplication::processEvents();
    QObject::disconnect(connection);
    if (copied < 0 || complete < 0) return state.SkipWithError("the read did not fill the table");
    state.SetIterationTime(static_cast<double>(complete) / 1e9);
  }
  state.counters["rows_at_question"] = desk.prompt->rowsAtQuestion;
  state.counters["own_cpu_ms"] = benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ReadToTable)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Repetitions(7)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Times `fill` from an empty table to the table complete, with the other
// core kept busy for the argument 1.
void TimeToTable(benchmark::State& state, Desk& desk, const std::function<void()>& fill) {
  double cpu = 0;
  for (auto _ : state) {
    desk.frame->View()->DeleteAllRows();
    BusyCore busy(state.range(0) != 0);
    QElapsedTimer clock;
    clock.start();
    const double cpuAtStart = OwnCpuSeconds();
    fill();
    QCoreApplication::processEvents();
    cpu += OwnCpuSeconds() - cpuAtStart;
    if (!TableComplete(*desk.frame)) return state.SkipWithError("the table is not complete");
    state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
  }
  state.counters["own_cpu_ms"] = benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
}

void BM_ReportToTable(benchmark::State& state) {
  Desk desk;
  TimeToTable(state, desk, [&desk] {
    desk.frame->StartReport(desk.DumpPath());
    desk.frame->FinishReport();
  });
}
BENCHMARK(BM_ReportToTable)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5)
    ->Repetitions(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_ReportCellByCell(benchmark::State& state) {
  Desk desk;
  CMainFrame& frame = *desk.frame;
  TimeToTable(state, desk, [&] {
    std::atomic<bool> done{false};
    std::thread worker([&] {
      ReportFlashData(desk.DumpPath(), *frame.View(), frame.Log(), frame.Progress(),
                      frame.Messages());
      done = true;
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
  });
}
BENCHMARK(BM_ReportCellByCell)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace yelvane

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
