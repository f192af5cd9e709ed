// Save as on the main window: the proposed name and folder, the save-file
// dialog, the "Saving..." dialog's states, its two workers and what a user
// meets when a report cannot be written.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/DlgSaving.h"
#include "app/MainFrm.h"
#include "app/ReportFile.h"
#include "app/Vandry.h"
#include "app/VandryView.h"
#include "common/TempFolder.h"
#include "report/WorkbookReport.h"
#include "support/Files.h"
#include "support/Gui.h"
#include "support/Recorders.h"
#include "support/Tool.h"
#include "support/Workbook.h"
#include "widgets/GradientProgressCtrl.h"

using namespace yelvane;
using yelvane::test::RecordingMessages;
using yelvane::test::WhenModal;
namespace fs = std::filesystem;

namespace {

// Answers the report file dialog with `answer` and keeps what it was offered.
class ScriptedFile final : public ReportFilePrompt {
 public:
  std::optional<std::string> ChooseReportFile(const std::string& initialPath) override {
    offered.push_back(initialPath);
    currentDir = QDir::currentPath().toStdString();
    QDir::setCurrent(QDir::tempPath());  // as the real dialog may
    return answer;
  }
  std::optional<std::string> answer;
  std::vector<std::string> offered;
  std::string currentDir;
};

// A main window in a start-up folder of its own, with `sessions` demo sessions
// in its table read from dump.bin.
struct Bench {
  explicit Bench(int sessions = 3) {
    previous = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.Str()));
    app = std::make_unique<CVandryApp>();
    frame = std::make_unique<CMainFrame>();
    frame->SetPrompt(&prompt);
    frame->SetReportPrompt(&files);
    frame->SetReportFolder(dir.File("reports") + "/");
    if (sessions > 0) {
      dump = test::MakeDemoDump(dir.Str(), sessions, table);
      frame->OpenDump(dump);
    }
    frame->SetPet({.name = "Rex", .owner = "Ann Lee", .location = "Köln Park"});
    frame->show();
  }
  ~Bench() {
    frame.reset();
    app.reset();
    QDir::setCurrent(previous);
  }
  void SaveAs(const std::string& path) {
    files.answer = path;
    frame->OnCommand(ID_FILE_SAVE_AS);
  }
  QString previous;
  TempFolder dir;
  std::unique_ptr<CVandryApp> app;
  RecordingMessages prompt;
  ScriptedFile files;
  MemorySessionTable table;
  std::string dump;
  std::unique_ptr<CMainFrame> frame;
};

// What the dialog showed, seen when it was first up.
struct Look {
  bool okVisible = false;
  bool cancelVisible = false;
  bool plotEnabled = false;
  bool plotTicked = false;
  int saving = -1;
  QString message;
};

Look LookAt(const CDlgSaving& d) {
  return {d.OkButton()->isVisible(), d.CancelButton()->isVisible(),
          d.m_chkPlot->isEnabled(),  d.m_chkPlot->isChecked(),
          g_bSaving.load(),          d.m_stcMessage->text()};
}

// Runs `act` on the next dialog of type T as it is shown, before it starts
// anything: a text export may be over before a timer would see its dialog.
template <class T>
void OnShow(std::function<void(T*)> act) {
  struct Filter final : QObject {
    explicit Filter(std::function<void(T*)> f) : act(std::move(f)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Show) {
        if (auto* dialog = qobject_cast<T*>(watched)) {
          qApp->removeEventFilter(this);
          deleteLater();
          act(dialog);
        }
      }
      return false;
    }
    std::function<void(T*)> act;
  };
  qApp->installEventFilter(new Filter(std::move(act)));
}

// YELVANE_SHOT_DIR=/tmp/shots keeps a PNG of the dialog for looking at it.
void Shot(QWidget& widget, const QString& name) {
  const QString shots = qEnvironmentVariable("YELVANE_SHOT_DIR");
  if (!shots.isEmpty()) widget.grab().save(shots + "/" + name + ".png");
}

