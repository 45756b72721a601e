// Sound start-up and shutdown, the sound-handle table and the operations on
// normal sounds (stream sounds are handed to stream_sound.cpp).
#include "engine/core/sound/sound_output.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "engine/core/base/fatal_error.h"
#include "engine/core/base/library_state.h"
#include "engine/core/base/log.h"
#include "engine/core/base/tracked_memory.h"
#include "engine/core/sound/stream_sound.h"
#include "platform/clock.h"
#include "platform/text_encoding.h"

void* SoundRecord::operator new(size_t size) {
  void* block = TrackedCalloc(size, "", 0);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* SoundRecord::operator new(size_t size, const std::nothrow_t&) noexcept { return TrackedCalloc(size, "", 0); }
void SoundRecord::operator delete(void* block) noexcept { TrackedFree(block); }

namespace {

struct SoundGlobals {
  bool started = false;
  SoundBuffer silent_loop;
  HandleTable<SoundRecord> table{HandleType::kSound};
  int used_area = 0;
  HandleLink stream_first;
  HandleLink stream_last;
};

SoundGlobals& Globals() {
  static SoundGlobals globals;
  return globals;
}

SoundHooks g_hooks;

// Writes a formatted text to the log as it stands (no line feed added).
void LogF(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogF(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  WriteLog(text);
}

const char* OkOrNo(bool flag) { return flag ? "OK" : "NO"; }

int PumpOnce() {
  if (g_hooks.process_message) return g_hooks.process_message();
  return GetQuitFlag() != 0 ? -1 : 0;
}

// Starts the silent looping buffer that keeps the output running.
void StartSilentLoop(SoundGlobals& g) {
  WaveFormatEx format{kWaveFormatPcm, 2, 44100, 176400, 4, 16, 0};
  if (CreateSoundBuffer(&g.silent_loop, format, 400, kSoundBufferSilentFlags) != 0) {
    WriteLog("無音バッファの作成に失敗しました");
    return;
  }
  platform::AudioLock lock;
  if (LockSoundBuffer(g.silent_loop, 0, 400, &lock) != 0) {
    WriteLog("無音バッファのロックに失敗しました");
    ReleaseSoundBuffer(&g.silent_loop);
    return;
  }
  std::memset(lock.bytes.data(), 0, lock.bytes.size());
  UnlockSoundBuffer(g.silent_loop, &lock);
  PlaySoundBuffer(g.silent_loop, 1);
}

void LogDevices(const platform::AudioOpenReport& report) {
  IncreaseLogIndent();
  WriteLog("DirectSound デバイスを列挙します\n");
  IncreaseLogIndent();
  for (const std::string& device : report.devices) {
    const std::string module = platform::Utf8ToSjis(report.driver);
    const std::string name = platform::Utf8ToSjis(device);
    LogF("モジュール名:%15s  ドライバ記述:%s ", module.c_str(), name.c_str());
  }
  DecreaseLogIndent();
  LogF("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ", platform::kMixerMaxFrequency / 1000.0,
       platform::kMixerMinFrequency / 1000.0);
  LogF("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n", 0.0, 0.0);
  WriteLog("利用可能サンプリング精度\n");
  LogF(" プライマリ １６bit = %s  ８bit = %s ", OkOrNo(true), OkOrNo(true));
  LogF(" セカンダリ １６bit = %s  ８bit = %s \n", OkOrNo(true), OkOrNo(true));
  WriteLog("利用可能チャンネル\n");
  LogF(" プライマリ MONO = %s  STEREO = %s ", OkOrNo(true), OkOrNo(true));
  LogF(" セカンダリ MONO = %s  STEREO = %s \n", OkOrNo(true), OkOrNo(true));
  DecreaseLogIndent();
}

bool IsPlaying(const SoundBuffer& buffer) {
  int status = 0;
  return buffer.valid && GetSoundBufferStatus(buffer, &status) == 0 && (status & platform::kAudioBufferPlaying);
}

// Deletes a normal sound's buffers and PCM, or hands a stream sound to its
// own deletion; then frees the slot. 0, or 0 with the slot kept when a
// stream sound's deletion is deferred.
int DeleteRecord(LibraryHandle handle, SoundRecord* record) {
  SoundGlobals& g = Globals();
  if (record->kind == 1) {
    if (DeleteStreamSound(handle, record) == 1) return 0;  // deferred
  } else {
    if (record->buffers[0].valid) StopSound(handle);
    for (SoundBuffer& buffer : record->buffers) {
      if (buffer.valid) ReleaseSoundBuffer(&buffer);
    }
    record->pcm.reset();
  }
  g.table.Remove(handle);
  const int slot = static_cast<int>(HandleSlot(handle));
  if (slot + 1 == g.used_area) {
    int area = slot;
    while (area > 0 && g.table.RecordAt(area - 1) == nullptr) --area;
    g.used_area = area;
  }
  return 0;
}

}  // namespace

SoundHooks& GetSoundHooks() { return g_hooks; }

int IsSoundStarted() { return Globals().started ? 1 : 0; }

SoundRecord* FindSoundRecord(LibraryHandle handle) {
  SoundGlobals& g = Globals();
  if (!g.started) return nullptr;
  return g.table.Find(handle);
}

int GetSoundUsedArea() { return Globals().used_area; }
int GetSoundHandleCount() { return Globals().table.live_count(); }
HandleLink* StreamSoundListFirst() { return &Globals().stream_first; }
HandleLink* StreamSoundListLast() { return &Globals().stream_last; }

int InitializeSound() {
  SoundGlobals& g = Globals();
  if (g.started) return -1;
  WriteLog("DirectSound の初期化を行います\n");
  WriteLog("DirectSound インターフェースの取得を行います....  ");
  WriteLog("成功\n");
  WriteLog("引き続きインターフェースの初期化処理...  ");
  const platform::AudioOpenReport report = OpenSoundOutput();
  if (!report.ok) {
    WriteLog("初期化に失敗しました\n");
    return -1;
  }
  WriteLog("成功\n");
  if (report.fell_back_to_dummy) {
    const std::string why = platform::Utf8ToSjis(report.failure);
    LogF("サウンドデバイスを開けなかったため、音の出ない出力を使います ( %s )\n", why.c_str());
  }
  g.started = true;
  StartSilentLoop(g);
  ResetSoundLoadMode();
  InitHandleLinks(&g.stream_first, &g.stream_last);
  LogDevices(report);
  WriteLog("DirectSound の初期化は正常に終了しました\n");
  DeleteAllSounds(0);
  return 0;
}

int TerminateSound() {
  SoundGlobals& g = Globals();
  if (!g.started) return -1;
  FinishWaveCapture();
  DeleteAllSounds(0);
  if (g_hooks.delete_all_midi) g_hooks.delete_all_midi();
  if (g.silent_loop.valid) {
    StopSoundBuffer(g.silent_loop);
    ReleaseSoundBuffer(&g.silent_loop);
  }
  // Records whose deletion was still deferred go with the output.
  g.table.Clear();
  g.used_area = 0;
  CloseSoundOutput();
  g.started = false;
  WriteLog("DirectSound の終了処理は正常に終了しました\n");
  return 0;
}

LibraryHandle AddSoundData(LibraryHandle handle) {
  SoundGlobals& g = Globals();
  if (!g.started) return -1;
  // A given handle keeps its slot and check bits when that slot is free.
  bool reuse = handle != -1 && CheckHandleBits(handle, HandleType::kSound, g.table.capacity()) == HandleVerdict::kValid &&
               g.table.RecordAt(static_cast<int>(HandleSlot(handle))) == nullptr;
  int slot;
  if (reuse) {
    slot = static_cast<int>(HandleSlot(handle));
  } else {
    if (g.table.live_count() >= g.table.capacity()) {
      WriteLog("サウンドの数が許容量を越えました\n");
      return -1;
    }
    slot = g.used_area < g.table.capacity() ? g.used_area : g.table.FirstFreeSlot();
  }
  std::unique_ptr<SoundRecord> record(new (std::nothrow) SoundRecord());
  if (!record) {
    WriteLog("メモリ領域の確保に失敗しました in AddSoundData");
    return -1;
  }
  record->last_played = 0;
  const LibraryHandle made =
      g.table.Insert(slot, std::move(record), reuse ? static_cast<int>(HandleCheck(handle)) : -1);
  if (made == -1) return -1;
  if (slot + 1 > g.used_area) g.used_area = slot + 1;
  return made;
}

int CreateSoundBuffers(const WaveFormatEx& format, int64_t bytes, int kind, int count, LibraryHandle handle) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr) return -1;
  if (kind == 0) {
    if (CreateSoundBuffer(&record->buffers[0], format, bytes, kSoundBufferNormalFlags) != 0 &&
        CreateSoundBuffer(&record->buffers[0], format, bytes, kSoundBufferFallbackFlags) != 0) {
      FatalErrorExit("DirectSoundBuffer の作成に失敗しました");
    }
    int made = 1;
    for (int i = 1; i < count && i < kSoundBufferSlots; ++i) {
      if (DuplicateSoundBufferWrapper(&record->buffers[i], record->buffers[0]) != 0) break;
      ++made;
    }
    record->buffer_count = made;
  } else {
    if (CreateSoundBuffer(&record->buffers[0], format, bytes, kSoundBufferStreamFlags) != 0) {
      FatalErrorExit("ストリーム風サウンドバッファの作成に失敗しました");
    }
    record->buffer_count = 1;
  }
  record->kind = kind;
  if (kind == 1) InsertHandleLink(StreamSoundListFirst(), &record->node, handle, record);
  return 0;
}

