// Stream sounds: sources, the per-pass refill, end and loop handling,
// positions and shared buffers.
#include "engine/core/sound/stream_sound.h"

#include <cstring>

#include "engine/core/base/log.h"
#include "engine/core/base/tracked_memory.h"
#include "engine/core/sound/sound_output.h"
#include "platform/clock.h"

namespace {

int g_load_mode = 0;

constexpr int64_t kWriteUnprimed = -800;

// The refill's view of a locked region of the stream buffer.
struct BufferLockRegion {
  platform::AudioLock lock;
  int64_t filled_first = 0;
  int64_t filled_second = 0;
  int64_t left_first = 0;
  int64_t left_second = 0;
};

int64_t Avg(const SoundRecord* r) { return r->format.avg_bytes_per_sec; }
int64_t Align(const SoundRecord* r) { return r->format.block_align == 0 ? 1 : r->format.block_align; }

int64_t Modulo(int64_t value, int64_t size) {
  if (size <= 0) return 0;
  const int64_t m = value % size;
  return m < 0 ? m + size : m;
}

// True when c lies in the cyclic window from safe to write.
bool InWindow(int64_t c, int64_t safe, int64_t write) {
  if (safe <= write) return c >= safe && c <= write;
  return c >= safe || c <= write;
}

bool IsBufferPlaying(const SoundBuffer& buffer) {
  int status = 0;
  return buffer.valid && GetSoundBufferStatus(buffer, &status) == 0 && (status & platform::kAudioBufferPlaying);
}

// The record that owns the buffer h plays through (h's own, or its owner's).
SoundRecord* BufferOwner(SoundRecord* record) {
  if (record->owner == -1) return record;
  return FindSoundRecord(record->owner);
}

int ResolveStreamBuffer(LibraryHandle handle, SoundRecord* record, SoundBuffer** out, bool take_over) {
  if (record->kind != 1) {
    *out = &record->buffers[0];
    return 0;
  }
  SoundRecord* owner = BufferOwner(record);
  if (owner == nullptr) return -1;
  if (owner->current_user != -1 && owner->current_user != handle) {
    if (!take_over) return -1;
    const LibraryHandle previous = owner->current_user;
    StopStreamSound(previous);
    // The buffer now holds someone else's sound: the previous user primes
    // again at its next play.
    if (SoundRecord* loser = FindSoundRecord(previous)) loser->started = 0;
  }
  owner->current_user = handle;
  *out = &owner->buffers[0];
  return 0;
}

SoundRecord* StreamRecord(LibraryHandle handle) {
  SoundRecord* record = FindSoundRecord(handle);
  return record != nullptr && record->kind == 1 ? record : nullptr;
}

// Offset in the buffer of the region's next byte.
int64_t NextOffset(const BufferLockRegion& region, int64_t buffer_size) {
  return Modulo(region.lock.offset + region.filled_first + region.filled_second, buffer_size);
}

void FillLockedSilence(const SoundRecord* record, BufferLockRegion* region, int64_t bytes) {
  const uint8_t value = record->format.bits_per_sample == 8 ? 0x7F : 0x00;
  const int64_t first = bytes < region->left_first ? bytes : region->left_first;
  std::memset(region->lock.first() + region->filled_first, value, static_cast<size_t>(first));
  region->filled_first += first, region->left_first -= first, bytes -= first;
  const int64_t second = bytes < region->left_second ? bytes : region->left_second;
  std::memset(region->lock.second() + region->filled_second, value, static_cast<size_t>(second));
  region->filled_second += second, region->left_second -= second;
}

int64_t ReadStreamSources(BufferLockRegion* region, SoundConvert* convert, int64_t bytes) {
  int64_t total = 0;
  while (bytes > 0) {
    uint8_t* target;
    int64_t room;
    bool first = region->left_first > 0;
    if (first) {
      target = region->lock.first() + region->filled_first, room = region->left_first;
    } else if (region->left_second > 0) {
      target = region->lock.second() + region->filled_second, room = region->left_second;
    } else {
      break;
    }
    const int64_t want = bytes < room ? bytes : room;
    const int64_t got = ReadSoundConvert(convert, target, want);
    if (got <= 0) break;  // the end, or a decoder error: the source has run out
    if (first) {
      region->filled_first += got, region->left_first -= got;
    } else {
      region->filled_second += got, region->left_second -= got;
    }
    total += got;
    bytes -= got;
  }
  return total;
}

// The last source has run out: silence follows the data (the rest of the
// region, at least an eighth of a second when the region has room), and the
// refill stops once the cursor has passed the end.
void EnterEndPhase(SoundRecord* record, BufferLockRegion* region, int64_t cursor) {
  record->end_phase = 1;
  record->end_position = NextOffset(*region, record->buffer_size);
  record->cursor_at_end = cursor;
  FillLockedSilence(record, region, region->left_first + region->left_second);
}

int AdvanceStreamSource(SoundRecord* record, BufferLockRegion* region, int64_t cursor) {
  ++record->plays;
  StreamSoundSource* source = &record->sources[record->current_source];
  if (source->repeat_count != -1 && record->plays > source->repeat_count) {
    record->plays = 0;
    ++record->current_source;
    if (record->current_source >= record->source_count) {
      record->all_done = 1;
      if (record->play_type == 3) {
        record->wrap_pending = 1;
        record->current_source = 0;
        record->wrap_position = NextOffset(*region, record->buffer_size);
      } else {
        EnterEndPhase(record, region, cursor);
        return -1;
      }
    }
    source = &record->sources[record->current_source];
  }
  record->taken = record->plays == 0 ? 0 : static_cast<int64_t>(source->loop_start) * Align(record);
  SeekSoundConvert(source->convert.get(), record->taken / Align(record));
  return 0;
}

// The last source has been played out (an end phase left the current
// source past the last).
bool Exhausted(const SoundRecord* record) { return record->current_source >= record->source_count; }

void ResetStreamPosition(SoundRecord* record) {
  record->all_done = 0;
  record->taken = 0;
  record->played = 0;
  record->wrap_pending = 0;
  record->plays = 0;
  record->current_source = 0;
  record->started = 0;
}

// Plays through one round of every source: how many empty advances in a
// row mean that nothing can be read any more.
int RoundLength(const SoundRecord* record) {
  int length = 1;
  for (int i = 0; i < record->source_count; ++i) {
    const int repeat = record->sources[i].repeat_count;
    length += repeat < 0 ? 1 : repeat + 1;
  }
  return length;
}

void CloseSource(StreamSoundSource* source, bool close_stream) {
  if (source->convert) {
    CloseSoundConvert(source->convert.get());
    source->convert.reset();
  }
  if (source->own_stream != nullptr) {
    CloseMemoryStream(MemoryStreamHandle(source->own_stream));
    source->own_stream = nullptr;
  }
  if (close_stream && source->kind == 3 && source->ops != nullptr && source->ops->close != nullptr) {
    source->ops->close(source->stream);
  }
  source->image.reset();
  source->image_size = 0;
}

}  // namespace

