#pragma once

#include <cstdio>
#include <string>

#include "common/Sinks.h"

namespace yelvane {

// The log pane on a terminal: one line per message on stderr; a leading "\n"
// leaves an empty line as in the pane, and clearing the log prints nothing.
class StderrLog final : public LogSink {
 public:
  void SetLogText(const std::string& text) override {
    if (!text.empty() && text != " ") Write(text);
  }
  void AppendLog(const std::string& text, bool) override { Write(text); }

 private:
  static void Write(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    std::fprintf(stderr, "%s\n", text.c_str());
  }
};

}  // namespace yelvane
