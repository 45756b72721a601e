// Shared by the sound tests: a start directory for Log.txt, a virtual
// clock that the mixer follows, sound images from the writers, and a clean
// sound layer before and after each test.
#pragma once

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
#include "tests/support/fresh_state_test.h"
#include "tools/sound_writers/sound_writers.h"

#include "engine/api/sound_entry_points.h"

namespace soundapi {


inline std::vector<uint8_t> Wave(uint16_t channels, uint32_t rate, uint16_t bits, const std::vector<uint8_t>& data) {
  writers::WaveFmt fmt;
  fmt.channels = channels;
  fmt.rate = rate;
  fmt.bits = bits;
  fmt.block_align = static_cast<uint16_t>(channels * bits / 8);
  return writers::WaveFile(fmt, data);
}

// frames of 16-bit stereo: left = i, right = -i (wrapping at 16 bits).
inline std::vector<uint8_t> RampStereo(int frames) {
  std::vector<int16_t> s;
  for (int i = 0; i < frames; ++i) {
    s.push_back(static_cast<int16_t>(i));
    s.push_back(static_cast<int16_t>(-i));
  }
  return writers::Pcm16Bytes(s);
}

class SoundFixture : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    platform::SetClock(&clock_);
    char pattern[] = "/tmp/vesk_sound_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    SetStartDirectory(platform::NativeToEnginePath(dir_));
    EnableLogFile(1);
    CreateLogFile();
    platform::SetDefaultAudioOutputMode(platform::AudioOutputMode::kClock);
  }
  void TearDown() override {
    FreshStateTest::TearDown();
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

  // Message passes every 17 ms for `milliseconds`, each refilling the stream
  // sounds, as the message pump does.
  void RunPasses(int milliseconds) {
    for (int t = 0; t < milliseconds; t += 17) {
      clock_.Advance(17);
      RefillAllStreamSounds();
    }
  }

  platform::VirtualClock clock_{1000000};
  std::string dir_;
};

}  // namespace soundapi
