#pragma once

// LibreOffice run headless to convert a workbook ("xls" for the 97-2003
// format, "csv:..." for a sheet as text).

#include <string>

namespace yelvane {

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

}  // namespace yelvane
