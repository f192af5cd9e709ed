#pragma once

// One unit command of the tool, wired to the terminal: the Process Log and
// the boxes on stderr, questions on stdin, the progress dialog as a bar, the
// dialogs and the report walk inline, and what the dialogs would ask (the
// pet information, the firmware image) given on the command line.

#include <functional>
#include <optional>
#include <string>

#include "activity/PetInfo.h"
#include "activity/SessionTable.h"
#include "cli/Cli.h"
#include "operations/UnitCommands.h"

namespace yelvane {

struct UnitSessionInput {
  bool assumeYes = false;              // --yes
  PetInfo pet{};                       // the Pet Information dialog's answer
  std::optional<std::string> image{};  // the firmware file dialog's answer
  std::string dumpPath{};              // "" for tmp.bin in the current folder
  bool offerEraseAfterRead = false;    // --erase
};

// Runs `command` against the drives of the global options and returns the
// exit code: kExitOk when it returned true. On success `then` gets the
// session table (the sessions of a read), after the log's last line.
int RunUnitSession(CliContext& ctx, const UnitSessionInput& input,
                   const std::function<bool(UnitCommands&)>& command,
                   const std::function<void(const SessionTable&)>& then = {});

}  // namespace yelvane