// The sheets of a workbook and how many charts each holds: "name:charts,...".
std::string SheetsOf(const std::string& xlsx, const std::string& dir) {
  std::string out;
  const std::string script =
      "import sys, openpyxl\n"
      "wb = openpyxl.load_workbook(sys.argv[1])\n"
      "print(','.join('%s:%d' % (ws.title, len(ws._charts)) for ws in wb.worksheets))\n";
  if (!test::RunPython(dir, script, xlsx, out)) return "error: " + out;
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// The files a folder holds besides those named.
std::vector<std::string> Others(const std::string& folder, std::vector<std::string> known) {
  std::vector<std::string> others;
  for (const std::string& name : test::FileNames(folder))
    if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
  return others;
}

// A folder nothing can be created in, also for root (immutable flag);
// undone when it goes.
struct ReadOnlyFolder {
  explicit ReadOnlyFolder(const std::string& path) : path(path) {
    fs::create_directories(path);
    ::chmod(path.c_str(), 0555);
    if (::geteuid() == 0) SetImmutable(true);
  }
  ~ReadOnlyFolder() {
    if (immutable) SetImmutable(false);
    ::chmod(path.c_str(), 0755);
  }
  void SetImmutable(bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0) immutable = on;
    }
    ::close(fd);
  }
  bool Effective() const {
    const std::string probe = path + "/probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return true;
    ::close(fd);
    ::unlink(probe.c_str());
    return false;
  }
  std::string path;
  bool immutable = false;
};

// Files above `bytes` cannot be written, as on a full disk.
struct FullDisk {
  explicit FullDisk(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FullDisk() { ::setrlimit(RLIMIT_FSIZE, &saved); }
  rlimit saved{};
};

}  // namespace

class TestAppSave : public QObject {
  Q_OBJECT
 private slots:
  void proposedNameSkipsExistingWorkbooks_data();
  void proposedNameSkipsExistingWorkbooks();
  void reportFolderIsCreatedOrRefused();
  void fileDialogFiltersAndTypedNames_data();
  void fileDialogFiltersAndTypedNames();
  void dialogStatesByEnding_data();
  void dialogStatesByEnding();
  void textReportProgressAndToolBytes_data();
  void textReportProgressAndToolBytes();
  void workbookWaitsForOkAndHasItsSheets_data();
  void workbookWaitsForOkAndHasItsSheets();
  void xlsOfManySessionsAsksFirst_data();
  void xlsOfManySessionsAsksFirst();
  void failuresSayWhyAndKeepTheOldReport_data();
  void failuresSayWhyAndKeepTheOldReport();
  void closingMainWindowDuringExport();
  void savesTheOpenedDownload();
};

void TestAppSave::proposedNameSkipsExistingWorkbooks_data() {
  QTest::addColumn<QStringList>("existing");
  QTest::addColumn<QString>("pet");
  QTest::addColumn<QString>("proposed");
  QTest::newRow("two workbooks, a text file")
      << QStringList{"Rex0001.xls", "Rex0002.xls", "Rex0003.txt"} << "Rex"
      << "Rex0003";
  QTest::newRow("empty pet name") << QStringList{"Rex0001.xls"} << ""
                                  << "0001";
  QTest::newRow("a folder counts") << QStringList{"0001.xls/"} << ""
                                   << "0002";
  QTest::newRow("slash stays in the folder") << QStringList{} << "A/B"
                                             << "A_B0001";
}

void TestAppSave::proposedNameSkipsExistingWorkbooks() {
  QFETCH(QStringList, existing);
  QFETCH(QString, pet);
  QFETCH(QString, proposed);
  Bench bench(0);
  const std::string folder = bench.dir.File("reports") + "/";
  fs::create_directories(folder);
  for (const QString& name : existing) {
    if (name.endsWith('/'))
      fs::create_directories(folder + name.toStdString());
    else
      test::WriteBytes(folder + name.toStdString(), {1});
  }
  bench.frame->SetPet({.name = pet.toStdString()});
  bench.files.answer.reset();  // the user cancels
  bench.frame->OnCommand(ID_FILE_SAVE_AS);
  QCOMPARE(bench.files.offered, std::vector<std::string>{folder + proposed.toStdString()});
  // Cancelled: nothing written, nothing logged, the start-up folder current again.
  QCOMPARE(Others(folder, {}).size(), static_cast<std::size_t>(existing.size()));
  QVERIFY(bench.frame->LogControl()->toPlainText().isEmpty());
  QCOMPARE(QDir::currentPath().toStdString(), bench.app->StartDir());
  QVERIFY(bench.prompt.boxes.empty());
}

