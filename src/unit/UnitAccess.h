#pragma once

// How the program reaches loggers: candidate drives in scan order and fresh
// volume back-ends for them. Real drives (Windows letters, Linux /sys/block)
// and the simulated logger both come through this one seam.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/Clock.h"
#include "common/Color.h"
#include "unit/RawVolume.h"

namespace yelvane {

struct DriveCandidate {
  std::string root;  // "G:\" on Windows, "/dev/sdb" on Linux, a name for the simulator
  friend bool operator==(const DriveCandidate&, const DriveCandidate&) = default;
};

// Why a candidate drive is or is not the logger (for diagnosis only; the scan
// itself treats every failure alike).
enum class DriveVerdict {
  Logger,
  NoSignature,
  PermissionDenied,
  NoMedium,
  ReadError,
  OpenFailed,
  Locked,
};

// "logger", "no signature", "permission denied", "no medium", "read error",
// "open failed", "locked by another program".
const char* DriveVerdictText(DriveVerdict verdict);

// The fix for a drive this user may not open.
inline constexpr const char* kSetupAccessCommand = "sudo yelvane-cli setup-access";

// One line for the user naming a drive that could not be opened or read and
// why, with the fix when there is one; "" for the verdicts that need no
// explanation (the logger, a drive without the signature, a drive that is
// gone: an open failure without a known cause).
std::string DriveTroubleText(const std::string& root, DriveVerdict verdict);

class DriveEnumerator {
 public:
  virtual ~DriveEnumerator() = default;
  // Removable drives that may hold a logger, in scan order (highest first).
  virtual std::vector<DriveCandidate> Candidates() = 0;
  // A fresh back-end for one operation on any of the candidates.
  virtual std::unique_ptr<RawVolume> NewVolume() = 0;
  // Refines a failure seen on the last volume made by NewVolume (OpenFailed
  // or ReadError) into a more precise reason when the back-end knows one.
  virtual DriveVerdict Diagnose(DriveVerdict generic) { return generic; }
};

// The root of the logger's drive, or "" when none answers with the signature.
// Walks the candidates with one volume, reading sector 1 of each; writes nothing.
std::string FindUnitDrive(DriveEnumerator& drives);

// Opens one candidate on its own volume and says whether it is the logger.
DriveVerdict ExamineDrive(DriveEnumerator& drives, const DriveCandidate& candidate);

// Every candidate in scan order with its verdict; the scan picks the first Logger.
std::vector<std::pair<DriveCandidate, DriveVerdict>> ScanDrives(DriveEnumerator& drives);

// The trouble lines of a scan that found no logger (nothing when it found one).
std::vector<std::string> DriveTroubleLines(
    const std::vector<std::pair<DriveCandidate, DriveVerdict>>& verdicts);
// Scans `drives` (read-only, as the presence poll does) for those lines.
std::vector<std::string> ExplainMissingUnit(DriveEnumerator& drives);

// The cause the back-end knows for the last failure of a volume made by
// `drives` ("" when it knows none): a line for the log after a failed
// transfer on `root`.
std::string LastFailureText(DriveEnumerator& drives, const std::string& root);

// Opens `volume` on `root` and checks the signature in sector 1 on that same
// handle. On failure the volume is closed again.
bool OpenUnitVolume(UnitVolume& volume, const std::string& root);

// --- Presence ---------------------------------------------------------------

inline constexpr const char* kUsbConnectedText = "USB Connected";
inline constexpr const char* kUsbDisconnectedText = "USB Disconnected";

// The colour label of the main window that shows whether a logger is attached.
class PresenceIndicator {
 public:
  virtual ~PresenceIndicator() = default;
  virtual void ShowPresence(const std::string& text, Rgb color) = 0;
};

// One tick of the presence poll: scans, sets `unitConnected` and the indicator
// ("USB Connected" blue or "USB Disconnected" red). Returns the new flag.
bool PollUnitPresence(DriveEnumerator& drives, bool& unitConnected, PresenceIndicator& indicator);

// --- Firmware version ---------------------------------------------------------

inline constexpr uint32_t kVersionRecordAddress = 0x5F200;
inline constexpr uint32_t kVersionRecordLength = 8;
inline constexpr const char* kVersionUnknownText = "USB Disconnected, Unknown";

// "%d.%d" of byte 1 (major) and byte 0 (minor), each a signed byte.
std::string FirmwareVersionText(const uint8_t* record);

// The About box's firmware field: "USB Disconnected, Unknown" when
// `unitConnected` is false, the version text after a good read, and nullopt
// (leave the field as it is) when the unit does not answer.
std::optional<std::string> ReadFirmwareVersion(bool unitConnected, DriveEnumerator& drives,
                                               Clock& clock);

}  // namespace yelvane
