// Sound start-up, the sound-handle table and normal sounds through the
// entry points, with the mixer following a virtual clock.
#include "engine/api/sound_entry_points.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/core/base/api_lock.h"
#include "engine/core/base/library_state.h"
#include "engine/core/base/log.h"
#include "engine/core/base/start_directory.h"
#include "engine/core/sound/sound_output.h"
#include "engine/core/sound/stream_sound.h"
#include "platform/audio_mixer.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/text_encoding.h"
#include "tools/sound_writers/sound_writers.h"

namespace {

std::vector<uint8_t> Wave(uint16_t channels, uint32_t rate, uint16_t bits, const std::vector<uint8_t>& data) {
  writers::WaveFmt fmt;
  fmt.channels = channels;
  fmt.rate = rate;
  fmt.bits = bits;
  fmt.block_align = static_cast<uint16_t>(channels * bits / 8);
  return writers::WaveFile(fmt, data);
}

// frames of 16-bit stereo: left = i, right = -i (wrapping at 16 bits).
std::vector<uint8_t> RampStereo(int frames) {
  std::vector<int16_t> s;
  for (int i = 0; i < frames; ++i) {
    s.push_back(static_cast<int16_t>(i));
    s.push_back(static_cast<int16_t>(-i));
  }
  return writers::Pcm16Bytes(s);
}

class SoundFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    DestroyApiLock();
    ResetLibraryState();
    platform::SetClock(&clock_);
    char pattern[] = "/tmp/vesk_sound_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    SetStartDirectory(platform::NativeToEnginePath(dir_));
    EnableLogFile(1);
    CreateLogFile();
    platform::SetDefaultAudioOutputMode(platform::AudioOutputMode::kClock);
    GetSoundHooks() = SoundHooks{};
  }
  void TearDown() override {
    TerminateSound();
    platform::SetDefaultAudioOutputMode(platform::AudioOutputMode::kDevice);
    GetSoundHooks() = SoundHooks{};
    DestroyApiLock();
    ResetLibraryState();
    SetStartDirectory("");
    platform::SetClock(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string ReadLog() const {
    std::ifstream in(dir_ + "/Log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  int Load(const std::vector<uint8_t>& image, int buffers = 1) {
    return ImportSoundWithBuffers(image.data(), static_cast<int32_t>(image.size()), buffers, -1);
  }

  platform::VirtualClock clock_{1000000};
  std::string dir_;
};

TEST_F(SoundFixture, StartUpLogsItsStepsInOrder) {
  ASSERT_EQ(InitializeSound(), 0);
  EXPECT_EQ(InitializeSound(), -1);
  const std::string log = ReadLog();
  const char* lines[] = {"DirectSound の初期化を行います",
                         "DirectSound インターフェースの取得を行います....  成功",
                         "引き続きインターフェースの初期化処理...  成功",
                         "DirectSound デバイスを列挙します",
                         "最大サンプリングレート:100.00KHz 最小サンプリングレート:0.10KHz 総サウンドメモリ領域:0.00KB "
                         "空きサウンドメモリ領域:0.00KB ",
                         "利用可能サンプリング精度",
                         " プライマリ １６bit = OK  ８bit = OK  セカンダリ １６bit = OK  ８bit = OK ",
                         "利用可能チャンネル",
                         " プライマリ MONO = OK  STEREO = OK  セカンダリ MONO = OK  STEREO = OK ",
                         "DirectSound の初期化は正常に終了しました"};
  size_t at = 0;
  for (const char* line : lines) {
    const size_t found = log.find(line, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << platform::SjisToUtf8(line);
    at = found;
  }
  EXPECT_EQ(TerminateSound(), 0);
  EXPECT_NE(ReadLog().find("DirectSound の終了処理は正常に終了しました"), std::string::npos);
  EXPECT_EQ(TerminateSound(), -1);
}

TEST_F(SoundFixture, EveryEntryRefusesBeforeStartUpAndForBadHandles) {
  const std::vector<uint8_t> image = Wave(2, 44100, 16, RampStereo(100));
  for (int phase = 0; phase < 2; ++phase) {
    const int h = phase == 0 ? 0x10000000 : Load(image);
    if (phase == 1) {
      ASSERT_NE(h, -1);
      ASSERT_EQ(FreeSoundHandle(h, 0), 0);  // h is now stale
    }
    EXPECT_EQ(PlaySoundHandle(h, 1, 1), -1);
    EXPECT_EQ(HaltSoundHandle(h), -1);
    EXPECT_EQ(IsSoundPlaying(h), -1);
    EXPECT_EQ(SetSoundVolume(100, h), -1);
    EXPECT_EQ(SetSoundFrequency(22050, h), -1);
    EXPECT_EQ(GetSoundFrequency(h), -1);
    EXPECT_EQ(SetSoundPositionMs(0, h), -1);
    EXPECT_EQ(GetSoundPositionMs(h), -1);
    EXPECT_EQ(GetSoundLengthMs(h), -1);
    EXPECT_EQ(FreeSoundHandle(h, 0), -1);
    if (phase == 0) {
      EXPECT_EQ(Load(image), -1);
      EXPECT_EQ(FreeAllSoundHandles(0), -1);
      ASSERT_EQ(InitializeSound(), 0);
    }
  }
  EXPECT_EQ(IsSoundPlaying(-1), -1);
  EXPECT_EQ(IsSoundPlaying(0x08000000), -1);  // a graph handle
}

TEST_F(SoundFixture, HandleTableFillsTakesLowestFreeAndShrinks) {
  ASSERT_EQ(InitializeSound(), 0);
  std::vector<int> handles;
  for (int i = 0; i < 4096; ++i) {
    const int h = AddSoundData(-1);
    ASSERT_NE(h, -1) << i;
    ASSERT_EQ(static_cast<int>(HandleSlot(h)), i);
    handles.push_back(h);
  }
  EXPECT_EQ(AddSoundData(-1), -1);
  EXPECT_NE(ReadLog().find("サウンドの数が許容量を越えました"), std::string::npos);
  EXPECT_EQ(GetSoundUsedArea(), 4096);
  DeleteSound(handles[10]);
  DeleteSound(handles[5]);
  const int reused = AddSoundData(-1);
  EXPECT_EQ(HandleSlot(reused), 5u);
  EXPECT_NE(reused, handles[5]);  // a new check value
  // The used area shrinks down to the next used slot.
  for (int i = 4095; i >= 4000; --i) DeleteSound(handles[static_cast<size_t>(i)]);
  DeleteSound(handles[3000]);
  EXPECT_EQ(GetSoundUsedArea(), 4000);
  DeleteSound(handles[3999]);
  EXPECT_EQ(GetSoundUsedArea(), 3999);
  const int next = AddSoundData(-1);
  EXPECT_EQ(HandleSlot(next), 3999u);
}

TEST_F(SoundFixture, BufferCountsAndTheRotation) {
  ASSERT_EQ(InitializeSound(), 0);
  const std::vector<uint8_t> image = Wave(2, 44100, 16, RampStereo(4410));
  struct Case {
    int asked, made;
  } cases[] = {{11, -1}, {10, 10}, {0, 1}, {-3, 1}, {5, 5}};
  for (const Case& c : cases) {
    const int h = Load(image, c.asked);
    if (c.made == -1) {
      EXPECT_EQ(h, -1);
      continue;
    }
    ASSERT_NE(h, -1);
    EXPECT_EQ(FindSoundRecord(h)->buffer_count, c.made) << c.asked;
  }
  const int h = Load(image, 5);
  std::vector<int> order;
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    order.push_back(FindSoundRecord(h)->last_played);
  }
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 0, 1}));
  // Restart 0 while the due buffer still plays: nothing changes.
  clock_.Advance(10);
  uint32_t before = 0;
  GetSoundBufferCursors(FindSoundRecord(h)->buffers[2], &before, nullptr);
  EXPECT_EQ(PlaySoundHandle(h, 1, 0), 0);
  EXPECT_EQ(FindSoundRecord(h)->last_played, 1);
  uint32_t after = 0;
  GetSoundBufferCursors(FindSoundRecord(h)->buffers[2], &after, nullptr);
  EXPECT_EQ(after, before);
  EXPECT_EQ(IsSoundPlaying(h), 1);
  EXPECT_EQ(HaltSoundHandle(h), 0);
  EXPECT_EQ(IsSoundPlaying(h), 0);
}

