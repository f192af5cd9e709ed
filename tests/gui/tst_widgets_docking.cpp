#include <QEnterEvent>
#include <QPainter>
#include <QPixmap>
#include <QSettings>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include "support/Gui.h"
#include "widgets/AutoHideBar.h"
#include "widgets/AutoHideFrame.h"
#include "widgets/DockPageBar.h"
#include "widgets/ListViewStyled.h"

using yelvane::CAutoHideBar;
using yelvane::CAutoHideFrame;
using yelvane::CAutoHideTab;
using yelvane::CDockPageBar;
using yelvane::CListViewStyled;
using yelvane::CProcessLogBar;
using yelvane::CSizingControlBar;
using yelvane::test::SaveShot;

namespace {

QIcon SquareIcon(const QColor& color) {
  QPixmap pixmap(16, 16);
  pixmap.fill(color);
  return QIcon(pixmap);
}

void Hover(QWidget* widget) {
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)));
  QCoreApplication::sendEvent(widget, &enter);
}

void Unhover(QWidget* widget) {
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(widget, &leave);
}

// The main window as the program builds it: a view in the middle and the
// log bar docked along the bottom.
struct Frame {
  CAutoHideFrame frame;
  QTextEdit* view = new QTextEdit(&frame);
  CProcessLogBar* bar = new CProcessLogBar(&frame);
  QTextEdit* log = new QTextEdit;

  Frame() {
    frame.setCentralWidget(view);
    frame.resize(800, 600);
    frame.SetAutoHideDelay(60);
    bar->Create(QStringLiteral("Process Log"), &frame, QSize(200, 130), true, 130);
    bar->SetBarStyle(bar->GetBarStyle() | CSizingControlBar::kTooltips | CSizingControlBar::kFlyBy |
                     CSizingControlBar::kSizeDynamic);
    log->setReadOnly(true);
    log->setPlainText(QStringLiteral("Command: Read Memory Data\r\n"));
    bar->AddPage(log, QStringLiteral("Process Log"), SquareIcon(Qt::darkCyan));
    bar->EnableDocking(Qt::AllDockWidgetAreas);
    frame.EnableDocking(Qt::AllDockWidgetAreas);
    frame.DockControlBar(bar, Qt::BottomDockWidgetArea);
    frame.show();
  }
  bool Ready() {
    if (!QTest::qWaitForWindowExposed(&frame)) return false;
    QTest::qWait(20);
    return true;
  }
  CAutoHideBar* BottomStrip() const { return frame.AutoHideStrip(Qt::BottomDockWidgetArea); }
};

}  // namespace

class TestWidgetsDocking : public QObject {
  Q_OBJECT

 private slots:
  void barDocksWithCaptionAndOnePageFillingIt() {
    Frame f;
    QVERIFY(f.Ready());
    SaveShot(f.frame, QStringLiteral("frame-docked"));
    QCOMPARE(f.frame.dockWidgetArea(f.bar), Qt::BottomDockWidgetArea);
    QCOMPARE(f.bar->GetDlgCtrlID(), 130);
    QCOMPARE(f.bar->Caption()->Title(), QStringLiteral("Process Log"));
    QVERIFY(f.bar->Caption()->CloseButton()->isVisible());
    QVERIFY(f.bar->Caption()->PinButton()->isVisible());
    QVERIFY(qAbs(f.bar->height() - 130) <= 2);
    // A single page has no tab row and takes the whole body.
    QVERIFY(!f.bar->Pages()->tabBar()->isVisible());
    QVERIFY(f.log->isVisible());
    QVERIFY(f.log->height() > 130 - f.bar->Caption()->height() - 8);

    // A second page brings the tabs, each with its icon and title.
    auto* notes = new QTextEdit;
    QVERIFY(f.bar->AddPage(notes, QStringLiteral("Notes"), SquareIcon(Qt::red)));
    QVERIFY(!f.bar->AddPage(notes, QStringLiteral("Again")));
    QVERIFY(!f.bar->AddPage(nullptr, QStringLiteral("None")));
    QTest::qWait(10);
    QVERIFY(f.bar->Pages()->tabBar()->isVisible());
    QCOMPARE(f.bar->GetPageCount(), 2);
    QCOMPARE(f.bar->GetPageTitle(1), QStringLiteral("Notes"));
    QVERIFY(!f.bar->GetPageIcon(1).isNull());
    SaveShot(f.frame, QStringLiteral("frame-two-pages"));

    // The caption's close button closes the bar.
    QTest::mouseClick(f.bar->Caption()->CloseButton(), Qt::LeftButton);
    QVERIFY(f.bar->isHidden());
  }

