#pragma once

// Names: this toolkit's members keep the m_ and type prefixes of the widgets the design names
// (m_szHorz, m_clrText); members of our own elsewhere end in _.

#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QTimer>

namespace yelvane {

class CAutoHideBar;
class CAutoHidePane;
class CAutoHideTab;
class CDockPageBar;

// Main window whose page bars can collapse to a strip of tabs at the frame's
// edge. Pointing at or clicking a tab shows the bar's pane over the frame;
// the pane hides again once the pointer has been away from it (and the
// keyboard focus out of it) for the auto-hide delay.
class CAutoHideFrame : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kDefaultAutoHideDelayMs = 800;

  explicit CAutoHideFrame(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
  ~CAutoHideFrame() override;

  // Docking on the given sides, with an auto-hide strip on each.
  void EnableDocking(Qt::DockWidgetAreas areas);
  // Docks a bar on one side at its stored size.
  void DockControlBar(QDockWidget* bar, Qt::DockWidgetArea area = Qt::BottomDockWidgetArea);

  // Collapses a docked bar to its side's strip, or puts it back in place.
  bool SetAutoHide(CDockPageBar* bar, bool autoHide);
  bool IsAutoHidden(const CDockPageBar* bar) const;

  // Shows a collapsed bar over the frame (with page `page` in front when it
  // is not -1), and hides it again.
  void ShowAutoHidePane(CDockPageBar* bar, int page = -1);
  void HideAutoHidePane();
  // The collapsed bar being shown, or nullptr.
  CDockPageBar* ShownAutoHideBar() const;

  void SetAutoHideDelay(int milliseconds);
  int AutoHideDelay() const { return m_hideTimer.interval(); }

  CAutoHideBar* AutoHideStrip(Qt::DockWidgetArea area) const { return m_strips.value(area); }
  CAutoHidePane* AutoHidePane() const { return m_pane; }

  // Bars made by dragging a page out of another bar.
  QList<CDockPageBar*> NewBars() const;
  void AdoptNewBar(CDockPageBar* bar);

  // Called by a bar's destructor, while it is still a whole bar.
  void OnBarDestroyed(CDockPageBar* bar);

  QMenu* createPopupMenu() override;

 signals:
  void autoHideChanged(yelvane::CDockPageBar* bar, bool autoHidden);
  void autoHidePaneShown(yelvane::CDockPageBar* bar);
  void autoHidePaneHidden();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  CAutoHideBar* Strip(Qt::DockWidgetArea area);
  // Takes a bar off its strip and forgets its connections.
  void DropCollapsed(CDockPageBar* bar);
  void ConnectTab(CAutoHideTab* tab);
  void LayoutPane();
  void StartHideTimer();
  void OnHideTimer();
  void OnPaneSizerDragged(QPoint delta);

  struct Collapsed {
    CDockPageBar* bar;
    Qt::DockWidgetArea area;
    QList<QMetaObject::Connection> connections;
  };
  QList<Collapsed> m_collapsed;
  QMap<Qt::DockWidgetArea, CAutoHideBar*> m_strips;
  CAutoHidePane* m_pane;
  QTimer m_hideTimer;
  bool m_bTabHovered = false;
  bool m_bPaneHovered = false;
  QMetaObject::Connection m_focusConnection;
  QList<QPointer<CDockPageBar>> m_newBars;
};

}  // namespace yelvane
