#include "cli/Cli.h"

namespace yelvane {

void AddGlobalOptions(CLI::App&, CliContext&) {}

}  // namespace yelvane