  void barDocksOnEverySideAndFloatsWithItsOwnSizes() {
    Frame f;
    QVERIFY(f.Ready());
    f.bar->SetVertSize(QSize(170, 300));
    f.bar->SetFloatSize(QSize(320, 180));
    for (Qt::DockWidgetArea area : {Qt::LeftDockWidgetArea, Qt::TopDockWidgetArea,
                                    Qt::RightDockWidgetArea, Qt::BottomDockWidgetArea}) {
      f.frame.DockControlBar(f.bar, area);
      QTest::qWait(20);
      QCOMPARE(f.frame.dockWidgetArea(f.bar), area);
      const bool horizontal = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
      if (horizontal)
        QTRY_VERIFY(qAbs(f.bar->height() - 130) <= 2);
      else
        QTRY_VERIFY(qAbs(f.bar->width() - 170) <= 2);
    }
    f.bar->setFloating(true);
    QTRY_COMPARE(f.bar->size(), QSize(320, 180));
    // Only the docked bar may collapse to an edge.
    QVERIFY(!f.bar->Caption()->PinButton()->isVisible());
    QVERIFY(!f.bar->SetAutoHide(true));
    f.bar->setFloating(false);
    QTRY_VERIFY(f.bar->Caption()->PinButton()->isVisible());
    // Sizes the layout forces on the bar are not the user's choice.
    QCOMPARE(f.bar->GetHorzSize(), QSize(200, 130));
    QCOMPARE(f.bar->GetVertSize(), QSize(170, 300));
  }

  void draggingTheInnerEdgeStoresTheHorizontalSize() {
    Frame f;
    QVERIFY(f.Ready());
    const int top = f.bar->geometry().top();
    const int x = f.frame.width() / 2;
    // The frame's separator lies just above the bar; drag it up 50 pixels
    // through the window, as a real pointer would.
    QWindow* window = f.frame.windowHandle();
    QPoint grip(x, top - 2);
    QTest::mouseMove(window, grip);
    QTest::mousePress(window, Qt::LeftButton, {}, grip);
    for (int dy = 5; dy <= 50; dy += 5) QTest::mouseMove(window, grip - QPoint(0, dy));
    QTest::mouseRelease(window, Qt::LeftButton, {}, grip - QPoint(0, 50));
    QTest::qWait(20);
    QVERIFY2(qAbs(f.bar->GetHorzSize().height() - 180) <= 4,
             qPrintable(QString::number(f.bar->GetHorzSize().height())));
    QCOMPARE(f.bar->GetVertSize(), QSize(200, 130));
    QCOMPARE(f.bar->GetFloatSize(), QSize(200, 130));
  }

