#include "sim/SimulatedLogger.h"

#include <algorithm>
#include <cstring>

namespace yelvane {

namespace {

uint32_t GetU32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

bool HeadMatches(const uint8_t* block) {
  return block[0] == 0x42 && block[1] == 0x52 && block[2] == 0x5A && block[3] == 0xA5 &&
         block[5] == 0;
}

// The volume one operation opens on a simulated drive.
class SimulatedVolume final : public RawVolume {
 public:
  using Table = std::vector<std::pair<std::string, std::shared_ptr<SimulatedLogger>>>;
  explicit SimulatedVolume(std::shared_ptr<const Table> table) : table_(std::move(table)) {}

  bool Open(const std::string& rootPath) override {
    device_.reset();
    for (const auto& [root, device] : *table_) {
      if (root == rootPath && device->Open()) {
        device_ = device;
        return true;
      }
    }
    return false;
  }
  void Close() override { device_.reset(); }
  bool ReadSectors(uint32_t sector, void* buffer, uint32_t count) override {
    if (!device_) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    for (uint32_t i = 0; i < count; ++i) {
      if (!device_->ReadSector(sector + i, out + std::size_t{i} * kSectorSize)) return false;
    }
    return true;
  }
  bool WriteSectors(uint32_t sector, const void* buffer, uint32_t count) override {
    if (!device_ || sector >= kWritableSectorLimit || count > kWritableSectorLimit - sector) {
      return false;
    }
    const auto* in = static_cast<const uint8_t*>(buffer);
    for (uint32_t i = 0; i < count; ++i) {
      if (!device_->WriteSector(sector + i, in + std::size_t{i} * kSectorSize)) return false;
    }
    return true;
  }
  bool Lock() override { return device_ && device_->Lock(); }
  bool Unlock() override {
    if (device_) device_->Unlock();
    return true;
  }

