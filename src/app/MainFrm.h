#pragma once

// The main window: menu, toolbar with the pet labels, status panes, the
// "Process Log" pane, the session table, the timers and the unit commands.
//
// Names: the design's given names keep their m_ prefixes (m_wndLog, m_strPetName); members of
// our own end in _ (gate_).

#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include <atomic>
#include <thread>

#include "activity/PetInfo.h"
#include "activity/ReportHandOff.h"
#include "app/UiGate.h"
#include "common/Sinks.h"
#include "operations/UnitCommands.h"
#include "unit/UnitAccess.h"
#include "widgets/AutoHideFrame.h"
#include "widgets/ColorStaticST.h"
#include "widgets/DockPageBar.h"
#include "widgets/GradientProgressCtrl.h"

class QAction;
class QLabel;
class QMenu;
class QToolBar;

namespace yelvane {

class CDlgSaving;
class CVandryView;
class DownloadFilePrompt;
class ReportFilePrompt;
class CSessionChartBar;

// Command ids of the menu, the toolbar and the accelerators.
enum CommandId : int {
  ID_FILE_NEW = 57600,
  ID_FILE_OPEN = 57601,
  ID_FILE_SAVE = 57603,
  ID_FILE_PRINT_SETUP = 57606,
  ID_FILE_PRINT = 57607,
  ID_EDIT_COPY = 57634,
  ID_EDIT_CUT = 57635,
  ID_EDIT_PASTE = 57637,
  ID_EDIT_UNDO = 57643,
  ID_NEXT_PANE = 57680,
  ID_PREV_PANE = 57681,
  ID_APP_ABOUT = 57664,
  ID_APP_EXIT = 57665,
  ID_READ_MEMORY_DATA = 32771,
  ID_FILE_SAVE_AS = 32772,
  ID_UPGRADE_FIRMWARE = 32773,
  ID_ERASE_MEMORY_DATA = 32774,
  ID_PET_NAME_LABEL = 32775,
  ID_PET_OWNER_LABEL = 32776,
  ID_PET_LOCATION_LABEL = 32777,
  ID_PET_INFORMATION = 32778,
  ID_CHECK_FOR_UPDATES = 32779,
  ID_RTC_SYNCHRONIZE = 32780,
};

// Status-bar indicators, left to right, and the strings that size them.
enum IndicatorId : int {
  ID_INDICATOR_BARK = 61450,
  ID_INDICATOR_ACTIVITY = 61451,
  ID_INDICATOR_USB = 61449,
  ID_INDICATOR_PROGRESS = 61448,
  ID_SEPARATOR = 0,
};

inline constexpr const char* kUpdatePageUrl = "https://yelvane.example.org/updates";
inline constexpr const char* kNoBrowserMessage =
    "No web browser could be started to open the update page:\n";
inline constexpr int kPetLabelWidth = 300;
// Timer 2 looks for new firmware once, this long after start-up.
inline constexpr int kFirmwareCheckDelayMs = 1000;

class CMainFrame : public CAutoHideFrame, private PresenceIndicator {
  Q_OBJECT
 public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  // True while a unit is attached; written only by the presence check.
  bool UnitConnected() const { return unitConnected; }
  // The pet information of the toolbar and the reports.
  const PetInfo& Pet() const { return pet_; }
  // Replaces it; the labels show it after RefreshPetLabels.
  void SetPet(const PetInfo& pet) { pet_ = pet; }
  // Writes the three pet strings into the toolbar labels.
  void RefreshPetLabels();

  // The window's panes and labels.
  QPlainTextEdit* LogControl() const { return m_wndLog; }
  CGradientProgressCtrl* ProgressPane() const { return m_wndProgress; }
  CColorStaticST* UsbStatusLabel() const { return m_stcUsbStatus; }
  CColorStaticST* BarkKey() const { return m_stcBark; }
  CColorStaticST* ActivityKey() const { return m_stcActivity; }
  CColorStaticST* PetNameLabel() const { return m_stcPetName; }
  CColorStaticST* PetOwnerLabel() const { return m_stcPetOwner; }
  CColorStaticST* PetLocationLabel() const { return m_stcPetLocation; }

