// MPEG audio files: frame headers, the ID3v2 and trailing-tag limits, and
// the frame walk that finds the data and counts its samples.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/core/sound/sound_readers.h"

namespace {

// kbit/s by bit-rate index 1-14 (0 is free format, 15 invalid).
constexpr int kMpeg1Rates[3][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // layer III
};
constexpr int kMpeg2Rates[2][15] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},  // layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},       // layers II and III
};
constexpr int kSampleRates[2][3] = {{22050, 24000, 16000}, {44100, 48000, 32000}};

constexpr size_t kMpegFormatBytes = 30;  // the MPEG Layer-3 format block

void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v);
  PutLe16(p + 2, v >> 16);
}

}  // namespace

int ParseMp3FrameHeader(const uint8_t header[4], Mp3FrameHeader* out) {
  if (header[0] != 0xFF || (header[1] & 0xF0) != 0xF0) return -2;
  Mp3FrameHeader h;
  h.mpeg1 = (header[1] >> 3) & 1;
  const int layer_bits = (header[1] >> 1) & 3;
  if (layer_bits == 0) return -1;
  h.layer = 4 - layer_bits;
  const int rate_index = header[2] >> 4;
  if (rate_index == 0 || rate_index == 15) return -1;
  h.bitrate_kbps = h.mpeg1 ? kMpeg1Rates[h.layer - 1][rate_index] : kMpeg2Rates[h.layer == 1 ? 0 : 1][rate_index];
  const int frequency_index = (header[2] >> 2) & 3;
  if (frequency_index == 3) return -1;
  h.rate = kSampleRates[h.mpeg1][frequency_index];
  h.padding = (header[2] >> 1) & 1;
  h.channels = (header[3] >> 6) == 3 ? 1 : 2;
  if (h.layer == 1) {
    h.samples = 384;
    h.length = (12000 * h.bitrate_kbps / h.rate + h.padding) * 4;
  } else if (h.layer == 2 || h.mpeg1) {
    h.samples = 1152;
    h.length = 144000 * h.bitrate_kbps / h.rate + h.padding;
  } else {
    h.samples = 576;
    h.length = 72000 * h.bitrate_kbps / h.rate + h.padding;
  }
  if (out != nullptr) *out = h;
  return 0;
}

Mp3FrameWalk WalkMp3Frames(const uint8_t* bytes, int64_t size) {
  // Search for a sync byte by byte; from each header found, skip the whole
  // frame by its length.
  Mp3FrameWalk walk;
  int64_t i = 0;
  while (i + 1 < size) {
    if (bytes[i] != 0xFF || (bytes[i + 1] & 0xF0) != 0xF0) {
      ++i;
      continue;
    }
    if (i + 4 > size) break;
    Mp3FrameHeader h;
    if (ParseMp3FrameHeader(bytes + i, &h) != 0) {
      walk.bad_header = true;
      break;
    }
    if (walk.first < 0) walk.first = i;
    walk.samples += h.samples;
    const int64_t frame_end = i + h.length;
    walk.end = std::min(frame_end, size);
    if (frame_end >= size) break;
    i = frame_end;
  }
  return walk;
}

int64_t Mp3ScanStart(const uint8_t* head, size_t size) {
  if (size < 10 || std::memcmp(head, "ID3", 3) != 0) return 0;
  const int version = head[3];
  const int flags = head[5];
  int64_t tag = 0;
  for (int i = 6; i < 10; ++i) tag = (tag << 7) | (head[i] & 0x7F);
  int64_t start = 10 + tag;
  if (version == 4 && (flags & 0x10)) start += 10;
  return start;
}

int OpenMp3Acm(SoundConvert* c) {
  const int64_t length = SoundStreamLength(c);
  if (length <= 0) return -1;
  uint8_t head[10] = {};
  const int64_t head_size = std::min<int64_t>(length, 10);
  if (!ReadSoundStreamAt(c, 0, head, head_size)) return -1;
  const int64_t start = Mp3ScanStart(head, static_cast<size_t>(head_size));
  int64_t end = length;
  if (length > 128) {
    uint8_t tag[3];
    if (!ReadSoundStreamAt(c, length - 128, tag, 3)) return -1;
    if (std::memcmp(tag, "TAG", 3) == 0) end -= 128;
  }
  if (start >= end) return -1;

  // The scan reads the region once; the data the decoder needs lies inside.
  const int64_t region = end - start;
  TrackedBlock block = AllocTrackedBlock(region);
  if (!block || !ReadSoundStreamAt(c, start, block.get(), region)) return -1;
  const uint8_t* bytes = block.get();

  const Mp3FrameWalk walk = WalkMp3Frames(bytes, region);
  if (walk.bad_header || walk.first < 0) return -1;
  const int64_t first = walk.first, data_end = walk.end, samples = walk.samples;

  Mp3FrameHeader h;
  ParseMp3FrameHeader(bytes + first, &h);
  std::vector<uint8_t> format(kMpegFormatBytes, 0);
  PutLe16(&format[0], platform::kWaveTagMpegLayer3);
  PutLe16(&format[2], static_cast<uint32_t>(h.channels));
  PutLe32(&format[4], static_cast<uint32_t>(h.rate));
  PutLe32(&format[8], static_cast<uint32_t>(h.bitrate_kbps * 1000 / 8));
  PutLe16(&format[12], 1);     // block align
  PutLe16(&format[14], 0);     // bits per sample
  PutLe16(&format[16], 12);    // extension bytes
  PutLe16(&format[18], 1);     // id: MPEG
  PutLe32(&format[20], static_cast<uint32_t>(h.padding));
  PutLe16(&format[24], static_cast<uint32_t>(h.length));  // block size
  PutLe16(&format[26], 1);     // frames per block
  PutLe16(&format[28], 700);   // codec delay
  const auto pcm = platform::SuggestPcmFormat(format.data(), format.size());
  if (!pcm) return -1;
  auto decoder =
      platform::OpenAudioDecoder(format.data(), format.size(), bytes + first, static_cast<size_t>(data_end - first));
  if (!decoder) return -1;

  WaveFormatEx f{};
  f.format_tag = kWaveFormatPcm;
  f.channels = pcm->channels;
  f.samples_per_sec = pcm->rate;
  f.block_align = pcm->BlockAlign();
  f.avg_bytes_per_sec = pcm->rate * f.block_align;
  f.bits_per_sample = pcm->bits;
  c->format = f;
  c->source_format = std::move(format);
  c->decoder = std::move(decoder);
  c->source_data = std::move(block);
  c->source_size = data_end - first;
  c->format_position = c->format_size = 0;
  c->data_position = start + first;
  c->data_size = data_end - first;
  c->total_samples = samples;
  c->buffer_size = SoundBufferSize(int64_t{f.avg_bytes_per_sec} * 4 / 3, f.block_align);
  c->kind = kSoundConvertAcm;
  return 0;
}
