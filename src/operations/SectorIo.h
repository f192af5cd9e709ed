#pragma once

// Per-sector steps of the two transactions, for workers that report progress
// between sectors (the whole-transaction calls of unit/CommandExchange.h do
// not).

#include <array>
#include <cstdint>

#include "unit/CommandExchange.h"
#include "unit/RawVolume.h"

namespace yelvane::sectorio {

using SectorBuffer = std::array<uint8_t, kSectorSize>;

// A zeroed block with `head` and three little-endian u32 parameters.
SectorBuffer MakeCommandBlock(const CommandHead& head, uint32_t p0, uint32_t p1, uint32_t p2);

// Replaces the first six bytes of a block (begin block -> end block).
void SetCommandHead(SectorBuffer& block, const CommandHead& head);

// One sector with up to kSectorAttempts attempts.
bool ReadSectorWithRetry(UnitVolume& volume, uint32_t sector, uint8_t* buffer);
bool WriteSectorWithRetry(UnitVolume& volume, uint32_t sector, const uint8_t* buffer);

// Opens the volume on `root` and checks sector 1 on that same handle. The
// caller closes the volume either way.
bool OpenConfirmedUnit(UnitVolume& volume, const std::string& root);

}  // namespace yelvane::sectorio
