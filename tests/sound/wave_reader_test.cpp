// RIFF WAVE files: the chunk walk, "fmt " checks, PCM data read from the
// stream, seeks and reads in any piece size.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/core/sound/sound_readers.h"
#include "sound_test_support.h"

namespace {

using soundtest::OpenSound;
using writers::FmtChunkData;
using writers::RiffChunk;
using writers::RiffWaveFile;
using writers::WaveFile;
using writers::WaveFmt;

std::vector<uint8_t> Ramp(size_t bytes) {
  std::vector<uint8_t> out(bytes);
  for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(i * 7 + 3);
  return out;
}

TEST(WaveReaderTest, PcmDataComesOutAsStoredWithItsFormat) {
  const std::vector<uint8_t> data = Ramp(40000);
  OpenSound sound(WaveFile(WaveFmt{}, data));
  ASSERT_EQ(sound.Open(), 0);
  EXPECT_EQ(sound->kind, kSoundConvertWavePcm);
  WaveFormatEx f{};
  GetSoundConvertFormat(sound.get(), &f);
  EXPECT_EQ(f.format_tag, 1);
  EXPECT_EQ(f.channels, 2);
  EXPECT_EQ(f.samples_per_sec, 44100u);
  EXPECT_EQ(f.avg_bytes_per_sec, 176400u);
  EXPECT_EQ(f.block_align, 4);
  EXPECT_EQ(f.bits_per_sample, 16);
  EXPECT_EQ(GetSoundConvertSize(sound.get()), 40000);
  EXPECT_EQ(sound->data_position, 46);
  EXPECT_EQ(sound.ReadAll(1000), data);
  EXPECT_EQ(sound->end, 1);
  EXPECT_EQ(sound.Read(10).size(), 0u);
}

TEST(WaveReaderTest, AnyPieceSizeGivesTheSameBytes) {
  const std::vector<uint8_t> data = Ramp(3 * 44100 + 2);  // mono 8-bit, more than one buffer
  WaveFmt fmt;
  fmt.channels = 1;
  fmt.block_align = 1;
  fmt.bits = 8;
  for (int64_t piece : {1, 3, 4095, 44100, 200000}) {
    OpenSound sound(WaveFile(fmt, data));
    ASSERT_EQ(sound.Open(), 0);
    EXPECT_EQ(sound.ReadAll(piece), data) << piece;
  }
}

// Files the chunk walk must take or refuse; refused files have nothing the
// OGG and MPEG readers take either, so the whole open fails.
struct ChunkCase {
  const char* name;
  std::vector<RiffChunk> chunks;
  int64_t data_size;  // -1: the open fails
};

std::vector<ChunkCase> ChunkCases() {
  const std::vector<uint8_t> fmt = FmtChunkData(WaveFmt{});
  const std::vector<uint8_t> data = Ramp(400);
  std::vector<ChunkCase> cases;
  cases.push_back({"list before fmt", {{"LIST", Ramp(6), {}}, {"fmt ", fmt, {}}, {"data", data, {}}}, -1});
  cases.push_back({"odd chunk padded", {{"fmt ", fmt, {}}, {"junk", Ramp(3), {}}, {"data", data, {}}}, 400});
  cases.push_back({"no data chunk", {{"fmt ", fmt, {}}, {"junk", Ramp(8), {}}}, -1});
  cases.push_back({"data cut short", {{"fmt ", fmt, {}}, {"data", data, 1000u}}, 400});
  cases.push_back({"chunk size wraps", {{"fmt ", fmt, {}}, {"junk", Ramp(8), 0xFFFFFFF8u}, {"data", data, {}}}, -1});
  cases.push_back({"chunk past the end", {{"fmt ", fmt, {}}, {"junk", Ramp(8), 0x1000u}, {"data", data, {}}}, -1});
  cases.push_back({"data size wraps", {{"fmt ", fmt, {}}, {"data", data, 0xFFFFFFF8u}}, 400});
  cases.push_back({"odd data cut to frames", {{"fmt ", fmt, {}}, {"data", Ramp(403), {}}}, 400});
  cases.push_back({"fmt past the end", {{"fmt ", fmt, 0x7FFFFFF0u}}, -1});
  return cases;
}

TEST(WaveReaderTest, ChunkWalk) {
  for (const ChunkCase& c : ChunkCases()) {
    SCOPED_TRACE(c.name);
    OpenSound sound(RiffWaveFile(c.chunks));
    if (c.data_size < 0) {
      EXPECT_EQ(sound.Open(), -1);
      continue;
    }
    ASSERT_EQ(sound.Open(), 0);
    EXPECT_EQ(GetSoundConvertSize(sound.get()), c.data_size);
    const std::vector<uint8_t> all = sound.ReadAll();
    ASSERT_EQ(static_cast<int64_t>(all.size()), c.data_size);
    EXPECT_TRUE(std::equal(all.begin(), all.end(), Ramp(all.size()).begin()));
  }
}

TEST(WaveReaderTest, SixteenByteFormatTakesBitsFromBlockAlign) {
  WaveFmt fmt;
  fmt.with_cb_size = false;
  fmt.bits = 0;  // not trusted in the short form
  OpenSound sound(WaveFile(fmt, Ramp(64)));
  ASSERT_EQ(sound.Open(), 0);
  EXPECT_EQ(sound->format_size, 16);
  EXPECT_EQ(sound->format.bits_per_sample, 16);
  EXPECT_EQ(sound->format.cb_size, 0);
  EXPECT_EQ(sound.ReadAll(), Ramp(64));
}

// Formats of every kind that must be refused, with data no other reader
// takes.
TEST(WaveReaderTest, DamagedFormatsAreRefused) {
  struct Case {
    const char* name;
    WaveFmt fmt;
    size_t fmt_size;  // cut the chunk to this many bytes (0: as written)
  };
  auto with = [](auto change) {
    WaveFmt f;
    change(f);
    return f;
  };
  const std::vector<Case> cases = {
      {"fmt under 16 bytes", WaveFmt{}, 14},
      {"no channels", with([](WaveFmt& f) { f.channels = 0; }), 0},
      {"no rate", with([](WaveFmt& f) { f.rate = 0; }), 0},
      {"no block align", with([](WaveFmt& f) { f.block_align = 0; }), 0},
      {"block align against bits", with([](WaveFmt& f) { f.block_align = 6; }), 0},
      {"short form, block align not whole samples",
       with([](WaveFmt& f) { f.block_align = 3; f.with_cb_size = false; }), 0},
      {"bytes per second past 32 bits", with([](WaveFmt& f) { f.rate = 0x40000001; }), 0},
      {"twelve-bit samples", with([](WaveFmt& f) { f.bits = 12; f.block_align = 3; }), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> fmt = FmtChunkData(c.fmt);
    if (c.fmt_size != 0) fmt.resize(c.fmt_size);
    OpenSound sound(RiffWaveFile({{"fmt ", fmt, {}}, {"data", Ramp(64), {}}}));
    EXPECT_EQ(sound.Open(), -1);
  }
}

TEST(WaveReaderTest, WrongBytesPerSecondIsRecomputedAndDataStillEnds) {
  WaveFmt fmt;
  fmt.avg_bytes = 0;  // would size the read buffer at nothing
  OpenSound sound(WaveFile(fmt, Ramp(1000)));
  ASSERT_EQ(sound.Open(), 0);
  EXPECT_EQ(sound->format.avg_bytes_per_sec, 176400u);
  EXPECT_EQ(sound.ReadAll(), Ramp(1000));
}

TEST(WaveReaderTest, HighRateDoesNotSizeTheBuffer) {
  WaveFmt fmt;
  fmt.rate = 400'000'000;
  OpenSound sound(WaveFile(fmt, Ramp(64)));
  ASSERT_EQ(sound.Open(), 0);
  EXPECT_LE(sound->buffer_size, 1 << 20);
  EXPECT_EQ(sound.ReadAll(), Ramp(64));
}

TEST(WaveReaderTest, SeeksBySample) {
  const std::vector<uint8_t> data = Ramp(400000);
  OpenSound sound(WaveFile(WaveFmt{}, data));
  ASSERT_EQ(sound.Open(), 0);
  struct Step {
    int64_t sample;
    int64_t expect_position;  // where the next bytes come from
  };
  // Reads 100 bytes after each seek; a target under 16 bytes away is ignored.
  const Step steps[] = {{50000, 200000}, {10, 40}, {36, 140}, {0, 0}, {-5, 0}, {99999, 399996}, {200000, 800000}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.sample);
    SeekSoundConvert(sound.get(), s.sample);
    EXPECT_EQ(sound->end, 0);
    const std::vector<uint8_t> got = sound.Read(100);
    const size_t from = static_cast<size_t>(std::min<int64_t>(s.expect_position, 400000));
    const size_t count = std::min<size_t>(100, data.size() - from);
    ASSERT_EQ(got.size(), count);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin() + static_cast<long>(from)));
  }
}

TEST(WaveReaderTest, WidePcmGoesThroughTheCodecsToSixteenBits) {
  WaveFmt fmt;
  fmt.bits = 24;
  fmt.block_align = 6;
  const std::vector<uint8_t> data = {0x11, 0x22, 0x33, 0xFF, 0x00, 0x80, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
  OpenSound sound(WaveFile(fmt, data));
  ASSERT_EQ(sound.Open(), 0);
  EXPECT_EQ(sound->kind, kSoundConvertAcm);
  EXPECT_EQ(sound->format.bits_per_sample, 16);
  EXPECT_EQ(sound->format.block_align, 4);
  EXPECT_EQ(GetSoundConvertSize(sound.get()), 8);
  EXPECT_EQ(sound.ReadAll(), (std::vector<uint8_t>{0x22, 0x33, 0x00, 0x80, 0x02, 0x03, 0x05, 0x06}));
}

}  // namespace