int64_t StreamUnitSize(int64_t avg_bytes, int64_t block_align) {
  return block_align <= 0 ? 0 : avg_bytes / 8 / block_align * block_align;
}

int64_t StreamPrimeSize(int64_t avg_bytes, int64_t block_align) {
  return block_align <= 0 ? 0 : 4 * avg_bytes / block_align * block_align;
}

int64_t StreamRefillSize(int64_t avg_bytes, int64_t block_align, int64_t lead) {
  if (avg_bytes <= 0 || block_align <= 0) return 0;
  const int64_t m = lead * 128 / avg_bytes;
  if (m < 384) return (384 - m) * avg_bytes / 128 / block_align * block_align;
  return StreamUnitSize(avg_bytes, block_align);
}

int SetSoundLoadModeInner(int mode) {
  if (mode < 0 || mode > 3) return -1;
  g_load_mode = mode;
  return 0;
}
int GetSoundLoadMode() { return g_load_mode; }
void ResetSoundLoadMode() { g_load_mode = 0; }

int AddStreamSoundFromImage(const void* image, int32_t size, int repeat_count, LibraryHandle handle, int kind,
                            LibraryHandle share) {
  MemoryStream* stream = OpenMemoryStream(image, size);
  if (stream == nullptr) {
    WriteLog("ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n");
    return -1;
  }
  int may_close = 0;
  if (AddSreamSound(GetMemoryStreamOps(), MemoryStreamHandle(stream), repeat_count, handle, kind == 3 ? 2 : kind,
                    &may_close, share) != 0) {
    WriteLog("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n");
    CloseMemoryStream(MemoryStreamHandle(stream));
    return -1;
  }
  SoundRecord* record = FindSoundRecord(handle);
  if (may_close) CloseMemoryStream(MemoryStreamHandle(stream));
  record->close_flags[record->source_count - 1] = 1;
  return 0;
}

