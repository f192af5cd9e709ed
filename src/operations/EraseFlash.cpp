#include "operations/EraseFlash.h"

#include <algorithm>

#include "common/Format.h"
#include "unit/CommandExchange.h"
#include "unit/FirmwareImage.h"
#include "unit/UnitAccess.h"

namespace yelvane {
namespace {

void ReleaseImage(UpgradeJob& job) {
  std::vector<uint8_t>().swap(job.image);
}

// The image is refused before anything reaches the logger; the dialog stays
// open with the message until the user cancels it.
void Refuse(UpgradeJob& job, WorkerSurroundings& s, const char* text) {
  s.messages.ShowMessage(text);
  s.log.AppendLog(text);
  ReleaseImage(job);
  s.dialog.StopElapsedTimer();
  job.workerDone = true;
}

void Fail(UpgradeJob& job, WorkerSurroundings& s, const char* text) {
  s.log.AppendLog(text);
  s.dialog.SetRateText(text);
  s.dialog.SetStatusText(text);
  ReleaseImage(job);
  job.workerDone = true;
}

}  // namespace

DialogStart PrepareUpgradeJob(UpgradeJob& job, DriveEnumerator& drives, LogSink& log,
                              MessageSink& messages) {
  job.succeeded = false;
  job.workerDone = true;
  job.unitDrive = FindUnitDrive(drives);
  if (job.unitDrive.empty()) {
    messages.ShowMessage(kNoDiskText);
    return DialogStart::NoDisk;
  }
  auto image = LoadImage(job.imagePath);
  if (!image) {
    const std::string text = Format("File Open Error: %s!", job.imagePath.c_str());
    messages.ShowMessage(text);
    log.AppendLog(text);
    return DialogStart::Failed;
  }
  job.image = std::move(*image);
  job.imageLength = job.image.size();
  job.bytesDone = 0;
  job.workerDone = false;
  return DialogStart::WorkerReady;
}

void AbandonUpgradeJob(UpgradeJob& job) {
  ReleaseImage(job);
  job.workerDone = true;
}

void RunUpgradeWorker(UpgradeJob& job, WorkerSurroundings& s) {
  job.workerDone = false;
  const UpgradeTexts& texts = job.Texts();

  // The image may have changed since its summary was checked.
  if (job.imageLength < kImageHeaderSize || job.image.size() < job.imageLength) {
    Refuse(job, s, kImageNotMscText);
    return;
  }
  const ImageHeader header = DecodeImageHeader(job.image.data() + 256);
  const uint8_t* payload = job.image.data() + kImageHeaderSize;
  const std::size_t payloadLength = job.imageLength - kImageHeaderSize;

  if (!IsTargetOffsetAligned(header.targetOffset)) {
    Refuse(job, s, kImageMisalignedText);
    return;
  }

  const std::string status = ImageKindStatusText(header.kind);
  if (!status.empty()) s.dialog.SetStatusText(status);
  const long totalK = static_cast<long>(payloadLength / 1024);
  s.dialog.SetTransferText(Format("0K/%ldK", totalK));

  const std::size_t count = payloadLength / kSectorSize + (payloadLength % kSectorSize ? 1 : 0);
  SectorBlock block{};

  UnitVolume volume(s.drives.NewVolume());
  if (!OpenUnitVolume(volume, job.unitDrive)) {  // closed again on failure
    Fail(job, s, texts.notConfirmed);            // nothing was written; the dialog stays open
    return;
  }

  block = MakeBeginWriteBlock(header.kind, header.targetOffset, header.lengthField);
  if (!BeginTransaction(volume, block, s.clock)) {
    AbandonTransaction(volume);  // no chunk goes to a unit that did not take the command
    Fail(job, s, texts.failure);
    s.dialog.CloseAfterDelay();
    return;
  }

  uint32_t rateMark = s.clock.TickMs();
  uint32_t rateBytesMark = 0;
  job.bytesDone = 0;
  for (std::size_t i = 0; i < count; ++i) {
    FillChunk(block, payload, payloadLength, i);

    s.dialog.SetPercent(static_cast<int>(static_cast<uint64_t>(i) * 100 / count));
    const uint32_t now = s.clock.TickMs();
    if (now - rateMark >= 1000) {
      const uint32_t rate = ((job.bytesDone - rateBytesMark) / (now - rateMark)) * 1000 / 1024;
      s.dialog.SetRateText(Format("%dKB", static_cast<int>(rate)));
      rateMark = now;
      rateBytesMark = job.bytesDone;
    }
    if (!WriteSectorWithRetry(volume, kStreamSector, block.data())) {
      AbandonTransaction(volume);
      Fail(job, s, texts.failure);  // no end block after a chunk given up
      s.dialog.CloseAfterDelay();
      return;
    }
    job.bytesDone += kSectorSize;
    s.dialog.SetTransferText(Format("%ldK/%ldK", static_cast<long>(job.bytesDone / 1024), totalK));
  }

  // The end block keeps the rest of the last chunk after its head. It is
  // what makes the unit commit the stream, so it goes before the success
  // text: a unit that never got it has not taken the image.
  if (!EndTransaction(volume, block, kEndWriteHead)) {
    volume.Close();
    Fail(job, s, texts.failure);
    s.dialog.CloseAfterDelay();
    return;
  }
  s.log.AppendLog(texts.success);
  s.dialog.SetRateText(texts.success);
  s.dialog.SetPercent(100);
  volume.Close();
  ReleaseImage(job);
  s.dialog.StopElapsedTimer();
  job.succeeded = true;
  job.workerDone = true;
  s.dialog.CloseAfterDelay();
}

}  // namespace yelvane