LibraryHandle LoadSoundToMemory(const void* image, int32_t size, int buffer_count, LibraryHandle share) {
  if (!IsSoundStarted()) return -1;
  if (buffer_count > kSoundBufferSlots) return -1;
  if (buffer_count <= 0) buffer_count = 1;  // no buffer at all would leave nothing to rotate through
  const LibraryHandle handle = AddSoundData(-1);
  if (handle == -1) return -1;
  auto fail = [handle] {
    DeleteSound(handle, 0);
    return LibraryHandle{-1};
  };
  const int mode = GetSoundLoadMode();
  if (mode != 0) {
    if (AddStreamSoundFromImage(image, size, 0, handle, 2, share) != 0) return fail();  // modes 1..3 alike
    PrepareStreamSound(handle);
    return handle;
  }

  MemoryStream* stream = OpenMemoryStream(image, size);
  if (stream == nullptr) {
    WriteLog("音声ファイルのＰＣＭへの変換に失敗しました");
    return fail();
  }
  auto convert = std::make_unique<SoundConvert>();
  if (OpenSoundConvert(GetMemoryStreamOps(), MemoryStreamHandle(stream), convert.get()) != 0) {
    WriteLog("音声ファイルのＰＣＭへの変換に失敗しました");
    CloseMemoryStream(MemoryStreamHandle(stream));
    return fail();
  }
  WaveFormatEx format{};
  uint8_t* pcm = nullptr;
  int64_t pcm_size = 0;
  const int converted = ConvertSoundToPcm(convert.get(), &format, &pcm, &pcm_size);
  CloseSoundConvert(convert.get());
  CloseMemoryStream(MemoryStreamHandle(stream));
  if (converted != 0) {
    WriteLog("音声ファイルを格納するメモリ領域の確保に失敗しました");
    return fail();
  }
  TrackedBlock pcm_block(pcm);
  // A sound the output cannot play (no samples, more than two channels, a
  // rate out of range) fails its load instead of ending the program.
  platform::AudioBufferFormat playable;
  if (!ToMixerFormat(format, &playable) || pcm_size < format.block_align ||
      pcm_size > platform::kMixerMaxBufferBytes) {
    WriteLog("DirectSoundBuffer の作成に失敗しました\n");
    return fail();
  }
  CreateSoundBuffers(format, pcm_size, 0, buffer_count, handle);
  SoundRecord* record = FindSoundRecord(handle);
  record->format = format;
  record->pcm = std::move(pcm_block);
  record->pcm_size = pcm_size;
  for (int i = 0; i < record->buffer_count; ++i) {
    platform::AudioLock lock;
    if (LockSoundBuffer(record->buffers[i], 0, static_cast<uint32_t>(pcm_size), &lock) != 0) {
      WriteLog("サウンドデータの転送に失敗しました_1");
      return fail();
    }
    std::memcpy(lock.bytes.data(), record->pcm.get(), static_cast<size_t>(pcm_size));
    if (UnlockSoundBuffer(record->buffers[i], &lock) != 0) {
      WriteLog("サウンドデータの転送に失敗しました_2");
      return fail();
    }
  }
  return handle;
}

