// Assembles a whole game folder for tests and the demo from a short
// description in code: Game.dat, Game.ini, the three databases, the tile
// sets, the common events and the maps (map files are written with the
// player's own map writer; their names are entered in SysDataBase type 0,
// content 0, one data row per map in list order, with the map's sound and
// loop settings in contents 1-4).
//
// Folder layout (native paths below the game folder):
//   Game.dat, Game.ini,
//   Data/BasicData/{SysDataBase,DataBase,CDataBase}.{dat,project},
//   Data/BasicData/TileSetData.dat, Data/BasicData/CommonEvent.dat,
//   Data/MapData/<map file>.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "game/data/database.h"
#include "game/data/map_file.h"
#include "tools/writers/common_event_writer.h"
#include "tools/writers/game_dat_writer.h"
#include "tools/writers/tileset_writer.h"

namespace writers {

struct FixtureMap {
  std::string file_name;  // below Data/MapData/, e.g. "Map000.mps"
  MapData map;
  int32_t bgm = -2;        // SysDataBase type 0 content 1 (-2: keep what plays)
  int32_t bgs = -2;        // content 2
  int32_t loop_mode = 0;   // content 3: 1 horizontal, 2 vertical, 3 both
  int32_t variable_66 = -1;  // content 4
};

struct FixtureGame {
  GameDatContents game_dat = DefaultGameDatContents();
  std::vector<std::pair<std::string, std::string>> game_ini{{"Start", "0"}, {"SoftModeFlag", "0"}};
  // SysDataBase without its map table (type 0 is replaced from `maps`).
  DataBase system_database;
  DataBase user_database;
  DataBase changeable_database;
  TileSetFileContents tile_sets;
  CommonEventFileContents common_events;
  std::vector<FixtureMap> maps;
};

// A map of the given size: layer 0 filled with tile values x + y * width,
// layers 1 and 2 empty except a diagonal on layer 1, and `event_count`
// events (IDs 0, 1, ... at (i, i)) with two pages each, commands with texts
// and a set-move-route command, and a custom route on page 1.
MapData SampleMap(int32_t width, int32_t height, int32_t event_count);

// A small complete game: one 20 x 15 map with three events, one tile set of
// 64 tiles, two common events (one with an argument block, one without),
// sample databases.
FixtureGame SmallFixtureGame();

// The SysDataBase actually written: system_database with type 0 replaced by
// the map table of `maps`.
DataBase FixtureSystemDatabase(const FixtureGame& game);

// Writes every file below native_folder (created when missing). The maps'
// counts are stored back by the map writer. False when a file cannot be
// written or a map does not fit the stored form.
bool WriteFixtureGame(FixtureGame& game, const std::string& native_folder);

}  // namespace writers
