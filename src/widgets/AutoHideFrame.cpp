#include "widgets/AutoHideFrame.h"

#include <QApplication>
#include <QDockWidget>
#include <QMenu>
#include <QResizeEvent>
#include <QToolBar>

#include "widgets/AutoHideBar.h"
#include "widgets/DockPageBar.h"

namespace yelvane {
namespace {

constexpr int kMinPaneExtent = 40;

bool IsHorizontalArea(Qt::DockWidgetArea area) {
  return area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
}

Qt::ToolBarArea ToolBarAreaFor(Qt::DockWidgetArea area) {
  switch (area) {
    case Qt::TopDockWidgetArea:
      return Qt::TopToolBarArea;
    case Qt::LeftDockWidgetArea:
      return Qt::LeftToolBarArea;
    case Qt::RightDockWidgetArea:
      return Qt::RightToolBarArea;
    default:
      return Qt::BottomToolBarArea;
  }
}

}  // namespace

CAutoHideFrame::CAutoHideFrame(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags), m_pane(new CAutoHidePane(this)) {
  m_hideTimer.setSingleShot(true);
  m_hideTimer.setInterval(kDefaultAutoHideDelayMs);
  connect(&m_hideTimer, &QTimer::timeout, this, [this] { OnHideTimer(); });

  connect(m_pane, &CAutoHidePane::entered, this, [this] {
    m_bPaneHovered = true;
    m_hideTimer.stop();
  });
  connect(m_pane, &CAutoHidePane::left, this, [this] {
    m_bPaneHovered = false;
    StartHideTimer();
  });
  connect(m_pane->Caption()->PinButton(), &QAbstractButton::clicked, this, [this] {
    if (CDockPageBar* bar = m_pane->Bar()) SetAutoHide(bar, false);
  });
  connect(m_pane->Caption()->CloseButton(), &QAbstractButton::clicked, this, [this] {
    if (CDockPageBar* bar = m_pane->Bar()) {
      SetAutoHide(bar, false);
      bar->close();
    }
  });
  connect(m_pane->Sizer(), &CPaneSizer::dragged, this,
          [this](QPoint delta) { OnPaneSizerDragged(delta); });
  // Focus moving out of the shown pane counts as leaving it.
  m_focusConnection =
      connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget*) {
        if (!m_pane->isHidden() && old != nullptr && m_pane->isAncestorOf(old)) StartHideTimer();
      });
}

CAutoHideFrame::~CAutoHideFrame() {
  // Hand every borrowed page back and drop the links to the bars before the
  // children go: they are deleted after this body, when our members are gone.
  disconnect(m_focusConnection);
  m_hideTimer.stop();
  m_pane->Release();
  for (Collapsed& entry : m_collapsed)
    for (const QMetaObject::Connection& connection : entry.connections) disconnect(connection);
  m_collapsed.clear();
  disconnect(m_pane, nullptr, this, nullptr);
  disconnect(m_pane->Caption()->PinButton(), nullptr, this, nullptr);
  disconnect(m_pane->Caption()->CloseButton(), nullptr, this, nullptr);
  disconnect(m_pane->Sizer(), nullptr, this, nullptr);
  for (CAutoHideBar* strip : m_strips) {
    disconnect(strip, nullptr, this, nullptr);
    for (CAutoHideTab* tab : strip->Tabs()) disconnect(tab, nullptr, this, nullptr);
  }
}

void CAutoHideFrame::EnableDocking(Qt::DockWidgetAreas areas) {
  setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks |
                 QMainWindow::AllowTabbedDocks);
  for (Qt::DockWidgetArea area : {Qt::TopDockWidgetArea, Qt::BottomDockWidgetArea,
                                  Qt::LeftDockWidgetArea, Qt::RightDockWidgetArea})
    if (areas & area) Strip(area);
}

