#pragma once

// Erase and firmware upgrade: streams an image file into the logger with a
// write transaction under the "Erase Flash Data" progress dialog.

#include <cstdint>
#include <string>
#include <vector>

#include "operations/UnitDialog.h"

namespace yelvane {

inline constexpr const char* kUpgradeCaption = "Upgrade firmware...";

// Outcome texts of the two modes.
struct UpgradeTexts {
  const char* success;
  const char* failure;
  const char* notConfirmed;  // open, sector-1 read or signature check failed
};
inline constexpr UpgradeTexts kEraseTexts{"Erase is complete.",
                                          "Failed to erase data! Please retry!",
                                          "Failed to erase Data! Please retry!"};
inline constexpr UpgradeTexts kUpgradeTexts{"Upgrade is complete.",
                                            "Failed to upgrade the firmware! Please retry!",
                                            "Failed to upgrade the firmware! Please retry!"};

// Shared by the command, its dialog and the worker.
struct UpgradeJob : UnitJob {
  std::string imagePath;        // set by the command
  bool upgradeMode = false;     // false: erase texts; true: upgrade texts
  std::vector<uint8_t> image;   // the whole file; released by the worker
  std::size_t imageLength = 0;  // bytes in `image`; the worker takes the header off

  const UpgradeTexts& Texts() const { return upgradeMode ? kUpgradeTexts : kEraseTexts; }
};

// The dialog's initialisation without its windows: finds the logger and loads
// the image. A file that cannot be loaded shows "File Open Error: %s!" in a
// message box and the log, and no worker runs.
DialogStart PrepareUpgradeJob(UpgradeJob& job, DriveEnumerator& drives, LogSink& log,
                              MessageSink& messages);

// The worker: alignment check, signature check, begin block, the chunks on
// sector 1, end block. Ends with `workerDone` set.
void RunUpgradeWorker(UpgradeJob& job, WorkerSurroundings& surroundings);

void AbandonUpgradeJob(UpgradeJob& job);

}  // namespace yelvane
