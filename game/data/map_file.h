// A map of a game as stored in its scrambled map file (20-byte header, keys
// at bytes 0, 3, 9, checksum at byte 2): the header (name, tile-set number,
// size in tiles), three layers of tile values and the map's events in
// ascending event-ID order. MapData is what the map world holds of a loaded
// map; ReadMapFile fills it at every map change, WriteMapFile is the other
// half of the format, and the editing operations keep the event list in ID
// order.
//
// Body layout: i32 100; byte 101; text name; i32 tile-set number, width,
// height, event count; 3 layers x width columns x height i32 values (layer
// 0 first, column x = 0 first, y = 0 first within a column); the event
// blocks; byte 102. Every count is untrusted: a body that claims more than
// it holds is refused as damaged, never read past its end.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "game/data/data_reader.h"
#include "game/data/data_writer.h"
#include "game/data/event_records.h"

// The value of a cell that holds no tile.
inline constexpr int32_t kEmptyTile = 100000;
inline constexpr size_t kMapEventFlagCount = 1024;
// The widest and highest map the reader accepts (in tiles), so that the map
// world's pixel and quarter-pixel positions of any cell stay within 32 bits.
// A larger size is refused as damage even when the other side is 0.
inline constexpr int32_t kMaxMapSide = 100000;

struct MapHeader {
  std::string name = "なし";
  int32_t tile_set_number = 0;
  int32_t width = 20;   // tiles
  int32_t height = 15;  // tiles
  int32_t event_count = 0;

  bool operator==(const MapHeader&) const = default;
};

// One layer of tile values, width columns of height cells each, kept in the
// stored order (column by column).
class TileLayer {
 public:
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // The caller keeps 0 <= x < Width() and 0 <= y < Height().
  int32_t At(int32_t x, int32_t y) const { return cells_[Index(x, y)]; }
  void Set(int32_t x, int32_t y, int32_t value) { cells_[Index(x, y)] = value; }
  // Gives the layer a new size: a cell keeps its value when it existed
  // before and lies below keep_width and keep_height, else it is empty.
  void Resize(int32_t width, int32_t height, bool clear_all, int32_t keep_width, int32_t keep_height);
  void Clear() { width_ = height_ = 0; cells_.clear(); }
  std::vector<int32_t>& Cells() { return cells_; }
  const std::vector<int32_t>& Cells() const { return cells_; }

  bool operator==(const TileLayer&) const = default;

 private:
  size_t Index(int32_t x, int32_t y) const {
    return static_cast<size_t>(x) * static_cast<size_t>(height_) + static_cast<size_t>(y);
  }
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<int32_t> cells_;
};

// How a map file's body turned out.
enum class MapParseResult {
  kOk,
  kNotMapFile,  // the tag after the format number is not 101
  kDamaged,     // shorter than its counts claim, or a count out of range
};

class MapData {
 public:
  // Header defaults, three layers of empty cells, no events.
  MapData();

  std::array<uint8_t, kMapEventFlagCount> event_flags{};
  MapHeader header;
  std::array<TileLayer, 3> layers;
  std::vector<MapEventData> events;  // ascending event ID

  // Reads the map file `name` (the path below the data folder). False after
  // the message box of a missing or damaged file; a failed checksum ends the
  // program.
  bool ReadMapFile(const std::string& name);
  // Writes the map to the file `name` (a path as given). False when the
  // file cannot be created or the map does not fit the stored form.
  bool WriteMapFile(const std::string& name);

  // Index of the first event with the ID, -1 when none.
  int32_t FindEventIndex(int32_t event_id) const;
  // Gives the layers the header's size (cells outside the kept area, or
  // every cell when clear_all is set, become empty). Returns true.
  bool ResizeMapLayers(bool clear_all, int32_t keep_width, int32_t keep_height);
  // Zeroes the event flag table and empties every cell.
  bool ClearMap();

  // 2 when an event already stands at (x, y), 0 when (x, y) is outside the
  // map (or no ID is left), 1 when a fresh event was added there.
  int32_t AddMapEvent(int32_t x, int32_t y);
  bool DeleteMapEvent(int32_t event_id);
  // The new event's ID; -1 when the ID is not found (or no ID is left).
  int32_t CopyMapEvent(int32_t event_id, int32_t x, int32_t y);
  int32_t InsertMapEvent(const MapEventData& event, int32_t x, int32_t y);

  bool operator==(const MapData&) const = default;

 private:
  // Inserts the event under the first free ID at its place in the ID order;
  // the index where it went, -1 when every ID is taken.
  int32_t InsertWithFreeId(const MapEventData& event);
};

// Empties the map (header defaults, no layers or events, zero flags) and
// parses a body (the bytes after the 20-byte header, already unscrambled).
MapParseResult ParseMapBody(DataReader& body, MapData& map);
// Appends the body; false when the map does not fit the stored form (a byte
// count above 255, a route too long, layers that do not match the header).
// Stores the event, page and command counts from their lists.
bool WriteMapBody(DataWriter& out, MapData& map);

// A whole map file in memory (header included) parsed without any message
// or exit: unscrambles the bytes in place, parses, and reports whether the
// checksum matches (true for a file with three zero keys).
struct MapFileParse {
  MapParseResult result = MapParseResult::kDamaged;
  bool checksum_ok = false;
};
MapFileParse ParseMapFileBytes(std::vector<uint8_t>& file, MapData& map);
// The whole file: header with keys from the clock, scrambled body.
bool BuildMapFileBytes(MapData& map, const std::string& name, std::vector<uint8_t>& file);

// The folder the map files and TileSetData.dat are read below (Shift-JIS,
// with a trailing separator). "Data\" relative to the current folder until
// start-up sets the program folder's data folder.
const std::string& GameDataFolder();
void SetGameDataFolder(std::string folder);
