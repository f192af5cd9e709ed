#pragma once

#include <string>

namespace yelvane {

// The pet strings shown in the toolbar and written at the top of reports.
struct PetInfo {
  std::string name{};
  std::string owner{};
  std::string location{};
};

}  // namespace yelvane
