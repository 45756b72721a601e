// Map files: the stored layout, write -> read -> write identity, event order,
// the editing operations, the writer's limits, and damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data_test_support.h"
#include "game/data/data_reader.h"
#include "game/data/data_scrambler.h"
#include "game/data/data_writer.h"
#include "game/data/map_file.h"
#include "platform/clock.h"
#include "tools/writers/data_file_writer.h"
#include "tools/writers/fixture_game.h"

namespace {

// A map body built by hand from the stored layout.
struct BodyBuilder {
  DataWriter out;
  BodyBuilder& Header(const std::string& name, int32_t width, int32_t height, int32_t events) {
    out.WriteI32(100).WriteU8(101).WriteString(name).WriteI32(3).WriteI32(width).WriteI32(height).WriteI32(events);
    return *this;
  }
  // An event with one page of one empty command.
  BodyBuilder& Event(int32_t id, const std::string& name) {
    out.WriteU8(111).WriteI32(12345).WriteI32(id).WriteString(name).WriteI32(id).WriteI32(0).WriteI32(1).WriteU32(0);
    out.WriteU8(121).WriteI32(-1).WriteString("").WriteU8(2).WriteU8(1).WriteU8(255).WriteU8(0);
    out.WriteU8(0).WriteU8(32).WriteU8(32).WriteU8(32).WriteU8(32);
    for (int i = 0; i < 8; ++i) out.WriteI32(0);
    out.WriteU8(3).WriteU8(3).WriteU8(3).WriteU8(0).WriteU8(3).WriteU8(2).WriteU32(0);  // route
    out.WriteU32(1).WriteU8(1).WriteI32(0).WriteU8(0).WriteU8(0).WriteU8(0);       // one command: [0]
    out.WriteU32(3).WriteU8(0).WriteU8(0).WriteU8(0).WriteU8(122);
    out.WriteU8(112);
    return *this;
  }
};

MapParseResult ParseBody(const std::vector<uint8_t>& body, MapData& map) {
  DataReader reader(body.data(), body.size());
  return ParseMapBody(reader, map);
}

class MapFileTest : public DataLayerTest {
 protected:
  void SetUp() override {
    DataLayerTest::SetUp();
    clock_.SetCalendarSeconds(1700000000);
  }
  platform::VirtualClock clock_;
  platform::ScopedClock scoped_clock_{clock_};
};

TEST_F(MapFileTest, WriteReadWriteIsByteIdentical) {
  MapData map = writers::SampleMap(7, 5, 4);
  map.events[2].pages[1].commands[1].routes[0].commands[0].text = std::string(254, 'r');
  map.events[3].pages.clear();  // an event without pages
  std::vector<uint8_t> first;
  ASSERT_TRUE(BuildMapFileBytes(map, "Map.mps", first));

  std::vector<uint8_t> copy = first;
  MapData read;
  const MapFileParse parse = ParseMapFileBytes(copy, read);
  ASSERT_EQ(parse.result, MapParseResult::kOk);
  EXPECT_TRUE(parse.checksum_ok);
  EXPECT_EQ(read, map);

  std::vector<uint8_t> second;
  ASSERT_TRUE(BuildMapFileBytes(read, "Map.mps", second));
  EXPECT_EQ(second, first);
}

TEST_F(MapFileTest, LayersAreStoredLayerThenColumnThenRow) {
  MapData map;
  map.header.width = 2;
  map.header.height = 1;
  map.ResizeMapLayers(true, 0, 0);
  map.events.clear();
  int32_t value = 1;
  for (TileLayer& layer : map.layers) {
    layer.Set(0, 0, value++);
    layer.Set(1, 0, value++);
  }
  std::vector<uint8_t> body;
  DataWriter out(body);
  ASSERT_TRUE(WriteMapBody(out, map));

  // i32 100, byte 101, text "なし", four i32, then the six cells, then 102.
  const size_t cells_at = 4 + 1 + 4 + std::strlen("なし") + 1 + 16;
  ASSERT_EQ(body.size(), cells_at + 6 * 4 + 1);
  for (int32_t i = 0; i < 6; ++i) {
    int32_t cell;
    std::memcpy(&cell, &body[cells_at + 4 * i], 4);
    EXPECT_EQ(cell, i + 1) << "cell " << i;
  }
  EXPECT_EQ(body.back(), 102);
}

TEST_F(MapFileTest, EventsAreHeldInIdOrderEqualIdsInFileOrder) {
  BodyBuilder body;
  body.Header("m", 1, 1, 4);
  for (int i = 0; i < 3; ++i) body.out.WriteI32(0);
  body.Event(5, "five").Event(2, "two-a").Event(9, "nine").Event(2, "two-b");
  body.out.WriteU8(102);

  MapData map;
  ASSERT_EQ(ParseBody(body.out.Bytes(), map), MapParseResult::kOk);
  std::vector<std::string> names;
  for (const MapEventData& event : map.events) names.push_back(event.name);
  EXPECT_EQ(names, (std::vector<std::string>{"two-a", "two-b", "five", "nine"}));
  EXPECT_EQ(map.FindEventIndex(2), 0);
  EXPECT_EQ(map.FindEventIndex(9), 3);
  EXPECT_EQ(map.FindEventIndex(4), -1);
  // Fields of the hand-built page come back as stored.
  const EventPage& page = map.events[0].pages.at(0);
  EXPECT_EQ(page.command_count, 1);
  EXPECT_EQ(page.commands.size(), 1u);
  EXPECT_EQ(page.option_bytes, (std::vector<uint8_t>{0, 0, 0}));
}

TEST_F(MapFileTest, BodyBuiltFromTheLayoutWritesBackUnchanged) {
  BodyBuilder body;
  body.Header("町の外れ", 2, 2, 3);
  for (int32_t cell : {1, 2, 3, 4, 100000, 100000, 100000, 100000, -7, 0, 5, 6}) body.out.WriteI32(cell);
  body.Event(0, "a").Event(1, "").Event(4, "イベント");
  body.out.WriteU8(102);

  MapData map;
  ASSERT_EQ(ParseBody(body.out.Bytes(), map), MapParseResult::kOk);
  EXPECT_EQ(map.layers[2].At(0, 0), -7);
  EXPECT_EQ(map.layers[0].At(1, 0), 3);
  std::vector<uint8_t> written;
  DataWriter out(written);
  ASSERT_TRUE(WriteMapBody(out, map));
  EXPECT_EQ(written, body.out.Bytes());
}

TEST_F(MapFileTest, PageOptionBytesOnlyGrow) {
  // A page storing one option byte keeps the three of a fresh page.
  BodyBuilder body;
  body.Header("m", 0, 0, 1).Event(0, "e");
  body.out.WriteU8(102);
  std::vector<uint8_t> bytes = body.out.Bytes();
  // Patch the page's option count (3 -> 1) and drop two bytes.
  const size_t option_count_at = bytes.size() - 1 - 1 - 1 - 3 - 4;
  bytes[option_count_at] = 1;
  bytes[option_count_at + 4] = 9;
  bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(option_count_at + 5),
              bytes.begin() + static_cast<std::ptrdiff_t>(option_count_at + 7));
  MapData map;
  ASSERT_EQ(ParseBody(bytes, map), MapParseResult::kOk);
  EXPECT_EQ(map.events[0].pages[0].option_bytes, (std::vector<uint8_t>{9, 0, 0}));
}

