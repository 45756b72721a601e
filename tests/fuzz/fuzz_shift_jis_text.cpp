// Shift-JIS texts and paths from game files: the text helpers, the code
// page conversions, the path splitter and the wildcard matcher must accept
// any bytes (cut-off double-byte characters, stray 0x5C trail bytes, NULs).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/base/log.h"
#include "engine/core/base/number_helpers.h"
#include "engine/core/base/text_helpers.h"
#include "platform/file_system.h"
#include "platform/text_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // One half as the pattern, the other as the name.
  const size_t half = size / 2;
  platform::WildcardMatch(std::string_view(bytes).substr(0, half),
                          std::string_view(bytes).substr(half));
  platform::EngineToNativeLexical(bytes);
  const std::string utf8 = platform::SjisToUtf8(bytes);
  platform::Utf8ToSjis(utf8);
  platform::Utf8ToSjis(bytes);
  if (size >= 2) platform::SjisCharToCodePoint(data[0], data[1]);

  std::string text = bytes.substr(0, bytes.find('\0'));  // a C string of exactly its bytes
  StrFindChar(text.c_str(), '\\');
  StrFindChar(text.c_str(), '\n');
  StrToInt(text.c_str());
  StrToUpper(text.data());
  EnableLogFile(0);  // the line-end conversion runs, nothing is written
  WriteLog(text.c_str());
  return 0;
}
