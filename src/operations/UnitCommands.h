#pragma once

// The unit commands of the main window without their windows: Read Memory
// Data, Erase Memory Data, Upgrade Firmware, the start-up firmware detection
// and RTC synchronize. Everything around them comes in through small
// interfaces, so the GUI maps them to its timer, dialogs and views and the
// command-line tool and the tests to a terminal or recorders.
//
// Where the other names lead. Read Memory Data is ReadMemoryData here; it
// runs the "Read Flash Data" dialog through DialogRunner::RunRead (the GUI's
// CDlgReadFlash in app/DlgUnitFlash.h), whose worker is RunReadWorker on a
// ReadJob (ReadFlash.h). Erase Memory Data (EraseMemory) and Upgrade Firmware
// (UpgradeFirmware) are one mechanism, an image streamed into the logger:
// DialogRunner::RunUpgrade, the "Erase Flash Data" dialog CDlgEraseFlash, and
// RunUpgradeWorker on an UpgradeJob (EraseFlash.h).

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "activity/PetInfo.h"
#include "activity/SessionTable.h"
#include "common/Sinks.h"
#include "operations/EraseFlash.h"
#include "operations/ReadFlash.h"

namespace yelvane {

class DriveEnumerator;

inline constexpr const char* kDisconnectedText = "USB is Disconnected, Please check the USB!";
inline constexpr const char* kReadCancelledText = "Cancel the flash data read.";
inline constexpr const char* kReportCancelledText =
    "Cancel the data report because of USB device had been unpluged!";
inline constexpr const char* kReadSucceededText = "Read flash data successfully!";
inline constexpr const char* kKeptCopyText = "Kept a copy in %s";
inline constexpr const char* kEraseQuestion =
    "Are you sure you want to erase all data from the unit?";
inline constexpr const char* kEraseCancelledText = "Cancel that erase memory data.";
inline constexpr const char* kEraseSucceededText = "Erased all data successfully!";
inline constexpr const char* kUpgradeQuestion = "Are you sure you want to upgrade the firmware?";
inline constexpr const char* kUpgradeCancelledText = "Cancel that upgrade firmware.";
inline constexpr const char* kUpgradeSucceededText = "Upgrade the firmware successfully!";
inline constexpr const char* kClockFailedText = "Failed To Synchronize Time!\nPlease Retry!";
inline constexpr const char* kClockSucceededText =
    "Device Timer is synchronized with your PC Timer!";
inline constexpr uint32_t kDumpAddress = 0x10000;
inline constexpr uint32_t kDumpLength = 0x50000;
inline constexpr uint32_t kPresencePollMs = 1000;

// The presence poll (the main window's timer 1). Every transfer stops it
// first and starts it again (1000 ms) however it ends.
class PresencePoll {
 public:
  virtual ~PresencePoll() = default;
  virtual void Stop() = 0;
  virtual void Start() = 0;
};

// The Pet Information dialog and the toolbar labels that show the strings.
class PetInfoPrompt {
 public:
  virtual ~PetInfoPrompt() = default;
  // Shows `pet`; on OK stores the entries in it and returns true.
  virtual bool Ask(PetInfo& pet) = 0;
  virtual void RefreshLabels(const PetInfo& pet) = 0;
};

// The file-open dialog for an image ("MSC Files (*.msc)|*.msc||", ".msc").
class ImageFilePrompt {
 public:
  virtual ~ImageFilePrompt() = default;
  // `initialName` is "<start-up folder>/*.msc"; nullopt when cancelled.
  virtual std::optional<std::string> ChooseImage(const std::string& initialName) = 0;
};

// Runs a progress dialog to its end: the GUI shows it modally with the worker
// on its own thread; the tool and the tests run the worker inline.
class DialogRunner {
 public:
  virtual ~DialogRunner() = default;
  virtual void RunRead(ReadJob& job) = 0;
  virtual void RunUpgrade(UpgradeJob& job) = 0;
};

// The bytes of a complete read, shared by whoever still needs them.
using DumpBytes = std::shared_ptr<const std::vector<uint8_t>>;

// Starts the report walk of a fresh dump (the GUI on a thread of its own,
// the tool inline). It walks `bytes`, the read's own copy; `dumpPath` only
// names the file they were also written to.
class ReportRunner {
 public:
  virtual ~ReportRunner() = default;
  virtual void Start(const std::string& dumpPath, const DumpBytes& bytes) = 0;
  // Returns once the walk last started has filled the table (at once for a
  // runner that walks inline).
  virtual void Wait() {}
};

// Everything the unit commands reach the world through. Built with
// designated initialisers ({.log = ..., .poll = ...}), so every place that
// wires the commands says what it gives them.
struct CommandSurroundings {
  LogSink& log;
  MessageSink& messages;
  ProgressSink& progressPane;
  SessionTable& table;
  PresencePoll& poll;
  PetInfoPrompt& petPrompt;
  PetInfo& pet;  // the main window's three strings
  ImageFilePrompt& imagePrompt;
  DialogRunner& dialogs;
  ReportRunner& report;
  DriveEnumerator& drives;
  // The main window's `unitConnected` as the presence poll left it.
  std::function<bool()> unitConnected{};
  std::string startupFolder{};
  // The PC's local time; read once per command that needs it.
  std::function<std::tm()> localTime = SystemLocalTime;
  // "" picks DownloadArchiveFolder() when a copy is saved.
  std::string archiveFolder{};
  // "" picks "<start-up folder>/tmp.bin".
  std::string dumpPath{};
  // The tool replaces the dump only after a complete read; the desktop
  // program creates it empty first and fills it (see ReadJob::replaceDump).
  bool replaceDump = false;
  // "" picks FindEraseImage(start-up folder).
  std::string eraseImagePath{};
  // The GUI always offers the erase after a read; the tool only on request.
  bool offerEraseAfterRead = true;

  static std::tm SystemLocalTime();
};

class UnitCommands {
 public:
  explicit UnitCommands(CommandSurroundings surroundings) : s_(std::move(surroundings)) {}

  // Returns true when the copy succeeded (whatever the erase question gave).
  bool ReadMemoryData();
  // Returns true only after "Erased all data successfully!".
  bool EraseMemory(bool clearLog);
  // Returns true only after "Upgrade the firmware successfully!".
  bool UpgradeFirmware(const std::string& path);
  // Offers the first valid image of the Firmware folder and deletes it
  // afterwards whatever happened. The caller stops its one-shot timer first.
  void DetectFirmware();
  // Returns true only after "Device Timer is synchronized with your PC Timer!".
  bool SynchronizeClock();

  // Where the last successful read kept its copy ("" when none).
  const std::string& LastArchivePath() const { return lastArchivePath_; }
  // The bytes of the last successful read (null before one): what the chart
  // series of a report are taken from.
  const DumpBytes& LastDump() const { return lastDump_; }
  std::string DumpPath() const;

 private:
  bool RequireUnit();
  bool RunImage(const std::string& path, bool upgradeMode);
  bool KeepCopy(const std::vector<uint8_t>& data);

  CommandSurroundings s_;
  ReadJob readJob_;
  UpgradeJob upgradeJob_;
  std::string lastArchivePath_;
  DumpBytes lastDump_;
};

}  // namespace yelvane
