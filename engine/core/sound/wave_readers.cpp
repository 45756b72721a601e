// RIFF WAVE files: the chunk walk shared by both WAVE readers, PCM data read
// straight from the stream, and every other format through the audio codecs.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/core/sound/sound_readers.h"

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// The "fmt " block keeps at most the 18-byte header and the largest
// extension its 16-bit cbSize can announce; the rest of a longer chunk is
// skipped.
constexpr int64_t kMaxFormatBytes = 18 + 0xFFFF;

struct RiffWave {
  int64_t format_position = 0;
  int64_t format_size = 0;
  std::vector<uint8_t> format;  // the chunk's data, completed to 18 bytes for a 16-byte PCM chunk
  int64_t data_position = 0;
  int64_t data_size = 0;  // clamped to the bytes present
};

// "RIFF", size, "WAVE", then a "fmt " chunk first, then chunks up to "data".
// Positions and sizes are walked in 64 bits; a chunk other than "data" that
// runs past the end of the stream fails, and the data chunk is clamped to
// the bytes present. The format is checked: at least 16 bytes, channels,
// rate and block align not zero, and integer PCM with block align =
// channels x bits / 8 (a 16-byte PCM chunk takes its bits from block align
// and channels, and cbSize 0).
bool ParseRiffWave(SoundConvert* c, RiffWave* out) {
  const int64_t length = SoundStreamLength(c);
  if (length < 20) return false;
  uint8_t head[20];
  if (!ReadSoundStreamAt(c, 0, head, 20)) return false;
  if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0 ||
      std::memcmp(head + 12, "fmt ", 4) != 0)
    return false;
  const int64_t format_size = Le32(head + 16);
  if (format_size < 16 || 20 + format_size > length) return false;
  out->format_position = 20;
  out->format_size = format_size;
  out->format.resize(static_cast<size_t>(std::min(format_size, kMaxFormatBytes)));
  if (!ReadSoundStreamAt(c, 20, out->format.data(), static_cast<int64_t>(out->format.size()))) return false;

  std::vector<uint8_t>& f = out->format;
  const uint16_t tag = Le16(f.data());
  const uint16_t channels = Le16(f.data() + 2);
  const uint32_t rate = Le32(f.data() + 4);
  const uint16_t block_align = Le16(f.data() + 12);
  if (channels == 0 || rate == 0 || block_align == 0) return false;
  if (tag == kWaveFormatPcm) {
    if (f.size() < 18) {
      f.resize(18);
      PutLe16(f.data() + 14, static_cast<uint16_t>(block_align / channels * 8));
      PutLe16(f.data() + 16, 0);
    }
    if (block_align != uint32_t{channels} * Le16(f.data() + 14) / 8) return false;
  }

  int64_t position = 20 + format_size + (format_size & 1);
  while (position + 8 <= length) {
    uint8_t chunk[8];
    if (!ReadSoundStreamAt(c, position, chunk, 8)) return false;
    const int64_t size = Le32(chunk + 4);
    if (std::memcmp(chunk, "data", 4) == 0) {
      out->data_position = position + 8;
      out->data_size = std::min(size, length - out->data_position);
      return true;
    }
    if (position + 8 + size > length) return false;
    position += 8 + size + (size & 1);
  }
  return false;
}

// The 18-byte header of a "fmt " block (completed to 18 bytes).
WaveFormatEx HeaderOf(const std::vector<uint8_t>& f) {
  WaveFormatEx w{};
  w.format_tag = Le16(f.data());
  w.channels = Le16(f.data() + 2);
  w.samples_per_sec = Le32(f.data() + 4);
  w.avg_bytes_per_sec = Le32(f.data() + 8);
  w.block_align = Le16(f.data() + 12);
  w.bits_per_sample = Le16(f.data() + 14);
  w.cb_size = f.size() >= 18 ? Le16(f.data() + 16) : 0;
  return w;
}

}  // namespace

int OpenWavePcm(SoundConvert* c) {
  RiffWave wave;
  if (!ParseRiffWave(c, &wave)) return -1;
  WaveFormatEx f = HeaderOf(wave.format);
  // Wider PCM is converted by the audio codecs; the mixer plays 8 and 16 bits.
  if (f.format_tag != kWaveFormatPcm || (f.bits_per_sample != 8 && f.bits_per_sample != 16)) return -1;
  const uint64_t bytes_per_second = uint64_t{f.samples_per_sec} * f.block_align;
  if (bytes_per_second > UINT32_MAX) return -1;
  f.avg_bytes_per_sec = static_cast<uint32_t>(bytes_per_second);
  if (c->ops.seek(c->stream, static_cast<int32_t>(wave.data_position), 0) != 0) return -1;

  c->format = f;
  c->format_position = wave.format_position;
  c->format_size = wave.format_size;
  c->data_position = wave.data_position;
  c->data_size = wave.data_size - wave.data_size % f.block_align;
  c->data_read = 0;
  c->buffer_size = SoundBufferSize(f.avg_bytes_per_sec, f.block_align);
  c->kind = kSoundConvertWavePcm;
  return 0;
}

