#pragma once

#include <cstdarg>
#include <string>

namespace yelvane {

// printf-style formatting into a std::string; the program's fixed texts
// ("%02d-%02d-20%02d", "%ldK/%ldK", ...) all go through here.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);

}  // namespace yelvane
