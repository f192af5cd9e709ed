#include "operations/UnitDialog.h"

#include "common/Format.h"
#include "unit/RawVolume.h"
#include "unit/UnitAccess.h"

namespace yelvane {

bool FindJobDrive(UnitJob& job, DriveEnumerator& drives, MessageSink& messages) {
  job.succeeded = false;
  job.workerDone = true;
  job.unitDrive = FindUnitDrive(drives);
  if (!job.unitDrive.empty()) return true;
  messages.ShowMessage(kNoDiskText);
  return false;
}

DialogStart JobReady(UnitJob& job) {
  job.bytesDone = 0;
  job.workerDone = false;
  return DialogStart::WorkerReady;
}

void ShowFailure(WorkerSurroundings& s, const std::string& text) {
  s.log.AppendLog(text);
  s.dialog.SetRateText(text);
  s.dialog.SetStatusText(text);
}

void ShowDriveTrouble(WorkerSurroundings& s, const std::string& root) {
  const std::string text = LastFailureText(s.drives, root);
  if (!text.empty()) s.log.AppendLog(text);
}

void TransferMeter::operator()(uint32_t done, uint32_t count) {
  if (done == 0) {
    bytesDone_ = 0;
    rateMark_ = clock_.TickMs();
    rateBytesMark_ = 0;
  } else {
    bytesDone_ += kSectorSize;
    dialog_.SetTransferText(Format("%ldK/%ldK", static_cast<long>(bytesDone_ / 1024), totalK_));
  }
  if (done == count) return;
  dialog_.SetPercent(static_cast<int>(static_cast<uint64_t>(done) * 100 / count));
  const uint32_t now = clock_.TickMs();
  if (now - rateMark_ >= 1000) {
    const uint32_t rate = ((bytesDone_ - rateBytesMark_) / (now - rateMark_)) * 1000 / 1024;
    dialog_.SetRateText(Format("%dKB", static_cast<int>(rate)));
    rateMark_ = now;
    rateBytesMark_ = bytesDone_;
  }
}

}  // namespace yelvane
