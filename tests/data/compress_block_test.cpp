// The byte compressor pair: the documented coding of a run, escape
// doubling, round trips of varied inputs, and the bounded expander refusing
// blocks that are damaged or do not fit.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "game/data/compress_block.h"

namespace {

std::vector<uint8_t> Compress(const std::vector<uint8_t>& input) {
  const int32_t size = CompressBlock(input.data(), static_cast<int32_t>(input.size()), nullptr);
  std::vector<uint8_t> packed(static_cast<size_t>(size), 0xCD);
  EXPECT_EQ(CompressBlock(input.data(), static_cast<int32_t>(input.size()), packed.data()), size);
  return packed;
}

int32_t HeaderValue(const std::vector<uint8_t>& packed, int index) {
  return static_cast<int32_t>(packed[4 * index] | (packed[4 * index + 1] << 8) | (packed[4 * index + 2] << 16) |
                              (static_cast<uint32_t>(packed[4 * index + 3]) << 24));
}

std::vector<uint8_t> Expand(const std::vector<uint8_t>& packed, int32_t& result) {
  const int32_t length = ExpandBlock(packed.data(), packed.size(), nullptr, 0);
  std::vector<uint8_t> out(length > 0 ? static_cast<size_t>(length) : 0);
  result = ExpandBlock(packed.data(), packed.size(), out.data(), out.size());
  return out;
}

TEST(CompressBlockTest, RunOf300EqualBytes) {
  const std::vector<uint8_t> input(300, 'A');
  const std::vector<uint8_t> packed = Compress(input);
  EXPECT_EQ(HeaderValue(packed, 0), 300);
  EXPECT_EQ(HeaderValue(packed, 1), static_cast<int32_t>(packed.size()));
  const uint8_t escape = static_cast<uint8_t>(HeaderValue(packed, 2));
  EXPECT_EQ(escape, 0);  // every other value has count 0; the lowest wins
  std::vector<uint8_t> expected = {'A', 'A', 'A', 'A'};
  for (int length : {4, 8, 16, 32, 64, 128, 44}) {
    const int distance = length;  // a match is never longer than its distance
    expected.insert(expected.end(), {escape, static_cast<uint8_t>(distance + 1), static_cast<uint8_t>(length)});
  }
  EXPECT_EQ(std::vector<uint8_t>(packed.begin() + 12, packed.end()), expected);
  int32_t result = 0;
  EXPECT_EQ(Expand(packed, result), input);
  EXPECT_EQ(result, 300);
}

TEST(CompressBlockTest, EscapeByteIsDoubledAndDistancesSkipIt) {
  // Every value 0-255 occurs twice except 7, which occurs once: 7 is the
  // escape byte and its literal is written twice.
  std::vector<uint8_t> input;
  for (int round = 0; round < 2; ++round) {
    for (int v = 0; v < 256; ++v) {
      if (v == 7 && round == 1) continue;
      input.push_back(static_cast<uint8_t>(v));
    }
  }
  const std::vector<uint8_t> packed = Compress(input);
  EXPECT_EQ(HeaderValue(packed, 2), 7);
  size_t at = 12;
  for (int v = 0; v < 256; ++v) {
    ASSERT_EQ(packed[at++], v);
    if (v == 7) {
      ASSERT_EQ(packed[at++], 7);
    }
  }
  int32_t result = 0;
  EXPECT_EQ(Expand(packed, result), input);
}

TEST(CompressBlockTest, RandomRoundTrips) {
  std::mt19937 random(1234);
  for (int trial = 0; trial < 60; ++trial) {
    const size_t size = random() % 2000;
    const int alphabet = 1 + static_cast<int>(random() % 256);
    std::vector<uint8_t> input(size);
    for (uint8_t& byte : input) byte = static_cast<uint8_t>(random() % alphabet);
    // Some repeated stretches, so matches of every length occur.
    for (size_t i = 300; i + 300 < size; i += 400) std::copy_n(input.begin() + i - 300, 250, input.begin() + i);
    const std::vector<uint8_t> packed = Compress(input);
    EXPECT_LE(packed.size(), 12 + 2 * size);
    int32_t result = 0;
    ASSERT_EQ(Expand(packed, result), input) << trial;
    ASSERT_EQ(result, static_cast<int32_t>(size));
  }
}

TEST(CompressBlockTest, NullOutputOnlyMeasures) {
  const std::vector<uint8_t> packed = Compress(std::vector<uint8_t>(50, 3));
  EXPECT_EQ(ExpandBlock(packed.data(), packed.size(), nullptr, 0), 50);
  EXPECT_EQ(CompressBlock(nullptr, 0, nullptr), 12);
}

TEST(CompressBlockTest, BoundedExpandRefusesDamagedBlocks) {
  const std::vector<uint8_t> good = Compress(std::vector<uint8_t>(300, 'A'));
  auto with = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> damaged = good;
    damaged[at] = value;
    return damaged;
  };
  auto truncated = [&](size_t size) {
    std::vector<uint8_t> cut = good;
    cut.resize(size);
    cut[4] = static_cast<uint8_t>(size);  // the total agrees with the cut
    return cut;
  };
  std::vector<uint8_t> out(300);
  const struct {
    const char* what;
    std::vector<uint8_t> block;
    size_t capacity;
  } cases[] = {
      {"header missing", std::vector<uint8_t>(good.begin(), good.begin() + 11), 300},
      {"total beyond the block", with(4, 0xFF), 300},
      {"total below the header", with(4, 3), 300},
      {"negative length", with(3, 0x80), 300},
      {"escape value outside a byte", with(9, 1), 300},
      {"capacity too small", good, 299},
      {"distance before the output", with(17, 10), 300},
      {"run longer than stated", with(0, 10), 300},
      {"run shorter than stated", with(1, 2), 600},
      {"code cut after the escape", truncated(17), 300},
      {"code cut after the distance", truncated(18), 300},
  };
  for (const auto& c : cases) {
    out.assign(std::max<size_t>(c.capacity, 1), 0);
    EXPECT_EQ(ExpandBlock(c.block.data(), c.block.size(), out.data(), c.capacity), -1) << c.what;
  }
}

}  // namespace
