#include "unit/UnitAccess.h"

#include "common/Format.h"
#include "unit/CommandExchange.h"

namespace yelvane {

const char* DriveVerdictText(DriveVerdict verdict) {
  switch (verdict) {
    case DriveVerdict::Logger:
      return "logger";
    case DriveVerdict::NoSignature:
      return "no signature";
    case DriveVerdict::PermissionDenied:
      return "permission denied";
    case DriveVerdict::NoMedium:
      return "no medium";
    case DriveVerdict::ReadError:
      return "read error";
    case DriveVerdict::OpenFailed:
      return "open failed";
  }
  return "unknown";
}

std::string FindUnitDrive(DriveEnumerator& drives) {
  const std::vector<DriveCandidate> candidates = drives.Candidates();
  if (candidates.empty()) return {};
  // One volume for the whole walk: closed after each drive that is not the unit.
  UnitVolume volume(drives.NewVolume());
  for (const DriveCandidate& candidate : candidates) {
    if (volume.Open(candidate.root) && CheckUnitSignature(volume)) {
      volume.Close();
      return candidate.root;
    }
    volume.Close();
  }
  return {};
}

DriveVerdict ExamineDrive(DriveEnumerator& drives, const DriveCandidate& candidate) {
  UnitVolume volume(drives.NewVolume());
  if (!volume.Open(candidate.root)) {
    volume.Close();
    return drives.Diagnose(DriveVerdict::OpenFailed);
  }
  SectorBlock sector{};
  const bool read = volume.ReadSectors(kSignatureSector, sector.data(), 1);
  // Diagnose before Close: the back-end's last error belongs to the read.
  const DriveVerdict verdict = !read ? drives.Diagnose(DriveVerdict::ReadError)
                               : HasUnitSignature(sector.data()) ? DriveVerdict::Logger
                                                                 : DriveVerdict::NoSignature;
  volume.Close();
  return verdict;
}

std::vector<std::pair<DriveCandidate, DriveVerdict>> ScanDrives(DriveEnumerator& drives) {
  std::vector<std::pair<DriveCandidate, DriveVerdict>> result;
  for (const DriveCandidate& candidate : drives.Candidates()) {
    result.emplace_back(candidate, ExamineDrive(drives, candidate));
  }
  return result;
}

bool OpenUnitVolume(UnitVolume& volume, const std::string& root) {
  if (volume.Open(root) && CheckUnitSignature(volume)) return true;
  volume.Close();
  return false;
}

bool PollUnitPresence(DriveEnumerator& drives, bool& unitConnected, PresenceIndicator& indicator) {
  unitConnected = !FindUnitDrive(drives).empty();
  if (unitConnected) {
    indicator.ShowPresence(kUsbConnectedText, kConnectedColor);
  } else {
    indicator.ShowPresence(kUsbDisconnectedText, kDisconnectedColor);
  }
  return unitConnected;
}

std::string FirmwareVersionText(const uint8_t* record) {
  return Format("%d.%d", static_cast<int>(static_cast<int8_t>(record[1])),
                static_cast<int>(static_cast<int8_t>(record[0])));
}

std::optional<std::string> ReadFirmwareVersion(bool unitConnected, DriveEnumerator& drives,
                                               Clock& clock) {
  if (!unitConnected) return std::string(kVersionUnknownText);
  uint8_t record[kVersionRecordLength] = {};
  const std::string root = FindUnitDrive(drives);
  UnitVolume volume(drives.NewVolume());
  if (!volume.Open(root) || !CheckUnitSignature(volume)) {
    volume.Unlock();
    volume.Close();
    return std::nullopt;
  }
  if (!ReadUnitMemory(volume, kVersionRecordAddress, kVersionRecordLength, record, clock)) {
    return std::nullopt;  // already unlocked and closed, no end block
  }
  volume.Unlock();
  volume.Close();
  return FirmwareVersionText(record);
}

}  // namespace yelvane