 private:
  std::shared_ptr<const Table> table_;
  std::shared_ptr<SimulatedLogger> device_;
};

}  // namespace

std::vector<uint8_t> MakeBlankMemory(int8_t major, int8_t minor) {
  std::vector<uint8_t> memory(kLoggerMemorySize, 0xFF);
  uint8_t* record = &memory[kVersionRecordAddress];
  std::fill(record, record + kVersionRecordLength, 0);
  record[0] = static_cast<uint8_t>(minor);
  record[1] = static_cast<uint8_t>(major);
  return memory;
}

SimulatedLogger::SimulatedLogger(std::vector<uint8_t> memory, Mode mode)
    : mode_(mode), memory_(std::move(memory)) {
  memory_.resize(kLoggerMemorySize, 0xFF);
}

bool SimulatedLogger::CountOperation() {
  if (!plugged_) return false;
  if (unplugAt_ && operations_ >= *unplugAt_) {
    plugged_ = false;
    return false;
  }
  ++operations_;
  return true;
}

bool SimulatedLogger::InjectedFailure(uint32_t sector) {
  auto it = failures_.find(sector);
  if (it == failures_.end() || it->second == 0) return false;
  --it->second;
  return true;
}

bool SimulatedLogger::Open() {
  std::lock_guard lock(mutex_);
  return plugged_ && !(unplugAt_ && operations_ >= *unplugAt_);
}

bool SimulatedLogger::Lock() {
  return Open();
}

void SimulatedLogger::Unlock() {}

bool SimulatedLogger::ReadSector(uint32_t sector, uint8_t* out) {
  std::lock_guard lock(mutex_);
  if (!CountOperation() || InjectedFailure(sector)) return false;
  const uint64_t address = uint64_t{sector} * kSectorSize;
  const bool servesMemory = mode_ == Mode::Plain || state_ == State::Reading;
  if (servesMemory) {
    if (address + kSectorSize > memory_.size()) return false;
    std::memcpy(out, &memory_[address], kSectorSize);
    return true;
  }
  std::memset(out, 0, kSectorSize);
  if (sector == kSignatureSector) std::memcpy(out, "BRMSC", 6);
  return true;
}

bool SimulatedLogger::WriteSector(uint32_t sector, const uint8_t* in) {
  std::function<void()> notify;
  bool ok;
  {
    std::lock_guard lock(mutex_);
    const uint64_t before = memoryCommits_;
    ok = WriteSectorLocked(sector, in);
    if (memoryCommits_ != before) notify = onCommitted_;
  }
  if (notify) notify();
  return ok;
}

uint64_t SimulatedLogger::MemoryCommits() const {
  std::lock_guard lock(mutex_);
  return memoryCommits_;
}

void SimulatedLogger::OnMemoryCommitted(std::function<void()> callback) {
  std::lock_guard lock(mutex_);
  onCommitted_ = std::move(callback);
}

bool SimulatedLogger::WriteSectorLocked(uint32_t sector, const uint8_t* in) {
  writtenSectors_.insert(sector);
  if (!CountOperation() || InjectedFailure(sector)) return false;
  if (mode_ == Mode::Plain) {
    const uint64_t address = uint64_t{sector} * kSectorSize;
    if (address + kSectorSize > memory_.size()) return false;
    std::memcpy(&memory_[address], in, kSectorSize);
    memoryChanged_ = true;
    ++memoryCommits_;
    return true;
  }
  if (sector == kCommandSector) {
    Command(in);
  } else if (sector == kStreamSector && state_ == State::Writing) {
    SectorBlock chunk;
    std::memcpy(chunk.data(), in, kSectorSize);
    streamChunks_.push_back(chunk);
  }
  // Anything else is taken and dropped, as the logger's firmware does.
  return true;
}

void SimulatedLogger::Command(const uint8_t* block) {
  JournalEntry entry;
  std::memcpy(entry.block.data(), block, kSectorSize);
  const uint8_t code = block[4];
  const uint8_t* params = block + 6;
  bool accepted = false;
  if (HeadMatches(block)) {
    switch (code) {
      case 1: {
        const ClockSetting clock{params[0], params[1], params[2], params[3],
                                 params[4], params[5], params[6]};
        accepted = state_ == State::Idle && clock.month >= 1 && clock.month <= 12 &&
                   clock.day >= 1 && clock.day <= 31 && clock.hour < 24 && clock.minute < 60 &&
                   clock.second < 60 && clock.dayOfWeek < 7;
        if (accepted) lastClock_ = clock;
        break;
      }
      case 2:
        accepted = state_ == State::Idle;
        if (accepted) {
          state_ = State::Writing;
          streamKind_ = GetU32(params);
          streamOffset_ = GetU32(params + 4);
          streamChunks_.clear();
        }
        break;
      case 3:
        accepted = state_ == State::Writing;
        if (accepted) {
          CommitStream();
          state_ = State::Idle;
        }
        break;
      case 4: {
        const uint64_t end = uint64_t{GetU32(params + 4)} + GetU32(params + 8);
        accepted = state_ == State::Idle && GetU32(params) == 1 && end <= memory_.size();
        if (accepted) {
          state_ = State::Reading;
          std::memcpy(readParams_.data(), params, readParams_.size());
        }
        break;
      }
      case 5:
        accepted = state_ == State::Reading &&
                   std::memcmp(readParams_.data(), params, readParams_.size()) == 0;
        if (accepted) state_ = State::Idle;
        break;
      default:
        break;
    }
  }
  entry.accepted = accepted;
  journal_.push_back(entry);
}

void SimulatedLogger::CommitStream() {
  bool changed = false;
  const uint64_t base = streamKind_ == 3 ? uint64_t{streamOffset_} * kSectorSize : streamOffset_;
  for (std::size_t i = 0; i < streamChunks_.size(); ++i) {
    const uint64_t address = base + i * kSectorSize;
    if (streamKind_ == 1) {
      if (address >= memory_.size()) break;
      const std::size_t size = std::min<uint64_t>(kSectorSize, memory_.size() - address);
      std::memcpy(&memory_[address], streamChunks_[i].data(), size);
      memoryChanged_ = true;
      changed = true;
    } else {
      stores_[streamKind_][address] = streamChunks_[i];
    }
  }
  streamChunks_.clear();
  if (changed) ++memoryCommits_;
}

void SimulatedLogger::FailSector(uint32_t sector, uint32_t times) {
  std::lock_guard lock(mutex_);
  failures_[sector] = times;
}

void SimulatedLogger::UnplugAfter(uint64_t operations) {
  std::lock_guard lock(mutex_);
  unplugAt_ = operations_ + operations;
}

void SimulatedLogger::Unplug() {
  std::lock_guard lock(mutex_);
  plugged_ = false;
}

void SimulatedLogger::Plug() {
  std::lock_guard lock(mutex_);
  plugged_ = true;
  unplugAt_.reset();
  // A fresh power-up: whatever transfer was open is gone.
  state_ = State::Idle;
  streamChunks_.clear();
}

bool SimulatedLogger::Plugged() const {
  std::lock_guard lock(mutex_);
  return plugged_ && !(unplugAt_ && operations_ >= *unplugAt_);
}

std::vector<uint8_t> SimulatedLogger::Memory() const {
  std::lock_guard lock(mutex_);
  return memory_;
}

std::vector<uint8_t> SimulatedLogger::Store(uint32_t kind, uint64_t address,
                                            std::size_t length) const {
  std::lock_guard lock(mutex_);
  std::vector<uint8_t> bytes(length, 0xFF);
  const auto store = stores_.find(kind);
  if (store == stores_.end()) return bytes;
  for (const auto& [start, chunk] : store->second) {
    for (std::size_t i = 0; i < kSectorSize; ++i) {
      const uint64_t at = start + i;
      if (at >= address && at - address < length) bytes[at - address] = chunk[i];
    }
  }
  return bytes;
}

std::vector<JournalEntry> SimulatedLogger::Journal() const {
  std::lock_guard lock(mutex_);
  return journal_;
}

std::optional<ClockSetting> SimulatedLogger::LastClock() const {
  std::lock_guard lock(mutex_);
  return lastClock_;
}

std::set<uint32_t> SimulatedLogger::WrittenSectors() const {
  std::lock_guard lock(mutex_);
  return writtenSectors_;
}

uint64_t SimulatedLogger::Operations() const {
  std::lock_guard lock(mutex_);
  return operations_;
}

bool SimulatedLogger::MemoryChanged() const {
  std::lock_guard lock(mutex_);
  return memoryChanged_;
}

bool SimulatedLogger::InReadTransaction() const {
  std::lock_guard lock(mutex_);
  return state_ == State::Reading;
}

bool SimulatedLogger::InWriteTransaction() const {
  std::lock_guard lock(mutex_);
  return state_ == State::Writing;
}

void SimulatedDrives::Add(const std::string& root, std::shared_ptr<SimulatedLogger> device) {
  table_->emplace_back(root, std::move(device));
}

std::shared_ptr<SimulatedLogger> SimulatedDrives::Device(const std::string& root) const {
  for (const auto& [name, device] : *table_) {
    if (name == root) return device;
  }
  return nullptr;
}

std::vector<DriveCandidate> SimulatedDrives::Candidates() {
  std::vector<DriveCandidate> candidates;
  for (const auto& entry : *table_) candidates.push_back({entry.first});
  return candidates;
}

std::unique_ptr<RawVolume> SimulatedDrives::NewVolume() {
  return std::make_unique<SimulatedVolume>(table_);
}

}  // namespace yelvane
