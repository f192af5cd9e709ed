#pragma once

// How the program reaches loggers: candidate drives in scan order and fresh
// volume back-ends for them. Real drives (Windows letters, Linux /sys/block)
// and the simulated logger both come through this one seam.

#include <memory>
#include <string>
#include <vector>

#include "unit/RawVolume.h"

namespace yelvane {

struct DriveCandidate {
  std::string root;  // "G:\" on Windows, "/dev/sdb" on Linux, a name for the simulator
};

class DriveEnumerator {
 public:
  virtual ~DriveEnumerator() = default;
  // Removable drives that may hold a logger, in scan order (highest first).
  virtual std::vector<DriveCandidate> Candidates() = 0;
  // A fresh back-end for one operation on any of the candidates.
  virtual std::unique_ptr<RawVolume> NewVolume() = 0;
};

// The root of the logger's drive, or "" when none answers with the signature.
std::string FindUnitDrive(DriveEnumerator& drives);

}  // namespace yelvane
