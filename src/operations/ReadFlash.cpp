#include "operations/ReadFlash.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "common/Format.h"
#include "unit/CommandExchange.h"
#include "unit/UnitAccess.h"

namespace yelvane {
namespace {

void ReleaseFileAndBuffer(ReadJob& job) {
  if (job.dumpFile) std::fclose(job.dumpFile);
  job.dumpFile = nullptr;
  job.dumpReplacement.reset();  // an unfinished replacement leaves the old dump
  std::vector<uint8_t>().swap(job.buffer);
}

// Writes the complete buffer as the dump; false with `job.dumpError`.
bool WriteDump(ReadJob& job) {
  if (job.replaceDump) {
    std::string error;
    const bool ok =
        job.dumpReplacement->Write(std::string(job.buffer.begin(), job.buffer.end()), error) &&
        job.dumpReplacement->Commit(error);
    job.dumpReplacement.reset();
    if (!ok) job.dumpError = error;
    return ok;
  }
  bool written =
      std::fwrite(job.buffer.data(), 1, job.buffer.size(), job.dumpFile) == job.buffer.size();
  int reason = written ? 0 : errno;
  if (std::fclose(job.dumpFile) != 0 && written) {
    written = false;
    reason = errno;
  }
  job.dumpFile = nullptr;
  if (!written)
    job.dumpError = Format("Cannot write \"%s\": %s", job.dumpPath.c_str(),
                           std::strerror(reason ? reason : EIO));
  return written;
}

// The common failure end: the text shown, everything released.
void Fail(ReadJob& job, WorkerSurroundings& s) {
  ShowFailure(s, kReadFailedText);
  ReleaseFileAndBuffer(job);
  job.workerDone = true;
}

}  // namespace

DialogStart PrepareReadJob(ReadJob& job, DriveEnumerator& drives, MessageSink& messages) {
  job.dumpError.clear();
  job.data.reset();
  if (!FindJobDrive(job, drives, messages)) return DialogStart::NoDisk;
  if (job.replaceDump) {
    // Said before the unit is touched: a dump that cannot be written.
    job.dumpReplacement = std::make_unique<FileReplacement>();
    if (!job.dumpReplacement->Begin(job.dumpPath, job.dumpError)) {
      job.dumpReplacement.reset();
      messages.ShowMessage(job.dumpError, MessageIcon::Error);
      return DialogStart::Failed;
    }
  } else {
    // The command created the file; open it as it is, without creating it.
    job.dumpFile = std::fopen(job.dumpPath.c_str(), "r+b");
    if (!job.dumpFile) {
      messages.ShowMessage("File Open Error!");
      return DialogStart::Failed;
    }
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
  if ((job.replaceDump ? !job.dumpReplacement : !job.dumpFile) ||
      job.buffer.size() < length) {  // not prepared: never touch the unit
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
  // The failure names the file and the reason, not the unit.
  job.buffer.resize(length);
  if (!WriteDump(job)) {
    // The command logs the reason once the dialog has closed.
    s.dialog.SetRateText(job.dumpError);
    s.dialog.SetStatusText(job.dumpError);
    ReleaseFileAndBuffer(job);
    job.workerDone = true;
    s.dialog.StopElapsedTimer();
    s.dialog.CloseAfterDelay();
    return;
  }
  job.data = std::make_shared<const std::vector<uint8_t>>(std::move(job.buffer));
  std::vector<uint8_t>().swap(job.buffer);

  s.dialog.StopElapsedTimer();
  job.succeeded = true;
  job.workerDone = true;
  s.dialog.CloseAfterDelay();
}

}  // namespace yelvane
