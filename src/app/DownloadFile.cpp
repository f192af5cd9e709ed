#include "app/DownloadFile.h"

#include <QDir>
#include <QFileDialog>

namespace yelvane {

std::optional<std::string> DownloadFileDialog::ChooseDownload(const std::string& folder) {
  QFileDialog dialog(owner_, QStringLiteral("Open Download"), QString::fromStdString(folder),
                     QString::fromUtf8(kDownloadFilter));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(dialog.selectedFiles().constFirst()).toStdString();
}

}  // namespace yelvane