CAutoHideBar* CAutoHideFrame::Strip(Qt::DockWidgetArea area) {
  if (CAutoHideBar* strip = m_strips.value(area)) return strip;
  auto* strip = new CAutoHideBar(area, this);
  const Qt::ToolBarArea side = ToolBarAreaFor(area);
  // On its own row, nearest the middle of the frame, below any toolbar.
  bool hasToolBar = false;
  for (QToolBar* toolBar : findChildren<QToolBar*>(Qt::FindDirectChildrenOnly))
    if (toolBarArea(toolBar) == side && !toolBar->isHidden()) hasToolBar = true;
  if (hasToolBar) addToolBarBreak(side);
  addToolBar(side, strip);
  strip->hide();
  connect(strip, &CAutoHideBar::tabCreated, this, [this](CAutoHideTab* tab) { ConnectTab(tab); });
  m_strips.insert(area, strip);
  return strip;
}

void CAutoHideFrame::ConnectTab(CAutoHideTab* tab) {
  connect(tab, &CAutoHideTab::entered, this, [this, tab] {
    m_bTabHovered = true;
    ShowAutoHidePane(tab->Bar(), tab->Page());
  });
  connect(tab, &CAutoHideTab::left, this, [this] {
    m_bTabHovered = false;
    StartHideTimer();
  });
  connect(tab, &QAbstractButton::clicked, this,
          [this, tab] { ShowAutoHidePane(tab->Bar(), tab->Page()); });
}

void CAutoHideFrame::DockControlBar(QDockWidget* bar, Qt::DockWidgetArea area) {
  if (bar == nullptr) return;
  addDockWidget(area, bar);
  if (bar->isFloating()) bar->setFloating(false);
  if (auto* sizing = qobject_cast<CSizingControlBar*>(bar)) sizing->ApplyStoredSize();
}

bool CAutoHideFrame::IsAutoHidden(const CDockPageBar* bar) const {
  for (const Collapsed& entry : m_collapsed)
    if (entry.bar == bar) return true;
  return false;
}

bool CAutoHideFrame::SetAutoHide(CDockPageBar* bar, bool autoHide) {
  if (bar == nullptr || bar->parentWidget() != this) return false;
  if (autoHide == IsAutoHidden(bar)) return true;

  if (autoHide) {
    if (bar->isFloating()) return false;
    const Qt::DockWidgetArea area = dockWidgetArea(bar);
    if (area == Qt::NoDockWidgetArea) return false;
    Collapsed entry{bar, area, {}};
    entry.connections.append(connect(bar, &CDockPageBar::pagesChanged, this, [this, bar] {
      for (const Collapsed& collapsed : m_collapsed)
        if (collapsed.bar == bar) Strip(collapsed.area)->RefreshBar(bar);
    }));
    m_collapsed.append(entry);
    // Hidden, a dock widget keeps its place in the layout for its return.
    bar->hide();
    Strip(area)->AddBar(bar);
    bar->Caption()->PinButton()->SetKind(CCaptionButton::kUnpinned);
    emit autoHideChanged(bar, true);
    return true;
  }

  if (m_pane->Bar() == bar) {
    HideAutoHidePane();
    m_pane->Release();
  }
  DropCollapsed(bar);
  bar->Caption()->PinButton()->SetKind(CCaptionButton::kPinned);
  bar->show();
  bar->ApplyStoredSize();
  emit autoHideChanged(bar, false);
  return true;
}

void CAutoHideFrame::DropCollapsed(CDockPageBar* bar) {
  for (qsizetype i = 0; i < m_collapsed.size(); ++i) {
    if (m_collapsed[i].bar != bar) continue;
    for (const QMetaObject::Connection& connection : m_collapsed[i].connections)
      disconnect(connection);
    Strip(m_collapsed[i].area)->RemoveBar(bar);
    m_collapsed.removeAt(i);
    break;
  }
}

void CAutoHideFrame::OnBarDestroyed(CDockPageBar* bar) {
  if (m_pane->Bar() == bar) {
    HideAutoHidePane();
    m_pane->Forget();
  }
  DropCollapsed(bar);
  m_newBars.removeAll(bar);
}

void CAutoHideFrame::ShowAutoHidePane(CDockPageBar* bar, int page) {
  if (bar == nullptr) return;
  Qt::DockWidgetArea area = Qt::NoDockWidgetArea;
  for (const Collapsed& entry : m_collapsed)
    if (entry.bar == bar) area = entry.area;
  if (area == Qt::NoDockWidgetArea) return;
  if (page >= 0) bar->SetActivePage(page);
  const bool wasShown = !m_pane->isHidden() && m_pane->Bar() == bar;
  m_pane->SetBar(bar, area);
  LayoutPane();
  m_pane->show();
  m_pane->raise();
  StartHideTimer();
  if (!wasShown) emit autoHidePaneShown(bar);
}