  void autoHideCollapsesToStripAndShowsOverTheFrame() {
    Frame f;
    QVERIFY(f.Ready());
    const int viewHeight = f.view->height();

    QTest::mouseClick(f.bar->Caption()->PinButton(), Qt::LeftButton);
    QVERIFY(f.bar->IsAutoHide());
    QVERIFY(f.bar->isHidden());
    QTest::qWait(20);
    QVERIFY(f.view->height() > viewHeight + 100);  // the view takes the room
    CAutoHideBar* strip = f.BottomStrip();
    QVERIFY(strip != nullptr && strip->isVisible());
    const QList<CAutoHideTab*> tabs = strip->Tabs(f.bar);
    QCOMPARE(tabs.size(), 1);
    QCOMPARE(tabs[0]->text(), QStringLiteral("Process Log"));
    QVERIFY(!tabs[0]->icon().isNull());
    // The strip sits at the bottom edge, right above the status bar area.
    QVERIFY(strip->geometry().bottom() >= f.frame.height() - 4);
    QVERIFY(f.frame.ShownAutoHideBar() == nullptr);
    SaveShot(f.frame, QStringLiteral("frame-collapsed"));

    // A click shows the pane over the view, its pages inside it.
    QTest::mouseClick(tabs[0], Qt::LeftButton);
    QCOMPARE(f.frame.ShownAutoHideBar(), f.bar);
    QWidget* pane = f.frame.AutoHidePane();
    QVERIFY(pane->isVisible());
    QVERIFY(pane->isAncestorOf(f.log));
    QVERIFY(f.log->isVisible());
    QVERIFY(qAbs(pane->height() - 130) <= 2);
    QVERIFY(qAbs(pane->geometry().bottom() - f.view->geometry().bottom()) <= 1);
    QVERIFY(pane->geometry().intersects(f.view->geometry()));
    QCOMPARE(f.frame.childAt(pane->geometry().center()) != f.view, true);
    SaveShot(f.frame, QStringLiteral("frame-pane-shown"));

    // Nobody points at it: it goes after the pause.
    QTRY_VERIFY_WITH_TIMEOUT(f.frame.ShownAutoHideBar() == nullptr, 2000);
    QVERIFY(!pane->isVisible());
    QVERIFY(f.bar->IsAutoHide());
  }

  void shownPaneStaysWhileInUse() {
    Frame f;
    QVERIFY(f.Ready());
    QVERIFY(f.bar->SetAutoHide(true));
    CAutoHideTab* tab = f.BottomStrip()->Tabs(f.bar).value(0);
    QVERIFY(tab != nullptr);

    // Pointing at the tab shows the pane; it stays while pointed at.
    Hover(tab);
    QCOMPARE(f.frame.ShownAutoHideBar(), f.bar);
    QTest::qWait(200);
    QCOMPARE(f.frame.ShownAutoHideBar(), f.bar);
    // Moving from the tab into the pane keeps it.
    Unhover(tab);
    Hover(f.frame.AutoHidePane());
    QTest::qWait(200);
    QCOMPARE(f.frame.ShownAutoHideBar(), f.bar);
    Unhover(f.frame.AutoHidePane());
    QTRY_VERIFY_WITH_TIMEOUT(f.frame.ShownAutoHideBar() == nullptr, 2000);

    // While the keyboard works in the pane it stays; focus elsewhere hides it.
    f.frame.activateWindow();
    QTest::mouseClick(tab, Qt::LeftButton);
    f.log->setFocus();
    QTest::qWait(200);
    QCOMPARE(f.frame.ShownAutoHideBar(), f.bar);
    f.view->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(f.frame.ShownAutoHideBar() == nullptr, 2000);
  }

  void unpinningPutsTheBarBack() {
    Frame f;
    QVERIFY(f.Ready());
    QVERIFY(f.bar->SetAutoHide(true));
    f.frame.SetAutoHideDelay(5000);
    f.frame.ShowAutoHidePane(f.bar);
    QVERIFY(f.frame.AutoHidePane()->isAncestorOf(f.log));
    QTest::mouseClick(f.frame.AutoHidePane()->Caption()->PinButton(), Qt::LeftButton);
    QVERIFY(!f.bar->IsAutoHide());
    QVERIFY(f.frame.ShownAutoHideBar() == nullptr);
    QVERIFY(f.bar->isAncestorOf(f.log));
    QVERIFY(f.BottomStrip()->isHidden());
    QTest::qWait(20);
    QCOMPARE(f.frame.dockWidgetArea(f.bar), Qt::BottomDockWidgetArea);
    QVERIFY(f.log->isVisible());
    QTRY_VERIFY(qAbs(f.bar->height() - 130) <= 2);

    // Closing from the pane closes the bar and empties the strip.
    QVERIFY(f.bar->SetAutoHide(true));
    f.frame.ShowAutoHidePane(f.bar);
    QTest::mouseClick(f.frame.AutoHidePane()->Caption()->CloseButton(), Qt::LeftButton);
    QVERIFY(!f.bar->IsAutoHide());
    QVERIFY(f.bar->isHidden());
    QVERIFY(f.bar->isAncestorOf(f.log));
    QVERIFY(f.BottomStrip()->isHidden());
  }

