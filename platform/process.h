// Process-level services: ending the process through one exit path, the
// launch options, and what the engine sees as its program folder and command
// line. The original program lives in the game's folder; here the binary
// lives elsewhere, so the game's folder (--game DIR, else the current folder)
// is reported as the program folder.
#pragma once

#include <string>

namespace platform {

// Ends the process with the code (as the process's exit status). Runs the
// exit hook first, if one is set, and flushes the C streams; static
// destructors and exit handlers do not run, since other threads may still
// use what they would destroy. Never returns.
[[noreturn]] void ExitProcess(int code);

// A hook run by ExitProcess before the process ends (flushing logs, say).
using ExitHook = void (*)(int code);
void SetExitHook(ExitHook hook);

// Parses the launcher's options out of argv: "--save-frame=N:FILE" (see
// FrameSaveRequest), and "--game DIR" (also "--game=DIR") selects the game's folder and changes the process's current
// folder to it. The engine sees that folder as drive G (file_system.h) and
// its current folder starts there ("G:\"). The remaining words, joined by single spaces, form the
// command line the engine sees. Returns false (with a message on stderr) for
// an unusable option.
bool SetLaunchArguments(int argc, char** argv);

// The launcher's option for tests "--save-frame=N:FILE": the Nth presented
// frame (counted from 1) is saved as a PNG file FILE inside the game's
// folder. frame 0: no request. file is the engine's path (Shift-JIS, on the
// game's drive).
struct FrameSaveRequest {
  int frame = 0;
  std::string file;
};
const FrameSaveRequest& GetFrameSaveRequest();

// The engine's command line (Shift-JIS), without the launcher's options.
const std::string& CommandLine();

// The game's folder as a native (UTF-8) path, without a trailing separator.
const std::string& GameFolderNative();

}  // namespace platform
