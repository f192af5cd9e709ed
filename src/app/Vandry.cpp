#include "app/Vandry.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/Sinks.h"

namespace yelvane {

namespace {
CVandryApp* g_app = nullptr;
}

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

}  // namespace yelvane
