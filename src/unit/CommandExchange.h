#pragma once

// The command-block protocol on sector 0 and the two transaction shapes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>

#include "common/Clock.h"
#include "unit/RawVolume.h"

namespace yelvane {

using CommandHead = std::array<uint8_t, 6>;
inline constexpr CommandHead kSetClockHead{0x42, 0x52, 0x5A, 0xA5, 1, 0};
inline constexpr CommandHead kBeginWriteHead{0x42, 0x52, 0x5A, 0xA5, 2, 0};
inline constexpr CommandHead kEndWriteHead{0x42, 0x52, 0x5A, 0xA5, 3, 0};
inline constexpr CommandHead kBeginReadHead{0x42, 0x52, 0x5A, 0xA5, 4, 0};
inline constexpr CommandHead kEndReadHead{0x42, 0x52, 0x5A, 0xA5, 5, 0};

inline constexpr uint32_t kBeginPauseMs = 100;
inline constexpr int kSectorAttempts = 4;
inline constexpr uint32_t kCommandSector = 0;
inline constexpr uint32_t kSignatureSector = 1;
inline constexpr uint32_t kStreamSector = 1;
// Unit memory addresses 0 to 0x5FFFF.
inline constexpr uint32_t kLoggerMemorySize = 0x60000;

// One 512-byte sector: command blocks, data sectors, write chunks.
using SectorBlock = std::array<uint8_t, kSectorSize>;

// True when sector 1's bytes hold the logger's signature "BRMSC" and a zero.
bool HasUnitSignature(const uint8_t* sector);

// Reads sector 1 of an open volume and checks the signature.
bool CheckUnitSignature(UnitVolume& volume);

// Sectors a transfer of `length` bytes takes: length / 512, plus one for a rest.
uint32_t SectorCount(uint32_t length);

// Puts a six-byte head at the start of a block, leaving bytes 6-511 alone.
void SetCommandHead(uint8_t* block, const CommandHead& head);

// Zeroed blocks with their head and little-endian parameters.
SectorBlock MakeBeginReadBlock(uint32_t address, uint32_t length);  // kind 1
SectorBlock MakeBeginWriteBlock(uint32_t kind, uint32_t offset, uint32_t lengthField);
SectorBlock MakeSetClockBlock(const std::tm& localTime);

// One sector with up to four attempts; false when the fourth one failed.
bool ReadSectorWithRetry(UnitVolume& volume, uint32_t sector, uint8_t* buffer512);
bool WriteSectorWithRetry(UnitVolume& volume, uint32_t sector, const uint8_t* buffer512);

// The steps the two transactions below are made of.
// Begin: Lock, write `block` to sector 0, pause 100 ms. False when the block
// write failed: the unit never saw the command, so the sectors would show the
// volume's own bytes instead of unit memory. The caller then abandons the
// transfer (AbandonTransaction) without an end block.
bool BeginTransaction(UnitVolume& volume, const SectorBlock& block, Clock& clock);
// End: replace the head of `block` (parameters or the last chunk's rest stay),
// write it to sector 0, Unlock. Returns the block write's result: a write
// stream the unit never saw closed was not committed.
bool EndTransaction(UnitVolume& volume, SectorBlock& block, const CommandHead& endHead);
// After a sector given up: Unlock and Close, no end block.
void AbandonTransaction(UnitVolume& volume);

// Told during a transfer, once the begin block is through: before each
// sector with the number of sectors done so far, and once more after the
// last one (done == count). A transfer given up stops telling.
using SectorProgress = std::function<void(uint32_t done, uint32_t count)>;

// Read transaction on an open, signature-checked volume: begin block, the
// sectors from address / 512 one by one (four attempts each) into
// `destination`, end block; the end block's own result does not count. On a
// sector given up (or a begin block that could not be written) the volume is
// unlocked and closed and no end block is written.
bool ReadUnitMemory(UnitVolume& volume, uint32_t address, uint32_t length, uint8_t* destination,
                    Clock& clock, const SectorProgress& progress = {});

// Write transaction: begin block, payload chunks on sector 1 (a short last
// chunk is zeros followed by the rest of the payload), end block, which
// keeps that chunk's rest after its head. It is the end block that makes the
// unit take the stream, so its failure is a failure too. On any failure the
// volume is unlocked and closed; no end block follows a chunk given up.
bool WriteUnitStream(UnitVolume& volume, uint32_t kind, uint32_t offset, uint32_t lengthField,
                     const uint8_t* payload, std::size_t payloadLength, Clock& clock,
                     const SectorProgress& progress = {});

// One set-clock block from a local time (fields of struct tm): Lock, write
// sector 0, Unlock; no pause, no retry. Returns the block write's result,
// which the protocol does not act upon.
bool SendClock(UnitVolume& volume, const std::tm& localTime);

}  // namespace yelvane
