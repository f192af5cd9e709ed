// read, erase, upgrade, sync-clock and image: the commands that work on a
// logger (or, for image, on a firmware file).

#include <cstdio>
#include <memory>
#include <string>

#include "activity/PetInfo.h"
#include "activity/SessionTable.h"
#include "cli/Cli.h"
#include "cli/SessionOutput.h"
#include "cli/Terminal.h"
#include "cli/UnitSession.h"
#include "operations/UnitCommands.h"
#include "unit/FirmwareImage.h"

namespace yelvane {

namespace {

struct OperationOptions {
  bool yes = false;
  bool erase = false;
  std::string dump;
  std::string format = "table";
  PetInfo pet;
  std::string image;
};

// The summary lines of an image on stdout; problems on stderr.
int RunImage(const std::string& path) {
  TerminalOut out(stdout, false);
  TerminalLog log(out);
  TerminalMessages messages(StderrOut());
  const auto header = ReadImageSummary(path, log, messages);
  std::fflush(stdout);
  return header ? kExitOk : kExitFailed;
}

}  // namespace

void RegisterOperationCommands(CLI::App& app, CliContext& ctx) {
  auto options = std::make_shared<OperationOptions>();

  CLI::App* read = app.add_subcommand(
      "read", "Read the logger's memory into the dump, keep a copy and print its sessions");
  read->add_option("-o,--output", options->dump, "Dump file (default: tmp.bin here)");
  read->add_option("--format", options->format, "Session output: table, tsv or json")
      ->check(CLI::IsMember({"table", "tsv", "json"}));
  AddPetOptions(*read, options->pet);
  read->add_flag("--erase", options->erase, "Offer to erase the logger after the read");
  read->add_flag("-y,--yes", options->yes, "Answer Yes to every question");
  read->callback([&ctx, options] {
    RepairPetText(options->pet);
    ctx.exitCode = RunUnitSession(
        ctx,
        {.assumeYes = options->yes,
         .pet = options->pet,
         .dumpPath = options->dump,
         .offerEraseAfterRead = options->erase},
        [](UnitCommands& commands) { return commands.ReadMemoryData(); },
        [options](const SessionTable& table) { PrintSessions(table, options->format); });
  });

  CLI::App* erase = app.add_subcommand("erase", "Erase all data from the logger");
  erase->add_flag("-y,--yes", options->yes, "Answer Yes to the question");
  erase->callback([&ctx, options] {
    ctx.exitCode = RunUnitSession(ctx, {.assumeYes = options->yes}, [](UnitCommands& commands) {
      return commands.EraseMemory(true);
    });
  });

  CLI::App* upgrade = app.add_subcommand("upgrade", "Load a firmware image into the logger");
  upgrade->add_option("IMAGE", options->image, "Firmware image (.msc)")->required();
  upgrade->add_flag("-y,--yes", options->yes, "Answer Yes to the question");
  upgrade->callback([&ctx, options] {
    // As from the menu: the question, then the image the file dialog would give.
    ctx.exitCode =
        RunUnitSession(ctx, {.assumeYes = options->yes, .image = options->image},
                       [](UnitCommands& commands) { return commands.UpgradeFirmware(""); });
  });

  CLI::App* sync = app.add_subcommand("sync-clock", "Set the logger's clock to this PC's time");
  sync->callback([&ctx] {
    ctx.exitCode = RunUnitSession(ctx, {.assumeYes = true}, [](UnitCommands& commands) {
      return commands.SynchronizeClock();
    });
  });

  CLI::App* image = app.add_subcommand("image", "Print the summary of a firmware image");
  image->add_option("FILE", options->image, "Firmware image (.msc)")->required();
  image->callback([&ctx, options] { ctx.exitCode = RunImage(options->image); });
}

}  // namespace yelvane