  void shownPaneResizesFromItsInnerEdge() {
    Frame f;
    QVERIFY(f.Ready());
    QVERIFY(f.bar->SetAutoHide(true));
    f.frame.SetAutoHideDelay(5000);
    f.frame.ShowAutoHidePane(f.bar);
    QWidget* sizer = f.frame.AutoHidePane()->Sizer();
    QVERIFY(sizer->isVisible());
    QVERIFY(qAbs(sizer->mapTo(&f.frame, QPoint(0, 0)).y() - f.frame.AutoHidePane()->y()) <= 2);
    QWindow* window = f.frame.windowHandle();
    const QPoint grip = sizer->mapTo(&f.frame, sizer->rect().center());
    QTest::mousePress(window, Qt::LeftButton, {}, grip);
    for (int dy = 5; dy <= 30; dy += 5) QTest::mouseMove(window, grip - QPoint(0, dy));
    QTest::mouseRelease(window, Qt::LeftButton, {}, grip - QPoint(0, 30));
    QCOMPARE(f.bar->GetHorzSize().height(), 160);
    QCOMPARE(f.frame.AutoHidePane()->height(), 160);
    // Back in its dock, the bar keeps the height chosen in the pane.
    QVERIFY(f.bar->SetAutoHide(false));
    QTRY_VERIFY(qAbs(f.bar->height() - 160) <= 2);
  }

  void collapsedBarsGoAwayCleanly() {
    // A bar deleted while collapsed leaves no tab behind.
    {
      Frame f;
      QVERIFY(f.Ready());
      QVERIFY(f.bar->SetAutoHide(true));
      f.frame.SetAutoHideDelay(5000);
      f.frame.ShowAutoHidePane(f.bar);
      delete f.bar;
      QVERIFY(f.frame.ShownAutoHideBar() == nullptr);
      QVERIFY(f.BottomStrip()->Tabs().isEmpty());
    }
    // The frame closing while it shows a pane gives the pages back first.
    {
      Frame f;
      QVERIFY(f.Ready());
      QVERIFY(f.bar->SetAutoHide(true));
      f.frame.ShowAutoHidePane(f.bar);
    }
  }

  void pageDraggedOutBecomesNewBar() {
    Frame f;
    QVERIFY(f.Ready());
    auto* notes = new QTextEdit;
    f.bar->AddPage(notes, QStringLiteral("Notes"), SquareIcon(Qt::red));
    CDockPageBar* made = f.bar->DetachPage(1);
    QVERIFY(made != nullptr);
    QCOMPARE(made->windowTitle(), QStringLiteral("New Bar"));
    QCOMPARE(made->GetDlgCtrlID(), 12345);
    QVERIFY(made->isFloating());
    QCOMPARE(made->allowedAreas(), Qt::AllDockWidgetAreas);
    QCOMPARE(made->GetBarStyle(), f.bar->GetBarStyle() | CSizingControlBar::kTooltips |
                                      CSizingControlBar::kFlyBy | CSizingControlBar::kSizeDynamic);
    QCOMPARE(made->GetPageCount(), 1);
    QCOMPARE(made->GetPage(0), notes);
    QCOMPARE(made->GetPageTitle(0), QStringLiteral("Notes"));
    QCOMPARE(f.bar->GetPageCount(), 1);
    QCOMPARE(f.frame.NewBars(), QList<CDockPageBar*>{made});
    // The last page stays: a bar is never left empty.
    QVERIFY(f.bar->DetachPage(0) == nullptr);
    QCOMPARE(f.bar->GetPageCount(), 1);
    // Docked again, the new bar can collapse like any other.
    f.frame.DockControlBar(made, Qt::RightDockWidgetArea);
    QTest::qWait(20);
    QVERIFY(made->SetAutoHide(true));
    QCOMPARE(f.frame.AutoHideStrip(Qt::RightDockWidgetArea)->Tabs(made).size(), 1);
    SaveShot(f.frame, QStringLiteral("frame-right-strip"));
  }

