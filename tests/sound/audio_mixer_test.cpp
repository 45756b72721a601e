// The mixer in its pull and clock modes, driven frame by frame, and its SDL
// device on the dummy driver.
#include "platform/audio_mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/core/base/api_lock.h"
#include "platform/clock.h"

namespace {

using platform::AudioBufferFormat;
using platform::AudioLock;
using platform::AudioMixer;
using platform::AudioOutputMode;

AudioBufferFormat Format(uint16_t channels, uint32_t rate, uint16_t bits) {
  return AudioBufferFormat{channels, rate, bits, static_cast<uint16_t>(channels * bits / 8)};
}

// A buffer filled with the given bytes.
int32_t MakeBuffer(AudioMixer& mixer, const AudioBufferFormat& format, const std::vector<uint8_t>& bytes) {
  const int32_t id = mixer.CreateBuffer(format, static_cast<uint32_t>(bytes.size()));
  EXPECT_GE(id, 0);
  AudioLock lock;
  EXPECT_EQ(mixer.Lock(id, 0, static_cast<uint32_t>(bytes.size()), &lock), 0);
  std::copy(bytes.begin(), bytes.end(), lock.bytes.begin());
  EXPECT_EQ(mixer.Unlock(&lock), 0);
  return id;
}

std::vector<uint8_t> Stereo16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out;
  for (int16_t s : samples) {
    out.push_back(static_cast<uint8_t>(s & 0xFF));
    out.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
  }
  return out;
}

// Frames 0..n-1 of a ramp: left = 10 i, right = -10 i.
std::vector<int16_t> Ramp(int frames) {
  std::vector<int16_t> s;
  for (int i = 0; i < frames; ++i) {
    s.push_back(static_cast<int16_t>(10 * i));
    s.push_back(static_cast<int16_t>(-10 * i));
  }
  return s;
}

uint32_t PlayCursor(AudioMixer& mixer, int32_t id) {
  uint32_t play = 0, write = 0;
  EXPECT_EQ(mixer.GetCursors(id, &play, &write), 0);
  return play;
}

TEST(AudioMixerTest, CursorAdvancesByPlaybackFrequency) {
  struct Case {
    uint32_t data_rate;
    uint32_t frequency;  // 0 = own
    uint32_t expected_frames;  // after 1,000 output frames
  } cases[] = {{44100, 0, 1000}, {22050, 0, 500}, {44100, 22050, 500}, {44100, 88200, 2000}, {11025, 0, 250},
               {44100, 100000, 2267}};
  for (const Case& c : cases) {
    AudioMixer mixer(AudioOutputMode::kPull);
    const int32_t id = mixer.CreateBuffer(Format(2, c.data_rate, 16), 4 * 10000);
    ASSERT_EQ(mixer.SetFrequency(id, c.frequency), 0);
    ASSERT_EQ(mixer.Play(id, true), 0);
    mixer.Pull(1000);
    EXPECT_EQ(PlayCursor(mixer, id), 4 * c.expected_frames) << c.data_rate << " " << c.frequency;
  }
  AudioMixer mixer(AudioOutputMode::kPull);
  const int32_t id = mixer.CreateBuffer(Format(2, 44100, 16), 400);
  EXPECT_EQ(mixer.SetFrequency(id, 99), -1);
  EXPECT_EQ(mixer.SetFrequency(id, 100001), -1);
}

TEST(AudioMixerTest, LoopWrapsAndOneShotEndsAtZero) {
  const std::vector<int16_t> ramp = Ramp(100);
  for (bool looping : {true, false}) {
    AudioMixer mixer(AudioOutputMode::kPull);
    const int32_t id = MakeBuffer(mixer, Format(2, 44100, 16), Stereo16(ramp));
    mixer.Play(id, looping);
    mixer.Pull(250);
    const std::vector<int16_t> out = mixer.TakeOutput();
    ASSERT_EQ(out.size(), 500u);
    for (int i = 0; i < 250; ++i) {
      const int16_t expected = looping || i < 100 ? ramp[static_cast<size_t>(2 * (i % 100))] : 0;
      ASSERT_EQ(out[static_cast<size_t>(2 * i)], expected) << looping << " frame " << i;
    }
    EXPECT_EQ(mixer.Status(id), looping ? platform::kAudioBufferPlaying | platform::kAudioBufferLooping : 0);
    EXPECT_EQ(PlayCursor(mixer, id), looping ? 4u * 50 : 0u);
  }
}

