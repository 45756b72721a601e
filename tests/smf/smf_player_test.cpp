// The MIDI library as the player loads it: SmfPlayer.so from beside the
// player binary, its output pulled through the source the loader attaches,
// as the mixer pulls it. Time is the frames pulled, so every timing below is
// exact; the notes are recognised by their pitch.
#include "platform/smf_player_loader.h"
#include "platform/audio_mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/writers/smf_writer.h"

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// A4 (440 Hz) for 400 ms, then E5 (659 Hz) from 800 to 1200 ms, the end at
// 1500 ms: 120 beats a minute at 480 ticks a beat, so 0.96 ticks a ms.
std::vector<uint8_t> FixtureSong() {
  SmfTrackWriter track;
  track.Tempo(0, 500000).Program(0, 0, 73).NoteOn(0, 0, 69, 110).NoteOff(384, 0, 69).NoteOn(384, 0, 76, 110)
      .NoteOff(384, 0, 76).EndOfTrack(288);
  return WriteSmf(0, 480, {track});
}

class SmfPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetSmfOutputHooks({[this](platform::SmfSampleSource source) {
                                   source_ = std::move(source);
                                   return 7;
                                 },
                                 [this](int id) { detached_.push_back(id); }});
    ASSERT_TRUE(platform::LoadSmfPlayer(VESK_BINARY_DIR "/game", &entries_, &path_)) << platform::SmfPlayerLoadError();
    ASSERT_TRUE(source_);
    ASSERT_EQ(Fn<SMPSetDeviceFn>(0)(-1, 0), 0) << "no General MIDI SoundFont installed";
    song_ = FixtureSong();
    ASSERT_EQ(Fn<SMPReadListFn>(4)(song_.data(), static_cast<int32_t>(song_.size()), 1, 3), 0);
  }
  void TearDown() override {
    platform::UnloadSmfPlayer();
    platform::SetSmfOutputHooks({});
  }
  template <typename F>
  F Fn(int index) const {
    return entries_.Entry<F>(index);
  }
  int32_t Play(int option, int start_ms) { return Fn<SMPPlayFn>(8)(option, 3, start_ms); }
  // The left channel of the next ms milliseconds, pulled in 441-frame blocks.
  std::vector<double> Pull(int ms) {
    std::vector<double> left;
    const int frames = ms * kRate / 1000;
    std::vector<int16_t> block(2 * 441);
    for (int done = 0; done < frames; done += 441) {
      std::fill(block.begin(), block.end(), 0);
      source_(block.data(), 441);
      for (int i = 0; i < 441; ++i) left.push_back(block[2 * static_cast<size_t>(i)]);
    }
    return left;
  }
  static double Rms(const std::vector<double>& s, int from_ms, int to_ms) {
    double sum = 0;
    const size_t a = static_cast<size_t>(from_ms) * kRate / 1000, b = static_cast<size_t>(to_ms) * kRate / 1000;
    for (size_t i = a; i < b; ++i) sum += s[i] * s[i];
    return std::sqrt(sum / static_cast<double>(b - a));
  }
  // The strongest frequency between 200 and 1000 Hz (1 Hz steps).
  static double Pitch(const std::vector<double>& s, int from_ms, int to_ms) {
    const size_t a = static_cast<size_t>(from_ms) * kRate / 1000, b = static_cast<size_t>(to_ms) * kRate / 1000;
    double best = 0, best_power = -1;
    for (int f = 200; f <= 1000; ++f) {
      const double w = 2 * kPi * f / kRate;
      double re = 0, im = 0;
      for (size_t i = a; i < b; ++i) {
        re += s[i] * std::cos(w * static_cast<double>(i));
        im += s[i] * std::sin(w * static_cast<double>(i));
      }
      if (re * re + im * im > best_power) best_power = re * re + im * im, best = f;
    }
    return best;
  }
  // How long the instrument takes from a note's start to a tenth of its
  // level (the onsets below are measured that way).
  // Measured on the note that starts at start_ms, played from there.
  int Attack(int start_ms) {
    EXPECT_EQ(Play(0, start_ms), 0);
    const std::vector<double> s = Pull(300);
    Fn<SMPStopFn>(9)();
    Pull(50);  // a stopped voice takes a few milliseconds to end
    return Onset(s, 0, Rms(s, 100, 300));
  }
  // The first 5 ms window from from_ms on whose level passes a tenth of peak.
  static int Onset(const std::vector<double>& s, int from_ms, double peak) {
    for (int ms = from_ms; ms + 5 <= static_cast<int>(s.size() * 1000 / kRate); ms += 1) {
      if (Rms(s, ms, ms + 5) > peak / 10) return ms;
    }
    return -1;
  }

  platform::SmfPlayerEntries entries_;
  std::string path_;
  platform::SmfSampleSource source_;
  std::vector<int> detached_;
  std::vector<uint8_t> song_;
};

