// setup-access: the one-time set-up (run with sudo) that lets the desktop
// user open the logger's drives: a udev rule for the logger's USB ids.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Terminal.h"
#include "common/FileReplace.h"
#include "common/Format.h"
#include "unit/AccessRule.h"
#include "unit/PosixRawVolume.h"

extern char** environ;

namespace yelvane {

namespace {

namespace fs = std::filesystem;

struct AccessOptions {
  std::string rulesDir;
  bool print = false;
};

std::string IdsText(const std::vector<UsbIds>& ids) {
  std::string text;
  for (const UsbIds& id : ids) {
    if (!text.empty()) text += ", ";
    text += "USB " + id.vendor + ":" + id.product;
  }
  return text;
}

// Runs a program found on PATH with `args`; true when it exited with 0.
bool RunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int error = ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
  std::string command;
  for (const std::string& arg : args) command += (command.empty() ? "" : " ") + arg;
  if (error != 0) {
    StderrLine(Format("Cannot run %s: %s.", command.c_str(), std::strerror(error)));
    return false;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  StderrLine(Format("%s failed.", command.c_str()));
  return false;
}

// The USB ids of every logger the scan finds, each once; kExitOk or the exit
// code after the reason was told.
int FindLoggerIds(std::vector<UsbIds>& ids) {
  const auto drives = SysBlockDriveEnumerator::FromEnvironment();
  const auto verdicts = ScanDrives(*drives);
  std::vector<std::string> loggers;
  for (const auto& [candidate, verdict] : verdicts) {
    if (verdict == DriveVerdict::Logger) loggers.push_back(candidate.root);
  }
  if (loggers.empty()) {
    StderrLine(verdicts.empty() ? "No logger found: no removable drive is plugged in."
                                : "No logger found among the removable drives.");
    for (const std::string& line : DriveTroubleLines(verdicts)) StderrLine(line);
    return kExitFailed;
  }
  for (const std::string& root : loggers) {
    const std::string sysPath = drives->SysPathOf(root);
    const auto found = FindUsbIds(sysPath);
    if (!found) {
      StderrLine(
          Format("The logger on %s is not on a USB device: no idVendor and idProduct "
                 "above %s.",
                 root.c_str(), sysPath.c_str()));
      continue;
    }
    if (std::find(ids.begin(), ids.end(), *found) == ids.end()) ids.push_back(*found);
    StderrLine(Format("Found the logger on %s (USB %s:%s).", root.c_str(), found->vendor.c_str(),
                      found->product.c_str()));
  }
  return ids.empty() ? kExitFailed : kExitOk;
}

int SetupAccess(const CliContext& ctx, const AccessOptions& options) {
  if (ctx.drives.simulate) {
    StderrLine("setup-access works on the real drives, not with --simulate.");
    return kExitUsage;
  }
  const bool system = options.rulesDir.empty();
  const std::string folder = system ? kSystemRulesDir : options.rulesDir;
  const std::string file = (fs::path(folder) / kAccessRuleFileName).string();
  if (system && !options.print && ::geteuid() != 0) {
    StderrLine(Format("Writing %s needs root: run \"%s\".", file.c_str(), kSetupAccessCommand));
    return kExitFailed;
  }

  std::vector<UsbIds> ids;
  if (const int code = FindLoggerIds(ids); code != kExitOk) return code;
  if (options.print) {
    std::fputs(NewAccessRules(ids).c_str(), stdout);
    return kExitOk;
  }

  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    StderrLine(
        Format("Cannot write %s: the folder %s does not exist.", file.c_str(), folder.c_str()));
    return kExitFailed;
  }
  std::optional<std::string> existing;
  if (fs::exists(file, ec)) {
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      StderrLine(Format("Cannot read %s: %s.", file.c_str(), std::strerror(errno)));
      return kExitFailed;
    }
    existing = std::move(text);
  }
  std::vector<UsbIds> added;
  const std::string text = MergeAccessRules(existing, ids, added);
  if (added.empty()) {
    StderrLine(Format("%s already gives access to the logger (%s); nothing changed.", file.c_str(),
                      IdsText(ids).c_str()));
    StderrLine("If the logger is still refused, unplug it and plug it in again.");
    return kExitOk;
  }
  std::string error;
  if (!WriteFileReplacing(file, text, error)) {
    StderrLine(error);
    return kExitFailed;
  }
  // Rules are read by udev and may be read by anyone, like the system's own.
  if (!existing) {
    fs::permissions(file,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::others_read,
                    ec);
  }
  StderrLine(Format("%s the rule for the logger (%s) to %s.", existing ? "Added" : "Wrote",
                    IdsText(added).c_str(), file.c_str()));
  if (system) {
    if (!RunProgram({"udevadm", "control", "--reload-rules"}) ||
        !RunProgram({"udevadm", "trigger", "--subsystem-match=block", "--action=change"})) {
      StderrLine("The rule is written but udev did not take it yet: it applies after a restart.");
      return kExitFailed;
    }
    StderrLine("Reloaded the udev rules and applied them to the block devices.");
  }
  StderrLine(
      "Unplug the logger and plug it in again; then \"yelvane-cli devices\" shows it as logger "
      "without sudo.");
  return kExitOk;
}

}  // namespace

void RegisterAccessCommands(CLI::App& app, CliContext& ctx) {
  auto options = std::make_shared<AccessOptions>();
  CLI::App* setup = app.add_subcommand(
      "setup-access",
      "Let the desktop user open the plugged-in logger (run with sudo): writes the udev rule "
      "70-yelvane.rules for its USB ids, then reloads udev");
  setup
      ->add_option("--rules-dir", options->rulesDir,
                   "Write the rule file into DIR instead of /etc/udev/rules.d (udev is not "
                   "reloaded)")
      ->type_name("DIR");
  setup->add_flag("--print", options->print, "Write the rule to stdout instead of a file");
  setup->callback([&ctx, options] { ctx.exitCode = SetupAccess(ctx, *options); });
}

}  // namespace yelvane
