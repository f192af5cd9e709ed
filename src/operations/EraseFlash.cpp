#include "operations/EraseFlash.h"

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
  ShowFailure(s, text);
  ReleaseImage(job);
  job.workerDone = true;
}

}  // namespace

DialogStart PrepareUpgradeJob(UpgradeJob& job, DriveEnumerator& drives, LogSink& log,
                              MessageSink& messages) {
  if (!FindJobDrive(job, drives, messages)) return DialogStart::NoDisk;
  auto image = LoadImage(job.imagePath);
  if (!image) {
    const std::string text = Format("File Open Error: %s!", job.imagePath.c_str());
    messages.ShowMessage(text);
    log.AppendLog(text);
    return DialogStart::Failed;
  }
  job.image = std::move(*image);
  job.imageLength = job.image.size();
  return JobReady(job);
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

  UnitVolume volume(s.drives.NewVolume());
  if (!OpenUnitVolume(volume, job.unitDrive)) {  // closed again on failure
    Fail(job, s, texts.notConfirmed);            // nothing was written; the dialog stays open
    ShowDriveTrouble(s, job.unitDrive);
    return;
  }

  // The end block is what makes the unit commit the stream, so the success
  // text waits for it: a unit that never got it has not taken the image.
  TransferMeter meter(s.dialog, s.clock, job.bytesDone, totalK);
  if (!WriteUnitStream(volume, header.kind, header.targetOffset, header.lengthField, payload,
                       payloadLength, s.clock, meter)) {
    Fail(job, s, texts.failure);  // unlocked and closed; no end block after a chunk given up
    ShowDriveTrouble(s, job.unitDrive);
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
