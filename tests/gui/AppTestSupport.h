#pragma once

// Helpers shared by the GUI tests of the main window.

#include <QApplication>
#include <QDialog>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "common/Sinks.h"

namespace yelvane::test {

// Answers questions from a script and records every box shown.
class ScriptedPrompt final : public MessageSink {
 public:
  struct Box {
    std::string text;
    std::string caption;  // empty for a message
  };
  void ShowMessage(const std::string& text, MessageIcon) override { boxes.push_back({text, {}}); }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    boxes.push_back({text, caption});
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<bool> answers;
  std::vector<Box> boxes;
};

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

}  // namespace yelvane::test
