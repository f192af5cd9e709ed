#include "app/DlgPetInfo.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include "app/DialogUnits.h"
#include "app/MainFrm.h"

namespace yelvane {

CDlgPetInfo::CDlgPetInfo(CMainFrame& frame, QWidget* parent)
    : QDialog(parent),
      frame_(frame),
      name_(new QLineEdit(this)),
      owner_(new QLineEdit(this)),
      location_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Pet Information"));
  setFont(QFont(QStringLiteral("Tahoma"), 10));
  const DialogUnits du(font());
  setFixedSize(du.X(234), du.Y(105));

  const struct {
    const char* caption;
    int y;
  } captions[] = {{"Pet Name: ", 18}, {"Pet Owner: ", 39}, {"Pet Location: ", 60}};
  for (const auto& c : captions)
    du.Place(new QLabel(QString::fromUtf8(c.caption), this), 27, c.y, 53, 10);
  du.Place(name_, 87, 16, 118, 15);
  du.Place(owner_, 87, 37, 118, 15);
  du.Place(location_, 87, 58, 118, 15);
  // Control characters (a pasted line break, a tab, an escape) would forge
  // lines of the text report: the fields take none.
  auto* printable = new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[^\\x{0}-\\x{1f}\\x{7f}]*")), this);
  for (QLineEdit* edit : {name_, owner_, location_}) edit->setValidator(printable);
  name_->setObjectName(QStringLiteral("edit1001"));
  owner_->setObjectName(QStringLiteral("edit1002"));
  location_->setObjectName(QStringLiteral("edit1003"));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  du.Place(ok, 64, 84, 50, 14);
  du.Place(cancel, 119, 84, 50, 14);
  ok->setDefault(true);
  ok->setAutoDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  setTabOrder(name_, owner_);
  setTabOrder(owner_, location_);
  setTabOrder(location_, ok);
  setTabOrder(ok, cancel);

  // Opening: the main window's strings, focus on the name.
  m_strPetName = frame_.Pet().name;
  m_strPetOwner = frame_.Pet().owner;
  m_strPetLocation = frame_.Pet().location;
  name_->setText(QString::fromStdString(m_strPetName));
  owner_->setText(QString::fromStdString(m_strPetOwner));
  location_->setText(QString::fromStdString(m_strPetLocation));
  name_->setFocus();
}

QLineEdit* CDlgPetInfo::Edit(int id) const {
  switch (id) {
    case kNameEdit:
      return name_;
    case kOwnerEdit:
      return owner_;
    case kLocationEdit:
      return location_;
    default:
      return nullptr;
  }
}

void CDlgPetInfo::accept() {
  // Texts are kept exactly as typed, blanks included.
  m_strPetName = name_->text().toStdString();
  m_strPetOwner = owner_->text().toStdString();
  m_strPetLocation = location_->text().toStdString();
  frame_.SetPet({.name = m_strPetName, .owner = m_strPetOwner, .location = m_strPetLocation});
  frame_.RefreshPetLabels();
  QDialog::accept();
}

}  // namespace yelvane
