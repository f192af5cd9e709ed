#pragma once

// A deterministic, realistic logger memory for demos, tests and the
// simulated logger: daily sessions whose summary records agree with their
// half-hour samples, laid out as the logger lays them out.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "unit/CommandExchange.h"
#include "unit/UnitAccess.h"

namespace yelvane {

inline constexpr int kDefaultDemoSessions = 21;

struct DemoOptions {
  int sessions = kDefaultDemoSessions;  // 0 to 3000
  uint64_t seed = 1;
  bool erased = false;  // all 0xFF except the firmware version record
};

// The logger's memory image: index = unit address. The firmware version
// record (minor 0, major 1) sits at 0x5F200, everything unused is 0xFF.
std::vector<uint8_t> MakeDemoMemory(const DemoOptions& options);

// The part of a memory image that a memory read copies into the dump:
// unit addresses 0x10000 to 0x5FFFF (shorter images give what they have).
std::vector<uint8_t> DumpSlice(const std::vector<uint8_t>& memory);

}  // namespace yelvane
