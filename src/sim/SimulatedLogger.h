#pragma once

// The logger's side of the protocol, in memory: the device every test and
// `--simulate` run talks to. It answers sector reads and writes like the
// logger's firmware does, keeps a journal of the command blocks it was sent,
// and can be told to fail. Thread-safe: a worker may drive it while the UI
// thread polls for presence.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "unit/CommandExchange.h"
#include "unit/RawVolume.h"
#include "unit/UnitAccess.h"

namespace yelvane {

// All-0xFF (erased) unit memory with the firmware version record set.
std::vector<uint8_t> MakeBlankMemory(int8_t major = 1, int8_t minor = 0);

// One command block the device received on sector 0.
struct JournalEntry {
  SectorBlock block{};
  bool accepted = false;  // false: malformed or out of place, ignored
};

// The seven bytes of the last accepted set-clock block.
struct ClockSetting {
  uint8_t year = 0;  // year - 2000
  uint8_t month = 0;
  uint8_t day = 0;
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint8_t second = 0;
  uint8_t dayOfWeek = 0;
  friend bool operator==(const ClockSetting&, const ClockSetting&) = default;
};

// Like the logger, it shows unit memory instead of the signature while a read
// transfer is open; a transfer abandoned without its end block stays open
// until the device is plugged again (Plug).
class SimulatedLogger {
 public:
  enum class Mode {
    Logger,  // speaks the protocol over unit memory
    Plain,   // an ordinary drive: sector s is memory at s * 512, no signature
  };

  // `memory` is unit memory 0 to 0x5FFFF (resized to that if it is not).
  explicit SimulatedLogger(std::vector<uint8_t> memory, Mode mode = Mode::Logger);

  // --- the volume side (used by SimulatedVolume) ---
  bool Open();
  bool ReadSector(uint32_t sector, uint8_t* out);
  bool WriteSector(uint32_t sector, const uint8_t* in);
  bool Lock();
  void Unlock();

  // --- fault injection ---
  // Reads and writes of `sector` fail `times` times, then work again.
  void FailSector(uint32_t sector, uint32_t times);
  // After `operations` more sector reads and writes, the device is gone:
  // every later open, read, write and lock fails.
  void UnplugAfter(uint64_t operations);
  void Unplug();
  void Plug();
  bool Plugged() const;

  // --- what happened ---
  Mode mode() const { return mode_; }
  std::vector<uint8_t> Memory() const;
  // Bytes streamed with target kind `kind` (2, 3 or any other) at byte address
  // `address` (kind 3 offsets count in 512-byte units); unwritten bytes are 0xFF.
  std::vector<uint8_t> Store(uint32_t kind, uint64_t address, std::size_t length) const;
  std::vector<JournalEntry> Journal() const;
  std::optional<ClockSetting> LastClock() const;
  // Every sector number a write call targeted (whether the device took it or not).
  std::set<uint32_t> WrittenSectors() const;
  uint64_t Operations() const;
  // True once committed data changed unit memory (for saving an image back).
  bool MemoryChanged() const;
  // How many writes have changed unit memory so far.
  uint64_t MemoryCommits() const;
  // Called (outside the device's lock, on the writing thread) after each
  // write that changed unit memory; empty to stop.
  void OnMemoryCommitted(std::function<void()> callback);
  bool InReadTransaction() const;
  bool InWriteTransaction() const;

 private:
  bool WriteSectorLocked(uint32_t sector, const uint8_t* in);
  bool CountOperation();  // false when unplugged by now
  bool InjectedFailure(uint32_t sector);
  void Command(const uint8_t* block);
  void CommitStream();

  mutable std::mutex mutex_;
  const Mode mode_;
  std::vector<uint8_t> memory_;
  bool memoryChanged_ = false;
  uint64_t memoryCommits_ = 0;
  std::function<void()> onCommitted_;

  enum class State { Idle, Reading, Writing };
  State state_ = State::Idle;
  std::array<uint8_t, 12> readParams_{};
  uint32_t streamKind_ = 0;
  uint32_t streamOffset_ = 0;
  std::vector<SectorBlock> streamChunks_;

  std::map<uint32_t, std::map<uint64_t, SectorBlock>> stores_;  // kind -> chunk address -> bytes
  std::vector<JournalEntry> journal_;
  std::optional<ClockSetting> lastClock_;
  std::set<uint32_t> writtenSectors_;

  std::map<uint32_t, uint32_t> failures_;  // sector -> failures left
  std::optional<uint64_t> unplugAt_;
  bool plugged_ = true;
  uint64_t operations_ = 0;
};

// The simulated drives as a DriveEnumerator: each volume it makes opens the
// device whose root matches.
class SimulatedDrives final : public DriveEnumerator {
 public:
  // Drives are scanned in the order they were added.
  void Add(const std::string& root, std::shared_ptr<SimulatedLogger> device);
  std::shared_ptr<SimulatedLogger> Device(const std::string& root) const;

  std::vector<DriveCandidate> Candidates() override;
  std::unique_ptr<RawVolume> NewVolume() override;

 private:
  using Table = std::vector<std::pair<std::string, std::shared_ptr<SimulatedLogger>>>;
  std::shared_ptr<Table> table_ = std::make_shared<Table>();
};

}  // namespace yelvane
