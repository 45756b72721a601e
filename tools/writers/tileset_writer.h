// Builds TileSetData.dat files for tests, fuzz seeds and the demo game,
// written from the stored format: a 10-byte header (keys at 0, 3, 9,
// checksum at 2), then byte version (0xCF: one byte per attribute, 0xD0:
// i32), u32 count, per tile set (text name, 8 texts, byte 0xFF, u32 t + t tag
// bytes, one unused byte, u32 a + a attributes), byte 0xCF. The overrides
// damage a file on purpose. Each record is put by the game's own encoder,
// WriteTileSetRecord.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace writers {

struct TileSetEntry {
  std::string name;
  std::array<std::string, 8> image_names;  // chip sheet, autotiles 1-7
  std::vector<uint8_t> tags;
  std::vector<int32_t> attributes;  // only the low byte is stored in a 0xCF file
  uint8_t marker = 0xFF;
  uint8_t unused_byte = 0;
};

struct TileSetFileContents {
  uint8_t version = 0xD0;
  std::vector<TileSetEntry> tile_sets;
  uint8_t end_byte = 0xCF;
  std::array<uint8_t, 3> keys{0x21, 0x7E, 0x05};
  std::optional<uint32_t> count_override;
};

std::vector<uint8_t> BuildTileSetBody(const TileSetFileContents& contents);
std::vector<uint8_t> BuildTileSetFile(const TileSetFileContents& contents);

// One tile set of n tiles with tags i % 8 and attributes that exercise the
// passability bits (the chip sheet "MapChip.png", autotiles "Auto1.png"...).
TileSetEntry SampleTileSet(const std::string& name, int tile_count);

}  // namespace writers
