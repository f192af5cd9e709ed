#include "widgets/DockPageBar.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "widgets/AutoHideFrame.h"

namespace yelvane {

// ---------------------------------------------------------------------------
// CCaptionButton

CCaptionButton::CCaptionButton(Kind kind, QWidget* parent) : QAbstractButton(parent), m_kind(kind) {
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::ArrowCursor);
}

void CCaptionButton::SetKind(Kind kind) {
  m_kind = kind;
  update();
}

QSize CCaptionButton::sizeHint() const {
  return QSize(16, 16);
}

void CCaptionButton::enterEvent(QEnterEvent* event) {
  m_bHot = true;
  update();
  QAbstractButton::enterEvent(event);
}

void CCaptionButton::leaveEvent(QEvent* event) {
  m_bHot = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void CCaptionButton::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect box = rect().adjusted(0, 0, -1, -1);
  if (m_bHot || isDown()) {
    painter.setPen(palette().color(QPalette::Dark));
    painter.setBrush(isDown() ? palette().color(QPalette::Mid) : palette().color(QPalette::Light));
    painter.drawRect(box);
  }
  painter.setRenderHint(QPainter::Antialiasing, m_kind != kClose);
  QPen pen(palette().color(QPalette::ButtonText), 1.5);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  const QRectF glyph = QRectF(box).adjusted(4, 4, -4, -4);
  switch (m_kind) {
    case kClose:
      // The cross of the classic caption close box.
      painter.setPen(QPen(palette().color(QPalette::ButtonText), 2));
      painter.drawLine(glyph.topLeft(), glyph.bottomRight());
      painter.drawLine(glyph.topRight(), glyph.bottomLeft());
      break;
    case kPinned: {
      // Pin standing up: the pane stays where it is docked.
      const double cx = glyph.center().x();
      painter.drawRect(QRectF(cx - 2.5, glyph.top(), 5, glyph.height() * 0.55));
      painter.drawLine(QPointF(glyph.left(), glyph.top() + glyph.height() * 0.55),
                       QPointF(glyph.right(), glyph.top() + glyph.height() * 0.55));
      painter.drawLine(QPointF(cx, glyph.top() + glyph.height() * 0.55),
                       QPointF(cx, glyph.bottom()));
      break;
    }
    case kUnpinned: {
      // Pin lying down: the pane slides away when not in use.
      const double cy = glyph.center().y();
      painter.drawRect(
          QRectF(glyph.right() - glyph.width() * 0.55, cy - 2.5, glyph.width() * 0.55, 5));
      painter.drawLine(QPointF(glyph.right() - glyph.width() * 0.55, glyph.top()),
                       QPointF(glyph.right() - glyph.width() * 0.55, glyph.bottom()));
      painter.drawLine(QPointF(glyph.left(), cy),
                       QPointF(glyph.right() - glyph.width() * 0.55, cy));
      break;
    }
  }
}

// ---------------------------------------------------------------------------
// CBarCaption

CBarCaption::CBarCaption(QWidget* parent)
    : QWidget(parent),
      m_lblTitle(new QLabel(this)),
      m_btnPin(new CCaptionButton(CCaptionButton::kPinned, this)),
      m_btnClose(new CCaptionButton(CCaptionButton::kClose, this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 2, 3, 2);
  layout->setSpacing(2);
  layout->addWidget(m_lblTitle, 1);
  layout->addWidget(m_btnPin);
  layout->addWidget(m_btnClose);
  m_btnPin->setToolTip(QStringLiteral("Auto Hide"));
  m_btnClose->setToolTip(QStringLiteral("Close"));
  // Let presses on the title reach the dock widget, which drags the bar.
  m_lblTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CBarCaption::SetTitle(const QString& title) {
  m_lblTitle->setText(title);
}

QString CBarCaption::Title() const {
  return m_lblTitle->text();
}

QSize CBarCaption::sizeHint() const {
  const QSize hint = QWidget::sizeHint();
  return QSize(hint.width(), qMax(hint.height(), 20));
}

void CBarCaption::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QColor base = palette().color(QPalette::Window).darker(112);
  painter.fillRect(rect(), base);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawLine(rect().bottomLeft(), rect().bottomRight());
}

