// The sound seam: what start-up, shutdown and the message pass ask of sound
// output (streamed sounds, MIDI, device notifications). The sound layer
// implements SoundService and the entry layer installs it
// (service_registry.h); NullSoundService plays nothing and succeeds.
#pragma once

#include <cstdint>

class SoundService {
 public:
  // 0 success; start-up goes on whatever it answers.
  virtual int Initialize() = 0;
  virtual void Terminate() = 0;
  // Releases what the MIDI layer still holds (shutdown).
  virtual void ReleasePendingSound() = 0;
  // Per message pass: refills every streamed sound's buffer.
  virtual void RefillAllStreamSounds() = 0;
  // Per message pass: advances the MIDI play state.
  virtual void UpdateMidiPlayState() = 0;
  // A device's play-finished notification.
  virtual void HandleMciNotify(uint64_t wparam, int64_t lparam) = 0;

 protected:
  constexpr SoundService() = default;
  ~SoundService() = default;
};

class NullSoundService : public SoundService {
 public:
  constexpr NullSoundService() = default;
  int Initialize() override { return 0; }
  void Terminate() override {}
  void ReleasePendingSound() override {}
  void RefillAllStreamSounds() override {}
  void UpdateMidiPlayState() override {}
  void HandleMciNotify(uint64_t, int64_t) override {}
};
