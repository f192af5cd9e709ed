#include "operations/ReadFlash.h"

#include <new>

#include "common/Format.h"
#include "unit/CommandExchange.h"
#include "unit/UnitAccess.h"

namespace yelvane {
namespace {

void ReleaseFileAndBuffer(ReadJob& job) {
  if (job.dumpFile) std::fclose(job.dumpFile);
  job.dumpFile = nullptr;
  std::vector<uint8_t>().swap(job.buffer);
}

// The common failure end: the text shown, everything released.
void Fail(ReadJob& job, WorkerSurroundings& s) {
  ShowFailure(s, kReadFailedText);
  ReleaseFileAndBuffer(job);
  job.workerDone = true;
}

}  // namespace

DialogStart PrepareReadJob(ReadJob& job, DriveEnumerator& drives, MessageSink& messages) {
  if (!FindJobDrive(job, drives, messages)) return DialogStart::NoDisk;
  // The command created the file; open it as it is, without creating it.
  job.dumpFile = std::fopen(job.dumpPath.c_str(), "r+b");
  if (!job.dumpFile) {
    messages.ShowMessage("File Open Error!");
    return DialogStart::Failed;
  }
  try {
    job.buffer.assign(job.length, 0);
  } catch (const std::bad_alloc&) {
    ReleaseFileAndBuffer(job);
    messages.ShowMessage(kReadFailedText);
    return DialogStart::Failed;
  }
  return JobReady(job);
}

void AbandonReadJob(ReadJob& job) {
  ReleaseFileAndBuffer(job);
  job.workerDone = true;
}

void RunReadWorker(ReadJob& job, WorkerSurroundings& s) {
  job.workerDone = false;
  const uint32_t length = job.length;
  s.dialog.SetStatusText(kReadStatusText);
  s.dialog.SetTransferText(Format("0K/%ldK", static_cast<long>(length / 1024)));
  if (!job.dumpFile || job.buffer.size() < length) {  // not prepared: never touch the unit
    Fail(job, s);
    return;
  }

  UnitVolume volume(s.drives.NewVolume());
  if (!OpenUnitVolume(volume, job.unitDrive)) {  // closed again on failure
    Fail(job, s);                                // the dialog stays open with the text
    ShowDriveTrouble(s, job.unitDrive);
    return;
  }

  TransferMeter meter(s.dialog, s.clock, job.bytesDone, static_cast<long>(length / 1024));
  const auto progress = [&](uint32_t done, uint32_t count) {
    meter(done, count);
    // The last sector is in: the outcome shows before the end block goes.
    if (done == count) {
      s.log.AppendLog(kReadCompleteText);
      s.dialog.SetRateText(kReadCompleteText);
      s.dialog.SetPercent(100);
    }
  };
  if (!ReadUnitMemory(volume, job.address, length, job.buffer.data(), s.clock, progress)) {
    Fail(job, s);  // unlocked and closed; no end block after a sector given up
    ShowDriveTrouble(s, job.unitDrive);
    s.dialog.CloseAfterDelay();
    return;
  }
  volume.Close();

  // A dump that did not reach the disk whole is not a successful read: the
  // report would decode a short file and the erase question would follow.
  bool written = std::fwrite(job.buffer.data(), 1, length, job.dumpFile) == length;
  written = std::fclose(job.dumpFile) == 0 && written;
  job.dumpFile = nullptr;
  std::vector<uint8_t>().swap(job.buffer);
  if (!written) {
    Fail(job, s);
    s.dialog.StopElapsedTimer();
    s.dialog.CloseAfterDelay();
    return;
  }

  s.dialog.StopElapsedTimer();
  job.succeeded = true;
  job.workerDone = true;
  s.dialog.CloseAfterDelay();
}

}  // namespace yelvane
