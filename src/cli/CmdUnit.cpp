#include <cstdio>

#include "cli/Cli.h"
#include "cli/Terminal.h"
#include "common/Clock.h"
#include "common/Format.h"
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
        for (const std::string& line : DriveTroubleLines(verdicts)) StderrLine(line);
      });

  app.add_subcommand("info", "Show the logger's firmware version as the About box does")
      ->callback([&ctx] {
        const auto drives = OpenDrives(ctx);
        if (!drives) return;
        // The presence poll first, as the main window would have run it.
        const std::string root = FindUnitDrive(*drives);
        const bool connected = !root.empty();
        const auto version = ReadFirmwareVersion(connected, *drives, DefaultClock());
        ctx.exitCode = connected && version ? kExitOk : kExitFailed;
        if (version) std::printf("Firmware Version: %s\n", version->c_str());
        if (!connected) {
          for (const std::string& line : ExplainMissingUnit(*drives)) StderrLine(line);
        } else if (!version) {
          // OpenFailed comes back when the back-end knows no cause.
          const DriveVerdict cause = drives->Diagnose(DriveVerdict::OpenFailed);
          StderrLine(Format("Cannot read the firmware version from %s: %s.", root.c_str(),
                            cause == DriveVerdict::OpenFailed ? "the logger did not answer"
                                                              : DriveVerdictText(cause)));
        }
      });
}

}  // namespace yelvane
