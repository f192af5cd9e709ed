// The main window, the session table view and the small dialogs.

#include <QAbstractItemModelTester>
#include <QAction>
#include <QDockWidget>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include <atomic>
#include <thread>

#include "activity/FlashReport.h"
#include "app/AboutDlg.h"
#include "app/DlgPetInfo.h"
#include "app/MainFrm.h"
#include "app/Vandry.h"
#include "app/VandryView.h"
#include "sim/DemoData.h"
#include "sim/SimulatedLogger.h"
#include "support/Gui.h"
#include "support/Recorders.h"

using namespace yelvane;
using yelvane::test::RecordingMessages;

class TestAppFrame : public QObject {
  Q_OBJECT
 private slots:
  void closeAsksOnEveryWayOut();
  void closeYesStopsTimersAndNoKeepsThem();
  void titleStaysYelvane();
  void appendLogAddsOneBreakAndScrolls();
  void statusTextMessageAndPanes();
  void usbLabelFollowsPresence();
  void tableTintsFontAndColumns();
  void headerIsLockedAndSelectionIsFullRow();
  void workerFillsTableThroughUiThread();
  void closedGateReleasesWaitingWorker();
  void petInfoOkCancelBlankAndBlanks();
  void petInfoCommandRunsDialog();
  void aboutShowsFirmwareVersion();
  void checkForUpdatesOpensFixedPage();
  void sessionModelKeepsItsViewsInStep();

 private:
  CVandryApp app_;
};

void TestAppFrame::closeAsksOnEveryWayOut() {
  CMainFrame frame;
  RecordingMessages prompt;
  frame.SetPrompt(&prompt);
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));

  // Close box / Alt+F4 (a close event), File > Exit, and closing all windows:
  // each asks, and No keeps the window.
  const std::function<void()> ways[] = {
      [&] { frame.close(); },
      [&] { frame.CommandAction(ID_APP_EXIT)->trigger(); },
      [&] {
        QCloseEvent event;
        QApplication::sendEvent(&frame, &event);
      },
      [&] { QApplication::closeAllWindows(); },
  };
  for (const auto& way : ways) {
    prompt.answers = {false};
    prompt.boxes.clear();
    way();
    QCOMPARE(prompt.boxes.size(), 1u);
    QCOMPARE(prompt.boxes[0].text, std::string("Are you sure you want to exit?"));
    QCOMPARE(prompt.boxes[0].caption, std::string("Exit"));
    QVERIFY(frame.isVisible());
  }
  prompt.answers = {true};
  frame.CommandAction(ID_APP_EXIT)->trigger();
  QVERIFY(!frame.isVisible());
}

void TestAppFrame::closeYesStopsTimersAndNoKeepsThem() {
  CMainFrame frame;
  RecordingMessages prompt;
  frame.SetPrompt(&prompt);
  frame.show();
  QVERIFY(frame.PresencePollActive());
  prompt.answers = {false};
  frame.close();
  QVERIFY(frame.PresencePollActive());
  prompt.answers = {true};
  frame.close();
  QVERIFY(!frame.PresencePollActive());
}

void TestAppFrame::titleStaysYelvane() {
  CMainFrame frame;
  QCOMPARE(frame.windowTitle(), QString("Yelvane"));
  frame.SetPet({.name = "Rex"});
  frame.RefreshPetLabels();
  frame.Log().AppendLog("Command: Read Memory Data", true);
  QCOMPARE(frame.windowTitle(), QString("Yelvane"));
}

void TestAppFrame::appendLogAddsOneBreakAndScrolls() {
  CMainFrame frame;
  QPlainTextEdit* log = frame.LogControl();
  QVERIFY(log->isReadOnly());
  frame.Log().SetLogText(" ");
  frame.Log().AppendLog("Command: Erase Memory Data", true);
  frame.Log().AppendLog("ends with break\r\n", true);
  frame.Log().AppendLog("ends with newline\n", true);
  frame.Log().AppendLog("\nStart to erase all data...", true);
  const auto lines = yelvane::test::LogLines(log);
  const std::vector<std::string> expected = {
      " Command: Erase Memory Data", "ends with break", "ends with newline", "", "",
      "Start to erase all data..."};
  QCOMPARE(lines, expected);

  frame.resize(600, 400);
  frame.show();
  for (int i = 0; i < 200; ++i) frame.Log().AppendLog("line", true);
  QApplication::processEvents();
  QScrollBar* bar = log->verticalScrollBar();
  QVERIFY(bar->maximum() > 0);
  QCOMPARE(bar->value(), bar->maximum());
}

