#pragma once

// Writing the engine's in-memory workbook to disk.

#include <string>
#include <vector>

#include "engine/SheetModel.h"

namespace yelvane {

// Writes `book` as an .xlsx file with libxlsxwriter. False with `error` set
// when the file cannot be written.
bool WriteXlsx(const WorkbookModel& book, const std::string& path, std::string& error);

// Where LibreOffice's soffice is: `preferred` when it names a program, else the
// YELVANE_SOFFICE environment variable, else the PATH and the usual places.
// Empty when none is found.
std::string FindLibreOffice(const std::string& preferred = {});

// Converts `source` with LibreOffice (headless, in a private profile folder,
// killed after `timeoutSeconds`) to `filter` ("xls", "csv:...") in `outDir`.
// Returns the produced file's path, or "" with `error` set.
std::string ConvertWithLibreOffice(const std::string& soffice, const std::string& source,
                                   const std::string& filter, const std::string& extension,
                                   const std::string& outDir, int timeoutSeconds,
                                   std::string& error);

// Clears the "show gridlines" flag in the window record of every sheet whose
// entry in `hidden` is true (sheets in workbook order) of a 97-2003 workbook.
bool HideGridlinesInXls(const std::string& path, const std::vector<bool>& hidden,
                        std::string& error);

// The whole save: .xlsx directly, or .xls through LibreOffice.
bool SaveWorkbookFile(const WorkbookModel& book, const std::string& path, bool xls,
                      const std::string& soffice, int timeoutSeconds, std::string& error);

}  // namespace yelvane
