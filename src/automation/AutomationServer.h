#pragma once

// How the workbook report reaches the spreadsheet application: Excel through
// COM on Windows (ComAutomation.h), the built-in engine everywhere
// (engine/SpreadsheetEngine.h).

#include <memory>
#include <string>

#include "automation/Dispatch.h"

namespace yelvane {

inline constexpr const char* kClassLookupFailed = "CLSIDFromProgID() failed";
inline constexpr const char* kNotRegistered = "Excel not registered properly";

class AutomationServer {
 public:
  virtual ~AutomationServer() = default;
  // Checked before any work; a non-empty answer is shown and nothing happens.
  virtual std::string CheckTarget(const std::string& path) { return (void)path, std::string(); }
  virtual void Initialize() {}
  // The class id of "Excel.Application".
  virtual bool LookUpClass() = 0;
  // A new, invisible application instance; null when it cannot be created.
  virtual std::shared_ptr<Dispatch> CreateInstance() = 0;
  virtual void Uninitialize() {}
};

}  // namespace yelvane
