// The program's start-up and shutdown: test-play mode, the program and data
// folders, Game.dat, the user's settings in Game.ini with the crash-recovery
// handshake (Start=1 written before the library starts, Start=0 after), the
// library, the archive settings, the game's databases and common events,
// then the main loop until the game quits, and the way out.
//
// The scene loop, the game-state objects and the presentation come with the
// game shell; until then the main loop pumps the library's messages once per
// frame time until the window is closed.
#pragma once

#include <cstdint>
#include <string>

// Settings owned by start-up, alive for the whole run.
extern int32_t DebugMode;         // 1 when the command line is "Test_Of_Main"
extern std::string ProgramFolder;  // drive form, ending in a backslash
extern std::string DataFolder;     // ProgramFolder + "Data\"
extern int32_t TileSize;           // 16 or 32
extern int32_t DrawScale;          // 2 for 16-pixel cells, 1 for 32
extern int32_t FrameStep;          // 60 / frames per second
extern int32_t SoftModeFlag;
extern int32_t FrameSkip;

// Runs the game for the engine's command line. 0 after a normal end or when
// Game.dat cannot be loaded; -1 when the library fails to start.
int WinMain(const std::string& command_line);
