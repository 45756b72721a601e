// The data-file scrambler against the format's facts: the generator's known
// sequence, which indices each pass touches, scrambled bytes written out by
// hand, the checksum and its coverage, and files sealed with chosen keys.
#include <gtest/gtest.h>

#include <numeric>

#include "data_test_support.h"
#include "engine/api/library_entry_points.h"
#include "game/data/data_error_report.h"
#include "game/data/data_scrambler.h"
#include "platform/clock.h"
#include "tools/writers/data_file_writer.h"

namespace {

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 37u + (i >> 3));
  return bytes;
}

class ScramblerTest : public DataLayerTest {};

TEST_F(ScramblerTest, GeneratorFollowsTheRunTimeRecurrence) {
  // The C run-time's sequence after srand(1), a published fact of the
  // recurrence state * 214013 + 2531011, bits 16-30.
  CrtRandom random(1);
  const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
  for (int32_t value : expected) EXPECT_EQ(random.Next(), value);
  // The state wraps modulo 2^32 and the result keeps bits 16-30 only.
  random.Seed(0xFFFFFFFFu);
  EXPECT_EQ(random.Next(), static_cast<int32_t>(((0xFFFFFFFFu * 214013u + 2531011u) >> 16) & 0x7FFF));
}

TEST_F(ScramblerTest, ScrambledBytesWrittenOutByHand) {
  // Keys 1, 2, 3 over twelve bytes: the XOR values of pass 0 are the seed-1
  // sequence above shifted right by 12 (0, 4, 1, 6, 4, 3, ...), then passes 1
  // and 2 add theirs at the even indices and at 0, 5, 10.
  const uint8_t keys[3] = {1, 2, 3};
  std::vector<uint8_t> zeros(12, 0);
  ScrambleBlock("x", zeros.data(), 0, 12, 3, keys, 0, nullptr);
  EXPECT_EQ(zeros, (std::vector<uint8_t>{0x0, 0x4, 0x6, 0x6, 0x1, 0x2, 0x6, 0x7, 0x1, 0x5, 0x7, 0x6}));
  std::vector<uint8_t> counting(12);
  std::iota(counting.begin(), counting.end(), uint8_t{0x10});
  ScrambleBlock("x", counting.data(), 0, 12, 3, keys, 0, nullptr);
  EXPECT_EQ(counting,
            (std::vector<uint8_t>{0x10, 0x15, 0x14, 0x15, 0x15, 0x17, 0x10, 0x10, 0x19, 0x1C, 0x1D, 0x1D}));
}

TEST_F(ScramblerTest, TwiceRestoresAndOnlyLowBitsChange) {
  const std::vector<uint8_t> plain = Pattern(1000, 5);
  std::vector<uint8_t> data = plain;
  const uint8_t keys[3] = {0x4D, 0x00, 0xF3};
  ScrambleBlock("x", data.data(), 0, 1000, 3, keys, 0, nullptr);
  EXPECT_NE(data, plain);
  size_t changed = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    EXPECT_EQ(data[i] & 0xF8, plain[i] & 0xF8) << i;
    changed += data[i] != plain[i];
  }
  EXPECT_GT(changed, 700u);
  ScrambleBlock("x", data.data(), 0, 1000, 3, keys, 0, nullptr);
  EXPECT_EQ(data, plain);
}

TEST_F(ScramblerTest, EachPassVisitsItsIndicesWithOneDrawPerByte) {
  // The difference between k and k+1 passes is exactly pass k's stream: the
  // generator seeded with key k, one value per visited index, in order.
  const int32_t body_start = 3, body_end = 3 + 10;
  const uint8_t keys[3] = {11, 22, 33};
  const int32_t steps[3] = {1, 2, 5};
  for (int pass = 0; pass < 3; ++pass) {
    std::vector<uint8_t> before = Pattern(16, 9), after = before;
    ScrambleBlock("x", before.data(), body_start, body_end, pass, keys, 0, nullptr);
    ScrambleBlock("x", after.data(), body_start, body_end, pass + 1, keys, 0, nullptr);
    CrtRandom stream(keys[pass]);
    for (int32_t i = 0; i < 16; ++i) {
      const bool visited = i >= body_start && i < body_end && (i - body_start) % steps[pass] == 0;
      const uint8_t expected = visited ? static_cast<uint8_t>(stream.Next() >> 12) : 0;
      EXPECT_EQ(before[i] ^ after[i], expected) << "pass " << pass << " index " << i;
    }
  }
}