int AddSreamSound(const StreamOps* ops, StreamHandle stream, int repeat_count, LibraryHandle handle, int kind,
                  int* may_close, LibraryHandle share) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr || ops == nullptr) return -1;
  if (record->source_count > 0) {
    if (record->kind != 1) {
      WriteLog("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n");
      return -1;
    }
    if (IsStreamSoundPlaying(handle)) {
      WriteLog("既に再生中のストリームサウンドデータにデータを追加しようとしました\n");
      return -1;
    }
    if (record->source_count >= 3) {
      WriteLog("ストリーム風サウンドの制御データ領域がいっぱいです\n");
      return -1;
    }
  }
  StreamSoundSource source;
  source.kind = kind;
  if (ops->seek != nullptr) ops->seek(stream, 0, SEEK_SET);
  source.convert = std::make_unique<SoundConvert>();
  int close_ok = 0;
  if (kind == 3) {
    if (OpenSoundConvert(ops, stream, source.convert.get()) != 0) {
      WriteLog("音声データのオープンに失敗しました");
      return -1;
    }
    source.ops = ops;
    source.stream = stream;
  } else if (kind == 2 || kind == 0) {
    uint8_t* block = nullptr;
    int64_t size = 0;
    if (ReadWholeStream(ops, stream, &block, &size) != 0 || size > INT32_MAX) {
      TrackedFree(block);
      WriteLog(kind == 2 ? "音声データの読み込みに失敗しました" : "音声データの変換に失敗しました");
      return -1;
    }
    TrackedBlock whole(block);
    if (kind == 0) {
      // Decoded whole now; the PCM is kept as a WAVE image.
      MemoryStream* temp = OpenMemoryStream(whole.get(), static_cast<int32_t>(size));
      SoundConvert convert;
      uint8_t* pcm = nullptr;
      int64_t pcm_size = 0;
      WaveFormatEx format{};
      const bool ok = temp != nullptr &&
                      OpenSoundConvert(GetMemoryStreamOps(), MemoryStreamHandle(temp), &convert) == 0 &&
                      ConvertSoundToPcm(&convert, &format, &pcm, &pcm_size) == 0;
      if (convert.valid) CloseSoundConvert(&convert);
      if (temp != nullptr) CloseMemoryStream(MemoryStreamHandle(temp));
      TrackedBlock pcm_block(pcm);
      uint8_t* image = nullptr;
      int64_t image_size = 0;
      if (!ok || BuildWaveImage(&image, &image_size, &format, 18, pcm_block.get(), pcm_size) != 0) {
        WriteLog("音声データの変換に失敗しました");
        return -1;
      }
      whole.reset(image);
      size = image_size;
    }
    source.image = std::move(whole);
    source.image_size = size;
    source.own_stream = OpenMemoryStream(source.image.get(), static_cast<int32_t>(size));
    if (source.own_stream == nullptr ||
        OpenSoundConvert(GetMemoryStreamOps(), MemoryStreamHandle(source.own_stream), source.convert.get()) != 0) {
      CloseSource(&source, false);
      WriteLog("音声データのオープンに失敗しました");
      return -1;
    }
    source.ops = GetMemoryStreamOps();
    source.stream = MemoryStreamHandle(source.own_stream);
    close_ok = 1;
  } else {
    WriteLog("音声データのオープンに失敗しました");
    return -1;
  }

  WaveFormatEx format{};
  GetSoundConvertFormat(source.convert.get(), &format);
  if (record->source_count == 0) {
    // A format the output cannot play fails here instead of ending the
    // program at the buffer's creation.
    platform::AudioBufferFormat playable;
    if (!ToMixerFormat(format, &playable)) {
      CloseSource(&source, false);
      WriteLog("ストリーム風サウンドバッファの作成に失敗しました\n");
      return -1;
    }
    record->format = format;
    SoundRecord* shared = share != -1 && share != handle ? FindSoundRecord(share) : nullptr;
    if (shared != nullptr && shared->kind == 1 && shared->owner == -1 &&
        std::memcmp(&shared->format, &format, sizeof format) == 0) {
      record->kind = 1;
      record->buffer_count = 1;
      InsertHandleLink(StreamSoundListFirst(), &record->node, handle, record);
      record->owner = share;
      ++shared->share_count;
    } else {
      CreateSoundBuffers(format, 6 * static_cast<int64_t>(format.avg_bytes_per_sec), 1, 1, handle);
      record->owner = -1;
    }
    record->buffer_size = 6 * static_cast<int64_t>(format.avg_bytes_per_sec);
    record->share_count = 0;
    record->current_user = -1;
    record->delete_pending = 0;
  } else if (std::memcmp(&record->format, &format, sizeof format) != 0) {
    CloseSource(&source, false);
    WriteLog("フォーマットの違う音声データは同時に使うことは出来ません");
    return -1;
  }
  source.repeat_count = static_cast<int8_t>(repeat_count);
  record->sources[record->source_count] = std::move(source);
  ++record->source_count;
  int64_t total = 0;
  for (int i = 0; i < record->source_count; ++i) {
    total += GetSoundConvertSize(record->sources[i].convert.get()) / Align(record);
  }
  record->total_samples = total;
  if (may_close != nullptr) *may_close = close_ok;
  return 0;
}

