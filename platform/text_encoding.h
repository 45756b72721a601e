// Code page 932 at the edge of the program. The engine keeps Shift-JIS bytes
// everywhere; file names, window titles, glyph look-ups, message boxes and
// stderr are converted here (iconv "CP932"). Bytes that do not convert are
// replaced by '?' (one per undecodable byte).
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string SjisToUtf8(std::string_view sjis);
std::string Utf8ToSjis(std::string_view utf8);

// Unicode code point of one Shift-JIS character (one or two bytes), or 0 when
// it does not decode.
char32_t SjisCharToCodePoint(unsigned char lead, unsigned char trail);

}  // namespace platform
