#pragma once

// Saving the engine's in-memory workbook: .xlsx directly, the 97-2003 format
// (.xls) through LibreOffice.

#include <string>

#include "engine/LibreOffice.h"
#include "engine/SheetModel.h"

namespace yelvane {

// The whole save. For .xls: the .xlsx in a scratch folder, LibreOffice's
// conversion (within `memoryLimitMB`; `timeoutSeconds` 0: scaled to the workbook's size), the
// gridline fix, then the move to `path`.
bool SaveWorkbookFile(const WorkbookModel& book, const std::string& path, bool xls,
                      const std::string& soffice, int timeoutSeconds, std::string& error,
                      int memoryLimitMB = kDefaultConversionMemoryMB);

}  // namespace yelvane