int PrepareStreamSound(LibraryHandle handle) {
  SoundRecord* record = StreamRecord(handle);
  if (record == nullptr || IsStreamSoundPlaying(handle)) return 0;
  SoundBuffer* buffer = nullptr;
  if (ResolveStreamBuffer(handle, record, &buffer, false) != 0 || record->started) return 0;
  SetSoundBufferPosition(*buffer, 0);
  record->last_cursor = 0;  // the cursor starts again from the buffer's top
  record->write_position = kWriteUnprimed;
  record->safe_position = -1;
  record->end_phase = 0;
  if (!Exhausted(record)) {
    SeekSoundConvert(record->sources[record->current_source].convert.get(), record->taken / Align(record));
  }
  record->started = 1;
  RefillStreamSound(handle);
  return 0;
}

int PlayStreamSound(LibraryHandle handle, int play_type, int restart) {
  SoundRecord* record = StreamRecord(handle);
  if (record == nullptr) return -1;
  SoundBuffer* buffer = nullptr;
  if (ResolveStreamBuffer(handle, record, &buffer, true) != 0) return -1;
  if (restart == 0 && IsStreamSoundPlaying(handle)) return 0;
  StopStreamSound(handle);
  // A sound whose data ran out (even during the prime at load, before any
  // play) starts again from the top.
  if (((play_type ^ record->play_type) & 2) != 0 && (record->all_done || Exhausted(record))) {
    ResetStreamPosition(record);
  }
  if (restart == 1) {
    record->all_done = 0;
    if (record->played != 0 || Exhausted(record)) ResetStreamPosition(record);
  }
  record->play_type = play_type;
  PrepareStreamSound(handle);
  // Stopping released a shared buffer; take it again.
  if (ResolveStreamBuffer(handle, record, &buffer, true) != 0) return -1;
  PlaySoundBuffer(*buffer, 1);
  record->play_start_time = platform::GetClock().Milliseconds();
  if (play_type == 0) {
    SoundHooks& hooks = GetSoundHooks();
    for (;;) {
      const int quit = hooks.process_message ? hooks.process_message() : (RefillAllStreamSounds(), 0);
      if (quit != 0 || !IsStreamSoundPlaying(handle)) break;
      platform::GetClock().Sleep(1);
    }
  }
  return 0;
}

