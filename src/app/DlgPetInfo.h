#pragma once

// The Pet Information dialog: edits the main window's three pet strings.
// It copies them in when it opens and writes them back on OK only.
//
// Names: the design's given names keep their m_ prefixes (m_wndLog, m_strPetName); members of
// our own end in _ (gate_).

#include <QDialog>

#include <string>

class QLineEdit;

namespace yelvane {

class CMainFrame;

class CDlgPetInfo final : public QDialog {
  Q_OBJECT
 public:
  explicit CDlgPetInfo(CMainFrame& frame, QWidget* parent = nullptr);

  // Control ids of the three edits.
  static constexpr int kNameEdit = 1001;
  static constexpr int kOwnerEdit = 1002;
  static constexpr int kLocationEdit = 1003;
  QLineEdit* Edit(int id) const;

  void accept() override;

  std::string m_strPetName;
  std::string m_strPetOwner;
  std::string m_strPetLocation;

 private:
  CMainFrame& frame_;
  QLineEdit* name_;
  QLineEdit* owner_;
  QLineEdit* location_;
};

}  // namespace yelvane
