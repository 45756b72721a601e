// The library's start directory: the engine's current folder as library
// start-up reads it (Shift-JIS, drive form such as "C:\games\demo"). Empty
// until start-up sets it; the log is written there.
#pragma once

#include <string_view>

void SetStartDirectory(std::string_view path);
// The stored path; "" before start-up. Valid until the next SetStartDirectory.
const char* GetStartDirectory();
