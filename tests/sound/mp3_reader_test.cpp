// MPEG audio files: frame headers, tags around the frames, the frame walk,
// exact sample counts and seeks.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/core/sound/sound_readers.h"
#include "sound_test_support.h"

namespace {

using soundtest::OpenSound;
using writers::MpegFrameParams;
using writers::SilentMp3;

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(Mp3ReaderTest, FrameHeaders) {
  const struct {
    uint8_t bytes[4];
    int result, length, samples, channels, avg_bytes;
  } cases[] = {
      {{0xFF, 0xFB, 0x90, 0x64}, 0, 417, 1152, 2, 16000},  // MPEG-1 layer III 128 kbit/s 44.1 kHz
      {{0xFF, 0xFB, 0x92, 0xC4}, 0, 418, 1152, 1, 16000},  // padded, mono
      {{0xFF, 0xF3, 0x88, 0x44}, 0, 288, 576, 2, 8000},    // MPEG-2 layer III 64 kbit/s 16 kHz
      {{0xFF, 0xFD, 0x90, 0x64}, 0, 522, 1152, 2, 20000},  // MPEG-1 layer II 160 kbit/s
      {{0xFF, 0xFF, 0x40, 0xC4}, 0, 136, 384, 1, 16000},   // MPEG-1 layer I 128 kbit/s
      {{0xFF, 0xFB, 0xF0, 0x64}, -1, 0, 0, 0, 0},          // bit-rate index 15
      {{0xFF, 0xFB, 0x9C, 0x64}, -1, 0, 0, 0, 0},          // sample-rate index 3
      {{0xFF, 0xFB, 0x00, 0x64}, -1, 0, 0, 0, 0},          // free format
      {{0xFF, 0xF9, 0x90, 0x64}, -1, 0, 0, 0, 0},          // layer 0
      {{0xFF, 0xE3, 0x90, 0x64}, -2, 0, 0, 0, 0},          // MPEG-2.5 sync
      {{0xFE, 0xFB, 0x90, 0x64}, -2, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << int(c.bytes[1]) << " " << int(c.bytes[2]) << " " << int(c.bytes[3]));
    Mp3FrameHeader h;
    ASSERT_EQ(ParseMp3FrameHeader(c.bytes, &h), c.result);
    if (c.result != 0) continue;
    EXPECT_EQ(h.length, c.length);
    EXPECT_EQ(h.samples, c.samples);
    EXPECT_EQ(h.channels, c.channels);
    EXPECT_EQ(h.bitrate_kbps * 1000 / 8, c.avg_bytes);
  }
}

TEST(Mp3ReaderTest, Id3TagSetsWhereFramesStart) {
  const uint8_t v4_footer[10] = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 2, 1};
  const uint8_t v3[10] = {'I', 'D', '3', 3, 0, 0x10, 0, 0, 2, 1};
  const uint8_t v4_plain[10] = {'I', 'D', '3', 4, 0, 0x00, 0x7F, 0x7F, 0x7F, 0x7F};
  const uint8_t none[10] = {'I', 'D', '2', 4, 0, 0x10, 0, 0, 2, 1};
  EXPECT_EQ(Mp3ScanStart(v4_footer, 10), 277);
  EXPECT_EQ(Mp3ScanStart(v3, 10), 267);
  EXPECT_EQ(Mp3ScanStart(v4_plain, 10), 10 + (int64_t{1} << 28) - 1);
  EXPECT_EQ(Mp3ScanStart(none, 10), 0);
  EXPECT_EQ(Mp3ScanStart(v3, 9), 0);
}