void TestAppFrame::statusTextMessageAndPanes() {
  CMainFrame frame;
  QCOMPARE(frame.StatusText(), QString("Ready"));
  const std::string text = "Saving...";
  QCOMPARE(frame.OnStatusText(1, &text), 0L);
  QCOMPARE(frame.StatusText(), QString("Ready"));
  QCOMPARE(frame.OnStatusText(0, &text), 0L);
  QCOMPARE(frame.StatusText(), QString("Saving..."));

  // Panes left to right: BARK, ACTIVITY, USB, progress, text; widths from the
  // sizing strings in the status bar's font.
  QCOMPARE(frame.PaneWidget(0), static_cast<QWidget*>(frame.BarkKey()));
  QCOMPARE(frame.PaneWidget(1), static_cast<QWidget*>(frame.ActivityKey()));
  QCOMPARE(frame.PaneWidget(2), static_cast<QWidget*>(frame.UsbStatusLabel()));
  QCOMPARE(frame.PaneWidget(3), static_cast<QWidget*>(frame.ProgressPane()));
  const QFontMetrics metrics(frame.statusBar()->font());
  QCOMPARE(frame.BarkKey()->width(), metrics.horizontalAdvance("Indicator the Barking "));
  QCOMPARE(frame.UsbStatusLabel()->width(),
           metrics.horizontalAdvance("USB Status" + QString(37, QLatin1Char(' '))));
  QCOMPARE(frame.ProgressPane()->width(),
           metrics.horizontalAdvance("Process Progress" + QString(86, QLatin1Char(' '))));
  frame.resize(1280, 800);
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  for (int i = 0; i + 1 < 5; ++i) {
    QVERIFY(frame.PaneWidget(i)->x() < frame.PaneWidget(i + 1)->x());
  }
  QCOMPARE(frame.BarkKey()->text(), QString("BARK"));
  QCOMPARE(frame.ActivityKey()->text(), QString("ACTIVITY"));

  // A window narrower than the panes cuts off those on the right (down to
  // its minimum width, which keeps the indicator panes); none is pushed over
  // its neighbour, so the colour keys stay whole.
  frame.resize(700, 500);
  QTRY_COMPARE(frame.width(), std::max(700, frame.minimumWidth()));
  QApplication::processEvents();
  for (int i = 0; i + 1 < 5; ++i) {
    const QWidget* left = frame.PaneWidget(i);
    const QWidget* right = frame.PaneWidget(i + 1);
    QVERIFY(left->mapTo(&frame, QPoint(left->width(), 0)).x() <=
            right->mapTo(&frame, QPoint(0, 0)).x());
  }
  QCOMPARE(frame.BarkKey()->width(), metrics.horizontalAdvance("Indicator the Barking "));
}

void TestAppFrame::usbLabelFollowsPresence() {
  CMainFrame frame;
  SimulatedDrives drives;
  auto logger = std::make_shared<SimulatedLogger>(MakeBlankMemory());
  logger->Unplug();
  drives.Add("sim0", logger);
  frame.SetDrives(drives);
  QCOMPARE(frame.UsbStatusLabel()->text(), QString("USB Disconnected"));
  logger->Plug();
  QTRY_COMPARE_WITH_TIMEOUT(frame.UsbStatusLabel()->text(), QString("USB Connected"), 3000);
  QVERIFY(frame.UnitConnected());
  QCOMPARE(frame.UsbStatusLabel()->GetTextColor(), QColor(0, 0, 255));
  logger->Unplug();
  QTRY_COMPARE_WITH_TIMEOUT(frame.UsbStatusLabel()->text(), QString("USB Disconnected"), 3000);
  QVERIFY(!frame.UnitConnected());
  QCOMPARE(frame.UsbStatusLabel()->GetTextColor(), QColor(255, 0, 0));
}

