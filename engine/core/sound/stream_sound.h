// Stream sounds and the sound load mode. A stream sound keeps its file
// image (or the caller's stream) and decodes it into a looping buffer of six
// seconds while it plays; each message pass refills it to keep three to
// four seconds ahead of the play cursor. Up to three sources play in order,
// each repeat_count + 1 times (-1 endlessly), repeats starting at the
// source's loop start. Several handles may play through one buffer; the
// buffer's owner is deleted only after its last sharer.
//
// Units: A = the format's average bytes per second, B = its block align;
// buffer positions and cursors are bytes, samples are frames, positions at
// the entry milliseconds. Sizes of the buffer: S = 6A, refill unit
// U = floor(A / 8 / B) x B (an eighth of a second), prime P = floor(4A / B) x B.
// Everything runs under ApiLock.
#pragma once

#include <cstdint>

#include "engine/core/base/library_handle.h"
#include "engine/core/files/file_stream.h"

struct SoundRecord;

// 0..3; -1 (mode kept) for any other value. Modes 1..3 load stream sounds
// with image sources (kind 2); 0 loads normal sounds.
int SetSoundLoadMode(int mode);
int GetSoundLoadMode();
// Mode 0, as after sound start-up.
void ResetSoundLoadMode();

int AddStreamSoundFromImage(const void* image, int32_t size, int repeat_count, LibraryHandle handle, int kind,
                            LibraryHandle share);
// Adds a source read through ops from stream. *may_close is 1 when the
// source made its own copy, so the caller may close its stream.
int AddSreamSound(const StreamOps* ops, StreamHandle stream, int repeat_count, LibraryHandle handle, int kind,
                  int* may_close, LibraryHandle share);
int PrepareStreamSound(LibraryHandle handle);
int PlayStreamSound(LibraryHandle handle, int play_type, int restart);
int StopStreamSound(LibraryHandle handle);
int IsStreamSoundPlaying(LibraryHandle handle);
// 0, or -1 for a bad handle or a cursor outside the written window.
int RefillStreamSound(LibraryHandle handle);
// Refills every stream sound; one call per message pass.
int RefillAllStreamSounds();
// cursor -1 reads the play cursor.
void UpdateStreamPlayPosition(LibraryHandle handle, int64_t cursor);
int SetStreamSoundPosition(int milliseconds, LibraryHandle handle);
int GetStreamSoundPositionMs(LibraryHandle handle);
int SetSoundLoopStartSamples(int64_t samples, LibraryHandle handle);
int SetSoundLoopStartMsInner(int milliseconds, LibraryHandle handle);
// Deletion of a stream sound's resources: 1 when deferred (the record
// stays), else 0 and the caller frees the slot.
int DeleteStreamSound(LibraryHandle handle, SoundRecord* record);

// The refill's arithmetic, for tests.
int64_t StreamUnitSize(int64_t avg_bytes, int64_t block_align);
int64_t StreamPrimeSize(int64_t avg_bytes, int64_t block_align);
// Bytes to write when `lead` bytes lie between the play cursor and the
// write position.
int64_t StreamRefillSize(int64_t avg_bytes, int64_t block_align, int64_t lead);
// The played-bytes bookkeeping of UpdateStreamPlayPosition for cursor.
void AdvanceStreamPlayed(SoundRecord* record, int64_t buffer_size, int64_t cursor);
