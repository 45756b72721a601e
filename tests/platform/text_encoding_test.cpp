// Code page 932 conversions at the program's edge.
#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

TEST(TextEncodingTest, RoundTripsBetweenShiftJisAndUtf8) {
  struct Case {
    std::string sjis;
    std::string utf8;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"Game.dat", "Game.dat"},
      {"\x95\x5C", U8(u8"表")},
      {"\x83\x5C\x83\x74\x83\x67", U8(u8"ソフト")},
      {"\x8B\x4E\x93\xAE\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD",
       U8(u8"起動に失敗しました")},
      {"\xB1\xB2", U8(u8"ｱｲ")},  // half-width katakana, single bytes
      {"a\\b", "a\\b"},          // 0x5C alone stays a backslash
      {"\x87\x40", U8(u8"①")},   // an extension row of code page 932
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SjisToUtf8(c.sjis), c.utf8) << c.utf8;
    EXPECT_EQ(Utf8ToSjis(c.utf8), c.sjis) << c.utf8;
  }
}

TEST(TextEncodingTest, UndecodableBytesBecomeQuestionMarks) {
  EXPECT_EQ(SjisToUtf8("a\x80z"), "a?z");
  EXPECT_EQ(SjisToUtf8("ab\x95"), "ab?");  // lead byte cut off at the end
  EXPECT_EQ(SjisToUtf8("\xFF\xFF"), "??");
  EXPECT_EQ(Utf8ToSjis("a\xF0\x9F\x98\x80" "b"), "a?b");  // an emoji has no Shift-JIS form: one '?'
  EXPECT_EQ(Utf8ToSjis("x\xC3y"), "x?y");       // broken UTF-8 byte
  EXPECT_EQ(Utf8ToSjis("\xE3\x81"), "??");      // truncated sequence
}

TEST(TextEncodingTest, SingleCharacterCodePoints) {
  EXPECT_EQ(SjisCharToCodePoint('A', 0), U'A');
  EXPECT_EQ(SjisCharToCodePoint(0x95, 0x5C), U'表');
  EXPECT_EQ(SjisCharToCodePoint(0x82, 0xA0), U'あ');
  EXPECT_EQ(SjisCharToCodePoint(0xB1, 0x00), U'ｱ');
  EXPECT_EQ(SjisCharToCodePoint(0x81, 0x20), 0u);  // invalid trail byte
  EXPECT_EQ(SjisCharToCodePoint(0x80, 0x00), 0u);
}

}  // namespace
}  // namespace platform
