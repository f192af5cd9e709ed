#pragma once

// The built-in spreadsheet engine: automation objects that answer, by name
// and with the real application's argument order and status codes, the part
// of the spreadsheet object model that the workbook report uses. SaveAs
// writes the in-memory model with libxlsxwriter (.xlsx) and has LibreOffice
// convert it for the 97-2003 format (.xls).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "automation/AutomationServer.h"
#include "automation/Dispatch.h"
#include "engine/LibreOffice.h"
#include "engine/SheetModel.h"

namespace yelvane {

struct EngineOptions {
  std::string version = "16.0";      // what Application.Version reports
  int sheetsInNewWorkbook = 3;       // the application's default
  std::string sofficePath;           // LibreOffice for .xls; empty: look it up
  int conversionTimeoutSeconds = 0;  // 0: scaled to the workbook's size
  int conversionMemoryMB = kDefaultConversionMemoryMB;
  // Told why a SaveAs failed (the status code alone says little).
  std::function<void(const std::string&)> diagnostic;
};

// The Application object. Keep the returned pointer for as long as any
// object obtained from it is used.
class EngineApplication;
std::shared_ptr<EngineApplication> CreateEngineApplication(const EngineOptions& options);

// The workbooks an engine application holds (for tests and diagnostics).
const std::vector<std::shared_ptr<WorkbookModel>>& EngineWorkbooks(const EngineApplication& app);
std::shared_ptr<Dispatch> AsDispatch(const std::shared_ptr<EngineApplication>& app);

// The built-in engine as the report's application.
class EngineAutomationServer final : public AutomationServer {
 public:
  explicit EngineAutomationServer(EngineOptions options = {}) : options_(std::move(options)) {}
  // The 97-2003 format needs LibreOffice: without it the answer says so.
  std::string CheckTarget(const std::string& path) override;
  bool LookUpClass() override { return true; }
  std::shared_ptr<Dispatch> CreateInstance() override;
  EngineOptions& Options() { return options_; }
  // The last instance created (tests look at its workbooks).
  std::shared_ptr<EngineApplication> LastApplication() const { return last_; }

 private:
  EngineOptions options_;
  std::shared_ptr<EngineApplication> last_;
};

}  // namespace yelvane
