#include "app/Vandry.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/Format.h"
#include "common/Sinks.h"

namespace yelvane {

namespace {
CVandryApp* g_app = nullptr;

bool IsSeparator(char c) {
#ifdef _WIN32
  if (c == '\\') return true;
#endif
  return c == '/';
}

void DropTrailingSeparator(std::string& path) {
  if (!path.empty() && IsSeparator(path.back())) path.pop_back();
}
}  // namespace

CVandryApp::CVandryApp() {
  std::error_code error;
  m_szStartDir = std::filesystem::current_path(error).string();
  g_app = this;
  // Where the Windows fonts are missing, use faces of about their width.
  QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("Liberation Sans")});
  QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), {QStringLiteral("Liberation Sans")});
}

CVandryApp::~CVandryApp() {
  if (g_app == this) g_app = nullptr;
}

CVandryApp* CVandryApp::Instance() {
  return g_app;
}

bool CVandryApp::LoadSessionChart(const SessionTable& table, int n, const std::string& dumpPath) {
  std::FILE* dump = std::fopen(dumpPath.c_str(), "rb");
  if (dump == nullptr) return false;
  yelvane::LoadSessionChart(table, n, dump, chart_);
  std::fclose(dump);
  return true;
}

void CVandryApp::AppendLog(QPlainTextEdit* control, std::string text, bool newline) {
  if (control == nullptr) return;
  text = AppendLogText(std::move(text), newline);
  // The document keeps "\r\n" as one line break.
  QTextCursor cursor(control->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(QString::fromStdString(text));
  QScrollBar* bar = control->verticalScrollBar();
  bar->setValue(bar->maximum());
}

bool CVandryApp::IsFolder(std::string path) {
  DropTrailingSeparator(path);
  std::error_code error;
  // The root alone is left empty by the drop.
  return std::filesystem::is_directory(
      path.empty() ? std::filesystem::path("/") : std::filesystem::path(path), error);
}

void CVandryApp::CreateFolder(std::string path, MessageSink& messages) {
  DropTrailingSeparator(path);
  if (path.empty() || IsFolder(path)) return;
  const std::string message = Format("Error:Can not create directory(%s)!", path.c_str());
  if (path.back() == ':') return;  // a drive root
  const auto show = [&] { messages.ShowCaptioned(message, "Error", MessageIcon::Error); };
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
    show();  // something that is not a folder stands in the way
    return;
  }
  std::size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
  if (cut > 1) CreateFolder(path.substr(0, cut - 1), messages);
  if (!std::filesystem::create_directory(path, error) && !IsFolder(path)) show();
}

}  // namespace yelvane
