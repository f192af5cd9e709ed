// The window as a user meets it: long pet strings, failure texts in the
// unit dialogs, the restored window on small screens, the View menu, Check
// for Updates without a browser, and the report's batched fill.

#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <cstdlib>
#include <fstream>

#include "activity/FlashReport.h"
#include "app/DlgUnitFlash.h"
#include "app/MainFrm.h"
#include "app/SessionChartPane.h"
#include "app/Vandry.h"
#include "app/VandryView.h"
#include "sim/DemoData.h"
#include "sim/SimulatedLogger.h"
#include "support/Gui.h"
#include "support/Recorders.h"
#include "widgets/GradientProgressCtrl.h"

using namespace yelvane;
using yelvane::test::LogLines;
using yelvane::test::RecordingMessages;

class TestAppWindow : public QObject {
  Q_OBJECT
 private slots:
  void longPetStringsElideWithWholeTooltip();
  void failureTextShowsFromItsStart();
  void restoredWindowShowsEveryPaneWhole();
  void viewMenuBringsPanesBack();
  void checkForUpdatesNamesTheAddressWithoutBrowser();
  void reportFillsTableInBlocksAsCellByCell();

 private:
  CVandryApp app_;
};

void TestAppWindow::longPetStringsElideWithWholeTooltip() {
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  const std::string longText(60, 'W');  // the widest letters: 60 never fit in 300 pixels
  struct Case {
    CColorStaticST* label;
    QString prefix;
    PetInfo pet;
  } cases[] = {
      {frame.PetNameLabel(), "Pet Name: ", {.name = longText, .owner = "Ann", .location = "Oslo"}},
      {frame.PetOwnerLabel(),
       "Pet Owner: ",
       {.name = "Rex", .owner = longText, .location = "Oslo"}},
      {frame.PetLocationLabel(),
       "Pet Location: ",
       {.name = "Rex", .owner = "Ann", .location = longText}},
  };
  for (const Case& c : cases) {
    frame.SetPet(c.pet);
    frame.RefreshPetLabels();
    const QString whole = c.prefix + QString::fromStdString(longText);
    QCOMPARE(c.label->width(), kPetLabelWidth);
    QCOMPARE(c.label->text(), whole);  // what the label holds stays whole
    const QString shown = c.label->DisplayText();
    QVERIFY2(shown.startsWith(c.prefix + "WW"), qPrintable(shown));
    QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
    QVERIFY(QFontMetrics(c.label->font()).horizontalAdvance(shown) <=
            c.label->contentsRect().width());
    QCOMPARE(c.label->toolTip(), whole);
    // Its neighbours fit: drawn whole, no tooltip.
    for (const Case& other : cases) {
      if (other.label == c.label) continue;
      QCOMPARE(other.label->DisplayText(), other.label->text());
      QVERIFY(other.label->toolTip().isEmpty());
    }
  }
  // The pet information itself keeps the whole strings for the log and the reports.
  QCOMPARE(frame.Pet().location, longText);
  test::SaveShot(frame, "long-pet-location");
}

void TestAppWindow::failureTextShowsFromItsStart() {
  NullLog log;
  RecordingMessages messages;
  SimulatedDrives drives;
  ReadJob job;
  CDlgReadFlash dialog(
      job, {.drives = drives, .log = log, .messages = messages, .clock = DefaultClock()});
  const std::string failure = "Failed to read flash data! Please retry!";
  dialog.SetRateText(failure);    // code 2: a field too narrow for it
  dialog.SetStatusText(failure);  // code 4: one wide enough
  struct Case {
    const char* name;
    bool tooLong;
  } cases[] = {{"field1002", true}, {"field1004", false}};
  for (const Case& c : cases) {
    auto* field = dialog.findChild<QLineEdit*>(c.name);
    QVERIFY(field);
    QCOMPARE(field->text(), QString::fromStdString(failure));
    field->grab();  // a paint settles where the field scrolls to
    QCOMPARE(field->cursorPosition(), 0);
    // The start of the text is in view: the caret before "F" sits at the left edge.
    QVERIFY2(field->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() < 8, c.name);
    QCOMPARE(field->toolTip(), c.tooLong ? QString::fromStdString(failure) : QString());
    QCOMPARE(QFontMetrics(field->font()).horizontalAdvance(field->text()) > field->width(),
             c.tooLong);
  }
  // A later short text drops the tooltip.
  dialog.SetRateText("12KB");
  QVERIFY(dialog.findChild<QLineEdit*>("field1002")->toolTip().isEmpty());
}

