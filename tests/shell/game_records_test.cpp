// The game's process-wide records: created in start-up order by one
// function, put back to their state before start-up by another.
#include <gtest/gtest.h>

#include "game/data/basic_data.h"
#include "game/data/common_event.h"
#include "game/data/data_error_report.h"
#include "game/data/data_scrambler.h"
#include "game/data/database.h"
#include "game/data/game_dat.h"
#include "game/data/game_ini.h"
#include "game/data/map_file.h"
#include "game/shell/game_records.h"
#include "game/shell/program_startup.h"

namespace {

class GameRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetGameRecords(); }
  void TearDown() override { ResetGameRecords(); }
};

void ExpectEmptyRecords() {
  EXPECT_TRUE(GameBasicInfo.settings.empty());
  EXPECT_TRUE(GameBasicInfo.texts.empty());
  EXPECT_TRUE(GameBasicInfo.values16.empty());
  for (const DataBase* database : {&SysDataBase, &UserDataBase, &CDataBase}) {
    EXPECT_EQ(database->GetDBTypeCount(), 0);
    EXPECT_TRUE(database->types.empty());
  }
  EXPECT_TRUE(CommonEvents.events.empty());
}

TEST_F(GameRecordsTest, CreateBuildsEachRecordInStartUpOrder) {
  ExpectEmptyRecords();
  DataBaseVersion = 0xC0;
  CreateGameRecords();
  // The basic information's defaults take the generator's first draws
  // (41: the high range, then 18467), as they did when built before main.
  ASSERT_EQ(GameBasicInfo.settings.size(), 17u);
  ASSERT_EQ(GameBasicInfo.values16.size(), 1u);
  EXPECT_EQ(GameBasicInfo.values16[0], 18467 % 30000 + 15501);
  EXPECT_EQ(GameBasicInfo.Text(kTextGameTitle), "新規ゲーム名");
  ASSERT_EQ(CommonEvents.events.size(), 10u);
  EXPECT_EQ(CommonEvents.events[9].number, 9);
  EXPECT_EQ(DataBaseVersion, 0xC1);  // a fresh database is of the current version
  EXPECT_EQ(SysDataBase.GetDBTypeCount(), 0);
}

TEST_F(GameRecordsTest, ResetPutsEveryRecordBackToItsStateBeforeStartUp) {
  CreateGameRecords();
  SysDataBase.type_data.resize(2);
  CDataBase.types.resize(3);
  CommonEvents.events.resize(40);
  DataBaseVersion = 0xC0;
  DBReadErrorFlag = 1;
  RuntimeRandom().Next();
  Proxy = "proxy.example";
  ProxyPort = "8080";
  ScreenShotFlag = 0;
  WindowModeFlag = 0;
  SEandBGM = 1;
  ShowErrorBox("one", "two", "three");
  SetGameDataFolder("G:\\Elsewhere\\");
  DebugMode = 1;
  ProgramFolder = "G:\\";
  DataFolder = "G:\\Data\\";
  TileSize = 16;
  DrawScale = 2;
  FrameStep = 2;
  SoftModeFlag = 1;
  FrameSkip = 1;

  ResetGameRecords();

  ExpectEmptyRecords();
  EXPECT_EQ(DataBaseVersion, 0xC1);
  EXPECT_EQ(DBReadErrorFlag, 0);
  CrtRandom generator = RuntimeRandom();
  EXPECT_EQ(generator.Next(), 41);  // seeded as at start
  EXPECT_EQ(Proxy, "");
  EXPECT_EQ(ProxyPort, "");
  EXPECT_EQ(ScreenShotFlag, 1);
  EXPECT_EQ(WindowModeFlag, 1);
  EXPECT_EQ(SEandBGM, 3);
  EXPECT_TRUE(RecordedErrorBoxes().empty());
  EXPECT_EQ(GameDataFolder(), "Data\\");
  EXPECT_EQ(DebugMode, 0);
  EXPECT_EQ(ProgramFolder, "");
  EXPECT_EQ(DataFolder, "");
  EXPECT_EQ(TileSize, 32);
  EXPECT_EQ(DrawScale, 1);
  EXPECT_EQ(FrameStep, 1);
  EXPECT_EQ(SoftModeFlag, 0);
  EXPECT_EQ(FrameSkip, 0);

  // A second start-up after a reset builds the same records as the first.
  CreateGameRecords();
  EXPECT_EQ(GameBasicInfo.values16[0], 18467 % 30000 + 15501);
}

}  // namespace
