// Cell access on the database model: numbers and texts, the kind checks,
// every out-of-range index with its report and neutral result, names with
// the naming settings, resizing and resetting rows.
#include <gtest/gtest.h>

#include "data_test_support.h"
#include "game/data/database.h"
#include "tools/writers/database_writer.h"

namespace {

class DataBaseTest : public DataLayerTest {
 protected:
  void SetUp() override {
    DataLayerTest::SetUp();
    DBReadErrorFlag = 0;
    SetErrorLocationProvider([] { return std::string("at line 7"); });
    db_ = writers::SampleDataBase(3, 4, 5);  // contents: number, text, number, text
    // Type 2 has no rows.
    db_.type_data[2].rows.clear();
  }
  void TearDown() override {
    SetErrorLocationProvider({});
    DataLayerTest::TearDown();
  }
  DataBase db_;
};

TEST_F(DataBaseTest, ReadDBIntCases) {
  const struct {
    int32_t t, d, c;
    int32_t value;
    bool reported;
    const char* line1;
    const char* line2;
  } cases[] = {
      {1, 3, 0, 1030, false, nullptr, nullptr},
      {1, 3, 2, 1032, false, nullptr, nullptr},
      {1, 3, 1, 0, false, nullptr, nullptr},    // a text content
      {1, -1, 0, -1, false, nullptr, nullptr},  // silent on a type with rows
      {1, 0, 4, -1, false, nullptr, nullptr},   // content beyond the type
      {1, 0, -1, -1, false, nullptr, nullptr},
      {3, 0, 0, 0, true, "エラー：存在しないタイプ番号 3 を読みに行っています", "at line 7"},
      {-1, 0, 0, 0, true, "エラー：存在しないタイプ番号 -1 を読みに行っています", "at line 7"},
      {1, 5, 2, 102, true, "エラー：タイプ 1 に存在しないデータ番号 5 を読みに行っています", ""},
      {2, 0, 0, 100, true, "エラー：タイプ 2 に存在しないデータ番号 0 を読みに行っています", ""},
      {2, -1, 2, 102, true, "エラー：タイプ 2 に存在しないデータ番号 -1 を読みに行っています", ""},
      {2, 0, 9, 0, true, "エラー：タイプ 2 に存在しないデータ番号 0 を読みに行っています", ""},
  };
  for (const auto& c : cases) {
    ClearRecordedErrorBoxes();
    DBReadErrorFlag = 0;
    EXPECT_EQ(db_.ReadDBInt(c.t, c.d, c.c), c.value) << c.t << "," << c.d << "," << c.c;
    EXPECT_EQ(DBReadErrorFlag, c.reported ? 1 : 0) << c.t << "," << c.d << "," << c.c;
    ASSERT_EQ(RecordedErrorBoxes().size(), c.reported ? 1u : 0u) << c.t << "," << c.d << "," << c.c;
    if (c.reported) {
      EXPECT_EQ(RecordedErrorBoxes()[0].line1, c.line1);
      EXPECT_EQ(RecordedErrorBoxes()[0].line2, c.line2);
      EXPECT_EQ(RecordedErrorBoxes()[0].line3, "");
    }
  }
}

TEST_F(DataBaseTest, ReadDBStringCases) {
  const struct {
    int32_t t, d, c;
    const char* value;
    bool reported;
    const char* line1;
    const char* line2;
    const char* line3;
  } cases[] = {
      {0, 4, 3, "T0R4C3", false, nullptr, nullptr, nullptr},
      {0, 4, 0, "<<ERROR>>", false, nullptr, nullptr, nullptr},  // a number content
      {0, -1, 1, "<<ERROR>>", false, nullptr, nullptr, nullptr},
      {0, 0, -1, "<<ERROR>>", false, nullptr, nullptr, nullptr},
      {5, 0, 1, "<<ERROR>>", true, "エラー：存在しないタイプ番号を読みに行っています", "", ""},
      {0, 5, 1, "<<ERROR>>", true, "エラー：存在しないデータ番号を読みに行っています", "at line 7", ""},
      {0, 1, 4, "<<ERROR>>", true, "エラー：存在しない内容番号を読みに行っています",
       "Type0 ﾃﾞｰﾀ番号1 内容4(Max4)", "at line 7"},
  };
  for (const auto& c : cases) {
    ClearRecordedErrorBoxes();
    DBReadErrorFlag = 0;
    std::string out = "untouched";
    EXPECT_EQ(db_.ReadDBString(c.t, c.d, c.c, &out), c.value) << c.t << "," << c.d << "," << c.c;
    EXPECT_EQ(out, c.reported || std::string(c.value) == "<<ERROR>>" ? "untouched" : c.value);
    EXPECT_EQ(DBReadErrorFlag, c.reported ? 1 : 0);
    ASSERT_EQ(RecordedErrorBoxes().size(), c.reported ? 1u : 0u) << c.t << "," << c.d << "," << c.c;
    if (c.reported) {
      EXPECT_EQ(RecordedErrorBoxes()[0].line1, c.line1);
      EXPECT_EQ(RecordedErrorBoxes()[0].line2, c.line2);
      EXPECT_EQ(RecordedErrorBoxes()[0].line3, c.line3);
    }
  }
}

TEST_F(DataBaseTest, WritesCheckKindAndRefuseMissingCells) {
  EXPECT_TRUE(db_.WriteDBInt(1, 2, 2, -77));
  EXPECT_EQ(db_.ReadDBInt(1, 2, 2), -77);
  EXPECT_TRUE(db_.WriteDBString(1, 2, 3, "new text"));
  EXPECT_EQ(db_.ReadDBString(1, 2, 3), "new text");
  EXPECT_FALSE(db_.WriteDBInt(1, 2, 1, 5));        // text content
  EXPECT_FALSE(db_.WriteDBString(1, 2, 0, "x"));   // number content
  EXPECT_EQ(db_.ReadDBString(1, 2, 1), "T1R2C1");
  for (auto [t, d, c] : {std::tuple{9, 0, 0}, {-1, 0, 0}, {1, 5, 0}, {1, -1, 0}, {1, 0, 4}, {1, 0, -1}, {2, 0, 0}}) {
    EXPECT_FALSE(db_.WriteDBInt(t, d, c, 1)) << t << "," << d << "," << c;
    EXPECT_FALSE(db_.WriteDBString(t, d, c + 1, "x")) << t << "," << d << "," << c;
  }
  // A descriptor naming a slot the rows do not have.
  db_.type_data[0].descriptors[0] = 1007;
  EXPECT_FALSE(db_.WriteDBInt(0, 0, 0, 1));
  EXPECT_EQ(db_.ReadDBInt(0, 0, 0), 0);
  EXPECT_TRUE(RecordedErrorBoxes().empty());
}

TEST_F(DataBaseTest, CountsAndKinds) {
  EXPECT_EQ(db_.GetDBTypeCount(), 3);
  EXPECT_EQ(db_.GetDBDataCount(1), 5);
  EXPECT_EQ(db_.GetDBDataCount(2), -1);
  EXPECT_EQ(db_.GetDBDataCount(3), -1);
  EXPECT_EQ(db_.GetDBDataCount(-1), -1);
  EXPECT_EQ(db_.GetDBContentCount(1), 4);
  EXPECT_EQ(db_.GetDBContentCount(7), 0);
  EXPECT_EQ(db_.GetDBContentKind(1, 0), 1);
  EXPECT_EQ(db_.GetDBContentKind(1, 3), 2);
  EXPECT_EQ(db_.GetDBContentKind(1, 4), -1);
  EXPECT_EQ(db_.GetDBContentKind(-1, 0), -1);
  EXPECT_EQ(db_.GetDBContentKind(3, 0), -1);
  EXPECT_EQ(db_.GetDBTypeName(2), "Type2");
  EXPECT_EQ(db_.GetDBTypeName(3), "×NoData");
  EXPECT_EQ(db_.GetDBContentName(1, 2), "Content2");
  EXPECT_EQ(db_.GetDBContentName(1, 4), "×NoData");
  EXPECT_EQ(db_.GetDBContentName(-1, 0), "×NoData");
}

TEST_F(DataBaseTest, DataNamesFollowTheNamingSetting) {
  DataBase db = writers::SampleDataBase(5, 2, 3);
  db.type_data[1].naming_setting = 0;
  db.type_data[2].naming_setting = 2;
  db.type_data[3].naming_setting = 2;
  db.types[1].data_names = {"one", "two", "three"};
  EXPECT_EQ(db.GetDBDataName(3, 1), "two");
  EXPECT_EQ(db.GetDBDataName(2, 2), "three");
  db.type_data[0].naming_setting = 2;
  EXPECT_EQ(db.GetDBDataName(0, 0), "×NoData");
  db.type_data[4].naming_setting = 1;
  EXPECT_EQ(db.GetDBDataName(4, 2), "T4R2C1");
  db.type_data[4].naming_setting = 77;
  EXPECT_EQ(db.GetDBDataName(4, 2), "");
  EXPECT_EQ(db.GetDBDataName(4, 3), "×NoData");
  EXPECT_EQ(db.GetDBDataName(-1, 0), "×NoData");
  // Name sources: none set gives "×NoData"; a source that names itself in a
  // loop ends without recursing forever.
  db.type_data[4].naming_setting = 10001;
  EXPECT_EQ(db.GetDBDataName(4, 0), "×NoData");
  DataBase other = writers::SampleDataBase(2, 2, 3);
  db.SetNameSource(0, &other);
  EXPECT_EQ(db.GetDBDataName(4, 2), "Data2");
  db.type_data[4].naming_setting = 20004;
  db.SetNameSource(1, &db);
  EXPECT_EQ(db.GetDBDataName(4, 0), "×NoData");
}

TEST_F(DataBaseTest, ResizeDownAndUpRestoresDefaults) {
  DataBase db = writers::SampleDataBase(2, 4, 5);
  db.ResizeDBType(1, 3);
  EXPECT_EQ(db.GetDBDataCount(1), 3);
  EXPECT_EQ(db.types[1].data_names.size(), 3u);
  db.ResizeDBType(1, 5);
  EXPECT_EQ(db.GetDBDataCount(1), 5);
  ASSERT_EQ(db.types[1].data_names.size(), 5u);
  EXPECT_EQ(db.types[1].data_names[4], "");
  EXPECT_EQ(db.types[1].data_names[2], "Data2");
  for (int r = 3; r < 5; ++r) {
    EXPECT_EQ(db.ReadDBInt(1, r, 0), 100);
    EXPECT_EQ(db.ReadDBInt(1, r, 2), 102);
    EXPECT_EQ(db.ReadDBString(1, r, 1), "");
    EXPECT_EQ(db.type_data[1].rows[r].numbers.size(), 2u);
    EXPECT_EQ(db.type_data[1].rows[r].texts.size(), 2u);
  }
  EXPECT_EQ(db.ReadDBInt(1, 2, 0), 1020);
  db.ResizeDBType(1, -4);
  EXPECT_EQ(db.GetDBDataCount(1), -1);
  db.ResizeDBType(1, 2000000000);
  EXPECT_EQ(db.GetDBDataCount(1), kMaxDataBaseRows);
  EXPECT_TRUE(RecordedErrorBoxes().empty());

  db.ResizeDBType(4, 1);
  ASSERT_EQ(RecordedErrorBoxes().size(), 1u);
  EXPECT_EQ(RecordedErrorBoxes()[0].line1, "このDBにタイプ4は存在しません、対象DBを間違えていないかご確認下さい");
  EXPECT_EQ(RecordedErrorBoxes()[0].line2, "at line 7");
}

TEST_F(DataBaseTest, ResizeSetsTheDataNameListToTheRowCount) {
  // Growing appends one empty name per new row; any other resize leaves
  // exactly count names, even when the list was shorter than that.
  const struct {
    int32_t rows, names, count;
    size_t expected_names;
  } cases[] = {
      {5, 5, 3, 3},
      {5, 2, 3, 3},  // a short list grows to the count
      {5, 2, 0, 0},
      {5, 8, 5, 5},  // same row count: the list is still set to it
      {3, 1, 5, 3},  // growing by two from one name
  };
  for (const auto& c : cases) {
    DataBase db = writers::SampleDataBase(1, 2, c.rows);
    db.types[0].data_names.resize(static_cast<size_t>(c.names), "kept");
    db.ResizeDBType(0, c.count);
    const std::vector<std::string>& names = db.types[0].data_names;
    ASSERT_EQ(names.size(), c.expected_names) << c.rows << " " << c.names << " -> " << c.count;
    for (size_t i = 0; i < names.size(); ++i) {
      const bool had_name = i < static_cast<size_t>(c.names);
      EXPECT_EQ(names[i].empty(), !had_name) << i;
    }
  }
  // Without the keep-names flag the list is left alone.
  DataBase db = writers::SampleDataBase(1, 2, 5);
  db.keep_names = 0;
  db.types[0].data_names.resize(2);
  db.ResizeDBType(0, 3);
  EXPECT_EQ(db.types[0].data_names.size(), 2u);
}

TEST_F(DataBaseTest, ResetRow) {
  db_.ResetDBData(1, 2);
  EXPECT_EQ(db_.ReadDBInt(1, 2, 0), 100);
  EXPECT_EQ(db_.ReadDBInt(1, 2, 2), 102);
  EXPECT_EQ(db_.ReadDBString(1, 2, 1), "");
  EXPECT_EQ(db_.ReadDBInt(1, 1, 0), 1010);
  db_.types[1].default_values.resize(1);  // content 2 without a default
  db_.ResetDBData(1, 3);
  EXPECT_EQ(db_.ReadDBInt(1, 3, 0), 100);
  EXPECT_EQ(db_.ReadDBInt(1, 3, 2), 0);
  db_.ResetDBData(1, 5);  // beyond the rows: nothing, no report
  db_.ResetDBData(1, -1);
  EXPECT_TRUE(RecordedErrorBoxes().empty());
  db_.ResetDBData(8, 0);
  ASSERT_EQ(RecordedErrorBoxes().size(), 1u);
  EXPECT_EQ(RecordedErrorBoxes()[0].line1, "DB初期化:初期化しようとしたタイプ番号8がありません");
}

TEST_F(DataBaseTest, CopiesAreIndependentValues) {
  DataBase copy = db_;
  copy.WriteDBInt(0, 0, 0, 555);
  EXPECT_EQ(db_.ReadDBInt(0, 0, 0), 0);
  EXPECT_EQ(copy.ReadDBInt(0, 0, 0), 555);
}

}  // namespace
