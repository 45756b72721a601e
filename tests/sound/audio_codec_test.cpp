// The audio codecs behind compressed WAVE files, through OpenSoundConvert:
// G.711, float, wide and extensible PCM, IMA and Microsoft ADPCM, MPEG in a
// WAVE file, and the formats refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "sound_test_support.h"

namespace {

using soundtest::OpenSound;
using writers::AdpcmFile;
using writers::WaveFile;
using writers::WaveFmt;

WaveFmt Fmt(uint16_t tag, uint16_t channels, uint16_t bits, uint16_t block_align, std::vector<uint8_t> extra = {}) {
  WaveFmt f;
  f.tag = tag;
  f.channels = channels;
  f.rate = 22050;
  f.bits = bits;
  f.block_align = block_align;
  f.extra = std::move(extra);
  return f;
}

std::vector<int16_t> DecodeAll(const std::vector<uint8_t>& file, int expect_channels) {
  OpenSound sound(file);
  EXPECT_EQ(sound.Open(), 0);
  EXPECT_EQ(sound->kind, kSoundConvertAcm);
  EXPECT_EQ(sound->format.format_tag, 1);
  EXPECT_EQ(sound->format.channels, expect_channels);
  EXPECT_EQ(sound->format.bits_per_sample, 16);
  EXPECT_EQ(sound->format.samples_per_sec, 22050u);
  const std::vector<uint8_t> pcm = sound.ReadAll(1000);
  EXPECT_EQ(GetSoundConvertSize(sound.get()), static_cast<int64_t>(pcm.size()));
  return writers::Pcm16Samples(pcm);
}

// ---- G.711 -------------------------------------------------------------------

// The code's interval midpoint on the 16-bit scale, from the segment and
// mantissa fields (A-law codes are stored with every other bit inverted,
// mu-law codes with every bit inverted).
double ALawReference(uint8_t code) {
  const int a = code ^ 0x55;
  const int segment = (a >> 4) & 7, mantissa = a & 15;
  const double magnitude = segment == 0 ? (mantissa + 0.5) * 16 : std::ldexp(mantissa + 16.5, segment + 3);
  return (a & 0x80) ? magnitude : -magnitude;
}
double MuLawReference(uint8_t code) {
  const int u = ~code & 0xFF;
  const int segment = (u >> 4) & 7, mantissa = u & 15;
  const double magnitude = std::ldexp(mantissa + 16.5, segment + 3) - 132;
  return (u & 0x80) ? -magnitude : magnitude;
}

TEST(AudioCodecTest, EveryG711CodeDecodesToItsIntervalMidpoint) {
  std::vector<uint8_t> codes(256);
  for (int i = 0; i < 256; ++i) codes[i] = static_cast<uint8_t>(i);
  for (uint16_t tag : {6, 7}) {
    SCOPED_TRACE(tag);
    const std::vector<int16_t> out = DecodeAll(WaveFile(Fmt(tag, 1, 8, 1), codes), 1);
    ASSERT_EQ(out.size(), 256u);
    for (int i = 0; i < 256; ++i) {
      const double expect = tag == 6 ? ALawReference(static_cast<uint8_t>(i)) : MuLawReference(static_cast<uint8_t>(i));
      EXPECT_EQ(out[i], expect) << "code " << i;
    }
  }
}

TEST(AudioCodecTest, G711EncodedSignalComesBackWithinItsStep) {
  const std::vector<int16_t> signal = writers::TestSignal(3000, 2, 5);
  for (uint16_t tag : {6, 7}) {
    SCOPED_TRACE(tag);
    std::vector<uint8_t> codes;
    for (int16_t s : signal) codes.push_back(tag == 6 ? writers::EncodeALaw(s) : writers::EncodeMuLaw(s));
    const std::vector<int16_t> out = DecodeAll(WaveFile(Fmt(tag, 2, 8, 2), codes), 2);
    ASSERT_EQ(out.size(), signal.size());
    for (size_t i = 0; i < out.size(); ++i) {
      // Steps are at most 1/16 of the magnitude (and 16 or less near zero).
      EXPECT_LE(std::abs(out[i] - signal[i]), std::max(16, std::abs(signal[i]) / 16)) << i;
    }
  }
}

// ---- float and wide PCM ------------------------------------------------------------

TEST(AudioCodecTest, FloatsClampThenRound) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double in;
    int16_t out;
  } cases[] = {{0.0, 0},         {1.0, 32767},         {-1.0, -32767}, {2.5, 32767},  {-7.0, -32767},
               {0.5, 16384},     {-0.5, -16384},       {1e-6, 0},      {inf, 32767},  {-inf, -32767},
               {std::nan(""), 0}, {0.25, 8192},        {-0.25, -8192}, {1.0 / 32767, 1}};
  for (int bits : {32, 64}) {
    SCOPED_TRACE(bits);
    std::vector<uint8_t> data;
    for (const auto& c : cases) {
      uint8_t bytes[8];
      if (bits == 32) {
        const float f = static_cast<float>(c.in);
        std::memcpy(bytes, &f, 4);
      } else {
        std::memcpy(bytes, &c.in, 8);
      }
      data.insert(data.end(), bytes, bytes + bits / 8);
    }
    // Mono float, then the same as the float sub-format of the extensible layout.
    std::vector<uint8_t> extensible = {static_cast<uint8_t>(bits), 0, 4, 0, 0, 0, 3, 0, 0, 0,    0,   0,
                                       0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    for (const WaveFmt& fmt : {Fmt(3, 1, static_cast<uint16_t>(bits), static_cast<uint16_t>(bits / 8)),
                               Fmt(0xFFFE, 1, static_cast<uint16_t>(bits), static_cast<uint16_t>(bits / 8), extensible)}) {
      const std::vector<int16_t> out = DecodeAll(WaveFile(fmt, data), 1);
      ASSERT_EQ(out.size(), std::size(cases));
      for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i], cases[i].out) << cases[i].in;
    }
  }
}

