#pragma once

// The progress dialogs of the unit transfers ("Read Flash Data", "Erase Flash
// Data" / "Upgrade firmware..."): a worker thread owned by the dialog reports
// through the six progress codes, each applied on the UI thread while the
// worker waits. The dialog cannot be cancelled while its worker runs, closes
// itself one second after the last code, and joins its worker before it goes.
//
// Names: the design's given names keep their m_ prefixes (m_wndLog, m_strPetName); members of
// our own end in _ (gate_).

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <thread>

#include "app/UiGate.h"
#include "operations/EraseFlash.h"
#include "operations/ReadFlash.h"
#include "operations/UnitDialog.h"

class QLineEdit;

namespace yelvane {

class CGradientProgressCtrl;

// What a dialog's worker talks to besides the dialog.
struct DialogContext {
  DriveEnumerator& drives;
  LogSink& log;
  MessageSink& messages;
  Clock& clock;
};

// What differs between the dialogs: their job's preparation (the part of
// the dialog's initialisation that is not a window), the worker's body, the
// release of what the preparation took when no worker runs, and whether the
// worker is done.
struct DialogJob {
  std::function<DialogStart()> prepare;
  std::function<void(WorkerSurroundings&)> run;
  std::function<void()> abandon;
  std::function<bool()> done;
};

class CDlgUnitFlash : public QDialog, public UnitDialogObserver {
  Q_OBJECT
 public:
  // Control ids of the fields.
  static constexpr int kProgressBar = 1000;
  static constexpr int kTransferField = 1001;
  static constexpr int kRateField = 1002;
  static constexpr int kElapsedField = 1003;
  static constexpr int kStatusField = 1004;

  // Releases a worker still waiting for the dialog and joins it.
  ~CDlgUnitFlash() override;

  QString FieldText(int id) const;
  CGradientProgressCtrl* ProgressBar() const { return progress_; }
  bool WorkerRunning() const { return !job_.done(); }

  // UnitDialogObserver: called by the worker, applied on the UI thread.
  void SetTransferText(const std::string& text) override;
  void SetRateText(const std::string& text) override;
  void SetPercent(int percent) override;
  void SetStatusText(const std::string& text) override;
  void StopElapsedTimer() override;
  void CloseAfterDelay() override;

  // Cancel (Esc, the close box, the closing timer) only once the worker is done.
  void reject() override;
  // OK does nothing.
  void accept() override {}

 protected:
  CDlgUnitFlash(const QString& title, const DialogContext& context, DialogJob job, QWidget* parent);
  void showEvent(QShowEvent* event) override;

 private:
  void Initialize();
  void OnElapsedTick();

  DialogContext context_;
  DialogJob job_;
  UiGate gate_;
  CGradientProgressCtrl* progress_;
  QLineEdit* transfer_;
  QLineEdit* rate_;
  QLineEdit* elapsed_;
  QLineEdit* status_;
  QTimer elapsedTimer_;  // id 1
  QTimer closeTimer_;    // id 2
  int elapsedCount_ = 1;
  bool initialized_ = false;
  std::thread worker_;
};

class CDlgReadFlash final : public CDlgUnitFlash {
  Q_OBJECT
 public:
  CDlgReadFlash(ReadJob& job, const DialogContext& context, QWidget* parent = nullptr);
};

class CDlgEraseFlash final : public CDlgUnitFlash {
  Q_OBJECT
 public:
  // The caption becomes "Upgrade firmware..." when the job is an upgrade.
  CDlgEraseFlash(UpgradeJob& job, const DialogContext& context, QWidget* parent = nullptr);
};

}  // namespace yelvane