TEST_F(ScramblerTest, ZeroKeysDoNothingEvenWhenAskedForAChecksum) {
  const std::vector<uint8_t> plain = Pattern(50, 1);
  std::vector<uint8_t> data = plain;
  const uint8_t keys[3] = {0, 0, 0};
  uint8_t checks[3] = {0, 0, 0};
  ScrambleBlock("x", data.data(), 0, 50, 3, keys, -3, checks);
  EXPECT_EQ(data, plain);
  EXPECT_EQ(checks[0], 0);
}

TEST_F(ScramblerTest, StoresTheChecksumOfThePlainBody) {
  std::vector<uint8_t> data = Pattern(64, 200);
  const uint8_t expected = static_cast<uint8_t>(std::accumulate(data.begin() + 4, data.end(), 0u));
  const uint8_t keys[3] = {9, 8, 7};
  uint8_t checks[3] = {0, 0, 0};
  ScrambleBlock("x", data.data(), 4, 64, 3, keys, -3, checks);
  EXPECT_EQ(checks[0], expected);
  EXPECT_EQ(checks[1], 0);
  EXPECT_EQ(checks[2], 0);
  // Unscrambling and verifying with the stored byte returns normally.
  ScrambleBlock("x", data.data(), 4, 64, 3, keys, 0, nullptr);
  ScrambleBlock("x", data.data(), 4, 64, 0, nullptr, 3, checks);
  EXPECT_TRUE(RecordedErrorBoxes().empty());
}

TEST_F(ScramblerTest, SealedFileWrittenOutByHand) {
  // A database file of the body "seal me" with keys 0x10, 0x20, 0x30: keys at
  // 0, 3, 9, the plain body's byte sum (0x97) at 2, zeros at 6 and 8, the
  // other header bytes drawn from the filler generator (seed 7, bits 8-15).
  const std::vector<uint8_t> body = {'s', 'e', 'a', 'l', ' ', 'm', 'e'};
  const std::vector<uint8_t> file = writers::ScrambleFile(body, kDatabaseDatHeader, {0x10, 0x20, 0x30});
  EXPECT_EQ(file, (std::vector<uint8_t>{0x10, 68, 0x97, 0x20, 60, 25, 0, 46, 0, 0x30,  //
                                        0x73, 0x66, 0x66, 0x6A, 0x22, 0x68, 0x67}));
  // Three zero keys: the body stays plain and nothing is checked.
  const std::vector<uint8_t> plain = writers::ScrambleFile(body, kDatabaseDatHeader, {0, 0, 0});
  EXPECT_TRUE(std::equal(body.begin(), body.end(), plain.begin() + 10));
  EXPECT_EQ(plain[2], 0);
}

TEST_F(ScramblerTest, FileReadBackThroughHeaderLayouts) {
  const std::vector<uint8_t> body = Pattern(200, 3);
  for (const DataFileHeaderLayout* layout : {&kMapFileHeader, &kGameDatHeader, &kDatabaseDatHeader}) {
    std::vector<uint8_t> file = writers::ScrambleFile(body, *layout, {0x10, 0x20, 0x30});
    DataFileKeys keys;
    ASSERT_TRUE(UnscrambleDataFile("f", file, *layout, keys));
    EXPECT_EQ(keys.keys[0], 0x10);
    EXPECT_EQ(keys.keys[1], 0x20);
    EXPECT_EQ(keys.keys[2], 0x30);
    EXPECT_TRUE(std::equal(body.begin(), body.end(), file.begin() + layout->length));
    VerifyDataFile("f", file, *layout, keys, file.size());
  }
  EXPECT_TRUE(RecordedErrorBoxes().empty());
  std::vector<uint8_t> short_file(9, 1);
  DataFileKeys keys;
  EXPECT_FALSE(UnscrambleDataFile("f", short_file, kDatabaseDatHeader, keys));
}

TEST_F(ScramblerTest, ChecksumCoversOnlyTheBytesParsed) {
  const std::vector<uint8_t> body = Pattern(100, 42);
  std::vector<uint8_t> file = writers::ScrambleFile(body, kDatabaseDatHeader, {5, 6, 7}, 60);
  file[10 + 80] ^= 0x40;  // after the parsed end: not noticed
  DataFileKeys keys;
  ASSERT_TRUE(UnscrambleDataFile("f", file, kDatabaseDatHeader, keys));
  VerifyDataFile("f", file, kDatabaseDatHeader, keys, 10 + 60);
  EXPECT_TRUE(RecordedErrorBoxes().empty());
}

