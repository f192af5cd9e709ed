#include "operations/ReadFlash.h"

#include <algorithm>
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

// The common failure end: log, the two fields, everything released.
void Fail(ReadJob& job, WorkerSurroundings& s) {
  s.log.AppendLog(kReadFailedText);
  s.dialog.SetRateText(kReadFailedText);
  s.dialog.SetStatusText(kReadFailedText);
  ReleaseFileAndBuffer(job);
  job.workerDone = true;
}

uint32_t RateKb(uint32_t bytes, uint32_t elapsedMs) {
  return (bytes / elapsedMs) * 1000 / 1024;
}

}  // namespace

DialogStart PrepareReadJob(ReadJob& job, DriveEnumerator& drives, MessageSink& messages) {
  job.succeeded = false;
  job.workerDone = true;
  job.unitDrive = FindUnitDrive(drives);
  if (job.unitDrive.empty()) {
    messages.ShowMessage(kNoDiskText);
    return DialogStart::NoDisk;
  }
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
  job.bytesDone = 0;
  job.workerDone = false;
  return DialogStart::WorkerReady;
}

void AbandonReadJob(ReadJob& job) {
  ReleaseFileAndBuffer(job);
  job.workerDone = true;
}

void RunReadWorker(ReadJob& job, WorkerSurroundings& s) {
  job.workerDone = false;
  SectorBlock data{};
  const uint32_t length = job.length;
  s.dialog.SetStatusText(kReadStatusText);
  s.dialog.SetTransferText(Format("0K/%ldK", static_cast<long>(length / 1024)));

  const uint32_t start = job.address / kSectorSize;
  const uint32_t count = SectorCount(length);
  if (!job.dumpFile || job.buffer.size() < length) {  // not prepared: never touch the unit
    Fail(job, s);
    return;
  }

  UnitVolume volume(s.drives.NewVolume());
  if (!OpenUnitVolume(volume, job.unitDrive)) {  // closed again on failure
    Fail(job, s);                                // the dialog stays open with the text
    return;
  }

  SectorBlock block = MakeBeginReadBlock(job.address, length);
  if (!BeginTransaction(volume, block, s.clock)) {
    // The unit never saw the command: its sectors would not be its memory.
    AbandonTransaction(volume);
    Fail(job, s);
    s.dialog.CloseAfterDelay();
    return;
  }

  uint32_t rateMark = s.clock.TickMs();
  uint32_t rateBytesMark = 0;
  job.bytesDone = 0;
  for (uint32_t i = 0; i < count; ++i) {
    s.dialog.SetPercent(static_cast<int>(static_cast<uint64_t>(i) * 100 / count));
    const uint32_t now = s.clock.TickMs();
    if (now - rateMark >= 1000) {
      const uint32_t rate = RateKb(job.bytesDone - rateBytesMark, now - rateMark);
      s.dialog.SetRateText(Format("%dKB", static_cast<int>(rate)));
      rateMark = now;
      rateBytesMark = job.bytesDone;
    }
    if (!ReadSectorWithRetry(volume, start + i, data.data())) {
      AbandonTransaction(volume);  // no end block after a sector given up
      Fail(job, s);
      s.dialog.CloseAfterDelay();
      return;
    }
    const uint32_t offset = kSectorSize * i;
    const uint32_t bytes = length - offset < kSectorSize ? length - offset : kSectorSize;
    std::copy(data.begin(), data.begin() + bytes, job.buffer.begin() + offset);
    job.bytesDone += kSectorSize;
    s.dialog.SetTransferText(Format("%ldK/%ldK", static_cast<long>(job.bytesDone / 1024),
                                    static_cast<long>(length / 1024)));
  }

  s.log.AppendLog(kReadCompleteText);
  s.dialog.SetRateText(kReadCompleteText);
  s.dialog.SetPercent(100);
  EndTransaction(volume, block, kEndReadHead);
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