  // The log pane, callable from any thread.
  LogSink& Log() { return *log_; }
  // The progress pane, callable from any thread.
  ProgressSink& Progress() { return *progress_; }
  // Message boxes and questions, callable from any thread.
  MessageSink& Messages() { return *messages_; }
  CVandryView* View() const { return view_; }

  // Replaces the message boxes (tests answer questions themselves); nullptr
  // restores the real ones.
  void SetPrompt(MessageSink* prompt);
  // The drives the commands and the presence poll look at (not owned; they
  // must outlive the window). Without them no logger is ever found.
  void SetDrives(DriveEnumerator& drives);
  DriveEnumerator& Drives() const { return *drives_; }
  // Replaces the firmware file dialog; nullptr restores it.
  void SetImagePrompt(ImageFilePrompt* prompt);
  // Where each download is archived ("" for the user's data folder).
  void SetArchiveFolder(const std::string& folder);
  // Replaces the report file dialog of Save as; nullptr restores it.
  void SetReportPrompt(ReportFilePrompt* prompt) { reportPrompt_ = prompt; }
  // The report folder Save as proposes ("" for the default one), with its
  // trailing separator.
  void SetReportFolder(const std::string& folder) { reportFolder_ = folder; }
  // The dump that filled the table last; the session sheets read it.
  const std::string& TableDump() const { return tableDump_; }
  UnitCommands& Commands() { return *commands_; }

  // The report walk of a dump on its own thread, owned by this window.
  void StartReport(const std::string& dumpPath);
  // The same walk over the bytes a read has just copied into `dumpPath`.
  void StartReport(const std::string& dumpPath, const DumpBytes& bytes);
  bool ReportRunning() const { return reportThread_.joinable() && !reportDone_; }
  // Waits for a running report while the window keeps answering it.
  void FinishReport();
  // Fills the table from a dump on the UI thread (for --open-dump).
  void OpenDump(const std::string& dumpPath);
  // File > Open Download on a chosen dump: its log lines, the walk, the dump
  // named in the status text pane. A file that cannot be read changes
  // nothing but the log; false then.
  bool OpenDownload(const std::string& dumpPath);
  // Replaces the file dialog of Open Download; nullptr restores it.
  void SetDownloadPrompt(DownloadFilePrompt* prompt) { downloadPrompt_ = prompt; }
  // File > Recent Downloads, rebuilt from the archive each time it opens.
  QMenu* RecentMenu() const { return recentMenu_; }
  void RebuildRecentMenu();
  // Opens an address in the browser; false when none could be started.
  void SetUrlOpener(std::function<bool(const QString&)> opener) { openUrl_ = std::move(opener); }

  // Runs a command by id, as the menu, toolbar and accelerators do.
  void OnCommand(int id);
  QAction* CommandAction(int id) const;

  // The status text message: first == 0 puts *text in the text pane.
  long OnStatusText(long first, const std::string* text);
  QString StatusText() const;

  // Timers: 1 polls the unit every second, 2 looks for firmware once.
  void OnTimer(int id);
  bool PresencePollActive() const { return timer1_.isActive(); }
  void StopPresencePoll() { timer1_.stop(); }
  void StartPresencePoll() { timer1_.start(static_cast<int>(kPresencePollMs)); }
  // One presence check now (what timer 1 does).
  void CheckUnitPresence();

  // The window's size when it is not maximized: the pet labels, the first
  // six columns and ten rows of the table, the log pane and the five status
  // panes, within `available` (a screen's free area); and there, centred.
  QSize RestoredSize(const QRect& available) const;
  // What the chart pane docked beside the table takes of the width, with its separator.
  int ChartBarWidth() const;
  void PlaceRestored(const QRect& available);

