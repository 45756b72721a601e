#include "game/data/game_ini.h"

#include <climits>
#include <memory>
#include <vector>

#include "engine/api/library_entry_points.h"
#include "game/data/data_error_report.h"
#include "platform/file_system.h"

std::string Proxy;
std::string ProxyPort;
int32_t ScreenShotFlag = 1;
int32_t WindowModeFlag = 1;
int32_t SEandBGM = 3;

namespace {

constexpr const char* kGameIniName = "Game.ini";

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Decimal conversion as the C library's atoi does it: leading white space,
// an optional sign, digits up to the first other character; out-of-range
// values saturate.
int32_t DecimalValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

// The text after the first occurrence of key, or nullopt-like npos.
size_t ValueStart(std::string_view text, std::string_view key) {
  const size_t at = text.find(key);
  return at == std::string_view::npos ? at : at + key.size();
}

int32_t NumberKey(std::string_view text, std::string_view key, int32_t missing) {
  const size_t at = ValueStart(text, key);
  return at == std::string_view::npos ? missing : DecimalValue(text.substr(at));
}

int32_t DigitKey(std::string_view text, std::string_view key, int32_t missing) {
  const size_t at = ValueStart(text, key);
  if (at == std::string_view::npos) return missing;
  if (at >= text.size()) return 0;
  return DecimalValue(text.substr(at, 1));
}

// The value up to the next line feed (or the end), less its last character,
// which is the carriage return before the line feed.
std::string LineKey(std::string_view text, std::string_view key) {
  const size_t at = ValueStart(text, key);
  if (at == std::string_view::npos) return std::string();
  size_t end = text.find('\n', at);
  if (end == std::string_view::npos) end = text.size();
  if (end <= at) return std::string();
  return std::string(text.substr(at, end - at - 1));
}

}  // namespace

void ParseGameIniText(std::string_view text, int32_t& start, int32_t& softMode, int32_t& windowMode,
                      int32_t& seAndBgm, int32_t& frameSkip) {
  const size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  std::string compact;
  compact.reserve(text.size());
  for (char c : text) {
    if (c != ' ') compact.push_back(c);
  }
  start = NumberKey(compact, "Start=", 0);
  softMode = DigitKey(compact, "SoftModeFlag=", 0);
  windowMode = DigitKey(compact, "WindowModeFlag=", 0);
  seAndBgm = DigitKey(compact, "SEandBGM=", 3);
  frameSkip = DigitKey(compact, "FrameSkip=", 0);
  Proxy = LineKey(compact, "Proxy=");
  ProxyPort = LineKey(compact, "ProxyPort=");
  ScreenShotFlag = DigitKey(compact, "ScreenShotFlag=", 1);
}

int ReadGameIni(int32_t& start, int32_t& softMode, int32_t& windowMode, int32_t& seAndBgm, int32_t& frameSkip) {
  start = 0;
  softMode = 0;
  seAndBgm = 3;
  windowMode = 1;
  frameSkip = 0;
  std::unique_ptr<platform::File> file = platform::OpenFile(kGameIniName, platform::OpenMode::kRead);
  if (!file) {
    start = -1;
    return -1;
  }
  std::vector<char> text(kGameIniTextBytes, 0);
  const int64_t read = file->Read(text.data(), static_cast<int64_t>(text.size()));
  const size_t length = read > 0 ? static_cast<size_t>(read) : 0;
  ParseGameIniText(std::string_view(text.data(), length), start, softMode, windowMode, seAndBgm, frameSkip);
  return 1;
}

std::string FormatGameIniText(int32_t start, int32_t softMode, int32_t frameSkip) {
  return FormatString(
      "Start=%d\nSoftModeFlag=%d\nWindowModeFlag=%d\nSEandBGM=%d  # 0:SE･BGMなし 1:SEのみ 2:BGMのみ "
      "3:SE+BGMあり\nFrameSkip=%d\nProxy=%s\nProxyPort=%s\nScreenShotFlag=%d",
      start, softMode, WindowModeFlag, SEandBGM, frameSkip, Proxy.c_str(), ProxyPort.c_str(), ScreenShotFlag);
}

bool WriteGameIni(int32_t start, int32_t softMode, int32_t frameSkip) {
  const std::string text = FormatGameIniText(start, softMode, frameSkip);
  std::string disk;
  disk.reserve(text.size() + 16);
  for (char c : text) {
    if (c == '\n') disk.push_back('\r');
    disk.push_back(c);
  }
  std::unique_ptr<platform::File> file = platform::OpenFile(kGameIniName, platform::OpenMode::kCreate);
  if (!file) return false;
  const int64_t written = file->Write(disk.data(), static_cast<int64_t>(disk.size()));
  return written == static_cast<int64_t>(disk.size());
}
