// A fixture game folder from tools/writers reads back through every loader:
// Game.dat, the databases, the map named by SysDataBase, the tile sets and
// the common events.
#include <gtest/gtest.h>

#include "data_test_support.h"
#include "game/data/common_event.h"
#include "game/data/database_file.h"
#include "game/data/game_dat.h"
#include "game/data/map_file.h"
#include "game/data/tile_set.h"
#include "platform/clock.h"
#include "tools/writers/fixture_game.h"

namespace {

class FixtureGameTest : public DataLayerTest {};

TEST_F(FixtureGameTest, EveryFileOfTheFixtureLoads) {
  platform::VirtualClock clock;
  platform::ScopedClock scoped(clock);
  ScratchGameFolder folder("fixture_game");
  writers::FixtureGame game = writers::SmallFixtureGame();
  writers::FixtureMap second;
  second.file_name = "Map001.mps";
  second.map = writers::SampleMap(30, 20, 5);
  second.loop_mode = 3;
  game.maps.push_back(second);
  ASSERT_TRUE(writers::WriteFixtureGame(game, folder.Path().string()));

  GameBasicInfoRecord info;
  ASSERT_TRUE(info.LoadGameDat("Game.dat"));
  EXPECT_EQ(info.Text(kTextGameTitle), "Demo");

  DataBase system;
  ASSERT_TRUE(LoadDataBase(system, "BasicData\\SysDataBase"));
  ASSERT_EQ(system.GetDBDataCount(0), 2);
  EXPECT_EQ(system.ReadDBInt(0, 1, 3), 3);
  for (int32_t n = 0; n < 2; ++n) {
    MapData map;
    ASSERT_TRUE(map.ReadMapFile(system.ReadDBString(0, n, 0))) << n;
    EXPECT_EQ(map, game.maps[n].map) << n;
  }

  TileSetList tile_sets;
  ASSERT_TRUE(tile_sets.LoadTileSetData("BasicData\\TileSetData.dat"));
  ASSERT_EQ(tile_sets.tile_sets.size(), 1u);
  EXPECT_EQ(tile_sets.tile_sets[0].attributes.size(), 64u);
  EXPECT_EQ(tile_sets.tile_sets[0].name, "Field");

  CommonEventList common_events;
  ASSERT_TRUE(common_events.LoadCommonEvents("BasicData\\CommonEvent.dat"));
  ASSERT_EQ(common_events.events.size(), 2u);
  EXPECT_EQ(common_events.events[0].name, "Auto");
  EXPECT_EQ(common_events.events[1].number, 1);
  EXPECT_TRUE(message_boxes_.empty());
  EXPECT_TRUE(RecordedErrorBoxes().empty());
}

TEST_F(FixtureGameTest, AMissingCommonEventFileLeavesTheFreshList) {
  ScratchGameFolder folder("fixture_no_common_events");
  writers::FixtureGame game = writers::SmallFixtureGame();
  ASSERT_TRUE(writers::WriteFixtureGame(game, folder.Path().string()));
  std::filesystem::remove(folder.Path() / "Data" / "BasicData" / "CommonEvent.dat");

  // The steps of the basic-data load: a fresh list, then the file.
  CommonEvents.events.clear();
  CommonEvents = CommonEventList();
  EXPECT_FALSE(CommonEvents.LoadCommonEvents("BasicData\\CommonEvent.dat"));
  ASSERT_EQ(CommonEvents.events.size(), 10u);
  EXPECT_EQ(CommonEvents.events[9].number, 9);
  ASSERT_EQ(message_boxes_.size(), 1u);
  EXPECT_EQ(message_boxes_[0].title, "読み込みエラー");
  EXPECT_EQ(message_boxes_[0].text, "コモンイベントデータの読み込みに失敗しました");
}

}  // namespace