  // Width of a status pane as its sizing string gives it.
  int PaneWidth(int indicator) const;
  QWidget* PaneWidget(int index) const;
  CProcessLogBar* LogBar() const { return m_wndLogBar; }
  // View: a checkable item per pane.
  QMenu* ViewMenu() const { return viewMenu_; }
  // The "Session Chart" pane.
  CSessionChartBar* ChartBar() const { return m_wndChartBar; }
  QToolBar* ToolBar() const { return m_wndToolBar; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  class GatedLog;
  class GatedProgress;
  class GatedMessages;
  class Surroundings;

  void CreateToolBar();
  void CreateStatusBar();
  void CreateLogBar();
  void CreateChartBar();
  void CreateMenus();
  void CreateViewMenu();
  // A checkable View item that shows and hides `bar`.
  void AddPaneItem(CDockPageBar* bar, const QString& text);
  QAction* AddCommand(int id, const QString& text);
  void OnPetInformation();
  void OnSaveAs();
  void OnOpenDownload();
  // The archive of downloads this window reads and writes.
  std::string ArchiveFolder() const;
  // The walk of dump bytes already read, on the UI thread, by the block.
  void FillTable(const std::string& dumpPath, const std::vector<uint8_t>& bytes);
  void OnAbout();
  void OnCheckForUpdates();
  void RebuildCommands();
  void ShowPresence(const std::string& text, Rgb color) override;
  // What a report walk writes into.
  ReportHandOff::Targets ReportTargets();
  // Runs `walk` on the report thread into a hand-off to this window.
  void RunReport(std::function<void(ReportHandOff&)> walk);
  // Stops the workers' waits on this window before it goes away.
  void ShutDown();

  // The running state.
  bool unitConnected = false;
  // The design's m_strPetName, m_strPetOwner and m_strPetLocation.
  PetInfo pet_;
  QPlainTextEdit* m_wndLog = nullptr;
  CGradientProgressCtrl* m_wndProgress = nullptr;
  CColorStaticST* m_stcUsbStatus = nullptr;
  CColorStaticST* m_stcBark = nullptr;
  CColorStaticST* m_stcActivity = nullptr;
  CColorStaticST* m_stcPetName = nullptr;
  CColorStaticST* m_stcPetOwner = nullptr;
  CColorStaticST* m_stcPetLocation = nullptr;

  UiGate gate_;
  CVandryView* view_ = nullptr;
  QToolBar* m_wndToolBar = nullptr;
  CProcessLogBar* m_wndLogBar = nullptr;
  CSessionChartBar* m_wndChartBar = nullptr;
  QLabel* statusText_ = nullptr;
  QMenu* viewMenu_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  // What the text pane shows when no prompt is up: "Ready", or the opened download.
  QString idleText_;
  std::vector<QWidget*> panes_;
  QTimer timer1_;
  QTimer timer2_;
  std::map<int, QAction*> actions_;
  std::unique_ptr<MessageSink> boxes_;
  MessageSink* prompt_ = nullptr;
  std::unique_ptr<LogSink> log_;
  std::unique_ptr<ProgressSink> progress_;
  std::unique_ptr<MessageSink> messages_;
  std::function<bool(const QString&)> openUrl_;
  bool closing_ = false;
  std::unique_ptr<DriveEnumerator> noDrives_;
  DriveEnumerator* drives_ = nullptr;
  std::unique_ptr<Surroundings> surroundings_;
  ImageFilePrompt* imagePrompt_ = nullptr;
  std::string archiveFolder_;
  std::unique_ptr<UnitCommands> commands_;
  ReportFilePrompt* reportPrompt_ = nullptr;
  std::unique_ptr<ReportFilePrompt> reportDialog_;
  std::string reportFolder_;
  std::string tableDump_;
  DownloadFilePrompt* downloadPrompt_ = nullptr;
  std::unique_ptr<DownloadFilePrompt> downloadDialog_;
  QPointer<CDlgSaving> saving_;
  std::thread reportThread_;
  std::atomic<bool> reportDone_{true};
};

}  // namespace yelvane