TEST_F(SoundFixture, PlayTypeZeroWaitsExactlyTheSoundsLength) {
  ASSERT_EQ(InitializeSound(), 0);
  const int h = Load(Wave(2, 44100, 16, RampStereo(22050)));
  int passes = 0;
  GetSoundHooks().process_message = [&passes] {
    ++passes;
    return GetQuitFlag() ? -1 : 0;
  };
  const uint32_t start = clock_.Milliseconds();
  ASSERT_EQ(PlaySoundHandle(h, 0, 1), 0);
  EXPECT_EQ(clock_.Milliseconds() - start, 500u);
  EXPECT_EQ(IsSoundPlaying(h), 0);
  EXPECT_GT(passes, 400);
  SetQuitFlag(1);
  const uint32_t quit_start = clock_.Milliseconds();
  ASSERT_EQ(PlaySoundHandle(h, 0, 1), 0);
  EXPECT_EQ(clock_.Milliseconds(), quit_start);
}

TEST_F(SoundFixture, VolumesInHundredthsOfADecibel) {
  struct Case {
    int volume, level;
  } cases[] = {{255, 0}, {128, -299}, {100, -406}, {50, -707}, {1, -2406}, {0, -10000}, {-5, -10000}, {300, 0}};
  for (const Case& c : cases) EXPECT_EQ(SoundVolumeToHundredthsDb(c.volume), c.level) << c.volume;
}