int ReadWavePcmBlock(SoundConvert* c) {
  const int64_t rest = c->data_size - c->data_read;
  if (rest <= 0) return -1;
  const int64_t want = std::min(c->buffer_size, rest);
  const int64_t got = c->ops.read(c->buffer.get(), 1, static_cast<size_t>(want), c->stream);
  if (got <= 0) return -1;
  const int64_t bytes = std::min(got, want);
  c->data_read += bytes;
  c->available = bytes;
  c->offset = 0;
  return 0;
}

void SeekWavePcm(SoundConvert* c, int64_t target) {
  c->data_read = std::min(target, c->data_size);
  c->ops.seek(c->stream, static_cast<int32_t>(c->data_position + c->data_read), 0);
}

int OpenWaveAcm(SoundConvert* c) {
  RiffWave wave;
  if (!ParseRiffWave(c, &wave)) return -1;
  const auto pcm = platform::SuggestPcmFormat(wave.format.data(), wave.format.size());
  if (!pcm) return -1;

  c->source_data = AllocTrackedBlock(wave.data_size);
  if (!c->source_data || !ReadSoundStreamAt(c, wave.data_position, c->source_data.get(), wave.data_size)) {
    c->source_data.reset();
    return -1;
  }
  c->ops.seek(c->stream, 0, 0);
  // MPEG data is counted by its frame headers (the other codecs count
  // exactly from their blocks). Its first frame must agree with the format
  // block: the decoder's output is fixed by it, and a file that disagrees
  // is left to the MPEG reader, which takes the frames as they are.
  int64_t mpeg_samples = -1;
  if (Le16(wave.format.data()) == platform::kWaveTagMpegLayer3) {
    const Mp3FrameWalk walk = WalkMp3Frames(c->source_data.get(), wave.data_size);
    Mp3FrameHeader first;
    if (walk.first < 0 || ParseMp3FrameHeader(c->source_data.get() + walk.first, &first) != 0 ||
        first.channels != pcm->channels || static_cast<uint32_t>(first.rate) != pcm->rate) {
      c->source_data.reset();
      return -1;
    }
    mpeg_samples = walk.samples;
  }
  c->decoder = platform::OpenAudioDecoder(wave.format.data(), wave.format.size(), c->source_data.get(),
                                          static_cast<size_t>(wave.data_size));
  if (!c->decoder) {
    c->source_data.reset();
    return -1;
  }

  WaveFormatEx f{};
  f.format_tag = kWaveFormatPcm;
  f.channels = pcm->channels;
  f.samples_per_sec = pcm->rate;
  f.block_align = pcm->BlockAlign();
  f.avg_bytes_per_sec = pcm->rate * f.block_align;
  f.bits_per_sample = pcm->bits;
  c->format = f;
  c->source_format = std::move(wave.format);
  c->source_size = wave.data_size;
  c->format_position = wave.format_position;
  c->format_size = wave.format_size;
  c->data_position = wave.data_position;
  c->data_size = wave.data_size;
  c->total_samples = mpeg_samples;
  c->buffer_size = SoundBufferSize(f.avg_bytes_per_sec, f.block_align);
  c->kind = kSoundConvertAcm;
  return 0;
}

int64_t SoundBufferSize(int64_t wanted, uint16_t block_align) {
  const int64_t frame = std::max<int64_t>(block_align, 1);
  const int64_t size = std::min<int64_t>(wanted, int64_t{1} << 20);
  return std::max(frame, size - size % frame);
}

int64_t SoundStreamLength(SoundConvert* c) {
  if (c->ops.seek(c->stream, 0, 2) != 0) return -1;
  const int64_t length = c->ops.tell(c->stream);
  if (c->ops.seek(c->stream, 0, 0) != 0) return -1;
  return length;
}

bool ReadSoundStreamAt(SoundConvert* c, int64_t position, void* out, int64_t size) {
  if (position < 0 || position > INT32_MAX || size < 0) return false;
  if (c->ops.seek(c->stream, static_cast<int32_t>(position), 0) != 0) return false;
  if (size == 0) return true;
  return c->ops.read(out, 1, static_cast<size_t>(size), c->stream) == size;
}
