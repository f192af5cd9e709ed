#include "cli/CmdOperations.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <memory>

#include "activity/SessionTable.h"
#include "cli/Cli.h"
#include "cli/CliUnit.h"
#include "cli/SessionOutput.h"
#include "common/Format.h"
#include "operations/DataFiles.h"
#include "operations/InlineRunners.h"
#include "operations/UnitCommands.h"
#include "unit/FirmwareImage.h"
#include "unit/UnitAccess.h"

namespace yelvane {

// --- terminal ---------------------------------------------------------------

void TerminalOut::Write(const std::string& text) {
  EndBar();
  std::fputs(text.c_str(), out_);
  std::fflush(out_);
}

void TerminalOut::ShowBar(const std::string& line) {
  if (!terminal_) return;
  std::fprintf(out_, "\r\033[K%s", line.c_str());
  std::fflush(out_);
  barShown_ = true;
}

void TerminalOut::EndBar() {
  if (!barShown_) return;
  std::fputs("\r\033[K", out_);
  barShown_ = false;
}

void TerminalLog::SetLogText(const std::string&) {
  // A terminal cannot be emptied; the command line that follows starts the
  // command's lines, as in `decode`.
  FlushPendingMessage();
}

void TerminalLog::AppendLog(const std::string& text, bool newline) {
  if (hasPending_ && pending_ == text) hasPending_ = false;
  FlushPendingMessage();
  out_.Write(newline ? text + "\n" : text);
}

void TerminalLog::SetPendingMessage(const std::string& text) {
  FlushPendingMessage();
  pending_ = text;
  hasPending_ = true;
}

void TerminalLog::FlushPendingMessage() {
  if (!hasPending_) return;
  hasPending_ = false;
  out_.Write(pending_ + "\n");
}

void TerminalMessages::ShowMessage(const std::string& text, MessageIcon) {
  // Most boxes repeat the log line that follows them; print such text once.
  log_.SetPendingMessage(text);
}

bool TerminalMessages::AskYesNo(const std::string& text, const std::string&) {
  log_.FlushPendingMessage();
  if (assumeYes_) return true;
  out_.Write(text + " [y/N] ");
  std::string answer;
  const bool got = static_cast<bool>(std::getline(in_, answer));
  // Typed answers end their own line; piped or missing ones do not.
  if (!got || ::isatty(STDIN_FILENO) != 1) out_.Write("\n");
  if (!got) return false;
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
}

TerminalProgress::TerminalProgress(TerminalOut& out, Clock& clock)
    : out_(out), clock_(clock), startMs_(clock.TickMs()) {}

void TerminalProgress::SetTransferText(const std::string& text) {
  // Shown with the next percent or rate change: one redraw per sector is
  // more than a terminal needs.
  transfer_ = text;
}
void TerminalProgress::SetRateText(const std::string& text) {
  rate_ = text;
  Draw();
}
void TerminalProgress::SetPercent(int percent) {
  percent_ = percent;
  Draw();
}
void TerminalProgress::SetStatusText(const std::string&) {}
void TerminalProgress::StopElapsedTimer() {
  stoppedSeconds_ = (clock_.TickMs() - startMs_) / 1000;
  stopped_ = true;
}
void TerminalProgress::CloseAfterDelay() {
  lastDrawn_.clear();
  out_.EndBar();
}

std::string TerminalProgress::Line() const {
  constexpr int kWidth = 30;
  const int filled = std::clamp(percent_, 0, 100) * kWidth / 100;
  const uint32_t seconds = stopped_ ? stoppedSeconds_ : (clock_.TickMs() - startMs_) / 1000;
  return "[" + std::string(static_cast<std::size_t>(filled), '#') +
         std::string(static_cast<std::size_t>(kWidth - filled), '.') + "]" +
         Format(" %3d%%  %s  %s  %u sec", percent_, transfer_.c_str(), rate_.c_str(), seconds);
}

void TerminalProgress::Draw() {
  if (!out_.IsTerminal()) return;
  std::string line = Line();
  if (line == lastDrawn_) return;
  lastDrawn_ = line;
  out_.ShowBar(line);
}

// --- commands ---------------------------------------------------------------

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
      : out(stderr, ::isatty(STDERR_FILENO) == 1),
        log(out),
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

  TerminalOut out;
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
class StdoutLog final : public LogSink {
 public:
  void SetLogText(const std::string&) override {}
  void AppendLog(const std::string& text, bool newline) override {
    std::fputs(text.c_str(), stdout);
    if (newline) std::fputc('\n', stdout);
  }
};

class StderrMessages final : public MessageSink {
 public:
  void ShowMessage(const std::string& text, MessageIcon) override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

int RunImage(const std::string& path) {
  StdoutLog log;
  StderrMessages messages;
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