void TestAppFrame::tableTintsFontAndColumns() {
  CVandryView view;
  view.InsertRow(0);
  // g++ 12 at -O2 and above reports a false -Wrestrict inside std::string's
  // operator+ here (GCC bug 105329); the code is fine.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
  for (int c = 0; c < kSessionColumns; ++c) view.SetCellText(0, c, "x" + std::to_string(c));
#pragma GCC diagnostic pop
  SessionModel* model = view.Model();
  const QColor expected[] = {QColor(255, 255, 153), QColor(204, 255, 204), QColor(204, 255, 204),
                             QColor(204, 255, 204), QColor(204, 255, 204), QColor(204, 255, 204),
                             QColor(153, 204, 255), QColor(153, 204, 255), QColor(153, 204, 255),
                             QColor(153, 204, 255), QColor(153, 204, 255)};
  const int widths[] = {60, 70, 50, 80, 160, 160, 70, 50, 80, 160, 160};
  const char* titles[] = {"Session",    "Duration",   "Total",    "Rate/Hour",
                          "Start Time", "End Time",   "Duration", "Total",
                          "Rate/Hour",  "Start Time", "End Time"};
  QCOMPARE(model->columnCount(), 11);
  for (int c = 0; c < kSessionColumns; ++c) {
    const QModelIndex at = model->index(0, c);
    QCOMPARE(model->data(at, Qt::BackgroundRole).value<QColor>(), expected[c]);
    QCOMPARE(model->data(at, Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
    QCOMPARE(view.horizontalHeader()->sectionSize(c), widths[c]);
    QCOMPARE(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), QString(titles[c]));
  }
  const Rgb white{255, 255, 255};
  QVERIFY(ColumnTint(11) == white);
  QCOMPARE(view.font().family(), QString("Lucida Sans Unicode"));
  // Height 15 is the whole character cell: the largest face that fits it.
  QFont bigger = view.font();
  bigger.setPixelSize(view.font().pixelSize() + 1);
  QVERIFY(QFontMetrics(view.font()).height() <= 15);
  QVERIFY(QFontMetrics(bigger).height() > 15);
  QCOMPARE(view.font().weight(), QFont::Black);
  QCOMPARE(view.horizontalHeader()->font(), view.font());

  // What a painted cell shows: the tint of its column.
  view.resize(1200, 200);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  const QImage image = view.viewport()->grab().toImage();
  const int y = view.rowViewportPosition(0) + view.rowHeight(0) / 2;
  int x = 0;
  for (int c = 0; c < kSessionColumns; ++c) {
    QCOMPARE(QColor(image.pixel(x + widths[c] - 8, y)), expected[c]);
    x += widths[c];
  }
  QCOMPARE(QColor(image.pixel(image.width() - 3, image.height() - 3)), QColor(Qt::white));
}

void TestAppFrame::headerIsLockedAndSelectionIsFullRow() {
  CVandryView view;
  for (int r = 0; r < 3; ++r) {
    view.InsertRow(r);
    view.SetCellText(r, 0, std::to_string(r + 1));
  }
  view.resize(1200, 300);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  QHeaderView* header = view.horizontalHeader();
  QVERIFY(!header->sectionsClickable());
  QCOMPARE(header->sectionResizeMode(0), QHeaderView::Fixed);

  // Dragging the edge between the first two columns changes nothing, and a
  // click on a header selects nothing.
  const int edge = header->sectionSize(0);
  QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge - 1, 5));
  QTest::mouseMove(header->viewport(), QPoint(edge + 40, 5));
  QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 40, 5));
  QCOMPARE(header->sectionSize(0), 60);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(100, 5));
  QVERIFY(!view.selectionModel()->hasSelection());

  // A click selects the whole row; a second click moves the single selection.
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                    QPoint(300, view.rowViewportPosition(1) + 3));
  QCOMPARE(view.selectionModel()->selectedIndexes().size(), 11);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier,
                    QPoint(30, view.rowViewportPosition(2) + 3));
  const auto rows = view.selectionModel()->selectedRows();
  QCOMPARE(rows.size(), 1);
  QCOMPARE(rows[0].row(), 2);

  // Without the focus the selection keeps its highlight.
  QCOMPARE(view.palette().color(QPalette::Inactive, QPalette::Highlight),
           view.palette().color(QPalette::Active, QPalette::Highlight));
}

void TestAppFrame::workerFillsTableThroughUiThread() {
  CVandryView view;
  std::atomic<bool> done{false};
  std::string seen;
  int count = -1;
  std::thread worker([&] {
    SessionTable& table = view;
    table.DeleteAllRows();
    for (int r = 0; r < 50; ++r) {
      table.InsertRow(r);
      table.SetCellText(r, 0, std::to_string(r + 1));
    }
    count = table.RowCount();
    seen = table.CellText(49, 0, 31);
    done = true;
  });
  QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
  worker.join();
  QCOMPARE(count, 50);
  QCOMPARE(seen, std::string("50"));
  QCOMPARE(view.Model()->rowCount(), 50);
}

