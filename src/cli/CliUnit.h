#pragma once

// What the unit commands share: the drives they work on, real or simulated.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "unit/UnitAccess.h"

namespace yelvane {

// The root name of the drive `--simulate` provides.
inline constexpr const char* kSimulatedDriveRoot = "sim0";

// The drives a unit command works on: with --simulate one simulated logger
// (or with --sim-plain an ordinary drive) whose memory comes from IMAGE when
// given and is written back to IMAGE, if it changed, once the last enumerator
// made for this context is destroyed; otherwise the machine's removable
// drives. With --trace every volume operation goes to FILE. Enumerators made
// for the same context share one simulated device and one trace. Never null:
// when the simulation cannot be set up, the reason goes to stderr,
// ctx.exitCode becomes kExitFailed and the enumerator has no drives.
std::unique_ptr<DriveEnumerator> MakeDriveEnumerator(CliContext& ctx);

// The memory a simulated logger starts with when there is no IMAGE yet.
std::vector<uint8_t> DefaultSimulatedMemory();

// "N" or "N:K" of --sim-fail-sector; K defaults to "always".
struct FailSectorSpec {
  uint32_t sector = 0;
  uint32_t times = UINT32_MAX;
};
bool ParseFailSector(const std::string& text, FailSectorSpec& spec);

}  // namespace yelvane
