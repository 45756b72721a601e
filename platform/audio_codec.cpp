// Format parsing, the frame-by-frame converters (integer PCM, float,
// G.711) and the two ADPCM block decoders. MPEG audio lives in
// audio_codec_mpeg.cpp.
#include "platform/audio_codec.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace platform {

namespace codec_detail {
// Defined in audio_codec_mpeg.cpp.
std::unique_ptr<AudioDecoder> OpenMpegDecoder(const PcmFormat& output, const uint8_t* data, size_t size);
}  // namespace codec_detail

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
int16_t LeS16(const uint8_t* p) { return static_cast<int16_t>(Le16(p)); }

void PutS16(uint8_t* p, int32_t v) {
  const uint16_t u = static_cast<uint16_t>(static_cast<int16_t>(v));
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
}

int32_t ClampS16(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -32768, 32767)); }

enum class Codec { kIntPcm, kFloat, kALaw, kMuLaw, kMsAdpcm, kImaAdpcm, kMpeg };

struct AdpcmCoefficient {
  int32_t c1 = 0, c2 = 0;
};

// What a "fmt " block asks for, checked.
struct CodecChoice {
  Codec codec = Codec::kIntPcm;
  PcmFormat output;
  uint16_t channels = 0;
  uint16_t block_align = 0;   // source bytes per block (one frame for the frame converters)
  uint16_t source_bits = 0;   // container bits of integer PCM and float
  uint32_t samples_per_block = 0;  // ADPCM frames per block
  std::vector<AdpcmCoefficient> coefficients;  // Microsoft ADPCM
};

// The tail shared by the sub-format identifiers of the extensible layout;
// the first two bytes carry the plain format tag.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::optional<CodecChoice> ChooseCodec(const uint8_t* format, size_t size) {
  if (format == nullptr || size < 16) return std::nullopt;
  uint16_t tag = Le16(format);
  const uint16_t channels = Le16(format + 2);
  const uint32_t rate = Le32(format + 4);
  const uint16_t block_align = Le16(format + 12);
  const uint16_t bits = Le16(format + 14);
  const uint16_t cb_size = size >= 18 ? Le16(format + 16) : 0;
  const uint8_t* extra = format + std::min<size_t>(size, 18);
  const size_t extra_size = size >= 18 ? std::min<size_t>(cb_size, size - 18) : 0;
  if (channels == 0 || channels > 2 || rate == 0 || block_align == 0) return std::nullopt;

  if (tag == kWaveTagExtensible) {
    if (extra_size < 22 || std::memcmp(extra + 8, kSubFormatTail, sizeof kSubFormatTail) != 0) return std::nullopt;
    tag = Le16(extra + 6);
    if (tag != kWaveTagPcm && tag != kWaveTagIeeeFloat) return std::nullopt;
  }

  CodecChoice c;
  c.channels = channels;
  c.block_align = block_align;
  c.output.channels = channels;
  c.output.rate = rate;
  c.output.bits = 16;
  switch (tag) {
    case kWaveTagPcm:
      if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return std::nullopt;
      if (block_align != channels * bits / 8) return std::nullopt;
      c.codec = Codec::kIntPcm;
      c.source_bits = bits;
      if (bits == 8) c.output.bits = 8;
      break;
    case kWaveTagIeeeFloat:
      if (bits != 32 && bits != 64) return std::nullopt;
      if (block_align != channels * bits / 8) return std::nullopt;
      c.codec = Codec::kFloat;
      c.source_bits = bits;
      break;
    case kWaveTagALaw:
    case kWaveTagMuLaw:
      if (bits != 8 || block_align != channels) return std::nullopt;
      c.codec = tag == kWaveTagALaw ? Codec::kALaw : Codec::kMuLaw;
      break;
    case kWaveTagMsAdpcm: {
      // Block: predictor index, delta, sample 1, sample 2 per channel, then
      // nibbles; the two header samples are the block's first two frames.
      if (bits != 4 || extra_size < 4 || block_align < 7 * channels) return std::nullopt;
      const uint32_t samples = Le16(extra);
      const uint32_t count = Le16(extra + 2);
      const uint32_t most = 2 + (block_align - 7u * channels) * 2u / channels;
      if (samples < 2 || samples > most) return std::nullopt;
      if (count == 0 || extra_size < 4 + size_t{count} * 4) return std::nullopt;
      c.codec = Codec::kMsAdpcm;
      c.samples_per_block = samples;
      c.coefficients.resize(count);
      for (uint32_t i = 0; i < count; ++i) {
        c.coefficients[i].c1 = LeS16(extra + 4 + i * 4);
        c.coefficients[i].c2 = LeS16(extra + 6 + i * 4);
      }
      break;
    }
    case kWaveTagImaAdpcm: {
      // Block: sample, step index and a spare byte per channel (the sample is
      // the block's first frame), then groups of 4 bytes (8 samples) per
      // channel in turn.
      if (bits != 4 || extra_size < 2 || block_align < 4 * channels) return std::nullopt;
      const uint32_t samples = Le16(extra);
      const uint32_t most = 1 + (block_align - 4u * channels) / (4u * channels) * 8u;
      if (samples < 1 || samples > most) return std::nullopt;
      c.codec = Codec::kImaAdpcm;
      c.samples_per_block = samples;
      break;
    }
    case kWaveTagMpegLayer3:
      c.codec = Codec::kMpeg;
      break;
    default:
      return std::nullopt;
  }
  if (uint64_t{rate} * c.output.BlockAlign() > UINT32_MAX) return std::nullopt;
  return c;
}