  void barSizesRoundTripThroughProfile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QSettings settings(dir.filePath(QStringLiteral("profile.ini")), QSettings::IniFormat);
    QCOMPARE(CSizingControlBar::SectionName(QStringLiteral("Yelvane"), 130),
             QStringLiteral("Yelvane-SCBar-130"));
    CAutoHideFrame frame;
    CDockPageBar bar;
    QVERIFY(!bar.Create(QStringLiteral("x"), nullptr, QSize(10, 10), true, 1));
    QVERIFY(bar.Create(QStringLiteral("Process Log"), &frame, QSize(200, 130), true, 130));
    bar.SetHorzSize(QSize(300, 140));
    bar.SetVertSize(QSize(150, 400));
    bar.SetFloatSize(QSize(250, 260));
    bar.SaveState(settings, QStringLiteral("Yelvane"));
    QCOMPARE(settings.value(QStringLiteral("Yelvane-SCBar-130/sizeVertCY")).toInt(), 400);

    CDockPageBar other;
    QVERIFY(other.Create(QStringLiteral("Process Log"), &frame, QSize(200, 130), true, 130));
    settings.setValue(QStringLiteral("Yelvane-SCBar-130/sizeFloatCX"), QStringLiteral("junk"));
    other.LoadState(settings, QStringLiteral("Yelvane"));
    QCOMPARE(other.GetHorzSize(), QSize(300, 140));
    QCOMPARE(other.GetVertSize(), QSize(150, 400));
    QCOMPARE(other.GetFloatSize(), QSize(200, 260));  // the damaged value is ignored
  }

  void styledListFollowsRowsAndColumns() {
    QStandardItemModel model(3, 3);
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 3; ++column)
        model.setItem(row, column, new QStandardItem(QStringLiteral("%1,%2").arg(row).arg(column)));
    CListViewStyled view;
    view.setModel(&model);
    view.resize(320, 160);
    QCOMPARE(view.StyledRowCount(), 3);
    QCOMPARE(view.StyledColumnCount(), 3);

    const CListViewStyled::Style yellow{{}, QColor(255, 255, 153), {}, false};
    const CListViewStyled::Style green{QColor(0, 128, 0), QColor(204, 255, 204), {}, false};
    QVERIFY(view.SetItemStyle(1, yellow));
    QVERIFY(view.SetCellStyle(1, 2, green));
    QVERIFY(!view.SetCellStyle(1, 3, green));
    QVERIFY(!view.SetItemStyle(7, green));
    QCOMPARE(view.EffectiveStyle(1, 0).back, QColor(255, 255, 153));
    QCOMPARE(view.EffectiveStyle(1, 2).back, QColor(204, 255, 204));

    // Records move with their rows and cells.
    model.insertRow(0);
    QCOMPARE(view.StyledRowCount(), 4);
    QCOMPARE(view.GetItemStyle(2), yellow);
    QCOMPARE(view.GetCellStyle(2, 2), green);
    model.removeColumn(0);
    QCOMPARE(view.StyledColumnCount(), 2);
    QCOMPARE(view.GetCellStyle(2, 1), green);
    model.removeRows(0, 2);
    QCOMPARE(view.GetItemStyle(0), yellow);
    QCOMPARE(view.GetCellStyle(0, 1), green);

    // And the view draws with them.
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setCurrentIndex(QModelIndex());
    const QRect cell = view.visualRect(model.index(0, 0));
    const QRect greenCell = view.visualRect(model.index(0, 1));
    SaveShot(view, QStringLiteral("styled-list"));
    const QImage image = view.viewport()->grab().toImage();
    QCOMPARE(image.pixelColor(cell.left() + 2, cell.bottom() - 2), QColor(255, 255, 153));
    QCOMPARE(image.pixelColor(greenCell.left() + 2, greenCell.bottom() - 2), QColor(204, 255, 204));
  }
};

QTEST_MAIN(TestWidgetsDocking)
#include "tst_widgets_docking.moc"
