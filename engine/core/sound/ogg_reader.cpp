// OGG Vorbis through libvorbisfile, reading the converter's stream through
// its StreamOps. The close callback does nothing: the stream belongs to the
// converter's owner. Output is signed 16-bit little-endian at the stream's
// channels and rate, 4096 bytes a block.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <new>

#include "engine/core/sound/sound_readers.h"

struct OggVorbisSource {
  OggVorbis_File file{};
  int open = 0;
  int channels = 0;
};

void OggVorbisSourceDeleter::operator()(OggVorbisSource* source) const {
  if (source == nullptr) return;
  if (source->open) ov_clear(&source->file);
  delete source;
}

namespace {

constexpr int64_t kOggBlockBytes = 4096;

size_t ReadCallback(void* out, size_t size, size_t count, void* source) {
  auto* c = static_cast<SoundConvert*>(source);
  if (c == nullptr) return 0;
  const int64_t got = c->ops.read(out, size, count, c->stream);
  return got > 0 ? static_cast<size_t>(got) : 0;
}

int SeekCallback(void* source, ogg_int64_t offset, int origin) {
  auto* c = static_cast<SoundConvert*>(source);
  if (c == nullptr || offset < INT32_MIN || offset > INT32_MAX) return -1;
  return c->ops.seek(c->stream, static_cast<int32_t>(offset), origin);
}

int CloseCallback(void*) { return 0; }

long TellCallback(void* source) {
  auto* c = static_cast<SoundConvert*>(source);
  if (c == nullptr) return -1;
  return c->ops.tell(c->stream);
}

}  // namespace

int OpenOggConvert(SoundConvert* c) {
  std::unique_ptr<OggVorbisSource, OggVorbisSourceDeleter> source(new (std::nothrow) OggVorbisSource);
  if (!source) return -1;
  const ov_callbacks callbacks = {ReadCallback, SeekCallback, CloseCallback, TellCallback};
  // A failed open clears the file itself.
  if (ov_open_callbacks(c, &source->file, nullptr, 0, callbacks) != 0) return -1;
  source->open = 1;
  const vorbis_info* info = ov_info(&source->file, -1);
  if (info == nullptr || info->channels <= 0 || info->rate <= 0) return -1;
  const int64_t block_align = int64_t{2} * info->channels;
  if (block_align > UINT16_MAX || info->rate * block_align > UINT32_MAX) return -1;
  source->channels = info->channels;

  // The total comes from the last granule position, a claim of the file:
  // kept within what the size can express, never used to size a block alone.
  const int64_t most = kMaxSoundBlockBytes / block_align - kOggExtraSamples;
  const int64_t total = std::clamp<int64_t>(ov_pcm_total(&source->file, -1), 0, most);

  WaveFormatEx f{};
  f.format_tag = kWaveFormatPcm;
  f.channels = static_cast<uint16_t>(info->channels);
  f.samples_per_sec = static_cast<uint32_t>(info->rate);
  f.block_align = static_cast<uint16_t>(block_align);
  f.avg_bytes_per_sec = static_cast<uint32_t>(info->rate * block_align);
  f.bits_per_sample = 16;
  c->format = f;
  c->ogg_word_size = 2;
  c->ogg = std::move(source);
  c->format_position = c->format_size = 0;
  c->data_position = 0;
  c->data_size = total * block_align;
  c->buffer_size = std::max(kOggBlockBytes, block_align);
  c->kind = kSoundConvertOgg;
  return 0;
}

int ReadOggBlock(SoundConvert* c) {
  if (!c->ogg) return -1;
  int stream = 0;
  const long got = ov_read(&c->ogg->file, reinterpret_cast<char*>(c->buffer.get()),
                           static_cast<int>(c->buffer_size), 0, c->ogg_word_size, 1, &stream);
  if (got <= 0) return -1;
  // A chained stream whose later part has other channels would be read as
  // the wrong frames: the data ends there.
  const vorbis_info* info = ov_info(&c->ogg->file, stream);
  if (info == nullptr || info->channels != c->ogg->channels) return -1;
  c->available = got;
  c->offset = 0;
  return 0;
}

int SeekOggConvert(SoundConvert* c, int64_t sample) {
  if (!c->ogg) return -1;
  return ov_pcm_seek(&c->ogg->file, std::max<int64_t>(sample, 0)) == 0 ? 0 : -1;
}

void CloseOggConvert(SoundConvert* c) { c->ogg.reset(); }