int StopStreamSound(LibraryHandle handle) {
  SoundRecord* record = StreamRecord(handle);
  if (record == nullptr) return 0;
  UpdateStreamPlayPosition(handle, -1);
  SoundBuffer* buffer = nullptr;
  if (ResolveStreamBuffer(handle, record, &buffer, false) != 0) return 0;
  if (record->owner != -1) {
    if (SoundRecord* owner = FindSoundRecord(record->owner)) owner->current_user = -1;
  }
  if (IsBufferPlaying(*buffer)) StopSoundBuffer(*buffer);
  return 0;
}

int IsStreamSoundPlaying(LibraryHandle handle) {
  SoundRecord* record = StreamRecord(handle);
  if (record == nullptr) return 0;
  SoundRecord* owner = BufferOwner(record);
  if (owner == nullptr || owner->current_user != handle) return 0;
  return IsBufferPlaying(owner->buffers[0]) ? 1 : 0;
}

void AdvanceStreamPlayed(SoundRecord* r, int64_t buffer_size, int64_t c) {
  const int64_t l = r->last_cursor;
  if (c == l) return;
  const int64_t w = r->wrap_position;
  bool done = false;
  if (r->wrap_pending && c > l) {
    if (l < w && w <= c) {
      r->played = c - w;
      r->wrap_pending = 0;
      done = true;
    }
  } else if (r->wrap_pending && c < l) {
    if (w > l) {
      r->played = buffer_size - w + c;
      r->wrap_pending = 0;
      done = true;
    } else if (w < c) {
      r->played = c - w;
      r->wrap_pending = 0;
      done = true;
    }
  }
  if (!done) r->played += c > l ? c - l : buffer_size - l + c;
  r->last_cursor = c;
}

void UpdateStreamPlayPosition(LibraryHandle handle, int64_t cursor) {
  SoundRecord* record = StreamRecord(handle);
  if (record == nullptr || !record->started) return;
  SoundBuffer* buffer = nullptr;
  if (ResolveStreamBuffer(handle, record, &buffer, false) != 0) return;
  if (cursor < 0) {
    uint32_t play = 0;
    if (GetSoundBufferCursors(*buffer, &play, nullptr) != 0) return;
    cursor = play;
  }
  AdvanceStreamPlayed(record, record->buffer_size, cursor);
}

