#pragma once

// What the unit workers (memory read, erase/upgrade) report to their progress
// dialog, and what their jobs share. The GUI's dialog implements the observer
// on its UI thread and the worker waits for each call; the command-line tool
// draws a progress bar; tests and the benchmark record the calls.

#include <atomic>
#include <cstdint>
#include <string>

#include "common/Clock.h"
#include "common/Sinks.h"

namespace yelvane {

class DriveEnumerator;

// The six progress codes of the unit dialogs, in their message numbering.
enum class ProgressCode : int {
  TransferText = 1,      // "0K/320K", "512K/..."
  RateText = 2,          // "49KB", later the outcome text
  Percent = 3,           // 0..100
  StatusText = 4,        // "Target Memory : Internal Flash", later the outcome text
  StopElapsedTimer = 5,  // the seconds counter stops
  CloseSoon = 6,         // the dialog closes one second later
};

class UnitDialogObserver {
 public:
  virtual ~UnitDialogObserver() = default;
  virtual void SetTransferText(const std::string& text) = 0;  // code 1
  virtual void SetRateText(const std::string& text) = 0;      // code 2
  virtual void SetPercent(int percent) = 0;                   // code 3
  virtual void SetStatusText(const std::string& text) = 0;    // code 4
  virtual void StopElapsedTimer() = 0;                        // code 5
  virtual void CloseAfterDelay() = 0;                         // code 6 (1000 ms)
};

// Everything a worker talks to besides its job.
struct WorkerSurroundings {
  DriveEnumerator& drives;  // gives the worker its own volume back-end
  UnitDialogObserver& dialog;
  LogSink& log;
  MessageSink& messages;
  Clock& clock;
};

// What the memory read's and the erase/upgrade's jobs share: one instance
// for the command, its dialog and the worker.
struct UnitJob {
  std::string unitDrive;  // filled by the preparation
  std::atomic<uint32_t> bytesDone{0};
  // False only while a worker runs; the dialog refuses to be cancelled then.
  std::atomic<bool> workerDone{true};
  // True only at a complete successful end; read after the dialog closed.
  std::atomic<bool> succeeded{false};
};

// How a dialog's preparation (the part of its initialisation that is not a
// window) ended.
enum class DialogStart {
  WorkerReady,  // run the worker now
  NoDisk,       // "There is no available disk!!" was shown; close the dialog at once
  Failed,       // the job could not be prepared; close the dialog, no worker
};

// The first step of every preparation: the job is reset and finds the
// logger's drive. False, after "There is no available disk!!", when none
// answers.
bool FindJobDrive(UnitJob& job, DriveEnumerator& drives, MessageSink& messages);
// The last step: the counters start again and a worker is expected, so that
// a cancel arriving before its thread runs is refused too.
DialogStart JobReady(UnitJob& job);

// How a worker shows its failure: the text in the log, then in the rate and
// status fields of its dialog.
void ShowFailure(WorkerSurroundings& s, const std::string& text);
// After a failure on the logger's drive: one more log line naming the drive
// and the cause, when the back-end knows it (permission, lock, medium, I/O).
void ShowDriveTrouble(WorkerSurroundings& s, const std::string& root);

// What the two workers show of a transfer, sector by sector (a
// SectorProgress of unit/CommandExchange.h): the percentage before each
// sector, the rate at most once a second ("49KB", bytes per millisecond
// first, then scaled), and "12K/320K" after each sector. `bytesDone` counts
// the bytes moved; `totalK` is the transfer's size in kilobytes.
class TransferMeter {
 public:
  TransferMeter(UnitDialogObserver& dialog, Clock& clock, std::atomic<uint32_t>& bytesDone,
                long totalK)
      : dialog_(dialog), clock_(clock), bytesDone_(bytesDone), totalK_(totalK) {}
  void operator()(uint32_t done, uint32_t count);

 private:
  UnitDialogObserver& dialog_;
  Clock& clock_;
  std::atomic<uint32_t>& bytesDone_;
  long totalK_;
  uint32_t rateMark_ = 0;
  uint32_t rateBytesMark_ = 0;
};

inline constexpr const char* kNoDiskText = "There is no available disk!!";
inline constexpr uint32_t kElapsedTimerMs = 1000;
inline constexpr uint32_t kCloseDelayMs = 1000;

}  // namespace yelvane