void TestAppFrame::closedGateReleasesWaitingWorker() {
  // A worker blocked on a window that stopped answering is let go when the
  // window closes, and its late request is dropped.
  auto view = std::make_unique<CVandryView>();
  std::atomic<bool> done{false};
  std::thread worker([&] {
    view->InsertRow(0);
    done = true;
  });
  // Not processing events: the worker waits.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const bool finishedEarly = done.load();
  view->CloseGate();
  worker.join();
  QVERIFY(!finishedEarly);
  QVERIFY(done.load());
  view.reset();
  QApplication::processEvents();
}

void TestAppFrame::petInfoOkCancelBlankAndBlanks() {
  CMainFrame frame;
  frame.SetPet({.name = "Rex", .owner = "Ann", .location = "Oslo"});
  frame.RefreshPetLabels();
  {
    CDlgPetInfo dialog(frame);
    QCOMPARE(dialog.windowTitle(), QString("Pet Information"));
    QCOMPARE(dialog.Edit(1001)->text(), QString("Rex"));
    QCOMPARE(dialog.Edit(1003)->text(), QString("Oslo"));
    dialog.Edit(1001)->setText("Max");
    dialog.reject();
  }
  QCOMPARE(frame.Pet().name, std::string("Rex"));
  QCOMPARE(frame.PetNameLabel()->text(), QString("Pet Name: Rex"));
  {
    CDlgPetInfo dialog(frame);
    dialog.Edit(1001)->setText("  Max ");
    dialog.accept();
  }
  QCOMPARE(frame.Pet().name, std::string("  Max "));
  QCOMPARE(frame.PetNameLabel()->text(), QString("Pet Name:   Max "));
  QCOMPARE(frame.PetOwnerLabel()->text(), QString("Pet Owner: Ann"));
  {
    CDlgPetInfo dialog(frame);
    // A line break, a tab or an escape cannot be typed or pasted (insert is
    // what both do).
    for (int id : {1001, 1002, 1003}) {
      dialog.Edit(id)->clear();
      dialog.Edit(id)->insert(QStringLiteral("Rex\nPet Owner: Forged"));
      dialog.Edit(id)->insert(QStringLiteral("a\tb\x1b[2J"));
      QCOMPARE(dialog.Edit(id)->text(), QString());
      dialog.Edit(id)->insert(QStringLiteral("Sir Barksalot"));
      QCOMPARE(dialog.Edit(id)->text(), QString("Sir Barksalot"));
      dialog.Edit(id)->clear();
    }
    dialog.accept();
  }
  QCOMPARE(frame.Pet().owner, std::string());
  QCOMPARE(frame.PetNameLabel()->text(), QString("Pet Name: "));
  QCOMPARE(frame.PetOwnerLabel()->text(), QString("Pet Owner: "));
  QCOMPARE(frame.PetLocationLabel()->text(), QString("Pet Location: "));
  QCOMPARE(frame.PetNameLabel()->width(), 300);
  QCOMPARE(frame.PetNameLabel()->GetTextColor(), QColor(0, 0, 255));
}

void TestAppFrame::petInfoCommandRunsDialog() {
  CMainFrame frame;
  frame.show();
  yelvane::test::WhenModal<CDlgPetInfo>([](CDlgPetInfo* dialog) {
    dialog->Edit(1002)->setText("Bob");
    const QString shots = qEnvironmentVariable("YELVANE_SHOT_DIR");
    if (!shots.isEmpty()) dialog->grab().save(shots + "/pet.png");
    QTest::keyClick(dialog->Edit(1002), Qt::Key_Return);
  });
  frame.OnCommand(ID_PET_INFORMATION);
  QCOMPARE(frame.Pet().owner, std::string("Bob"));
  QCOMPARE(frame.PetOwnerLabel()->text(), QString("Pet Owner: Bob"));
  yelvane::test::WhenModal<CDlgPetInfo>([](CDlgPetInfo* dialog) {
    dialog->Edit(1002)->setText("Zed");
    QTest::keyClick(dialog->Edit(1002), Qt::Key_Escape);
  });
  frame.OnCommand(ID_PET_INFORMATION);
  QCOMPARE(frame.Pet().owner, std::string("Bob"));
}

