#include "game/data/map_file.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <utility>

#include "engine/api/library_entry_points.h"
#include "game/data/data_error_report.h"
#include "game/data/data_file_buffer.h"
#include "game/data/data_scrambler.h"
#include "platform/file_system.h"
#include "engine/api/services/service_registry.h"

namespace {

constexpr int32_t kMapFormatNumber = 100;
constexpr uint8_t kMapTag = 101;
constexpr uint8_t kMapEndTag = 102;
// Tag, magic, ID, name length, x, y, page count, option count, tag.
constexpr uint64_t kMinEventBytes = 30;

std::string& DataFolderSetting() {
  static std::string folder = "Data\\";
  return folder;
}

void ShowMissingMapBox(const std::string& name, const std::string& path) {
  const std::string text = name.empty() ? std::string("マップファイル名が設定されていないマップに移動しようとしました。")
                                        : FormatString("マップファイル %s がありません", path.c_str());
  ShowUserMessage("読み込みエラー", text);
}

void ShowBrokenMapBox(const std::string& name) {
  ShowUserMessage(
      "マップ移動エラー",
      FormatString("エラー：マップデータ %s が破損しているか、\r\nマップファイル形式ではありません。", name.c_str()));
}

// Keeps the list in ID order after an append: the new event moves back while
// its ID is strictly less than the one before it (equal IDs keep file order).
void SortLastEventIntoPlace(std::vector<MapEventData>& events) {
  for (size_t i = events.size(); i >= 2; --i) {
    if (events[i - 1].event_id >= events[i - 2].event_id) break;
    std::swap(events[i - 1], events[i - 2]);
  }
}

// Reads cells.size() little-endian i32 values in one bounded read.
bool ReadTileValues(DataReader& body, std::vector<int32_t>& cells) {
  if (!body.ReadBytes(cells.data(), cells.size() * sizeof(int32_t))) return false;
  if constexpr (std::endian::native != std::endian::little) {
    for (int32_t& cell : cells) {
      const uint32_t v = static_cast<uint32_t>(cell);
      cell = static_cast<int32_t>((v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24));
    }
  }
  return true;
}

}  // namespace

const std::string& GameDataFolder() { return DataFolderSetting(); }
void SetGameDataFolder(std::string folder) { DataFolderSetting() = std::move(folder); }

void TileLayer::Resize(int32_t width, int32_t height, bool clear_all, int32_t keep_width, int32_t keep_height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  std::vector<int32_t> cells(static_cast<size_t>(width) * static_cast<size_t>(height), kEmptyTile);
  if (!clear_all) {
    const int32_t kept_columns = std::min({width, width_, keep_width});
    const int32_t kept_rows = std::min({height, height_, keep_height});
    for (int32_t x = 0; x < kept_columns; ++x) {
      for (int32_t y = 0; y < kept_rows; ++y) {
        cells[static_cast<size_t>(x) * static_cast<size_t>(height) + static_cast<size_t>(y)] = At(x, y);
      }
    }
  }
  width_ = width;
  height_ = height;
  cells_ = std::move(cells);
}

MapData::MapData() { ResizeMapLayers(true, 0, 0); }

int32_t MapData::FindEventIndex(int32_t event_id) const {
  for (size_t i = 0; i < events.size(); ++i) {
    if (events[i].event_id == event_id) return static_cast<int32_t>(i);
  }
  return -1;
}

bool MapData::ResizeMapLayers(bool clear_all, int32_t keep_width, int32_t keep_height) {
  for (TileLayer& layer : layers) layer.Resize(header.width, header.height, clear_all, keep_width, keep_height);
  return true;
}

bool MapData::ClearMap() {
  event_flags.fill(0);
  return ResizeMapLayers(true, 0, 0);
}

int32_t MapData::InsertWithFreeId(const MapEventData& event) {
  // The first ID that is not taken where the ordered list has a gap, or one
  // past the highest ID. Repeated IDs are stepped over, so the list stays in
  // order and the new ID is unique.
  int64_t previous = -1;
  size_t place = events.size();
  for (size_t i = 0; i < events.size(); ++i) {
    const int64_t id = events[i].event_id;
    if (id > previous + 1) {
      place = i;
      break;
    }
    previous = std::max(previous, id);
  }
  const int64_t new_id = previous + 1;
  if (new_id > std::numeric_limits<int32_t>::max()) return -1;
  auto inserted = events.insert(events.begin() + static_cast<std::ptrdiff_t>(place), event);
  inserted->SetEventId(static_cast<int32_t>(new_id));
  ++header.event_count;
  return static_cast<int32_t>(place);
}

int32_t MapData::AddMapEvent(int32_t x, int32_t y) {
  for (const MapEventData& event : events) {
    if (event.x == x && event.y == y) return 2;
  }
  if (x < 0 || y < 0 || x >= header.width || y >= header.height) return 0;
  MapEventData fresh;
  fresh.x = x;
  fresh.y = y;
  return InsertWithFreeId(fresh) < 0 ? 0 : 1;
}

bool MapData::DeleteMapEvent(int32_t event_id) {
  const int32_t index = FindEventIndex(event_id);
  if (index < 0) return false;
  events.erase(events.begin() + index);
  if (event_id >= 0 && static_cast<size_t>(event_id) < kMapEventFlagCount) event_flags[event_id] = 0;
  --header.event_count;
  return true;
}

int32_t MapData::CopyMapEvent(int32_t event_id, int32_t x, int32_t y) {
  const int32_t index = FindEventIndex(event_id);
  if (index < 0) return -1;
  const MapEventData copy = events[index];
  return InsertMapEvent(copy, x, y);
}

int32_t MapData::InsertMapEvent(const MapEventData& event, int32_t x, int32_t y) {
  const int32_t place = InsertWithFreeId(event);
  if (place < 0) return -1;
  events[place].x = x;
  events[place].y = y;
  return events[place].event_id;
}