TEST_F(ScramblerTest, GameDatIsNeverVerified) {
  std::vector<uint8_t> file = writers::ScrambleFile(Pattern(40, 1), kGameDatHeader, {1, 2, 3});
  file[2] ^= 0xFF;  // the unused check byte
  DataFileKeys keys;
  ASSERT_TRUE(UnscrambleDataFile("Game.dat", file, kGameDatHeader, keys));
  VerifyDataFile("Game.dat", file, kGameDatHeader, keys, file.size());
  EXPECT_TRUE(RecordedErrorBoxes().empty());
}

TEST_F(ScramblerTest, WriterKeysComeFromTheClock) {
  platform::VirtualClock clock;
  clock.SetCalendarSeconds(1700000000);
  platform::ScopedClock scoped(clock);
  const std::vector<uint8_t> body = Pattern(300, 8);
  std::vector<uint8_t> file(20 + body.size(), 0xEE);
  std::copy(body.begin(), body.end(), file.begin() + 20);
  ScrambleDataFileForWrite("Save\\SaveData01.sav", file, kSaveFileHeader);

  CrtRandom expected_keys(1700000000u);
  std::array<uint8_t, 3> keys{};
  for (uint8_t& key : keys) key = static_cast<uint8_t>((expected_keys.Next() & 0xFF0) >> 4);
  EXPECT_EQ(file[0], keys[0]);
  EXPECT_EQ(file[3], keys[1]);
  EXPECT_EQ(file[9], keys[2]);
  EXPECT_EQ(file[2], static_cast<uint8_t>(std::accumulate(body.begin(), body.end(), 0u)));
  EXPECT_EQ(file[6], 0);
  EXPECT_EQ(file[8], 0);
  // Filler header bytes are bits 8-15 of a draw, so below 128.
  for (int i : {1, 4, 5, 7, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}) EXPECT_LT(file[i], 128) << i;
  DataFileKeys read;
  ASSERT_TRUE(UnscrambleDataFile("Save\\SaveData01.sav", file, kSaveFileHeader, read));
  EXPECT_TRUE(std::equal(body.begin(), body.end(), file.begin() + 20));
  // The filler continues the runtime generator after the passes: the last
  // pass was seeded with the third key and drew once per fifth body byte.
  CrtRandom after_passes(keys[2]);
  for (size_t i = 0; i < body.size(); i += 5) after_passes.Next();
  after_passes.Next();  // header byte 0, which the first key replaces
  EXPECT_EQ(file[1], static_cast<uint8_t>(after_passes.Next() >> 8));
}

// The checksum failure does not end the process itself: after the error box
// it hands code 1 to the library's exit road, whose last step a test replaces.
TEST_F(ScramblerTest, ChecksumMismatchReportsToTheExitRoad) {
  struct ProcessEnded {
    int code;
  };
  SetProcessEndHook([](int code) { throw ProcessEnded{code}; });
  std::vector<uint8_t> data = Pattern(32, 4);
  uint8_t checks[3] = {static_cast<uint8_t>(std::accumulate(data.begin(), data.end(), 0u) + 1), 0, 0};
  int code = 0;
  try {
    ScrambleBlock("Data\\BasicData\\DataBase.dat", data.data(), 0, 32, 0, nullptr, 3, checks);
  } catch (const ProcessEnded& ended) {
    code = ended.code;
  }
  SetProcessEndHook(nullptr);
  EXPECT_EQ(code, 1);
  ASSERT_EQ(RecordedErrorBoxes().size(), 1u);
  EXPECT_NE(RecordedErrorBoxes()[0].line1.find("DataBase.dat"), std::string::npos);
}

using ScramblerDeathTest = ScramblerTest;

TEST_F(ScramblerDeathTest, ChecksumMismatchShowsTheBoxAndExitsWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::vector<uint8_t> data = Pattern(32, 4);
  uint8_t checks[3] = {static_cast<uint8_t>(std::accumulate(data.begin(), data.end(), 0u) + 1), 0, 0};
  EXPECT_EXIT(ScrambleBlock("Data\\BasicData\\DataBase.dat", data.data(), 0, 32, 0, nullptr, 3, checks),
              ::testing::ExitedWithCode(1), "DataBase\\.dat");
}

}  // namespace
