// The sound entry points and the sound layer's hooks.
#include "engine/api/sound_entry_points.h"

#include "engine/api/library_services.h"
#include "engine/core/base/api_lock.h"
#include "engine/core/sound/sound_output.h"
#include "engine/core/sound/stream_sound.h"
#include "engine/core/window/message_pump.h"
#include "engine/core/window/window_procedure_hooks.h"

int FreeAllSoundHandles(int flag) {
  ApiLockGuard lock;
  return DeleteAllSounds(flag);
}

int ImportSoundWithBuffers(const void* image, int32_t size, int buffer_count, int option) {
  ApiLockGuard lock;
  return LoadSoundToMemory(image, size, buffer_count, option);
}

int ImportSoundFromMemory(const void* image, int32_t size, int option) {
  ApiLockGuard lock;
  return LoadSoundToMemory(image, size, 1, option);
}

int FreeSoundHandle(int handle, int flag) {
  ApiLockGuard lock;
  return DeleteSound(handle, flag);
}

int PlaySoundHandle(int handle, int play_type, int restart) {
  ApiLockGuard lock;
  return PlaySoundInner(handle, play_type, restart);
}

int HaltSoundHandle(int handle) {
  ApiLockGuard lock;
  return StopSound(handle);
}

int IsSoundPlaying(int handle) {
  ApiLockGuard lock;
  return CheckSoundPlaying(handle);
}

int SetSoundVolume(int volume, int handle) {
  ApiLockGuard lock;
  return SetSoundVolumeInner(volume, handle);
}

int SetSoundFrequency(int hertz, int handle) {
  ApiLockGuard lock;
  return SetSoundFrequencyInner(hertz, handle);
}

int GetSoundFrequency(int handle) {
  ApiLockGuard lock;
  return GetSoundFrequencyInner(handle);
}

int SetSoundPositionMs(int milliseconds, int handle) {
  ApiLockGuard lock;
  return SetSoundPositionMsInner(milliseconds, handle);
}

int GetSoundPositionMs(int handle) {
  ApiLockGuard lock;
  return GetSoundPositionMsInner(handle);
}

int GetSoundLengthMs(int handle) {
  ApiLockGuard lock;
  return GetSoundLengthMsInner(handle);
}

void RegisterSoundServices(LibraryServices& services) {
  LibraryServices::Sound& sound = services.sound;
  sound.initialize = [] { return InitializeSound(); };
  sound.terminate = [] { TerminateSound(); };
  SoundHooks& hooks = GetSoundHooks();
  hooks.process_message = [] { return ProcessMessage(); };
}
