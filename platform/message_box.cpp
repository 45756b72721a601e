// Message boxes through SDL, or on stderr when no display can show them.
#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

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

struct ButtonSpec {
  MessageBoxAnswer answer;
  const char* label;
};

// The buttons of a set, default first; labels in UTF-8.
std::vector<ButtonSpec> ButtonsOf(MessageBoxButtons buttons) {
  switch (buttons) {
    case MessageBoxButtons::kOk:
      return {{MessageBoxAnswer::kOk, "OK"}};
    case MessageBoxButtons::kOkCancel:
      return {{MessageBoxAnswer::kOk, "OK"}, {MessageBoxAnswer::kCancel, "Cancel"}};
    case MessageBoxButtons::kYesNo:
      return {{MessageBoxAnswer::kYes, "Yes"}, {MessageBoxAnswer::kNo, "No"}};
    case MessageBoxButtons::kYesNoCancel:
      return {{MessageBoxAnswer::kYes, "Yes"}, {MessageBoxAnswer::kNo, "No"}, {MessageBoxAnswer::kCancel, "Cancel"}};
    case MessageBoxButtons::kRetryCancel:
      return {{MessageBoxAnswer::kRetry, "Retry"}, {MessageBoxAnswer::kCancel, "Cancel"}};
    case MessageBoxButtons::kAbortRetryIgnore:
      return {{MessageBoxAnswer::kAbort, "Abort"}, {MessageBoxAnswer::kRetry, "Retry"}, {MessageBoxAnswer::kIgnore, "Ignore"}};
  }
  return {{MessageBoxAnswer::kOk, "OK"}};
}

// The answer a closed box gets: Cancel where the set has it, else the
// default.
MessageBoxAnswer EscapeAnswer(MessageBoxButtons buttons) {
  for (const ButtonSpec& b : ButtonsOf(buttons)) {
    if (b.answer == MessageBoxAnswer::kCancel) return b.answer;
  }
  return DefaultMessageBoxAnswer(buttons);
}

void Record(std::string_view title, std::string_view text) {
  MessageBoxRecorder recorder;
  {
    std::lock_guard<std::mutex> lock(g_recorder_mutex);
    recorder = g_recorder;
  }
  if (recorder) recorder(title, text);
}

}  // namespace

MessageBoxAnswer DefaultMessageBoxAnswer(MessageBoxButtons buttons) { return ButtonsOf(buttons).front().answer; }

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

MessageBoxAnswer ShowHeadlessMessageBox(std::string_view title, std::string_view text,
                                        MessageBoxButtons buttons, MessageBoxKind /*kind*/) {
  Record(title, text);
  WriteToStderr(SjisToUtf8(title), SjisToUtf8(text));
  return DefaultMessageBoxAnswer(buttons);
}

MessageBoxAnswer ShowMessageBox(std::string_view title, std::string_view text, MessageBoxKind kind,
                                MessageBoxButtons buttons) {
  if (!HasDisplay()) return ShowHeadlessMessageBox(title, text, buttons, kind);
  Record(title, text);
  const std::string title_utf8 = SjisToUtf8(title);
  const std::string text_utf8 = SjisToUtf8(text);
  const std::vector<ButtonSpec> specs = ButtonsOf(buttons);
  std::vector<SDL_MessageBoxButtonData> data;
  for (size_t i = 0; i < specs.size(); ++i) {
    SDL_MessageBoxButtonData b{};
    if (i == 0) b.flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (specs[i].answer == EscapeAnswer(buttons)) b.flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    b.buttonid = static_cast<int>(specs[i].answer);
    b.text = specs[i].label;
    data.push_back(b);
  }
  SDL_MessageBoxData box{};
  box.flags = kind == MessageBoxKind::kInformation ? SDL_MESSAGEBOX_INFORMATION
              : kind == MessageBoxKind::kWarning   ? SDL_MESSAGEBOX_WARNING
                                                   : SDL_MESSAGEBOX_ERROR;
  box.title = title_utf8.c_str();
  box.message = text_utf8.c_str();
  box.numbuttons = static_cast<int>(data.size());
  box.buttons = data.data();
  int chosen = -1;
  if (SDL_ShowMessageBox(&box, &chosen) != 0) {
    WriteToStderr(title_utf8, text_utf8);
    return DefaultMessageBoxAnswer(buttons);
  }
  // A box closed without a button (-1) takes the escape answer.
  for (const ButtonSpec& b : specs) {
    if (static_cast<int>(b.answer) == chosen) return b.answer;
  }
  return EscapeAnswer(buttons);
}

void SetMessageBoxRecorder(MessageBoxRecorder recorder) {
  std::lock_guard<std::mutex> lock(g_recorder_mutex);
  g_recorder = std::move(recorder);
}

}  // namespace platform
