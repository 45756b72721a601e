// Fuzz target of sound loading and stream playback: any bytes as a sound
// file, loaded as a normal sound and as a stream sound, given a loop start
// and a position taken from the input, then played looping and once while
// the refill runs a few hundred passes against the mixer's pull output.
// Nothing may crash, hang or break a block of the library allocator.
#include <cstddef>
#include <cstdint>

#include "engine/core/base/tracked_memory.h"
#include "engine/core/sound/sound_output.h"
#include "engine/core/sound/stream_sound.h"
#include "platform/audio_mixer.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void Passes(int count) {
  for (int i = 0; i < count; ++i) {
    GetSoundMixer()->Pull(750);
    GetSoundMixer()->TakeOutput();
    RefillAllStreamSounds();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 22)) return 0;
  static const bool started = [] {
    platform::SetDefaultAudioOutputMode(platform::AudioOutputMode::kPull);
    return InitializeSound() == 0;
  }();
  Check(started);
  uint32_t seed = static_cast<uint32_t>(size);
  for (size_t i = 0; i < size && i < 64; ++i) seed = seed * 31 + data[i];
  for (int mode : {0, 2}) {
    SetSoundLoadModeInner(mode);
    const LibraryHandle h = LoadSoundToMemory(data, static_cast<int32_t>(size), 1 + static_cast<int>(seed % 5), -1);
    if (h == -1) continue;
    const int64_t total = GetSoundTotalSamples(h);
    Check(total >= 0);
    if (total > 0) SetSoundLoopStartSamples(static_cast<int64_t>(seed % static_cast<uint64_t>(total)), h);
    SetSoundPositionMsInner(static_cast<int>((seed >> 8) % 4000), h);
    PlaySoundInner(h, 3, 1);
    Passes(200);
    GetSoundPositionMsInner(h);
    PlaySoundInner(h, 1, 1);
    Passes(200);
    StopSound(h);
    DeleteSound(h, 0);
  }
  Check(GetSoundHandleCount() == 0);
  Check(CheckTrackedAllocs() == 0);
  return 0;
}