TEST_F(SmfPlayerTest, TheTwentyNamesAndTheRenderEntryResolve) {
  EXPECT_EQ(path_, VESK_BINARY_DIR "/game/SmfPlayer.so");
  for (int i = 0; i < kSmfPlayerEntryCount; ++i) EXPECT_NE(entries_.entries[i], nullptr) << kSmfPlayerEntryNames[i];
  EXPECT_NE(entries_.render, nullptr);
  EXPECT_EQ(std::string(Fn<SMPViewListFn>(7)()), "3: " + std::to_string(song_.size()) + "\n");
  int32_t data[4];
  ASSERT_EQ(Fn<SMPGetSMFDatasFn>(15)(3, data), 0);
  EXPECT_EQ(data[0], 0);
  EXPECT_EQ(data[1], 1);
  EXPECT_EQ(data[2], 480);
  EXPECT_EQ(data[3], 1500);
  EXPECT_EQ(Fn<SMPGetSMFDatasFn>(15)(4, data), -1);
}

TEST_F(SmfPlayerTest, PlaysItsNotesAtTheirPitchAndTimesThenFallsSilent) {
  const int attack = Attack(800);
  ASSERT_EQ(Play(0, 0), 0);
  EXPECT_EQ(Fn<SMPGetStatusFn>(16)(0), 1);
  const std::vector<double> s = Pull(2000);
  const double level = Rms(s, 100, 350);
  EXPECT_GT(level, 300);
  EXPECT_NEAR(Pitch(s, 50, 380), 440, 3);
  EXPECT_LT(Rms(s, 700, 790), level / 50);  // the first note has died away
  EXPECT_NEAR(Onset(s, 700, level), 800 + attack, 2);
  EXPECT_NEAR(Pitch(s, 850, 1180), 659, 3);
  EXPECT_LT(Rms(s, 1700, 2000), level / 50);
  EXPECT_EQ(Fn<SMPGetStatusFn>(16)(0), 0);  // ended without a loop
}

TEST_F(SmfPlayerTest, MasterVolumeBottomIsSilence) {
  Fn<SMPMasterVolumeFn>(12)(-2500);
  ASSERT_EQ(Play(0, 0), 0);
  const std::vector<double> s = Pull(500);
  EXPECT_EQ(Rms(s, 0, 500), 0);
  Fn<SMPMasterVolumeFn>(12)(-1250);  // half the amplitude, at once
  const std::vector<double> half = Pull(1000);
  Fn<SMPStopFn>(9)();
  Fn<SMPMasterVolumeFn>(12)(0);
  ASSERT_EQ(Play(0, 0), 0);
  const std::vector<double> full = Pull(1500);
  EXPECT_NEAR(Rms(half, 350, 650) / Rms(full, 850, 1150), 0.5, 0.02);
}

TEST_F(SmfPlayerTest, TempoDepthScalesTheTimeline) {
  const int attack = Attack(800);
  Fn<SMPTempoDepthFn>(13)(25);  // 150 percent: the second note at 533 ms
  ASSERT_EQ(Play(0, 0), 0);
  const std::vector<double> s = Pull(1000);
  const double level = Rms(s, 50, 250);
  EXPECT_NEAR(Onset(s, 450, level), 533 + attack, 2);
  EXPECT_NEAR(Pitch(s, 560, 780), 659, 3);
  Fn<SMPTempoDepthFn>(13)(0);
}

TEST_F(SmfPlayerTest, AStartPositionSkipsWhatComesBeforeIt) {
  const int attack = Attack(800);
  ASSERT_EQ(Play(1, 500), 0);
  const std::vector<double> s = Pull(700);
  const double level = Rms(s, 350, 650);
  EXPECT_LT(Rms(s, 0, 280), level / 100);  // the first note never sounds

  EXPECT_NEAR(Onset(s, 0, level), 300 + attack, 2);
  EXPECT_NEAR(Pitch(s, 320, 680), 659, 3);
}

TEST_F(SmfPlayerTest, LoopingStartsAgainAtTheEnd) {
  const int attack = Attack(0);
  ASSERT_EQ(Play(1, 0), 0);
  const std::vector<double> s = Pull(2000);
  const double level = Rms(s, 100, 350);
  EXPECT_LT(Rms(s, 1420, 1495), level / 50);
  EXPECT_NEAR(Onset(s, 1420, level), 1500 + attack, 2);
  EXPECT_NEAR(Pitch(s, 1550, 1880), 440, 3);
  EXPECT_EQ(Fn<SMPGetStatusFn>(16)(0), 1);
}

TEST_F(SmfPlayerTest, StopSilencesAndPauseHolds) {
  ASSERT_EQ(Play(1, 0), 0);
  Pull(200);
  Fn<SMPPauseFn>(10)();
  EXPECT_EQ(Fn<SMPGetStatusFn>(16)(0), 2);
  EXPECT_EQ(Fn<SMPGetStatusFn>(16)(1), 200);
  std::vector<double> s = Pull(300);
  EXPECT_EQ(Rms(s, 20, 300), 0);
  EXPECT_EQ(Fn<SMPGetStatusFn>(16)(1), 200);  // time stood still
  Fn<SMPPauseFn>(10)();
  Pull(100);
  EXPECT_EQ(Fn<SMPGetStatusFn>(16)(1), 300);
  Fn<SMPStopFn>(9)();
  EXPECT_EQ(Fn<SMPGetStatusFn>(16)(0), 0);
  s = Pull(300);
  EXPECT_EQ(Rms(s, 20, 300), 0);
}

