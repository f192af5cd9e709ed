#pragma once

// Helpers shared by the GUI tests.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

namespace yelvane::test {

// The log as lines, without the empty remainder after the last break.
inline std::vector<std::string> LogLines(const QPlainTextEdit* log) {
  std::vector<std::string> lines;
  const QStringList parts = log->toPlainText().split(QLatin1Char('\n'));
  for (const QString& part : parts) lines.push_back(part.toStdString());
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// Runs `act` on the next modal dialog of type T once it is up.
template <class T>
void WhenModal(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(dialog);
    }
  });
  timer->start();
}

// Set YELVANE_WIDGET_SHOTS to a folder to keep a PNG of the widgets the tests
// build, for looking at them by eye.
inline void SaveShot(QWidget& widget, const QString& name) {
  const QString dir = qEnvironmentVariable("YELVANE_WIDGET_SHOTS");
  if (dir.isEmpty()) return;
  widget.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

}  // namespace yelvane::test