TEST_F(SoundFixture, PlaysPcmTimesGainThroughTheEntryPoints) {
  ASSERT_EQ(InitializeSound(), 0);
  std::vector<int16_t> samples = writers::TestSignal(4410, 2, 7);
  const int h = Load(Wave(2, 44100, 16, writers::Pcm16Bytes(samples)), 1);
  ASSERT_NE(h, -1);
  ASSERT_EQ(SetSoundVolume(100, h), 0);
  GetSoundMixer()->TakeOutput();
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
  clock_.Advance(200);
  const std::vector<int16_t> out = GetSoundMixer()->TakeOutput();
  ASSERT_EQ(out.size(), 2u * 8820);
  const auto gain = static_cast<int32_t>(std::lround(std::pow(10.0, -406 / 2000.0) * 65536.0));
  for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(out[i], (samples[i] * gain) >> 16) << i;
  for (size_t i = samples.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
  EXPECT_EQ(IsSoundPlaying(h), 0);
}

TEST_F(SoundFixture, FrequencyPositionsAndLengths) {
  ASSERT_EQ(InitializeSound(), 0);
  // 22,050 Hz mono 16-bit: the rate stays the data's; 333 ms lands on a
  // whole frame.
  const int mono = Load(Wave(1, 22050, 16, std::vector<uint8_t>(2 * 22050, 0)));
  ASSERT_EQ(SetSoundFrequency(66150, mono), 0);
  EXPECT_EQ(GetSoundFrequency(mono), 22050);
  ASSERT_EQ(SetSoundPositionMs(333, mono), 0);
  uint32_t cursor = 0;
  GetSoundBufferCursors(FindSoundRecord(mono)->buffers[0], &cursor, nullptr);
  EXPECT_EQ(cursor, 14684u);
  EXPECT_EQ(SetSoundPositionMs(1000, mono), -1);  // past the end
  EXPECT_EQ(SetSoundPositionMs(-1, mono), -1);

  // 88,200 bytes of 16-bit stereo at 44,100 Hz are 500 ms.
  const int stereo = Load(Wave(2, 44100, 16, RampStereo(44100)));
  ASSERT_EQ(PlaySoundHandle(stereo, 3, 1), 0);
  clock_.Advance(500);
  EXPECT_EQ(GetSoundPositionMs(stereo), 500);
  EXPECT_EQ(GetSoundLengthMs(stereo), 1000);

  // 3,000,000 samples: the product with 1,000 passes 32 bits.
  const int longer = Load(Wave(1, 44100, 8, std::vector<uint8_t>(3000000, 0x80)));
  ASSERT_NE(longer, -1);
  EXPECT_EQ(GetSoundTotalSamples(longer), 3000000);
  EXPECT_EQ(GetSoundLengthMs(longer), 68027);
  ASSERT_EQ(SetSoundPositionMs(60000, longer), 0);
  GetSoundBufferCursors(FindSoundRecord(longer)->buffers[0], &cursor, nullptr);
  EXPECT_EQ(cursor, 2646000u);
}

TEST_F(SoundFixture, DamagedAndUnplayableFilesFailWithoutAHandle) {
  ASSERT_EQ(InitializeSound(), 0);
  std::vector<uint8_t> good = Wave(2, 44100, 16, RampStereo(100));
  struct Case {
    const char* name;
    std::vector<uint8_t> image;
    const char* line;
  } cases[] = {
      {"not a sound", std::vector<uint8_t>(64, 0x41), "音声ファイルのＰＣＭへの変換に失敗しました"},
      {"truncated header", std::vector<uint8_t>(good.begin(), good.begin() + 30),
       "音声ファイルのＰＣＭへの変換に失敗しました"},
      {"empty data", Wave(2, 44100, 16, {}), "DirectSoundBuffer の作成に失敗しました"},
      {"three channels", Wave(3, 44100, 16, std::vector<uint8_t>(600, 0)), "DirectSoundBuffer の作成に失敗しました"},
      {"rate too high", Wave(1, 200000, 16, std::vector<uint8_t>(600, 0)), "DirectSoundBuffer の作成に失敗しました"},
  };
  for (const Case& c : cases) {
    CreateLogFile();
    EXPECT_EQ(Load(c.image, 5), -1) << c.name;
    EXPECT_NE(ReadLog().find(c.line), std::string::npos) << c.name;
    EXPECT_EQ(GetSoundHandleCount(), 0) << c.name;
  }
  EXPECT_EQ(ImportSoundFromMemory(nullptr, 0, -1), -1);
  EXPECT_EQ(ImportSoundFromMemory(good.data(), -4, -1), -1);
}

TEST_F(SoundFixture, DummyDeviceStartsAndStops) {
  platform::SetDefaultAudioOutputMode(platform::AudioOutputMode::kDevice);
  ASSERT_EQ(InitializeSound(), 0);
  EXPECT_EQ(GetSoundMixer()->mode(), platform::AudioOutputMode::kDevice);
  const int h = Load(Wave(2, 44100, 16, RampStereo(100)));
  EXPECT_EQ(PlaySoundHandle(h, 3, 1), 0);
  EXPECT_EQ(TerminateSound(), 0);
  EXPECT_EQ(GetSoundMixer(), nullptr);
}

}  // namespace
