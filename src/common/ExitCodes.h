#pragma once

namespace yelvane {

// How both programs end.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the operation failed
inline constexpr int kExitUsage = 2;   // bad command line

}  // namespace yelvane
