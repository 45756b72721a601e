// Stream sounds in virtual time: the mixer follows the virtual clock, a
// message pass refills every 17 ms, and the output is read back against the
// PCM the sources decode to.
#include <algorithm>
#include <cstring>

#include "engine/core/sound/sound_output.h"
#include "tests/api/sound_test_fixture.h"
#include "tests/sound/sound_test_support.h"

namespace {

using namespace soundapi;

constexpr size_t kRate = 44100;

// The first frame (from `at`) where out differs from pcm[pcm_at..], or -1
// when count frames agree.
int64_t FirstMismatch(const std::vector<int16_t>& out, size_t at, const std::vector<int16_t>& pcm, size_t pcm_at,
                      size_t count) {
  if (2 * (at + count) > out.size() || 2 * (pcm_at + count) > pcm.size()) return -2;
  for (size_t i = 0; i < 2 * count; ++i) {
    if (out[2 * at + i] != pcm[2 * pcm_at + i]) return static_cast<int64_t>(at + i / 2);
  }
  return -1;
}

int64_t FirstNonZero(const std::vector<int16_t>& out, size_t from) {
  for (size_t i = 2 * from; i < out.size(); ++i) {
    if (out[i] != 0) return static_cast<int64_t>(i / 2);
  }
  return -1;
}

class StreamSoundTest : public SoundFixture {
 protected:
  void SetUp() override {
    SoundFixture::SetUp();
    ASSERT_EQ(InitializeSound(), 0);
    ASSERT_EQ(SetSoundLoadMode(2), 0);
  }
  // A stream sound of the signal; its image is kept for the test's life.
  int LoadStream(const std::vector<int16_t>& pcm, int share = -1) {
    images_.push_back(Wave(2, 44100, 16, writers::Pcm16Bytes(pcm)));
    return ImportSoundWithBuffers(images_.back().data(), static_cast<int32_t>(images_.back().size()), 1, share);
  }
  // Starts a play and reads the output back after `milliseconds` of passes.
  std::vector<int16_t> PlayFor(int handle, int type, int restart, int milliseconds) {
    GetSoundMixer()->TakeOutput();
    EXPECT_EQ(PlaySoundHandle(handle, type, restart), 0);
    RunPasses(milliseconds);
    return GetSoundMixer()->TakeOutput();
  }
  std::vector<std::vector<uint8_t>> images_;
};

TEST(StreamSoundArithmetic, SizesOfTheBufferUnitAndPrime) {
  struct Case {
    int64_t a, b, unit, prime;
  } cases[] = {{176400, 4, 22048, 705600}, {44100, 2, 5512, 176400}, {22050, 1, 2756, 88200}, {192000, 4, 24000, 768000}};
  for (const Case& c : cases) {
    EXPECT_EQ(StreamUnitSize(c.a, c.b), c.unit) << c.a;
    EXPECT_EQ(StreamPrimeSize(c.a, c.b), c.prime) << c.a;
  }
  struct Lead {
    int64_t lead, fill;
  } leads[] = {{88200, 441000}, {22048, 508528}, {0, 529200}, {529200, 22048}, {705600, 22048}};
  for (const Lead& l : leads) EXPECT_EQ(StreamRefillSize(176400, 4, l.lead), l.fill) << l.lead;
}

TEST(StreamSoundArithmetic, PlayedBytesFollowTheCursorAndTheWrap) {
  struct Case {
    bool wrap;
    int64_t played, last, wrap_at, cursor;
    int64_t expected;
    bool wrap_after;
  } cases[] = {
      {true, 0, 400000, 500000, 600000, 100000, false},
      {true, 0, 1000000, 1020000, 50000, 88400, false},
      {false, 10, 1058000, 0, 1000, 1410, false},
      {true, 500, 400000, 700000, 600000, 200500, true},  // wrap not reached yet: played grows
      {true, 0, 100000, 700000, 900000, 200000, false},
  };
  for (const Case& c : cases) {
    std::unique_ptr<SoundRecord> record(new SoundRecord());
    record->wrap_pending = c.wrap;
    record->played = c.played;
    record->last_cursor = c.last;
    record->wrap_position = c.wrap_at;
    AdvanceStreamPlayed(record.get(), 1058400, c.cursor);
    EXPECT_EQ(record->played, c.expected) << c.last << " " << c.cursor;
    EXPECT_EQ(record->wrap_pending != 0, c.wrap_after) << c.last << " " << c.cursor;
    EXPECT_EQ(record->last_cursor, c.cursor);
  }
}

TEST_F(StreamSoundTest, LoadPrimesFourSecondsAndRefusesCursorsOutsideTheWindow) {
  const std::vector<int16_t> pcm = writers::TestSignal(10 * kRate, 2, 3);
  const int h = LoadStream(pcm);
  ASSERT_NE(h, -1);
  SoundRecord* record = FindSoundRecord(h);
  ASSERT_EQ(record->kind, 1);
  EXPECT_EQ(record->buffer_size, 1058400);
  EXPECT_EQ(record->write_position, 705600);
  EXPECT_EQ(record->safe_position, 0);
  platform::AudioLock lock;
  ASSERT_EQ(LockSoundBuffer(record->buffers[0], 0, 705600, &lock), 0);
  EXPECT_EQ(std::memcmp(lock.bytes.data(), writers::Pcm16Bytes(pcm).data(), 705600), 0);

  // Positions: played bytes against A.
  record->played = 88200;
  EXPECT_EQ(GetSoundPositionMs(h), 500);
  record->played = 176399;
  EXPECT_EQ(GetSoundPositionMs(h), 999);
  record->played = 0;

  ASSERT_EQ(PlaySoundBuffer(record->buffers[0], 1), 0);
  ASSERT_EQ(SetSoundBufferPosition(record->buffers[0], 900000), 0);
  record->last_cursor = 900000;
  EXPECT_EQ(RefillStreamSound(h), -1);
  EXPECT_EQ(record->write_position, 705600);
}

TEST_F(StreamSoundTest, PlayOnceGivesTheDataThenSilenceThenStops) {
  const std::vector<int16_t> pcm = writers::TestSignal(5 * kRate, 2, 4);
  const int h = LoadStream(pcm);
  GetSoundMixer()->TakeOutput();
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
  int stopped_at = -1;
  for (int t = 17; t <= 20000; t += 17) {
    clock_.Advance(17);
    RefillAllStreamSounds();
    if (stopped_at < 0 && IsSoundPlaying(h) == 0) stopped_at = t;
  }
  const std::vector<int16_t> out = GetSoundMixer()->TakeOutput();
  EXPECT_EQ(FirstMismatch(out, 0, pcm, 0, 5 * kRate), -1);
  EXPECT_EQ(FirstNonZero(out, 5 * kRate), -1);  // never stale data
  EXPECT_GE(stopped_at, 5000);
  EXPECT_LE(stopped_at, 5017);
}

TEST_F(StreamSoundTest, LoopingWithoutLoopStartRestartsAtTheTop) {
  const std::vector<int16_t> pcm = writers::TestSignal(5 * kRate, 2, 5);
  const int h = LoadStream(pcm);
  GetSoundMixer()->TakeOutput();
  ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
  RunPasses(5508);
  EXPECT_NEAR(GetSoundPositionMs(h), 508, 17);  // back to 0 after the wrap
  RunPasses(20000 - 5508);
  const std::vector<int16_t> out = GetSoundMixer()->TakeOutput();
  for (size_t lap = 0; lap < 3; ++lap) {
    EXPECT_EQ(FirstMismatch(out, lap * 5 * kRate, pcm, 0, 5 * kRate), -1) << lap;
  }
  EXPECT_EQ(IsSoundPlaying(h), 1);
}

TEST_F(StreamSoundTest, LoopStartRepeatsTheTailAndThePositionStaysAtTheLength) {
  const std::vector<int16_t> pcm = writers::TestSignal(5 * kRate, 2, 6);
  const int h = LoadStream(pcm);
  ASSERT_EQ(SetSoundLoopStartMs(2000, h), 0);
  const std::vector<int16_t> out = PlayFor(h, 3, 1, 20000);
  EXPECT_EQ(FirstMismatch(out, 0, pcm, 0, 5 * kRate), -1);
  for (size_t lap = 0; lap < 4; ++lap) {
    EXPECT_EQ(FirstMismatch(out, (5 + 3 * lap) * kRate, pcm, 2 * kRate, 3 * kRate), -1) << lap;
  }
  EXPECT_EQ(GetSoundPositionMs(h), 5000);
  EXPECT_EQ(GetSoundLengthMs(h), 5000);
}

TEST_F(StreamSoundTest, SourcesPlayInOrderWithTheirRepeatCounts) {
  const std::vector<int16_t> a = writers::TestSignal(kRate, 2, 7);
  const std::vector<int16_t> b = writers::TestSignal(kRate / 2, 2, 8);
  const std::vector<int16_t> c = writers::TestSignal(2 * kRate, 2, 9);
  const int h = LoadStream(a);
  FindSoundRecord(h)->sources[0].repeat_count = 1;
  for (const auto* pcm : {&b, &c}) {
    images_.push_back(Wave(2, 44100, 16, writers::Pcm16Bytes(*pcm)));
    ASSERT_EQ(AddStreamSoundFromImage(images_.back().data(), static_cast<int32_t>(images_.back().size()),
                                      pcm == &b ? 2 : 0, h, 2, -1),
              0);
  }
  EXPECT_EQ(GetSoundLengthMs(h), 3500);
  // The prime at load held only the first source: start from the top.
  ASSERT_EQ(SetSoundPositionMs(0, h), 0);
  const std::vector<int16_t> out = PlayFor(h, 1, 1, 12000);
  size_t at = 0;
  for (const auto* pcm : {&a, &a, &b, &b, &b, &c}) {
    const size_t frames = pcm->size() / 2;
    EXPECT_EQ(FirstMismatch(out, at, *pcm, 0, frames), -1) << at;
    at += frames;
  }
  EXPECT_EQ(FirstNonZero(out, at), -1);
}

TEST_F(StreamSoundTest, ASoundThatEndedInItsPrimeWaitsIntactForItsPlay) {
  const std::vector<int16_t> pcm = writers::TestSignal(kRate, 2, 17);
  const int h = LoadStream(pcm);
  ASSERT_EQ(FindSoundRecord(h)->end_phase, 1);
  RunPasses(3000);  // passes before any play write nothing
  for (int restart : {0, 1}) {
    const std::vector<int16_t> out = PlayFor(h, 1, restart, 1500);
    EXPECT_EQ(FirstMismatch(out, 0, pcm, 0, kRate), -1) << restart;
    EXPECT_EQ(FirstNonZero(out, kRate), -1) << restart;
    EXPECT_EQ(IsSoundPlaying(h), 0) << restart;
  }
}

TEST_F(StreamSoundTest, TypeChangesRestartsAndResumes) {
  const std::vector<int16_t> pcm = writers::TestSignal(2 * kRate, 2, 10);
  const int h = LoadStream(pcm);
  std::vector<int16_t> out = PlayFor(h, 1, 1, 4012);
  ASSERT_EQ(IsSoundPlaying(h), 0);
  // Once over, looping starts again from the top even without restart.
  out = PlayFor(h, 3, 0, 3009);
  EXPECT_EQ(FirstMismatch(out, 0, pcm, 0, 2 * kRate), -1);
  EXPECT_EQ(FirstMismatch(out, 2 * kRate, pcm, 0, kRate), -1);

  // Stop, then play with restart 0: it goes on where it stopped.
  ASSERT_EQ(HaltSoundHandle(h), 0);
  RunPasses(510);
  const int position = GetSoundPositionMs(h);
  uint32_t stopped_at = 0;
  GetSoundBufferCursors(FindSoundRecord(h)->buffers[0], &stopped_at, nullptr);
  EXPECT_NEAR(stopped_at / 4.0, 3009 * 44.1, 1.0);  // the buffer holds the sound twice over
  out = PlayFor(h, 3, 0, 510);
  const int64_t resumed_frame = stopped_at / 4 % (2 * kRate);
  EXPECT_EQ(FirstMismatch(out, 0, pcm, static_cast<size_t>(resumed_frame), 500 * 441 / 10), -1);
  EXPECT_GE(GetSoundPositionMs(h), position);

  // A new play with restart 1 starts from the top and so does the position.
  out = PlayFor(h, 3, 1, 1003);
  EXPECT_EQ(FirstMismatch(out, 0, pcm, 0, kRate), -1);
  EXPECT_NEAR(GetSoundPositionMs(h), 1003, 17);
}

TEST_F(StreamSoundTest, RefusalsAndTheirLogLines) {
  const std::vector<int16_t> pcm = writers::TestSignal(kRate / 4, 2, 11);
  const std::vector<uint8_t> image = Wave(2, 44100, 16, writers::Pcm16Bytes(pcm));
  const std::vector<uint8_t> other_rate = Wave(2, 22050, 16, writers::Pcm16Bytes(pcm));
  const auto size = static_cast<int32_t>(image.size());
  const int h = LoadStream(pcm);
  ASSERT_EQ(AddStreamSoundFromImage(image.data(), size, 0, h, 2, -1), 0);
  ASSERT_EQ(AddStreamSoundFromImage(image.data(), size, 0, h, 2, -1), 0);
  struct Case {
    const char* name;
    std::function<int()> call;
    const char* line;
  } cases[] = {
      {"fourth source", [&] { return AddStreamSoundFromImage(image.data(), size, 0, h, 2, -1); },
       "ストリーム風サウンドの制御データ領域がいっぱいです"},
      {"loop start on three sources", [&] { return SetSoundLoopStartMs(10, h); },
       "二つ以上の音声ファイルから作成されたサウンドハンドルにループポイントを指定する事は出来ません"},
      {"other format",
       [&] {
         const int two = LoadStream(pcm);
         return AddStreamSoundFromImage(other_rate.data(), static_cast<int32_t>(other_rate.size()), 0, two, 2, -1);
       },
       "フォーマットの違う音声データは同時に使うことは出来ません"},
      {"added while playing",
       [&] {
         const int playing = LoadStream(pcm);
         PlaySoundHandle(playing, 3, 1);
         return AddStreamSoundFromImage(image.data(), size, 0, playing, 2, -1);
       },
       "既に再生中のストリームサウンドデータにデータを追加しようとしました"},
      {"not a sound file",
       [&] {
         static const std::vector<uint8_t> junk(100, 0x33);
         return ImportSoundFromMemory(junk.data(), 100, -1) == -1 ? -1 : 0;
       },
       "音声データのオープンに失敗しました"},
  };
  for (const Case& c : cases) {
    CreateLogFile();
    EXPECT_EQ(c.call(), -1) << c.name;
    EXPECT_NE(ReadLog().find(c.line), std::string::npos) << c.name;
  }
  EXPECT_EQ(SetSoundLoadMode(4), -1);
  EXPECT_EQ(SetSoundLoadMode(-1), -1);
  EXPECT_EQ(GetSoundLoadMode(), 2);
}

TEST_F(StreamSoundTest, LoopStartArithmeticInSixtyFourBits) {
  // 60,000 ms at 44,100 Hz is 2,646,000 samples, past 32-bit products.
  const std::vector<uint8_t> image = Wave(1, 44100, 8, std::vector<uint8_t>(3000000, 0x80));
  const int h = ImportSoundFromMemory(image.data(), static_cast<int32_t>(image.size()), -1);
  ASSERT_NE(h, -1);
  EXPECT_EQ(SetSoundLoopStartMs(-5, h), -1);
  ASSERT_EQ(SetSoundLoopStartMs(60000, h), 0);
  EXPECT_EQ(FindSoundRecord(h)->sources[0].loop_start, 2646000);
  EXPECT_EQ(SetSoundLoopStartMs(70000, h), -1);  // past the end
  EXPECT_EQ(SetSoundPositionMs(-1, h), -1);
}

TEST_F(StreamSoundTest, EightBitStreamsPadWithSilenceOf0x7F) {
  images_.push_back(Wave(1, 22050, 8, std::vector<uint8_t>(1000, 0x90)));
  const int h = ImportSoundFromMemory(images_.back().data(), static_cast<int32_t>(images_.back().size()), -1);
  SoundRecord* record = FindSoundRecord(h);
  platform::AudioLock lock;
  ASSERT_EQ(LockSoundBuffer(record->buffers[0], 0, 4000, &lock), 0);
  EXPECT_EQ(lock.bytes[999], 0x90);
  EXPECT_EQ(lock.bytes[1000], 0x7F);
  EXPECT_EQ(lock.bytes[3999], 0x7F);
}

TEST_F(StreamSoundTest, SharingPlaysThroughTheOwnersBufferAndDefersItsDeletion) {
  const std::vector<int16_t> first = writers::TestSignal(kRate, 2, 12);
  const std::vector<int16_t> second = writers::TestSignal(kRate, 2, 13);
  const int owner = LoadStream(first);
  const int sharer = LoadStream(second, owner);
  ASSERT_NE(sharer, -1);
  EXPECT_EQ(FindSoundRecord(sharer)->owner, owner);
  EXPECT_FALSE(FindSoundRecord(sharer)->buffers[0].valid);
  EXPECT_EQ(FindSoundRecord(owner)->share_count, 1);
  const std::vector<int16_t> out = PlayFor(sharer, 1, 1, 500);
  EXPECT_EQ(FirstMismatch(out, 0, second, 0, kRate / 2), -1);
  EXPECT_EQ(IsSoundPlaying(sharer), 1);
  EXPECT_EQ(IsSoundPlaying(owner), 0);
  // The owner playing takes its buffer back.
  const std::vector<int16_t> back = PlayFor(owner, 1, 1, 300);
  EXPECT_EQ(FirstMismatch(back, 0, first, 0, kRate / 4), -1);
  EXPECT_EQ(IsSoundPlaying(sharer), 0);

  ASSERT_EQ(FreeSoundHandle(owner, 0), 0);
  EXPECT_NE(FindSoundRecord(owner), nullptr);  // deferred while shared
  EXPECT_EQ(GetSoundHandleCount(), 2);
  ASSERT_EQ(FreeSoundHandle(sharer, 0), 0);
  EXPECT_EQ(GetSoundHandleCount(), 0);
  EXPECT_EQ(GetSoundUsedArea(), 0);
}

TEST_F(StreamSoundTest, OggLengthAndPositions) {
  const std::vector<int16_t> pcm = writers::TestSignal(441000, 1, 14);
  images_.push_back(writers::EncodeOggVorbis(pcm, 1, 44100, 0.1f));
  const int h = ImportSoundFromMemory(images_.back().data(), static_cast<int32_t>(images_.back().size()), -1);
  ASSERT_NE(h, -1);
  EXPECT_EQ(GetSoundLengthMs(h), 11000);  // one second more than the data
  EXPECT_EQ(SetSoundPositionMs(10500, h), -1);
  ASSERT_EQ(SetSoundPositionMs(2500, h), 0);
  SoundRecord* record = FindSoundRecord(h);
  EXPECT_EQ(record->taken, 2 * 110250);
  EXPECT_EQ(record->played, 220500);
  EXPECT_EQ(record->started, 0);
}

TEST_F(StreamSoundTest, SourcesThatYieldNothingEndWithoutHanging) {
  const std::vector<int16_t> pcm = writers::TestSignal(kRate, 2, 15);
  const std::vector<uint8_t> ogg = writers::EncodeOggVorbis(pcm, 2, 44100, 0.1f);
  const std::vector<uint8_t> half(ogg.begin(), ogg.begin() + static_cast<ptrdiff_t>(ogg.size() / 2));
  struct Case {
    const char* name;
    std::vector<uint8_t> image;
    int64_t loop_start;  // samples, -1 none
    int type;
    int playing_after;  // after three seconds; -1 either
  } cases[] = {
      {"empty data chunk, looping", Wave(2, 44100, 16, {}), -1, 3, 0},
      {"empty data chunk, once", Wave(2, 44100, 16, {}), -1, 1, 0},
      {"truncated ogg, once", half, -1, 1, 0},
      {"truncated ogg, looping", half, -1, 3, -1},
      {"loop start past the decodable end", ogg, 44100 + 20000, 3, 0},
  };
  for (const Case& c : cases) {
    images_.push_back(c.image);
    const int h = ImportSoundFromMemory(images_.back().data(), static_cast<int32_t>(images_.back().size()), -1);
    ASSERT_NE(h, -1) << c.name;
    if (c.loop_start >= 0) {
      ASSERT_EQ(SetSoundLoopStartSamples(c.loop_start, h), 0) << c.name;
    }
    ASSERT_EQ(PlaySoundHandle(h, c.type, 1), 0) << c.name;
    RunPasses(3000);
    if (c.playing_after >= 0) {
      EXPECT_EQ(IsSoundPlaying(h), c.playing_after) << c.name;
    }
    FreeSoundHandle(h, 0);
  }
}

TEST_F(StreamSoundTest, OggWithLoopStartPlaysAVirtualMinute) {
  const std::vector<int16_t> signal = writers::TestSignal(3 * kRate, 2, 16);
  images_.push_back(writers::EncodeOggVorbis(signal, 2, 44100, 0.3f));
  soundtest::OpenSound decoded(images_.back());
  ASSERT_EQ(decoded.Open(), 0);
  const std::vector<int16_t> pcm = writers::Pcm16Samples(decoded.ReadAll());
  const size_t frames = pcm.size() / 2;
  ASSERT_GT(frames, 2 * kRate);

  const int h = ImportSoundFromMemory(images_.back().data(), static_cast<int32_t>(images_.back().size()), -1);
  ASSERT_EQ(SetSoundLoopStartMs(1000, h), 0);
  SetSoundVolume(255, h);
  const std::vector<int16_t> out = PlayFor(h, 3, 1, 60000);
  ASSERT_GE(out.size(), 2 * 60 * kRate);
  EXPECT_EQ(FirstMismatch(out, 0, pcm, 0, frames), -1);
  size_t at = frames;
  int laps = 0;
  while (at + (frames - kRate) <= 60 * kRate) {
    ASSERT_EQ(FirstMismatch(out, at, pcm, kRate, frames - kRate), -1) << "lap " << laps;
    at += frames - kRate;
    ++laps;
  }
  EXPECT_GT(laps, 20);
}

}  // namespace
