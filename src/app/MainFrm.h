#pragma once

// The main window: menu, toolbar with the pet labels, status panes, the
// "Process Log" pane, the session table, the timers and the unit commands.

#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/AboutDlg.h"
#include "app/UiGate.h"
#include "common/Sinks.h"

class QAction;
class QDockWidget;
class QToolBar;

namespace yelvane {

class CVandryView;

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
inline constexpr int kPetLabelWidth = 300;
inline constexpr int kPollPeriodMs = 1000;

// What the main window needs from the unit-access core; tests and the
// simulator give their own.
struct UnitServices {
  // True when a logger answers with its signature.
  std::function<bool()> poll;
  // The firmware version record, or nothing when the unit does not answer.
  FirmwareVersionReader readFirmwareVersion;
};

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Running state.
  bool unitConnected = false;
  std::string m_strPetName;
  std::string m_strPetOwner;
  std::string m_strPetLocation;
  QPlainTextEdit* m_wndLog = nullptr;
  QProgressBar* m_wndProgress = nullptr;
  QLabel* m_stcUsbStatus = nullptr;
  QLabel* m_stcBark = nullptr;
  QLabel* m_stcActivity = nullptr;
  QLabel* m_stcPetName = nullptr;
  QLabel* m_stcPetOwner = nullptr;
  QLabel* m_stcPetLocation = nullptr;

  // Writes the three pet strings into the toolbar labels.
  void RefreshPetLabels();

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
  void SetUnitServices(UnitServices services) { unit_ = std::move(services); }
  void SetUrlOpener(std::function<void(const QString&)> opener) { openUrl_ = std::move(opener); }

  // Runs a command by id, as the menu, toolbar and accelerators do.
  void OnCommand(int id);
  QAction* CommandAction(int id) const;

  // The status text message: first == 0 puts *text in the text pane.
  long OnStatusText(long first, const std::string* text);
  QString StatusText() const;

  // Timers: 1 polls the unit every second, 2 looks for firmware once.
  void OnTimer(int id);
  bool PresencePollActive() const { return m_timer1.isActive(); }
  void StopPresencePoll() { m_timer1.stop(); }
  void StartPresencePoll() { m_timer1.start(kPollPeriodMs); }
  // One presence check now (what timer 1 does).
  void CheckUnitPresence();

  // Width of a status pane as its sizing string gives it.
  int PaneWidth(int indicator) const;
  QWidget* PaneWidget(int index) const;
  QDockWidget* LogBar() const { return m_wndLogBar; }
  QToolBar* ToolBar() const { return m_wndToolBar; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  class GatedLog;
  class GatedProgress;
  class GatedMessages;

  void CreateToolBar();
  void CreateStatusBar();
  void CreateLogBar();
  void CreateMenus();
  QAction* AddCommand(int id, const QString& text);
  void OnPetInformation();
  void OnAbout();
  void OnCheckForUpdates();
  // Stops the workers' waits on this window before it goes away.
  void ShutDown();

  UiGate gate_;
  CVandryView* view_ = nullptr;
  QToolBar* m_wndToolBar = nullptr;
  QDockWidget* m_wndLogBar = nullptr;
  QLabel* statusText_ = nullptr;
  std::vector<QWidget*> panes_;
  QTimer m_timer1;
  QTimer m_timer2;
  std::map<int, QAction*> actions_;
  std::unique_ptr<MessageSink> boxes_;
  MessageSink* prompt_ = nullptr;
  std::unique_ptr<LogSink> log_;
  std::unique_ptr<ProgressSink> progress_;
  std::unique_ptr<MessageSink> messages_;
  UnitServices unit_;
  std::function<void(const QString&)> openUrl_;
  bool closing_ = false;
};

}  // namespace yelvane
