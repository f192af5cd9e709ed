#include "app/DlgUnitFlash.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionFrame>

#include "app/DialogUnits.h"
#include "common/Color.h"
#include "widgets/GradientProgressCtrl.h"
#include "widgets/WidgetColor.h"

namespace yelvane {

namespace {

QLineEdit* ReadOnlyField(QWidget* parent, const char* name) {
  auto* field = new QLineEdit(parent);
  field->setReadOnly(true);
  field->setFocusPolicy(Qt::NoFocus);
  field->setObjectName(QString::fromUtf8(name));
  return field;
}

// A text too long for its field shows from its start (setText leaves the
// cursor, and so the view, at its end) and whole in the tooltip.
void ShowFieldText(QLineEdit* field, const std::string& text) {
  const QString shown = QString::fromStdString(text);
  field->setText(shown);
  field->setCursorPosition(0);
  QStyleOptionFrame option;
  option.initFrom(field);
  option.lineWidth = field->hasFrame()
                         ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field)
                         : 0;
  const QRect room = field->style()->subElementRect(QStyle::SE_LineEditContents, &option, field);
  // Less the line edit's own margin of two pixels each side.
  const bool fits = field->fontMetrics().horizontalAdvance(shown) <= room.width() - 4;
  field->setToolTip(fits ? QString() : shown);
}
}  // namespace

CDlgUnitFlash::CDlgUnitFlash(const QString& title, const DialogContext& context, DialogJob job,
                             QWidget* parent)
    : QDialog(parent),
      context_(context),
      job_(std::move(job)),
      gate_(this),
      progress_(new CGradientProgressCtrl(this)),
      transfer_(ReadOnlyField(this, "field1001")),
      rate_(ReadOnlyField(this, "field1002")),
      elapsed_(ReadOnlyField(this, "field1003")),
      status_(ReadOnlyField(this, "field1004")) {
  setWindowTitle(title);
  setModal(true);
  setFont(QFont(QStringLiteral("Tahoma"), 10));
  const DialogUnits du(font());
  setFixedSize(du.X(279), du.Y(89));

  progress_->setObjectName(QStringLiteral("progress1000"));
  du.Place(progress_, 7, 8, 196, 14);
  du.Place(transfer_, 208, 8, 64, 14);
  du.Place(new QLabel(QStringLiteral("Rate:"), this), 7, 33, 30, 10);
  du.Place(rate_, 38, 31, 110, 14);
  du.Place(new QLabel(QStringLiteral("Time elapsed:"), this), 156, 33, 56, 10);
  du.Place(elapsed_, 212, 31, 40, 14);
  du.Place(new QLabel(QStringLiteral("sec"), this), 256, 33, 18, 10);
  du.Place(status_, 7, 58, 265, 14);
  elapsed_->setAlignment(Qt::AlignRight);

  // OK and Cancel exist but are not shown.
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  ok->hide();
  cancel->hide();
  connect(ok, &QPushButton::clicked, this, &CDlgUnitFlash::accept);
  connect(cancel, &QPushButton::clicked, this, &CDlgUnitFlash::reject);

  elapsedTimer_.setInterval(kElapsedTimerMs);
  connect(&elapsedTimer_, &QTimer::timeout, this, &CDlgUnitFlash::OnElapsedTick);
  closeTimer_.setSingleShot(true);
  connect(&closeTimer_, &QTimer::timeout, this, &CDlgUnitFlash::reject);
}

CDlgUnitFlash::~CDlgUnitFlash() {
  // The worker may still be on its way out: let it stop waiting for us and
  // wait for it, so it never reports to a dialog that is gone.
  gate_.Close();
  if (worker_.joinable()) worker_.join();
}

QString CDlgUnitFlash::FieldText(int id) const {
  switch (id) {
    case kTransferField:
      return transfer_->text();
    case kRateField:
      return rate_->text();
    case kElapsedField:
      return elapsed_->text();
    case kStatusField:
      return status_->text();
    default:
      return {};
  }
}

void CDlgUnitFlash::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!initialized_) {
    initialized_ = true;
    Initialize();
  }
}

void CDlgUnitFlash::Initialize() {
  switch (job_.prepare()) {
    case DialogStart::NoDisk:
      // The message was shown; nothing runs, so the cancel goes through.
      closeTimer_.start(1);
      return;
    case DialogStart::Failed:
      job_.abandon();
      closeTimer_.start(1);
      return;
    case DialogStart::WorkerReady:
      break;
  }
  worker_ = std::thread([this] {
    WorkerSurroundings surroundings{.drives = context_.drives,
                                    .dialog = *this,
                                    .log = context_.log,
                                    .messages = context_.messages,
                                    .clock = context_.clock};
    job_.run(surroundings);
  });
  progress_->SetRange(0, 100);
  progress_->SetPos(0);
  progress_->SetStartColor(ToQColor(kProgressStartColor));
  progress_->SetEndColor(ToQColor(kProgressEndColor));
  progress_->SetTextColor(ToQColor(kProgressTextColor));
  elapsedTimer_.start();
}

void CDlgUnitFlash::OnElapsedTick() {
  elapsed_->setText(QString::number(elapsedCount_++));
}

void CDlgUnitFlash::SetTransferText(const std::string& text) {
  gate_.Call([this, text] { ShowFieldText(transfer_, text); });
}

void CDlgUnitFlash::SetRateText(const std::string& text) {
  gate_.Call([this, text] { ShowFieldText(rate_, text); });
}

void CDlgUnitFlash::SetPercent(int percent) {
  gate_.Call([this, percent] { progress_->SetPos(percent); });
}

void CDlgUnitFlash::SetStatusText(const std::string& text) {
  gate_.Call([this, text] { ShowFieldText(status_, text); });
}

void CDlgUnitFlash::StopElapsedTimer() {
  gate_.Call([this] { elapsedTimer_.stop(); });
}

void CDlgUnitFlash::CloseAfterDelay() {
  gate_.Call([this] { closeTimer_.start(static_cast<int>(kCloseDelayMs)); });
}

void CDlgUnitFlash::reject() {
  if (!job_.done()) return;
  elapsedTimer_.stop();
  closeTimer_.stop();
  QDialog::reject();
}

CDlgReadFlash::CDlgReadFlash(ReadJob& job, const DialogContext& context, QWidget* parent)
    : CDlgUnitFlash(
          QStringLiteral("Read Flash Data"), context,
          {.prepare = [&job,
                       context] { return PrepareReadJob(job, context.drives, context.messages); },
           .run = [&job](WorkerSurroundings& s) { RunReadWorker(job, s); },
           .abandon = [&job] { AbandonReadJob(job); },
           .done = [&job] { return job.workerDone.load(); }},
          parent) {}

CDlgEraseFlash::CDlgEraseFlash(UpgradeJob& job, const DialogContext& context, QWidget* parent)
    : CDlgUnitFlash(
          job.upgradeMode ? QString::fromUtf8(kUpgradeCaption) : QStringLiteral("Erase Flash Data"),
          context,
          {.prepare =
               [&job, context] {
                 return PrepareUpgradeJob(job, context.drives, context.log, context.messages);
               },
           .run = [&job](WorkerSurroundings& s) { RunUpgradeWorker(job, s); },
           .abandon = [&job] { AbandonUpgradeJob(job); },
           .done = [&job] { return job.workerDone.load(); }},
          parent) {}

}  // namespace yelvane