TEST_F(MapFileTest, CommandKeepsOnlyItsFirstRoute) {
  MapData map = writers::SampleMap(2, 2, 1);
  EventCommand& command = map.events[0].pages[1].commands[1];
  MoveRoute second = command.routes[0];
  second.move_type = 3;
  command.routes.push_back(second);
  std::vector<uint8_t> body;
  DataWriter out(body);
  ASSERT_TRUE(WriteMapBody(out, map));

  MapData read;
  ASSERT_EQ(ParseBody(body, read), MapParseResult::kOk);
  const EventCommand& back = read.events[0].pages[1].commands[1];
  ASSERT_EQ(back.routes.size(), 1u);
  EXPECT_EQ(back.routes[0], command.routes[0]);

  // The flag byte holds the number of routes the command had.
  std::vector<uint8_t> alone;
  DataWriter command_out(alone);
  ASSERT_TRUE(WriteEventCommand(command_out, command));
  const size_t flag_at = 1 + 4 * command.numbers.size() + 1 + 1;
  EXPECT_EQ(alone[flag_at], 2);
}

TEST_F(MapFileTest, CommandBytesWrittenOutByHand) {
  EventCommand command;
  command.numbers = {201, -1};
  command.indent = 2;
  command.texts = {"ab"};
  MoveRoute route;
  route.move_type = 1;
  route.animation_speed = 4;
  route.move_speed = 5;
  route.frequency = 6;
  route.option_bits = 0x24;
  route.route_flags = 1;
  route.commands = {{3, {7}, "x"}};
  command.routes = {route};
  const std::vector<uint8_t> expected = {
      2, 0xC9, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,  // two numbers: 201, -1
      2,                                         // indent
      1, 3, 0, 0, 0, 'a', 'b', 0,                // one text, length counting its zero
      1,                                         // one move route follows
      4, 5, 6, 1, 0x24, 1,                       // the six bytes, move type fourth
      1, 0, 0, 0,                                // one route command
      3, 1, 7, 0, 0, 0, 2, 'x', 0,               // code, one argument, text "x"
  };
  std::vector<uint8_t> bytes;
  DataWriter out(bytes);
  ASSERT_TRUE(WriteEventCommand(out, command));
  EXPECT_EQ(bytes, expected);
  DataReader in(expected.data(), expected.size());
  EventCommand read;
  ASSERT_TRUE(ReadEventCommand(in, read));
  EXPECT_EQ(read, command);
  EXPECT_EQ(in.Remaining(), 0u);
}

