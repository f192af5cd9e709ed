#pragma once

// User text on its way into a report or onto a terminal: UTF-8 that is
// valid, and no control characters that would forge lines or drive the
// terminal.

#include <string>
#include <string_view>

namespace yelvane {

inline constexpr const char* kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

// `text` with every invalid UTF-8 sequence (stray or missing continuation
// bytes, overlong forms, surrogates, values past U+10FFFF) replaced by
// U+FFFD. `replaced` (optional) tells whether anything was.
std::string ValidUtf8(std::string_view text, bool* replaced = nullptr);

// True when `text` holds a byte below 0x20 or 0x7F (line breaks and tabs
// included).
bool HasControlCharacters(std::string_view text);

// What a report writes of a user's text: valid UTF-8 with every control
// character replaced by U+FFFD.
std::string ReportText(std::string_view text);

// What may reach a terminal: valid UTF-8 in which only line breaks and tabs
// remain of the control characters (C0, DEL and C1); the others become
// U+FFFD, so an input can never move the cursor or change the terminal.
std::string TerminalText(std::string_view text);

}  // namespace yelvane