// ---- G.711 -------------------------------------------------------------------

// Segment s (0-7) and mantissa m (0-15) of a code; the magnitude is the
// middle of the code's interval on the 13-bit (A-law) or 14-bit (mu-law)
// scale, brought to 16 bits.
int16_t ALawValue(uint8_t code) {
  const uint8_t a = code ^ 0x55;
  const int32_t mantissa = a & 0x0F;
  const int32_t segment = (a >> 4) & 0x07;
  const int32_t magnitude = segment == 0 ? (2 * mantissa + 1) << 3 : (2 * mantissa + 33) << (segment + 2);
  return static_cast<int16_t>((a & 0x80) ? magnitude : -magnitude);
}

int16_t MuLawValue(uint8_t code) {
  const uint8_t u = static_cast<uint8_t>(~code);
  const int32_t mantissa = u & 0x0F;
  const int32_t segment = (u >> 4) & 0x07;
  const int32_t magnitude = ((2 * mantissa + 33) << (segment + 2)) - 132;
  return static_cast<int16_t>((u & 0x80) ? -magnitude : magnitude);
}

struct G711Tables {
  std::array<int16_t, 256> a_law{};
  std::array<int16_t, 256> mu_law{};
  G711Tables() {
    for (int i = 0; i < 256; ++i) {
      a_law[i] = ALawValue(static_cast<uint8_t>(i));
      mu_law[i] = MuLawValue(static_cast<uint8_t>(i));
    }
  }
};

const G711Tables& Tables() {
  static const G711Tables tables;
  return tables;
}

// ---- frame converters ----------------------------------------------------------

int32_t FloatToS16(double x) {
  if (std::isnan(x)) return 0;
  x = std::clamp(x, -1.0, 1.0) * 32767.0;
  return static_cast<int32_t>(x < 0 ? -std::floor(-x + 0.5) : std::floor(x + 0.5));
}

// Integer PCM, float and G.711: every source frame converts on its own.
class FrameDecoder final : public AudioDecoder {
 public:
  FrameDecoder(const CodecChoice& c, const uint8_t* data, size_t size)
      : codec_(c.codec), source_bits_(c.source_bits), source_frame_(c.block_align), data_(data),
        frames_(size / c.block_align) {
    output_ = c.output;
  }

  size_t Decode(uint8_t* out, size_t capacity) override {
    const size_t out_frame = output_.BlockAlign();
    const uint64_t n = std::min<uint64_t>(capacity / out_frame, frames_ - next_);
    const size_t samples = static_cast<size_t>(n) * output_.channels;
    const uint8_t* in = data_ + static_cast<size_t>(next_) * source_frame_;
    switch (codec_) {
      case Codec::kIntPcm:
        if (source_bits_ <= 16) {
          std::memcpy(out, in, samples * (source_bits_ / 8));
        } else {
          const size_t step = source_bits_ / 8;  // keep the top two bytes
          for (size_t i = 0; i < samples; ++i) {
            out[2 * i] = in[i * step + step - 2];
            out[2 * i + 1] = in[i * step + step - 1];
          }
        }
        break;
      case Codec::kFloat:
        for (size_t i = 0; i < samples; ++i) {
          double x;
          if (source_bits_ == 32) {
            const uint32_t bits = Le32(in + 4 * i);
            float f;
            std::memcpy(&f, &bits, 4);
            x = f;
          } else {
            const uint64_t bits = Le32(in + 8 * i) | (uint64_t{Le32(in + 8 * i + 4)} << 32);
            std::memcpy(&x, &bits, 8);
          }
          PutS16(out + 2 * i, FloatToS16(x));
        }
        break;
      case Codec::kALaw:
      case Codec::kMuLaw: {
        const auto& table = codec_ == Codec::kALaw ? Tables().a_law : Tables().mu_law;
        for (size_t i = 0; i < samples; ++i) PutS16(out + 2 * i, table[in[i]]);
        break;
      }
      default:
        break;
    }
    next_ += n;
    read_ += n * source_frame_;
    return static_cast<size_t>(n) * out_frame;
  }

