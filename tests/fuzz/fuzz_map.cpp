// Map files from untrusted bytes: unscrambled and parsed from memory (the
// checksum is computed, never acted on). A body that parses must also write
// and parse again to the same records.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "game/data/data_reader.h"
#include "game/data/data_writer.h"
#include "game/data/map_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  MapData map;
  const MapFileParse parse = ParseMapFileBytes(file, map);
  if (parse.result != MapParseResult::kOk) return 0;

  std::vector<uint8_t> body;
  DataWriter out(body);
  if (!WriteMapBody(out, map)) __builtin_trap();
  DataReader again(body.data(), body.size());
  MapData reread;
  if (ParseMapBody(again, reread) != MapParseResult::kOk || !(reread == map)) __builtin_trap();
  return 0;
}
