// Byte-string helpers that must step over Shift-JIS double-byte characters,
// and bounded formatting.
#include "engine/core/base/text_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/base/format_string.h"

namespace {

// A heap copy of exactly the text and its NUL, so that reading past the end
// is caught by the address sanitizer.
std::unique_ptr<char[]> ExactCopy(const std::string& text) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return copy;
}

TEST(StrFindCharTest, SkipsSecondBytesOfDoubleByteCharacters) {
  struct Case {
    std::string text;
    int byte;
    int expected_index;  // -1: not found
  };
  const std::vector<Case> cases = {
      {"abc", 'b', 1},
      {"abc", 'x', -1},
      {"\x95\x5C\\", '\\', 2},        // 表 then a real backslash
      {"\x95\x5C", '\\', -1},         // only the trail byte of 表
      {"\x82\x61" "a", 'a', 2},       // Ｂ has trail byte 0x61
      {"\x83\x5C\x83\x5C/x", '/', 4},
      {"\xB1\x5C", '\\', 1},          // half-width katakana is a single byte
      {"ab\x95", 'x', -1},            // cut-off lead byte before the NUL
      {"a\nb", '\n', 1},
      {"abc", 0, -1},
  };
  for (const Case& c : cases) {
    std::unique_ptr<char[]> text = ExactCopy(c.text);
    const char* found = StrFindChar(static_cast<const char*>(text.get()), c.byte);
    int index = found ? static_cast<int>(found - text.get()) : -1;
    EXPECT_EQ(index, c.expected_index) << c.text;
  }
}

TEST(StrToUpperTest, LeavesDoubleByteCharactersAlone) {
  struct Case {
    std::string text, expected;
  };
  const std::vector<Case> cases = {
      {"abcXYZ09", "ABCXYZ09"},
      {"a\x82\x61z", "A\x82\x61Z"},          // trail byte 0x61 stays 'a'
      {"\x88\x70\x88\x71q", "\x88\x70\x88\x71Q"},  // trail bytes p, q
      {"\xB1z", "\xB1Z"},
      {"x\x95", "X\x95"},                    // cut-off lead byte
      {"", ""},
  };
  for (const Case& c : cases) {
    std::unique_ptr<char[]> text = ExactCopy(c.text);
    StrToUpper(text.get());
    EXPECT_EQ(std::string(text.get()), c.expected);
  }
}

TEST(StrCompareTest, EqualityOnly) {
  EXPECT_EQ(StrCompare("abc", "abc"), 0);
  EXPECT_EQ(StrCompare("abc", "abd"), 1);
  EXPECT_EQ(StrCompare("abd", "abc"), 1);  // no ordering
  EXPECT_EQ(StrCompare("ab", "abc"), 1);
  EXPECT_EQ(StrCompare("", ""), 0);
  // Exactly n bytes, past a NUL.
  EXPECT_EQ(StrCompareN("ab\0x", "ab\0y", 3), 0);
  EXPECT_EQ(StrCompareN("ab\0x", "ab\0y", 4), 1);
  EXPECT_EQ(StrCompareN("abc", "xyz", 0), 0);
}

TEST(MemHelpersTest, FillCompareCopyMove) {
  unsigned char buffer[16];
  MemFill(buffer, 0x1AB, sizeof(buffer));  // only the low byte counts
  for (unsigned char b : buffer) EXPECT_EQ(b, 0xAB);
  EXPECT_EQ(MemCompare(buffer, buffer + 1, 15), 0);
  EXPECT_EQ(MemCompare("a", "b", 0), 0);
  EXPECT_EQ(MemCompare("abcd", "abce", 4), 1);

  char overlap[] = "0123456789";
  EXPECT_EQ(MemMove(overlap + 2, overlap, 6), overlap + 2);  // forward overlap
  EXPECT_STREQ(overlap, "0101234589");
  char back[] = "0123456789";
  MemMove(back, back + 3, 7);
  EXPECT_STREQ(back, "3456789789");
  char dst[6] = {};
  EXPECT_EQ(MemCopy(dst, "hello", 6), dst);
  EXPECT_STREQ(dst, "hello");

  // Overlapping ranges are the caller's mistake; the copy still stays the
  // forward byte copy, repeating the pattern.
  char pattern[] = "abcdef";
  MemCopy(pattern + 1, pattern, 5);
  EXPECT_STREQ(pattern, "aaaaaa");

  char text[32] = "ab";
  StrAppend(text, "\x95\x5C" "cd");
  EXPECT_STREQ(text, "ab\x95\x5C" "cd");
  StrCopy(text, "x");
  EXPECT_STREQ(text, "x");
  EXPECT_EQ(text[3], '\x5C');  // bytes after the NUL are untouched
}

TEST(IsLeadByteTest, ShiftJisAndKoreanModes) {
  struct Case {
    unsigned char byte;
    int mode1, mode2;
  };
  const std::vector<Case> cases = {
      {0x41, 0, 0}, {0x7F, 0, 0}, {0x80, 0, 1}, {0x81, 1, 1}, {0x9F, 1, 1},
      {0xA0, 0, 1}, {0xDF, 0, 1}, {0xE0, 1, 1}, {0xFC, 1, 1}, {0xFD, 0, 1},
      {0xFF, 0, 1},
  };
  for (const Case& c : cases) {
    const char byte = static_cast<char>(c.byte);
    EXPECT_EQ(IsLeadByte(&byte, 1), c.mode1) << int(c.byte);
    EXPECT_EQ(IsLeadByte(&byte, 2), c.mode2) << int(c.byte);
  }
}

TEST(FormatStringTest, CutsToTheBufferSize) {
  char buffer[8];
  EXPECT_EQ(FormatString(buffer, sizeof(buffer), "%d-%s", 12, "abc"), 6);
  EXPECT_STREQ(buffer, "12-abc");
  EXPECT_EQ(FormatString(buffer, sizeof(buffer), "%s", "abcdefghij"), 7);
  EXPECT_STREQ(buffer, "abcdefg");
  EXPECT_EQ(FormatString(buffer, 1, "%s", "abc"), 0);
  EXPECT_STREQ(buffer, "");
  char untouched = 'z';
  EXPECT_EQ(FormatString(&untouched, 0, "%s", "abc"), 0);
  EXPECT_EQ(untouched, 'z');
  EXPECT_EQ(FormatString(buffer, sizeof(buffer), "\x95\x5C%s", "\x83\x5C"), 4);
  EXPECT_STREQ(buffer, "\x95\x5C\x83\x5C");
}

TEST(FormatStringTest, StringFormHoldsTheWholeText) {
  // Longer than any buffer the library formats into, and a file name whose
  // second byte is a backslash: nothing is cut or taken for an escape.
  const std::string long_name(5000, 'x');
  const std::string text = FormatString("%s:%d", long_name.c_str(), -7);
  EXPECT_EQ(text.size(), 5003u);
  EXPECT_EQ(text.substr(4998), "xx:-7");
  EXPECT_EQ(FormatString("\x95\x5C%s %u", "\x83\x5C", 3u), "\x95\x5C\x83\x5C 3");
  EXPECT_EQ(FormatString("%s", ""), "");
}

}  // namespace