int RefillStreamSound(LibraryHandle handle) {
  SoundRecord* record = StreamRecord(handle);
  if (record == nullptr) return -1;
  SoundBuffer* buffer = nullptr;
  if (ResolveStreamBuffer(handle, record, &buffer, false) != 0 || !record->started) return -1;
  const int64_t a = Avg(record);
  const int64_t b = Align(record);
  const int64_t s = record->buffer_size;
  const int64_t unit = StreamUnitSize(a, b);
  UpdateStreamPlayPosition(handle, -1);
  uint32_t play = 0;
  GetSoundBufferCursors(*buffer, &play, nullptr);
  int64_t c = play;

  if (record->end_phase) {
    const int64_t e = record->end_position;
    const int64_t at_end = record->cursor_at_end;
    // at_end == e: nothing was left to play when the end came.
    if (c > e && (at_end <= e || at_end > c)) {
      StopSoundBuffer(*buffer);
      record->end_phase = 0;
      return 0;
    }
    if (!InWindow(c, record->safe_position, record->write_position)) return -1;
    BufferLockRegion region;
    if (LockSoundBuffer(*buffer, static_cast<uint32_t>(record->write_position), static_cast<uint32_t>(unit),
                        &region.lock) != 0) {
      return -1;
    }
    region.left_first = region.lock.first_size, region.left_second = region.lock.second_size;
    FillLockedSilence(record, &region, unit);
    UnlockSoundBuffer(*buffer, &region.lock);
    record->write_position = Modulo(record->write_position + unit, s);
    record->safe_position = Modulo(record->write_position - 4 * a, s);
    return 0;
  }

  int64_t offset;
  int64_t fill;
  bool prime = false;
  if (!IsBufferPlaying(*buffer)) {
    if (record->write_position != kWriteUnprimed) return 0;
    offset = 0;
    fill = StreamPrimeSize(a, b);
    prime = true;
  } else {
    if (!InWindow(c, record->safe_position, record->write_position)) return -1;
    int64_t w = record->write_position;
    if (w < record->safe_position) {
      if (c < w) c += s;
      w += s;
    }
    fill = StreamRefillSize(a, b, w - c);
    offset = record->write_position;
  }

  if (fill > 0) {
    BufferLockRegion region;
    if (LockSoundBuffer(*buffer, static_cast<uint32_t>(offset), static_cast<uint32_t>(fill), &region.lock) != 0) {
      return -1;
    }
    region.left_first = region.lock.first_size, region.left_second = region.lock.second_size;
    const int round = RoundLength(record);
    int empty_advances = 0;
    while (region.left_first + region.left_second > 0 && !record->end_phase) {
      if (Exhausted(record)) {
        EnterEndPhase(record, &region, c % s);
        break;
      }
      SoundConvert* convert = record->sources[record->current_source].convert.get();
      const int64_t got = ReadStreamSources(&region, convert, region.left_first + region.left_second);
      record->taken += got;
      if (got > 0) {
        empty_advances = 0;
        continue;
      }
      if (AdvanceStreamSource(record, &region, c % s) != 0) break;
      // A whole round of sources without a byte (empty data, a loop start
      // past the decodable end) ends the sound instead of spinning.
      if (++empty_advances > round) {
        record->all_done = 1;
        EnterEndPhase(record, &region, c % s);
      }
    }
    UnlockSoundBuffer(*buffer, &region.lock);
  }
  if (prime) {
    record->write_position = 4 * a;
    record->safe_position = 0;
  } else {
    record->write_position = Modulo(record->write_position + fill, s);
    record->safe_position = Modulo(record->write_position - 4 * a, s);
  }
  return 0;
}

int RefillAllStreamSounds() {
  HandleLink* last = StreamSoundListLast();
  for (HandleLink* link = StreamSoundListFirst()->next; link != nullptr && link != last; link = link->next) {
    RefillStreamSound(link->handle);
  }
  return 0;
}

int SetStreamSoundPosition(int milliseconds, LibraryHandle handle) {
  SoundRecord* record = StreamRecord(handle);
  if (record == nullptr || milliseconds < 0) return -1;
  const int64_t b = Align(record);
  const int64_t rate = record->format.samples_per_sec;
  if (rate == 0) return -1;
  int64_t remaining = milliseconds;
  int index = 0;
  for (; index < record->source_count; ++index) {
    SoundConvert* convert = record->sources[index].convert.get();
    const int64_t bytes = convert->kind == kSoundConvertAcm ? GetSoundConvertSize(convert) : convert->data_size;
    const int64_t length = bytes * 1000 / (b * rate);
    if (remaining < length) break;
    remaining -= length;
  }
  if (index >= record->source_count) return -1;
  record->current_source = index;
  record->plays = 0;
  record->wrap_pending = 0;
  record->played = static_cast<int64_t>(static_cast<double>(Avg(record)) * milliseconds * 0.001);
  const auto taken = static_cast<int64_t>(static_cast<double>(rate) * static_cast<double>(remaining) * 0.001 *
                                          static_cast<double>(b));
  record->taken = taken - taken % b;  // whole sample frames
  record->started = 0;
  return 0;
}