void TestAppSave::reportFolderIsCreatedOrRefused() {
  Bench bench(0);
  // Missing folders are made, all the way down.
  const std::string nested = bench.dir.File("a/b/Yelvane") + "/";
  bench.frame->SetReportFolder(nested);
  bench.frame->OnCommand(ID_FILE_SAVE_AS);
  QVERIFY(fs::is_directory(nested));
  QVERIFY(bench.prompt.boxes.empty());

  // A file where a folder should be: a box for it and one for the folder
  // inside, then the dialog opens all the same.
  test::WriteBytes(bench.dir.File("blocker"), {1});
  bench.frame->SetReportFolder(bench.dir.File("blocker/Yelvane") + "/");
  bench.frame->OnCommand(ID_FILE_SAVE_AS);
  QCOMPARE(bench.prompt.shown,
           (std::vector<std::string>{
               "Error:Can not create directory(" + bench.dir.File("blocker") + ")!",
               "Error:Can not create directory(" + bench.dir.File("blocker/Yelvane") + ")!"}));
  QCOMPARE(bench.prompt.messageCaptions, (std::vector<std::string>{"Error", "Error"}));
  QCOMPARE(bench.prompt.icons, (std::vector<MessageIcon>{MessageIcon::Error, MessageIcon::Error}));
  QCOMPARE(bench.files.offered.back(), bench.dir.File("blocker/Yelvane") + "/Rex0001");

  // The default: Yelvane in the documents folder (the tests' own home).
  bench.frame->SetReportFolder("");
  const std::string documents = QDir::homePath().toStdString() + "/Documents/Yelvane/";
  QCOMPARE(DefaultReportFolder(), documents);
  bench.frame->OnCommand(ID_FILE_SAVE_AS);
  QVERIFY(fs::is_directory(documents));
  QCOMPARE(bench.files.offered.back(),
           ProposeReportName(documents, "Rex")
               .substr(0, ProposeReportName(documents, "Rex").size() - 4));
}

void TestAppSave::fileDialogFiltersAndTypedNames_data() {
  QTest::addColumn<int>("downs");  // filter entries moved down by keyboard
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("chosen");  // relative to the folder
  QTest::newRow("spreadsheet entry") << 0 << "out"
                                     << "out.xls";
  QTest::newRow("workbook entry") << 1 << "out"
                                  << "out.xlsx";
  QTest::newRow("text entry") << 2 << "out"
                              << "out.txt";
  QTest::newRow("comma-separated entry") << 3 << "out"
                                         << "out.csv";
  QTest::newRow("own extension kept") << 0 << "out.txt"
                                      << "out.txt";
  QTest::newRow("full path elsewhere") << 2 << "@/other/full"
                                       << "@/other/full.txt";
}