TEST(AudioCodecTest, WideIntegersKeepTheirTopSixteenBits) {
  const std::vector<uint8_t> extensible24 = {24, 0, 3, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  const std::vector<uint8_t> data32 = {0x44, 0x33, 0x22, 0x11, 0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0x7F,
                                       0x01, 0x00, 0xFF, 0xFF};
  EXPECT_EQ(DecodeAll(WaveFile(Fmt(1, 2, 32, 8), data32), 2), (std::vector<int16_t>{0x1122, -32768, 32767, -1}));
  const std::vector<uint8_t> data24 = {0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x00, 0xFF, 0xFF};
  EXPECT_EQ(DecodeAll(WaveFile(Fmt(0xFFFE, 2, 24, 6, extensible24), data24), 2),
            (std::vector<int16_t>{0x1234, -32768, 32767, -1}));
}

// ---- ADPCM ---------------------------------------------------------------------

TEST(AudioCodecTest, ImaNibblesLowFirst) {
  // Header: sample 0, step index 0; then codes 1 and 2 and six zeros.
  const std::vector<uint8_t> block = {0x00, 0x00, 0x00, 0x00, 0x21, 0x00, 0x00, 0x00};
  const std::vector<int16_t> out = DecodeAll(WaveFile(Fmt(0x11, 1, 4, 8, {9, 0}), block), 1);
  // step 7: code 1 adds 7/8 + 7/4 -> 1; code 2 adds 7/8 + 7/2 -> 3.
  EXPECT_EQ(out, (std::vector<int16_t>{0, 1, 4, 4, 4, 4, 4, 4, 4}));
}

TEST(AudioCodecTest, MicrosoftNibblesHighFirstAfterTheTwoHeaderSamples) {
  // Predictor 0 (256, 0), delta 16, sample 1 = 100, sample 2 = 50, nibbles +1, -1.
  const std::vector<uint8_t> extra = {4, 0, 1, 0, 0x00, 0x01, 0x00, 0x00};
  const std::vector<uint8_t> block = {0, 16, 0, 100, 0, 50, 0, 0x1F};
  EXPECT_EQ(DecodeAll(WaveFile(Fmt(2, 1, 4, 8, extra), block), 1), (std::vector<int16_t>{50, 100, 116, 100}));
}

struct AdpcmCase {
  const char* name;
  bool ima;
  int channels;
  uint16_t block_align;
  size_t frames;  // not a whole number of blocks: the last one is partial
};

const AdpcmCase kAdpcmCases[] = {
    {"IMA mono", true, 1, 256, 5000},
    {"IMA stereo", true, 2, 512, 4100},
    {"IMA partial block of one frame", true, 2, 512, 2 * 505 + 1},
    {"Microsoft mono", false, 1, 256, 5001},
    {"Microsoft stereo", false, 2, 512, 4321},
    {"Microsoft partial block of one frame", false, 1, 256, 500 + 1},
};

AdpcmFile Encode(const AdpcmCase& c) {
  const std::vector<int16_t> signal = writers::TestSignal(c.frames, c.channels, 11);
  return c.ima ? writers::EncodeImaAdpcm(signal, c.channels, 22050, c.block_align)
               : writers::EncodeMsAdpcm(signal, c.channels, 22050, c.block_align);
}

TEST(AudioCodecTest, AdpcmDecodesAsTheEncoderTracked) {
  for (const AdpcmCase& c : kAdpcmCases) {
    SCOPED_TRACE(c.name);
    const std::vector<int16_t> signal = writers::TestSignal(c.frames, c.channels, 11);
    const AdpcmFile file = Encode(c);
    const std::vector<int16_t> out = DecodeAll(WaveFile(file.fmt, file.data), c.channels);
    ASSERT_EQ(out, file.decoded);
    ASSERT_GE(out.size(), signal.size());
    // Each block starts with samples stored verbatim (one for IMA, two for
    // Microsoft), and the rest follows the signal closely.
    const size_t ch = static_cast<size_t>(c.channels);
    const size_t per_block = c.ima ? 1 + (c.block_align - 4 * ch) * 2 / ch : 2 + (c.block_align - 7 * ch) * 2 / ch;
    for (size_t frame = 0; frame < c.frames; frame += per_block) {
      for (size_t k = 0; k < (c.ima ? 1u : 2u) && frame + k < c.frames; ++k)
        for (int ch = 0; ch < c.channels; ++ch)
          EXPECT_EQ(out[(frame + k) * c.channels + ch], signal[(frame + k) * c.channels + ch]) << frame;
    }
    double error = 0, power = 0;
    for (size_t i = 0; i < signal.size(); ++i) {
      error += std::pow(out[i] - signal[i], 2);
      power += std::pow(signal[i], 2);
    }
    EXPECT_GT(10 * std::log10(power / error), 20.0);  // signal-to-noise in dB
  }
}

TEST(AudioCodecTest, AdpcmSeeksLandInsideBlocks) {
  for (const AdpcmCase& c : kAdpcmCases) {
    SCOPED_TRACE(c.name);
    const AdpcmFile file = Encode(c);
    const std::vector<uint8_t> expect = writers::Pcm16Bytes(file.decoded);
    const int64_t frames = static_cast<int64_t>(file.decoded.size()) / c.channels;
    OpenSound sound(WaveFile(file.fmt, file.data));
    ASSERT_EQ(sound.Open(), 0);
    const int64_t frame_bytes = 2 * c.channels;
    // Backwards, forwards, into the middle of blocks, onto the partial block,
    // to the last frame and past the end.
    // (No target lies within 16 bytes of where the read before it ended.)
    for (int64_t target : {frames - 1, int64_t{17}, frames / 2 + 3, int64_t{0}, frames * 3 / 4, frames + 100}) {
      SCOPED_TRACE(target);
      SeekSoundConvert(sound.get(), target);
      const std::vector<uint8_t> got = sound.Read(1000);
      const int64_t from = std::min(target * frame_bytes, static_cast<int64_t>(expect.size()));
      const int64_t count = std::min<int64_t>(1000, static_cast<int64_t>(expect.size()) - from);
      ASSERT_EQ(static_cast<int64_t>(got.size()), count);
      EXPECT_TRUE(std::equal(got.begin(), got.end(), expect.begin() + from));
    }
  }
}

TEST(AudioCodecTest, DamagedAdpcmBlockEndsTheDataThere) {
  // IMA: step index 89 in the second block; Microsoft: predictor 7 of 7.
  const AdpcmCase ima = {"ima", true, 1, 256, 2000};
  const AdpcmCase ms = {"ms", false, 1, 256, 2000};
  for (const AdpcmCase& c : {ima, ms}) {
    SCOPED_TRACE(c.name);
    AdpcmFile file = Encode(c);
    file.data[c.block_align + (c.ima ? 2 : 0)] = c.ima ? 89 : 7;
    OpenSound sound(WaveFile(file.fmt, file.data));
    ASSERT_EQ(sound.Open(), 0);
    const size_t per_block = c.ima ? 505 : 500;
    EXPECT_EQ(sound.ReadAll().size(), per_block * 2);
    // The blocks before the damage still decode after a seek back.
    SeekSoundConvert(sound.get(), 0);
    EXPECT_EQ(sound.ReadAll().size(), per_block * 2);
    // And those after it, sought directly.
    SeekSoundConvert(sound.get(), static_cast<int64_t>(per_block * 2));
    EXPECT_GT(sound.ReadAll().size(), 0u);
  }
}

// ---- MPEG in a WAVE file -----------------------------------------------------------

TEST(AudioCodecTest, MpegInWaveDecodesEveryFrame) {
  const writers::MpegFrameParams params;  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz stereo
  const std::vector<uint8_t> frames = writers::SilentMp3(params, 40);
  WaveFmt fmt = Fmt(0x55, 2, 0, 1, {1, 0, 2, 0, 0, 0, 0xA1, 0x01, 1, 0, 0x71, 0x05});
  fmt.rate = 44100;
  OpenSound sound(WaveFile(fmt, frames));
  ASSERT_EQ(sound.Open(), 0);
  EXPECT_EQ(sound->kind, kSoundConvertAcm);
  EXPECT_EQ(sound->total_samples, 40 * 1152);
  EXPECT_EQ(sound->data_position, 20 + 30 + 8);
  EXPECT_EQ(GetSoundConvertSize(sound.get()), 40 * 1152 * 4);
  const std::vector<uint8_t> pcm = sound.ReadAll();
  EXPECT_EQ(pcm.size(), 40u * 1152 * 4);
  EXPECT_EQ(std::count(pcm.begin(), pcm.end(), 0), static_cast<long>(pcm.size()));

  // A format block that disagrees with the frames: the MPEG reader takes the
  // file, at the frames' own rate and channels.
  fmt.rate = 22050;
  fmt.channels = 1;
  OpenSound disagreeing(WaveFile(fmt, frames));
  ASSERT_EQ(disagreeing.Open(), 0);
  EXPECT_EQ(disagreeing->kind, kSoundConvertAcm);
  EXPECT_EQ(disagreeing->data_position, 20 + 30 + 8);
  EXPECT_EQ(disagreeing->format.samples_per_sec, 44100u);
  EXPECT_EQ(disagreeing->format.channels, 2);
  EXPECT_EQ(disagreeing.ReadAll().size(), 40u * 1152 * 4);
}

// ---- refused formats --------------------------------------------------------------

TEST(AudioCodecTest, FormatsNoCodecTakesAreRefused) {
  const std::vector<uint8_t> ms_coefficients = {0xF4, 1, 1, 0, 0, 1, 0, 0};  // 500 frames, one pair
  const std::vector<uint8_t> extensible_other = {16, 0, 3, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  const std::vector<uint8_t> extensible_bad_tail = {16, 0, 3, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x72};
  const struct {
    const char* name;
    WaveFmt fmt;
  } cases[] = {
      {"unknown tag", Fmt(0x50, 1, 0, 1)},
      {"three channels", Fmt(6, 3, 8, 3)},
      {"A-law at 16 bits", Fmt(6, 1, 16, 2)},
      {"float at 16 bits", Fmt(3, 1, 16, 2)},
      {"float block align", Fmt(3, 2, 32, 4)},
      {"24-bit block align", Fmt(1, 2, 24, 4)},
      {"IMA at 3 bits", Fmt(0x11, 1, 3, 256, {0xF9, 1})},
      {"IMA samples beyond the block", Fmt(0x11, 1, 4, 256, {0xFA, 1})},
      {"IMA block under its header", Fmt(0x11, 2, 4, 6, {1, 0})},
      {"IMA without samples per block", Fmt(0x11, 1, 4, 256)},
      {"Microsoft samples beyond the block", Fmt(2, 1, 4, 256, {0xF5, 1, 1, 0, 0, 1, 0, 0})},
      {"Microsoft without coefficients", Fmt(2, 1, 4, 256, {0xF4, 1, 0, 0})},
      {"Microsoft coefficients cut", Fmt(2, 1, 4, 256, {0xF4, 1, 2, 0, 0, 1, 0, 0})},
      {"Microsoft one sample per block", Fmt(2, 1, 4, 256, {1, 0, 1, 0, 0, 1, 0, 0})},
      {"Microsoft block under its header", Fmt(2, 2, 4, 13, ms_coefficients)},
      {"extensible of another sub-format", Fmt(0xFFFE, 1, 16, 2, extensible_other)},
      {"extensible identifier damaged", Fmt(0xFFFE, 1, 16, 2, extensible_bad_tail)},
      {"extensible too short", Fmt(0xFFFE, 1, 16, 2, {16, 0})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OpenSound sound(WaveFile(c.fmt, std::vector<uint8_t>(1024, 0x11)));
    EXPECT_EQ(sound.Open(), -1);
  }
  // The same file with the Microsoft format above made whole does open.
  OpenSound whole(WaveFile(Fmt(2, 1, 4, 256, ms_coefficients), std::vector<uint8_t>(1024, 0)));
  EXPECT_EQ(whole.Open(), 0);
}

}  // namespace