TEST(AudioMixerTest, StopKeepsTheCursorAndPlayResumes) {
  AudioMixer mixer(AudioOutputMode::kPull);
  const std::vector<int16_t> ramp = Ramp(100);
  const int32_t id = MakeBuffer(mixer, Format(2, 44100, 16), Stereo16(ramp));
  mixer.Play(id, false);
  mixer.Pull(30);
  mixer.Stop(id);
  mixer.Pull(20);
  EXPECT_EQ(PlayCursor(mixer, id), 4u * 30);
  mixer.Play(id, false);
  mixer.Pull(10);
  const std::vector<int16_t> out = mixer.TakeOutput();
  ASSERT_EQ(out.size(), 120u);
  EXPECT_EQ(out[2 * 30], 0);       // silence while stopped
  EXPECT_EQ(out[2 * 50], 10 * 30);  // resumed at frame 30
  EXPECT_EQ(out[2 * 59], 10 * 39);

  EXPECT_EQ(mixer.SetPosition(id, 4 * 10 + 3), 0);  // inside frame 10
  EXPECT_EQ(PlayCursor(mixer, id), 40u);
  EXPECT_EQ(mixer.SetPosition(id, 400), -1);
}

TEST(AudioMixerTest, DuplicateHearsTheOriginalsLockWithItsOwnCursor) {
  AudioMixer mixer(AudioOutputMode::kPull);
  const int32_t original = mixer.CreateBuffer(Format(2, 44100, 16), 400);
  const int32_t copy = mixer.DuplicateBuffer(original);
  ASSERT_GE(copy, 0);
  AudioLock lock;
  ASSERT_EQ(mixer.Lock(original, 0, 400, &lock), 0);
  const std::vector<uint8_t> ramp = Stereo16(Ramp(100));
  std::copy(ramp.begin(), ramp.end(), lock.bytes.begin());
  ASSERT_EQ(mixer.Unlock(&lock), 0);
  mixer.SetVolume(original, -10000);
  mixer.SetPosition(original, 40);
  mixer.Play(copy, false);
  mixer.Play(original, false);
  mixer.Pull(5);
  const std::vector<int16_t> out = mixer.TakeOutput();
  EXPECT_EQ(out[2 * 4], 40);  // the copy at full volume from frame 0
  EXPECT_EQ(PlayCursor(mixer, copy), 20u);
  EXPECT_EQ(PlayCursor(mixer, original), 60u);
  mixer.ReleaseBuffer(original);
  mixer.Pull(1);
  EXPECT_EQ(mixer.TakeOutput()[0], 50);  // the PCM outlives the original
}

TEST(AudioMixerTest, LockWrapsIntoTwoParts) {
  AudioMixer mixer(AudioOutputMode::kPull);
  const int32_t id = mixer.CreateBuffer(Format(1, 44100, 8), 100);
  AudioLock lock;
  ASSERT_EQ(mixer.Lock(id, 90, 20, &lock), 0);
  EXPECT_EQ(lock.first_size, 10u);
  EXPECT_EQ(lock.second_size, 10u);
  for (uint32_t i = 0; i < 10; ++i) lock.first()[i] = static_cast<uint8_t>(i), lock.second()[i] = static_cast<uint8_t>(100 + i);
  ASSERT_EQ(mixer.Unlock(&lock), 0);
  AudioLock check;
  ASSERT_EQ(mixer.Lock(id, 0, 100, &check), 0);
  EXPECT_EQ(check.bytes[95], 5);
  EXPECT_EQ(check.bytes[3], 103);
  EXPECT_EQ(check.bytes[50], 0x80);  // 8-bit buffers start silent
  EXPECT_EQ(mixer.Lock(id, 100, 1, &check), -1);
  EXPECT_EQ(mixer.Lock(id, 0, 101, &check), -1);
  EXPECT_EQ(mixer.Lock(id, 0, 0, &check), -1);
}