  void Seek(uint64_t frame) override { next_ = std::min(frame, frames_); }
  uint64_t OutputBytes() override { return frames_ * output_.BlockAlign(); }
  uint64_t SourceBytesRead() const override { return read_; }

 private:
  Codec codec_;
  uint16_t source_bits_;
  size_t source_frame_;
  const uint8_t* data_;
  uint64_t frames_;
  uint64_t next_ = 0;
  uint64_t read_ = 0;
};

// ---- ADPCM ---------------------------------------------------------------------

constexpr int32_t kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int32_t kImaIndexShift[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int32_t kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                       768, 614, 512, 409, 307, 230, 230, 230};
// The Microsoft delta grows by up to three times a sample; held here so that
// no product can overflow (far above anything an encoder writes).
constexpr int64_t kMsDeltaLimit = int64_t{1} << 24;

// Decodes one block at a time into 16-bit frames and hands them out; a seek
// selects a block and the frames to skip in it. A partial last block gives
// the frames its bytes hold.
class AdpcmDecoder final : public AudioDecoder {
 public:
  AdpcmDecoder(CodecChoice c, const uint8_t* data, size_t size)
      : choice_(std::move(c)), data_(data), size_(size) {
    output_ = choice_.output;
    pcm_.resize(size_t{choice_.samples_per_block} * choice_.channels);
  }

  size_t Decode(uint8_t* out, size_t capacity) override {
    const size_t frame_bytes = output_.BlockAlign();
    size_t written = 0;
    while (capacity - written >= frame_bytes) {
      if (served_ == block_frames_) {
        if (!LoadBlock(next_block_)) break;
        ++next_block_;
        served_ = std::min<size_t>(skip_, block_frames_);
        skip_ = 0;
        continue;
      }
      const size_t n = std::min(block_frames_ - served_, (capacity - written) / frame_bytes);
      const int16_t* from = pcm_.data() + served_ * choice_.channels;
      for (size_t i = 0; i < n * choice_.channels; ++i) PutS16(out + written + 2 * i, from[i]);
      served_ += n;
      written += n * frame_bytes;
    }
    return written;
  }

  void Seek(uint64_t frame) override {
    next_block_ = frame / choice_.samples_per_block;
    skip_ = static_cast<size_t>(frame % choice_.samples_per_block);
    block_frames_ = served_ = 0;
    damaged_ = false;
  }

  uint64_t OutputBytes() override {
    const uint64_t blocks = size_ / choice_.block_align;
    const uint64_t frames =
        blocks * choice_.samples_per_block + FramesInBlock(static_cast<size_t>(size_ % choice_.block_align));
    return frames * output_.BlockAlign();
  }

  uint64_t SourceBytesRead() const override { return read_; }

 private:
  // Frames a block of `bytes` bytes holds (0 when its header is cut).
  size_t FramesInBlock(size_t bytes) const {
    const size_t ch = choice_.channels;
    size_t frames = 0;
    if (choice_.codec == Codec::kMsAdpcm) {
      if (bytes >= 7 * ch) frames = 2 + (bytes - 7 * ch) * 2 / ch;
    } else if (bytes >= 4 * ch) {
      frames = 1 + (bytes - 4 * ch) / (4 * ch) * 8;
    }
    return std::min<size_t>(frames, choice_.samples_per_block);
  }

  bool LoadBlock(uint64_t index) {
    block_frames_ = served_ = 0;
    if (damaged_) return false;
    const uint64_t start = index * choice_.block_align;
    if (start >= size_) return false;
    const size_t bytes = static_cast<size_t>(std::min<uint64_t>(choice_.block_align, size_ - start));
    const size_t frames = FramesInBlock(bytes);
    if (frames == 0) return false;
    read_ += bytes;
    const bool ok = choice_.codec == Codec::kMsAdpcm ? DecodeMsBlock(data_ + start, frames)
                                                     : DecodeImaBlock(data_ + start, frames);
    if (!ok) {
      damaged_ = true;
      return false;
    }
    block_frames_ = frames;
    return true;
  }

