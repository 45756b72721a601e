// Game.ini: the user's settings in the program folder, read at start and
// written back at start and at exit, as plain "Key=value" lines (Shift-JIS,
// CR LF on disk). Read by bare name in the current folder, never from an
// archive.
//
// Reading takes each key from its first occurrence anywhere in the file
// (spaces removed first); single-digit keys take one character only. The
// values the writer needs beyond its arguments are the globals below, which
// the reader sets (Proxy, ProxyPort, ScreenShotFlag) or the shell keeps
// current (WindowModeFlag, SEandBGM).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// HTTP proxy host ("NO" direct, empty the system's setting) and port text.
extern std::string Proxy;
extern std::string ProxyPort;
// 1 lets the screenshot key save a picture.
extern int32_t ScreenShotFlag;
// The window mode (1 window, 0 full screen) and sound selection (0 none,
// 1 sound effects, 2 music, 3 both) in force, written by WriteGameIni.
extern int32_t WindowModeFlag;
extern int32_t SEandBGM;

// The file's bytes are only looked at up to this many (a longer file is cut).
inline constexpr size_t kGameIniTextBytes = 511;

// Reads "Game.ini" from the current folder. Returns 1, or -1 (start -1,
// the others at their defaults) when it cannot be opened.
int ReadGameIni(int32_t& start, int32_t& softMode, int32_t& windowMode, int32_t& seAndBgm, int32_t& frameSkip);

// The values of a Game.ini text (the parsing step of ReadGameIni, usable on
// a text in memory). Sets Proxy, ProxyPort and ScreenShotFlag.
void ParseGameIniText(std::string_view text, int32_t& start, int32_t& softMode, int32_t& windowMode,
                      int32_t& seAndBgm, int32_t& frameSkip);

// The text WriteGameIni writes, with LF line ends (before the CR LF step).
std::string FormatGameIniText(int32_t start, int32_t softMode, int32_t frameSkip);

// Writes "Game.ini" in the current folder with the current WindowModeFlag,
// SEandBGM, Proxy, ProxyPort and ScreenShotFlag. False when it cannot be
// created or written.
bool WriteGameIni(int32_t start, int32_t softMode, int32_t frameSkip);
