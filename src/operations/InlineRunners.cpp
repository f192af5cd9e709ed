#include "operations/InlineRunners.h"

#include "activity/FlashReport.h"

namespace yelvane {

void InlineDialogRunner::RunRead(ReadJob& job) {
  if (PrepareReadJob(job, surroundings_.drives, surroundings_.messages) == DialogStart::WorkerReady)
    RunReadWorker(job, surroundings_);
  else
    AbandonReadJob(job);
}

void InlineDialogRunner::RunUpgrade(UpgradeJob& job) {
  if (PrepareUpgradeJob(job, surroundings_.drives, surroundings_.log, surroundings_.messages) ==
      DialogStart::WorkerReady)
    RunUpgradeWorker(job, surroundings_);
  else
    AbandonUpgradeJob(job);
}

void InlineReportRunner::Start(const std::string&, const DumpBytes& bytes) {
  if (bytes) ReportFlashDataFromMemory(bytes->data(), bytes->size(), table_, log_, progress_);
}

}  // namespace yelvane
