#include "operations/SectorIo.h"

#include <algorithm>

namespace yelvane::sectorio {

SectorBuffer MakeCommandBlock(const CommandHead& head, uint32_t p0, uint32_t p1, uint32_t p2) {
  SectorBuffer block{};
  std::copy(head.begin(), head.end(), block.begin());
  const uint32_t params[3] = {p0, p1, p2};
  for (int p = 0; p < 3; ++p)
    for (int i = 0; i < 4; ++i)
      block[static_cast<std::size_t>(6 + 4 * p + i)] = static_cast<uint8_t>(params[p] >> (8 * i));
  return block;
}

void SetCommandHead(SectorBuffer& block, const CommandHead& head) {
  std::copy(head.begin(), head.end(), block.begin());
}

bool ReadSectorWithRetry(UnitVolume& volume, uint32_t sector, uint8_t* buffer) {
  for (int attempt = 0; attempt < kSectorAttempts; ++attempt)
    if (volume.ReadSectors(sector, buffer, 1)) return true;
  return false;
}

bool WriteSectorWithRetry(UnitVolume& volume, uint32_t sector, const uint8_t* buffer) {
  for (int attempt = 0; attempt < kSectorAttempts; ++attempt)
    if (volume.WriteSectors(sector, buffer, 1)) return true;
  return false;
}

bool OpenConfirmedUnit(UnitVolume& volume, const std::string& root) {
  if (root.empty() || !volume.Open(root)) return false;
  SectorBuffer sector{};
  return volume.ReadSectors(1, sector.data(), 1) && HasUnitSignature(sector.data());
}

}  // namespace yelvane::sectorio
