#pragma once

// One simulated logger (or plain drive) on "sim0", with a traced enumerator
// and a clock whose pauses land in the same trace.

#include <memory>
#include <vector>

#include "sim/SimulatedLogger.h"
#include "support/Recorders.h"
#include "unit/TracingVolume.h"

namespace yelvane::test {

struct SimRig {
  explicit SimRig(std::vector<uint8_t> memory = MakeBlankMemory(),
                  SimulatedLogger::Mode mode = SimulatedLogger::Mode::Logger)
      : device(std::make_shared<SimulatedLogger>(std::move(memory), mode)) {
    auto drives = std::make_unique<SimulatedDrives>();
    drives->Add("sim0", device);
    traced = std::make_unique<TracingDriveEnumerator>(std::move(drives), trace);
  }
  UnitVolume NewVolume() { return UnitVolume(traced->NewVolume()); }

  std::shared_ptr<SimulatedLogger> device;
  std::shared_ptr<MemoryTraceLog> trace = std::make_shared<MemoryTraceLog>();
  std::unique_ptr<DriveEnumerator> traced;
  FakeClock clock{0, trace};
};

}  // namespace yelvane::test
