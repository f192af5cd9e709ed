#include "operations/UnitDialog.h"

#include <algorithm>

namespace yelvane {

std::vector<std::string> RecordingDialogObserver::Texts(ProgressCode code) const {
  std::vector<std::string> texts;
  for (const Event& event : events)
    if (event.code == code) texts.push_back(event.text);
  return texts;
}

bool RecordingDialogObserver::Has(ProgressCode code) const {
  return std::any_of(events.begin(), events.end(),
                     [code](const Event& event) { return event.code == code; });
}

}  // namespace yelvane
