#pragma once

#include <string>

namespace yelvane {

// Writes `bytes` to a temporary file in the target's folder and renames it
// over `path`, so a failure never destroys an existing file. On failure
// returns false with a message for the user in `error`.
bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace yelvane
