// OGG Vorbis files: sizes, decoding against a plain libvorbisfile decode of
// the same image, seeks, and chained streams.
#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <vorbis/vorbisfile.h>

#include <cstring>
#include <map>
#include <vector>

#include "sound_test_support.h"

namespace {

using soundtest::OpenSound;

// Encodes once per shape: the encoder is the slow part of these tests.
const std::vector<uint8_t>& OggOf(size_t frames, int channels, int serial = 0x5EED) {
  static std::map<std::tuple<size_t, int, int>, std::vector<uint8_t>> cache;
  auto& image = cache[{frames, channels, serial}];
  if (image.empty())
    image = writers::EncodeOggVorbis(writers::TestSignal(frames, channels, 9), channels, 44100, 0.3f, serial);
  return image;
}

struct MemoryReader {
  const std::vector<uint8_t>* bytes;
  size_t position = 0;
};

// The whole image decoded by libvorbisfile with its own memory reader.
std::vector<uint8_t> PlainDecode(const std::vector<uint8_t>& image) {
  MemoryReader reader{&image};
  ov_callbacks callbacks{};
  callbacks.read_func = [](void* out, size_t size, size_t count, void* source) -> size_t {
    auto* r = static_cast<MemoryReader*>(source);
    const size_t n = std::min(size * count, r->bytes->size() - r->position);
    std::memcpy(out, r->bytes->data() + r->position, n);
    r->position += n;
    return n / size;
  };
  callbacks.seek_func = [](void* source, ogg_int64_t offset, int origin) -> int {
    auto* r = static_cast<MemoryReader*>(source);
    const int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? static_cast<int64_t>(r->position)
                                                                     : static_cast<int64_t>(r->bytes->size());
    r->position = static_cast<size_t>(std::clamp<int64_t>(base + offset, 0, static_cast<int64_t>(r->bytes->size())));
    return 0;
  };
  callbacks.tell_func = [](void* source) -> long { return static_cast<long>(static_cast<MemoryReader*>(source)->position); };
  OggVorbis_File file;
  std::vector<uint8_t> out;
  if (ov_open_callbacks(&reader, &file, nullptr, 0, callbacks) != 0) return out;
  char buffer[4096];
  int stream = 0;
  long got;
  while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &stream)) > 0) out.insert(out.end(), buffer, buffer + got);
  ov_clear(&file);
  return out;
}

TEST(OggReaderTest, SizeIsOneSecondMoreThanTheStream) {
  for (int channels : {2, 1}) {
    SCOPED_TRACE(channels);
    OpenSound sound(OggOf(100000, channels));
    ASSERT_EQ(sound.Open(), 0);
    EXPECT_EQ(sound->kind, kSoundConvertOgg);
    EXPECT_EQ(sound->format.channels, channels);
    EXPECT_EQ(sound->format.samples_per_sec, 44100u);
    EXPECT_EQ(sound->format.block_align, 2 * channels);
    EXPECT_EQ(sound->format.avg_bytes_per_sec, 88200u * channels);
    EXPECT_EQ(sound->data_size, 100000 * 2 * channels);
    EXPECT_EQ(GetSoundConvertSize(sound.get()), channels == 2 ? 576400 : 288200);
    EXPECT_EQ(sound->buffer_size, 4096);
  }
}

TEST(OggReaderTest, DecodesAsLibvorbisfileDoes) {
  const std::vector<uint8_t>& image = OggOf(100000, 2);
  const std::vector<uint8_t> plain = PlainDecode(image);
  ASSERT_EQ(plain.size(), 400000u);
  OpenSound sound(image);
  ASSERT_EQ(sound.Open(), 0);
  EXPECT_EQ(sound.ReadAll(777), plain);
  OpenSound whole(image);
  ASSERT_EQ(whole.Open(), 0);
  WaveFormatEx format{};
  EXPECT_EQ(soundtest::ConvertWhole(whole.get(), &format), plain);
  EXPECT_EQ(format.block_align, 4);
}

TEST(OggReaderTest, SeeksUnderSixteenBytesAreIgnored) {
  const std::vector<uint8_t>& image = OggOf(20000, 1);
  const std::vector<uint8_t> plain = PlainDecode(image);
  OpenSound sound(image);
  ASSERT_EQ(sound.Open(), 0);
  ASSERT_EQ(sound.Read(15).size(), 15u);
  SeekSoundConvert(sound.get(), 0);  // 15 bytes back: ignored
  EXPECT_EQ(sound.Read(1), std::vector<uint8_t>(plain.begin() + 15, plain.begin() + 16));
  SeekSoundConvert(sound.get(), 0);  // 16 bytes back: honoured
  EXPECT_EQ(sound.Read(4), std::vector<uint8_t>(plain.begin(), plain.begin() + 4));
}

