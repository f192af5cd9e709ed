#include "app/ReportFile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/Format.h"

namespace yelvane {

std::string DefaultReportFolder() {
#ifdef _WIN32
  return "C:\\Yelvane\\";
#else
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty()) documents = QDir::homePath() + QStringLiteral("/Documents");
  return QDir(documents).filePath(QStringLiteral("Yelvane")).toStdString() + "/";
#endif
}

std::string ProposeReportName(const std::string& folder, const std::string& petName) {
  std::string name = petName;
  std::replace(name.begin(), name.end(), '/', '_');
#ifdef _WIN32
  std::replace(name.begin(), name.end(), '\\', '_');
#endif
  for (int n = 1;; ++n) {
    const std::string candidate = Format("%s%s%04d.xls", folder.c_str(), name.c_str(), n);
    std::error_code ec;
    // Anything under the name counts, a dangling link too.
    if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, ec))) return candidate;
  }
}

namespace {
// "Text Files (*.txt)" -> "txt".
QString FilterExtension(const QString& filter) {
  const QRegularExpressionMatch match =
      QRegularExpression(QStringLiteral("\\(\\*\\.([^)]+)\\)")).match(filter);
  return match.hasMatch() ? match.captured(1) : QString::fromUtf8(kReportDefaultExtension);
}
}  // namespace

std::optional<std::string> ReportFileDialog::ChooseReportFile(const std::string& initialPath) {
  const QFileInfo initial(QString::fromStdString(initialPath));
  QFileDialog dialog(owner_, QStringLiteral("Save As"), initial.path());
  // Qt's own dialog everywhere: the extension rule below holds only there.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  QStringList filters;
  for (const char* filter : kReportFilters) filters << QString::fromUtf8(filter);
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.constFirst());
  // A name typed without extension takes the selected entry's, as the
  // Windows dialog does.
  dialog.setDefaultSuffix(FilterExtension(dialog.selectedNameFilter()));
  QObject::connect(
      &dialog, &QFileDialog::filterSelected, &dialog,
      [&dialog](const QString& filter) { dialog.setDefaultSuffix(FilterExtension(filter)); });
  dialog.selectFile(initial.fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(dialog.selectedFiles().constFirst()).toStdString();
}

}  // namespace yelvane
