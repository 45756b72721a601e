// Sound output and sound handles: start-up and shutdown of the sound output,
// the table of sound handles (HandleType kSound, 4096 slots) and the
// operations on them. A handle is a normal sound (the whole file decoded to
// PCM, copied into one to ten playback buffers so an effect can sound
// several times at once) or a stream sound (stream_sound.h: the file image
// kept, decoded into a looping six-second buffer while it plays).
//
// Units: volumes 0..255 at the entry, hundredths of a decibel below it;
// positions and lengths milliseconds (truncated) or samples (one frame of
// every channel); cursors bytes. Every operation answers -1 before
// InitializeSound and after TerminateSound, and for a handle the table
// refuses. Everything runs under ApiLock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "engine/core/base/handle_links.h"
#include "engine/core/base/library_handle.h"
#include "engine/core/files/file_stream.h"
#include "engine/core/sound/sound_buffer.h"
#include "engine/core/sound/sound_convert.h"

inline constexpr int kSoundBufferSlots = 10;
inline constexpr int kStreamSourceSlots = 4;

// One source of a stream sound.
struct StreamSoundSource {
  int8_t repeat_count = 0;  // plays repeat_count + 1 times; -1 endlessly
  int kind = 0;             // 0 decoded whole, 2 image decoded while playing, 3 caller's stream
  TrackedBlock image;
  int64_t image_size = 0;
  const StreamOps* ops = nullptr;
  StreamHandle stream = 0;
  MemoryStream* own_stream = nullptr;  // the memory stream over image (kinds 0 and 2)
  int32_t loop_start = 0;              // samples; repeats start here
  std::unique_ptr<SoundConvert> convert;
};

struct SoundRecord {
  SoundBuffer buffers[kSoundBufferSlots];
  WaveFormatEx format{};
  int kind = 0;  // 0 normal, 1 stream
  int play_type = 0;
  uint32_t play_start_time = 0;  // milliseconds

  // Stream sound (stream_sound.h).
  LibraryHandle owner = -1;  // handle whose buffer this one plays through
  int share_count = 0;
  LibraryHandle current_user = -1;
  int delete_pending = 0;
  int64_t buffer_size = 0;
  int64_t write_position = 0;
  int64_t safe_position = 0;
  StreamSoundSource sources[kStreamSourceSlots];
  uint8_t close_flags[kStreamSourceSlots] = {};
  int source_count = 0;
  int current_source = 0;
  int plays = 0;
  int64_t taken = 0;  // bytes taken from the current source
  int64_t total_samples = 0;
  int64_t played = 0;  // bytes
  int64_t last_cursor = 0;
  uint8_t started = 0;
  uint8_t end_phase = 0;
  uint8_t wrap_pending = 0;
  uint8_t all_done = 0;
  int64_t end_position = 0;
  int64_t cursor_at_end = 0;
  int64_t wrap_position = 0;
  HandleLink node;

  // Normal sound: the decoded PCM, kept so that a loop start can later turn
  // the sound into a stream sound.
  TrackedBlock pcm;
  int64_t pcm_size = 0;
  int buffer_count = 0;
  int last_played = 0;

  // Records live in blocks of the library allocator.
  static void* operator new(size_t size);
  static void* operator new(size_t size, const std::nothrow_t&) noexcept;
  static void operator delete(void* block) noexcept;
};

// What sound reaches in the services above it; registered by the entry
// layer. Empty hooks fall back to the defaults named.
struct SoundHooks {
  // One message pass for the wait of play type 0: 0 while the program goes
  // on, non-zero once it quits. Default: -1 when the library's quit flag is
  // set, else 0.
  std::function<int()> process_message;
  // Deletes every MIDI handle and the MIDI temporary file at shutdown.
  std::function<void()> delete_all_midi;
};
SoundHooks& GetSoundHooks();

int InitializeSound();
int TerminateSound();
// 1 between InitializeSound and TerminateSound.
int IsSoundStarted();

LibraryHandle AddSoundData(LibraryHandle handle);
LibraryHandle LoadSoundToMemory(const void* image, int32_t size, int buffer_count, LibraryHandle share);
int CreateSoundBuffers(const WaveFormatEx& format, int64_t bytes, int kind, int count, LibraryHandle handle);
int PlaySoundInner(LibraryHandle handle, int play_type, int restart);
int StopSound(LibraryHandle handle);
int CheckSoundPlaying(LibraryHandle handle);
int SetSoundVolumeInner(int volume, LibraryHandle handle);
int SetSoundFrequencyInner(int hertz, LibraryHandle handle);
int GetSoundFrequencyInner(LibraryHandle handle);
int SetSoundPositionMsInner(int milliseconds, LibraryHandle handle);
int GetSoundPositionMsInner(LibraryHandle handle);
int GetSoundLengthMsInner(LibraryHandle handle);
int64_t GetSoundTotalSamples(LibraryHandle handle);
int DeleteSound(LibraryHandle handle, int unused = 0);
int DeleteAllSounds(int unused = 0);
// The volume setting's value in hundredths of a decibel for 0..255.
int32_t SoundVolumeToHundredthsDb(int volume);

// For the stream-sound layer and tests.
SoundRecord* FindSoundRecord(LibraryHandle handle);
int GetSoundUsedArea();
int GetSoundHandleCount();
// The stream-sound list's sentinels.
HandleLink* StreamSoundListFirst();
HandleLink* StreamSoundListLast();
