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
    case DriveVerdict::Locked:
      return "locked by another program";
  }
  return "unknown";
}

std::string DriveTroubleText(const std::string& root, DriveVerdict verdict) {
  switch (verdict) {
    case DriveVerdict::PermissionDenied:
      return Format(
          "Cannot open the drive %s: permission denied. Give this user access once "
          "with \"%s\", then plug the logger in again.",
          root.c_str(), kSetupAccessCommand);
    case DriveVerdict::Locked:
      return Format("Cannot use the drive %s: it is locked by another program.", root.c_str());
    case DriveVerdict::NoMedium:
      return Format("Cannot read the drive %s: no medium.", root.c_str());
    case DriveVerdict::ReadError:
      return Format("Cannot read the drive %s: read error.", root.c_str());
    case DriveVerdict::Logger:
    case DriveVerdict::NoSignature:
    case DriveVerdict::OpenFailed:
      break;
  }
  return {};
}

std::vector<std::string> DriveTroubleLines(
    const std::vector<std::pair<DriveCandidate, DriveVerdict>>& verdicts) {
  std::vector<std::string> lines;
  for (const auto& [candidate, verdict] : verdicts) {
    if (verdict == DriveVerdict::Logger) return {};
    std::string text = DriveTroubleText(candidate.root, verdict);
    if (!text.empty()) lines.push_back(std::move(text));
  }
  return lines;
}

std::vector<std::string> ExplainMissingUnit(DriveEnumerator& drives) {
  return DriveTroubleLines(ScanDrives(drives));
}

std::string LastFailureText(DriveEnumerator& drives, const std::string& root) {
  // OpenFailed comes back when the back-end knows no cause.
  return DriveTroubleText(root, drives.Diagnose(DriveVerdict::OpenFailed));
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
