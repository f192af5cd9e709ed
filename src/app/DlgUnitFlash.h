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

class CDlgUnitFlash : public QDialog, public UnitDialogObserver {
  Q_OBJECT
 public:
  // Control ids of the fields.
  static constexpr int kProgressBar = 1000;
  static constexpr int kTransferField = 1001;
  static constexpr int kRateField = 1002;
  static constexpr int kElapsedField = 1003;
  static constexpr int kStatusField = 1004;

  ~CDlgUnitFlash() override;

  QString FieldText(int id) const;
  CGradientProgressCtrl* ProgressBar() const { return progress_; }
  bool WorkerRunning() const { return !WorkerDone(); }

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
  CDlgUnitFlash(const QString& title, const DialogContext& context, QWidget* parent);

  // The dialog's initialisation without windows, the worker's body, and the
  // release of what the preparation took when no worker runs.
  virtual DialogStart Prepare() = 0;
  virtual void RunWorker(WorkerSurroundings& surroundings) = 0;
  virtual void Abandon() = 0;
  virtual bool WorkerDone() const = 0;

  void showEvent(QShowEvent* event) override;
  // Releases a waiting worker and joins it; every destructor calls it first.
  void StopWorker();

  DialogContext context_;

 private:
  void Initialize();
  void OnElapsedTick();

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
  ~CDlgReadFlash() override;

 protected:
  DialogStart Prepare() override;
  void RunWorker(WorkerSurroundings& surroundings) override;
  void Abandon() override;
  bool WorkerDone() const override { return job_.workerDone; }

 private:
  ReadJob& job_;
};

class CDlgEraseFlash final : public CDlgUnitFlash {
  Q_OBJECT
 public:
  // The caption becomes "Upgrade firmware..." when the job is an upgrade.
  CDlgEraseFlash(UpgradeJob& job, const DialogContext& context, QWidget* parent = nullptr);
  ~CDlgEraseFlash() override;

 protected:
  DialogStart Prepare() override;
  void RunWorker(WorkerSurroundings& surroundings) override;
  void Abandon() override;
  bool WorkerDone() const override { return job_.workerDone; }

 private:
  UpgradeJob& job_;
};

}  // namespace yelvane
