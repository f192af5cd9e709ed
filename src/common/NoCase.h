#pragma once

// Names compared the way the Windows programs this one works with compare
// them: ASCII letters without regard to case (file names, automation member
// names, sheet names).

#include <string>
#include <string_view>

namespace yelvane {

bool EqualNoCase(std::string_view a, std::string_view b);

// True when `name` ends with `suffix` (".xls"), ASCII letters in any case.
bool EndsWithNoCase(std::string_view name, std::string_view suffix);

// The extension of the path's last part, dot included and in lower case
// ("Rex.XLSX" -> ".xlsx"); "" when it has none.
std::string LowerExtension(const std::string& path);

}  // namespace yelvane
