// The record encoders of the data layer (common events, tile sets, database
// type definitions), which the file builders in tools/ use too: each checked
// once against bytes written out by hand from the stored form, then read
// back by the runtime's own reader.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "data_test_support.h"
#include "game/data/common_event.h"
#include "game/data/data_reader.h"
#include "game/data/data_writer.h"
#include "game/data/database_file.h"
#include "game/data/tile_set.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Little-endian u32 and length-prefixed texts, spelled out for the
// hand-written vectors.
void Append(Bytes& out, std::initializer_list<uint8_t> bytes) { out.insert(out.end(), bytes); }
void AppendU32(Bytes& out, uint32_t value) {
  Append(out, {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)});
}
void AppendText(Bytes& out, const std::string& text) {
  AppendU32(out, static_cast<uint32_t>(text.size() + 1));
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

class RecordEncodersTest : public DataLayerTest {};

TEST_F(RecordEncodersTest, CommonEventInBothEndings) {
  CommonEvent plain;
  plain.number = 3;
  plain.compare_value = 5;
  plain.option_bytes = {1, 2};
  plain.name = "ab";
  plain.commands.clear();
  plain.extra_bytes.clear();
  DataWriter short_out;
  ASSERT_TRUE(WriteCommonEvent(short_out, plain, CommonEventTags{0x8F, kCommonEventShortEnd, 0x8F}));
  Bytes expected = {0x8F, 3, 0, 0, 0, 32, 0x80, 0x84, 0x1E, 0x00, 5, 0, 0, 0, 1, 2};
  AppendText(expected, "ab");
  AppendU32(expected, 0);  // commands
  AppendU32(expected, 0);  // extra bytes, so no note
  Append(expected, {0x8E});
  EXPECT_EQ(short_out.Bytes(), expected);

  CommonEvent full;
  full.number = 1;
  full.commands.clear();
  full.extra_bytes = {7};
  full.note = "n";
  full.argument_names = {"x"};
  full.argument_settings = {4};
  full.argument_text_lists = {{"t"}};
  full.argument_number_lists = {{-1}};
  full.default_values = {9};
  DataWriter full_out;
  ASSERT_TRUE(WriteCommonEvent(full_out, full));
  expected = {0x8F, 1, 0, 0, 0, 32, 0x80, 0x84, 0x1E, 0x00, 0, 0, 0, 0, 0, 0};
  AppendText(expected, "");
  AppendU32(expected, 0);
  AppendU32(expected, 1);
  Append(expected, {7});
  AppendText(expected, "n");
  Append(expected, {0x8F});
  AppendU32(expected, 1);
  AppendText(expected, "x");
  AppendU32(expected, 1);
  Append(expected, {4});
  AppendU32(expected, 1);
  AppendU32(expected, 1);
  AppendText(expected, "t");
  AppendU32(expected, 1);
  AppendU32(expected, 1);
  AppendU32(expected, 0xFFFFFFFFu);
  AppendU32(expected, 1);
  AppendU32(expected, 9);
  Append(expected, {0x8F});
  EXPECT_EQ(full_out.Bytes(), expected);

  // Read back: with the argument lists at their fresh sizes (reading only
  // grows them) the event comes back whole.
  CommonEvent written;
  written.number = 4;
  written.name = "イベント";
  written.note = "memo";
  written.argument_names[9] = "last";
  written.argument_settings[2] = 3;
  written.argument_text_lists[1] = {"a", "b"};
  written.argument_number_lists[0] = {1, 2, 3};
  written.default_values[4] = -8;
  DataWriter out;
  ASSERT_TRUE(WriteCommonEvent(out, written));
  DataReader in(out.Bytes().data(), out.Bytes().size());
  CommonEvent read;
  EXPECT_EQ(ReadCommonEvent(in, read), CommonEventReadResult::kOk);
  EXPECT_EQ(read, written);
  EXPECT_EQ(in.Position(), out.Bytes().size());
}

TEST_F(RecordEncodersTest, TileSetRecordInBothAttributeWidths) {
  TileSetData tile_set;
  tile_set.name = "T";
  tile_set.image_names[0] = "M";
  tile_set.tags = {1, 2};
  tile_set.attributes = {0x1FF, 3};
  Bytes head;
  AppendText(head, "T");
  AppendText(head, "M");
  for (int i = 1; i < 8; ++i) AppendText(head, "");
  Append(head, {0xFF});
  AppendU32(head, 2);
  Append(head, {1, 2, 0});
  AppendU32(head, 2);

  struct Case {
    uint8_t version_byte;
    int32_t reader_version;
    Bytes attributes;
    std::vector<int32_t> read_back;
  };
  const Case cases[] = {
      {kTileSetVersionByteAttributes, 1, {0xFF, 0x03}, {0xFF, 3}},
      {kTileSetVersionWordAttributes, 2, {0xFF, 0x01, 0, 0, 3, 0, 0, 0}, {0x1FF, 3}},
  };
  for (const Case& c : cases) {
    DataWriter out;
    WriteTileSetRecord(out, tile_set, c.version_byte);
    Bytes expected = head;
    expected.insert(expected.end(), c.attributes.begin(), c.attributes.end());
    EXPECT_EQ(out.Bytes(), expected) << int(c.version_byte);

    DataReader in(out.Bytes().data(), out.Bytes().size());
    TileSetData read;
    ASSERT_TRUE(ReadTileSetRecord(in, read, c.reader_version));
    TileSetData expected_read = tile_set;
    expected_read.attributes = c.read_back;
    EXPECT_EQ(read, expected_read) << int(c.version_byte);
  }
}

TEST_F(RecordEncodersTest, TypeDefinitionsInBothForms) {
  DataBase database;
  database.types.resize(1);
  DataBaseType& type = database.types[0];
  type.type_name = "Ty";
  type.content_names = {"c"};
  type.data_names = {"d", "e"};
  type.memo = "";
  DataWriter short_out;
  WriteDataBaseProject(short_out, database, true);
  Bytes expected;
  AppendU32(expected, 1);
  AppendText(expected, "Ty");
  AppendU32(expected, 1);
  AppendText(expected, "c");
  AppendU32(expected, 2);
  AppendText(expected, "d");
  AppendText(expected, "e");
  AppendText(expected, "");
  EXPECT_EQ(short_out.Bytes(), expected);

  // The full form read back by the loader's parser.
  type.content_names = {"c0", "c1"};
  type.content_settings[0] = 5;
  type.content_settings[1] = 6;
  type.content_texts = {"t0", "t1"};
  type.content_text_lists = {{"x", "y"}, {}};
  type.content_number_lists = {{}, {7, -7}};
  type.default_values = {10, 20};
  DataWriter full_out;
  WriteDataBaseProject(full_out, database, false);
  DataReader in(full_out.Bytes().data(), full_out.Bytes().size());
  DataBase read;
  ASSERT_EQ(ParseDataBaseProject(in, read, false), DataBaseFileResult::kLoaded);
  ASSERT_EQ(read.types.size(), 1u);
  const DataBaseType& back = read.types[0];
  EXPECT_EQ(back.type_name, type.type_name);
  EXPECT_EQ(back.content_names, type.content_names);
  EXPECT_EQ(back.data_names, type.data_names);
  EXPECT_EQ(back.content_settings, type.content_settings);
  EXPECT_EQ(back.content_texts, type.content_texts);
  EXPECT_EQ(back.content_text_lists, type.content_text_lists);
  EXPECT_EQ(back.content_number_lists, type.content_number_lists);
  EXPECT_EQ(back.default_values, type.default_values);
  EXPECT_EQ(in.Position(), full_out.Bytes().size());
}

}  // namespace