namespace {

// Everything of `widget` lies inside `frame`'s client area and is shown.
bool Within(const QWidget* widget, const QWidget* frame) {
  if (!widget->isVisible()) return false;
  const QRect at(widget->mapTo(frame, QPoint(0, 0)), widget->size());
  return frame->rect().contains(at);
}

}  // namespace

void TestAppWindow::restoredWindowShowsEveryPaneWhole() {
  // Screens' free areas: a panel at the top of a 1280x800 one, and a bare 1024x768.
  const QRect screens[] = {QRect(0, 28, 1280, 772), QRect(0, 0, 1024, 768)};
  for (const QRect& available : screens) {
    CMainFrame frame;
    for (int r = 0; r < 30; ++r) {
      frame.View()->InsertRow(r);
      frame.View()->SetCellText(r, 5, "03-07-2011 08:05PM");
    }
    frame.PlaceRestored(available);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QApplication::processEvents();
    const QString where = QString("%1x%2").arg(available.width()).arg(available.height());
    QVERIFY2(frame.width() <= available.width() && frame.height() + 24 <= available.height(),
             qPrintable(where));
    QVERIFY(std::abs(frame.geometry().center().x() - available.center().x()) <= 1);
    const QSize smallest = frame.minimumSize().expandedTo(frame.minimumSizeHint());
    QVERIFY(smallest.width() <= available.width());

    // Checked at the restored size and at the smallest the window allows.
    for (const QSize size : {frame.size(), smallest}) {
      frame.resize(size);
      QTRY_COMPARE(frame.size(), size);
      QApplication::processEvents();
      const QString at = where + QString(" at %1x%2").arg(frame.width()).arg(frame.height());
      // The status panes side by side, each text whole.
      for (int i = 0; i < 4; ++i) QVERIFY2(Within(frame.PaneWidget(i), &frame), qPrintable(at));
      const QWidget* text = frame.PaneWidget(4);
      const QWidget* strip = text->parentWidget();
      const int textEnd = text->mapTo(&frame, QPoint(0, 0)).x() +
                          QFontMetrics(text->font()).horizontalAdvance("Ready");
      QVERIFY2(textEnd <= strip->mapTo(&frame, QPoint(strip->width(), 0)).x(), qPrintable(at));
      for (CColorStaticST* key : {frame.BarkKey(), frame.ActivityKey(), frame.UsbStatusLabel()})
        QVERIFY(QFontMetrics(key->font()).horizontalAdvance(key->text()) <= key->width());
      if (size != smallest) {
        // The three pet labels, the first six columns and ten rows, the log.
        for (QWidget* label :
             {frame.PetNameLabel(), frame.PetOwnerLabel(), frame.PetLocationLabel()})
          QVERIFY2(Within(label, &frame), qPrintable(at));
        const QHeaderView* header = frame.View()->horizontalHeader();
        QVERIFY2(header->sectionViewportPosition(5) + header->sectionSize(5) <=
                     frame.View()->viewport()->width(),
                 qPrintable(at));
        QVERIFY2(frame.View()->viewport()->height() >=
                     10 * frame.View()->verticalHeader()->defaultSectionSize(),
                 qPrintable(at));
        QVERIFY2(Within(frame.LogControl(), &frame) && frame.LogControl()->height() >= 60,
                 qPrintable(at));
      }
    }
    test::SaveShot(frame, QString("restored-%1").arg(where));
  }
}

