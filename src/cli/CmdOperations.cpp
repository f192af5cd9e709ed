#include "cli/Cli.h"

namespace yelvane {

void RegisterOperationCommands(CLI::App&, CliContext&) {}

}  // namespace yelvane
