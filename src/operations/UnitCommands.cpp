#include "operations/UnitCommands.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/Color.h"
#include "common/Format.h"
#include "operations/DataFiles.h"
#include "unit/CommandExchange.h"
#include "unit/FirmwareImage.h"
#include "unit/UnitAccess.h"

namespace yelvane {

std::tm CommandSurroundings::SystemLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string UnitCommands::DumpPath() const {
  return s_.dumpPath.empty() ? JoinPath(s_.startupFolder, kDumpFileName) : s_.dumpPath;
}

bool UnitCommands::RequireUnit() {
  if (s_.unitConnected && s_.unitConnected()) return true;
  s_.messages.ShowMessage(kDisconnectedText);
  s_.log.AppendLog(kDisconnectedText);
  // A logger this user may not open looks absent: say which drive and why.
  for (const std::string& line : ExplainMissingUnit(s_.drives)) s_.log.AppendLog(line);
  return false;
}

bool UnitCommands::ReadMemoryData() {
  LogSink& log = s_.log;
  log.SetLogText("");
  log.AppendLog("Command: Read Memory Data");
  if (!RequireUnit()) return false;

  log.AppendLog("\nPlease input the pet information.");
  if (!s_.petPrompt.Ask(s_.pet)) {
    log.AppendLog(kReadCancelledText);
    return false;
  }
  log.AppendLog("Pet Name: " + s_.pet.name);
  log.AppendLog("Pet Owner: " + s_.pet.owner);
  log.AppendLog("Pet Location: " + s_.pet.location);

  s_.poll.Stop();
  const std::string dumpPath = DumpPath();
  if (!s_.replaceDump) {
    std::FILE* dump = std::fopen(dumpPath.c_str(), "wb");
    if (!dump) {
      s_.messages.ShowMessage("File Open Error!");
      s_.poll.Start();
      return false;
    }
    std::fclose(dump);
  }

  log.AppendLog("\nFlash memory: Internal Flash");
  readJob_.address = kDumpAddress;
  readJob_.length = kDumpLength;
  log.AppendLog(Format("Start address: 0x%08x", readJob_.address));
  log.AppendLog(Format("File size: %ld", static_cast<long>(readJob_.length)));
  log.AppendLog("\nStart to read flash data...");

  readJob_.succeeded = false;
  readJob_.dumpPath = dumpPath;
  readJob_.replaceDump = s_.replaceDump;
  readJob_.dumpError.clear();
  readJob_.data.reset();
  s_.dialogs.RunRead(readJob_);

  ProgressSink& pane = s_.progressPane;
  pane.SetRange(0, 100);
  pane.SetPos(0, "");
  pane.SetShowPercent(true);
  pane.SetStartColor(kProgressStartColor);
  pane.SetEndColor(kProgressEndColor);
  pane.SetTextColor(kProgressTextColor);

  const DumpBytes data = readJob_.data;
  const bool succeeded = readJob_.succeeded && data && data->size() == kDumpLength;
  if (succeeded) {
    log.AppendLog(kReadSucceededText);
    // Kept from the bytes just read, before anything can erase the logger:
    // the dump file may be a pipe, or rewritten by another read meanwhile.
    const bool kept = KeepCopy(*data);
    if (kept) log.AppendLog(Format(kKeptCopyText, lastArchivePath_.c_str()));
    lastDump_ = data;
    log.AppendLog("\nStart to report the flash data...");
    s_.report.Start(dumpPath, data);
    if (s_.offerEraseAfterRead && kept) {
      // The question is about what the table shows: all of it, not a part.
      s_.report.Wait();
      EraseMemory(false);
    }
  } else {
    s_.table.DeleteAllRows();
    // A dump that could not be written says which and why; the unit was fine.
    log.AppendLog(readJob_.dumpError.empty() ? std::string(kReportCancelledText)
                                             : readJob_.dumpError);
  }
  s_.poll.Start();
  return succeeded;
}

bool UnitCommands::KeepCopy(const std::vector<uint8_t>& data) {
  lastArchivePath_.clear();
  const std::string folder = s_.archiveFolder.empty() ? DownloadArchiveFolder() : s_.archiveFolder;
  const std::optional<std::string> saved = ArchiveDownload(folder, s_.localTime(), data);
  if (!saved) {
    const std::string text =
        Format("Failed to keep a copy of the flash data in %s!", folder.c_str());
    s_.messages.ShowMessage(text, MessageIcon::Warning);
    s_.log.AppendLog(text);
    return false;
  }
  lastArchivePath_ = *saved;
  return true;
}

// The caller stopped the poll and starts it again whatever this returns.
bool UnitCommands::RunImage(const std::string& path, bool upgradeMode) {
  if (!ReadImageSummary(path, s_.log, s_.messages)) return false;
  s_.log.AppendLog(upgradeMode ? "\nStart to upgrade the firmware..."
                               : "\nStart to erase all data...");
  upgradeJob_.succeeded = false;
  upgradeJob_.imagePath = path;
  upgradeJob_.upgradeMode = upgradeMode;
  s_.dialogs.RunUpgrade(upgradeJob_);
  return upgradeJob_.succeeded;
}

bool UnitCommands::EraseMemory(bool clearLog) {
  if (clearLog) s_.log.SetLogText(" ");
  s_.log.AppendLog("Command: Erase Memory Data");
  if (!RequireUnit()) return false;
  if (!s_.messages.AskYesNo(kEraseQuestion, "Erase Data")) {
    s_.log.AppendLog(kEraseCancelledText);
    return false;
  }
  const std::string image =
      s_.eraseImagePath.empty() ? FindEraseImage(s_.startupFolder) : s_.eraseImagePath;
  s_.poll.Stop();
  const bool succeeded = RunImage(image, false);
  if (succeeded) s_.log.AppendLog(kEraseSucceededText);
  s_.poll.Start();
  return succeeded;
}

bool UnitCommands::UpgradeFirmware(const std::string& path) {
  s_.log.SetLogText("");
  s_.log.AppendLog("Command: Upgrade Firmware");
  if (!RequireUnit()) return false;
  const std::string question =
      path.empty()
          ? std::string(kUpgradeQuestion)
          : Format("Detect new firmware(\"%s\"),are you sure you want to upgrade the firmware?",
                   path.c_str());
  if (!s_.messages.AskYesNo(question, "Upgrade Firmware")) {
    s_.log.AppendLog(kUpgradeCancelledText);
    return false;
  }
  std::string image = path;
  if (image.empty()) {
    const auto chosen = s_.imagePrompt.ChooseImage(
        JoinPath(s_.startupFolder, std::string("*") + kImageDefaultExtension));
    if (!chosen) return false;
    image = *chosen;
  }
  s_.poll.Stop();
  const bool succeeded = RunImage(image, true);
  if (succeeded) {
    s_.table.DeleteAllRows();
    s_.pet = PetInfo{};
    s_.petPrompt.RefreshLabels(s_.pet);
    s_.log.AppendLog(kUpgradeSucceededText);
  }
  s_.poll.Start();
  return succeeded;
}

void UnitCommands::DetectFirmware() {
  const auto candidate = FindFirmwareCandidate(s_.startupFolder);
  if (!candidate || !IsImageFile(*candidate)) return;
  UpgradeFirmware(*candidate);
  // An offered image is used once: it goes whatever the answer or outcome.
  std::error_code error;
  std::filesystem::remove(*candidate, error);
}

bool UnitCommands::SynchronizeClock() {
  s_.log.SetLogText("");
  s_.log.AppendLog("Command: Time synchronize.");
  if (!RequireUnit()) return false;
  s_.poll.Stop();
  const std::tm now = s_.localTime();

  UnitVolume volume(s_.drives.NewVolume());
  // OpenUnitVolume closes the volume again when it is not the logger.
  bool sent = false;
  const std::string root = FindUnitDrive(s_.drives);
  if (OpenUnitVolume(volume, root)) {
    // A block that never reached the unit did not set its clock.
    sent = SendClock(volume, now);
    volume.Close();
  }
  if (sent) {
    s_.messages.ShowMessage(kClockSucceededText, MessageIcon::Information);
    s_.log.AppendLog(kClockSucceededText);
  } else {
    s_.messages.ShowMessage(kClockFailedText, MessageIcon::Error);
    s_.log.AppendLog(kClockFailedText);
    const std::string reason = root.empty() ? "" : LastFailureText(s_.drives, root);
    if (!reason.empty()) s_.log.AppendLog(reason);
  }
  s_.poll.Start();
  return sent;
}

}  // namespace yelvane
