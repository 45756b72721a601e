// Databases whose tables claim rows that take no bytes (types without
// contents): a small file must not make the loaders take memory out of
// proportion to it. The loaders run under an allocation meter whose ceiling
// turns a runaway load into a refused allocation instead of a full machine.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <vector>

#include "allocation_meter.h"
#include "data_test_support.h"
#include "game/data/data_reader.h"
#include "game/data/data_writer.h"
#include "game/data/database_file.h"
#include "tools/writers/data_file_writer.h"
#include "tools/writers/database_writer.h"

namespace {

// What a load of a file of `bytes` may hold at its peak: the row records the
// row budget allows, and a small multiple of the file for everything else.
int64_t MemoryBound(size_t bytes) {
  const uint64_t rows = kDataBaseRowAllowance + bytes / kDataBaseBytesPerRow;
  return static_cast<int64_t>(sizeof(DataBaseEntry) * rows + 64 * bytes + (1u << 20));
}

// Well above the bound, far below what the unbounded loads took (about 1 GB).
constexpr size_t kCeiling = 64u << 20;

struct Measured {
  bool loaded = false;
  bool ran_out = false;  // an allocation passed the ceiling
  int64_t peak = 0;
};

Measured Measure(const std::function<bool()>& load) {
  Measured measured;
  AllocationMeter meter(kCeiling);
  try {
    measured.loaded = load();
  } catch (const std::bad_alloc&) {
    measured.ran_out = true;
  }
  measured.peak = meter.PeakBytes();
  return measured;
}

// A ".dat" body of `types` types without contents, each with `rows` rows
// (type block: h = 0, then the row count; nothing else).
std::vector<uint8_t> EmptyTablesDat(uint32_t types, uint32_t rows) {
  DataWriter body;
  body.WriteU8(0xC1).WriteU32(types);
  for (uint32_t t = 0; t < types; ++t) body.WriteI32(0).WriteU32(rows);
  body.WriteU8(0xC1);
  return writers::ScrambleFile(body.Bytes(), kDatabaseDatHeader, {0x11, 0x22, 0x33});
}

// The same tables as a save file's database block (-2 form, no descriptors).
std::vector<uint8_t> EmptyTablesSaveBlock(uint32_t types, uint32_t rows) {
  DataWriter block;
  block.WriteU8(111).WriteU32(types);
  for (uint32_t t = 0; t < types; ++t) block.WriteI32(-2).WriteI32(0).WriteU32(0).WriteU32(rows);
  return std::move(block.Bytes());
}

class DataBaseMemoryTest : public DataLayerTest {};

TEST_F(DataBaseMemoryTest, TinyFileOfHugeEmptyTablesIsDamagedWithinTheBound) {
  // 100 types of 100,000 rows each: ten million rows from 816 bytes.
  const std::vector<uint8_t> dat = EmptyTablesDat(100, kMaxDataBaseRows);
  const std::vector<uint8_t> project = DataWriter().WriteU32(0).Bytes();
  ASSERT_EQ(dat.size(), 816u);
  const Measured measured = Measure([&] {
    DataBase read;
    return LoadDataBaseFromBytes(read, "BasicData\\DataBase", dat, project);
  });
  EXPECT_FALSE(measured.ran_out);
  EXPECT_FALSE(measured.loaded);
  EXPECT_LE(measured.peak, MemoryBound(dat.size()));
  ASSERT_EQ(message_boxes_.size(), 1u);
  EXPECT_EQ(message_boxes_[0].title, "MsgBox");
  EXPECT_EQ(message_boxes_[0].text,
            "データベースファイル\nBasicData\\DataBaseが\n破損しているか、バージョンが古い可能性があります。");
}

TEST_F(DataBaseMemoryTest, SaveBlockTwinMarksTheSaveDamagedWithinTheBound) {
  ScratchGameFolder folder("empty_tables_save");
  ASSERT_TRUE(writers::WriteDataBaseFiles(folder.Path().string(), "BasicData/CDataBase",
                                          writers::SampleDataBase(1, 1, 1)));
  const std::vector<uint8_t> block = EmptyTablesSaveBlock(100, kMaxDataBaseRows);
  bool damaged = false;
  const Measured measured = Measure([&] {
    DataBase target;
    DataReader save(block.data(), block.size());
    const bool read = ReadDataBaseFromSave(target, save);
    damaged = save.Damaged();
    return read;
  });
  EXPECT_FALSE(measured.ran_out);
  EXPECT_TRUE(measured.loaded);  // the first two fields fit; the damage shows in the flag
  EXPECT_TRUE(damaged);
  EXPECT_LE(measured.peak, MemoryBound(block.size()));
}

TEST_F(DataBaseMemoryTest, EmptyTablesDrawOnTheRowAllowance) {
  // One full table without contents is what the allowance keeps for such
  // tables in one file (with a row for every 4 bytes of the file on top); a
  // second full table is damage. The same holds for a save block.
  ScratchGameFolder folder("empty_tables_allowance");
  ASSERT_TRUE(writers::WriteDataBaseFiles(folder.Path().string(), "BasicData/CDataBase",
                                          writers::SampleDataBase(1, 1, 1)));
  const std::vector<uint8_t> project = DataWriter().WriteU32(0).Bytes();
  const struct {
    uint32_t types;
    bool fits;
  } cases[] = {{1, true}, {2, false}};
  for (const auto& c : cases) {
    message_boxes_.clear();
    DataBase read;
    EXPECT_EQ(LoadDataBaseFromBytes(read, "x", EmptyTablesDat(c.types, kMaxDataBaseRows), project), c.fits)
        << c.types;
    EXPECT_EQ(message_boxes_.empty(), c.fits) << c.types;
    if (c.fits) {
      EXPECT_EQ(read.GetDBDataCount(0), kMaxDataBaseRows);
    }

    const std::vector<uint8_t> block = EmptyTablesSaveBlock(c.types, kMaxDataBaseRows);
    DataBase target;
    DataReader save(block.data(), block.size());
    EXPECT_TRUE(ReadDataBaseFromSave(target, save));
    EXPECT_EQ(save.Damaged(), !c.fits) << c.types;
  }
}

}  // namespace