void TestAppSave::fileDialogFiltersAndTypedNames() {
  QFETCH(int, downs);
  QFETCH(QString, typed);
  QFETCH(QString, chosen);
  TempFolder dir;
  const QString root = QString::fromStdString(dir.Str());
  QDir(root).mkpath("reports");
  QDir(root).mkpath("other");
  typed.replace('@', root);
  chosen.replace('@', root);
  if (!chosen.startsWith('/')) chosen = root + "/reports/" + chosen;
  CMainFrame owner;
  ReportFileDialog files(&owner);
  QStringList filters;
  QString proposedName, folder;
  WhenModal<QFileDialog>([&](QFileDialog* dialog) {
    filters = dialog->nameFilters();
    filters << dialog->selectedNameFilter();
    proposedName = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
    folder = dialog->directory().absolutePath();
    Shot(*dialog, "save-file-dialog");
    auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
    for (int i = 0; i < downs; ++i) QTest::keyClick(combo, Qt::Key_Down);
    QLineEdit* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    name->setText(typed);
    QTest::keyClick(name, Qt::Key_Return);
  });
  const auto path = files.ChooseReportFile((root + "/reports/Rex0003").toStdString());
  QCOMPARE(filters, (QStringList{"Microsoft Office Excel Files (*.xls)", "Excel Workbook (*.xlsx)",
                                 "Text Files (*.txt)", "Comma-Separated Values (*.csv)",
                                 "Microsoft Office Excel Files (*.xls)"}));
  QCOMPARE(proposedName, QString("Rex0003"));
  QCOMPARE(folder, root + "/reports");
  QVERIFY(path.has_value());
  QCOMPARE(QString::fromStdString(*path), chosen);
}

void TestAppSave::dialogStatesByEnding_data() {
  QTest::addColumn<QString>("ending");
  QTest::addColumn<bool>("buttons");    // OK and Cancel shown
  QTest::addColumn<bool>("okExports");  // OK starts an export
  QTest::newRow("text") << ".txt" << false << false;
  QTest::newRow("workbook 97-2003") << ".xls" << true << true;
  QTest::newRow("workbook") << ".xlsx" << true << true;
  QTest::newRow("upper case") << ".XLS" << true << false;
  QTest::newRow("comma-separated") << ".csv" << false << false;
  QTest::newRow("other") << ".pdf" << true << false;
}

void TestAppSave::dialogStatesByEnding() {
  QFETCH(QString, ending);
  QFETCH(bool, buttons);
  QFETCH(bool, okExports);
  TempFolder dir;
  MemorySessionTable table;
  const std::string dump = test::MakeDemoDump(dir.Str(), 3, table);
  RecordingMessages messages;
  const std::string path = dir.File("report") + ending.toStdString();
  CDlgSaving dialog(SaveContext{.table = table, .pet = {}, .messages = messages, .dumpPath = dump});
  dialog.m_strPath = path;
  QSignalSpy finished(&dialog, &QDialog::finished);
  dialog.show();
  const Look look = LookAt(dialog);
  Shot(dialog, "saving" + ending);
  QCOMPARE(dialog.windowTitle(), QString("Saving..."));
  QCOMPARE(look.message,
           QString::fromStdString("Save as \"" + path + "\"\nPlease wait a moment..."));
  QCOMPARE(dialog.m_strMessage, "Save as \"" + path + "\"\nPlease wait a moment...\n");
  QCOMPARE(look.okVisible, buttons);
  QCOMPARE(look.cancelVisible, buttons);
  QCOMPARE(look.plotEnabled, buttons);
  QVERIFY(look.plotTicked);
  QCOMPARE(look.saving, buttons ? 0 : 1);
  if (!buttons) {
    // The text and CSV exports run at once and close the dialog at their end.
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
    QVERIFY(fs::exists(path));
    return;
  }
  if (!okExports) {
    dialog.accept();
    QCOMPARE(finished.count(), 0);
    QVERIFY(!dialog.ExportRunning());
    QCOMPARE(g_bSaving.load(), 0);
  }
  // Cancel before an export closes the dialog and writes nothing.
  QTest::keyClick(&dialog, Qt::Key_Escape);
  QCOMPARE(finished.count(), 1);
  QCOMPARE(test::FileNames(dir.Str()), std::vector<std::string>{"dump.bin"});
  QVERIFY(messages.boxes.empty());
}

void TestAppSave::textReportProgressAndToolBytes_data() {
  QTest::addColumn<QString>("ending");
  QTest::addColumn<QString>("padding");  // after a cell in the report
  QTest::addColumn<int>("emptyLines");   // the report of an empty table
  QTest::newRow("text") << ".txt"
                        << "  " << 7;
  QTest::newRow("comma-separated") << ".csv"
                                   << "" << 1;
}

