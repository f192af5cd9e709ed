#pragma once

// The About box: program version and the attached unit's firmware version.
//
// Names: the design's given names keep their m_ prefixes (m_wndLog, m_strPetName); members of
// our own end in _ (gate_).

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QLabel;

namespace yelvane {

// The text of the firmware version field, or nothing (field left empty) when
// the unit does not answer.
using FirmwareTextReader = std::function<std::optional<std::string>()>;

class CAboutDlg final : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(const FirmwareTextReader& readFirmware, QWidget* parent = nullptr);

  // Label 1004: the firmware version text.
  QLabel* FirmwareLabel() const { return firmware_; }

 private:
  QLabel* firmware_;
};

}  // namespace yelvane