TEST(OggReaderTest, SeeksLandOnTheSamplesOfAPlainDecode) {
  const std::vector<uint8_t>& image = OggOf(100000, 2);
  const std::vector<uint8_t> plain = PlainDecode(image);
  OpenSound sound(image);
  ASSERT_EQ(sound.Open(), 0);
  for (int64_t target : {int64_t{70000}, int64_t{1234}, int64_t{99990}, int64_t{0}, int64_t{50001}}) {
    SCOPED_TRACE(target);
    SeekSoundConvert(sound.get(), target);
    const std::vector<uint8_t> got = sound.Read(20000);
    const int64_t count = std::min<int64_t>(20000, 400000 - target * 4);
    ASSERT_EQ(static_cast<int64_t>(got.size()), count);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), plain.begin() + target * 4));
  }
  // Inside the extra second the size reports, and beyond: nothing to read.
  for (int64_t target : {int64_t{120000}, int64_t{10'000'000}}) {
    SeekSoundConvert(sound.get(), target);
    EXPECT_EQ(sound.Read(100).size(), 0u);
    EXPECT_EQ(sound->end, 1);
  }
  SeekSoundConvert(sound.get(), 10);
  EXPECT_EQ(sound->end, 0);
  EXPECT_EQ(sound.Read(8), std::vector<uint8_t>(plain.begin() + 40, plain.begin() + 48));
}

TEST(OggReaderTest, ChainedStreamEndsWhereTheChannelsChange) {
  std::vector<uint8_t> image = OggOf(50000, 2, 1);
  const std::vector<uint8_t>& second = OggOf(50000, 1, 2);
  image.insert(image.end(), second.begin(), second.end());
  OpenSound sound(image);
  ASSERT_EQ(sound.Open(), 0);
  EXPECT_EQ(sound->format.channels, 2);
  EXPECT_EQ(sound.ReadAll().size(), 50000u * 4);
}

// The total comes from the last page's granule position; a file claiming
// far more samples than it holds must not size the conversion block.
TEST(OggReaderTest, ClaimedLengthDoesNotSizeTheBlock) {
  std::vector<uint8_t> image = OggOf(20000, 2);
  // The last page: find "OggS" from the end, set its granule position, and
  // fix the page checksum.
  size_t page = image.size() - 4;
  while (std::memcmp(image.data() + page, "OggS", 4) != 0) --page;
  const uint64_t claim = uint64_t{1} << 40;
  std::memcpy(image.data() + page + 6, &claim, 8);
  ogg_page og{};
  og.header = image.data() + page;
  og.header_len = 27 + image[page + 26];
  og.body = image.data() + page + og.header_len;
  og.body_len = static_cast<long>(image.size() - page) - og.header_len;
  ogg_page_checksum_set(&og);

  // (Without the true end position the last packet is no longer trimmed.)
  const std::vector<uint8_t> plain = PlainDecode(image);
  ASSERT_GE(plain.size(), 80000u);
  OpenSound sound(image);
  ASSERT_EQ(sound.Open(), 0);
  EXPECT_LE(GetSoundConvertSize(sound.get()), kMaxSoundBlockBytes);
  uint8_t* pcm = nullptr;
  int64_t size = 0;
  ASSERT_EQ(ConvertSoundToPcm(sound.get(), nullptr, &pcm, &size), 0);
  EXPECT_LE(TrackedAllocHeader(pcm)->size, 16 << 20);
  EXPECT_EQ(std::vector<uint8_t>(pcm, pcm + size), plain);
  TrackedFree(pcm);
}

TEST(OggReaderTest, DamagedStreamsFailOrEndEarly) {
  const std::vector<uint8_t>& image = OggOf(100000, 2);
  std::vector<uint8_t> headers_cut(image.begin(), image.begin() + 100);
  OpenSound cut(headers_cut);
  EXPECT_EQ(cut.Open(), -1);
  std::vector<uint8_t> tail_cut(image.begin(), image.begin() + static_cast<long>(image.size() * 2 / 3));
  OpenSound tail(tail_cut);
  ASSERT_EQ(tail.Open(), 0);
  const size_t got = tail.ReadAll().size();
  EXPECT_GT(got, 100000u);
  EXPECT_LT(got, 400000u);
}

}  // namespace
