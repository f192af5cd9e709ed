#pragma once

// Which drives a program works on, as both programs take it from their
// command line: the machine's removable disks, or with --simulate one
// simulated logger (faults injected with --sim-*), every volume operation
// written to a file with --trace.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "unit/UnitAccess.h"

namespace CLI {
class App;
}

namespace yelvane {

// The root name of the drive `--simulate` provides.
inline constexpr const char* kSimulatedDriveRoot = "sim0";

struct DriveChoice {
  // --simulate (empty string) or --simulate=IMAGE.
  std::optional<std::string> simulate{};
  std::optional<std::string> trace{};          // --trace=FILE
  std::optional<std::string> simFailSector{};  // --sim-fail-sector=N[:K]
  std::optional<unsigned long> simUnplugAfter{};
  bool simPlain = false;
};

// Adds --simulate[=IMAGE], --trace=FILE, --sim-fail-sector=N[:K],
// --sim-unplug-after=N and --sim-plain to `app`, filling `choice`.
void AddDriveOptions(CLI::App& app, DriveChoice& choice);

// Told what went wrong with the choice, one sentence at a time.
using DriveProblem = std::function<void(const std::string&)>;

// The drives of `choice`: with --simulate one simulated logger (or with
// --sim-plain an ordinary drive) whose memory comes from IMAGE when given
// and is written back to IMAGE, if it changed, once the last enumerator made
// for this choice is destroyed; otherwise the machine's removable drives (on
// Linux from $YELVANE_SYS_BLOCK_DIR and $YELVANE_DEV_DIR when set).
// With --trace every volume operation goes to FILE. Enumerators made for the
// same choice share one simulated device and one trace. Null when the
// simulation or the trace cannot be set up; `problem` is told why (and later
// when the memory cannot be saved back).
std::unique_ptr<DriveEnumerator> MakeDriveEnumerator(const DriveChoice& choice,
                                                     const DriveProblem& problem);

// Writes a new simulated memory image at `path` (replacing the file whole).
// A program using the image there finishes first: this waits for it as a
// second program on the image does, telling `problem`, and fails with
// `error` when it stays in use.
bool ReplaceSimulatedImage(const std::string& path, const std::string& bytes,
                           const DriveProblem& problem, std::string& error);

// The memory a simulated logger starts with when there is no IMAGE yet.
std::vector<uint8_t> DefaultSimulatedMemory();

// "N" or "N:K" of --sim-fail-sector; K defaults to "always".
struct FailSectorSpec {
  uint32_t sector = 0;
  uint32_t times = UINT32_MAX;
};
bool ParseFailSector(const std::string& text, FailSectorSpec& spec);

}  // namespace yelvane
