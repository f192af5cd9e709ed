#pragma once

// Access for the desktop user on Linux: the USB ids of the device a logger's
// block device hangs on, and the udev rule file that tags the block devices
// of those ids "uaccess", so the user logged in at the seat may open them
// without root.

#include <optional>
#include <string>
#include <vector>

namespace yelvane {

// Four hexadecimal digits each, in lower case, as sysfs gives them.
struct UsbIds {
  std::string vendor;
  std::string product;
  friend bool operator==(const UsbIds&, const UsbIds&) = default;
};

inline constexpr const char* kAccessRuleFileName = "70-yelvane.rules";
inline constexpr const char* kSystemRulesDir = "/etc/udev/rules.d";

// Walks up from the real path of `sysPath` (a /sys/block/<disk> folder or one
// of its partitions) to the first folder holding `idVendor` and `idProduct`.
std::optional<UsbIds> FindUsbIds(const std::string& sysPath);

// SUBSYSTEM=="block", ATTRS{idVendor}=="...", ATTRS{idProduct}=="...", TAG+="uaccess"
std::string AccessRuleLine(const UsbIds& ids);

// The rule file a first set-up writes: a comment and one rule per id.
std::string NewAccessRules(const std::vector<UsbIds>& ids);

// Whether a rule of `rules` (comments left out) already gives access to `ids`.
bool RulesCover(const std::string& rules, const UsbIds& ids);

// `existing` (the file as it is; nullopt when there is none) with a rule
// added at its end for every id it does not cover yet; those ids go to
// `added`. Nothing else of the file changes.
std::string MergeAccessRules(const std::optional<std::string>& existing,
                             const std::vector<UsbIds>& ids, std::vector<UsbIds>& added);

}  // namespace yelvane
