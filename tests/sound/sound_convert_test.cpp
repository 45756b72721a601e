// The converter as a whole: which reader takes which file, whole-sound
// conversion, the WAVE image builder, whole-stream reads, and the calls on
// a converter that is not open.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sound_test_support.h"

namespace {

using soundtest::ConvertWhole;
using soundtest::OpenSound;
using writers::WaveFile;
using writers::WaveFmt;

WaveFmt Mono8k(uint16_t tag, uint16_t bits, uint16_t block_align, std::vector<uint8_t> extra = {}) {
  WaveFmt f;
  f.tag = tag;
  f.channels = 1;
  f.rate = 8000;
  f.bits = bits;
  f.block_align = block_align;
  f.extra = std::move(extra);
  return f;
}

struct KindCase {
  std::string name;
  std::vector<uint8_t> file;
  int kind;
  int64_t data_position;
};

std::vector<KindCase> KindCases() {
  const std::vector<int16_t> signal = writers::TestSignal(4000, 1, 2);
  const writers::AdpcmFile ima = writers::EncodeImaAdpcm(signal, 1, 8000, 256);
  std::vector<uint8_t> alaw;
  for (int16_t s : signal) alaw.push_back(writers::EncodeALaw(s));
  std::vector<uint8_t> mp3 = writers::Id3v2Tag(3, 0, 20);
  const std::vector<uint8_t> frames = writers::SilentMp3(writers::MpegFrameParams{}, 5);
  mp3.insert(mp3.end(), frames.begin(), frames.end());
  return {
      {"PCM", WaveFile(Mono8k(1, 16, 2), writers::Pcm16Bytes(signal)), kSoundConvertWavePcm, 46},
      {"IMA ADPCM", WaveFile(ima.fmt, ima.data), kSoundConvertAcm, 48},
      {"A-law", WaveFile(Mono8k(6, 8, 1), alaw), kSoundConvertAcm, 46},
      {"OGG Vorbis", writers::EncodeOggVorbis(signal, 1, 8000, 0.2f), kSoundConvertOgg, 0},
      {"MPEG audio", mp3, kSoundConvertAcm, 30},
  };
}

TEST(SoundConvertTest, EachFileGoesToItsReaderAndConvertsWhole) {
  for (const KindCase& c : KindCases()) {
    SCOPED_TRACE(c.name);
    OpenSound streamed(c.file);
    ASSERT_EQ(streamed.Open(), 0);
    EXPECT_EQ(streamed->kind, c.kind);
    EXPECT_EQ(streamed->data_position, c.data_position);
    const std::vector<uint8_t> read = streamed.ReadAll(1001);
    EXPECT_GT(read.size(), 0u);
    // Whole conversion gives the same bytes, also after reads and seeks.
    OpenSound whole(c.file);
    ASSERT_EQ(whole.Open(), 0);
    whole.Read(10);
    SeekSoundConvert(whole.get(), 3);
    WaveFormatEx format{};
    EXPECT_EQ(ConvertWhole(whole.get(), &format), read);
    EXPECT_EQ(std::memcmp(&format, &whole->format, sizeof format), 0);
    EXPECT_LE(static_cast<int64_t>(read.size()), GetSoundConvertSize(whole.get()));
  }
}

TEST(SoundConvertTest, NothingLeaksAcrossOpenConvertAndClose) {
  const int32_t at_start = TrackedAllocCount();
  for (const KindCase& c : KindCases()) {
    OpenSound sound(c.file);
    // The memory stream under the sound is a tracked block of the test's own.
    const int32_t before = TrackedAllocCount();
    ASSERT_EQ(sound.Open(), 0);
    ConvertWhole(sound.get());
    // Opening again over the same stream replaces the first opening.
    ASSERT_EQ(sound.Open(), 0);
    sound.Read(100);
    EXPECT_EQ(CloseSoundConvert(sound.get()), 0);
    EXPECT_EQ(TrackedAllocCount(), before) << c.name;
  }
  EXPECT_EQ(TrackedAllocCount(), at_start);
}

// A sound past the first block of a whole conversion: the block grows as
// the PCM arrives.
TEST(SoundConvertTest, WholeConversionGrowsPastItsFirstBlock) {
  const size_t samples = (size_t{9} << 20) + 5;
  std::vector<uint8_t> codes(samples);
  for (size_t i = 0; i < samples; ++i) codes[i] = static_cast<uint8_t>(i * 13);
  OpenSound sound(WaveFile(Mono8k(7, 8, 1), codes));
  ASSERT_EQ(sound.Open(), 0);
  uint8_t* pcm = nullptr;
  int64_t size = 0;
  ASSERT_EQ(ConvertSoundToPcm(sound.get(), nullptr, &pcm, &size), 0);
  ASSERT_EQ(size, static_cast<int64_t>(samples * 2));
  for (size_t i : {size_t{0}, size_t{1} << 23, samples - 1}) {
    int16_t value;
    std::memcpy(&value, pcm + 2 * i, 2);
    EXPECT_EQ(value, platform::DecodeMuLawSample(codes[i])) << i;
  }
  TrackedFree(pcm);
}

// The fuzz target's seeds (made by vesk-make-sound-seeds) are sound files
// of every kind; each must open and give sound, or it seeds nothing.
TEST(SoundConvertTest, EveryFuzzSeedDecodes) {
  const std::filesystem::path folder = std::filesystem::path(VESK_SOURCE_DIR) / "tests/fuzz/seeds/fuzz_sound_convert";
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    OpenSound sound(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
    ASSERT_EQ(sound.Open(), 0);
    EXPECT_GT(ConvertWhole(sound.get()).size(), 0u);
    ++count;
  }
  EXPECT_GT(count, 0);
}

TEST(SoundConvertTest, WaveImageLayout) {
  const WaveFormatEx format = {1, 2, 44100, 176400, 4, 16, 0};
  const uint8_t pcm[] = {0x01, 0x00, 0xFF, 0xFF};
  uint8_t* image = nullptr;
  int64_t size = 0;
  ASSERT_EQ(BuildWaveImage(&image, &size, &format, 18, pcm, 4), 0);
  const std::vector<uint8_t> expect = {
      'R', 'I', 'F', 'F', 42, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 18, 0, 0, 0,
      1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 0, 0,
      'd', 'a', 't', 'a', 4, 0, 0, 0, 0x01, 0x00, 0xFF, 0xFF};
  EXPECT_EQ(std::vector<uint8_t>(image, image + size), expect);

  // The image reads back as the PCM it was built from.
  OpenSound sound(std::vector<uint8_t>(image, image + size));
  TrackedFree(image);
  ASSERT_EQ(sound.Open(), 0);
  EXPECT_EQ(sound->kind, kSoundConvertWavePcm);
  EXPECT_EQ(std::memcmp(&sound->format, &format, sizeof format), 0);
  EXPECT_EQ(sound.ReadAll(), std::vector<uint8_t>(pcm, pcm + 4));

  EXPECT_EQ(BuildWaveImage(&image, &size, &format, 18, pcm, -1), -1);
  EXPECT_EQ(BuildWaveImage(&image, &size, &format, -18, pcm, 4), -1);
  EXPECT_EQ(BuildWaveImage(&image, &size, &format, 18, pcm, kMaxSoundBlockBytes), -1);
}

TEST(SoundConvertTest, ReadWholeStreamTakesEveryByte) {
  std::vector<uint8_t> data(70001);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31);
  MemoryStream* stream = OpenMemoryStream(data.data(), static_cast<int32_t>(data.size()));
  const StreamHandle h = MemoryStreamHandle(stream);
  SeekMemoryStream(h, 500, 0);
  uint8_t* block = nullptr;
  int64_t size = 0;
  ASSERT_EQ(ReadWholeStream(GetMemoryStreamOps(), h, &block, &size), 0);
  EXPECT_EQ(std::vector<uint8_t>(block, block + size), data);
  TrackedFree(block);
  CloseMemoryStream(h);
}

TEST(SoundConvertTest, CallsOnAClosedConverter) {
  SoundConvert convert;
  uint8_t buffer[8];
  uint8_t* pcm = nullptr;
  int64_t size = 0;
  EXPECT_EQ(ReadSoundConvert(&convert, buffer, 8), -1);
  EXPECT_EQ(CloseSoundConvert(&convert), -1);
  EXPECT_EQ(GetSoundConvertSize(&convert), 0);
  EXPECT_EQ(ConvertSoundToPcm(&convert, nullptr, &pcm, &size), -1);
  SeekSoundConvert(&convert, 100);
  EXPECT_EQ(convert.position, 0);
  EXPECT_EQ(FinishWaveCapture(), -1);

  // A failed open leaves the converter closed.
  OpenSound nothing(std::vector<uint8_t>(100, 0x20));
  EXPECT_EQ(nothing.Open(), -1);
  EXPECT_EQ(nothing->valid, 0);
  EXPECT_EQ(ReadSoundConvert(nothing.get(), buffer, 8), -1);
}

}  // namespace
