#pragma once

// yelvane-cli: every operation from a terminal. Log lines go to stderr, data
// to stdout; exit 0 on success, 1 when the operation failed, 2 on bad usage.

#include <CLI/CLI.hpp>

#include <memory>

#include "activity/PetInfo.h"
#include "common/ExitCodes.h"
#include "sim/DriveChoice.h"

namespace yelvane {

// Global options and the state the commands share.
struct CliContext {
  DriveChoice drives;  // --simulate, --trace, --sim-*
  // Set by the command that ran.
  int exitCode = kExitOk;
};

// The drives of the global options for a unit command; null when they
// cannot be set up (the reason is on stderr, exitCode is kExitFailed).
std::unique_ptr<DriveEnumerator> OpenDrives(CliContext& ctx);

// Each group of commands registers its subcommands and callbacks; a callback
// stores its result in ctx.exitCode.
void RegisterDataCommands(CLI::App& app, CliContext& ctx);      // decode, report, series, simulate
void RegisterUnitCommands(CLI::App& app, CliContext& ctx);      // devices, info
void RegisterDownloadCommands(CLI::App& app, CliContext& ctx);  // downloads
void RegisterOperationCommands(CLI::App& app,
                               CliContext& ctx);  // read, erase, upgrade, sync-clock, image
void RegisterAccessCommands(CLI::App& app, CliContext& ctx);  // setup-access

// --pet-name, --pet-owner and --pet-location of `command`, filling `pet`;
// text with control characters is a usage error.
void AddPetOptions(CLI::App& command, PetInfo& pet);
// Replaces invalid UTF-8 in the pet strings by U+FFFD, with one warning line.
void RepairPetText(PetInfo& pet);

// Runs the tool with the given arguments (argv[0] included); returns the exit code.
int RunCli(int argc, char** argv);

}  // namespace yelvane
