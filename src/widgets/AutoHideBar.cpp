#include "widgets/AutoHideBar.h"

#include <QBoxLayout>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "widgets/DockPageBar.h"

namespace yelvane {
namespace {

constexpr int kIconSize = 16;
constexpr int kTabPadding = 6;

QFont TabFont() {
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(8);
  return font;
}

}  // namespace

// ---------------------------------------------------------------------------
// CAutoHideTab

CAutoHideTab::CAutoHideTab(CDockPageBar* bar, int page, Qt::Orientation orientation,
                           QWidget* parent)
    : QAbstractButton(parent), m_bar(bar), m_nPage(page), m_orientation(orientation) {
  setFont(TabFont());
  setFocusPolicy(Qt::NoFocus);
  if (bar != nullptr) {
    setText(bar->GetPageTitle(page));
    setIcon(bar->GetPageIcon(page));
  }
}

QSize CAutoHideTab::sizeHint() const {
  const int textWidth = fontMetrics().horizontalAdvance(text());
  const int iconWidth = icon().isNull() ? 0 : kIconSize + 4;
  const int length = kTabPadding * 2 + iconWidth + textWidth;
  const int thickness = qMax(fontMetrics().height(), kIconSize) + 8;
  return m_orientation == Qt::Horizontal ? QSize(length, thickness) : QSize(thickness, length);
}

void CAutoHideTab::enterEvent(QEnterEvent* event) {
  m_bHot = true;
  update();
  emit entered();
  QAbstractButton::enterEvent(event);
}

void CAutoHideTab::leaveEvent(QEvent* event) {
  m_bHot = false;
  update();
  emit left();
  QAbstractButton::leaveEvent(event);
}

void CAutoHideTab::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  QRect box = rect().adjusted(0, 0, -1, -1);
  painter.setPen(palette().color(QPalette::Mid));
  painter.setBrush(m_bHot ? palette().color(QPalette::Light) : palette().color(QPalette::Button));
  painter.drawRect(box);
  // Accent on the side facing the frame's edge, like a tab hanging off it.
  painter.fillRect(m_orientation == Qt::Horizontal ? QRect(box.left(), box.top(), box.width(), 2)
                                                   : QRect(box.left(), box.top(), 2, box.height()),
                   palette().color(QPalette::Highlight));

