// Database files: round trips of writer-built ".dat"/".project" pairs cell
// for cell, every type header form, both versions, the version failures,
// damaged and cut files refused without a crash, and the save-block reader.
#include <gtest/gtest.h>

#include "data_test_support.h"
#include "game/data/data_writer.h"
#include "game/data/database_file.h"
#include "tools/writers/data_file_writer.h"
#include "tools/writers/database_writer.h"

namespace {

class DataBaseFileTest : public DataLayerTest {
 protected:
  static void ExpectSameCells(const DataBase& read, const DataBase& written) {
    ASSERT_EQ(read.type_data.size(), written.type_data.size());
    for (size_t t = 0; t < written.type_data.size(); ++t) {
      const DataBaseTypeData& a = read.type_data[t];
      const DataBaseTypeData& b = written.type_data[t];
      EXPECT_EQ(a.descriptors, b.descriptors) << t;
      ASSERT_EQ(a.rows.size(), b.rows.size()) << t;
      for (size_t r = 0; r < b.rows.size(); ++r) {
        EXPECT_EQ(a.rows[r].numbers, b.rows[r].numbers) << t << "/" << r;
        EXPECT_EQ(a.rows[r].texts, b.rows[r].texts) << t << "/" << r;
      }
    }
  }
  static void ExpectSameDefinitions(const DataBase& read, const DataBase& written, bool short_form) {
    ASSERT_EQ(read.types.size(), written.types.size());
    for (size_t t = 0; t < written.types.size(); ++t) {
      const DataBaseType& a = read.types[t];
      const DataBaseType& b = written.types[t];
      EXPECT_EQ(a.type_name, b.type_name);
      EXPECT_EQ(a.memo, b.memo);
      EXPECT_EQ(a.content_names, b.content_names);
      EXPECT_EQ(a.data_names, b.data_names);
      const size_t contents = b.content_names.size();
      if (short_form) {
        EXPECT_EQ(a.default_values, std::vector<int32_t>(contents, 0));
        EXPECT_EQ(a.content_texts, std::vector<std::string>(contents));
        EXPECT_EQ(a.content_text_lists.size(), contents);
        EXPECT_EQ(a.content_number_lists.size(), contents);
      } else {
        EXPECT_EQ(a.default_values, b.default_values);
        EXPECT_EQ(a.content_texts, b.content_texts);
        EXPECT_EQ(a.content_text_lists, b.content_text_lists);
        EXPECT_EQ(a.content_number_lists, b.content_number_lists);
        EXPECT_TRUE(std::equal(a.content_settings.begin(), a.content_settings.begin() + contents,
                               b.content_settings.begin()));
      }
    }
  }
};

TEST_F(DataBaseFileTest, RoundTripsCellForCellInBothVersions) {
  DataBase written = writers::SampleDataBase(4, 5, 6);
  written.types[2].content_text_lists[1] = {"a", "b"};
  written.types[2].content_number_lists[3] = {-1, 2, 3};
  written.types[3].content_texts[0] = "hint";
  written.type_data[1].rows[2].texts[0] = "\x82\xA0 Shift-JIS \x81\x5C";
  for (uint8_t version : {uint8_t{0xC1}, uint8_t{0xC0}}) {
    writers::DataBaseDatOptions options;
    options.version = version;
    options.closing_version = version;
    DataBase read;
    ASSERT_TRUE(LoadDataBaseFromBytes(read, "BasicData\\DataBase", writers::BuildDataBaseDat(written, options),
                                      writers::BuildDataBaseProject(written, version == 0xC0)));
    EXPECT_EQ(DataBaseVersion, version);
    ExpectSameCells(read, written);
    ExpectSameDefinitions(read, written, version == 0xC0);
    EXPECT_EQ(read.ReadDBString(1, 2, 1), "\x82\xA0 Shift-JIS \x81\x5C");
  }
  EXPECT_TRUE(message_boxes_.empty());
  EXPECT_TRUE(RecordedErrorBoxes().empty());
}

TEST_F(DataBaseFileTest, TypeHeaderForms) {
  // Each type block built by hand: {h...} then descriptors and no rows.
  const struct {
    std::vector<int32_t> header;
    int32_t header_value, naming;
    size_t contents;
  } cases[] = {
      {{3}, -2, 0, 3},
      {{-1, 3}, -1, 0, 3},
      {{-5, 2, 3}, -5, 2, 3},
      {{0}, -2, 0, 0},
  };
  for (const auto& c : cases) {
    DataWriter body;
    body.WriteU8(0xC1).WriteU32(1);
    for (int32_t value : c.header) body.WriteI32(value);
    for (size_t i = 0; i < c.contents; ++i) body.WriteI32(static_cast<int32_t>(i == 1 ? 2000 : 1000 + i / 2));
    body.WriteU32(1);
    for (size_t i = 0; i < c.contents; ++i) {
      if (i != 1) body.WriteI32(static_cast<int32_t>(40 + i));
    }
    if (c.contents > 1) body.WriteString("cell");
    body.WriteU8(0xC1);
    DataWriter project;
    project.WriteU32(1).WriteString("T").WriteU32(0).WriteU32(0).WriteString("").WriteU32(0).WriteU32(0).WriteU32(0).WriteU32(0).WriteU32(0);
    DataBase read;
    ASSERT_TRUE(LoadDataBaseFromBytes(read, "x",
                                      writers::ScrambleFile(body.Bytes(), kDatabaseDatHeader, {1, 2, 3}),
                                      project.Bytes()))
        << c.header[0];
    ASSERT_EQ(read.type_data.size(), 1u);
    EXPECT_EQ(read.type_data[0].header_value, c.header_value) << c.header[0];
    EXPECT_EQ(read.type_data[0].naming_setting, c.naming) << c.header[0];
    EXPECT_EQ(read.type_data[0].descriptors.size(), c.contents) << c.header[0];
    if (c.contents == 3) {
      EXPECT_EQ(read.type_data[0].rows[0].numbers, (std::vector<int32_t>{40, 42}));
      EXPECT_EQ(read.type_data[0].rows[0].texts, std::vector<std::string>{"cell"});
    }
  }
}

TEST_F(DataBaseFileTest, TypeBlocksWrittenOutByHand) {
  // One number content and one text content, one row; the header form
  // follows the header value. A row missing its text is written with an
  // empty one, so every block reads back with the same reader.
  DataBaseTypeData type;
  type.descriptors = {1000, 2000};
  type.naming_setting = 3;
  type.rows.assign(2, DataBaseEntry());
  type.rows[0].numbers = {-2};
  type.rows[0].texts = {"ab"};
  type.rows[1].numbers = {7};
  type.rows[1].texts.clear();
  const std::vector<uint8_t> rest = {
      0xE8, 0x03, 0, 0, 0xD0, 0x07, 0, 0,  // descriptors 1000, 2000
      2, 0, 0, 0,                          // two rows
      0xFE, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 'a', 'b', 0,
      7, 0, 0, 0, 1, 0, 0, 0, 0,
  };
  const struct {
    int32_t header_value;
    std::vector<uint8_t> header;
  } forms[] = {
      {0, {2, 0, 0, 0}},
      {-1, {0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0}},
      {-6, {0xFA, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 2, 0, 0, 0}},
  };
  for (const auto& form : forms) {
    type.header_value = form.header_value;
    std::vector<uint8_t> expected = form.header;
    expected.insert(expected.end(), rest.begin(), rest.end());
    DataWriter out;
    WriteTypeData(out, type);
    EXPECT_EQ(out.Bytes(), expected) << form.header_value;

    DataReader in(expected.data(), expected.size());
    DataBaseTypeData read;
    DataBaseRowBudget budget(expected.size());
    ASSERT_TRUE(ReadTypeData(in, read, budget)) << form.header_value;
    EXPECT_EQ(read.descriptors, type.descriptors);
    ASSERT_EQ(read.rows.size(), 2u);
    EXPECT_EQ(read.rows[1].texts, std::vector<std::string>{""});
    EXPECT_EQ(in.Remaining(), 0u);
  }

  // The save block: tag 111, the type count, every type in the -2 form.
  DataBase database;
  database.type_data = {type};
  DataWriter save;
  WriteDataBaseToSave(database, save);
  std::vector<uint8_t> expected = {111, 1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 2, 0, 0, 0};
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(save.Bytes(), expected);
  EXPECT_EQ(database.type_data[0].header_value, -2);
}

TEST_F(DataBaseFileTest, RowTextOfOnlyTheZeroByteIsEmpty) {
  DataWriter body;
  body.WriteU8(0xC1).WriteU32(1).WriteI32(1).WriteI32(2000).WriteU32(2).WriteU32(1).WriteU8(0).WriteU32(6).WriteBytes("ab\0cd\0", 6);
  body.WriteU8(0xC1);
  DataWriter project;
  project.WriteU32(0);
  DataBase read;
  ASSERT_TRUE(LoadDataBaseFromBytes(read, "x", writers::ScrambleFile(body.Bytes(), kDatabaseDatHeader, {0, 0, 0}),
                                    project.Bytes()));
  EXPECT_EQ(read.type_data[0].rows[0].texts[0], "");
  EXPECT_EQ(read.type_data[0].rows[1].texts[0], "ab");
}

TEST_F(DataBaseFileTest, VersionFailures) {
  const DataBase written = writers::SampleDataBase(2, 2, 2);
  const std::vector<uint8_t> project = writers::BuildDataBaseProject(written);
  {
    writers::DataBaseDatOptions options;
    options.version = 0xC2;
    DataBase read;
    EXPECT_FALSE(LoadDataBaseFromBytes(read, "BasicData\\SysDataBase", writers::BuildDataBaseDat(written, options),
                                       project));
    EXPECT_TRUE(message_boxes_.empty());  // silently
    EXPECT_TRUE(read.type_data.empty());
  }
  {
    writers::DataBaseDatOptions options;
    options.closing_version = 0xC2;
    DataBase read;
    EXPECT_FALSE(LoadDataBaseFromBytes(read, "BasicData\\SysDataBase", writers::BuildDataBaseDat(written, options),
                                       project));
    ASSERT_EQ(message_boxes_.size(), 1u);
    EXPECT_EQ(message_boxes_[0].title, "MsgBox");
    EXPECT_EQ(message_boxes_[0].text,
              "データベースファイル\nBasicData\\SysDataBaseが\n破損しているか、バージョンが古い可能性があります。");
    ExpectSameCells(read, written);  // the cells stay, the definitions were not read
    EXPECT_TRUE(read.types.empty());
  }
}

TEST_F(DataBaseFileTest, BytesAfterTheClosingVersionAreNotChecked) {
  const DataBase written = writers::SampleDataBase(1, 2, 2);
  writers::DataBaseDatOptions options;
  options.trailing = {1, 2, 3, 4, 5};
  std::vector<uint8_t> dat = writers::BuildDataBaseDat(written, options);
  dat[dat.size() - 2] ^= 0x07;
  DataBase read;
  EXPECT_TRUE(LoadDataBaseFromBytes(read, "x", dat, writers::BuildDataBaseProject(written)));
  EXPECT_TRUE(RecordedErrorBoxes().empty());
}

TEST_F(DataBaseFileTest, CutAndDamagedFilesAreRefused) {
  const DataBase written = writers::SampleDataBase(3, 3, 4);
  const std::vector<uint8_t> body = writers::BuildDataBaseDatBody(written, {});
  const std::vector<uint8_t> project = writers::BuildDataBaseProject(written);
  // Every cut of the ".dat" body past the version byte, as a plain (zero
  // key) file so the checksum does not end the test.
  for (size_t cut = 1; cut < body.size(); ++cut) {
    message_boxes_.clear();
    const std::vector<uint8_t> part(body.begin(), body.begin() + cut);
    DataBase read;
    EXPECT_FALSE(
        LoadDataBaseFromBytes(read, "x", writers::ScrambleFile(part, kDatabaseDatHeader, {0, 0, 0}), project))
        << cut;
    EXPECT_EQ(message_boxes_.size(), 1u) << cut;
  }
  for (size_t cut = 0; cut < project.size(); ++cut) {
    message_boxes_.clear();
    DataBase read;
    EXPECT_FALSE(LoadDataBaseFromBytes(read, "x", writers::BuildDataBaseDat(written),
                                       std::vector<uint8_t>(project.begin(), project.begin() + cut)))
        << cut;
    EXPECT_EQ(message_boxes_.size(), 1u) << cut;
  }
  // Counts that cannot fit in what is left.
  const std::vector<std::vector<uint8_t>> bodies = {
      DataWriter().WriteU8(0xC1).WriteU32(0x7FFFFFFF).WriteU8(0xC1).Bytes(),
      DataWriter().WriteU8(0xC1).WriteU32(1).WriteI32(0x40000000).WriteU32(0).WriteU8(0xC1).Bytes(),
      DataWriter().WriteU8(0xC1).WriteU32(1).WriteI32(-1).WriteI32(-3).WriteU32(0).WriteU8(0xC1).Bytes(),
      DataWriter().WriteU8(0xC1).WriteU32(1).WriteI32(1).WriteI32(1000).WriteU32(0xFFFFFFFF).WriteU8(0xC1).Bytes(),
      DataWriter().WriteU8(0xC1).WriteU32(1).WriteI32(0).WriteU32(0xFFFFFFFF).WriteU8(0xC1).Bytes(),
      DataWriter().WriteU8(0xC1).WriteU32(1).WriteI32(1).WriteI32(2000).WriteU32(1).WriteU32(0xFFFFFFF0).WriteU8(0xC1).Bytes(),
  };
  for (size_t i = 0; i < bodies.size(); ++i) {
    DataBase read;
    EXPECT_FALSE(LoadDataBaseFromBytes(read, "x", writers::ScrambleFile(bodies[i], kDatabaseDatHeader, {0, 0, 0}),
                                       project))
        << i;
  }
  const std::vector<std::vector<uint8_t>> projects = {
      DataWriter().WriteU32(0xFFFFFFFF).Bytes(),
      DataWriter().WriteU32(1).WriteString("T").WriteU32(0x3FFFFFFF).Bytes(),
      DataWriter().WriteU32(1).WriteString("T").WriteU32(0).WriteU32(0).WriteString("").WriteU32(500).Bytes(),
      DataWriter().WriteU32(1).WriteString("T").WriteU32(0).WriteU32(0).WriteString("").WriteU32(0).WriteU32(0).WriteU32(1).WriteU32(0xFFFFFFFF).Bytes(),
  };
  const DataBase empty_written;
  for (size_t i = 0; i < projects.size(); ++i) {
    DataBase read;
    EXPECT_FALSE(LoadDataBaseFromBytes(read, "x", writers::BuildDataBaseDat(empty_written), projects[i])) << i;
  }
}

TEST_F(DataBaseFileTest, SettingCountsAbove100AreSkipped) {
  DataWriter project;
  project.WriteU32(1).WriteString("T").WriteU32(1).WriteString("C").WriteU32(0).WriteString("memo").WriteU32(120);
  for (int i = 0; i < 120; ++i) project.WriteU8(static_cast<uint8_t>(i));
  project.WriteU32(1).WriteString("hint").WriteU32(0).WriteU32(0).WriteU32(1).WriteI32(9);
  DataBase database;
  DataReader reader(project.Bytes().data(), project.Position());
  ASSERT_EQ(ParseDataBaseProject(reader, database, false), DataBaseFileResult::kLoaded);
  EXPECT_EQ(reader.Remaining(), 0u);
  EXPECT_EQ(database.types[0].content_settings[99], 99);
  EXPECT_EQ(database.types[0].content_texts, std::vector<std::string>{"hint"});
  EXPECT_EQ(database.types[0].default_values, std::vector<int32_t>{9});
}

using DataBaseFileDeathTest = DataBaseFileTest;

TEST_F(DataBaseFileDeathTest, ChecksumMismatchEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const DataBase written = writers::SampleDataBase(2, 2, 2);
  std::vector<uint8_t> dat = writers::BuildDataBaseDat(written);
  dat[2] ^= 0x01;  // the checksum byte
  EXPECT_EXIT(
      {
        DataBase read;
        LoadDataBaseFromBytes(read, "BasicData\\CDataBase", dat, writers::BuildDataBaseProject(written));
      },
      ::testing::ExitedWithCode(1), "CDataBase\\.dat");
}

}  // namespace
