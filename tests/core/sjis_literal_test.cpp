// The system's own texts are written in UTF-8 source and compiled into
// Shift-JIS bytes; a character whose second byte is 0x5C must survive as one
// character.
#include <gtest/gtest.h>

#include "engine/core/base/text_helpers.h"

namespace {

#if VESK_SJIS_LITERALS
TEST(SjisLiteralTest, NarrowLiteralsAreShiftJisBytes) {
  const char so[] = "ソ";
  ASSERT_EQ(sizeof(so), 3u);
  EXPECT_EQ(static_cast<unsigned char>(so[0]), 0x83);
  EXPECT_EQ(static_cast<unsigned char>(so[1]), 0x5C);

  const char message[] = "表示\\";
  ASSERT_EQ(sizeof(message), 6u);
  EXPECT_EQ(static_cast<unsigned char>(message[0]), 0x95);
  EXPECT_EQ(static_cast<unsigned char>(message[1]), 0x5C);
  EXPECT_EQ(static_cast<unsigned char>(message[2]), 0x8E);
  EXPECT_EQ(static_cast<unsigned char>(message[3]), 0xA6);
  // The only real backslash is the last byte.
  EXPECT_EQ(StrFindChar(message, '\\'), message + 4);
}
#endif

}  // namespace
