// Exit path, launch options and the engine's view of its program folder and
// command line.
#include "platform/process.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "platform/file_system.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {

std::atomic<ExitHook> g_exit_hook{nullptr};
std::string g_command_line;
std::string g_game_folder_native;
FrameSaveRequest g_frame_save;

// "N:FILE" with N 1-999,999,999 and FILE a relative path of the game's
// folder without "..".
bool ParseFrameSave(std::string_view value, FrameSaveRequest* out) {
  const size_t colon = value.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 9 || colon + 1 >= value.size()) return false;
  int frame = 0;
  for (size_t i = 0; i < colon; ++i) {
    if (value[i] < '0' || value[i] > '9') return false;
    frame = frame * 10 + (value[i] - '0');
  }
  std::string file(value.substr(colon + 1));
  if (frame <= 0 || file[0] == '/' || file[0] == '\\' || file.find("..") != std::string::npos ||
      file.find(':') != std::string::npos) {
    return false;
  }
  for (char& c : file) {
    if (c == '/') c = '\\';
  }
  out->frame = frame;
  out->file = std::string{kGameFolderDrive, ':', '\\'} + Utf8ToSjis(file);
  return true;
}

std::string ProcessCurrentFolder() {
  std::vector<char> buffer(4096);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

}  // namespace

void ExitProcess(int code) {
  ExitHook hook = g_exit_hook.exchange(nullptr);  // runs once, even on re-entry
  if (hook != nullptr) hook(code);
  std::fflush(nullptr);
  // No static destructors or exit handlers: other threads may still run and
  // use what they would destroy.
  std::_Exit(code);
}

void SetExitHook(ExitHook hook) { g_exit_hook.store(hook); }

bool SetLaunchArguments(int argc, char** argv) {
  g_frame_save = FrameSaveRequest{};
  std::string game_folder;
  bool have_game_folder = false;
  std::string words;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    std::string_view word = argv[i];
    if (word == "--game") {
      if (i + 1 >= argc || argv[i + 1] == nullptr || argv[i + 1][0] == '\0') {
        std::fprintf(stderr, "--game needs the game's folder\n");
        return false;
      }
      game_folder = argv[++i];
      have_game_folder = true;
      continue;
    }
    if (word.substr(0, 7) == "--game=") {
      if (word.size() == 7) {
        std::fprintf(stderr, "--game needs the game's folder\n");
        return false;
      }
      game_folder = std::string(word.substr(7));
      have_game_folder = true;
      continue;
    }
    if (word.substr(0, 13) == "--save-frame=") {
      if (!ParseFrameSave(word.substr(13), &g_frame_save)) {
        std::fprintf(stderr, "--save-frame needs N:FILE (a frame number from 1 and a file in the game's folder)\n");
        return false;
      }
      continue;
    }
    if (word.empty()) continue;
    if (!words.empty()) words.push_back(' ');
    words += word;
  }
  if (have_game_folder && chdir(game_folder.c_str()) != 0) {
    std::fprintf(stderr, "cannot enter the game's folder %s: %s\n", game_folder.c_str(),
                 std::strerror(errno));
    return false;
  }
  std::string folder = ProcessCurrentFolder();
  if (folder.empty()) {
    std::fprintf(stderr, "cannot read the current folder: %s\n", std::strerror(errno));
    return false;
  }
  g_game_folder_native = folder;
  g_command_line = Utf8ToSjis(words);
  // The engine sees the game's folder as a drive of its own and starts there.
  SetGameFolder(folder);
  const std::string game_drive{kGameFolderDrive, ':', '\\'};
  if (!SetCurrentFolder(game_drive)) {
    std::fprintf(stderr, "cannot use the game's folder %s\n", folder.c_str());
    return false;
  }
  return true;
}

const std::string& CommandLine() { return g_command_line; }

const FrameSaveRequest& GetFrameSaveRequest() { return g_frame_save; }

const std::string& GameFolderNative() {
  if (g_game_folder_native.empty()) g_game_folder_native = ProcessCurrentFolder();
  return g_game_folder_native;
}

}  // namespace platform
