// Game.dat parsing from memory: the input is taken as a whole file (header
// and scrambled body), so the fuzzer also reaches the key-text tables and
// every count. Boxes are recorded, not shown.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "game/data/data_error_report.h"
#include "game/data/game_dat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    SetErrorBoxReporter([](const std::string&, const std::string&, const std::string&) {});
    return true;
  }();
  (void)quiet;
  GameBasicInfoRecord info;
  info.LoadGameDatBytes(std::vector<uint8_t>(data, data + size));
  return 0;
}
