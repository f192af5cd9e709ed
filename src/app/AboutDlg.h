#pragma once

// The About box: program version and the attached unit's firmware version.

#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QLabel;

namespace yelvane {

// The unit's version record (byte 0 minor, byte 1 major), or nothing when
// the unit does not answer.
using FirmwareVersionReader = std::function<std::optional<std::array<uint8_t, 2>>()>;

class CAboutDlg final : public QDialog {
  Q_OBJECT
 public:
  CAboutDlg(bool unitConnected, const FirmwareVersionReader& readVersion,
            QWidget* parent = nullptr);

  // Label 1004: the firmware version text.
  QLabel* FirmwareLabel() const { return firmware_; }

 private:
  QLabel* firmware_;
};

// "1.6" for a record {6, 1}; each number is read as a signed byte.
QString FirmwareVersionText(const std::array<uint8_t, 2>& record);

}  // namespace yelvane
