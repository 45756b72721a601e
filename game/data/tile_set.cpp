#include "game/data/tile_set.h"

#include "game/data/data_file_buffer.h"
#include "game/data/data_scrambler.h"
#include "game/data/map_file.h"
#include "engine/api/services/service_registry.h"

int32_t TileSetVersion = 2;

namespace {

// Nine text lengths, the marker, two counts and the unused byte.
constexpr uint64_t kMinTileSetRecordBytes = 9 * 4 + 1 + 4 + 1 + 4;

void ShowTileSetLoadFailure() {
  ShowUserMessage("ファイル読み込みエラー", "タイルセットデータの読み込みに失敗しました");
}

}  // namespace

bool ReadTileSetRecord(DataReader& in, TileSetData& tile_set, int32_t version) {
  if (!in.ReadString(tile_set.name)) return false;
  for (std::string& image : tile_set.image_names) {
    if (!in.ReadString(image)) return false;
  }
  uint8_t marker = 0;
  if (!in.ReadU8(marker) || marker != kTileSetRecordMarker) return false;

  uint32_t tag_count = 0;
  if (!in.ReadU32(tag_count)) return false;
  if (!in.CanHold(tag_count, 1)) {
    in.MarkDamaged();
    return false;
  }
  tile_set.tags.assign(tag_count, 0);
  if (!in.ReadBytes(tile_set.tags.data(), tag_count)) return false;

  uint8_t unused = 0;
  if (!in.ReadU8(unused)) return false;

  uint32_t attribute_count = 0;
  if (!in.ReadU32(attribute_count)) return false;
  const uint64_t attribute_bytes = version == 1 ? 1 : 4;
  if (!in.CanHold(attribute_count, attribute_bytes)) {
    in.MarkDamaged();
    return false;
  }
  tile_set.attributes.assign(attribute_count, 0);
  for (int32_t& attribute : tile_set.attributes) {
    if (version == 1) {
      uint8_t value = 0;
      if (!in.ReadU8(value)) return false;
      attribute = value;  // 0-255, never negative
    } else if (!in.ReadI32(attribute)) {
      return false;
    }
  }
  return true;
}

void WriteTileSetRecord(DataWriter& out, const TileSetData& tile_set, uint8_t version_byte,
                        const TileSetRecordBytes& bytes) {
  out.WriteString(tile_set.name);
  for (const std::string& image : tile_set.image_names) out.WriteString(image);
  out.WriteU8(bytes.marker);
  out.WriteU32(static_cast<uint32_t>(tile_set.tags.size()));
  out.WriteBytes(tile_set.tags.data(), tile_set.tags.size());
  out.WriteU8(bytes.unused);
  out.WriteU32(static_cast<uint32_t>(tile_set.attributes.size()));
  for (int32_t attribute : tile_set.attributes) {
    if (version_byte == kTileSetVersionByteAttributes) {
      out.WriteU8(static_cast<uint8_t>(attribute & 0xFF));
    } else {
      out.WriteI32(attribute);
    }
  }
}

TileSetParseResult ParseTileSetBody(DataReader& body, TileSetList& list) {
  uint8_t version_byte = 0;
  if (!body.ReadU8(version_byte)) return TileSetParseResult::kDamaged;
  if (version_byte == kTileSetVersionByteAttributes) {
    TileSetVersion = 1;
  } else if (version_byte == kTileSetVersionWordAttributes) {
    TileSetVersion = 2;
  } else {
    return TileSetParseResult::kBadVersion;
  }

  uint32_t count = 0;
  if (!body.ReadU32(count)) return TileSetParseResult::kDamaged;
  if (!body.CanHold(count, kMinTileSetRecordBytes)) return TileSetParseResult::kDamaged;
  list.tile_sets.resize(count);
  for (TileSetData& tile_set : list.tile_sets) {
    if (!ReadTileSetRecord(body, tile_set, TileSetVersion)) {
      return body.Damaged() ? TileSetParseResult::kDamaged : TileSetParseResult::kBadRecord;
    }
  }

  uint8_t end_byte = 0;
  if (!body.ReadU8(end_byte)) return TileSetParseResult::kDamaged;
  if (end_byte != kTileSetEndByte) return TileSetParseResult::kBadEndByte;
  return TileSetParseResult::kOk;
}

bool TileSetList::LoadTileSetData(const std::string& name) {
  const std::string path = GameDataFolder() + name;
  std::vector<uint8_t> file;
  const DataFileLoad load = LoadDataFileBuffer(path, file);
  if (load == DataFileLoad::kMissing) return false;
  DataFileKeys keys;
  if (load != DataFileLoad::kLoaded || !UnscrambleDataFile(path, file, kBasicDataFileHeader, keys)) {
    ShowTileSetLoadFailure();
    return false;
  }
  const size_t header_length = static_cast<size_t>(kBasicDataFileHeader.length);
  DataReader body(file.data() + header_length, file.size() - header_length);
  switch (ParseTileSetBody(body, *this)) {
    case TileSetParseResult::kOk:
      break;
    case TileSetParseResult::kBadVersion:
      return false;
    case TileSetParseResult::kBadRecord:
      ShowUserMessage("", "タイルセットのロードに失敗しました、ファイル破損の可能性があります");
      return false;
    case TileSetParseResult::kBadEndByte:
    case TileSetParseResult::kDamaged:
      ShowTileSetLoadFailure();
      return false;
  }
  VerifyDataFile(path, file, kBasicDataFileHeader, keys, header_length + body.Position());
  return true;
}
