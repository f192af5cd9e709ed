#pragma once

// yelvane-cli: every operation from a terminal. Log lines go to stderr, data
// to stdout; exit 0 on success, 1 when the operation failed, 2 on bad usage.

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <string>

namespace yelvane {

class DriveEnumerator;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Global options and the state the commands share.
struct CliContext {
  // --simulate (empty string) or --simulate=IMAGE.
  std::optional<std::string> simulate;
  std::optional<std::string> trace;          // --trace=FILE
  std::optional<std::string> simFailSector;  // --sim-fail-sector=N[:K]
  std::optional<unsigned long> simUnplugAfter;
  bool simPlain = false;
  // Set by the command that ran.
  int exitCode = kExitOk;
};

// Each group of commands registers its subcommands and callbacks; a callback
// stores its result in ctx.exitCode.
void RegisterDataCommands(CLI::App& app, CliContext& ctx);  // decode, report, series, simulate
void RegisterUnitCommands(CLI::App& app, CliContext& ctx);  // devices, info
void RegisterOperationCommands(CLI::App& app,
                               CliContext& ctx);  // read, erase, upgrade, sync-clock, image

// Adds the global options (--simulate, --trace, --sim-*) to the app.
void AddGlobalOptions(CLI::App& app, CliContext& ctx);

// Runs the tool with the given arguments (argv[0] included); returns the exit code.
int RunCli(int argc, char** argv);

}  // namespace yelvane
