// The data loaders reading real files of a game folder through the
// library's file entry points: Game.dat, the database pairs, LoadBasicData
// with its common-event step, and the missing-file behaviour of each.
#include <gtest/gtest.h>

#include "data_test_support.h"
#include "engine/api/file_entry_points.h"
#include "game/data/basic_data.h"
#include "game/data/common_event.h"
#include "game/data/database_file.h"
#include "game/data/game_dat.h"
#include "tools/writers/archive_writer.h"
#include "tools/writers/common_event_writer.h"
#include "tools/writers/data_file_writer.h"
#include "tools/writers/database_writer.h"
#include "tools/writers/game_dat_writer.h"

namespace {

class DataFilesOnDiskTest : public DataLayerTest {};

TEST_F(DataFilesOnDiskTest, GameDatThroughTheFileEntryPoints) {
  ScratchGameFolder folder("game_dat_disk");
  writers::GameDatContents contents = writers::DefaultGameDatContents();
  contents.texts[0] = "On Disk";
  ASSERT_TRUE(writers::WriteFileBytes(folder.Native("Game.dat"), writers::BuildGameDat(contents)));
  GameBasicInfoRecord info;
  ASSERT_TRUE(info.LoadGameDat("Game.dat"));
  EXPECT_EQ(info.texts[0], "On Disk");
  EXPECT_EQ(info.texts[kTextArchiveKey], contents.key_text);
  EXPECT_EQ(info.settings[kSettingFrameRate], 60);
  EXPECT_TRUE(message_boxes_.empty());
  EXPECT_TRUE(RecordedErrorBoxes().empty());
}

TEST_F(DataFilesOnDiskTest, MissingGameDatShowsItsBoxAndFails) {
  ScratchGameFolder folder("game_dat_missing");
  GameBasicInfoRecord info;
  EXPECT_FALSE(info.LoadGameDat("Game.dat"));
  ASSERT_EQ(message_boxes_.size(), 1u);
  EXPECT_EQ(message_boxes_[0].title, "読み込みエラー");
  EXPECT_EQ(message_boxes_[0].text, "基本情報データ Game.dat がありません");
}

TEST_F(DataFilesOnDiskTest, DataBaseAndBasicData) {
  ScratchGameFolder folder("basic_data");
  const DataBase sys = writers::SampleDataBase(3, 2, 4);
  const DataBase user = writers::SampleDataBase(2, 3, 2);
  const DataBase changeable = writers::SampleDataBase(1, 4, 3);
  ASSERT_TRUE(writers::WriteDataBaseFiles(folder.Path().string(), "BasicData/SysDataBase", sys));
  ASSERT_TRUE(writers::WriteDataBaseFiles(folder.Path().string(), "BasicData/DataBase", user));
  writers::DataBaseDatOptions old_version;
  old_version.version = old_version.closing_version = 0xC0;
  ASSERT_TRUE(writers::WriteDataBaseFiles(folder.Path().string(), "BasicData/CDataBase", changeable, old_version));

  DataBase single;
  ASSERT_TRUE(LoadDataBase(single, "BasicData\\SysDataBase"));
  EXPECT_EQ(single.ReadDBString(2, 3, 1), "T2R3C1");

  writers::CommonEventFileContents common;
  common.events.resize(12);
  common.events[11].number = 11;
  common.events[11].name = "eleventh";
  ASSERT_TRUE(writers::WriteFileBytes((folder.Path() / "Data/BasicData/CommonEvent.dat").string(),
                                      writers::BuildCommonEventFile(common)));
  CommonEvents.events.clear();
  SysDataBase.WriteDBInt(0, 0, 0, 12345);
  LoadBasicData();
  ASSERT_EQ(CommonEvents.events.size(), 12u);
  EXPECT_EQ(CommonEvents.events[11].name, "eleventh");
  EXPECT_EQ(SysDataBase.GetDBTypeCount(), 3);
  EXPECT_EQ(SysDataBase.ReadDBInt(0, 0, 0), 0);
  EXPECT_EQ(UserDataBase.ReadDBInt(1, 1, 2), 1012);
  EXPECT_EQ(CDataBase.ReadDBString(0, 2, 3), "T0R2C3");
  EXPECT_EQ(CDataBase.types[0].default_values, std::vector<int32_t>(4, 0));  // 0xC0 definitions
  EXPECT_EQ(DataBaseVersion, 0xC0);
  EXPECT_TRUE(message_boxes_.empty());
}

TEST_F(DataFilesOnDiskTest, SaveBlockReaderReadsTypesAndTheProjectAgain) {
  ScratchGameFolder folder("save_block");
  const DataBase changeable = writers::SampleDataBase(2, 2, 3);
  ASSERT_TRUE(writers::WriteDataBaseFiles(folder.Path().string(), "BasicData/CDataBase", changeable));
  DataBase saved = changeable;
  saved.WriteDBInt(1, 2, 0, -9);
  std::vector<uint8_t> block = writers::BuildDataBaseDatBody(saved, {});
  block.pop_back();  // the save block has no closing byte
  DataBase target;
  DataReader save(block.data(), block.size());
  ASSERT_TRUE(ReadDataBaseFromSave(target, save));
  EXPECT_FALSE(save.Damaged());
  EXPECT_EQ(target.ReadDBInt(1, 2, 0), -9);
  EXPECT_EQ(target.GetDBTypeName(1), "Type1");

  // The block the save writer puts reads back the same way.
  std::vector<uint8_t> written;
  DataWriter out(written);
  DataBase from_game = saved;
  from_game.type_data[0].header_value = -1;
  WriteDataBaseToSave(from_game, out);
  EXPECT_EQ(written[0], 111);
  EXPECT_EQ(from_game.type_data[0].header_value, -2);
  DataBase again;
  DataReader written_save(written.data(), written.size());
  ASSERT_TRUE(ReadDataBaseFromSave(again, written_save));
  EXPECT_EQ(written_save.Remaining(), 0u);
  EXPECT_EQ(again.ReadDBInt(1, 2, 0), -9);
  EXPECT_EQ(again.ReadDBString(0, 1, 1), "T0R1C1");
  EXPECT_EQ(again.type_data[1].header_value, -2);

  const std::vector<uint8_t> cut(block.begin(), block.begin() + 3);
  DataReader short_save(cut.data(), cut.size());
  EXPECT_FALSE(ReadDataBaseFromSave(target, short_save));
  EXPECT_TRUE(short_save.Damaged());
}

TEST_F(DataFilesOnDiskTest, DataBaseFromAnArchivedDataFolder) {
  ScratchGameFolder folder("archived_database");
  const DataBase written = writers::SampleDataBase(2, 3, 3);
  writers::ArchiveTreeNode root;
  root.AddFile("BasicData\\DataBase.dat", writers::BuildDataBaseDat(written));
  root.AddFile("BasicData\\DataBase.project", writers::BuildDataBaseProject(written));
  writers::ArchiveWriteOptions options;
  options.key_text = "archive key";
  options.compress = true;
  ASSERT_TRUE(writers::WriteFileBytes(folder.Native("Data.vesk"), writers::BuildArchive(root, options)));
  ChangeArchiveExtension("vesk");
  ChangeArchiveKey("archive key");
  DataBase read;
  const bool loaded = LoadDataBase(read, "BasicData\\DataBase");
  ChangeArchiveKey(nullptr);
  ChangeArchiveExtension("");
  ASSERT_TRUE(loaded);
  EXPECT_EQ(read.ReadDBString(1, 2, 1), "T1R2C1");
  EXPECT_EQ(read.GetDBDataName(1, 2), "Data2");
}

using DataFilesOnDiskDeathTest = DataFilesOnDiskTest;

TEST_F(DataFilesOnDiskDeathTest, MissingDatabaseFileEndsWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ScratchGameFolder folder("missing_database");
  EXPECT_EXIT(
      {
        DataBase database;
        LoadDataBase(database, "BasicData\\SysDataBase");
      },
      ::testing::ExitedWithCode(1), "SysDataBase\\.dat");
  // The ".dat" is there, the ".project" is not.
  ASSERT_TRUE(writers::WriteFileBytes(folder.Native("Data/BasicData/SysDataBase.dat"),
                                      writers::BuildDataBaseDat(writers::SampleDataBase(1, 1, 1))));
  EXPECT_EXIT(
      {
        DataBase database;
        LoadDataBase(database, "BasicData\\SysDataBase");
      },
      ::testing::ExitedWithCode(1), "SysDataBase\\.project");
}

}  // namespace