void TestAppSave::textReportProgressAndToolBytes() {
  QFETCH(QString, ending);
  QFETCH(QString, padding);
  QFETCH(int, emptyLines);
  const std::string extension = ending.toStdString();
  Bench bench(3);
  // What the view shows: a cell longer than its column is kept whole.
  bench.frame->View()->SetCellText(1, 4, "12-31-2099 11:59PM+");
  const std::string path = bench.dir.File("reports/Rex" + extension);
  fs::create_directories(bench.dir.File("reports"));
  const QString log = bench.frame->LogControl()->toPlainText();
  std::vector<std::pair<int, QString>> seen;  // bar position and the status line then
  QString finalStatus;
  OnShow<CDlgSaving>([&](CDlgSaving* dialog) {
    QObject::connect(
        dialog->m_ctlProgress, &QProgressBar::valueChanged, dialog,
        [&seen, dialog](int value) { seen.emplace_back(value, dialog->m_stcStatus->text()); });
    QObject::connect(dialog, &QDialog::finished,
                     [&finalStatus, dialog] { finalStatus = dialog->m_stcStatus->text(); });
  });
  bench.SaveAs(path);
  QCOMPARE(seen, (std::vector<std::pair<int, QString>>{
                     {33, ""}, {66, "Session: 1"}, {100, "Session: 2"}}));
  QCOMPARE(finalStatus, QString("Session: 3"));
  QCOMPARE(g_bSaving.load(), 0);
  QCOMPARE(bench.frame->LogControl()->toPlainText(), log);

  // The tool's report of the same dump and pet strings, with the same change.
  std::string expected = test::ReadText(path);
  const auto tool = test::RunTool(
      bench.dir.Path(), {"report", bench.dump, "-o", "tool" + extension, "--pet-name", "Rex",
                         "--pet-owner", "Ann Lee", "--pet-location", "Köln Park"});
  QCOMPARE(tool.code, 0);
  std::string fromTool = test::ReadText(bench.dir.File("tool" + extension));
  const std::string longer = "12-31-2099 11:59PM+" + padding.toStdString();
  const std::size_t at = expected.find(longer);
  QVERIFY(at != std::string::npos);
  expected.replace(at, longer.size(),
                   bench.table.CellText(1, 4, kCellBufferSize) + padding.toStdString());
  QCOMPARE(expected, fromTool);

  // An empty table: the bar never moves.
  Bench empty(0);
  seen.clear();
  OnShow<CDlgSaving>([&](CDlgSaving* dialog) {
    QObject::connect(dialog->m_ctlProgress, &QProgressBar::valueChanged, dialog,
                     [&seen](int value) { seen.emplace_back(value, QString()); });
  });
  empty.SaveAs(empty.dir.File("empty" + extension));
  QVERIFY(seen.empty());
  QCOMPARE(test::Lines(test::ReadText(empty.dir.File("empty" + extension))).size(),
           static_cast<std::size_t>(emptyLines));
}

void TestAppSave::workbookWaitsForOkAndHasItsSheets_data() {
  QTest::addColumn<bool>("plot");
  QTest::addColumn<bool>("dumpGone");
  QTest::addColumn<QString>("sheets");
  // Each new sheet goes before the active one, as in Excel.
  QTest::newRow("chart sheets") << true << false
                                << "Session3:1,Session2:1,Session1:1,PET'S DATA REPORT:0";
  QTest::newRow("box cleared") << false << false << "PET'S DATA REPORT:0";
  QTest::newRow("dump gone") << true << true << "PET'S DATA REPORT:0";
}

