#pragma once

// Helpers shared by the unit-access and simulator tests.

#include <memory>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/Format.h"
#include "sim/SimulatedLogger.h"
#include "unit/TracingVolume.h"

namespace yelvane::testing_support {

// A clock that never waits; pauses go into the trace so their place in a
// transaction can be checked.
class TraceClock final : public Clock {
 public:
  explicit TraceClock(std::shared_ptr<TraceLog> log = nullptr) : log_(std::move(log)) {}
  uint32_t TickMs() override { return now_; }
  void SleepMs(uint32_t ms) override {
    now_ += ms;
    if (log_) log_->Line(Format("sleep %u", ms));
  }
  uint32_t now_ = 0;

 private:
  std::shared_ptr<TraceLog> log_;
};

// One simulated logger (or plain drive) on "sim0", with a traced enumerator.
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
  TraceClock clock{trace};
};

}  // namespace yelvane::testing_support
