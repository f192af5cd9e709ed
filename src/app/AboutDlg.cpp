#include "app/AboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "app/DialogUnits.h"
#include "app/Icons.h"

namespace yelvane {

CAboutDlg::CAboutDlg(const FirmwareTextReader& readFirmware, QWidget* parent)
    : QDialog(parent), firmware_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("About Yelvane"));
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  const DialogUnits du(font());
  setFixedSize(du.X(235), du.Y(92));

  auto* icon = new QLabel(this);
  icon->setPixmap(AppIcon().pixmap(32, 32));
  du.Place(icon, 11, 17, 20, 20);
  icon->resize(32, 32);
  du.Place(new QLabel(QStringLiteral("Yelvane Version " YELVANE_VERSION), this), 40, 30, 168, 8);
  du.Place(new QLabel(QStringLiteral("Bark and activity logger companion"), this), 40, 60, 160, 8);
  du.Place(new QLabel(QStringLiteral("Firmware Version:"), this), 40, 45, 71, 8);
  du.Place(firmware_, 111, 45, 117, 8);
  firmware_->setObjectName(QStringLiteral("label1004"));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  du.Place(ok, 178, 7, 50, 14);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  if (readFirmware) {
    if (const auto text = readFirmware()) firmware_->setText(QString::fromStdString(*text));
  }
}

}  // namespace yelvane
