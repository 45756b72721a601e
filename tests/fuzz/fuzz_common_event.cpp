// CommonEvent.dat from untrusted bytes: unscrambled and parsed from memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "game/data/common_event.h"
#include "game/data/data_reader.h"
#include "game/data/data_scrambler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  DataFileKeys keys;
  if (!UnscrambleDataFile(std::string(), file, kBasicDataFileHeader, keys)) return 0;
  const size_t header = static_cast<size_t>(kBasicDataFileHeader.length);
  DataReader body(file.data() + header, file.size() - header);
  CommonEventList list;
  const CommonEventParseResult result = ParseCommonEventBody(body, list);
  if (result == CommonEventParseResult::kOk) {
    for (size_t i = 0; i < list.events.size(); ++i) {
      if (list.events[i].number != static_cast<int32_t>(i)) __builtin_trap();
    }
  }
  return 0;
}