int PlaySoundInner(LibraryHandle handle, int play_type, int restart) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr) return -1;
  if (record->kind == 1) return PlayStreamSound(handle, play_type, restart);
  if (record->buffer_count <= 0) return -1;
  uint32_t cursor = 0;
  GetSoundBufferCursors(record->buffers[record->last_played], &cursor, nullptr);
  const int index = (record->last_played + 1) % record->buffer_count;
  SoundBuffer& buffer = record->buffers[index];
  if (IsPlaying(buffer)) {
    if (restart == 0) return 0;
    StopSoundBuffer(buffer);
  }
  SetSoundBufferPosition(buffer, restart == 1 ? 0 : cursor);
  PlaySoundBuffer(buffer, play_type == 3 ? 1 : 0);
  record->play_start_time = platform::GetClock().Milliseconds();
  record->last_played = index;
  if (play_type == 0) {
    for (;;) {
      if (PumpOnce() != 0) break;
      // The pass may have deleted the sound.
      SoundRecord* still = FindSoundRecord(handle);
      if (still == nullptr || !IsPlaying(still->buffers[index])) break;
      platform::GetClock().Sleep(1);
    }
  }
  return 0;
}

int StopSound(LibraryHandle handle) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr) return -1;
  if (record->kind == 1) return StopStreamSound(handle);
  for (int i = 0; i < record->buffer_count; ++i) {
    if (IsPlaying(record->buffers[i])) StopSoundBuffer(record->buffers[i]);
  }
  return 0;
}

