// Public entry points of sound: each takes ApiLock around one inner
// operation of the sound layer (engine/core/sound) and returns its result
// unchanged. Sound handles come last where an operation takes a value and a
// handle. Volumes 0..255, frequencies hertz, positions milliseconds.
//
// The sound service (LibrarySoundService, library_services.h) answers the
// sound seam; ConnectSoundMessagePass gives the sound layer the message pass
// for the wait of play type 0.
#pragma once

#include <cstdint>

int FreeAllSoundHandles(int flag);
int ImportSoundWithBuffers(const void* image, int32_t size, int buffer_count, int option);
int ImportSoundFromMemory(const void* image, int32_t size, int option);
int FreeSoundHandle(int handle, int flag);
int PlaySoundHandle(int handle, int play_type, int restart);
int HaltSoundHandle(int handle);
int IsSoundPlaying(int handle);
int SetSoundVolume(int volume, int handle);
int SetSoundFrequency(int hertz, int handle);
int GetSoundFrequency(int handle);
int SetSoundPositionMs(int milliseconds, int handle);
int GetSoundPositionMs(int handle);
int GetSoundLengthMs(int handle);
int SetSoundLoopStartMs(int milliseconds, int handle);
// 0 normal sounds; 1..3 stream sounds. -1 (mode kept) for other values.
int SetSoundLoadMode(int mode);

// Gives the sound layer the message pass as its pump (LibraryServiceSet
// calls it).
void ConnectSoundMessagePass();