void CAutoHideFrame::HideAutoHidePane() {
  m_hideTimer.stop();
  m_bPaneHovered = false;
  if (m_pane->isHidden()) return;
  m_pane->hide();
  emit autoHidePaneHidden();
}

CDockPageBar* CAutoHideFrame::ShownAutoHideBar() const {
  return m_pane->isHidden() ? nullptr : m_pane->Bar();
}

void CAutoHideFrame::SetAutoHideDelay(int milliseconds) {
  m_hideTimer.setInterval(qMax(0, milliseconds));
}

void CAutoHideFrame::StartHideTimer() {
  if (!m_pane->isHidden()) m_hideTimer.start();
}

void CAutoHideFrame::OnHideTimer() {
  if (m_pane->isHidden()) return;
  // Still in use: wait for the next time the pointer or focus leaves.
  if (m_bTabHovered || m_bPaneHovered) return;
  if (m_pane->isAncestorOf(QApplication::focusWidget())) return;
  HideAutoHidePane();
}

void CAutoHideFrame::LayoutPane() {
  CDockPageBar* bar = m_pane->Bar();
  if (bar == nullptr) return;
  // The pane covers the client part of the frame: the view and every bar
  // docked around it, up to the strips.
  QRect inner = centralWidget() != nullptr ? centralWidget()->geometry() : QRect();
  for (QDockWidget* dock : findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly))
    if (dock->isVisible() && !dock->isFloating()) inner |= dock->geometry();
  if (inner.isEmpty()) inner = rect();

  const Qt::DockWidgetArea area = m_pane->Area();
  const QSize stored = bar->SizeFor(area);
  QRect pane;
  if (IsHorizontalArea(area)) {
    const int height =
        qBound(qMin(kMinPaneExtent, inner.height()), stored.height(), inner.height());
    pane = QRect(inner.left(),
                 area == Qt::TopDockWidgetArea ? inner.top() : inner.bottom() - height + 1,
                 inner.width(), height);
  } else {
    const int width = qBound(qMin(kMinPaneExtent, inner.width()), stored.width(), inner.width());
    pane = QRect(area == Qt::LeftDockWidgetArea ? inner.left() : inner.right() - width + 1,
                 inner.top(), width, inner.height());
  }
  m_pane->setGeometry(pane);
}

void CAutoHideFrame::OnPaneSizerDragged(QPoint delta) {
  CDockPageBar* bar = m_pane->Bar();
  if (bar == nullptr) return;
  const Qt::DockWidgetArea area = m_pane->Area();
  if (IsHorizontalArea(area)) {
    QSize size = bar->GetHorzSize();
    size.setHeight(qMax(kMinPaneExtent,
                        size.height() + (area == Qt::TopDockWidgetArea ? delta.y() : -delta.y())));
    bar->SetHorzSize(size);
  } else {
    QSize size = bar->GetVertSize();
    size.setWidth(qMax(kMinPaneExtent,
                       size.width() + (area == Qt::LeftDockWidgetArea ? delta.x() : -delta.x())));
    bar->SetVertSize(size);
  }
  LayoutPane();
}

QList<CDockPageBar*> CAutoHideFrame::NewBars() const {
  QList<CDockPageBar*> bars;
  for (const QPointer<CDockPageBar>& bar : m_newBars)
    if (bar != nullptr) bars.append(bar);
  return bars;
}

void CAutoHideFrame::AdoptNewBar(CDockPageBar* bar) {
  if (bar != nullptr) m_newBars.append(bar);
}

QMenu* CAutoHideFrame::createPopupMenu() {
  QMenu* menu = QMainWindow::createPopupMenu();
  if (menu != nullptr)
    for (CAutoHideBar* strip : m_strips) menu->removeAction(strip->toggleViewAction());
  return menu;
}

void CAutoHideFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (!m_pane->isHidden()) LayoutPane();
}

}  // namespace yelvane