void TestAppSave::workbookWaitsForOkAndHasItsSheets() {
  QFETCH(bool, plot);
  QFETCH(bool, dumpGone);
  QFETCH(QString, sheets);
  if (!test::HavePythonOpenpyxl()) QSKIP("python3-openpyxl is not installed");
  Bench bench(3);
  const std::string path = bench.dir.File("Rex0001.xlsx");
  std::vector<int> positions;
  bool waited = false;
  bool secondOkStartedNothing = false;
  bool cancelRefused = false;
  WhenModal<CDlgSaving>([&](CDlgSaving* dialog) {
    QObject::connect(dialog->m_ctlProgress, &QProgressBar::valueChanged, dialog,
                     [&positions](int value) { positions.push_back(value); });
    QTest::qWait(50);
    waited = !dialog->ExportRunning() && !fs::exists(path) && dialog->isVisible();
    dialog->m_chkPlot->setChecked(plot);
    if (dumpGone) fs::remove(bench.dump);
    QTest::keyClick(dialog, Qt::Key_Return);  // OK is the default button
    Shot(*dialog, "saving-workbook-running");
    QVERIFY(dialog->ExportRunning());
    dialog->accept();
    secondOkStartedNothing = dialog->ExportRunning();
    QTest::keyClick(dialog, Qt::Key_Escape);
    dialog->CancelButton()->click();
    cancelRefused = dialog->isVisible();
  });
  bench.SaveAs(path);
  QVERIFY(waited);
  QVERIFY(secondOkStartedNothing);
  QVERIFY(cancelRefused);
  QVERIFY(bench.prompt.boxes.empty());
  QCOMPARE(positions.back(), 100);
  QVERIFY(std::is_sorted(positions.begin(), positions.end()));
  // The dialog's progress figures, then the session sheets from 50 on.
  QCOMPARE(std::vector<int>(positions.begin(), positions.begin() + 8),
           (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 11}));
  QCOMPARE(QString::fromStdString(SheetsOf(path, bench.dir.Str())), sheets);
  QCOMPARE(
      Others(bench.dir.Str(), {"Rex0001.xlsx", "dump.bin", "check.py", "check.out", "reports"}),
      std::vector<std::string>{});
}

void TestAppSave::xlsOfManySessionsAsksFirst_data() {
  QTest::addColumn<bool>("plot");
  QTest::addColumn<bool>("yes");    // the answer, when asked
  QTest::addColumn<int>("sheets");  // in the workbook handed to the conversion; -1: none
  QTest::newRow("no") << true << false << -1;
  QTest::newRow("yes") << true << true << 257;
  QTest::newRow("box cleared, not asked") << false << false << 1;
}