// ---------------------------------------------------------------------------
// CDockPageBar

CDockPageBar::CDockPageBar(QWidget* parent)
    : CSizingControlBar(parent),
      m_caption(new CBarCaption(this)),
      m_body(new QWidget(this)),
      m_bodyLayout(new QVBoxLayout(m_body)),
      m_tabs(new QTabWidget(m_body)) {
  m_bodyLayout->setContentsMargins(0, 0, 0, 0);
  m_bodyLayout->addWidget(m_tabs);
  m_tabs->setTabPosition(QTabWidget::South);
  m_tabs->setDocumentMode(true);
  m_tabs->setTabBarAutoHide(true);  // one page fills the whole bar
  QFont tabFont(QStringLiteral("Tahoma"));
  tabFont.setPointSize(8);
  m_tabs->tabBar()->setFont(tabFont);
  m_tabBar = m_tabs->tabBar();
  m_tabBar->installEventFilter(this);
  setWidget(m_body);
  setTitleBarWidget(m_caption);

  connect(m_caption->CloseButton(), &QAbstractButton::clicked, this, [this] { close(); });
  connect(m_caption->PinButton(), &QAbstractButton::clicked, this,
          [this] { SetAutoHide(!IsAutoHide()); });
  connect(this, &QDockWidget::windowTitleChanged, this, [this] { UpdateCaption(); });
  connect(this, &QDockWidget::topLevelChanged, this, [this] { UpdateCaption(); });
  UpdateCaption();
}

CDockPageBar::~CDockPageBar() {
  // Pages lent to an auto-hide pane still belong to this bar.
  if (CAutoHideFrame* frame = Frame()) frame->OnBarDestroyed(this);
  m_tabBar->removeEventFilter(this);
  m_tabBar = nullptr;
  if (m_tabs != nullptr && m_tabs->parentWidget() != m_body) delete m_tabs.data();
}

bool CDockPageBar::Create(const QString& title, QMainWindow* parent, const QSize& defaultSize,
                          bool hasGripper, int id, unsigned style) {
  if (!CSizingControlBar::Create(title, parent, defaultSize, hasGripper, id, style)) return false;
  UpdateCaption();
  return true;
}

void CDockPageBar::SetBarStyle(unsigned style) {
  CSizingControlBar::SetBarStyle(style);
  UpdateCaption();
}

CAutoHideFrame* CDockPageBar::Frame() const {
  return qobject_cast<CAutoHideFrame*>(parentWidget());
}

void CDockPageBar::UpdateCaption() {
  if (m_caption == nullptr) return;
  m_caption->SetTitle(windowTitle());
  m_caption->setToolTip((GetBarStyle() & kTooltips) ? windowTitle() : QString());
  // Only a bar docked in an auto-hide frame can collapse to its edge.
  m_caption->PinButton()->setVisible(Frame() != nullptr && !isFloating());
}

bool CDockPageBar::AddPage(QWidget* page, const QString& title, const QIcon& icon) {
  if (page == nullptr || m_tabs == nullptr || m_tabs->indexOf(page) >= 0) return false;
  m_tabs->addTab(page, icon, title);
  emit pagesChanged();
  return true;
}

QWidget* CDockPageBar::RemovePage(int index) {
  QWidget* page = GetPage(index);
  if (page == nullptr) return nullptr;
  m_tabs->removeTab(index);
  page->setParent(nullptr);
  emit pagesChanged();
  return page;
}

int CDockPageBar::GetPageCount() const {
  return m_tabs != nullptr ? m_tabs->count() : 0;
}

