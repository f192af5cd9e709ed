#include "app/DlgSaving.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>

#include "app/DialogUnits.h"
#include "common/Color.h"
#include "common/FileReplace.h"
#include "common/Format.h"
#include "report/CsvReport.h"
#include "report/TextReport.h"
#include "report/WorkbookReport.h"
#include "widgets/GradientProgressCtrl.h"
#include "widgets/WidgetColor.h"

namespace yelvane {

std::atomic<int> g_bSaving{0};

namespace {

bool EndsWith(const std::string& text, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// Why nothing can be created beside `path`, or "" when something can: a
// folder that cannot be written fails here in a moment, not after the whole
// workbook was built.
std::string WhyNotWritable(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const fs::path probe = folder / Format(".%s.%d.probe", target.filename().string().c_str(),
                                         static_cast<int>(::getpid()));
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return errno == EEXIST ? std::string() : std::strerror(errno);
  ::close(fd);
  ::unlink(probe.c_str());
  return {};
}

}  // namespace

// The worker's side of the dialog: every change on the UI thread while the
// worker waits; a position the bar already shows is not sent again.
class CDlgSaving::Observer final : public SaveObserver {
 public:
  explicit Observer(CDlgSaving& dialog) : dialog_(dialog) {}
  void SetProgress(int percent) override {
    if (percent == last_) return;
    last_ = percent;
    dialog_.gate_.Call([bar = dialog_.m_ctlProgress, percent] { bar->SetPos(percent); });
  }
  void SetStatus(const std::string& text) override {
    dialog_.gate_.Call([d = &dialog_, text] { d->OnSaveProgress(0, &text); });
  }
  void End() override {
    dialog_.gate_.Call([d = &dialog_] { d->OnSaveProgress(1, nullptr); });
  }
  bool Cancelled() override { return dialog_.abandoned_; }

