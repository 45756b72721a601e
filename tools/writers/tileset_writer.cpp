#include "tools/writers/tileset_writer.h"

#include <utility>

#include "game/data/data_writer.h"
#include "game/data/tile_set.h"
#include "tools/writers/data_file_writer.h"

namespace writers {

std::vector<uint8_t> BuildTileSetBody(const TileSetFileContents& contents) {
  DataWriter out;
  out.WriteU8(contents.version);
  out.WriteU32(contents.count_override.value_or(static_cast<uint32_t>(contents.tile_sets.size())));
  for (const TileSetEntry& entry : contents.tile_sets) {
    TileSetData tile_set;
    tile_set.name = entry.name;
    tile_set.image_names = entry.image_names;
    tile_set.tags = entry.tags;
    tile_set.attributes = entry.attributes;
    WriteTileSetRecord(out, tile_set, contents.version, TileSetRecordBytes{entry.marker, entry.unused_byte});
  }
  out.WriteU8(contents.end_byte);
  return std::move(out.Bytes());
}

std::vector<uint8_t> BuildTileSetFile(const TileSetFileContents& contents) {
  return ScrambleFile(BuildTileSetBody(contents), kBasicDataFileHeader, contents.keys);
}

TileSetEntry SampleTileSet(const std::string& name, int tile_count) {
  TileSetEntry tile_set;
  tile_set.name = name;
  tile_set.image_names[0] = "MapChip.png";
  for (int i = 1; i < 8; ++i) tile_set.image_names[i] = "Auto" + std::to_string(i) + ".png";
  static constexpr int32_t kAttributeCycle[] = {0x00, 0x0F, 0x10, 0x04, 0x20 | 0x08, 0x40, 0x80, 0xFF};
  for (int i = 0; i < tile_count; ++i) {
    tile_set.tags.push_back(static_cast<uint8_t>(i % 8));
    tile_set.attributes.push_back(kAttributeCycle[i % 8]);
  }
  return tile_set;
}

}  // namespace writers
