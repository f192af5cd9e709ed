#pragma once

// Names: this toolkit's members keep the m_ and type prefixes of the widgets the design names
// (m_szHorz, m_clrText); members of our own elsewhere end in _.

#include <QAbstractButton>
#include <QFrame>
#include <QList>
#include <QPointer>
#include <QToolBar>

class QBoxLayout;
class QVBoxLayout;

namespace yelvane {

class CBarCaption;
class CDockPageBar;

// One tab of an auto-hide strip: the icon and title of one page of a
// collapsed bar, written sideways on the left and right strips.
class CAutoHideTab : public QAbstractButton {
  Q_OBJECT

 public:
  CAutoHideTab(CDockPageBar* bar, int page, Qt::Orientation orientation, QWidget* parent = nullptr);
  CDockPageBar* Bar() const { return m_bar; }
  int Page() const { return m_nPage; }
  QSize sizeHint() const override;

 signals:
  void entered();
  void left();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QPointer<CDockPageBar> m_bar;
  int m_nPage;
  Qt::Orientation m_orientation;
  bool m_bHot = false;
};

// Strip of tabs along one edge of the frame, one tab per page of every bar
// collapsed on that side. Hidden while it holds no tab.
class CAutoHideBar : public QToolBar {
  Q_OBJECT

 public:
  CAutoHideBar(Qt::DockWidgetArea area, QWidget* parent = nullptr);
  Qt::DockWidgetArea Area() const { return m_area; }

  void AddBar(CDockPageBar* bar);
  void RemoveBar(CDockPageBar* bar);
  // Rebuilds the tabs of a bar whose pages changed.
  void RefreshBar(CDockPageBar* bar);
  QList<CAutoHideTab*> Tabs(const CDockPageBar* bar = nullptr) const;
  bool IsEmpty() const { return m_tabs.isEmpty(); }

 signals:
  void tabCreated(CAutoHideTab* tab);

 private:
  struct Entry {
    CDockPageBar* bar;
    CAutoHideTab* tab;
    QAction* action;
  };
  Qt::DockWidgetArea m_area;
  QList<Entry> m_tabs;
};

// Thin handle on the inner edge of a shown pane; dragging it resizes the pane.
class CPaneSizer : public QWidget {
  Q_OBJECT

 public:
  CPaneSizer(Qt::Orientation orientation, QWidget* parent = nullptr);
  void SetOrientation(Qt::Orientation orientation);
  QSize sizeHint() const override;

 signals:
  void dragged(QPoint delta);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  Qt::Orientation m_orientation;
  QPoint m_ptLast;
  bool m_bDragging = false;
};

// The pane a collapsed bar shows over the frame: its caption (pin to dock it
// again, close), the bar's pages borrowed for the while, and a sizing edge.
class CAutoHidePane : public QFrame {
  Q_OBJECT

 public:
  explicit CAutoHidePane(QWidget* parent = nullptr);

  // Borrows the pages of `bar`, returning those of the previous bar first.
  void SetBar(CDockPageBar* bar, Qt::DockWidgetArea area);
  // Gives the pages back to their bar.
  void Release();
  // Drops a bar that is going away; its pages go with it.
  void Forget() { m_bar = nullptr; }
  CDockPageBar* Bar() const { return m_bar; }
  Qt::DockWidgetArea Area() const { return m_area; }
  CBarCaption* Caption() const { return m_caption; }
  CPaneSizer* Sizer() const { return m_sizer; }

 signals:
  void entered();
  void left();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QPointer<CDockPageBar> m_bar;
  Qt::DockWidgetArea m_area = Qt::BottomDockWidgetArea;
  CBarCaption* m_caption;
  CPaneSizer* m_sizer;
  QWidget* m_inner;
  QBoxLayout* m_outerLayout;
  QVBoxLayout* m_innerLayout;
};

}  // namespace yelvane
