// Windows-1252 <-> UTF-8 at the system's boundaries, and the names a file
// system entry may stand for.
#include "pal/pal_codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Codepage, EveryDefinedByteGoesToUtf8AndBack) {
  for (int b = 1; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const std::string utf8 = pal_Cp1252ToUtf8(one);
    const bool undefined = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
    int refused = -1;
    const std::string back = pal_Utf8ToCp1252(utf8, &refused);
    if (undefined) {
      EXPECT_EQ(utf8, "\xEF\xBF\xBD") << b;  // U+FFFD, which the code page cannot hold
      EXPECT_EQ(refused, 1) << b;
    } else {
      EXPECT_EQ(back, one) << b;
      EXPECT_EQ(refused, 0) << b;
    }
  }
}

TEST(Codepage, KnownCharactersBothWays) {
  struct Case {
    const char* cp1252;
    const char* utf8;
  };
  const Case cases[] = {
      {"Gr\xFC\xDF" "e, Stra\xDF" "e / 7&8", "Grüße, Straße / 7&8"},
      {"Caf\xE9 D\xE9mo", "Café Démo"},
      {"\x80 \x8C\x9C \x8A\x9A \x8E\x9E \x9F", "€ Œœ Šš Žž Ÿ"},
      {"\x93quoted\x94 \x85", "“quoted” …"},
      {"\xA0\xFF", "\u00A0ÿ"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pal_Cp1252ToUtf8(c.cp1252), c.utf8);
    EXPECT_EQ(pal_Utf8ToCp1252(c.utf8), c.cp1252);
  }
}

TEST(Codepage, WhatTheCodePageCannotHoldIsLeftOutAndCounted) {
  struct Case {
    std::string utf8, cp1252;
    int refused;
  };
  const Case cases[] = {
      {"Łódź", "\xF3" "d", 2},                   // Ł and ź are outside, ó inside
      {"a\xF0\x9F\x98\x80z", "az", 1},           // a four-byte character
      {"x\xC3", "x", 1},                         // cut short
      {"\xC0\xAF", "", 2},                       // an overlong "/" is two stray bytes
      {"\xED\xA0\x80!", "!", 3},                 // a surrogate
      {std::string("a\0b", 3), std::string("a\0b", 3), 0},
  };
  for (const Case& c : cases) {
    int refused = -1;
    EXPECT_EQ(pal_Utf8ToCp1252(c.utf8, &refused), c.cp1252) << c.utf8;
    EXPECT_EQ(refused, c.refused) << c.utf8;
  }
}

TEST(Codepage, FileSystemNamesAreUtf8OnLinux) {
  EXPECT_EQ(pal_SystemText("Caf\xE9 Demo"), "Café Demo");
  std::string name;
  EXPECT_TRUE(pal_TextFromSystem("Café Demo", &name));
  EXPECT_EQ(name, "Caf\xE9 Demo");
  EXPECT_FALSE(pal_TextFromSystem("Łódź", &name));
  EXPECT_FALSE(pal_TextFromSystem("Caf\xE9", &name));  // not UTF-8: a name no demo has
}

}  // namespace
