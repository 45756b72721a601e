// The game's tile sets as stored in Data\BasicData\TileSetData.dat (10-byte
// header, keys at bytes 0, 3, 9, checksum at byte 2): per tile set a name,
// eight image names (the chip sheet, then autotiles 1-7) and per tile a tag
// number and an attribute value (passability bits, priorities, flags).
//
// Body: byte version (0xCF: attributes stored as 1 byte, 0xD0: as i32);
// u32 tile-set count; the records; byte 0xCF (for both versions).
// Record: text name; 8 texts; byte 0xFF; u32 tag count t, t bytes; one
// unused byte; u32 attribute count a, a attributes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/data/data_reader.h"
#include "game/data/data_writer.h"

inline constexpr uint8_t kTileSetVersionByteAttributes = 0xCF;
inline constexpr uint8_t kTileSetVersionWordAttributes = 0xD0;
inline constexpr uint8_t kTileSetEndByte = 0xCF;
inline constexpr uint8_t kTileSetRecordMarker = 0xFF;
inline constexpr int kTileSetImageCount = 8;

struct TileSetData {
  std::string name;
  std::array<std::string, kTileSetImageCount> image_names;  // chip sheet, autotiles 1-7
  std::vector<uint8_t> tags{0, 1, 2, 3, 4, 5, 6, 7};        // per tile
  std::vector<int32_t> attributes = std::vector<int32_t>(8, 0);  // per tile

  bool operator==(const TileSetData&) const = default;
};

// A fresh list holds one fresh tile set.
struct TileSetList {
  std::vector<TileSetData> tile_sets{TileSetData()};

  // Reads the data folder's file `name` ("BasicData\TileSetData.dat").
  // False for a missing file or a wrong version byte (silently), and after a
  // message box for a record without its marker, a wrong end byte or a
  // damaged file. A failed checksum ends the program.
  bool LoadTileSetData(const std::string& name);
};

// The attribute width of the file being read: 1 for a 0xCF file (one byte
// per attribute), 2 for a 0xD0 file (i32). 2 at start.
extern int32_t TileSetVersion;

// One record. False when its marker byte is not 0xFF (nothing after the
// marker is read) or the reader runs out of bytes.
bool ReadTileSetRecord(DataReader& in, TileSetData& tile_set, int32_t version);

// The framing bytes of one stored record: the marker after the image names
// and the unused byte after the tags. The defaults are the stored form; file
// builders change them to damage a file on purpose.
struct TileSetRecordBytes {
  uint8_t marker = kTileSetRecordMarker;
  uint8_t unused = 0;
};

// Puts one record in the stored form ReadTileSetRecord reads, its
// attributes in the width of the file's version byte (0xCF: the low byte
// of each; any other version: i32).
void WriteTileSetRecord(DataWriter& out, const TileSetData& tile_set, uint8_t version_byte,
                        const TileSetRecordBytes& bytes = {});

enum class TileSetParseResult {
  kOk,
  kBadVersion,   // silent failure
  kBadRecord,    // a record without its marker byte
  kBadEndByte,   // the closing byte is not 0xCF
  kDamaged,      // a count or length beyond the file's end
};
// Parses a body (after the header, unscrambled) into the list; records read
// before a failure are kept. Sets TileSetVersion from the version byte.
TileSetParseResult ParseTileSetBody(DataReader& body, TileSetList& list);
