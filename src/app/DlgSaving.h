#pragma once

// The "Saving..." dialog of Save as: a message, a status line, a progress bar
// and the option of a chart sheet per session. A ".txt" or ".csv" report is
// written at once; a workbook (".xls", ".xlsx") waits for OK. The export runs on a worker
// thread owned by the dialog, which reports through the save progress message
// applied on the UI thread while the worker waits, and which the dialog joins
// before it goes.
//
// Names: the design's given names keep their m_ prefixes (m_wndLog, m_strPetName); members of
// our own end in _ (gate_).

#include <QDialog>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "activity/PetInfo.h"
#include "activity/SessionTable.h"
#include "app/UiGate.h"
#include "automation/ExcelAutomation.h"
#include "common/Sinks.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace yelvane {

class CGradientProgressCtrl;

// The save progress message: wParam 0 carries the status text, 1 the end.
inline constexpr long WM_SAVE_PROGRESS = 0x0400 + 3;
// Non-zero while an export worker runs; Cancel is ignored meanwhile.
extern std::atomic<int> g_bSaving;

// What the export reads besides the dialog.
struct SaveContext {
  const SessionTable& table;  // the view's table, read on the UI thread
  PetInfo pet;
  MessageSink& messages;  // boxes, shown on the UI thread
  std::string dumpPath;   // the dump that filled the table: the session sheets' series
};

class CDlgSaving final : public QDialog {
  Q_OBJECT

  // First: the fields below use them.
  class Boxes final : public MessageSink {
   public:
    explicit Boxes(CDlgSaving& dialog) : dialog_(dialog) {}
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;

   private:
    CDlgSaving& dialog_;
  };
  SaveContext context_;
  UiGate gate_;
  Boxes boxes_;

 public:
  // Control ids.
  static constexpr int kProgressBar = 1000;
  static constexpr int kMessageLabel = 1002;
  static constexpr int kStatusLabel = 1003;
  static constexpr int kPlotCheck = 1006;

  explicit CDlgSaving(const SaveContext& context, QWidget* parent = nullptr);
  // Stops a worker still waiting for the dialog and joins it.
  ~CDlgSaving() override;

  std::string m_strPath;
  std::string m_strMessage;
  CExcelAutomation m_excel;
  QCheckBox* m_chkPlot;
  QLabel* m_stcStatus;
  QLabel* m_stcMessage;
  CGradientProgressCtrl* m_ctlProgress;

  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  bool ExportRunning() const { return running_; }

  // OK: starts the workbook export, once at a time; never closes.
  void accept() override;
  // Cancel (the button, Esc, the close box): closes unless an export runs.
  void reject() override;
  // The save progress message.
  long OnSaveProgress(long wParam, const std::string* lParam);
  // The main window is going away: a running export stops without saving,
  // the worker no longer waits for the dialog, and the dialog closes.
  void Abandon();

  // The worker entry points; each returns 1 when it ran to its end.
  static int WriteTextReport(CDlgSaving* dialog);
  static int WriteCsvReport(CDlgSaving* dialog);
  static int BuildWorkbook(CDlgSaving* dialog);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  class Observer;
  void OnInitDialog();
  void StartWorker(int (*procedure)(CDlgSaving*));
  // The table and its texts in one hand-off; nothing once the dialog closed.
  std::optional<MemorySessionTable> TableSnapshot();
  bool IsWorkbookPath() const;
  // The table's rows as text (`build`), with the bar and status per row, then
  // the file written whole; a failure is told in a box.
  static int WriteTableText(
      CDlgSaving* dialog,
      const std::function<std::string(const SessionTable&, const std::function<void(int)>&)>&
          build);

  QPushButton* ok_;
  QPushButton* cancel_;
  bool initialized_ = false;
  bool plot_ = true;  // the check box when OK was pressed
  std::atomic<bool> running_{false};
  std::atomic<bool> abandoned_{false};
  std::thread worker_;
};

}  // namespace yelvane
