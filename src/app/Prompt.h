#pragma once

// Message boxes and Yes/No questions of the main window. The real one shows
// Qt message boxes; tests put a scripted one in its place.
//
// Names: the design's given names keep their m_ prefixes (m_wndLog, m_strPetName); members of
// our own end in _ (gate_).

#include <QString>

#include "common/Sinks.h"

class QWidget;

namespace yelvane {

inline constexpr const char* kAppTitle = "Yelvane";

class BoxPrompt final : public MessageSink {
 public:
  explicit BoxPrompt(QWidget* owner) : owner_(owner) {}
  // An OK box titled with the application title.
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void ShowCaptioned(const std::string& text, const std::string& caption,
                     MessageIcon icon) override;

 private:
  QWidget* owner_;
};

}  // namespace yelvane
