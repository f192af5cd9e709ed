#include <cstdio>

#include "cli/Cli.h"
#include "cli/Terminal.h"
#include "common/Clock.h"
#include "unit/UnitAccess.h"

namespace yelvane {

void RegisterUnitCommands(CLI::App& app, CliContext& ctx) {
  app.add_subcommand("devices",
                     "List the candidate drives in scan order and whether each is the logger")
      ->callback([&ctx] {
        const auto drives = OpenDrives(ctx);
        if (!drives) return;
        const auto verdicts = ScanDrives(*drives);
        if (verdicts.empty()) StderrLine("No removable drive found.");
        for (const auto& [candidate, verdict] : verdicts) {
          std::printf("%s\t%s\n", candidate.root.c_str(), DriveVerdictText(verdict));
        }
      });

  app.add_subcommand("info", "Show the logger's firmware version as the About box does")
      ->callback([&ctx] {
        const auto drives = OpenDrives(ctx);
        if (!drives) return;
        // The presence poll first, as the main window would have run it.
        const bool connected = !FindUnitDrive(*drives).empty();
        const auto version = ReadFirmwareVersion(connected, *drives, DefaultClock());
        std::printf("Firmware Version: %s\n", version.value_or("").c_str());
        ctx.exitCode = connected && version ? kExitOk : kExitFailed;
      });
}

}  // namespace yelvane
