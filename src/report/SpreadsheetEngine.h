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

#include "report/Dispatch.h"
#include "report/SheetModel.h"

namespace yelvane {

struct EngineOptions {
  std::string version = "16.0";      // what Application.Version reports
  int sheetsInNewWorkbook = 3;       // the application's default
  std::string sofficePath;           // LibreOffice for .xls; empty: look it up
  int conversionTimeoutSeconds = 0;  // 0: scaled to the workbook's size
  // Told why a SaveAs failed (the status code alone says little).
  std::function<void(const std::string&)> diagnostic;
};

struct EngineState;

// The Application object. Keep the returned pointer for as long as any
// object obtained from it is used.
class EngineApplication;
std::shared_ptr<EngineApplication> CreateEngineApplication(const EngineOptions& options);

// The workbooks an engine application holds (for tests and diagnostics).
const std::vector<std::shared_ptr<WorkbookModel>>& EngineWorkbooks(const EngineApplication& app);
std::shared_ptr<Dispatch> AsDispatch(const std::shared_ptr<EngineApplication>& app);

}  // namespace yelvane