void TestAppSave::xlsOfManySessionsAsksFirst() {
  QFETCH(bool, plot);
  QFETCH(bool, yes);
  QFETCH(int, sheets);
  Bench bench(300);
  // A stand-in LibreOffice that keeps the workbook it was given and converts
  // nothing: what was built is looked at, not the conversion.
  const std::string handed = bench.dir.File("handed.xlsx");
  const std::string soffice = bench.dir.File("soffice");
  std::ofstream(soffice) << "#!/bin/sh\nfor a; do last=\"$a\"; done\ncp \"$last\" '" << handed
                         << "'\nexit 0\n";
  fs::permissions(soffice, fs::perms::owner_all);
  const QByteArray previous = qgetenv("YELVANE_SOFFICE");
  qputenv("YELVANE_SOFFICE", QByteArray::fromStdString(soffice));
  const std::string path = bench.dir.File("Rex.xls");
  bench.prompt.answers = {yes};
  bool startedAfterAnswer = false;
  bool openAfterNo = false;
  bool closedByCancel = false;
  WhenModal<CDlgSaving>([&](CDlgSaving* dialog) {
    dialog->m_chkPlot->setChecked(plot);
    QTest::keyClick(dialog, Qt::Key_Return);  // OK
    startedAfterAnswer = dialog->ExportRunning();
    if (!startedAfterAnswer) {
      openAfterNo = dialog->isVisible() && g_bSaving == 0;
      Shot(*dialog, "saving-xls-declined");
    }
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->ExportRunning(), 120000);
    QTest::qWait(20);
    if (dialog->isVisible()) {
      dialog->CancelButton()->click();
      closedByCancel = !dialog->isVisible();
    }
  });
  bench.SaveAs(path);
  if (previous.isNull())
    qunsetenv("YELVANE_SOFFICE");
  else
    qputenv("YELVANE_SOFFICE", previous);

  // Asked only with the box ticked, before anything started, in the core's words.
  const std::vector<std::string> asked =
      plot ? std::vector<std::string>{SessionSheetLimitWarning(path, true, 300) + "\n\n" +
                                      kSessionSheetLimitQuestion}
           : std::vector<std::string>{};
  QCOMPARE(bench.prompt.questions, asked);
  if (plot) {
    QCOMPARE(bench.prompt.captions, std::vector<std::string>{"Saving..."});
    QVERIFY(bench.prompt.questions[0].find("sessions 1 to 256") != std::string::npos);
  }
  QCOMPARE(startedAfterAnswer, sheets >= 0);
  QVERIFY(!fs::exists(path));
  if (sheets < 0) {
    // No: nothing started or written, the dialog waited for Cancel.
    QVERIFY(openAfterNo);
    QVERIFY(closedByCancel);
    QVERIFY(bench.prompt.shown.empty());
    QVERIFY(!fs::exists(handed));
    return;
  }
  // Went on: the report sheet and the sheets of sessions 1 to 256 only.
  std::string out;
  const std::string script =
      "import re, sys, zipfile\n"
      "names = re.findall(r'<sheet name=\"([^\"]*)\"', "
      "zipfile.ZipFile(sys.argv[1]).read('xl/workbook.xml').decode())\n"
      "print(len(names), names[0].startswith('Session'), 'Session257' in names, "
      "'Session256' in names)\n";
  QVERIFY(test::RunPython(bench.dir.Str(), script, handed, out));
  const std::string expected =
      sheets == 1 ? "1 False False False\n" : std::to_string(sheets) + " True False True\n";
  QCOMPARE(QString::fromStdString(out), QString::fromStdString(expected));
}

void TestAppSave::failuresSayWhyAndKeepTheOldReport_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("fault");
  QTest::addColumn<bool>("staysOpen");  // the dialog waits for Cancel
  QTest::newRow("xls without LibreOffice") << "Rex.xls"
                                           << "no-soffice" << true;
  QTest::newRow("text, folder read-only") << "ro/Rex.txt"
                                          << "read-only" << false;
  QTest::newRow("workbook, folder read-only") << "ro/Rex.xlsx"
                                              << "read-only" << false;
  QTest::newRow("text, disk full") << "Rex.txt"
                                   << "full" << false;
  QTest::newRow("workbook, disk full") << "Rex.xlsx"
                                       << "full" << false;
}

