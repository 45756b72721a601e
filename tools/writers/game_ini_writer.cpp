#include "tools/writers/game_ini_writer.h"

namespace writers {

std::string BuildGameIni(const std::vector<std::pair<std::string, std::string>>& entries,
                         const std::string& line_end, bool final_line_end) {
  std::string text;
  for (size_t i = 0; i < entries.size(); ++i) {
    text += entries[i].first + "=" + entries[i].second;
    if (i + 1 < entries.size() || final_line_end) text += line_end;
  }
  return text;
}

}  // namespace writers