int GetStreamSoundPositionMs(LibraryHandle handle) {
  SoundRecord* record = StreamRecord(handle);
  if (record == nullptr) return -1;
  UpdateStreamPlayPosition(handle, -1);
  const int length = GetSoundLengthMsInner(handle);
  const int64_t a = Avg(record);
  if (a == 0) return 0;
  const auto position = static_cast<int64_t>(static_cast<double>(record->played) / static_cast<double>(a) * 1000.0);
  return position < length ? static_cast<int>(position) : length;
}

int SetSoundLoopStartSamples(int64_t samples, LibraryHandle handle) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr || samples < 0) return -1;
  if (samples >= GetSoundTotalSamples(handle)) return -1;
  if (record->kind == 0) {
    uint8_t* image = nullptr;
    int64_t image_size = 0;
    if (BuildWaveImage(&image, &image_size, &record->format, 18, record->pcm.get(), record->pcm_size) != 0) {
      return -1;
    }
    TrackedBlock image_block(image);
    StopSound(handle);
    DeleteSound(handle, 0);
    if (AddSoundData(handle) != handle) return -1;
    MemoryStream* stream = OpenMemoryStream(image_block.get(), static_cast<int32_t>(image_size));
    int may_close = 0;
    if (stream == nullptr ||
        AddSreamSound(GetMemoryStreamOps(), MemoryStreamHandle(stream), 0, handle, 0, &may_close, -1) != 0) {
      WriteLog("ストリームサウンドハンドルの作成に失敗しました\n");
      if (stream != nullptr) CloseMemoryStream(MemoryStreamHandle(stream));
      DeleteSound(handle, 0);
      return -1;
    }
    CloseMemoryStream(MemoryStreamHandle(stream));
    record = FindSoundRecord(handle);
  }
  if (record->source_count < 2) {
    StreamSoundSource& source = record->sources[0];
    source.loop_start = static_cast<int32_t>(samples);
    source.convert->loop_target = samples * Align(record);
    source.repeat_count = -1;
    return 0;
  }
  WriteLog("二つ以上の音声ファイルから作成されたサウンドハンドルにループポイントを指定する事は出来ません\n");
  return -1;
}

int SetSoundLoopStartMsInner(int milliseconds, LibraryHandle handle) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr) return -1;
  const int64_t samples = static_cast<int64_t>(milliseconds) * record->format.samples_per_sec / 1000;
  if (samples < 0) return -1;
  return SetSoundLoopStartSamples(samples, handle);
}

int DeleteStreamSound(LibraryHandle handle, SoundRecord* record) {
  StopStreamSound(handle);
  if (record->owner != -1) {
    const LibraryHandle owner_handle = record->owner;
    SoundRecord* owner = FindSoundRecord(owner_handle);
    record->owner = -1;
    if (owner != nullptr) {
      --owner->share_count;
      if (owner->current_user == handle) owner->current_user = -1;
      if (owner_handle != handle && owner->delete_pending) DeleteSound(owner_handle, 0);
    }
  }
  if (record->share_count != 0) {
    record->delete_pending = 1;
    return 1;
  }
  RemoveHandleLink(&record->node);
  for (int i = 0; i < record->source_count; ++i) CloseSource(&record->sources[i], record->close_flags[i] != 0);
  if (record->buffers[0].valid) ReleaseSoundBuffer(&record->buffers[0]);
  return 0;
}