TEST_F(SmfPlayerTest, DamagedFilesAndMissingEntriesAreRefused) {
  auto read_list = Fn<SMPReadListFn>(4);
  std::vector<uint8_t> cut(song_.begin(), song_.end() - 5);
  EXPECT_EQ(read_list(cut.data(), static_cast<int32_t>(cut.size()), 1, 9), -1);
  EXPECT_EQ(read_list(nullptr, 100, 1, 9), -1);
  EXPECT_EQ(read_list(song_.data(), -1, 1, 9), -1);
  EXPECT_EQ(Fn<SMPPlayFn>(8)(1, 9, 0), -1);
  EXPECT_EQ(Fn<SMPLoadFileFn>(1)("/nonexistent/song.mid", 0), -1);
  EXPECT_EQ(Fn<SMPGetStatusFn>(16)(99), -1);
  Fn<SMPDeleteListFn>(6)(3);
  EXPECT_EQ(Play(0, 0), -1);
  EXPECT_STREQ(Fn<SMPViewListFn>(7)(), "");
  // The other entries take any argument.
  Fn<SMPPitchDepthFn>(14)(-2147483647 - 1);
  Fn<SMPTempoDepthFn>(13)(-2147483647 - 1);
  Fn<SMPMasterVolumeFn>(12)(2147483647);
  Fn<SMPSendResetFn>(11)(-5);
  Fn<SMPAddDLSFn>(17)(nullptr);
  Fn<SMPAddDLSFn>(17)("/nonexistent.sf2");
  Fn<SMPCofigDlgFn>(18)(0);
  Fn<SMPPauseFn>(10)();
  Fn<SMPFlushListFn>(5)();
  EXPECT_EQ(Rms(Pull(100), 0, 100), 0);
}

TEST_F(SmfPlayerTest, WithoutASoundFontTheDeviceIsRefused) {
  Fn<SMPFreeFn>(19)();
  setenv("VESK_SOUNDFONT", "/nonexistent/none.sf2", 1);
  EXPECT_EQ(Fn<SMPSetDeviceFn>(0)(-1, 0), -1);
  unsetenv("VESK_SOUNDFONT");
  EXPECT_EQ(Fn<SMPPlayFn>(8)(1, 3, 0), -1);
  EXPECT_EQ(Rms(Pull(50), 0, 50), 0);
}

TEST_F(SmfPlayerTest, TheMixerHearsTheLibraryThroughItsOutsideSource) {
  // Loaded again with the sound mixer's attach in place of the test's.
  platform::UnloadSmfPlayer();
  platform::AudioMixer mixer(platform::AudioOutputMode::kPull);
  ASSERT_TRUE(mixer.Open().ok);
  platform::SetSmfOutputHooks({[&](platform::SmfSampleSource source) { return mixer.AttachOutsideSource(source); },
                               [&](int id) { mixer.DetachOutsideSource(id); }});
  ASSERT_TRUE(platform::LoadSmfPlayer(VESK_BINARY_DIR "/game", &entries_, &path_));
  ASSERT_EQ(Fn<SMPSetDeviceFn>(0)(-1, 0), 0);
  ASSERT_EQ(Fn<SMPReadListFn>(4)(song_.data(), static_cast<int32_t>(song_.size()), 1, 3), 0);
  ASSERT_EQ(Play(0, 0), 0);
  mixer.Pull(kRate * 2 / 5);  // 400 ms
  const std::vector<int16_t> out = mixer.TakeOutput();
  ASSERT_EQ(out.size(), static_cast<size_t>(kRate * 2 / 5 * 2));
  std::vector<double> left;
  for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
  EXPECT_GT(Rms(left, 100, 350), 300);
  EXPECT_NEAR(Pitch(left, 50, 380), 440, 3);
  platform::UnloadSmfPlayer();  // detaches before the mixer goes
  mixer.Pull(441);
  const std::vector<int16_t> after = mixer.TakeOutput();
  EXPECT_EQ(Rms(std::vector<double>(after.begin(), after.end()), 0, 10), 0);
}

TEST_F(SmfPlayerTest, UnloadingDetachesTheOutputFirst) {
  platform::UnloadSmfPlayer();
  EXPECT_EQ(detached_, std::vector<int>{7});
  EXPECT_FALSE(platform::IsSmfPlayerLoaded());
  platform::SmfPlayerEntries entries;
  std::string path;
  EXPECT_FALSE(platform::LoadSmfPlayer("/nonexistent/folder", &entries, &path));
  EXPECT_EQ(path, "/nonexistent/folder/SmfPlayer.so");
  EXPECT_EQ(entries.entries[0], nullptr);
  EXPECT_NE(platform::SmfPlayerLoadError(), "");
}

}  // namespace
