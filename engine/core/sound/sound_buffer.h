// SoundBuffer: one playback buffer of a sound handle, a thin wrapper over a
// secondary buffer of the sound output's mixer. Every member answers -1 when
// the wrapper is not valid or sound output is not started, else forwards to
// the mixer. Sizes and cursors are bytes; volumes hundredths of a decibel.
//
// The mixer itself (the output device and its buffers) lives from
// OpenSoundOutput to CloseSoundOutput; GetSoundMixer is null outside.
#pragma once

#include <cstdint>

#include "engine/core/sound/sound_convert.h"
#include "platform/audio_mixer.h"

struct SoundBuffer {
  int valid = 0;
  int32_t id = -1;
};

// Creation flags the callers name (kept for the log and the fallback; the
// mixer gives every buffer every control).
inline constexpr uint32_t kSoundBufferNormalFlags = 0x80E2;
inline constexpr uint32_t kSoundBufferFallbackFlags = 0xC2;
inline constexpr uint32_t kSoundBufferStreamFlags = 0x180E2;
inline constexpr uint32_t kSoundBufferSilentFlags = 0x8002;

platform::AudioMixer* GetSoundMixer();
// Creates the mixer in the default output mode and opens its output.
platform::AudioOpenReport OpenSoundOutput();
void CloseSoundOutput();

// The mixer's view of a WAVE format; false when the mixer cannot play it.
bool ToMixerFormat(const WaveFormatEx& format, platform::AudioBufferFormat* out);

int CreateSoundBuffer(SoundBuffer* buffer, const WaveFormatEx& format, int64_t bytes, uint32_t flags);
int DuplicateSoundBufferWrapper(SoundBuffer* buffer, const SoundBuffer& source);
int ReleaseSoundBuffer(SoundBuffer* buffer);
int PlaySoundBuffer(const SoundBuffer& buffer, int loop);
int StopSoundBuffer(const SoundBuffer& buffer);
// Status bits: 1 playing, 4 looping.
int GetSoundBufferStatus(const SoundBuffer& buffer, int* status);
int GetSoundBufferCursors(const SoundBuffer& buffer, uint32_t* play, uint32_t* write);
// Copies the region out (two parts when it wraps); UnlockSoundBuffer writes
// it back.
int LockSoundBuffer(const SoundBuffer& buffer, uint32_t offset, uint32_t bytes, platform::AudioLock* lock);
int UnlockSoundBuffer(const SoundBuffer& buffer, platform::AudioLock* lock);
// 0 = the data's own rate.
int SetSoundBufferFrequency(const SoundBuffer& buffer, uint32_t hertz);
int SetSoundBufferVolume(const SoundBuffer& buffer, int32_t hundredths_db);
int SetSoundBufferPosition(const SoundBuffer& buffer, uint32_t bytes);
