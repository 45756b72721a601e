// Message boxes through SDL, or on stderr when no display can show them.
#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/display_connection.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {

std::mutex g_recorder_mutex;
MessageBoxRecorder g_recorder;

void WriteToStderr(const std::string& title, const std::string& text) {
  std::string line = "[" + title + "] " + text;
  if (line.empty() || line.back() != '\n') line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

bool HasDisplay() {
  if (DisplayConnectionLost()) return false;
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver != nullptr &&
      (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0)) {
    return false;
  }
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && x11[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

void ShowMessageBox(std::string_view title, std::string_view text, MessageBoxKind kind) {
  MessageBoxRecorder recorder;
  {
    std::lock_guard<std::mutex> lock(g_recorder_mutex);
    recorder = g_recorder;
  }
  if (recorder) recorder(title, text);
  std::string title_utf8 = SjisToUtf8(title);
  std::string text_utf8 = SjisToUtf8(text);
  if (HasDisplay()) {
    Uint32 flags = kind == MessageBoxKind::kInformation ? SDL_MESSAGEBOX_INFORMATION
                   : kind == MessageBoxKind::kWarning   ? SDL_MESSAGEBOX_WARNING
                                                        : SDL_MESSAGEBOX_ERROR;
    if (SDL_ShowSimpleMessageBox(flags, title_utf8.c_str(), text_utf8.c_str(), nullptr) == 0) {
      return;
    }
  }
  WriteToStderr(title_utf8, text_utf8);
}

void SetMessageBoxRecorder(MessageBoxRecorder recorder) {
  std::lock_guard<std::mutex> lock(g_recorder_mutex);
  g_recorder = std::move(recorder);
}

}  // namespace platform
