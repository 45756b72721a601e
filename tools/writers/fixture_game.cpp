#include "tools/writers/fixture_game.h"

#include <filesystem>

#include "tools/writers/data_file_writer.h"
#include "tools/writers/database_writer.h"
#include "tools/writers/game_ini_writer.h"

namespace writers {

namespace {

constexpr int kMapTableContents = 5;

EventCommand TextCommand(int32_t code, int8_t indent, std::vector<int32_t> arguments, std::vector<std::string> texts) {
  EventCommand command;
  command.numbers = {code};
  command.numbers.insert(command.numbers.end(), arguments.begin(), arguments.end());
  command.indent = indent;
  command.texts = std::move(texts);
  return command;
}

MoveRoute SampleRoute(int32_t seed) {
  MoveRoute route;
  route.move_type = 1;
  route.animation_speed = 4;
  route.move_speed = 2;
  route.frequency = 5;
  route.option_bits = 0x41;
  route.route_flags = 3;
  for (int32_t i = 0; i < 3; ++i) {
    MoveRouteCommand command;
    command.code = static_cast<uint8_t>(i + seed % 50);
    command.arguments = {seed, -i, 1000000 + i};
    if (i == 1) command.text = "step";
    route.commands.push_back(command);
  }
  return route;
}

DataBaseTypeData MapTableData(const std::vector<FixtureMap>& maps) {
  DataBaseTypeData table;
  table.descriptors = {2000, 1000, 1001, 1002, 1003};
  table.rows.clear();
  for (const FixtureMap& map : maps) {
    DataBaseEntry row;
    row.texts = {"MapData\\" + map.file_name};
    row.numbers = {map.bgm, map.bgs, map.loop_mode, map.variable_66};
    table.rows.push_back(row);
  }
  return table;
}

DataBaseType MapTableDefinition(const std::vector<FixtureMap>& maps) {
  DataBaseType definition;
  definition.type_name = "Maps";
  definition.content_names = {"File", "BGM", "BGS", "Loop", "Value66"};
  definition.content_texts.assign(kMapTableContents, std::string());
  definition.content_text_lists.assign(kMapTableContents, {});
  definition.content_number_lists.assign(kMapTableContents, {});
  definition.default_values.assign(kMapTableContents, 0);
  definition.data_names.clear();
  for (const FixtureMap& map : maps) definition.data_names.push_back(map.file_name);
  return definition;
}

}  // namespace

MapData SampleMap(int32_t width, int32_t height, int32_t event_count) {
  MapData map;
  map.header.name = "サンプル";
  map.header.tile_set_number = 0;
  map.header.width = width;
  map.header.height = height;
  map.ResizeMapLayers(true, 0, 0);
  for (int32_t x = 0; x < width; ++x) {
    for (int32_t y = 0; y < height; ++y) {
      map.layers[0].Set(x, y, x + y * width);
      if (x == y) map.layers[1].Set(x, y, 1000 + x);
    }
  }
  for (int32_t i = 0; i < event_count; ++i) {
    MapEventData event(i);
    event.name = "EV" + std::to_string(i);
    event.x = i % (width > 0 ? width : 1);
    event.y = i % (height > 0 ? height : 1);
    event.option_bytes = {static_cast<uint8_t>(i), 7};
    event.pages.assign(2, EventPage());
    EventPage& first = event.pages[0];
    first.graphic.graphic_number = -1;
    first.graphic.file_name = "CharaChip\\People.png";
    first.graphic.direction = 4;
    first.commands = {TextCommand(101, 0, {0}, {"こんにちは"}), TextCommand(0, 0, {}, {})};
    EventPage& second = event.pages[1];
    second.conditions.start_type = kStartParallel;
    second.conditions.condition_bytes = {0x21, 0x01, 32, 32};
    second.conditions.left_ids = {2000000 + i, 1100000, 0, 0};
    second.conditions.right_values = {5, -3, 0, 0};
    second.route = SampleRoute(i);
    EventCommand set_route = TextCommand(201, 1, {-1, 0}, {});
    set_route.routes = {SampleRoute(i + 7)};
    second.commands = {TextCommand(111, 0, {1, 2, 3}, {"A", ""}), set_route, TextCommand(0, 0, {}, {})};
    second.option_bytes = {1, 2, 3, 4};
    map.events.push_back(event);
  }
  map.header.event_count = event_count;
  return map;
}

FixtureGame SmallFixtureGame() {
  FixtureGame game;
  game.system_database = SampleDataBase(24, 5, 3);
  game.user_database = SampleDataBase(4, 4, 3);
  game.changeable_database = SampleDataBase(4, 4, 3);

  game.tile_sets.version = 0xD0;
  game.tile_sets.tile_sets = {SampleTileSet("Field", 64)};

  CommonEventEntry with_arguments;
  with_arguments.name = "Auto";
  with_arguments.start_byte = 0x21;
  with_arguments.compare_value = 4;
  with_arguments.commands = {TextCommand(101, 0, {0}, {"Common"}), TextCommand(0, 0, {}, {})};
  with_arguments.extra_bytes = {1, 2};
  with_arguments.note = "note";
  with_arguments.argument_names = {"a", "b"};
  with_arguments.argument_settings = {1, 2, 3};
  with_arguments.argument_text_lists = {{"x", "y"}};
  with_arguments.argument_number_lists = {{1, 2, 3}};
  with_arguments.default_values = {9, 8};
  CommonEventEntry short_form;
  short_form.name = "Short";
  short_form.commands = {TextCommand(0, 0, {}, {})};
  short_form.argument_tag = 0x8E;
  game.common_events.events = {with_arguments, short_form};

  FixtureMap map;
  map.file_name = "Map000.mps";
  map.map = SampleMap(20, 15, 3);
  game.maps.push_back(std::move(map));
  return game;
}

DataBase FixtureSystemDatabase(const FixtureGame& game) {
  DataBase database = game.system_database;
  if (database.type_data.empty()) database.type_data.emplace_back();
  if (database.types.empty()) database.types.emplace_back();
  database.type_data[0] = MapTableData(game.maps);
  database.types[0] = MapTableDefinition(game.maps);
  return database;
}

bool WriteFixtureGame(FixtureGame& game, const std::string& native_folder) {
  const std::filesystem::path root(native_folder);
  const std::filesystem::path basic = root / "Data" / "BasicData";
  bool ok = WriteFileBytes((root / "Game.dat").string(), BuildGameDat(game.game_dat));
  const std::string ini = BuildGameIni(game.game_ini);
  ok = ok && WriteFileBytes((root / "Game.ini").string(), std::vector<uint8_t>(ini.begin(), ini.end()));
  ok = ok && WriteDataBaseFiles(native_folder, "BasicData/SysDataBase", FixtureSystemDatabase(game));
  ok = ok && WriteDataBaseFiles(native_folder, "BasicData/DataBase", game.user_database);
  ok = ok && WriteDataBaseFiles(native_folder, "BasicData/CDataBase", game.changeable_database);
  ok = ok && WriteFileBytes((basic / "TileSetData.dat").string(), BuildTileSetFile(game.tile_sets));
  ok = ok && WriteFileBytes((basic / "CommonEvent.dat").string(), BuildCommonEventFile(game.common_events));
  for (FixtureMap& map : game.maps) {
    std::vector<uint8_t> bytes;
    ok = ok && BuildMapFileBytes(map.map, map.file_name, bytes);
    ok = ok && WriteFileBytes((root / "Data" / "MapData" / map.file_name).string(), bytes);
  }
  return ok;
}

}  // namespace writers