TEST_F(MapFileTest, WriterRefusesWhatTheFormatCannotHold) {
  struct Case {
    const char* what;
    void (*damage)(MapData&);
  };
  const Case cases[] = {
      {"256 numbers", [](MapData& m) { m.events[0].pages[0].commands[0].numbers.assign(256, 1); }},
      {"256 texts", [](MapData& m) { m.events[0].pages[0].commands[0].texts.assign(256, "t"); }},
      {"255-byte route text",
       [](MapData& m) { m.events[0].pages[1].route.commands[0].text = std::string(255, 'x'); }},
      {"256 route arguments",
       [](MapData& m) { m.events[0].pages[1].route.commands[0].arguments.assign(256, 0); }},
      {"layer size differs from header", [](MapData& m) { m.header.width += 1; }},
  };
  for (const Case& c : cases) {
    MapData map = writers::SampleMap(3, 3, 1);
    c.damage(map);
    std::vector<uint8_t> file;
    EXPECT_FALSE(BuildMapFileBytes(map, "x", file)) << c.what;
  }
  // 255 numbers and a 254-byte route text are the limits that still fit.
  MapData map = writers::SampleMap(3, 3, 1);
  map.events[0].pages[0].commands[0].numbers.assign(255, 7);
  map.events[0].pages[1].route.commands[0].text = std::string(254, 'x');
  std::vector<uint8_t> file;
  ASSERT_TRUE(BuildMapFileBytes(map, "x", file));
  MapData read;
  ASSERT_EQ(ParseMapFileBytes(file, read).result, MapParseResult::kOk);
  EXPECT_EQ(read, map);
}

TEST_F(MapFileTest, TruncatedBodiesAreDamagedAtEveryLength) {
  MapData map = writers::SampleMap(3, 2, 2);
  std::vector<uint8_t> body;
  DataWriter out(body);
  ASSERT_TRUE(WriteMapBody(out, map));
  for (size_t length = 0; length < body.size(); ++length) {
    std::vector<uint8_t> cut(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(length));
    MapData read;
    const MapParseResult result = ParseBody(cut, read);
    EXPECT_EQ(result, MapParseResult::kDamaged) << "length " << length;
  }
  MapData read;
  EXPECT_EQ(ParseBody(body, read), MapParseResult::kOk);
}

