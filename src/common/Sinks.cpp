#include "common/Sinks.h"

namespace yelvane {

std::string AppendLogText(std::string text, bool newline) {
  const bool endsWithBreak = text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
  if (newline && !endsWithBreak) text += "\r\n";
  return text;
}

}  // namespace yelvane
