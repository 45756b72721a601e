// The stored records of event scripts and map events, shared by map files,
// common events, saves, the event interpreter and the map world: an
// EventCommand (one script line), the CommandList, an EventPage (graphic,
// start conditions, move route, commands, option bytes) and MapEventData
// (one event of a map with its pages). All are plain values: copies and
// assignments are deep, member by member.
//
// Stored forms (little-endian; a text is a u32 length counting a terminating
// zero, then the bytes):
//   command: byte number count k, k x i32 (code first); byte indent; byte
//     text count m, m texts; byte move-route flag r, one move route when r>=1.
//   page: byte 121; i32 graphic number, text file name, bytes direction,
//     pattern, opacity, blend; the 37-byte condition block; move route;
//     u32 command count and commands; u32 option-byte count n, n bytes;
//     byte 122.
//   event: byte 111; i32 12345; i32 id; text name; i32 x, y; i32 page count;
//     u32 option-byte count n, n bytes; the pages; byte 112.
// Readers do not compare the tags. Counts stored as a byte are at most 255.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/data/data_reader.h"
#include "game/data/data_writer.h"
#include "game/data/move_route.h"

inline constexpr size_t kMaxStoredByteCount = 255;

struct EventCommand {
  // The command code first, then its number arguments. A stored command may
  // carry no numbers at all, so users check the size before reading [0].
  std::vector<int32_t> numbers{0};
  int8_t indent = 0;  // indent depth (only this byte is stored)
  std::vector<std::string> texts;
  std::vector<MoveRoute> routes;  // empty, or the command's one route

  bool operator==(const EventCommand&) const = default;
};

using CommandList = std::vector<EventCommand>;

struct PageGraphic {
  int32_t graphic_number = -1;
  std::string file_name;
  uint8_t direction = 2;
  uint8_t pattern = 1;
  uint8_t opacity = 255;
  uint8_t blend_mode = 0;

  bool operator==(const PageGraphic&) const = default;
};

// Start types of a page.
enum PageStartType : uint8_t {
  kStartActionKey = 0,
  kStartAutomatic = 1,
  kStartParallel = 2,
  kStartPlayerTouch = 3,
  kStartEventTouch = 4,
};

// The start type and four conditions. In a condition byte bit 0 marks the
// condition as in use (the first unused one ends the list) and the high four
// bits select the comparison (0 >, 1 >=, 2 =, 3 <=, 4 <, 5 !=, 6 all bits).
struct PageConditions {
  uint8_t start_type = kStartActionKey;
  std::array<uint8_t, 4> condition_bytes{32, 32, 32, 32};
  std::array<int32_t, 4> left_ids{};
  std::array<int32_t, 4> right_values{};

  bool operator==(const PageConditions&) const = default;
};

struct EventPage {
  EventPage() { InsertEmptyCommand(0); }

  PageGraphic graphic;
  PageConditions conditions;
  MoveRoute route;
  int32_t command_count = 0;  // as last read or written
  CommandList commands;
  // At least three after construction: 0 shadow number, 1 and 2 the trigger
  // ranges x and y in half tiles.
  std::vector<uint8_t> option_bytes{0, 0, 0};

  // Inserts one fresh command after the first n (n capped at the list size).
  void InsertEmptyCommand(int32_t n);

  bool operator==(const EventPage&) const = default;
};

struct MapEventData {
  explicit MapEventData(int32_t id = -1) : event_id(id) {}

  // The event header, stored as one block.
  int32_t event_id;
  std::string name;
  int32_t x = 0;  // tiles
  int32_t y = 0;
  int32_t page_count = 1;
  std::vector<uint8_t> option_bytes;

  std::vector<EventPage> pages{EventPage()};

  void SetEventId(int32_t id) { event_id = id; }

  bool operator==(const MapEventData&) const = default;
};

// Readers: false when the record is damaged (the reader is then marked
// damaged, or a route count was refused); fields read so far keep their
// values.
bool ReadEventCommand(DataReader& in, EventCommand& command);
// Empties the list, then reads count commands, each appended fresh.
bool ReadCommandList(DataReader& in, uint32_t count, CommandList& commands);
bool ReadEventPage(DataReader& in, EventPage& page);
// Tag, header, the pages (the page list is replaced by page_count pages read
// from the file), tag. A negative page count is damage.
bool ReadMapEvent(DataReader& in, MapEventData& event);

// Writers: false when a record exceeds the stored form's limits (a byte
// count above 255, a route too long); the block then holds a partial record
// and is discarded by the caller.
bool WriteEventCommand(DataWriter& out, const EventCommand& command);
// Stores the page's command count from its list before writing.
bool WriteEventPage(DataWriter& out, EventPage& page);
// The page count written is the number of pages held (and is stored back).
bool WriteMapEvent(DataWriter& out, MapEventData& event);