 private:
  CDlgSaving& dialog_;
  int last_ = 0;  // the bar starts at 0
};

void CDlgSaving::Boxes::ShowMessage(const std::string& text, MessageIcon icon) {
  dialog_.gate_.Call([d = &dialog_, text, icon] { d->context_.messages.ShowMessage(text, icon); });
}

bool CDlgSaving::Boxes::AskYesNo(const std::string& text, const std::string& caption) {
  return dialog_.gate_.Call(
      [d = &dialog_, text, caption] { return d->context_.messages.AskYesNo(text, caption); });
}

CDlgSaving::CDlgSaving(const SaveContext& context, QWidget* parent)
    : QDialog(parent),
      context_(context),
      gate_(this),
      boxes_(*this),
      m_excel(boxes_),
      m_chkPlot(
          new QCheckBox(QStringLiteral("Save the plot graphic for the each session data"), this)),
      m_stcStatus(new QLabel(this)),
      m_stcMessage(new QLabel(this)),
      m_ctlProgress(new CGradientProgressCtrl(this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
  setWindowTitle(QStringLiteral("Saving..."));
  setModal(true);
  setFont(QFont(QStringLiteral("Tahoma"), 10));
  const DialogUnits du(font());
  setFixedSize(du.X(263), du.Y(73));

  m_stcMessage->setObjectName(QStringLiteral("static1002"));
  m_stcStatus->setObjectName(QStringLiteral("static1003"));
  m_ctlProgress->setObjectName(QStringLiteral("progress1000"));
  m_chkPlot->setObjectName(QStringLiteral("check1006"));
  du.Place(m_stcMessage, 7, 7, 249, 18);
  du.Place(m_stcStatus, 7, 24, 249, 10);
  du.Place(m_ctlProgress, 7, 37, 249, 12);
  du.Place(m_chkPlot, 7, 53, 166, 13);
  du.Place(ok_, 177, 54, 38, 12);
  du.Place(cancel_, 218, 54, 38, 12);
  m_stcMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_stcMessage->setWordWrap(false);
  m_chkPlot->setFocusPolicy(Qt::StrongFocus);
  ok_->setDefault(true);
  ok_->setAutoDefault(true);
  cancel_->setAutoDefault(false);
  connect(ok_, &QPushButton::clicked, this, &CDlgSaving::accept);
  connect(cancel_, &QPushButton::clicked, this, &CDlgSaving::reject);
  setTabOrder(m_chkPlot, ok_);
  setTabOrder(ok_, cancel_);
}

CDlgSaving::~CDlgSaving() {
  // A worker still running gives up its waits, saves nothing and is joined.
  abandoned_ = true;
  gate_.Close();
  if (worker_.joinable()) worker_.join();
}

void CDlgSaving::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!initialized_) {
    initialized_ = true;
    OnInitDialog();
  }
}

bool CDlgSaving::IsWorkbookPath() const {
  return EndsWith(m_strPath, ".xls") || EndsWith(m_strPath, ".xlsx");
}

void CDlgSaving::OnInitDialog() {
  g_bSaving = 1;
  m_ctlProgress->SetRange(0, 100);
  m_ctlProgress->SetPos(0);
  m_ctlProgress->SetShowPercent(true);
  m_ctlProgress->SetStartColor(ToQColor(kProgressStartColor));
  m_ctlProgress->SetEndColor(ToQColor(kProgressEndColor));
  m_ctlProgress->SetTextColor(ToQColor(kProgressTextColor));
  m_strMessage = Format("Save as \"%s\"\nPlease wait a moment...\n", m_strPath.c_str());
  m_stcMessage->setText(QString::fromStdString(m_strMessage).trimmed());
  const bool text = EndsWith(m_strPath, ".txt");
  if (text || EndsWith(m_strPath, ".csv")) {
    m_chkPlot->setEnabled(false);
    ok_->hide();
    cancel_->hide();
    StartWorker(text ? &CDlgSaving::WriteTextReport : &CDlgSaving::WriteCsvReport);
  } else {
    // Nothing runs until OK (and for any other ending never): Cancel must
    // close the dialog.
    g_bSaving = 0;
  }
  m_chkPlot->setChecked(true);
}

void CDlgSaving::accept() {
  if (!IsWorkbookPath() || running_) return;
  const bool plot = m_chkPlot->isChecked();
  // Sessions a .xls cannot give their sheet: the user says first whether to go on.
  if (const std::string warning =
          SessionSheetLimitWarning(m_strPath, plot, context_.table.RowCount());
      !warning.empty() && !context_.messages.AskYesNo(warning + "\n\n" + kSessionSheetLimitQuestion,
                                                      windowTitle().toStdString())) {
    return;
  }
  // The main window may have gone while the question was up: then nothing starts.
  if (running_ || abandoned_) return;
  g_bSaving = 1;
  plot_ = plot;
  StartWorker(&CDlgSaving::BuildWorkbook);
}

void CDlgSaving::reject() {
  if (g_bSaving != 0) return;
  QDialog::reject();
}

long CDlgSaving::OnSaveProgress(long wParam, const std::string* lParam) {
  if (wParam == 0 && lParam != nullptr) {
    m_stcStatus->setText(QString::fromStdString(*lParam));
  } else if (wParam == 1) {
    reject();
  }
  return 0;
}

void CDlgSaving::Abandon() {
  abandoned_ = true;
  gate_.Close();
  QDialog::reject();
}

void CDlgSaving::StartWorker(int (*procedure)(CDlgSaving*)) {
  // An earlier run (a workbook that stopped early) is over; wait for its end.
  if (worker_.joinable()) worker_.join();
  running_ = true;
  worker_ = std::thread([this, procedure] {
    procedure(this);
    running_ = false;
  });
}

std::optional<MemorySessionTable> CDlgSaving::TableSnapshot() {
  return gate_.Call([this]() -> std::optional<MemorySessionTable> {
    // The view does not change while this modal dialog is up, and on the UI
    // thread its texts are read without a hand-off each.
    MemorySessionTable copy;
    const SessionTable& table = context_.table;
    const int rows = table.RowCount();
    for (int r = 0; r < rows; ++r) {
      copy.InsertRow(r);
      for (int c = 0; c < kSessionColumns; ++c)
        copy.SetCellText(r, c, table.CellText(r, c, std::numeric_limits<std::size_t>::max()));
    }
    return copy;
  });
}

int CDlgSaving::WriteTableText(
    CDlgSaving* dialog,
    const std::function<std::string(const SessionTable&, const std::function<void(int)>&)>& build) {
  Observer observer(*dialog);
  const std::optional<MemorySessionTable> table = dialog->TableSnapshot();
  if (table && !dialog->abandoned_) {
    const int rows = table->RowCount();
    const std::string text = build(*table, [&observer, rows](int r) {
      observer.SetProgress((r + 1) * 100 / rows);
      observer.SetStatus(Format("Session: %d", r + 1));
    });
    std::string error;
    if (!dialog->abandoned_ && !WriteFileReplacing(dialog->m_strPath, text, error))
      dialog->boxes_.ShowMessage(error, MessageIcon::Error);
  }
  g_bSaving = 0;
  observer.End();
  return 1;
}

int CDlgSaving::WriteTextReport(CDlgSaving* dialog) {
  return WriteTableText(dialog,
                        [dialog](const SessionTable& table, const std::function<void(int)>& onRow) {
                          return BuildTextReport(table, dialog->context_.pet, onRow);
                        });
}

int CDlgSaving::WriteCsvReport(CDlgSaving* dialog) {
  // The pet strings are not part of the CSV: the header line and the rows only.
  return WriteTableText(dialog,
                        [](const SessionTable& table, const std::function<void(int)>& onRow) {
                          return BuildCsvReport(table, onRow);
                        });
}

int CDlgSaving::BuildWorkbook(CDlgSaving* dialog) {
  Observer observer(*dialog);
  const std::string& path = dialog->m_strPath;
  const std::optional<MemorySessionTable> table = dialog->TableSnapshot();
  if (!table || dialog->abandoned_) {
    g_bSaving = 0;
    return 0;
  }
  if (const std::string why = WhyNotWritable(path); !why.empty()) {
    dialog->boxes_.ShowMessage(Format("Cannot write \"%s\": %s", path.c_str(), why.c_str()),
                               MessageIcon::Error);
    g_bSaving = 0;
    observer.End();
    return 1;
  }
  // Why the application could not save, told in the application's words.
  std::string why;
  EngineOptions options;
  options.diagnostic = [&why](const std::string& text) { why = text; };
  const std::unique_ptr<AutomationServer> server = MakeAutomationServer(options);
  // The core clears its own flag; g_bSaving is cleared here, after the last
  // box, so that Cancel cannot close the dialog under it.
  std::atomic<int> busy{1};
  const WorkbookJob job{.path = path,
                        .plot = dialog->plot_,
                        .pet = dialog->context_.pet,
                        .table = &*table,
                        .dumpPath = dialog->context_.dumpPath,
                        .saving = &busy};
  // End is held back until the failure, if any, has been told.
  struct HeldEnd final : SaveObserver {
    explicit HeldEnd(Observer& o) : inner(o) {}
    void SetProgress(int percent) override { inner.SetProgress(percent); }
    void SetStatus(const std::string& text) override { inner.SetStatus(text); }
    void End() override { ended = true; }
    bool Cancelled() override { return inner.Cancelled(); }
    Observer& inner;
    bool ended = false;
  } held(observer);
  bool saved = false;
  const int result = yelvane::BuildWorkbook(job, *server, dialog->m_excel, held, &saved);
  if (!saved && held.ended && !why.empty() && !dialog->abandoned_) {
    dialog->boxes_.ShowMessage(Format("Cannot write \"%s\": %s", path.c_str(), why.c_str()),
                               MessageIcon::Error);
  }
  g_bSaving = 0;
  if (held.ended) observer.End();
  return result;
}

}  // namespace yelvane