int CheckSoundPlaying(LibraryHandle handle) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr) return -1;
  if (record->kind == 1) return IsStreamSoundPlaying(handle);
  for (int i = 0; i < record->buffer_count; ++i) {
    if (IsPlaying(record->buffers[i])) return 1;
  }
  return 0;
}

int32_t SoundVolumeToHundredthsDb(int volume) {
  if (volume >= 256) volume = 255;
  if (volume <= 0) return platform::kMixerSilence;
  const double value = std::trunc(1000.0 * std::log10(static_cast<double>(volume) / 255.0));
  return value < platform::kMixerSilence ? platform::kMixerSilence : static_cast<int32_t>(value);
}

int SetSoundVolumeInner(int volume, LibraryHandle handle) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr) return -1;
  const int32_t level = SoundVolumeToHundredthsDb(volume);
  for (const SoundBuffer& buffer : record->buffers) {
    if (buffer.valid) SetSoundBufferVolume(buffer, level);
  }
  return 0;
}

int SetSoundFrequencyInner(int hertz, LibraryHandle handle) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr) return -1;
  const uint32_t value = hertz == -1 ? 0u : static_cast<uint32_t>(hertz);
  for (const SoundBuffer& buffer : record->buffers) {
    if (buffer.valid) SetSoundBufferFrequency(buffer, value);
  }
  return 0;
}

int GetSoundFrequencyInner(LibraryHandle handle) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr) return -1;
  return static_cast<int>(record->format.samples_per_sec);
}

int SetSoundPositionMsInner(int milliseconds, LibraryHandle handle) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr) return -1;
  if (record->kind == 1) return SetStreamSoundPosition(milliseconds, handle);
  if (milliseconds < 0) return -1;
  for (int i = 0; i < record->buffer_count; ++i) {
    const SoundBuffer& buffer = record->buffers[i];
    if (IsPlaying(buffer)) continue;
    const WaveFormatEx& f = record->format;
    const auto bytes = static_cast<int64_t>(static_cast<double>(f.samples_per_sec) * milliseconds * 0.001 *
                                            f.block_align);
    // Cursors stay on whole sample frames.
    const int64_t aligned = bytes - bytes % f.block_align;
    if (aligned >= record->pcm_size) return -1;
    return SetSoundBufferPosition(buffer, static_cast<uint32_t>(aligned));
  }
  return -1;
}

int GetSoundPositionMsInner(LibraryHandle handle) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr) return -1;
  if (record->kind == 1) return GetStreamSoundPositionMs(handle);
  uint32_t cursor = 0;
  if (GetSoundBufferCursors(record->buffers[record->last_played], &cursor, nullptr) != 0) return -1;
  const int64_t unit = static_cast<int64_t>(record->format.block_align) * record->format.samples_per_sec;
  return unit == 0 ? 0 : static_cast<int>(static_cast<int64_t>(cursor) * 1000 / unit);
}

int64_t GetSoundTotalSamples(LibraryHandle handle) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr) return -1;
  if (record->kind == 1) return record->total_samples;
  if (record->format.block_align == 0) return 0;
  return record->pcm_size / record->format.block_align;
}

int GetSoundLengthMsInner(LibraryHandle handle) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr) return -1;
  const int64_t samples = GetSoundTotalSamples(handle);
  if (record->format.samples_per_sec == 0) return 0;
  return static_cast<int>(samples * 1000 / record->format.samples_per_sec);
}

int DeleteSound(LibraryHandle handle, int /*unused*/) {
  SoundRecord* record = FindSoundRecord(handle);
  if (record == nullptr) return -1;
  return DeleteRecord(handle, record);
}

int DeleteAllSounds(int /*unused*/) {
  SoundGlobals& g = Globals();
  if (!g.started) return -1;
  for (int slot = 0; slot < g.used_area; ++slot) {
    const LibraryHandle handle = g.table.HandleAt(slot);
    if (handle != -1) DeleteSound(handle, 0);
  }
  return 0;
}
