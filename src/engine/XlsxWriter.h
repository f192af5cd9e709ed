#pragma once

// The engine's in-memory workbook written as an .xlsx file with libxlsxwriter.

#include <string>

#include "engine/SheetModel.h"

namespace yelvane {

// Writes `book` to `path`. False with `error` set when the file cannot be
// written; nothing is left behind then.
bool WriteXlsx(const WorkbookModel& book, const std::string& path, std::string& error);

}  // namespace yelvane