MapParseResult ParseMapBody(DataReader& body, MapData& map) {
  map.event_flags.fill(0);
  map.header = MapHeader();
  for (TileLayer& layer : map.layers) layer.Clear();
  map.events.clear();

  int32_t format = 0;
  uint8_t tag = 0;
  if (!body.ReadI32(format) || !body.ReadU8(tag)) return MapParseResult::kDamaged;
  if (tag != kMapTag) return MapParseResult::kNotMapFile;

  MapHeader& header = map.header;
  if (!body.ReadString(header.name) || !body.ReadI32(header.tile_set_number) || !body.ReadI32(header.width) ||
      !body.ReadI32(header.height) || !body.ReadI32(header.event_count)) {
    return MapParseResult::kDamaged;
  }
  if (header.width < 0 || header.height < 0 || header.width > kMaxMapSide || header.height > kMaxMapSide ||
      header.event_count < 0) {
    return MapParseResult::kDamaged;
  }
  const uint64_t cells_per_layer = static_cast<uint64_t>(header.width) * static_cast<uint64_t>(header.height);
  if (!body.CanHold(cells_per_layer * 3, 4)) return MapParseResult::kDamaged;

  map.ResizeMapLayers(true, 0, 0);
  for (TileLayer& layer : map.layers) {
    if (!ReadTileValues(body, layer.Cells())) return MapParseResult::kDamaged;
  }

  if (!body.CanHold(static_cast<uint64_t>(header.event_count), kMinEventBytes)) return MapParseResult::kDamaged;
  map.events.reserve(static_cast<size_t>(header.event_count));
  for (int32_t i = 0; i < header.event_count; ++i) {
    map.events.emplace_back(-1);
    if (!ReadMapEvent(body, map.events.back())) return MapParseResult::kDamaged;
    SortLastEventIntoPlace(map.events);
  }

  uint8_t end_tag = 0;
  if (!body.ReadU8(end_tag)) return MapParseResult::kDamaged;  // value not compared
  return body.Damaged() ? MapParseResult::kDamaged : MapParseResult::kOk;
}

bool WriteMapBody(DataWriter& out, MapData& map) {
  MapHeader& header = map.header;
  for (const TileLayer& layer : map.layers) {
    if (layer.Width() != header.width || layer.Height() != header.height) return false;
  }
  if (map.events.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
  header.event_count = static_cast<int32_t>(map.events.size());

  out.WriteI32(kMapFormatNumber);
  out.WriteU8(kMapTag);
  out.WriteString(header.name);
  out.WriteI32(header.tile_set_number);
  out.WriteI32(header.width);
  out.WriteI32(header.height);
  out.WriteI32(header.event_count);
  for (const TileLayer& layer : map.layers) {
    for (int32_t cell : layer.Cells()) out.WriteI32(cell);
  }
  for (MapEventData& event : map.events) {
    if (!WriteMapEvent(out, event)) return false;
  }
  out.WriteU8(kMapEndTag);
  return true;
}

MapFileParse ParseMapFileBytes(std::vector<uint8_t>& file, MapData& map) {
  MapFileParse parse;
  DataFileKeys keys;
  if (!UnscrambleDataFile(std::string(), file, kMapFileHeader, keys)) {
    DataReader empty(nullptr, 0);
    ParseMapBody(empty, map);
    return parse;
  }
  const size_t header = static_cast<size_t>(kMapFileHeader.length);
  DataReader body(file.data() + header, file.size() - header);
  parse.result = ParseMapBody(body, map);
  const int32_t parsed_end = static_cast<int32_t>(header + body.Position());
  parse.checksum_ok =
      keys.AllKeysZero() || DataChecksum(file.data(), kMapFileHeader.length, parsed_end) == keys.checks[0];
  return parse;
}

bool BuildMapFileBytes(MapData& map, const std::string& name, std::vector<uint8_t>& file) {
  file.assign(static_cast<size_t>(kMapFileHeader.length), 0);
  DataWriter out(file);
  if (!WriteMapBody(out, map) || file.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    file.clear();
    return false;
  }
  ScrambleDataFileForWrite(name, file, kMapFileHeader);
  return true;
}

bool MapData::ReadMapFile(const std::string& name) {
  event_flags.fill(0);
  header = MapHeader();
  for (TileLayer& layer : layers) layer.Clear();
  events.clear();

  const std::string path = GameDataFolder() + name;
  std::vector<uint8_t> file;
  const DataFileLoad load = name.empty() ? DataFileLoad::kMissing : LoadDataFileBuffer(path, file);
  if (load == DataFileLoad::kMissing) {
    ShowMissingMapBox(name, path);
    return false;
  }
  DataFileKeys keys;
  if (load != DataFileLoad::kLoaded || !UnscrambleDataFile(name, file, kMapFileHeader, keys)) {
    ShowBrokenMapBox(name);
    return false;
  }
  const size_t header_length = static_cast<size_t>(kMapFileHeader.length);
  DataReader body(file.data() + header_length, file.size() - header_length);
  if (ParseMapBody(body, *this) != MapParseResult::kOk) {
    ShowBrokenMapBox(name);
    return false;
  }
  VerifyDataFile(name, file, kMapFileHeader, keys, header_length + body.Position());
  return true;
}

bool MapData::WriteMapFile(const std::string& name) {
  std::vector<uint8_t> file;
  if (!BuildMapFileBytes(*this, name, file)) return false;
  std::unique_ptr<platform::File> out = platform::OpenFile(name, platform::OpenMode::kCreate);
  if (!out) return false;
  const int64_t size = static_cast<int64_t>(file.size());
  return out->Write(file.data(), size) == size;
}
