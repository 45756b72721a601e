// The archive LZ decoder against hand-built blocks, its refusal of damaged
// blocks, and round trips through the writer's compressor.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/files/archive_lz.h"
#include "tools/writers/archive_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Block(uint32_t unpacked, uint8_t escape, const Bytes& codes) {
  Bytes b;
  const uint32_t packed = static_cast<uint32_t>(codes.size() + 9);
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(unpacked >> (8 * i)));
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(packed >> (8 * i)));
  b.push_back(escape);
  b.insert(b.end(), codes.begin(), codes.end());
  return b;
}

Bytes Decode(const Bytes& block, size_t out_size, int64_t* result) {
  Bytes out(out_size, 0xCD);
  *result = DecodeArchiveLz(block.data(), block.size(), out.data(), out.size());
  return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(ArchiveLzTest, DecodesHandBuiltBlocks) {
  Bytes history(300);
  for (size_t i = 0; i < history.size(); ++i) history[i] = static_cast<uint8_t>(i % 200);
  Bytes far(70000);
  for (size_t i = 0; i < far.size(); ++i) far[i] = static_cast<uint8_t>((i * 7) % 251);

  struct Case {
    const char* label;
    Bytes block;
    Bytes expected;
  };
  std::vector<Case> cases = {
      {"literals", Block(3, 0xFF, Text("abc")), Text("abc")},
      {"escaped escape", Block(2, 'A', Text("AAb")), Text("Ab")},
      // Distance 1, length 10 repeats the previous byte ten times.
      {"distance 1 length 10", Block(11, 0xFF, {'x', 0xFF, 0x30, 0x00}), Text("xxxxxxxxxxx")},
      // A code above the escape byte is taken one smaller (0x31 -> 0x30).
      {"code above escape", Block(12, 0x10, {'a', 'b', 0x10, 0x31, 0x01}), Text("abababababab")},
      // Bit 2 adds a length byte: ((0x04 >> 3) | (3 << 5)) + 4 = 100.
      {"extended length", Block(101, 0xFF, {'z', 0xFF, 0x04, 0x03, 0x00}), Bytes(101, 'z')},
  };
  {
    Bytes codes = history;
    for (uint8_t b : {0xFF, 0x01, 0x2B, 0x01}) codes.push_back(b);  // distance 300, 2-byte field
    Bytes expected = history;
    for (size_t i = 0; i < 4; ++i) expected.push_back(history[i]);
    cases.push_back({"two-byte distance", Block(304, 0xFF, codes), expected});
  }
  {
    Bytes codes = far;
    for (uint8_t b : {0xFF, 0x0A, 0x6F, 0x11, 0x01}) codes.push_back(b);  // length 5, distance 70000
    Bytes expected = far;
    for (size_t i = 0; i < 5; ++i) expected.push_back(far[i]);
    cases.push_back({"three-byte distance", Block(70005, 0xFF, codes), expected});
  }
  for (const Case& c : cases) {
    int64_t result = 0;
    const Bytes out = Decode(c.block, c.expected.size(), &result);
    EXPECT_EQ(result, static_cast<int64_t>(c.expected.size())) << c.label;
    EXPECT_EQ(out, c.expected) << c.label;
    EXPECT_EQ(DecodeArchiveLz(c.block.data(), c.block.size(), nullptr, 0),
              static_cast<int64_t>(c.expected.size()))
        << c.label;
  }
}

TEST(ArchiveLzTest, RefusesDamagedBlocks) {
  struct Case {
    const char* label;
    Bytes block;
    size_t out_size;
  };
  Bytes short_head = {1, 0, 0, 0, 9, 0, 0, 0};
  Bytes packed_too_small = Block(1, 0xFF, {'a'});
  packed_too_small[4] = 8;
  Bytes packed_too_large = Block(1, 0xFF, {'a'});
  packed_too_large[4] = 11;
  const Case cases[] = {
      {"head cut", short_head, 1},
      {"packed size below the head", packed_too_small, 1},
      {"packed size beyond the block", packed_too_large, 1},
      {"unpacked size differs from the output", Block(3, 0xFF, Text("abc")), 4},
      {"escape at the end", Block(2, 0xFF, {'a', 0xFF}), 2},
      {"distance before the start", Block(11, 0xFF, {'x', 0xFF, 0x30, 0x01}), 11},
      {"match beyond the end", Block(5, 0xFF, {'x', 0xFF, 0x30, 0x00}), 5},
      {"low bits 3", Block(5, 0xFF, {'x', 0xFF, 0x03, 0, 0, 0, 0}), 5},
      {"length byte missing", Block(101, 0xFF, {'z', 0xFF, 0x04}), 101},
      {"distance bytes cut", Block(5, 0xFF, {'z', 0xFF, 0x01, 0x00}), 5},
      {"fewer bytes than promised", Block(5, 0xFF, {'a'}), 5},
      {"more literals than promised", Block(1, 0xFF, {'a', 'b'}), 1},
  };
  for (const Case& c : cases) {
    int64_t result = 0;
    Decode(c.block, c.out_size, &result);
    EXPECT_EQ(result, -1) << c.label;
  }
  EXPECT_EQ(DecodeArchiveLz(short_head.data(), short_head.size(), nullptr, 0), -1);
}

TEST(ArchiveLzTest, WriterBlocksRoundTrip) {
  std::vector<Bytes> inputs;
  inputs.push_back({});
  inputs.push_back(Text("a"));
  inputs.push_back(Bytes(20000, 0x00));  // runs longer than one match
  Bytes all;
  for (int r = 0; r < 40; ++r)
    for (int v = 0; v < 256; ++v) all.push_back(static_cast<uint8_t>(v));  // no free escape byte
  inputs.push_back(all);
  Bytes noise(50000);
  uint32_t s = 99;
  for (auto& b : noise) {
    s = s * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(s >> 24);
  }
  inputs.push_back(noise);
  Bytes text;
  for (int i = 0; i < 3000; ++i) {
    const std::string line = "line " + std::to_string(i % 37) + " of the map data\r\n";
    text.insert(text.end(), line.begin(), line.end());
  }
  inputs.push_back(text);
  Bytes far_repeat = noise;
  far_repeat.insert(far_repeat.end(), noise.begin(), noise.begin() + 3000);  // distance 50000
  inputs.push_back(far_repeat);

  for (const Bytes& input : inputs) {
    const Bytes block = writers::CompressArchiveLz(input);
    Bytes out(input.size());
    EXPECT_EQ(DecodeArchiveLz(block.data(), block.size(), out.data(), out.size()),
              static_cast<int64_t>(input.size()));
    EXPECT_EQ(out, input);
  }
  EXPECT_LT(writers::CompressArchiveLz(text).size(), text.size() / 4);
}

}  // namespace
