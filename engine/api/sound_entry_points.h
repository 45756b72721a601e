// Public entry points of sound: each takes ApiLock around one inner
// operation of the sound layer (engine/core/sound) and returns its result
// unchanged. Sound handles come last where an operation takes a value and a
// handle. Volumes 0..255, frequencies hertz, positions milliseconds.
//
// RegisterSoundServices is the one place where sound's upward hooks are
// installed: start-up and shutdown, the per-pass stream refill of the
// message pass, and what the sound layer reaches above itself (the message
// pass for the wait of play type 0).
#pragma once

#include <cstdint>

struct LibraryServices;

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

// Installs sound start-up and shutdown as start-up's sound hooks, the stream
// refill as the message pass's hook, and the message pass as sound's pump.
void RegisterSoundServices(LibraryServices& services);
