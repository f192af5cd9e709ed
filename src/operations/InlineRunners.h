#pragma once

// Runners that do the dialogs' and the report's work on the calling thread:
// for the command-line tool, the tests and the benchmark.

#include "activity/SessionTable.h"
#include "operations/UnitCommands.h"

namespace yelvane {

class InlineDialogRunner final : public DialogRunner {
 public:
  explicit InlineDialogRunner(const WorkerSurroundings& surroundings)
      : surroundings_(surroundings) {}
  void RunRead(ReadJob& job) override;
  void RunUpgrade(UpgradeJob& job) override;

 private:
  WorkerSurroundings surroundings_;
};

class InlineReportRunner final : public ReportRunner {
 public:
  // A walk over bytes already read has no file to fail to open, so it shows
  // no message box; the sink stays in the signature the callers wire.
  InlineReportRunner(SessionTable& table, LogSink& log, ProgressSink& progress, MessageSink&)
      : table_(table), log_(log), progress_(progress) {}
  void Start(const std::string& dumpPath, const DumpBytes& bytes) override;

 private:
  SessionTable& table_;
  LogSink& log_;
  ProgressSink& progress_;
};

}  // namespace yelvane
