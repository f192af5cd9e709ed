#include "widgets/SizingControlBar.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QResizeEvent>
#include <QSettings>
#include <QTimer>

namespace yelvane {
namespace {

bool IsHorizontalArea(Qt::DockWidgetArea area) {
  return area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
}

}  // namespace

CSizingControlBar::CSizingControlBar(QWidget* parent) : QDockWidget(parent) {
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
              QDockWidget::DockWidgetFloatable);
  connect(this, &QDockWidget::dockLocationChanged, this, [this] { OnLocationChanged(); });
  connect(this, &QDockWidget::topLevelChanged, this,
          [this](bool floating) { OnTopLevelChanged(floating); });
}

bool CSizingControlBar::Create(const QString& title, QMainWindow* parent, const QSize& defaultSize,
                               bool hasGripper, int id, unsigned style) {
  if (parent == nullptr || !defaultSize.isValid()) return false;
  if (parentWidget() != parent) setParent(parent);
  setWindowTitle(title);
  // The object name lets the frame's own state saving tell the bars apart.
  setObjectName(QStringLiteral("SCBar-%1").arg(id));
  m_nID = id;
  m_bGripper = hasGripper;
  m_szHorz = m_szVert = m_szFloat = defaultSize;
  if (!hasGripper) setTitleBarWidget(new QWidget(this));
  SetBarStyle(style);
  return true;
}

void CSizingControlBar::SetBarStyle(unsigned style) {
  m_nStyle = style;
}

void CSizingControlBar::EnableDocking(Qt::DockWidgetAreas areas) {
  setAllowedAreas(areas);
}

QSize CSizingControlBar::SizeFor(Qt::DockWidgetArea area) const {
  return IsHorizontalArea(area) ? m_szHorz : m_szVert;
}

void CSizingControlBar::ApplyStoredSize() {
  if (isFloating()) {
    resize(m_szFloat);
    return;
  }
  auto* frame = qobject_cast<QMainWindow*>(parentWidget());
  if (frame == nullptr) return;
  const Qt::DockWidgetArea area = frame->dockWidgetArea(this);
  if (area == Qt::NoDockWidgetArea) return;
  if (IsHorizontalArea(area))
    frame->resizeDocks({this}, {m_szHorz.height()}, Qt::Vertical);
  else
    frame->resizeDocks({this}, {m_szVert.width()}, Qt::Horizontal);
}

void CSizingControlBar::OnLocationChanged() {
  m_bRelocating = true;
  // The layout settles the new place first; the stored size goes on top.
  QTimer::singleShot(0, this, [this] {
    ApplyStoredSize();
    m_bRelocating = false;
  });
}

void CSizingControlBar::OnTopLevelChanged(bool floating) {
  if (!floating) return;  // docking reports its new place separately
  OnLocationChanged();
}

void CSizingControlBar::resizeEvent(QResizeEvent* event) {
  QDockWidget::resizeEvent(event);
  if (m_bRelocating || !isVisible()) return;
  if (isFloating()) {
    m_szFloat = event->size();
    return;
  }
  // A docked bar changes size for many reasons (the frame grows, a
  // neighbour docks); only a drag of its edge is the user's choice.
  if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) return;
  auto* frame = qobject_cast<QMainWindow*>(parentWidget());
  if (frame == nullptr) return;
  const Qt::DockWidgetArea area = frame->dockWidgetArea(this);
  if (area == Qt::NoDockWidgetArea) return;
  if (IsHorizontalArea(area))
    m_szHorz = event->size();
  else
    m_szVert = event->size();
}

QString CSizingControlBar::SectionName(const QString& profile, int id) {
  return QString::asprintf("%s-SCBar-%d", profile.toUtf8().constData(), id);
}

void CSizingControlBar::SaveState(QSettings& settings, const QString& profile) const {
  settings.beginGroup(SectionName(profile, m_nID));
  settings.setValue(QStringLiteral("sizeHorzCX"), m_szHorz.width());
  settings.setValue(QStringLiteral("sizeHorzCY"), m_szHorz.height());
  settings.setValue(QStringLiteral("sizeVertCX"), m_szVert.width());
  settings.setValue(QStringLiteral("sizeVertCY"), m_szVert.height());
  settings.setValue(QStringLiteral("sizeFloatCX"), m_szFloat.width());
  settings.setValue(QStringLiteral("sizeFloatCY"), m_szFloat.height());
  settings.endGroup();
}

void CSizingControlBar::LoadState(QSettings& settings, const QString& profile) {
  settings.beginGroup(SectionName(profile, m_nID));
  // A missing or damaged value keeps the size the bar already has.
  auto read = [&settings](const char* key, int fallback) {
    bool ok = false;
    const int value = settings.value(QLatin1String(key), fallback).toInt(&ok);
    return ok && value > 0 ? value : fallback;
  };
  m_szHorz = QSize(read("sizeHorzCX", m_szHorz.width()), read("sizeHorzCY", m_szHorz.height()));
  m_szVert = QSize(read("sizeVertCX", m_szVert.width()), read("sizeVertCY", m_szVert.height()));
  m_szFloat =
      QSize(read("sizeFloatCX", m_szFloat.width()), read("sizeFloatCY", m_szFloat.height()));
  settings.endGroup();
}

}  // namespace yelvane