// Silent frames decode to exactly frames x samples per frame of silence,
// the info frame included.
TEST(Mp3ReaderTest, SilentFilesGiveExactlyTheirFrames) {
  MpegFrameParams mono;
  mono.mono = true;
  MpegFrameParams padded;
  padded.padding = true;
  MpegFrameParams mpeg2;
  mpeg2.mpeg1 = false;
  mpeg2.bitrate_kbps = 64;
  mpeg2.rate = 16000;
  MpegFrameParams mpeg2_mono = mpeg2;
  mpeg2_mono.mono = true;
  const struct {
    const char* name;
    MpegFrameParams params;
    int frames;
    bool info;
    int samples_per_frame, channels;
  } cases[] = {
      {"stereo", MpegFrameParams{}, 50, false, 1152, 2}, {"mono", mono, 33, false, 1152, 1},
      {"padded", padded, 20, false, 1152, 2},          {"info frame", MpegFrameParams{}, 30, true, 1152, 2},
      {"MPEG-2", mpeg2, 41, false, 576, 2},            {"MPEG-2 mono", mpeg2_mono, 7, true, 576, 1},
      {"one frame", MpegFrameParams{}, 1, false, 1152, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OpenSound sound(SilentMp3(c.params, c.frames, c.info));
    ASSERT_EQ(sound.Open(), 0);
    EXPECT_EQ(sound->kind, kSoundConvertAcm);
    EXPECT_EQ(sound->format.channels, c.channels);
    EXPECT_EQ(sound->format.samples_per_sec, static_cast<uint32_t>(c.params.rate));
    EXPECT_EQ(sound->total_samples, int64_t{c.frames} * c.samples_per_frame);
    const int64_t bytes = int64_t{c.frames} * c.samples_per_frame * c.channels * 2;
    EXPECT_EQ(GetSoundConvertSize(sound.get()), bytes);
    const int64_t buffer = int64_t{sound->format.avg_bytes_per_sec} * 4 / 3;
    EXPECT_EQ(sound->buffer_size, buffer - buffer % sound->format.block_align);
    const std::vector<uint8_t> pcm = sound.ReadAll(3001);
    EXPECT_EQ(static_cast<int64_t>(pcm.size()), bytes);
    EXPECT_EQ(std::count(pcm.begin(), pcm.end(), 0), static_cast<long>(pcm.size()));
  }
}

TEST(Mp3ReaderTest, TagsAroundTheFramesAreLeftOut) {
  const std::vector<uint8_t> frames = SilentMp3(MpegFrameParams{}, 12);
  // A footer of an ID3v2.4 tag, and a trailing tag whose text holds bytes
  // that would fail as a frame header if they were scanned.
  std::vector<uint8_t> footer = {'3', 'D', 'I', 4, 0, 0x10, 0, 0, 2, 1};
  std::vector<uint8_t> trailing = writers::Id3v1Tag();
  trailing[3] = 0xFF;
  trailing[4] = 0xF9;
  OpenSound sound(Concat({writers::Id3v2Tag(4, 0x10, 257), footer, frames, trailing}));
  ASSERT_EQ(sound.Open(), 0);
  EXPECT_EQ(sound->data_position, 277);
  EXPECT_EQ(sound->data_size, static_cast<int64_t>(frames.size()));
  EXPECT_EQ(sound->total_samples, 12 * 1152);
  EXPECT_EQ(sound.ReadAll().size(), 12u * 1152 * 4);
}

TEST(Mp3ReaderTest, JunkBeforeAndBetweenFramesIsSkippedByTheScan) {
  const std::vector<uint8_t> frame = SilentMp3(MpegFrameParams{}, 1);
  const std::vector<uint8_t> junk = {1, 2, 3, 0xFF, 0x00, 7};
  OpenSound sound(Concat({junk, frame, frame, junk, frame}));
  ASSERT_EQ(sound.Open(), 0);
  EXPECT_EQ(sound->data_position, 6);
  EXPECT_EQ(sound->data_size, 3 * 417 + 6);
  EXPECT_EQ(sound->total_samples, 3 * 1152);
}

TEST(Mp3ReaderTest, OneBadHeaderFailsTheFile) {
  std::vector<uint8_t> file = SilentMp3(MpegFrameParams{}, 10);
  file[5 * 417 + 2] = 0xF0;  // bit-rate index 15 in the sixth frame
  OpenSound sound(file);
  EXPECT_EQ(sound.Open(), -1);
}

TEST(Mp3ReaderTest, CutLastFrameIsCountedAndDataEndsAtTheFile) {
  std::vector<uint8_t> file = SilentMp3(MpegFrameParams{}, 10);
  file.resize(file.size() - 200);
  OpenSound sound(file);
  ASSERT_EQ(sound.Open(), 0);
  EXPECT_EQ(sound->data_size, static_cast<int64_t>(file.size()));
  EXPECT_EQ(GetSoundConvertSize(sound.get()), 10 * 1152 * 4);
  const std::vector<uint8_t> pcm = soundtest::ConvertWhole(sound.get());
  EXPECT_LE(pcm.size(), 10u * 1152 * 4);
  EXPECT_GE(pcm.size(), 9u * 1152 * 4);
  EXPECT_EQ(pcm.size() % 4, 0u);
}

// Layer I frames carry changing sound: a seek must land on the samples a
// plain decode gives there, in either direction. (The synthesis filter
// remembers a little of the frames before; those the decoder skips can
// leave a last-bit difference, while a sample off in position differs by
// thousands.)
TEST(Mp3ReaderTest, SeeksLandOnTheSamplesOfAPlainDecode) {
  const int kFrames = 300;
  const std::vector<uint8_t> file = writers::ToneMpegLayer1(kFrames, 3);
  OpenSound sound(file);
  ASSERT_EQ(sound.Open(), 0);
  ASSERT_EQ(sound->total_samples, kFrames * 384);
  const std::vector<uint8_t> plain = sound.ReadAll();
  ASSERT_EQ(plain.size(), size_t{kFrames} * 384 * 2);
  ASSERT_GT(std::count_if(plain.begin(), plain.end(), [](uint8_t b) { return b != 0; }), 1000);
  for (int64_t target : {int64_t{100000}, int64_t{384 * 7 + 5}, int64_t{1}, int64_t{384 * 299 + 383}, int64_t{60000},
                         int64_t{384 * 300 + 10}}) {
    SCOPED_TRACE(target);
    SeekSoundConvert(sound.get(), target);
    EXPECT_EQ(sound->position, target * 2);
    const std::vector<int16_t> got = writers::Pcm16Samples(sound.Read(5000));
    const int64_t from = std::min<int64_t>(target, static_cast<int64_t>(plain.size() / 2));
    ASSERT_EQ(static_cast<int64_t>(got.size()), std::min<int64_t>(2500, static_cast<int64_t>(plain.size() / 2) - from));
    const std::vector<int16_t> expect = writers::Pcm16Samples(std::vector<uint8_t>(plain.begin() + from * 2, plain.end()));
    for (size_t i = 0; i < got.size(); ++i) ASSERT_LE(std::abs(got[i] - expect[i]), 2) << i;
  }
}

// A loop back to a point near the end decodes from near that point, not
// from the first frame.
TEST(Mp3ReaderTest, SeekingBackDoesNotDecodeFromTheStart) {
  const std::vector<uint8_t> files[] = {writers::ToneMpegLayer1(3000, 4), SilentMp3(MpegFrameParams{}, 1000)};
  for (const auto& file : files) {
    OpenSound sound(file);
    ASSERT_EQ(sound.Open(), 0);
    const int64_t samples = sound->total_samples;
    sound.ReadAll();
    SeekSoundConvert(sound.get(), samples * 9 / 10);
    const uint64_t before = sound->decoder->SourceBytesRead();
    EXPECT_EQ(sound.Read(4096).size(), 4096u);
    // One output buffer (4/3 s) and a few frames before the target, against
    // nine tenths of the file from the start.
    EXPECT_LT(sound->decoder->SourceBytesRead() - before, file.size() / 10);
  }
}

TEST(Mp3ReaderTest, NothingThatLooksLikeAFrameFails) {
  std::vector<uint8_t> text(5000, 'a');
  OpenSound plain(text);
  EXPECT_EQ(plain.Open(), -1);
  OpenSound tag_only(Concat({writers::Id3v2Tag(3, 0, 100), writers::Id3v1Tag()}));
  EXPECT_EQ(tag_only.Open(), -1);
  OpenSound tag_then_frame(Concat({writers::Id3v2Tag(3, 0, 10), SilentMp3(MpegFrameParams{}, 1)}));
  EXPECT_EQ(tag_then_frame.Open(), 0);
  // The tag claims more than the file holds.
  std::vector<uint8_t> claimed = writers::Id3v2Tag(3, 0, 0);
  claimed[6] = 0x7F;
  OpenSound huge_tag(Concat({claimed, SilentMp3(MpegFrameParams{}, 3)}));
  EXPECT_EQ(huge_tag.Open(), -1);
}

}  // namespace
