// The converter's own operations: open (readers in order), reads through the
// output buffer, seeks, whole-sound conversion, and the WAVE image helpers.
#include "engine/core/sound/sound_convert.h"

#include <algorithm>
#include <cstring>

#include "engine/core/base/log.h"
#include "engine/core/base/tracked_memory.h"
#include "engine/core/sound/sound_readers.h"

void TrackedBlockDeleter::operator()(uint8_t* block) const {
  if (block != nullptr) TrackedFree(block);
}

TrackedBlock AllocTrackedBlock(int64_t size, const char* file, int line) {
  if (size < 0 || size > kMaxSoundBlockBytes) return TrackedBlock();
  return TrackedBlock(static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(std::max<int64_t>(size, 1)), file, line)));
}

SoundConvert::~SoundConvert() = default;

namespace {

// A whole-sound conversion starts with a block this large at most, whatever
// the file claims; past it the block grows as PCM arrives.
constexpr int64_t kTrustedClaimBytes = int64_t{16} << 20;
constexpr int64_t kSmallestPcmBlock = int64_t{64} << 10;

// Everything an opener may have set, back to a closed converter's values.
void ClearReader(SoundConvert* c) {
  CloseAcmConvert(c);
  CloseOggConvert(c);
  c->buffer.reset();
  c->kind = kSoundConvertWavePcm;
  c->format_position = c->format_size = 0;
  c->data_position = c->data_size = 0;
  c->format = WaveFormatEx{};
  c->ogg_word_size = 2;
  c->buffer_size = c->available = c->offset = c->position = c->data_read = 0;
  c->end = 0;
}

// The next block into the output buffer: 0, or -1 at the end.
int FetchBlock(SoundConvert* c) {
  switch (c->kind) {
    case kSoundConvertWavePcm:
      return ReadWavePcmBlock(c);
    case kSoundConvertAcm:
      return ConvertAcmBlock(c);
    case kSoundConvertOgg:
      return ReadOggBlock(c);
    default:
      return -1;
  }
}

// Moves to sample without the small-seek rule.
void SeekTo(SoundConvert* c, int64_t sample) {
  const int64_t block_align = c->format.block_align;
  const int64_t target = sample * block_align;
  bool reached = true;
  switch (c->kind) {
    case kSoundConvertWavePcm:
      SeekWavePcm(c, target);
      break;
    case kSoundConvertAcm:
      SeekAcmConvert(c, sample);
      break;
    case kSoundConvertOgg:
      // A sample past the end cannot be reached: reading ends there instead
      // of going on from the old place.
      reached = SeekOggConvert(c, sample) == 0;
      break;
  }
  c->position = target;
  c->available = c->offset = 0;
  c->end = reached ? 0 : 1;
}

// Samples beyond this lie past the end of anything a converter can hold.
int64_t ClampSample(const SoundConvert* c, int64_t sample) {
  const int64_t most = kMaxSoundBlockBytes / std::max<int64_t>(c->format.block_align, 1) + 1;
  return std::clamp<int64_t>(sample, 0, most);
}

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

int OpenSoundConvert(const StreamOps* ops, StreamHandle stream, SoundConvert* c) {
  if (ops == nullptr || c == nullptr) return -1;
  if (c->valid) CloseSoundConvert(c);
  ClearReader(c);
  c->ops = *ops;
  c->stream = stream;
  c->loop_target = 0;

  using Opener = int (*)(SoundConvert*);
  constexpr Opener kReaders[] = {OpenWavePcm, OpenWaveAcm, OpenOggConvert, OpenMp3Acm};
  bool opened = false;
  for (Opener open : kReaders) {
    c->ops.seek(c->stream, 0, 0);
    if (open(c) == 0) {
      opened = true;
      break;
    }
    ClearReader(c);
  }
  if (!opened) return -1;

  c->buffer = AllocTrackedBlock(c->buffer_size);
  if (!c->buffer) {
    ClearReader(c);
    return -1;
  }
  c->available = c->offset = c->position = 0;
  c->end = 0;
  c->valid = 1;
  return 0;
}

int64_t ReadSoundConvert(SoundConvert* c, void* destination, int64_t bytes) {
  if (c == nullptr || !c->valid) return -1;
  if (c->end || bytes <= 0) return 0;
  uint8_t* out = static_cast<uint8_t*>(destination);
  int64_t copied = 0;
  while (copied < bytes) {
    if (c->available == 0) {
      if (FetchBlock(c) != 0 || c->available <= 0) {
        c->available = 0;
        c->end = 1;
        break;
      }
    }
    const int64_t n = std::min(c->available, bytes - copied);
    std::memcpy(out + copied, c->buffer.get() + c->offset, static_cast<size_t>(n));
    c->offset += n;
    c->available -= n;
    c->position += n;
    copied += n;
  }
  return copied;
}

void SeekSoundConvert(SoundConvert* c, int64_t sample) {
  if (c == nullptr || !c->valid) return;
  sample = ClampSample(c, sample);
  const int64_t target = sample * c->format.block_align;
  const int64_t distance = target > c->position ? target - c->position : c->position - target;
  if (distance < 16) return;
  SeekTo(c, sample);
}

int CloseSoundConvert(SoundConvert* c) {
  if (c == nullptr || !c->valid) return -1;
  ClearReader(c);
  c->valid = 0;
  return 0;
}

int ConvertSoundToPcm(SoundConvert* c, WaveFormatEx* format, uint8_t** pcm, int64_t* size) {
  if (c == nullptr || !c->valid || pcm == nullptr || size == nullptr) return -1;
  const int64_t claim = GetSoundConvertSize(c);
  SeekTo(c, 0);
  TrackedBlock block;
  int64_t filled = 0;
  if (c->kind == kSoundConvertWavePcm) {
    // The data size is already clamped to the bytes present.
    block = AllocTrackedBlock(c->data_size);
    if (!block) return -1;
    if (c->data_size > 0) {
      const int64_t got = c->ops.read(block.get(), 1, static_cast<size_t>(c->data_size), c->stream);
      filled = std::clamp<int64_t>(got, 0, c->data_size);
    }
    c->data_read = c->position = filled;
  } else {
    int64_t capacity = std::clamp(claim, kSmallestPcmBlock, kTrustedClaimBytes);
    block = AllocTrackedBlock(capacity);
    if (!block) return -1;
    for (;;) {
      if (filled == capacity) {
        if (capacity >= kMaxSoundBlockBytes) return -1;
        const int64_t grown = std::min(capacity * 2, kMaxSoundBlockBytes);
        TrackedBlock larger = AllocTrackedBlock(grown);
        if (!larger) return -1;
        std::memcpy(larger.get(), block.get(), static_cast<size_t>(filled));
        block = std::move(larger);
        capacity = grown;
      }
      const int64_t got = ReadSoundConvert(c, block.get() + filled, capacity - filled);
      if (got <= 0) break;
      filled += got;
    }
  }
  if (format != nullptr) *format = c->format;
  *pcm = block.release();
  *size = filled;
  return 0;
}

void GetSoundConvertFormat(const SoundConvert* c, WaveFormatEx* format) {
  if (c != nullptr && format != nullptr) *format = c->format;
}

int64_t GetSoundConvertSize(SoundConvert* c) {
  if (c == nullptr || !c->valid) return 0;
  const int64_t block_align = c->format.block_align;
  switch (c->kind) {
    case kSoundConvertWavePcm:
      return c->data_size;
    case kSoundConvertAcm:
      if (c->total_samples >= 0) return c->total_samples * block_align;
      return c->decoder ? static_cast<int64_t>(std::min<uint64_t>(c->decoder->OutputBytes(), INT64_MAX / 2)) : 0;
    case kSoundConvertOgg:
      return c->data_size + kOggExtraSamples * block_align;
    default:
      return 0;
  }
}

int ReadWholeStream(const StreamOps* ops, StreamHandle stream, uint8_t** block, int64_t* size) {
  if (ops == nullptr || block == nullptr || size == nullptr) return -2;
  if (ops->seek(stream, 0, 2) != 0) return -2;
  const int64_t length = ops->tell(stream);
  if (length < 0 || ops->seek(stream, 0, 0) != 0) return -2;
  TrackedBlock whole = AllocTrackedBlock(length);
  if (!whole) {
    WriteLog("ストリームの読み込みに必要なメモリの確保に失敗しました\n");
    return -1;
  }
  if (length > 0 && ops->read(whole.get(), 1, static_cast<size_t>(length), stream) != length) return -2;
  *block = whole.release();
  *size = length;
  return 0;
}

int BuildWaveImage(uint8_t** block, int64_t* size, const void* format, int32_t format_size, const void* pcm,
                   int64_t pcm_size) {
  if (block == nullptr || size == nullptr || format_size < 0 || pcm_size < 0) return -1;
  if ((format == nullptr && format_size > 0) || (pcm == nullptr && pcm_size > 0)) return -1;
  const int64_t total = int64_t{format_size} + pcm_size + 28;
  if (total > kMaxSoundBlockBytes) return -1;
  TrackedBlock image = AllocTrackedBlock(total);
  if (!image) return -1;
  uint8_t* p = image.get();
  std::memcpy(p, "RIFF", 4);
  PutLe32(p + 4, static_cast<uint32_t>(total - 8));
  std::memcpy(p + 8, "WAVEfmt ", 8);
  PutLe32(p + 16, static_cast<uint32_t>(format_size));
  if (format_size > 0) std::memcpy(p + 20, format, static_cast<size_t>(format_size));
  std::memcpy(p + 20 + format_size, "data", 4);
  PutLe32(p + 24 + format_size, static_cast<uint32_t>(pcm_size));
  if (pcm_size > 0) std::memcpy(p + 28 + format_size, pcm, static_cast<size_t>(pcm_size));
  *block = image.release();
  *size = total;
  return 0;
}

int FinishWaveCapture() { return -1; }