TEST_F(MapFileTest, CountsBeyondTheFileAreDamage) {
  struct Case {
    const char* what;
    int32_t width, height, events;
  };
  const Case cases[] = {
      {"negative width", -1, 1, 0},
      {"negative height", 1, -5, 0},
      {"negative event count", 1, 1, -1},
      {"huge layers", 65536, 65536, 0},
      {"huge width, zero height", 0x7FFFFFFF, 0, 0},
      {"one column too wide, zero height", kMaxMapSide + 1, 0, 0},
      {"one row too high, zero width", 0, kMaxMapSide + 1, 0},
      {"huge event count", 0, 0, 0x7FFFFFFF},
  };
  for (const Case& c : cases) {
    BodyBuilder body;
    body.Header("m", c.width, c.height, c.events);
    body.out.WriteU8(102);
    MapData map;
    EXPECT_EQ(ParseBody(body.out.Bytes(), map), MapParseResult::kDamaged) << c.what;
  }
  BodyBuilder widest;
  widest.Header("m", kMaxMapSide, 0, 0);
  widest.out.WriteU8(102);
  MapData map;
  EXPECT_EQ(ParseBody(widest.out.Bytes(), map), MapParseResult::kOk);

  // A page count beyond what follows, and a negative one.
  for (int32_t pages : {-1, 1000000}) {
    BodyBuilder body;
    body.Header("m", 0, 0, 1);
    body.out.WriteU8(111).WriteI32(12345).WriteI32(0).WriteString("e").WriteI32(0).WriteI32(0).WriteI32(pages).WriteU32(0).WriteU8(112).WriteU8(102);
    MapData map;
    EXPECT_EQ(ParseBody(body.out.Bytes(), map), MapParseResult::kDamaged) << pages;
  }
}

TEST_F(MapFileTest, WrongTagIsNotAMapFile) {
  DataWriter body;
  body.WriteI32(100).WriteU8(100).WriteString("m");
  MapData map;
  EXPECT_EQ(ParseBody(body.Bytes(), map), MapParseResult::kNotMapFile);
  EXPECT_EQ(map.header, MapHeader());
  EXPECT_TRUE(map.events.empty());
}

TEST_F(MapFileTest, ChecksumCoversExactlyTheParsedBytes) {
  MapData map = writers::SampleMap(2, 2, 1);
  std::vector<uint8_t> file;
  ASSERT_TRUE(BuildMapFileBytes(map, "m", file));
  ASSERT_TRUE(file[0] != 0 || file[3] != 0 || file[9] != 0);

  // Bytes appended after the end tag are not covered.
  std::vector<uint8_t> longer = file;
  longer.push_back(0x55);
  MapData read;
  EXPECT_TRUE(ParseMapFileBytes(longer, read).checksum_ok);

  // Bits 3 and up survive scrambling unchanged, so flipping one in the
  // format number (read, not used) changes only the plain sum.
  std::vector<uint8_t> flipped = file;
  flipped[20] ^= 0x40;
  const MapFileParse parse = ParseMapFileBytes(flipped, read);
  EXPECT_EQ(parse.result, MapParseResult::kOk);
  EXPECT_FALSE(parse.checksum_ok);
}

