#pragma once

// The one fix the 97-2003 files LibreOffice writes need: its export shows
// the gridlines of every sheet, whatever the workbook said.

#include <string>
#include <vector>

namespace yelvane {

// Clears the "show gridlines" flag in the window record of every sheet whose
// entry in `hidden` is true (sheets in workbook order) of a 97-2003 workbook.
// The file keeps its size; every other byte stays as it was.
bool HideGridlinesInXls(const std::string& path, const std::vector<bool>& hidden,
                        std::string& error);

}  // namespace yelvane
