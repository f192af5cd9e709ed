#include "cli/Cli.h"

namespace yelvane {

void RegisterUnitCommands(CLI::App&, CliContext&) {}

}  // namespace yelvane
