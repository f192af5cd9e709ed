#pragma once

#include <cstdint>

namespace yelvane {

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The program's fixed colours.
inline constexpr Rgb kBarkTint{204, 255, 204};
inline constexpr Rgb kActivityTint{153, 204, 255};
inline constexpr Rgb kSessionTint{255, 255, 153};
inline constexpr Rgb kConnectedColor{0, 0, 255};
inline constexpr Rgb kDisconnectedColor{255, 0, 0};
inline constexpr Rgb kProgressStartColor{0, 128, 0};
inline constexpr Rgb kProgressEndColor{0, 220, 0};
inline constexpr Rgb kProgressTextColor{0, 0, 255};

}  // namespace yelvane
