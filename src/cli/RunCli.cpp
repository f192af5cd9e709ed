#include <cstdio>

#include "cli/Cli.h"

namespace yelvane {

int RunCli(int argc, char** argv) {
  CLI::App app{"Yelvane: read, report and maintain the bark-and-activity logger", "yelvane-cli"};
  app.require_subcommand(1);
  CliContext ctx;
  AddGlobalOptions(app, ctx);
  RegisterDataCommands(app, ctx);
  RegisterUnitCommands(app, ctx);
  RegisterOperationCommands(app, ctx);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }
  std::fflush(stdout);
  return ctx.exitCode;
}

}  // namespace yelvane
