#include "unit/CommandExchange.h"

#include <algorithm>
#include <cstring>

namespace yelvane {

namespace {

void PutU32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
  at[3] = static_cast<uint8_t>(value >> 24);
}

SectorBlock MakeBlock(const CommandHead& head) {
  SectorBlock block{};
  SetCommandHead(block.data(), head);
  return block;
}

// Chunk `index` of a payload: 512 bytes, or for a short last chunk zeros
// followed by the rest of the payload.
void FillChunk(SectorBlock& block, const uint8_t* payload, std::size_t payloadLength,
               std::size_t index) {
  const std::size_t done = index * kSectorSize;
  const std::size_t size = std::min<std::size_t>(kSectorSize, payloadLength - done);
  if (size < kSectorSize) block.fill(0);
  std::memcpy(block.data(), payload + done, size);
}

}  // namespace

bool HasUnitSignature(const uint8_t* sector) {
  static constexpr uint8_t kSignature[6] = {'B', 'R', 'M', 'S', 'C', 0};
  return std::memcmp(sector, kSignature, sizeof kSignature) == 0;
}

bool CheckUnitSignature(UnitVolume& volume) {
  SectorBlock sector{};
  return volume.ReadSectors(kSignatureSector, sector.data(), 1) && HasUnitSignature(sector.data());
}

uint32_t SectorCount(uint32_t length) {
  return length / kSectorSize + (length % kSectorSize ? 1 : 0);
}

void SetCommandHead(uint8_t* block, const CommandHead& head) {
  std::memcpy(block, head.data(), head.size());
}

SectorBlock MakeBeginReadBlock(uint32_t address, uint32_t length) {
  SectorBlock block = MakeBlock(kBeginReadHead);
  PutU32(&block[6], 1);
  PutU32(&block[10], address);
  PutU32(&block[14], length);
  return block;
}

SectorBlock MakeBeginWriteBlock(uint32_t kind, uint32_t offset, uint32_t lengthField) {
  SectorBlock block = MakeBlock(kBeginWriteHead);
  PutU32(&block[6], kind);
  PutU32(&block[10], offset);
  PutU32(&block[14], lengthField);
  return block;
}

SectorBlock MakeSetClockBlock(const std::tm& t) {
  SectorBlock block = MakeBlock(kSetClockHead);
  block[6] = static_cast<uint8_t>(t.tm_year + 1900 - 2000);  // low 8 bits of the difference
  block[7] = static_cast<uint8_t>(t.tm_mon + 1);
  block[8] = static_cast<uint8_t>(t.tm_mday);
  block[9] = static_cast<uint8_t>(t.tm_hour);
  block[10] = static_cast<uint8_t>(t.tm_min);
  block[11] = static_cast<uint8_t>(t.tm_sec);
  block[12] = static_cast<uint8_t>(t.tm_wday);
  return block;
}

bool ReadSectorWithRetry(UnitVolume& volume, uint32_t sector, uint8_t* buffer512) {
  for (int attempt = 0; attempt < kSectorAttempts; ++attempt) {
    if (volume.ReadSectors(sector, buffer512, 1)) return true;
  }
  return false;
}

bool WriteSectorWithRetry(UnitVolume& volume, uint32_t sector, const uint8_t* buffer512) {
  for (int attempt = 0; attempt < kSectorAttempts; ++attempt) {
    if (volume.WriteSectors(sector, buffer512, 1)) return true;
  }
  return false;
}

bool BeginTransaction(UnitVolume& volume, const SectorBlock& block, Clock& clock) {
  // Only the block write tells whether the unit got the command; a refused
  // lock alone does not stop the back-ends that can write without one.
  volume.Lock();
  if (!volume.WriteSectors(kCommandSector, block.data(), 1)) return false;
  clock.SleepMs(kBeginPauseMs);
  return true;
}

bool EndTransaction(UnitVolume& volume, SectorBlock& block, const CommandHead& endHead) {
  SetCommandHead(block.data(), endHead);
  const bool written = volume.WriteSectors(kCommandSector, block.data(), 1);
  volume.Unlock();
  return written;
}

void AbandonTransaction(UnitVolume& volume) {
  volume.Unlock();
  volume.Close();
}

bool ReadUnitMemory(UnitVolume& volume, uint32_t address, uint32_t length, uint8_t* destination,
                    Clock& clock, const SectorProgress& progress) {
  SectorBlock block = MakeBeginReadBlock(address, length);
  if (!BeginTransaction(volume, block, clock)) {
    AbandonTransaction(volume);
    return false;
  }
  const uint32_t start = address / kSectorSize;
  const uint32_t count = SectorCount(length);
  SectorBlock data{};
  for (uint32_t i = 0; i < count; ++i) {
    if (progress) progress(i, count);
    if (!ReadSectorWithRetry(volume, start + i, data.data())) {
      AbandonTransaction(volume);
      return false;
    }
    const uint32_t done = i * kSectorSize;
    std::memcpy(destination + done, data.data(), std::min(kSectorSize, length - done));
  }
  if (progress) progress(count, count);
  EndTransaction(volume, block, kEndReadHead);
  return true;
}

bool WriteUnitStream(UnitVolume& volume, uint32_t kind, uint32_t offset, uint32_t lengthField,
                     const uint8_t* payload, std::size_t payloadLength, Clock& clock,
                     const SectorProgress& progress) {
  SectorBlock block = MakeBeginWriteBlock(kind, offset, lengthField);
  if (!BeginTransaction(volume, block, clock)) {
    AbandonTransaction(volume);  // no chunk goes to a unit that did not take the command
    return false;
  }
  const auto count =
      static_cast<uint32_t>(payloadLength / kSectorSize + (payloadLength % kSectorSize ? 1 : 0));
  for (uint32_t i = 0; i < count; ++i) {
    if (progress) progress(i, count);
    FillChunk(block, payload, payloadLength, i);
    if (!WriteSectorWithRetry(volume, kStreamSector, block.data())) {
      AbandonTransaction(volume);
      return false;
    }
  }
  if (progress) progress(count, count);
  if (EndTransaction(volume, block, kEndWriteHead)) return true;
  volume.Close();  // unlocked already
  return false;
}

bool SendClock(UnitVolume& volume, const std::tm& localTime) {
  const SectorBlock block = MakeSetClockBlock(localTime);
  volume.Lock();
  const bool written = volume.WriteSectors(kCommandSector, block.data(), 1);
  volume.Unlock();
  return written;
}

}  // namespace yelvane