void TestAppFrame::aboutShowsFirmwareVersion() {
  CAboutDlg on([] { return std::optional<std::string>("1.6"); });
  QCOMPARE(on.FirmwareLabel()->text(), QString("1.6"));
  const QString shots = qEnvironmentVariable("YELVANE_SHOT_DIR");
  if (!shots.isEmpty()) on.grab().save(shots + "/about.png");
  QCOMPARE(on.windowTitle(), QString("About Yelvane"));
  CAboutDlg silent([] { return std::optional<std::string>(); });
  QCOMPARE(silent.FirmwareLabel()->text(), QString());
}

void TestAppFrame::checkForUpdatesOpensFixedPage() {
  CMainFrame frame;
  QStringList opened;
  frame.SetUrlOpener([&](const QString& url) {
    opened << url;
    return true;
  });
  frame.CommandAction(ID_CHECK_FOR_UPDATES)->trigger();
  QCOMPARE(opened, QStringList{QString(kUpdatePageUrl)});
}

namespace {

// What a view holds of a model: the rows it was told of, with the texts it
// read when it was told they changed. A model that changes without saying
// so leaves it behind.
class ModelMirror {
 public:
  explicit ModelMirror(QAbstractItemModel* model) : model_(model) {
    QObject::connect(model, &QAbstractItemModel::modelReset, [this] { ReadAll(); });
    QObject::connect(model, &QAbstractItemModel::rowsInserted,
                     [this](const QModelIndex&, int first, int last) {
                       if (first > Rows()) return Lost();
                       for (int r = first; r <= last; ++r) rows_.insert(rows_.begin() + r, Read(r));
                     });
    QObject::connect(model, &QAbstractItemModel::rowsRemoved,
                     [this](const QModelIndex&, int first, int last) {
                       if (last >= Rows()) return Lost();
                       rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
                     });
    QObject::connect(model, &QAbstractItemModel::dataChanged,
                     [this](const QModelIndex& from, const QModelIndex& to) {
                       if (to.row() >= Rows()) return Lost();
                       for (int r = from.row(); r <= to.row(); ++r)
                         for (int c = from.column(); c <= to.column(); ++c)
                           rows_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] =
                               model_->index(r, c).data().toString();
                     });
    ReadAll();
  }
  // True when the copy shows what the model holds now.
  bool InStep() const {
    if (lost_ || Rows() != model_->rowCount()) return false;
    for (int r = 0; r < model_->rowCount(); ++r)
      if (rows_[static_cast<std::size_t>(r)] != Read(r)) return false;
    return true;
  }

 private:
  std::vector<QString> Read(int row) const {
    std::vector<QString> cells;
    for (int c = 0; c < model_->columnCount(); ++c)
      cells.push_back(model_->index(row, c).data().toString());
    return cells;
  }
  int Rows() const { return static_cast<int>(rows_.size()); }
  // A signal named a row the view was never told of.
  void Lost() { lost_ = true; }
  void ReadAll() {
    lost_ = false;
    rows_.clear();
    for (int r = 0; r < model_->rowCount(); ++r) rows_.push_back(Read(r));
  }

  QAbstractItemModel* model_;
  std::vector<std::vector<QString>> rows_;
  bool lost_ = false;
};

}  // namespace

void TestAppFrame::sessionModelKeepsItsViewsInStep() {
  CVandryView view;
  SessionModel* model = view.Model();
  // Qt's own checks of the model's structure and signals, on every change.
  QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  ModelMirror mirror(model);
  const std::vector<uint8_t> dump = DumpSlice(MakeDemoMemory(DemoOptions{}));
  NullLog log;
  NullProgress progress;
  SessionTable& table = view;

  // The report walk fills the table row by row and cell by cell.
  ReportFlashDataFromMemory(dump.data(), dump.size(), table, log, progress);
  QCOMPARE(model->rowCount(), kDefaultDemoSessions);
  QVERIFY(mirror.InStep());
  // A row put in before the others, a cell changed, and a second walk that
  // empties the table first.
  table.InsertRow(0);
  table.SetCellText(0, 10, "first");
  table.SetCellText(5, 3, "changed");
  QCOMPARE(model->rowCount(), kDefaultDemoSessions + 1);
  QVERIFY(mirror.InStep());
  ReportFlashDataFromMemory(dump.data(), dump.size(), table, log, progress);
  QCOMPARE(model->rowCount(), kDefaultDemoSessions);
  QVERIFY(mirror.InStep());
  table.DeleteAllRows();
  QCOMPARE(model->rowCount(), 0);
  QVERIFY(mirror.InStep());
}

QTEST_MAIN(TestAppFrame)
#include "tst_app_frame.moc"