QWidget* CDockPageBar::GetPage(int index) const {
  return m_tabs != nullptr ? m_tabs->widget(index) : nullptr;
}

QString CDockPageBar::GetPageTitle(int index) const {
  return m_tabs != nullptr ? m_tabs->tabText(index) : QString();
}

QIcon CDockPageBar::GetPageIcon(int index) const {
  return m_tabs != nullptr ? m_tabs->tabIcon(index) : QIcon();
}

int CDockPageBar::GetActivePage() const {
  return m_tabs != nullptr ? m_tabs->currentIndex() : -1;
}

void CDockPageBar::SetActivePage(int index) {
  if (m_tabs != nullptr && index >= 0 && index < m_tabs->count()) m_tabs->setCurrentIndex(index);
}

CDockPageBar* CDockPageBar::DetachPage(int index) {
  if (GetPageCount() < 2 || GetPage(index) == nullptr) return nullptr;
  auto* frame = qobject_cast<QMainWindow*>(parentWidget());
  auto* bar = new CDockPageBar(frame);
  if (!bar->Create(QStringLiteral("New Bar"), frame, GetFloatSize(), true, kNewBarID,
                   GetBarStyle() | kTooltips | kFlyBy | kSizeDynamic)) {
    qDebug("Failed to create mybar");
    delete bar;
    return nullptr;
  }
  bar->EnableDocking(Qt::AllDockWidgetAreas);
  const QString title = GetPageTitle(index);
  const QIcon icon = GetPageIcon(index);
  bar->AddPage(RemovePage(index), title, icon);
  Qt::DockWidgetArea area = frame->dockWidgetArea(this);
  if (area == Qt::NoDockWidgetArea) area = Qt::BottomDockWidgetArea;
  frame->addDockWidget(area, bar);
  bar->setFloating(true);
  bar->resize(bar->GetFloatSize());
  bar->show();
  if (CAutoHideFrame* autoHideFrame = Frame()) autoHideFrame->AdoptNewBar(bar);
  return bar;
}

bool CDockPageBar::SetAutoHide(bool autoHide) {
  CAutoHideFrame* frame = Frame();
  return frame != nullptr && frame->SetAutoHide(this, autoHide);
}

bool CDockPageBar::IsAutoHide() const {
  const CAutoHideFrame* frame = Frame();
  return frame != nullptr && frame->IsAutoHidden(this);
}

QWidget* CDockPageBar::Content() const {
  return m_tabs;
}

void CDockPageBar::ReclaimContent() {
  if (m_tabs == nullptr || m_tabs->parentWidget() == m_body) return;
  m_bodyLayout->addWidget(m_tabs);
  m_tabs->show();
}

bool CDockPageBar::eventFilter(QObject* watched, QEvent* event) {
  if (m_tabs == nullptr || watched != m_tabs->tabBar())
    return CSizingControlBar::eventFilter(watched, event);
  QTabBar* tabBar = m_tabs->tabBar();
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton) {
        m_nDragTab = tabBar->tabAt(mouse->position().toPoint());
        m_ptDragStart = mouse->position().toPoint();
      }
      break;
    }
    case QEvent::MouseMove: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint pos = mouse->position().toPoint();
      // A tab pulled well clear of the tab row becomes a bar of its own.
      if (m_nDragTab >= 0 && (mouse->buttons() & Qt::LeftButton) &&
          !tabBar->rect().adjusted(-16, -16, 16, 16).contains(pos)) {
        const int index = m_nDragTab;
        m_nDragTab = -1;
        if (CDockPageBar* bar = DetachPage(index)) {
          bar->move(mouse->globalPosition().toPoint() - QPoint(20, 10));
          return true;
        }
      }
      break;
    }
    case QEvent::MouseButtonRelease:
      m_nDragTab = -1;
      break;
    default:
      break;
  }
  return CSizingControlBar::eventFilter(watched, event);
}

}  // namespace yelvane
