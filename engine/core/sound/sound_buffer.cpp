// The playback-buffer wrappers over the mixer.
#include "engine/core/sound/sound_buffer.h"

#include <memory>

namespace {

std::unique_ptr<platform::AudioMixer> g_mixer;

platform::AudioMixer* MixerFor(const SoundBuffer& buffer) {
  if (!buffer.valid || !g_mixer) return nullptr;
  return g_mixer.get();
}

}  // namespace

platform::AudioMixer* GetSoundMixer() { return g_mixer.get(); }

platform::AudioOpenReport OpenSoundOutput() {
  g_mixer = std::make_unique<platform::AudioMixer>();
  platform::AudioOpenReport report = g_mixer->Open();
  if (!report.ok) g_mixer.reset();
  return report;
}

void CloseSoundOutput() {
  if (g_mixer) g_mixer->Close();
  g_mixer.reset();
}

bool ToMixerFormat(const WaveFormatEx& format, platform::AudioBufferFormat* out) {
  if (format.format_tag != kWaveFormatPcm) return false;
  platform::AudioBufferFormat f;
  f.channels = format.channels;
  f.rate = format.samples_per_sec;
  f.bits = format.bits_per_sample;
  f.block_align = format.block_align;
  if (!platform::IsPlayableAudioFormat(f)) return false;
  if (format.avg_bytes_per_sec != static_cast<uint64_t>(f.rate) * f.block_align) return false;
  *out = f;
  return true;
}

int CreateSoundBuffer(SoundBuffer* buffer, const WaveFormatEx& format, int64_t bytes, uint32_t /*flags*/) {
  if (buffer == nullptr || !g_mixer) return -1;
  platform::AudioBufferFormat f;
  if (!ToMixerFormat(format, &f)) return -1;
  if (bytes <= 0 || bytes > platform::kMixerMaxBufferBytes) return -1;
  const int32_t id = g_mixer->CreateBuffer(f, static_cast<uint32_t>(bytes));
  if (id < 0) return -1;
  buffer->valid = 1;
  buffer->id = id;
  return 0;
}

int DuplicateSoundBufferWrapper(SoundBuffer* buffer, const SoundBuffer& source) {
  platform::AudioMixer* mixer = MixerFor(source);
  if (buffer == nullptr || mixer == nullptr) return -1;
  const int32_t id = mixer->DuplicateBuffer(source.id);
  if (id < 0) return -1;
  buffer->valid = 1;
  buffer->id = id;
  return 0;
}

int ReleaseSoundBuffer(SoundBuffer* buffer) {
  if (buffer == nullptr) return -1;
  platform::AudioMixer* mixer = MixerFor(*buffer);
  if (mixer == nullptr) return -1;
  mixer->ReleaseBuffer(buffer->id);
  buffer->valid = 0;
  buffer->id = -1;
  return 0;
}

int PlaySoundBuffer(const SoundBuffer& buffer, int loop) {
  platform::AudioMixer* mixer = MixerFor(buffer);
  return mixer == nullptr ? -1 : mixer->Play(buffer.id, loop != 0);
}

int StopSoundBuffer(const SoundBuffer& buffer) {
  platform::AudioMixer* mixer = MixerFor(buffer);
  return mixer == nullptr ? -1 : mixer->Stop(buffer.id);
}

int GetSoundBufferStatus(const SoundBuffer& buffer, int* status) {
  platform::AudioMixer* mixer = MixerFor(buffer);
  if (mixer == nullptr || status == nullptr) return -1;
  const int bits = mixer->Status(buffer.id);
  if (bits < 0) return -1;
  *status = bits;
  return 0;
}

int GetSoundBufferCursors(const SoundBuffer& buffer, uint32_t* play, uint32_t* write) {
  platform::AudioMixer* mixer = MixerFor(buffer);
  return mixer == nullptr ? -1 : mixer->GetCursors(buffer.id, play, write);
}

int LockSoundBuffer(const SoundBuffer& buffer, uint32_t offset, uint32_t bytes, platform::AudioLock* lock) {
  platform::AudioMixer* mixer = MixerFor(buffer);
  return mixer == nullptr ? -1 : mixer->Lock(buffer.id, offset, bytes, lock);
}

int UnlockSoundBuffer(const SoundBuffer& buffer, platform::AudioLock* lock) {
  platform::AudioMixer* mixer = MixerFor(buffer);
  return mixer == nullptr ? -1 : mixer->Unlock(lock);
}

int SetSoundBufferFrequency(const SoundBuffer& buffer, uint32_t hertz) {
  platform::AudioMixer* mixer = MixerFor(buffer);
  return mixer == nullptr ? -1 : mixer->SetFrequency(buffer.id, hertz);
}

int SetSoundBufferVolume(const SoundBuffer& buffer, int32_t hundredths_db) {
  platform::AudioMixer* mixer = MixerFor(buffer);
  return mixer == nullptr ? -1 : mixer->SetVolume(buffer.id, hundredths_db);
}

int SetSoundBufferPosition(const SoundBuffer& buffer, uint32_t bytes) {
  platform::AudioMixer* mixer = MixerFor(buffer);
  return mixer == nullptr ? -1 : mixer->SetPosition(buffer.id, bytes);
}
