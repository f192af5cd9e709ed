#pragma once

// Names: this toolkit's members keep the m_ and type prefixes of the widgets the design names
// (m_szHorz, m_clrText); members of our own elsewhere end in _.

#include <QAbstractButton>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QTabWidget>

#include "widgets/SizingControlBar.h"

class QLabel;
class QTabBar;
class QVBoxLayout;

namespace yelvane {

class CAutoHideFrame;

// Small flat button of a bar caption, drawn by hand so it looks the same on
// every platform: a cross to close, a pin to keep the pane in place.
class CCaptionButton : public QAbstractButton {
  Q_OBJECT

 public:
  enum Kind { kClose, kPinned, kUnpinned };
  explicit CCaptionButton(Kind kind, QWidget* parent = nullptr);
  Kind GetKind() const { return m_kind; }
  void SetKind(Kind kind);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  Kind m_kind;
  bool m_bHot = false;
};

// Caption of a page bar or of an auto-hide pane: the title, then the pin and
// close buttons at the right end.
class CBarCaption : public QWidget {
  Q_OBJECT

 public:
  explicit CBarCaption(QWidget* parent = nullptr);
  void SetTitle(const QString& title);
  QString Title() const;
  CCaptionButton* PinButton() const { return m_btnPin; }
  CCaptionButton* CloseButton() const { return m_btnClose; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QLabel* m_lblTitle;
  CCaptionButton* m_btnPin;
  CCaptionButton* m_btnClose;
};

// Sizing bar with a caption and a set of pages, each a child window with a
// title and an icon. With a single page the tab row is hidden and the page
// fills the bar. Inside a CAutoHideFrame the pin button collapses the bar to
// a tab on the strip along the frame's edge.
class CDockPageBar : public CSizingControlBar {
  Q_OBJECT

 public:
  static constexpr int kNewBarID = 12345;

  explicit CDockPageBar(QWidget* parent = nullptr);
  ~CDockPageBar() override;

  bool Create(const QString& title, QMainWindow* parent, const QSize& defaultSize, bool hasGripper,
              int id, unsigned style = kAlignTop);
  void SetBarStyle(unsigned style) override;

  // The bar takes over `page`; false if there is no page or it is already here.
  bool AddPage(QWidget* page, const QString& title, const QIcon& icon = QIcon());
  // Takes the page out again (it is not deleted); nullptr for a bad index.
  QWidget* RemovePage(int index);
  int GetPageCount() const;
  QWidget* GetPage(int index) const;
  QString GetPageTitle(int index) const;
  QIcon GetPageIcon(int index) const;
  int GetActivePage() const;
  void SetActivePage(int index);

  // Moves one page into a new floating bar "New Bar" of its own (what
  // dragging a tab out of the bar does). nullptr when the page is the last
  // one or the bar cannot be made.
  CDockPageBar* DetachPage(int index);

  // Collapse to or restore from the frame's auto-hide strip.
  bool SetAutoHide(bool autoHide);
  bool IsAutoHide() const;

  CBarCaption* Caption() const { return m_caption; }
  QTabWidget* Pages() const { return m_tabs; }

  // The frame borrows the pages while it shows the bar over itself, and
  // gives them back when done.
  QWidget* Content() const;
  void ReclaimContent();

 signals:
  void pagesChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CAutoHideFrame* Frame() const;
  void UpdateCaption();

  CBarCaption* m_caption = nullptr;
  QWidget* m_body;
  QVBoxLayout* m_bodyLayout;
  QPointer<QTabWidget> m_tabs;
  QTabBar* m_tabBar = nullptr;
  int m_nDragTab = -1;
  QPoint m_ptDragStart;
};

// The bar of the "Process Log" pane: a page bar and nothing more.
class CProcessLogBar : public CDockPageBar {
  Q_OBJECT

 public:
  using CDockPageBar::CDockPageBar;
};

}  // namespace yelvane
