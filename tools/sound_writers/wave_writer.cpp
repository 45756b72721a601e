// RIFF WAVE files, 16-bit sample helpers, the test signal and G.711.
#include <cmath>
#include <cstring>

#include "tools/sound_writers/sound_writers.h"

namespace writers {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v);
  Put16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> FmtChunkData(const WaveFmt& fmt) {
  std::vector<uint8_t> out;
  Put16(out, fmt.tag);
  Put16(out, fmt.channels);
  Put32(out, fmt.rate);
  Put32(out, fmt.avg_bytes.value_or(fmt.rate * fmt.block_align));
  Put16(out, fmt.block_align);
  Put16(out, fmt.bits);
  if (fmt.with_cb_size) {
    Put16(out, static_cast<uint32_t>(fmt.extra.size()));
    out.insert(out.end(), fmt.extra.begin(), fmt.extra.end());
  }
  return out;
}

std::vector<uint8_t> RiffWaveFile(const std::vector<RiffChunk>& chunks) {
  std::vector<uint8_t> out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const RiffChunk& chunk : chunks) {
    out.insert(out.end(), chunk.id.begin(), chunk.id.begin() + 4);
    Put32(out, chunk.declared_size.value_or(static_cast<uint32_t>(chunk.data.size())));
    out.insert(out.end(), chunk.data.begin(), chunk.data.end());
    if (chunk.data.size() % 2 == 1) out.push_back(0);
  }
  const uint32_t riff = static_cast<uint32_t>(out.size() - 8);
  std::memcpy(out.data() + 4, &riff, 4);
  return out;
}

std::vector<uint8_t> WaveFile(const WaveFmt& fmt, const std::vector<uint8_t>& data) {
  return RiffWaveFile({{"fmt ", FmtChunkData(fmt), std::nullopt}, {"data", data, std::nullopt}});
}

std::vector<uint8_t> Pcm16Bytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out;
  out.reserve(samples.size() * 2);
  for (int16_t s : samples) Put16(out, static_cast<uint16_t>(s));
  return out;
}

std::vector<int16_t> Pcm16Samples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> out(bytes.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return out;
}

std::vector<int16_t> TestSignal(size_t frames, int channels, uint32_t seed) {
  std::vector<int16_t> out(frames * static_cast<size_t>(channels));
  uint32_t noise = seed * 2654435761u + 1;
  for (size_t i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      const double t = static_cast<double>(i) / 44100.0;
      const double f1 = 220.0 + 37.0 * ((seed + c) % 7);
      const double f2 = 1250.0 + 91.0 * ((seed * 3 + c) % 5);
      noise = noise * 1664525u + 1013904223u;
      const double n = (static_cast<double>(noise >> 16) / 65536.0 - 0.5) * 800.0;
      const double v = 15000.0 * std::sin(2 * M_PI * f1 * t) + 8000.0 * std::sin(2 * M_PI * f2 * t + c) + n;
      out[i * channels + c] = static_cast<int16_t>(std::lround(v));
    }
  }
  return out;
}

// A-law: 13-bit magnitude, segment = position of its top bit above bit 4.
uint8_t EncodeALaw(int16_t sample) {
  const bool positive = sample >= 0;
  int magnitude = positive ? sample : -(sample + 1);  // -32768 folds onto 32767
  magnitude >>= 3;
  int segment = 0;
  int mantissa;
  if (magnitude < 32) {
    mantissa = magnitude >> 1;
  } else {
    segment = 1;
    while ((magnitude >> (segment + 5)) != 0 && segment < 7) ++segment;
    mantissa = (magnitude >> segment) & 0x0F;
  }
  const int code = (positive ? 0x80 : 0) | (segment << 4) | mantissa;
  return static_cast<uint8_t>(code ^ 0x55);
}

// mu-law: magnitude plus a bias of 132, clipped, segment = top bit - 7.
uint8_t EncodeMuLaw(int16_t sample) {
  const bool negative = sample < 0;
  int magnitude = negative ? -static_cast<int>(sample) : sample;
  magnitude = std::min(magnitude, 32635) + 132;
  int segment = 0;
  while ((magnitude >> (segment + 8)) != 0 && segment < 7) ++segment;
  const int mantissa = (magnitude >> (segment + 3)) & 0x0F;
  const int code = (negative ? 0x80 : 0) | (segment << 4) | mantissa;
  return static_cast<uint8_t>(~code);
}

}  // namespace writers
