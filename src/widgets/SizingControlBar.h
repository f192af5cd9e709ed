#pragma once

// Names: this toolkit's members keep the m_ and type prefixes of the widgets the design names
// (m_szHorz, m_clrText); members of our own elsewhere end in _.

#include <QDockWidget>
#include <QSize>
#include <QString>

class QMainWindow;
class QSettings;

namespace yelvane {

// Dockable bar the user resizes by dragging its inner edge. It keeps one size
// for docking along the top or bottom, one for the left or right, and one for
// floating, and goes back to the right one whenever it moves.
class CSizingControlBar : public QDockWidget {
  Q_OBJECT

 public:
  // Bar style flags, kept so bars made from other bars can copy them.
  enum BarStyle : unsigned {
    kAlignTop = 0x1,
    kAlignBottom = 0x2,
    kAlignLeft = 0x4,
    kAlignRight = 0x8,
    kTooltips = 0x10,
    kFlyBy = 0x20,
    kSizeDynamic = 0x40,
  };

  explicit CSizingControlBar(QWidget* parent = nullptr);

  // Sets the title, the parent frame, the size used in every state until the
  // user changes it, whether the caption (the gripper) is shown, the control
  // id and the style. Docking happens when the frame docks the bar.
  bool Create(const QString& title, QMainWindow* parent, const QSize& defaultSize, bool hasGripper,
              int id, unsigned style = kAlignTop);

  int GetDlgCtrlID() const { return m_nID; }
  unsigned GetBarStyle() const { return m_nStyle; }
  virtual void SetBarStyle(unsigned style);
  bool HasGripper() const { return m_bGripper; }

  // Allowed docking sides; floating stays possible.
  void EnableDocking(Qt::DockWidgetAreas areas);

  QSize GetHorzSize() const { return m_szHorz; }
  QSize GetVertSize() const { return m_szVert; }
  QSize GetFloatSize() const { return m_szFloat; }
  void SetHorzSize(const QSize& size) { m_szHorz = size; }
  void SetVertSize(const QSize& size) { m_szVert = size; }
  void SetFloatSize(const QSize& size) { m_szFloat = size; }
  // The stored size for docking on `area` (its extent across the edge counts).
  QSize SizeFor(Qt::DockWidgetArea area) const;

  // Gives the bar its stored size for where it is now.
  void ApplyStoredSize();

  // Sizes kept in an application profile, one section per bar:
  // "<profile>-SCBar-<id>" with sizeHorzCX, sizeHorzCY, sizeVertCX, ...
  static QString SectionName(const QString& profile, int id);
  void SaveState(QSettings& settings, const QString& profile) const;
  void LoadState(QSettings& settings, const QString& profile);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OnLocationChanged();
  void OnTopLevelChanged(bool floating);

  int m_nID = 0;
  unsigned m_nStyle = kAlignTop;
  bool m_bGripper = true;
  QSize m_szHorz{200, 100};
  QSize m_szVert{200, 100};
  QSize m_szFloat{200, 100};
  // Set while the bar moves between states: resizes then come from the
  // layout, not from the user, and must not overwrite the stored sizes.
  bool m_bRelocating = false;
};

}  // namespace yelvane
