#include "common/SafeText.h"

#include <cstdint>

namespace yelvane {

namespace {

// Length of the valid UTF-8 sequence at `i`, 0 when there is none.
std::size_t SequenceLength(std::string_view s, std::size_t i, uint32_t& code) {
  const auto byte = [&](std::size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t lead = byte(i);
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  std::size_t length;
  uint32_t min;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, min = 0x80, code = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, min = 0x800, code = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, min = 0x10000, code = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

template <typename Keep>
std::string Rewrite(std::string_view text, bool* replaced, Keep keep) {
  std::string out;
  out.reserve(text.size());
  bool any = false;
  for (std::size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    const std::size_t length = SequenceLength(text, i, code);
    if (length == 0 || !keep(code)) {
      out += kReplacementCharacter;
      any = true;
      i += length == 0 ? 1 : length;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  if (replaced) *replaced = any;
  return out;
}

}  // namespace

std::string ValidUtf8(std::string_view text, bool* replaced) {
  return Rewrite(text, replaced, [](uint32_t) { return true; });
}

bool HasControlCharacters(std::string_view text) {
  for (const char c : text)
    if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

std::string ReportText(std::string_view text) {
  // U+FFFE and U+FFFF are no characters to XML either.
  return Rewrite(text, nullptr,
                 [](uint32_t c) { return c >= 0x20 && c != 0x7F && c != 0xFFFE && c != 0xFFFF; });
}

std::string TerminalText(std::string_view text) {
  return Rewrite(text, nullptr, [](uint32_t c) {
    return c == '\n' || c == '\t' || (c >= 0x20 && c != 0x7F && (c < 0x80 || c > 0x9F));
  });
}

}  // namespace yelvane
