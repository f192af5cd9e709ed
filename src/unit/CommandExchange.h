#pragma once

// The command-block protocol on sector 0 and the two transaction shapes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>

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

// True when sector 1's bytes hold the logger's signature "BRMSC" and a zero.
bool HasUnitSignature(const uint8_t* sector);

// Reads sector 1 of an open volume and checks the signature.
bool CheckUnitSignature(UnitVolume& volume);

// Read transaction on an open, signature-checked volume. On a sector given up
// the volume is unlocked and closed and no end block is written.
bool ReadUnitMemory(UnitVolume& volume, uint32_t address, uint32_t length, uint8_t* destination,
                    Clock& clock);

// Write transaction: begin block, payload chunks on sector 1, end block.
bool WriteUnitStream(UnitVolume& volume, uint32_t kind, uint32_t offset, uint32_t lengthField,
                     const uint8_t* payload, std::size_t payloadLength, Clock& clock);

// One set-clock block from a local time (fields of struct tm).
bool SendClock(UnitVolume& volume, const std::tm& localTime);

}  // namespace yelvane
