#include <cstdio>

#include "cli/Cli.h"
#include "cli/Terminal.h"

namespace yelvane {

std::unique_ptr<DriveEnumerator> OpenDrives(CliContext& ctx) {
  std::unique_ptr<DriveEnumerator> drives = MakeDriveEnumerator(ctx.drives, StderrLine);
  if (!drives) ctx.exitCode = kExitFailed;
  return drives;
}

int RunCli(int argc, char** argv) {
  CLI::App app{"Yelvane: read, report and maintain the bark-and-activity logger", "yelvane-cli"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "yelvane-cli " YELVANE_VERSION);
  CliContext ctx;
  AddDriveOptions(app, ctx.drives);
  RegisterDataCommands(app, ctx);
  RegisterUnitCommands(app, ctx);
  RegisterDownloadCommands(app, ctx);
  RegisterOperationCommands(app, ctx);
  RegisterAccessCommands(app, ctx);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }
  // Data that never reached stdout (a full disk, a closed pipe) is a failure.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    StderrLine("Error: the output could not be written.");
    return ctx.exitCode == kExitOk ? kExitFailed : ctx.exitCode;
  }
  return ctx.exitCode;
}

}  // namespace yelvane
