// Game.dat: every field read back from files built by the writer, the
// defaults, the key text gathered through its tables, the check byte, and
// damaged files (cut short, positions outside the file) refused whole.
#include <gtest/gtest.h>

#include "data_test_support.h"
#include "game/data/data_scrambler.h"
#include "game/data/data_writer.h"
#include "game/data/game_dat.h"
#include "tools/writers/data_file_writer.h"
#include "tools/writers/game_dat_writer.h"

namespace {

constexpr const char* kDamagedText = "基本情報データ Game.dat が破損しています";

class GameDatTest : public DataLayerTest {};

TEST_F(GameDatTest, DefaultsOfAFreshRecord) {
  RuntimeRandom().Seed(1);  // draws 41 (41 % 10 = 1: the high range), then 18467
  GameBasicInfoRecord info;
  ASSERT_EQ(info.settings.size(), 17u);
  const int8_t expected[17] = {32, 8, 8, 1, 0, 1, 0, 3, 0, 0, 0, 6, 6, 0, 0, 4, 4};
  for (int i = 0; i < 17; ++i) EXPECT_EQ(info.settings[i], expected[i]) << i;
  ASSERT_EQ(info.texts.size(), 8u);
  EXPECT_EQ(info.texts[0], "新規ゲーム名");
  EXPECT_EQ(info.texts[1], "0000-0000");
  EXPECT_EQ(info.texts[2], "");
  ASSERT_EQ(info.values16.size(), 1u);
  EXPECT_EQ(info.values16[0], 18467 % 30000 + 15501);
  // A fresh record has no frame rate; the program runs it at 60.
  EXPECT_EQ(info.FrameRate(), 60);
  EXPECT_EQ(info.FrameStepSixtieths(), 1);
}

TEST_F(GameDatTest, ReadsEveryField) {
  writers::GameDatContents contents = writers::DefaultGameDatContents();
  contents.settings[3] = 0;  // forced to 1 by the loader
  contents.settings[4] = 30;
  contents.texts.push_back("ninth text");
  contents.texts[2] = "replaced by the key text";
  contents.values16 = {1, 65535, 300};
  contents.key_text = "Key\x81\x5C text";
  GameBasicInfoRecord info;
  ASSERT_TRUE(info.LoadGameDatBytes(writers::BuildGameDat(contents)));
  EXPECT_TRUE(RecordedErrorBoxes().empty());
  ASSERT_EQ(info.settings.size(), 17u);
  for (size_t i = 0; i < 17; ++i) {
    EXPECT_EQ(info.settings[i], i == 3 ? 1 : contents.settings[i]) << i;
  }
  EXPECT_EQ(info.FrameRate(), 30);
  EXPECT_EQ(info.FrameStepSixtieths(), 2);
  ASSERT_EQ(info.texts.size(), 9u);
  for (size_t i = 0; i < 9; ++i) {
    if (i != 2) {
      EXPECT_EQ(info.texts[i], contents.texts[i]) << i;
    }
  }
  EXPECT_EQ(info.texts[kTextArchiveKey], contents.key_text);
  EXPECT_EQ(info.values16, contents.values16);
}

TEST_F(GameDatTest, ShortListsKeepTheirDefaults) {
  writers::GameDatContents contents = writers::DefaultGameDatContents();
  contents.settings = {16, 4, 4, 0, 20, 0, 1, 5, 1, 1};  // N = 10
  contents.texts = {"Title"};
  contents.key_text.clear();
  contents.values16.clear();
  GameBasicInfoRecord info;
  info.texts[5] = "kept";
  ASSERT_TRUE(info.LoadGameDatBytes(writers::BuildGameDat(contents)));
  ASSERT_EQ(info.settings.size(), 17u);
  EXPECT_EQ(info.settings[0], 16);
  EXPECT_EQ(info.settings[7], 5);
  EXPECT_EQ(info.settings[3], 1);
  EXPECT_EQ(info.settings[11], 6);  // bytes 10-16 keep their defaults
  EXPECT_EQ(info.settings[15], 4);
  EXPECT_EQ(info.texts.size(), 8u);
  EXPECT_EQ(info.texts[0], "Title");
  EXPECT_EQ(info.texts[5], "kept");
  EXPECT_EQ(info.texts[2], "");  // K = 0
}

TEST_F(GameDatTest, UnusableSettingsAreBroughtIntoRange) {
  writers::GameDatContents contents = writers::DefaultGameDatContents();
  contents.settings[0] = 0;   // tile size
  contents.settings[4] = 0;   // frame rate
  contents.settings[7] = 9;   // animation patterns
  GameBasicInfoRecord info;
  ASSERT_TRUE(info.LoadGameDatBytes(writers::BuildGameDat(contents)));
  EXPECT_EQ(info.settings[0], 32);
  EXPECT_EQ(info.settings[4], 60);
  EXPECT_EQ(info.settings[7], 3);
  contents.settings = {32, 8, 8, 1};  // N below 5: no frame rate at all
  GameBasicInfoRecord short_info;
  ASSERT_TRUE(short_info.LoadGameDatBytes(writers::BuildGameDat(contents)));
  EXPECT_EQ(short_info.FrameRate(), 60);
}

TEST_F(GameDatTest, WrongCheckByteShowsTheBoxAndGoesOn) {
  writers::GameDatContents contents = writers::DefaultGameDatContents();
  contents.check_byte = 0xC1;
  GameBasicInfoRecord info;
  ASSERT_TRUE(info.LoadGameDatBytes(writers::BuildGameDat(contents)));
  ASSERT_EQ(RecordedErrorBoxes().size(), 1u);
  EXPECT_EQ(RecordedErrorBoxes()[0].line1, kDamagedText);
  EXPECT_EQ(RecordedErrorBoxes()[0].line2, "");
  EXPECT_EQ(info.texts[0], "Demo");
}

TEST_F(GameDatTest, DamagedFilesAreRefusedAndLeaveTheRecord) {
  const writers::GameDatContents base = writers::DefaultGameDatContents();
  const std::vector<uint8_t> good = writers::BuildGameDat(base);
  std::vector<std::pair<std::string, std::vector<uint8_t>>> cases;
  for (size_t cut : {size_t{0}, size_t{9}, size_t{12}, size_t{40}, good.size() / 2, good.size() - 1}) {
    cases.emplace_back("cut to " + std::to_string(cut), std::vector<uint8_t>(good.begin(), good.begin() + cut));
  }
  auto damaged = [&](const char* what, auto change) {
    writers::GameDatContents contents = base;
    change(contents);
    cases.emplace_back(what, writers::BuildGameDat(contents));
  };
  damaged("check position past the end", [](auto& c) { c.check_position_override = 100000; });
  damaged("table P past the end", [](auto& c) { c.table_p_override = 0xFFFFFFF0u; });
  damaged("table Q overlapping the end", [&](auto& c) { c.table_q_override = static_cast<uint32_t>(good.size() - 3); });
  {
    // A huge setting count in an otherwise short file.
    DataWriter body;
    body.WriteU32(0xFFFFFFFFu).WriteU8(1).WriteU8(2);
    cases.emplace_back("setting count beyond the file",
                       writers::ScrambleFile(body.Bytes(), kGameDatHeader, {1, 2, 3}));
  }
  {
    // Key positions that point past the end.
    DataWriter body;
    body.WriteU32(0).WriteU32(0).WriteU32(10 + 4 * 7).WriteU32(1).WriteU32(0).WriteU32(10 + 4 * 7 + 1).WriteU32(10 + 4 * 7 + 3).WriteU8(0xC2);
    body.WriteU16(0xFFF0).WriteU16(0x0005);
    cases.emplace_back("key character past the end",
                       writers::ScrambleFile(body.Bytes(), kGameDatHeader, {1, 2, 3}));
  }
  for (auto& [what, bytes] : cases) {
    ClearRecordedErrorBoxes();
    GameBasicInfoRecord info;
    info.texts[0] = "before";
    EXPECT_FALSE(info.LoadGameDatBytes(bytes)) << what;
    ASSERT_EQ(RecordedErrorBoxes().size(), 1u) << what;
    EXPECT_EQ(RecordedErrorBoxes()[0].line1, kDamagedText) << what;
    EXPECT_EQ(info.texts[0], "before") << what;
    EXPECT_EQ(info.settings.size(), 17u) << what;
  }
}

}  // namespace
