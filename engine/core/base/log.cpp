// The library's text log and the inert on-screen log.
#include "engine/core/base/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "engine/api/services/service_registry.h"
#include "engine/core/base/format_string.h"
#include "engine/core/base/start_directory.h"
#include "engine/core/base/text_helpers.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/text_encoding.h"

namespace {

constexpr const char* kLogFileName = "Log.txt";
constexpr size_t kFormatBufferSize = 1024;

struct LogState {
  int log_off = 0;
  uint32_t start_time = 0;
  int indent = 0;
  int mid_line = 0;
};

std::mutex g_log_mutex;
LogState g_log;

// Lone line feeds become CR LF, up to the first line feed that follows a
// carriage return; from there the text is copied unchanged.
std::string ConvertLineEnds(const char* text) {
  std::string converted;
  converted.reserve(std::strlen(text) * 2 + 1);
  const char* rest = text;
  const char* line_feed = StrFindChar(text, '\n');
  while (line_feed != nullptr) {
    if (line_feed != text && line_feed[-1] == '\r') break;
    converted.append(rest, static_cast<size_t>(line_feed - rest));
    converted += "\r\n";
    rest = line_feed + 1;
    line_feed = StrFindChar(rest, '\n');
  }
  converted += rest;
  return converted;
}

// True when the last character of a Shift-JIS path is a separator (a 0x5C
// that ends a double-byte character is none).
bool EndsWithSeparator(const std::string& path) {
  bool separator = false;
  for (size_t pos = 0; pos < path.size();) {
    if (IsLeadByte(&path[pos], 1) != 0 && pos + 1 < path.size()) {
      separator = false;
      pos += 2;
    } else {
      separator = path[pos] == '\\' || path[pos] == '/';
      ++pos;
    }
  }
  return separator;
}

std::string LogFilePath() {
  std::string path = GetStartDirectory();
  if (!EndsWithSeparator(path)) path.push_back('\\');
  return path + kLogFileName;
}

struct ScreenLogState {
  bool initialised = false;
  int line_height = 16;
  char lines[80][255] = {};
  int display = 0;
  int font = -1;
};

std::mutex g_screen_mutex;
ScreenLogState g_screen;

}  // namespace

void WriteDebugOutput(const char* text) {
  const char* flag = std::getenv("VESK_DEBUG_OUTPUT");
  if (flag == nullptr || std::strcmp(flag, "1") != 0) return;
  std::string utf8 = platform::SjisToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

int CreateLogFile() {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  if (g_log.log_off != 0) return 1;
  if (GetStartDirectory()[0] != '\0') {
    const std::string path = LogFilePath();
    platform::DeleteFile(path);
    platform::OpenFile(path, platform::OpenMode::kCreateNew);  // closed at once
  }
  g_log.indent = 0;
  g_log.mid_line = 0;
  g_log.start_time = platform::GetClock().Milliseconds();
  return 1;
}

int WriteLog(const char* text) {
  if (text == nullptr) return -1;
  const std::string converted = ConvertLineEnds(text);
  std::lock_guard<std::mutex> lock(g_log_mutex);
  if (g_log.log_off != 0 || GetStartDirectory()[0] == '\0') return -1;
  std::unique_ptr<platform::File> file =
      platform::OpenFile(LogFilePath(), platform::OpenMode::kOpenAlways);
  if (!file) return -1;
  file->Seek(0, 2);
  if (g_log.mid_line == 0) {
    char stamp[16];
    uint32_t elapsed = platform::GetClock().Milliseconds() - g_log.start_time;
    int length = FormatString(stamp, sizeof(stamp), "%d:", static_cast<int32_t>(elapsed));
    file->Write(stamp, length);
    if (g_log.indent > 0) {
      std::string tabs(static_cast<size_t>(g_log.indent), '\t');
      file->Write(tabs.data(), static_cast<int64_t>(tabs.size()));
      WriteDebugOutput(tabs.c_str());
    }
  }
  file->Write(converted.data(), static_cast<int64_t>(converted.size()));
  WriteDebugOutput(converted.c_str());
  g_log.mid_line = (converted.empty() || converted.back() != '\n') ? 1 : 0;
  return -1;
}

int WriteLogF(const char* format, ...) {
  // Room for the line feed and the NUL: a longer text is cut, never overrun.
  char buffer[kFormatBufferSize];
  va_list values;
  va_start(values, format);
  int length = FormatStringV(buffer, kFormatBufferSize - 1, format, values);
  va_end(values);
  if (length < 0) length = 0;
  buffer[length] = '\n';
  buffer[length + 1] = '\0';
  return WriteLog(buffer);
}

int EnableLogFile(int flag) {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  g_log.log_off = flag == 0 ? 1 : 0;
  return 0;
}

int IncreaseLogIndent() {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  ++g_log.indent;
  return 0;
}

int DecreaseLogIndent() {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  if (g_log.indent > 0) --g_log.indent;
  return 0;
}

int GetLogIndent() {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  return g_log.indent;
}

int InitScreenLog() {
  {
    std::lock_guard<std::mutex> lock(g_screen_mutex);
    if (GetGraphicsService().ScreenLogReady() != 1) return -1;
    if (g_screen.initialised) return 0;
    g_screen.initialised = true;
    g_screen.line_height = 16;
    std::memset(g_screen.lines, 0, sizeof(g_screen.lines));
    g_screen.display = 0;
  }
  return RefreshScreenLogFont();
}

int RefreshScreenLogFont() {
  std::lock_guard<std::mutex> lock(g_screen_mutex);
  g_screen.font = GetGraphicsService().CreateScreenLogFont();
  return 0;
}

int DrawScreenLog() {
  std::lock_guard<std::mutex> lock(g_screen_mutex);
  GraphicsService& graphics = GetGraphicsService();
  int rows = graphics.ScreenHeight() / g_screen.line_height;
  if (rows > 80) rows = 80;
  for (int row = 0; row < rows; ++row) {
    if (g_screen.lines[row][0] == '\0') continue;
    graphics.DrawScreenLogLine(0, row * g_screen.line_height, g_screen.lines[row], g_screen.font);
  }
  return 0;
}

int IsScreenLogEnabled() {
  std::lock_guard<std::mutex> lock(g_screen_mutex);
  return g_screen.display;
}

int GetScreenLogFont() {
  std::lock_guard<std::mutex> lock(g_screen_mutex);
  return g_screen.font;
}

void ResetScreenLog() {
  std::lock_guard<std::mutex> lock(g_screen_mutex);
  g_screen = ScreenLogState();
}
