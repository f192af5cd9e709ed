#include "cli/Cli.h"

namespace yelvane {

void RegisterDataCommands(CLI::App&, CliContext&) {}

}  // namespace yelvane
