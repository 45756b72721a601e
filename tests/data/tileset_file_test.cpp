// TileSetData.dat: files from the writer read back field by field in both
// attribute widths, and every refusal with its message (or silence).
#include <gtest/gtest.h>

#include <vector>

#include "data_test_support.h"
#include "game/data/data_reader.h"
#include "game/data/data_scrambler.h"
#include "game/data/data_writer.h"
#include "game/data/map_file.h"
#include "game/data/tile_set.h"
#include "tools/writers/data_file_writer.h"
#include "tools/writers/tileset_writer.h"

namespace {

writers::TileSetFileContents TwoTileSets(uint8_t version) {
  writers::TileSetFileContents contents;
  contents.version = version;
  contents.tile_sets = {writers::SampleTileSet("Field", 16), writers::SampleTileSet("町", 3)};
  contents.tile_sets[1].attributes = {0xFF, 0x10, 0x80};
  contents.tile_sets[1].image_names[7] = "";
  return contents;
}

TileSetParseResult ParseBody(const std::vector<uint8_t>& body, TileSetList& list) {
  DataReader reader(body.data(), body.size());
  return ParseTileSetBody(reader, list);
}

void ExpectSameTileSet(const TileSetData& read, const writers::TileSetEntry& written) {
  EXPECT_EQ(read.name, written.name);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(read.image_names[i], written.image_names[i]) << i;
  EXPECT_EQ(read.tags, written.tags);
  EXPECT_EQ(read.attributes, written.attributes);
}

class TileSetFileTest : public DataLayerTest {};

TEST_F(TileSetFileTest, BothVersionsReadBackFieldByField) {
  for (uint8_t version : {uint8_t{0xCF}, uint8_t{0xD0}}) {
    const writers::TileSetFileContents contents = TwoTileSets(version);
    TileSetList list;
    ASSERT_EQ(ParseBody(writers::BuildTileSetBody(contents), list), TileSetParseResult::kOk) << int(version);
    EXPECT_EQ(TileSetVersion, version == 0xCF ? 1 : 2);
    ASSERT_EQ(list.tile_sets.size(), 2u);
    ExpectSameTileSet(list.tile_sets[0], contents.tile_sets[0]);
    ExpectSameTileSet(list.tile_sets[1], contents.tile_sets[1]);
  }
  // A 0xCF attribute byte of 0xFF is 255, never -1; a 0xD0 file carries
  // whole numbers, negative ones included.
  writers::TileSetFileContents wide = TwoTileSets(0xD0);
  wide.tile_sets[1].attributes = {-1, 0x12345678, 0};
  TileSetList list;
  ASSERT_EQ(ParseBody(writers::BuildTileSetBody(wide), list), TileSetParseResult::kOk);
  EXPECT_EQ(list.tile_sets[1].attributes, (std::vector<int32_t>{-1, 0x12345678, 0}));
  writers::TileSetFileContents narrow = TwoTileSets(0xCF);
  narrow.tile_sets[1].attributes = {-1};
  ASSERT_EQ(ParseBody(writers::BuildTileSetBody(narrow), list), TileSetParseResult::kOk);
  EXPECT_EQ(list.tile_sets[1].attributes, std::vector<int32_t>{255});
}

TEST_F(TileSetFileTest, ListTakesTheStoredCount) {
  TileSetList fresh;
  ASSERT_EQ(fresh.tile_sets.size(), 1u);
  EXPECT_EQ(fresh.tile_sets[0].tags, (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(fresh.tile_sets[0].attributes, std::vector<int32_t>(8, 0));

  writers::TileSetFileContents none;
  TileSetList list;
  ASSERT_EQ(ParseBody(writers::BuildTileSetBody(none), list), TileSetParseResult::kOk);
  EXPECT_TRUE(list.tile_sets.empty());
}

TEST_F(TileSetFileTest, RefusedBodies) {
  struct Case {
    const char* what;
    void (*damage)(writers::TileSetFileContents&);
    TileSetParseResult expected;
    size_t kept;  // tile sets held afterwards
  };
  const Case cases[] = {
      {"version byte 0xD1", [](writers::TileSetFileContents& c) { c.version = 0xD1; }, TileSetParseResult::kBadVersion, 1},
      {"0xD0 file ending with 0xD0", [](writers::TileSetFileContents& c) { c.end_byte = 0xD0; },
       TileSetParseResult::kBadEndByte, 2},
      {"second record without its marker", [](writers::TileSetFileContents& c) { c.tile_sets[1].marker = 0xFE; },
       TileSetParseResult::kBadRecord, 2},
      {"count beyond the file", [](writers::TileSetFileContents& c) { c.count_override = 0x7FFFFFFF; },
       TileSetParseResult::kDamaged, 1},
      {"count one too many", [](writers::TileSetFileContents& c) { c.count_override = 3; },
       TileSetParseResult::kDamaged, 3},
  };
  for (const Case& c : cases) {
    writers::TileSetFileContents contents = TwoTileSets(0xD0);
    c.damage(contents);
    TileSetList list;
    EXPECT_EQ(ParseBody(writers::BuildTileSetBody(contents), list), c.expected) << c.what;
    EXPECT_EQ(list.tile_sets.size(), c.kept) << c.what;
    if (c.expected == TileSetParseResult::kBadRecord) {
      ExpectSameTileSet(list.tile_sets[0], contents.tile_sets[0]);
    }
  }
}

TEST_F(TileSetFileTest, TruncatedBodiesAreDamagedAtEveryLength) {
  const std::vector<uint8_t> body = writers::BuildTileSetBody(TwoTileSets(0xCF));
  for (size_t length = 0; length < body.size(); ++length) {
    TileSetList list;
    const std::vector<uint8_t> cut(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_EQ(ParseBody(cut, list), TileSetParseResult::kDamaged) << length;
  }
  // Huge tag and attribute counts are found before anything is allocated.
  DataWriter huge;
  huge.WriteU8(0xD0).WriteU32(1);
  for (int i = 0; i < 9; ++i) huge.WriteString("");
  huge.WriteU8(0xFF).WriteU32(0xFFFFFFF0u);
  TileSetList list;
  EXPECT_EQ(ParseBody(huge.Bytes(), list), TileSetParseResult::kDamaged);
  DataWriter huge_attributes;
  huge_attributes.WriteU8(0xD0).WriteU32(1);
  for (int i = 0; i < 9; ++i) huge_attributes.WriteString("");
  huge_attributes.WriteU8(0xFF).WriteU32(0).WriteU8(0).WriteU32(0x40000000u);
  EXPECT_EQ(ParseBody(huge_attributes.Bytes(), list), TileSetParseResult::kDamaged);
}

TEST_F(TileSetFileTest, LoadingThroughTheDataFolder) {
  ScratchGameFolder folder("tileset_load");
  const writers::TileSetFileContents contents = TwoTileSets(0xD0);
  ASSERT_TRUE(writers::WriteFileBytes(folder.Native("Data/BasicData/TileSetData.dat"),
                                      writers::BuildTileSetFile(contents)));
  TileSetList list;
  ASSERT_TRUE(list.LoadTileSetData("BasicData\\TileSetData.dat"));
  ASSERT_EQ(list.tile_sets.size(), 2u);
  ExpectSameTileSet(list.tile_sets[1], contents.tile_sets[1]);
  EXPECT_TRUE(message_boxes_.empty());

  struct Case {
    const char* what;
    void (*damage)(writers::TileSetFileContents&);
    const char* title;  // nullptr: no message
    const char* text;
  };
  const Case cases[] = {
      {"wrong version", [](writers::TileSetFileContents& c) { c.version = 0x10; }, nullptr, nullptr},
      {"wrong end byte", [](writers::TileSetFileContents& c) { c.end_byte = 0xD0; }, "ファイル読み込みエラー",
       "タイルセットデータの読み込みに失敗しました"},
      {"record without marker", [](writers::TileSetFileContents& c) { c.tile_sets[0].marker = 0; }, "",
       "タイルセットのロードに失敗しました、ファイル破損の可能性があります"},
      {"truncated", [](writers::TileSetFileContents& c) { c.count_override = 5; }, "ファイル読み込みエラー",
       "タイルセットデータの読み込みに失敗しました"},
  };
  for (const Case& c : cases) {
    writers::TileSetFileContents damaged = contents;
    c.damage(damaged);
    ASSERT_TRUE(writers::WriteFileBytes(folder.Native("Data/BasicData/Damaged.dat"),
                                        writers::BuildTileSetFile(damaged)));
    message_boxes_.clear();
    TileSetList failed;
    EXPECT_FALSE(failed.LoadTileSetData("BasicData\\Damaged.dat")) << c.what;
    if (c.title == nullptr) {
      EXPECT_TRUE(message_boxes_.empty()) << c.what;
    } else {
      ASSERT_EQ(message_boxes_.size(), 1u) << c.what;
      EXPECT_EQ(message_boxes_[0].title, c.title) << c.what;
      EXPECT_EQ(message_boxes_[0].text, c.text) << c.what;
    }
  }

  message_boxes_.clear();
  TileSetList missing;
  EXPECT_FALSE(missing.LoadTileSetData("BasicData\\Nothing.dat"));
  EXPECT_TRUE(message_boxes_.empty());
}

}  // namespace
