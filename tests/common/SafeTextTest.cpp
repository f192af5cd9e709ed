#include <gtest/gtest.h>

#include <string>

#include "common/SafeText.h"

namespace yelvane {
namespace {

const std::string R = kReplacementCharacter;

TEST(SafeText, InvalidUtf8BecomesReplacementCharacters) {
  const struct {
    std::string in, out;
    bool replaced;
  } cases[] = {
      {"Bj\xC3\xB8rn \xE2\x80\xA6 \xF0\x9F\x90\x95", "Bj\xC3\xB8rn \xE2\x80\xA6 \xF0\x9F\x90\x95",
       false},
      {"Bj\xF8rn", "Bj" + R + "rn", true},        // a Latin-1 byte
      {"\xC0\xAF", R + R, true},                  // overlong '/'
      {"\xE0\x80\xAF", R + R + R, true},          // overlong, three bytes
      {"\xED\xA0\x80", R + R + R, true},          // a surrogate
      {"\xF4\x90\x80\x80", R + R + R + R, true},  // past U+10FFFF
      {"ab\xE2\x80", "ab" + R + R, true},         // cut short at the end
      {"\x80x\xBF", R + "x" + R, true},           // stray continuation bytes
      {std::string("a\0b", 3), std::string("a\0b", 3), false},
  };
  for (const auto& c : cases) {
    bool replaced = !c.replaced;
    EXPECT_EQ(ValidUtf8(c.in, &replaced), c.out) << c.in;
    EXPECT_EQ(replaced, c.replaced) << c.in;
  }
}

TEST(SafeText, ControlCharactersNeitherReachReportsNorDriveTerminals) {
  for (const std::string bad : {"a\nb", "a\rb", "\tx", "\x1b[2J", "x\x7f", "\x01"})
    EXPECT_TRUE(HasControlCharacters(bad)) << bad;
  EXPECT_FALSE(HasControlCharacters("Sir Barksalot \xC3\xB8 \xC2\x85"));
  EXPECT_EQ(ReportText("Rex\r\nPet Owner: Forged\xEF\xBF\xBF"),
            "Rex" + R + R + "Pet Owner: Forged" + R);
  // Line breaks and tabs stay on a terminal; escapes, DEL and C1 controls go.
  EXPECT_EQ(TerminalText("line\n\tx\x1b[31m\x7f\xC2\x9B\xC2\xA0\x9B"),
            "line\n\tx" + R + "[31m" + R + R + "\xC2\xA0" + R);
}

}  // namespace
}  // namespace yelvane
