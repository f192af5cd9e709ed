// Linux only: udev and sysfs.
#ifndef _WIN32

#include "unit/AccessRule.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/Format.h"

namespace yelvane {

namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute file, when it is four hex digits.
std::optional<std::string> ReadHexId(const fs::path& file) {
  std::ifstream in(file);
  std::string text;
  if (!(in >> text) || text.size() != 4 ||
      !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); })) {
    return std::nullopt;
  }
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The value of KEY=="value" in a rule line, lower-cased; "" when absent.
std::string MatchValue(const std::string& line, const std::string& key) {
  const std::string opening = key + "==\"";
  const std::size_t at = line.find(opening);
  if (at == std::string::npos) return {};
  const std::size_t start = at + opening.size();
  const std::size_t end = line.find('"', start);
  if (end == std::string::npos) return {};
  std::string value = line.substr(start, end - start);
  std::transform(value.begin(), value.end(), value.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return value;
}

}  // namespace

std::optional<UsbIds> FindUsbIds(const std::string& sysPath) {
  std::error_code ec;
  fs::path folder = fs::canonical(sysPath, ec);
  if (ec) return std::nullopt;
  for (;;) {
    if (fs::exists(folder / "idVendor", ec) && fs::exists(folder / "idProduct", ec)) {
      auto vendor = ReadHexId(folder / "idVendor");
      auto product = ReadHexId(folder / "idProduct");
      if (!vendor || !product) return std::nullopt;
      return UsbIds{*vendor, *product};
    }
    if (folder == folder.root_path() || !folder.has_parent_path()) return std::nullopt;
    folder = folder.parent_path();
  }
}

std::string AccessRuleLine(const UsbIds& ids) {
  return Format(
      "SUBSYSTEM==\"block\", ATTRS{idVendor}==\"%s\", ATTRS{idProduct}==\"%s\", "
      "TAG+=\"uaccess\"",
      ids.vendor.c_str(), ids.product.c_str());
}

std::string NewAccessRules(const std::vector<UsbIds>& ids) {
  std::string text =
      "# Written by yelvane-cli setup-access: the user logged in at the seat may\n"
      "# open the drives of the Yelvane logger (its USB vendor and product ids).\n";
  for (const UsbIds& id : ids) text += AccessRuleLine(id) + "\n";
  return text;
}

bool RulesCover(const std::string& rules, const UsbIds& ids) {
  std::istringstream in(rules);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    if (MatchValue(line, "SUBSYSTEM") == "block" &&
        MatchValue(line, "ATTRS{idVendor}") == ids.vendor &&
        MatchValue(line, "ATTRS{idProduct}") == ids.product &&
        line.find("TAG+=\"uaccess\"") != std::string::npos) {
      return true;
    }
  }
  return false;
}

std::string MergeAccessRules(const std::optional<std::string>& existing,
                             const std::vector<UsbIds>& ids, std::vector<UsbIds>& added) {
  added.clear();
  std::string text = existing ? *existing : std::string();
  for (const UsbIds& id : ids) {
    if (RulesCover(text, id)) continue;
    added.push_back(id);
    if (!existing && added.size() == 1) {
      text = NewAccessRules({});
    } else if (!text.empty() && text.back() != '\n') {
      text += '\n';
    }
    text += AccessRuleLine(id) + "\n";
  }
  return text;
}

}  // namespace yelvane

#endif  // _WIN32