TEST(AudioMixerTest, VolumeAndPanScaleByTheirAmplitude) {
  struct Case {
    int32_t volume, pan;
    double left, right;  // amplitudes
  } cases[] = {{0, 0, 1.0, 1.0},
               {-406, 0, std::pow(10.0, -406 / 2000.0), std::pow(10.0, -406 / 2000.0)},
               {-10000, 0, 0.0, 0.0},
               {0, -10000, 1.0, 0.0},
               {-600, 600, std::pow(10.0, -1200 / 2000.0), std::pow(10.0, -600 / 2000.0)}};
  for (const Case& c : cases) {
    AudioMixer mixer(AudioOutputMode::kPull);
    const int32_t id = MakeBuffer(mixer, Format(2, 44100, 16), Stereo16({30000, -20000}));
    ASSERT_EQ(mixer.SetVolume(id, c.volume), 0);
    ASSERT_EQ(mixer.SetPan(id, c.pan), 0);
    mixer.Play(id, false);
    mixer.Pull(1);
    const std::vector<int16_t> out = mixer.TakeOutput();
    EXPECT_NEAR(out[0], 30000 * c.left, 1.0) << c.volume << " " << c.pan;
    EXPECT_NEAR(out[1], -20000 * c.right, 1.0) << c.volume << " " << c.pan;
    if (c.left == 0.0) {
      EXPECT_EQ(out[0], 0);
    }
    if (c.left == 1.0) {
      EXPECT_EQ(out[0], 30000);
    }
  }
  AudioMixer mixer(AudioOutputMode::kPull);
  const int32_t id = mixer.CreateBuffer(Format(2, 44100, 16), 4);
  EXPECT_EQ(mixer.SetVolume(id, 1), -1);
  EXPECT_EQ(mixer.SetVolume(id, -10001), -1);
}

TEST(AudioMixerTest, SampleFormatsReachBothChannels) {
  struct Case {
    AudioBufferFormat format;
    std::vector<uint8_t> bytes;
    int16_t left, right;
  } cases[] = {
      {Format(1, 44100, 8), {0x80}, 0, 0},
      {Format(1, 44100, 8), {0xFF}, 127 * 256, 127 * 256},
      {Format(2, 44100, 8), {0x00, 0xC0}, -32768, 64 * 256},
      {Format(1, 44100, 16), {0x34, 0x12}, 0x1234, 0x1234},
      {Format(2, 44100, 16), {0x00, 0x80, 0xFF, 0x7F}, -32768, 32767},
  };
  for (const Case& c : cases) {
    AudioMixer mixer(AudioOutputMode::kPull);
    const int32_t id = MakeBuffer(mixer, c.format, c.bytes);
    mixer.Play(id, false);
    mixer.Pull(1);
    const std::vector<int16_t> out = mixer.TakeOutput();
    EXPECT_EQ(out[0], c.left);
    EXPECT_EQ(out[1], c.right);
  }
}

TEST(AudioMixerTest, SumSaturates) {
  AudioMixer mixer(AudioOutputMode::kPull);
  for (int i = 0; i < 2; ++i) {
    const int32_t id = MakeBuffer(mixer, Format(2, 44100, 16), Stereo16({30000, -30000, 100, -100}));
    mixer.Play(id, false);
  }
  mixer.Pull(2);
  EXPECT_EQ(mixer.TakeOutput(), (std::vector<int16_t>{32767, -32768, 200, -200}));
}

TEST(AudioMixerTest, HalfRateDataIsInterpolated) {
  AudioMixer mixer(AudioOutputMode::kPull);
  // Mono 22,050 Hz: 0, 1000, 3000, -1000.
  const int32_t id = MakeBuffer(mixer, Format(1, 22050, 16), Stereo16({0, 1000, 3000, -1000}));
  mixer.Play(id, false);
  mixer.Pull(10);
  const std::vector<int16_t> out = mixer.TakeOutput();
  const int16_t expected[] = {0, 500, 1000, 2000, 3000, 1000, -1000, -1000, 0, 0};
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(out[static_cast<size_t>(2 * i)], expected[i]) << i;
    EXPECT_EQ(out[static_cast<size_t>(2 * i + 1)], expected[i]) << i;
  }
  EXPECT_EQ(mixer.Status(id), 0);
}

