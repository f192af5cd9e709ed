#pragma once

#include <cstdint>

namespace yelvane {

// Time as the workers see it: a millisecond tick and a pause. Tests drive a
// fake so that rates and the protocol's pauses are checked without waiting.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t TickMs() = 0;
  virtual void SleepMs(uint32_t ms) = 0;
};

class SystemClock final : public Clock {
 public:
  uint32_t TickMs() override;
  void SleepMs(uint32_t ms) override;
};

// One process-wide system clock.
Clock& DefaultClock();

}  // namespace yelvane