TEST_F(MapFileTest, EditingOperationsKeepIdOrder) {
  auto map_with_ids = [](std::vector<int32_t> ids) {
    MapData map;
    map.events.clear();
    for (size_t i = 0; i < ids.size(); ++i) {
      MapEventData event(ids[i]);
      event.x = static_cast<int32_t>(i);
      event.y = 0;
      map.events.push_back(event);
    }
    map.header.event_count = static_cast<int32_t>(ids.size());
    return map;
  };
  auto ids_of = [](const MapData& map) {
    std::vector<int32_t> ids;
    for (const MapEventData& event : map.events) ids.push_back(event.event_id);
    return ids;
  };

  struct Case {
    std::vector<int32_t> before;
    std::vector<int32_t> after;
  };
  const Case cases[] = {
      {{0, 1, 3}, {0, 1, 2, 3}},
      {{1, 2}, {0, 1, 2}},
      {{}, {0}},
      {{0, 1, 2}, {0, 1, 2, 3}},
      {{0, 1, 1, 2}, {0, 1, 1, 2, 3}},  // a repeated ID is stepped over
  };
  for (const Case& c : cases) {
    MapData map = map_with_ids(c.before);
    EXPECT_EQ(map.AddMapEvent(5, 5), 1);
    EXPECT_EQ(ids_of(map), c.after);
    EXPECT_EQ(map.header.event_count, static_cast<int32_t>(c.after.size()));
  }

  MapData map = map_with_ids({0, 1, 3});
  EXPECT_EQ(map.AddMapEvent(1, 0), 2);    // taken by event 1
  EXPECT_EQ(map.AddMapEvent(20, 0), 0);   // outside (width 20)
  EXPECT_EQ(map.AddMapEvent(0, 15), 0);   // outside (height 15)
  EXPECT_EQ(map.AddMapEvent(-1, 3), 0);

  map.events[2].name = "three";
  EXPECT_EQ(map.CopyMapEvent(3, 4, 4), 2);
  EXPECT_EQ(map.events[2].name, "three");
  EXPECT_EQ(map.events[2].x, 4);
  EXPECT_EQ(map.CopyMapEvent(42, 0, 0), -1);

  map.event_flags[3] = 1;
  EXPECT_TRUE(map.DeleteMapEvent(3));
  EXPECT_EQ(map.event_flags[3], 0);
  EXPECT_EQ(ids_of(map), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(map.header.event_count, 3);
  EXPECT_FALSE(map.DeleteMapEvent(3));
  map.events.push_back(MapEventData(5000));  // an ID beyond the flag table
  EXPECT_TRUE(map.DeleteMapEvent(5000));

  MapEventData outside(77);
  EXPECT_EQ(map.InsertMapEvent(outside, 9, 9), 3);
  EXPECT_EQ(map.events.back().event_id, 3);
}

TEST_F(MapFileTest, ResizeKeepsTheKeptArea) {
  MapData map;
  map.header.width = 3;
  map.header.height = 3;
  map.ResizeMapLayers(true, 0, 0);
  for (int32_t x = 0; x < 3; ++x)
    for (int32_t y = 0; y < 3; ++y) map.layers[2].Set(x, y, x * 10 + y);
  map.header.width = 4;
  map.header.height = 2;
  map.ResizeMapLayers(false, 2, 5);
  EXPECT_EQ(map.layers[2].At(1, 1), 11);
  EXPECT_EQ(map.layers[2].At(2, 0), kEmptyTile);  // x not below keep width
  EXPECT_EQ(map.layers[2].At(3, 1), kEmptyTile);  // a new column
  map.ClearMap();
  EXPECT_EQ(map.layers[2].At(0, 0), kEmptyTile);
}

TEST_F(MapFileTest, FreshRecordsHoldTheirDefaults) {
  MapData map;
  EXPECT_EQ(map.header.name, "なし");
  EXPECT_EQ(map.layers[0].Width(), 20);
  EXPECT_EQ(map.layers[0].Height(), 15);
  EXPECT_EQ(map.layers[1].At(19, 14), kEmptyTile);

  MapEventData event;
  EXPECT_EQ(event.event_id, -1);
  EXPECT_EQ(event.page_count, 1);
  ASSERT_EQ(event.pages.size(), 1u);
  const EventPage& page = event.pages[0];
  EXPECT_EQ(page.commands.size(), 1u);
  EXPECT_EQ(page.commands[0].numbers, std::vector<int32_t>{0});
  EXPECT_EQ(page.command_count, 0);
  EXPECT_EQ(page.conditions.condition_bytes[3], 32);
  EXPECT_EQ(page.route.route_flags, 2);
  EXPECT_EQ(page.route.option_bits, 3);

  EventPage inserted;
  inserted.commands[0].numbers = {1};
  inserted.InsertEmptyCommand(99);  // capped at the list size
  ASSERT_EQ(inserted.commands.size(), 2u);
  EXPECT_EQ(inserted.commands[1].numbers, std::vector<int32_t>{0});
}

// Through the library's file entry points, with the messages the player shows.
class MapFileLoadTest : public MapFileTest {};

TEST_F(MapFileLoadTest, ReadsAMapFromTheDataFolderAndReportsMissingOrBrokenFiles) {
  ScratchGameFolder folder("map_file_load");
  MapData map = writers::SampleMap(4, 3, 2);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(BuildMapFileBytes(map, "m", bytes));
  ASSERT_TRUE(writers::WriteFileBytes(folder.Native("Data/MapData/Map001.mps"), bytes));
  std::vector<uint8_t> broken = bytes;
  broken.resize(40);
  ASSERT_TRUE(writers::WriteFileBytes(folder.Native("Data/MapData/Broken.mps"), broken));
  DataWriter not_a_map;
  not_a_map.WriteI32(100).WriteU8(7);
  ASSERT_TRUE(writers::WriteFileBytes(folder.Native("Data/MapData/Other.mps"),
                                      writers::ScrambleFile(not_a_map.Bytes(), kMapFileHeader, {0, 0, 0})));

  MapData read;
  EXPECT_TRUE(read.ReadMapFile("MapData\\Map001.mps"));
  EXPECT_EQ(read, map);
  EXPECT_TRUE(message_boxes_.empty());

  struct Case {
    const char* name;
    const char* title;
    std::string text;
  };
  const Case cases[] = {
      {"", "読み込みエラー", "マップファイル名が設定されていないマップに移動しようとしました。"},
      {"MapData\\Nothing.mps", "読み込みエラー", "マップファイル Data\\MapData\\Nothing.mps がありません"},
      {"MapData\\Broken.mps", "マップ移動エラー",
       "エラー：マップデータ MapData\\Broken.mps が破損しているか、\r\nマップファイル形式ではありません。"},
      {"MapData\\Other.mps", "マップ移動エラー",
       "エラー：マップデータ MapData\\Other.mps が破損しているか、\r\nマップファイル形式ではありません。"},
  };
  for (const Case& c : cases) {
    message_boxes_.clear();
    MapData failed = map;
    EXPECT_FALSE(failed.ReadMapFile(c.name)) << c.name;
    ASSERT_EQ(message_boxes_.size(), 1u) << c.name;
    EXPECT_EQ(message_boxes_[0].title, c.title);
    EXPECT_EQ(message_boxes_[0].text, c.text);
    EXPECT_TRUE(failed.events.empty());
  }
}

TEST_F(MapFileLoadTest, WriteMapFileCreatesTheFileOrFails) {
  ScratchGameFolder folder("map_file_write");
  std::filesystem::create_directories(folder.Path() / "Data" / "MapData");
  MapData map = writers::SampleMap(3, 3, 1);
  ASSERT_TRUE(map.WriteMapFile("Data\\MapData\\Written.mps"));
  MapData read;
  ASSERT_TRUE(read.ReadMapFile("MapData\\Written.mps"));
  EXPECT_EQ(read, map);
  EXPECT_FALSE(map.WriteMapFile("NoSuchFolder\\Deeper\\Written.mps"));
}

using MapFileDeathTest = MapFileTest;

TEST_F(MapFileDeathTest, ChecksumMismatchEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ScratchGameFolder folder("map_file_checksum");
  MapData map = writers::SampleMap(2, 2, 1);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(BuildMapFileBytes(map, "m", bytes));
  bytes[2] ^= 1;  // the stored checksum
  ASSERT_TRUE(writers::WriteFileBytes(folder.Native("Data/Bad.mps"), bytes));
  MapData read;
  EXPECT_EXIT(read.ReadMapFile("Bad.mps"), ::testing::ExitedWithCode(1), "Bad\\.mps");
}

}  // namespace