TEST(AudioMixerTest, OutsideSourcesAttachAndDetach) {
  AudioMixer mixer(AudioOutputMode::kPull);
  int calls = 0;
  const int id = mixer.AttachOutsideSource([&calls](int16_t* out, int frames) {
    ++calls;
    for (int i = 0; i < frames; ++i) out[2 * i] = 1000, out[2 * i + 1] = -1000;
  });
  ASSERT_GT(id, 0);
  const int32_t buffer = MakeBuffer(mixer, Format(2, 44100, 16), Stereo16({32000, 0}));
  mixer.Play(buffer, false);
  mixer.Pull(2);
  mixer.DetachOutsideSource(id);
  mixer.Pull(1);
  EXPECT_EQ(mixer.TakeOutput(), (std::vector<int16_t>{32767, -1000, 1000, -1000, 0, 0}));
  EXPECT_EQ(calls, 1);
}

TEST(AudioMixerTest, ClockModeFollowsTheVirtualClock) {
  platform::VirtualClock clock(1000000);
  platform::ScopedClock scoped(clock);
  AudioMixer mixer(AudioOutputMode::kClock);
  ASSERT_TRUE(mixer.Open().ok);
  const int32_t id = mixer.CreateBuffer(Format(2, 44100, 16), 4 * 44100);
  mixer.Play(id, false);
  clock.Advance(100);
  EXPECT_EQ(PlayCursor(mixer, id), 4u * 4410);
  clock.Advance(900);
  EXPECT_EQ(mixer.Status(id), 0);  // a second of sound ended after a second
  EXPECT_EQ(mixer.FramesMixed(), 44100);
  EXPECT_EQ(mixer.TakeOutput().size(), 2u * 44100);
}

TEST(AudioMixerTest, RefusesUnplayableBuffers) {
  AudioMixer mixer(AudioOutputMode::kPull);
  EXPECT_EQ(mixer.CreateBuffer(Format(3, 44100, 16), 600), -1);
  EXPECT_EQ(mixer.CreateBuffer(Format(2, 44100, 24), 600), -1);
  EXPECT_EQ(mixer.CreateBuffer(Format(2, 99, 16), 400), -1);
  EXPECT_EQ(mixer.CreateBuffer(Format(2, 100001, 16), 400), -1);
  EXPECT_EQ(mixer.CreateBuffer(Format(2, 44100, 16), 3), -1);
  AudioBufferFormat odd = Format(2, 44100, 16);
  odd.block_align = 2;
  EXPECT_EQ(mixer.CreateBuffer(odd, 400), -1);
  EXPECT_EQ(mixer.Play(7, false), -1);
  EXPECT_EQ(mixer.Status(-1), -1);
}

TEST(AudioMixerTest, DummyDeviceMixesWhileTheLibraryLockIsHeld) {
  AudioMixer mixer(AudioOutputMode::kDevice);
  const platform::AudioOpenReport report = mixer.Open();
  ASSERT_TRUE(report.ok);
  const int32_t id = mixer.CreateBuffer(Format(2, 44100, 16), 4 * 1000);
  mixer.Play(id, true);
  {
    ApiLockGuard held;
    // The device thread never takes the library's lock, so it goes on.
    platform::RealClock real;
    for (int i = 0; i < 2000 && mixer.FramesMixed() < 4096; ++i) real.Sleep(1);
    EXPECT_GE(mixer.FramesMixed(), 4096);
  }
  uint32_t play = 0, write = 0;
  ASSERT_EQ(mixer.GetCursors(id, &play, &write), 0);
  EXPECT_LT(play, 4000u);
  mixer.Close();
  DestroyApiLock();
}

}  // namespace