void TestAppSave::failuresSayWhyAndKeepTheOldReport() {
  QFETCH(QString, name);
  QFETCH(QString, fault);
  QFETCH(bool, staysOpen);
  Bench bench(3);
  const std::string path = bench.dir.File(name.toStdString());
  const std::string folder = fs::path(path).parent_path().string();
  fs::create_directories(folder);
  const std::string old = "the report of last week\r\n";
  if (fault != "no-soffice") test::WriteBytes(path, {old.begin(), old.end()});
  std::unique_ptr<ReadOnlyFolder> readOnly;
  if (fault == "read-only") {
    readOnly = std::make_unique<ReadOnlyFolder>(folder);
    if (!readOnly->Effective()) QSKIP("this file system lets anything be written");
  }
  const QByteArray soffice = qgetenv("YELVANE_SOFFICE");
  if (fault == "no-soffice") qputenv("YELVANE_SOFFICE", "/nonexistent/soffice");
  bool openAfterError = false;
  bool closedByCancel = false;
  if (name.endsWith(".txt")) {
    QSignalSpy* closedAlone = nullptr;
    OnShow<CDlgSaving>([&closedAlone](CDlgSaving* dialog) {
      closedAlone = new QSignalSpy(dialog, &QDialog::finished);
    });
    auto full = fault == "full" ? std::make_unique<FullDisk>(16) : nullptr;
    bench.SaveAs(path);
    full.reset();
    QVERIFY(closedAlone != nullptr);
    QCOMPARE(closedAlone->count(), 1);
    delete closedAlone;
  } else {
    WhenModal<CDlgSaving>([&](CDlgSaving* dialog) {
      auto full = fault == "full" ? std::make_unique<FullDisk>(16) : nullptr;
      dialog->accept();
      QTRY_VERIFY_WITH_TIMEOUT(!dialog->ExportRunning() || !dialog->isVisible(), 20000);
      QTest::qWait(20);
      full.reset();
      openAfterError = dialog->isVisible();
      if (openAfterError) {
        Shot(*dialog, "saving-failed-" + fault);
        dialog->CancelButton()->click();
        closedByCancel = !dialog->isVisible();
      }
    });
    bench.SaveAs(path);
  }
  if (fault == "no-soffice") {
    if (soffice.isNull())
      qunsetenv("YELVANE_SOFFICE");
    else
      qputenv("YELVANE_SOFFICE", soffice);
  }
  QCOMPARE(openAfterError, staysOpen);
  QCOMPARE(closedByCancel, staysOpen);
  QVERIFY2(!bench.prompt.shown.empty(), qPrintable(name));
  if (fault == "no-soffice") {
    QCOMPARE(bench.prompt.shown.size(), 1u);
    QVERIFY(bench.prompt.shown[0].find("LibreOffice") != std::string::npos);
    QVERIFY(!fs::exists(path));
  } else {
    // The last box names the file and why; the old report is as it was.
    const std::string& box = bench.prompt.shown.back();
    const std::string start = "Cannot write \"" + path + "\": ";
    QVERIFY2(box.rfind(start, 0) == 0 && box.size() > start.size() + 3, box.c_str());
    QCOMPARE(test::ReadText(path), old);
  }
  QCOMPARE(bench.prompt.icons.back(), MessageIcon::Error);
  QCOMPARE(Others(folder, {fs::path(path).filename().string(), "dump.bin", "reports"}),
           std::vector<std::string>{});
}

void TestAppSave::savesTheOpenedDownload() {
  // The table of an opened download, and its dump for the session sheets.
  Bench bench(3);
  DemoOptions options;
  options.sessions = 6;
  options.seed = 9;
  const std::string opened = bench.dir.File("yelvane-20260102-030405.bin");
  test::WriteBytes(opened, DumpSlice(MakeDemoMemory(options)));
  QVERIFY(bench.frame->OpenDownload(opened));
  QCOMPARE(bench.frame->TableDump(), opened);
  QCOMPARE(bench.frame->View()->RowCount(), 6);
  bench.SaveAs(bench.dir.File("Rex0001.txt"));
  const auto tool =
      test::RunTool(bench.dir.Path(), {"report", opened, "-o", "tool.txt", "--pet-name", "Rex",
                                       "--pet-owner", "Ann Lee", "--pet-location", "Köln Park"});
  QCOMPARE(tool.code, 0);
  QCOMPARE(test::ReadText(bench.dir.File("Rex0001.txt")),
           test::ReadText(bench.dir.File("tool.txt")));
}

void TestAppSave::closingMainWindowDuringExport() {
  Bench bench(3000);
  const std::string path = bench.dir.File("Rex.xlsx");
  bool closed = false;
  WhenModal<CDlgSaving>([&](CDlgSaving* dialog) {
    dialog->accept();
    QTRY_VERIFY(!dialog->m_stcStatus->text().isEmpty());
    bench.prompt.answers = {true};
    closed = bench.frame->close();
  });
  bench.SaveAs(path);
  QVERIFY(closed);
  bench.frame.reset();
  QCOMPARE(g_bSaving.load(), 0);
  // Nothing under the chosen name, nothing half-written beside it.
  QCOMPARE(Others(bench.dir.Str(), {"dump.bin", "reports"}), std::vector<std::string>{});
}

QTEST_MAIN(TestAppSave)
#include "tst_app_save.moc"
