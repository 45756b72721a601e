// Builds Game.ini texts for tests and the demo game: "Key=value" lines in a
// chosen order with CR LF (or LF) line ends, as a user or the player leaves
// them.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace writers {

// The lines key=value joined with line_end; no line end after the last
// unless final_line_end.
std::string BuildGameIni(const std::vector<std::pair<std::string, std::string>>& entries,
                         const std::string& line_end = "\r\n", bool final_line_end = false);

}  // namespace writers
