// TileSetData.dat from untrusted bytes: unscrambled and parsed from memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "game/data/data_reader.h"
#include "game/data/data_scrambler.h"
#include "game/data/tile_set.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  DataFileKeys keys;
  if (!UnscrambleDataFile(std::string(), file, kBasicDataFileHeader, keys)) return 0;
  const size_t header = static_cast<size_t>(kBasicDataFileHeader.length);
  DataReader body(file.data() + header, file.size() - header);
  TileSetList list;
  ParseTileSetBody(body, list);
  if (body.Position() > body.Size()) __builtin_trap();
  return 0;
}