  // Lay the content out along the strip; the side strips are drawn turned.
  if (m_orientation == Qt::Vertical) {
    painter.translate(width(), 0);
    painter.rotate(90);
  }
  const int length = m_orientation == Qt::Horizontal ? width() : height();
  const int thickness = m_orientation == Qt::Horizontal ? height() : width();
  int x = kTabPadding;
  if (!icon().isNull()) {
    painter.drawPixmap(x, (thickness - kIconSize) / 2, icon().pixmap(kIconSize, kIconSize));
    x += kIconSize + 4;
  }
  painter.setPen(palette().color(QPalette::ButtonText));
  painter.setFont(font());
  painter.drawText(QRect(x, 0, length - x - kTabPadding / 2, thickness),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

// ---------------------------------------------------------------------------
// CAutoHideBar

CAutoHideBar::CAutoHideBar(Qt::DockWidgetArea area, QWidget* parent)
    : QToolBar(parent), m_area(area) {
  setObjectName(QStringLiteral("AutoHideStrip%1").arg(static_cast<int>(area)));
  setWindowTitle(QStringLiteral("Auto Hide"));
  setMovable(false);
  setFloatable(false);
  setContextMenuPolicy(Qt::PreventContextMenu);
  const bool horizontal = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
  setOrientation(horizontal ? Qt::Horizontal : Qt::Vertical);
  setFont(TabFont());
  layout()->setSpacing(2);
  setContentsMargins(1, 1, 1, 1);
  toggleViewAction()->setVisible(false);
}

void CAutoHideBar::AddBar(CDockPageBar* bar) {
  if (bar == nullptr) return;
  for (int page = 0; page < bar->GetPageCount(); ++page) {
    auto* tab = new CAutoHideTab(bar, page, orientation(), this);
    QAction* action = addWidget(tab);
    m_tabs.append({bar, tab, action});
    emit tabCreated(tab);
  }
  setVisible(!m_tabs.isEmpty());
}

void CAutoHideBar::RemoveBar(CDockPageBar* bar) {
  for (qsizetype i = m_tabs.size() - 1; i >= 0; --i) {
    if (m_tabs[i].bar != bar) continue;
    removeAction(m_tabs[i].action);
    delete m_tabs[i].tab;
    m_tabs.removeAt(i);
  }
  setVisible(!m_tabs.isEmpty());
}

void CAutoHideBar::RefreshBar(CDockPageBar* bar) {
  RemoveBar(bar);
  AddBar(bar);
}

QList<CAutoHideTab*> CAutoHideBar::Tabs(const CDockPageBar* bar) const {
  QList<CAutoHideTab*> tabs;
  for (const Entry& entry : m_tabs)
    if (bar == nullptr || entry.bar == bar) tabs.append(entry.tab);
  return tabs;
}

// ---------------------------------------------------------------------------
// CPaneSizer

CPaneSizer::CPaneSizer(Qt::Orientation orientation, QWidget* parent) : QWidget(parent) {
  SetOrientation(orientation);
}

void CPaneSizer::SetOrientation(Qt::Orientation orientation) {
  // Horizontal: the handle lies along a horizontal edge and moves up/down.
  m_orientation = orientation;
  setCursor(orientation == Qt::Horizontal ? Qt::SizeVerCursor : Qt::SizeHorCursor);
  if (orientation == Qt::Horizontal)
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  else
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
  updateGeometry();
}

QSize CPaneSizer::sizeHint() const {
  return QSize(5, 5);
}

void CPaneSizer::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  m_bDragging = true;
  m_ptLast = event->globalPosition().toPoint();
}

void CPaneSizer::mouseMoveEvent(QMouseEvent* event) {
  if (!m_bDragging) return;
  const QPoint now = event->globalPosition().toPoint();
  const QPoint delta = now - m_ptLast;
  m_ptLast = now;
  if (!delta.isNull()) emit dragged(delta);
}

void CPaneSizer::mouseReleaseEvent(QMouseEvent* /*event*/) {
  m_bDragging = false;
}

// ---------------------------------------------------------------------------
// CAutoHidePane

CAutoHidePane::CAutoHidePane(QWidget* parent)
    : QFrame(parent),
      m_caption(new CBarCaption(this)),
      m_sizer(new CPaneSizer(Qt::Horizontal, this)),
      m_inner(new QWidget(this)),
      m_outerLayout(new QBoxLayout(QBoxLayout::BottomToTop, this)),
      m_innerLayout(new QVBoxLayout(m_inner)) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Raised);
  setAutoFillBackground(true);
  m_outerLayout->setContentsMargins(1, 1, 1, 1);
  m_outerLayout->setSpacing(0);
  m_outerLayout->addWidget(m_inner, 1);
  m_outerLayout->addWidget(m_sizer);
  m_innerLayout->setContentsMargins(0, 0, 0, 0);
  m_innerLayout->setSpacing(0);
  m_innerLayout->addWidget(m_caption);
  m_caption->PinButton()->SetKind(CCaptionButton::kUnpinned);
  hide();
}

void CAutoHidePane::SetBar(CDockPageBar* bar, Qt::DockWidgetArea area) {
  if (m_bar != bar) Release();
  m_bar = bar;
  m_area = area;
  // The sizing edge faces the middle of the frame.
  switch (area) {
    case Qt::TopDockWidgetArea:
      m_outerLayout->setDirection(QBoxLayout::TopToBottom);
      m_sizer->SetOrientation(Qt::Horizontal);
      break;
    case Qt::LeftDockWidgetArea:
      m_outerLayout->setDirection(QBoxLayout::LeftToRight);
      m_sizer->SetOrientation(Qt::Vertical);
      break;
    case Qt::RightDockWidgetArea:
      m_outerLayout->setDirection(QBoxLayout::RightToLeft);
      m_sizer->SetOrientation(Qt::Vertical);
      break;
    default:
      m_outerLayout->setDirection(QBoxLayout::BottomToTop);
      m_sizer->SetOrientation(Qt::Horizontal);
      break;
  }
  if (bar == nullptr) return;
  m_caption->SetTitle(bar->windowTitle());
  QWidget* content = bar->Content();
  if (content != nullptr && content->parentWidget() != m_inner) {
    m_innerLayout->addWidget(content, 1);
    content->show();
  }
}

void CAutoHidePane::Release() {
  if (m_bar != nullptr) m_bar->ReclaimContent();
  m_bar = nullptr;
}

void CAutoHidePane::enterEvent(QEnterEvent* event) {
  emit entered();
  QFrame::enterEvent(event);
}

void CAutoHidePane::leaveEvent(QEvent* event) {
  emit left();
  QFrame::leaveEvent(event);
}

}  // namespace yelvane