  bool DecodeMsBlock(const uint8_t* block, size_t frames) {
    const size_t ch = choice_.channels;
    AdpcmCoefficient coef[2];
    int64_t delta[2], s1[2], s2[2];
    for (size_t c = 0; c < ch; ++c) {
      const uint8_t predictor = block[c];
      if (predictor >= choice_.coefficients.size()) return false;
      coef[c] = choice_.coefficients[predictor];
      delta[c] = LeS16(block + ch + 2 * c);
      s1[c] = LeS16(block + 3 * ch + 2 * c);
      s2[c] = LeS16(block + 5 * ch + 2 * c);
      pcm_[c] = static_cast<int16_t>(s2[c]);
      pcm_[ch + c] = static_cast<int16_t>(s1[c]);
    }
    const uint8_t* nibbles = block + 7 * ch;
    const size_t total = (frames - 2) * ch;
    for (size_t i = 0; i < total; ++i) {
      const size_t c = i % ch;
      const uint8_t byte = nibbles[i / 2];
      const int32_t code = (i % 2 == 0) ? byte >> 4 : byte & 0x0F;
      const int32_t value = code >= 8 ? code - 16 : code;
      // Arithmetic shifts: the products floor towards minus infinity.
      const int64_t predicted = (s1[c] * coef[c].c1 + s2[c] * coef[c].c2) >> 8;
      const int32_t sample = ClampS16(predicted + value * delta[c]);
      pcm_[2 * ch + i] = static_cast<int16_t>(sample);
      s2[c] = s1[c];
      s1[c] = sample;
      delta[c] = std::clamp<int64_t>((kMsAdaptation[code] * delta[c]) >> 8, 16, kMsDeltaLimit);
    }
    return true;
  }

  bool DecodeImaBlock(const uint8_t* block, size_t frames) {
    const size_t ch = choice_.channels;
    int32_t predictor[2], index[2];
    for (size_t c = 0; c < ch; ++c) {
      predictor[c] = LeS16(block + 4 * c);
      index[c] = block[4 * c + 2];
      if (index[c] > 88) return false;
      pcm_[c] = static_cast<int16_t>(predictor[c]);
    }
    const uint8_t* groups = block + 4 * ch;
    for (size_t c = 0; c < ch; ++c) {
      for (size_t k = 0; k + 1 < frames; ++k) {
        // Sample k after the header: group k / 8 of channel c, low nibble first.
        const uint8_t byte = groups[(k / 8) * 4 * ch + c * 4 + (k % 8) / 2];
        const int32_t code = (k % 2 == 0) ? byte & 0x0F : byte >> 4;
        const int32_t step = kImaSteps[index[c]];
        int32_t diff = step >> 3;
        if (code & 1) diff += step >> 2;
        if (code & 2) diff += step >> 1;
        if (code & 4) diff += step;
        predictor[c] = ClampS16(int64_t{predictor[c]} + ((code & 8) ? -diff : diff));
        index[c] = std::clamp(index[c] + kImaIndexShift[code & 7], 0, 88);
        pcm_[(k + 1) * ch + c] = static_cast<int16_t>(predictor[c]);
      }
    }
    return true;
  }

  CodecChoice choice_;
  const uint8_t* data_;
  size_t size_;
  std::vector<int16_t> pcm_;  // the decoded block, interleaved
  size_t block_frames_ = 0;   // frames in pcm_
  size_t served_ = 0;         // frames of pcm_ handed out
  uint64_t next_block_ = 0;
  size_t skip_ = 0;           // frames to drop from the next block (a seek into it)
  bool damaged_ = false;
  uint64_t read_ = 0;
};

}  // namespace

std::optional<PcmFormat> SuggestPcmFormat(const uint8_t* format, size_t size) {
  const auto choice = ChooseCodec(format, size);
  if (!choice) return std::nullopt;
  return choice->output;
}

std::unique_ptr<AudioDecoder> OpenAudioDecoder(const uint8_t* format, size_t format_size, const uint8_t* data,
                                               size_t data_size) {
  auto choice = ChooseCodec(format, format_size);
  if (!choice || (data == nullptr && data_size > 0)) return nullptr;
  switch (choice->codec) {
    case Codec::kMsAdpcm:
    case Codec::kImaAdpcm:
      return std::make_unique<AdpcmDecoder>(std::move(*choice), data, data_size);
    case Codec::kMpeg:
      return codec_detail::OpenMpegDecoder(choice->output, data, data_size);
    default:
      return std::make_unique<FrameDecoder>(*choice, data, data_size);
  }
}

int16_t DecodeALawSample(uint8_t code) { return Tables().a_law[code]; }
int16_t DecodeMuLawSample(uint8_t code) { return Tables().mu_law[code]; }

}  // namespace platform
