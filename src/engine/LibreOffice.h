#pragma once

// LibreOffice run headless to convert a workbook ("xls" for the 97-2003
// format, "csv:..." for a sheet as text).

#include <string>

namespace yelvane {

// Where LibreOffice's soffice is: `preferred` when it names a program, else the
// YELVANE_SOFFICE environment variable, else the PATH and the usual places.
// Empty when none is found.
std::string FindLibreOffice(const std::string& preferred = {});

// The address space each LibreOffice process of a conversion may take (0: no
// limit). 256 session sheets take about 1.7 GB of it; with our own process the
// export stays under 2 GB, and a bigger workbook fails instead of swapping.
inline constexpr int kDefaultConversionMemoryMB = 1900;

// Converts `source` with LibreOffice (headless, in a private profile folder,
// killed after `timeoutSeconds`, its address space limited to
// `memoryLimitMB`) to `filter` ("xls", "csv:...") in `outDir`. Returns the
// produced file's path, or "" with `error` set.
std::string ConvertWithLibreOffice(const std::string& soffice, const std::string& source,
                                   const std::string& filter, const std::string& extension,
                                   const std::string& outDir, int timeoutSeconds,
                                   std::string& error,
                                   int memoryLimitMB = kDefaultConversionMemoryMB);

}  // namespace yelvane