void TestAppWindow::viewMenuBringsPanesBack() {
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  QStringList menus;
  for (QAction* action : frame.menuBar()->actions()) menus << action->text();
  QCOMPARE(menus, QStringList({"&File", "&Command", "&View", "&Help"}));
  QMenu* view = frame.ViewMenu();
  QVERIFY(view);
  QStringList items;
  for (QAction* action : view->actions()) {
    items << action->text();
    QVERIFY(action->isCheckable());
    QVERIFY(action->isChecked());
  }
  QCOMPARE(items, QStringList({"Toolbar", "Process Log", "Session Chart"}));
  QAction* toolbar = view->actions()[0];

  toolbar->trigger();
  QVERIFY(frame.ToolBar()->isHidden());
  QVERIFY(!toolbar->isChecked());
  toolbar->trigger();
  QVERIFY(frame.ToolBar()->isVisible());
  QVERIFY(toolbar->isChecked());

  const struct {
    CDockPageBar* bar;
    QAction* item;
    Qt::DockWidgetArea area;
  } panes[] = {{frame.LogBar(), view->actions()[1], Qt::BottomDockWidgetArea},
               {frame.ChartBar(), view->actions()[2], Qt::RightDockWidgetArea}};
  for (const auto& pane : panes) {
    const QString name = pane.item->text();
    QAction* item = pane.item;
    // Closed with its own close button, the pane comes back from the menu, docked.
    pane.bar->Caption()->CloseButton()->click();
    QTRY_VERIFY2(pane.bar->isHidden(), qPrintable(name));
    QVERIFY2(!item->isChecked(), qPrintable(name));
    item->trigger();
    QVERIFY2(pane.bar->isVisible(), qPrintable(name));
    QVERIFY(item->isChecked());
    QVERIFY(!pane.bar->isFloating());

    // Collapsed to its strip it still counts as there; unchecking takes it away
    // for good, checking brings it back docked where it was.
    QVERIFY(frame.SetAutoHide(pane.bar, true));
    QVERIFY2(item->isChecked(), qPrintable(name));
    item->trigger();
    QVERIFY(!pane.bar->IsAutoHide());
    QVERIFY(pane.bar->isHidden());
    QVERIFY(!item->isChecked());
    item->trigger();
    QVERIFY(pane.bar->isVisible());
    QCOMPARE(frame.dockWidgetArea(pane.bar), pane.area);
    // Each item drives its own pane only.
    for (const auto& other : panes) QVERIFY2(other.bar->isVisible(), qPrintable(name));
  }
}

void TestAppWindow::checkForUpdatesNamesTheAddressWithoutBrowser() {
  CMainFrame frame;
  RecordingMessages prompt;
  frame.SetPrompt(&prompt);
  for (const bool started : {true, false}) {
    QStringList opened;
    frame.SetUrlOpener([&](const QString& url) {
      opened << url;
      return started;
    });
    prompt.Clear();
    frame.CommandAction(ID_CHECK_FOR_UPDATES)->trigger();
    QCOMPARE(opened, QStringList{QString(kUpdatePageUrl)});
    QCOMPARE(prompt.shown.size(), started ? 0u : 1u);
    if (!started) QVERIFY(prompt.shown[0].find(kUpdatePageUrl) != std::string::npos);
  }
}

void TestAppWindow::reportFillsTableInBlocksAsCellByCell() {
  // A full logger's dump, walked on the report worker into the window.
  QTemporaryDir dir;
  DemoOptions options;
  options.sessions = 3000;
  const std::vector<uint8_t> dump = DumpSlice(MakeDemoMemory(options));
  const std::string path = dir.filePath("tmp.bin").toStdString();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(dump.data()), static_cast<std::streamsize>(dump.size()));

  MemorySessionTable expected;
  test::RecordingLog expectedLog;
  test::RecordingProgress expectedProgress;
  NullMessages none;
  ReportFlashData(path, expected, expectedLog, expectedProgress, none);
  QCOMPARE(expected.RowCount(), 3000);

  CMainFrame frame;
  frame.View()->InsertRow(0);  // an earlier table goes
  QSignalSpy inserted(frame.View()->Model(), &QAbstractItemModel::rowsInserted);
  QSignalSpy changed(frame.View()->Model(), &QAbstractItemModel::dataChanged);
  frame.StartReport(path);
  frame.FinishReport();
  QApplication::processEvents();

  SessionModel* model = frame.View()->Model();
  QCOMPARE(model->rowCount(), expected.RowCount());
  for (int r = 0; r < expected.RowCount(); ++r)
    for (int c = 0; c < kSessionColumns; ++c)
      QCOMPARE(model->Cell(r, c).toStdString(), expected.Rows()[r][c]);
  // Blocks of rows with their cells, not a row and eleven cell changes each.
  QVERIFY2(inserted.count() < 100, qPrintable(QString::number(inserted.count())));
  QCOMPARE(changed.count(), 0);
  // The pane and the log end as the walk left them.
  QCOMPARE(frame.ProgressPane()->GetPos(), expectedProgress.positions.back().first);
  QCOMPARE(frame.ProgressPane()->GetCaption().toStdString(),
           expectedProgress.positions.back().second);
  QCOMPARE(LogLines(frame.LogControl()).back(), expectedLog.lines.back());
}

QTEST_MAIN(TestAppWindow)
#include "tst_app_window.moc"
