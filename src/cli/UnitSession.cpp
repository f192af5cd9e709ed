#include "cli/UnitSession.h"

#include <iostream>
#include <memory>
#include <utility>

#include "cli/Terminal.h"
#include "operations/DataFiles.h"
#include "operations/InlineRunners.h"
#include "unit/UnitAccess.h"

namespace yelvane {

namespace {

// The tool has no presence poll to stop.
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

}  // namespace

int RunUnitSession(CliContext& ctx, const UnitSessionInput& input,
                   const std::function<bool(UnitCommands&)>& command,
                   const std::function<void(const SessionTable&)>& then) {
  const std::unique_ptr<DriveEnumerator> drives = OpenDrives(ctx);
  if (!drives) return kExitFailed;
  TerminalOut& out = StderrOut();
  TerminalLog log(out);
  TerminalMessages messages(out, log, std::cin, input.assumeYes);
  TerminalProgress progress(out, DefaultClock());
  InlineDialogRunner dialogs({.drives = *drives,
                              .dialog = progress,
                              .log = log,
                              .messages = messages,
                              .clock = DefaultClock()});
  MemorySessionTable table;
  NullProgress pane;
  InlineReportRunner report(table, log, pane, messages);
  NoPoll poll;
  GivenPetInfo petPrompt(input.pet);
  GivenImage imagePrompt(input.image);
  PetInfo pet;
  // What the main window's presence poll would have found.
  const bool connected = !FindUnitDrive(*drives).empty();
  UnitCommands commands({.log = log,
                         .messages = messages,
                         .progressPane = pane,
                         .table = table,
                         .poll = poll,
                         .petPrompt = petPrompt,
                         .pet = pet,
                         .imagePrompt = imagePrompt,
                         .dialogs = dialogs,
                         .report = report,
                         .drives = *drives,
                         .unitConnected = [connected] { return connected; },
                         .startupFolder = CurrentFolder(),
                         .dumpPath = input.dumpPath,
                         .replaceDump = true,
                         .offerEraseAfterRead = input.offerEraseAfterRead});
  const bool ok = command(commands);
  log.FlushPendingMessage();
  out.EndBar();
  if (ok && then) then(table);
  return ok ? kExitOk : kExitFailed;
}

}  // namespace yelvane
