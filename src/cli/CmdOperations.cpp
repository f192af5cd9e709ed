#include <algorithm>
#include <iostream>
#include <memory>

#include "activity/SessionTable.h"
#include "cli/Cli.h"
#include "cli/CliUnit.h"
#include "cli/SessionOutput.h"
#include "cli/Terminal.h"
#include "common/Format.h"
#include "operations/DataFiles.h"
#include "operations/InlineRunners.h"
#include "operations/UnitCommands.h"
#include "unit/FirmwareImage.h"
#include "unit/UnitAccess.h"

namespace yelvane {

namespace {

class NoPoll final : public PresencePoll {
 public:
  void Stop() override {}
  void Start() override {}
};

// The Pet Information dialog answered from the command line.
class GivenPetInfo final : public PetInfoPrompt {
 public:
  explicit GivenPetInfo(PetInfo given) : given_(std::move(given)) {}
  bool Ask(PetInfo& pet) override {
    pet = given_;
    return true;
  }
  void RefreshLabels(const PetInfo&) override {}

 private:
  PetInfo given_;
};

// The file-open dialog answered with the image named on the command line.
class GivenImage final : public ImageFilePrompt {
 public:
  explicit GivenImage(std::optional<std::string> path) : path_(std::move(path)) {}
  std::optional<std::string> ChooseImage(const std::string&) override { return path_; }

 private:
  std::optional<std::string> path_;
};

struct OperationOptions {
  bool yes = false;
  bool erase = false;
  std::string dump;
  std::string format = "table";
  PetInfo pet;
  std::string image;
};

// Everything one command needs, wired to the terminal.
struct Session {
  Session(CliContext& ctx, bool assumeYes)
      : log(out),
        messages(out, log, std::cin, assumeYes),
        drives(MakeDriveEnumerator(ctx)),
        setupFailed(ctx.exitCode != kExitOk),
        progress(out, DefaultClock()),
        dialogs(*drives, progress, log, messages, DefaultClock()),
        report(table, log, pane, messages) {}

  CommandSurroundings Surroundings(PetInfoPrompt& petPrompt, ImageFilePrompt& imagePrompt) {
    const bool connected = !FindUnitDrive(*drives).empty();
    return CommandSurroundings{log,
                               messages,
                               pane,
                               table,
                               poll,
                               petPrompt,
                               pet,
                               imagePrompt,
                               dialogs,
                               report,
                               *drives,
                               [connected] { return connected; },
                               CurrentFolder()};
  }

  TerminalOut& out = StderrOut();
  TerminalLog log;
  TerminalMessages messages;
  std::unique_ptr<DriveEnumerator> drives;
  bool setupFailed;  // the simulation could not be set up; the reason is on stderr
  TerminalProgress progress;
  InlineDialogRunner dialogs;
  MemorySessionTable table;
  NullProgress pane;
  InlineReportRunner report;
  NoPoll poll;
  PetInfo pet;
};

int Finish(Session& session, bool ok) {
  session.log.FlushPendingMessage();
  session.out.EndBar();
  return ok ? kExitOk : kExitFailed;
}

int RunRead(CliContext& ctx, const OperationOptions& options) {
  Session session(ctx, options.yes);
  if (session.setupFailed) return kExitFailed;
  GivenPetInfo petPrompt(options.pet);
  GivenImage noImage(std::nullopt);
  CommandSurroundings surroundings = session.Surroundings(petPrompt, noImage);
  surroundings.dumpPath = options.dump;
  surroundings.offerEraseAfterRead = options.erase;
  UnitCommands commands(std::move(surroundings));
  const bool ok = commands.ReadMemoryData();
  const int code = Finish(session, ok);
  if (ok) PrintSessions(session.table, options.format);
  return code;
}

int RunErase(CliContext& ctx, const OperationOptions& options) {
  Session session(ctx, options.yes);
  if (session.setupFailed) return kExitFailed;
  GivenPetInfo petPrompt({});
  GivenImage noImage(std::nullopt);
  UnitCommands commands(session.Surroundings(petPrompt, noImage));
  return Finish(session, commands.EraseMemory(true));
}

int RunUpgrade(CliContext& ctx, const OperationOptions& options) {
  Session session(ctx, options.yes);
  if (session.setupFailed) return kExitFailed;
  GivenPetInfo petPrompt({});
  GivenImage image(options.image);
  UnitCommands commands(session.Surroundings(petPrompt, image));
  // As from the menu: the question, then the image the file dialog would give.
  return Finish(session, commands.UpgradeFirmware(""));
}

int RunSyncClock(CliContext& ctx) {
  Session session(ctx, true);
  if (session.setupFailed) return kExitFailed;
  GivenPetInfo petPrompt({});
  GivenImage noImage(std::nullopt);
  UnitCommands commands(session.Surroundings(petPrompt, noImage));
  return Finish(session, commands.SynchronizeClock());
}

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
  read->add_option("--pet-name", options->pet.name, "Pet's name");
  read->add_option("--pet-owner", options->pet.owner, "Pet's owner");
  read->add_option("--pet-location", options->pet.location, "Pet's location");
  read->add_flag("--erase", options->erase, "Offer to erase the logger after the read");
  read->add_flag("-y,--yes", options->yes, "Answer Yes to every question");
  read->callback([&ctx, options] { ctx.exitCode = RunRead(ctx, *options); });

  CLI::App* erase = app.add_subcommand("erase", "Erase all data from the logger");
  erase->add_flag("-y,--yes", options->yes, "Answer Yes to the question");
  erase->callback([&ctx, options] { ctx.exitCode = RunErase(ctx, *options); });

  CLI::App* upgrade = app.add_subcommand("upgrade", "Load a firmware image into the logger");
  upgrade->add_option("IMAGE", options->image, "Firmware image (.msc)")->required();
  upgrade->add_flag("-y,--yes", options->yes, "Answer Yes to the question");
  upgrade->callback([&ctx, options] { ctx.exitCode = RunUpgrade(ctx, *options); });

  CLI::App* sync = app.add_subcommand("sync-clock", "Set the logger's clock to this PC's time");
  sync->callback([&ctx] { ctx.exitCode = RunSyncClock(ctx); });

  CLI::App* image = app.add_subcommand("image", "Print the summary of a firmware image");
  image->add_option("FILE", options->image, "Firmware image (.msc)")->required();
  image->callback([&ctx, options] { ctx.exitCode = RunImage(options->image); });
}

}  // namespace yelvane
