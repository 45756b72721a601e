// IMA and Microsoft ADPCM encoders. Each one tracks the decoder's state as
// it goes, so the samples it reports are exactly what a decoder gives.
#include <algorithm>

#include "tools/sound_writers/sound_writers.h"

namespace writers {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

int Clamp16(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, -32768, 32767)); }

const int kStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
const int kIndexChange[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

struct ImaState {
  int predictor = 0;
  int index = 0;

  int Encode(int sample) {
    const int step = kStepTable[index];
    int diff = sample - predictor;
    int code = 0;
    if (diff < 0) {
      code = 8;
      diff = -diff;
    }
    if (diff >= step) { code |= 4; diff -= step; }
    if (diff >= step / 2) { code |= 2; diff -= step / 2; }
    if (diff >= step / 4) code |= 1;
    // The decoder's reconstruction.
    int delta = step >> 3;
    if (code & 1) delta += step >> 2;
    if (code & 2) delta += step >> 1;
    if (code & 4) delta += step;
    predictor = Clamp16(int64_t{predictor} + ((code & 8) ? -delta : delta));
    index = std::clamp(index + kIndexChange[code], 0, 88);
    return code;
  }
};

const int kMsCoefficients[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
const int kMsAdapt[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};

// Frames of channel data, padded with copies of the last frame.
std::vector<int16_t> Padded(const std::vector<int16_t>& samples, int channels, size_t frames) {
  std::vector<int16_t> out(samples);
  const size_t have = samples.size() / channels;
  for (size_t f = have; f < frames; ++f)
    for (int c = 0; c < channels; ++c) out.push_back(have ? samples[(have - 1) * channels + c] : 0);
  return out;
}

}  // namespace

AdpcmFile EncodeImaAdpcm(const std::vector<int16_t>& samples, int channels, uint32_t rate, uint16_t block_align) {
  const size_t ch = static_cast<size_t>(channels);
  const size_t groups = (block_align - 4 * ch) / (4 * ch);
  const size_t per_block = 1 + groups * 8;
  AdpcmFile file;
  file.fmt.tag = 0x11;
  file.fmt.channels = static_cast<uint16_t>(channels);
  file.fmt.rate = rate;
  file.fmt.avg_bytes = static_cast<uint32_t>(uint64_t{rate} * block_align / per_block);
  file.fmt.block_align = block_align;
  file.fmt.bits = 4;
  Put16(file.fmt.extra, static_cast<uint32_t>(per_block));

  const size_t frames = samples.size() / ch;
  ImaState state[2];
  for (size_t start = 0; start < frames; start += per_block) {
    const size_t left = std::min(per_block, frames - start);
    // A short last block is padded to whole groups of 8 frames.
    const size_t block_groups = (left - 1 + 7) / 8;
    const size_t block_frames = 1 + block_groups * 8;
    const std::vector<int16_t> block(samples.begin() + static_cast<long>(start * ch),
                                     samples.begin() + static_cast<long>((start + left) * ch));
    const std::vector<int16_t> padded = Padded(block, channels, block_frames);
    for (size_t c = 0; c < ch; ++c) {
      state[c].predictor = padded[c];
      Put16(file.data, static_cast<uint16_t>(padded[c]));
      file.data.push_back(static_cast<uint8_t>(state[c].index));
      file.data.push_back(0);
    }
    std::vector<int16_t> decoded(block_frames * ch);
    for (size_t c = 0; c < ch; ++c) decoded[c] = padded[c];
    std::vector<uint8_t> body(block_groups * 4 * ch);
    for (size_t c = 0; c < ch; ++c) {
      for (size_t k = 0; k + 1 < block_frames; ++k) {
        const int code = state[c].Encode(padded[(k + 1) * ch + c]);
        uint8_t& byte = body[(k / 8) * 4 * ch + c * 4 + (k % 8) / 2];
        byte |= static_cast<uint8_t>((k % 2 == 0) ? code : code << 4);
        decoded[(k + 1) * ch + c] = static_cast<int16_t>(state[c].predictor);
      }
    }
    file.data.insert(file.data.end(), body.begin(), body.end());
    file.decoded.insert(file.decoded.end(), decoded.begin(), decoded.end());
  }
  return file;
}

AdpcmFile EncodeMsAdpcm(const std::vector<int16_t>& samples, int channels, uint32_t rate, uint16_t block_align) {
  const size_t ch = static_cast<size_t>(channels);
  const size_t per_block = 2 + (block_align - 7 * ch) * 2 / ch;
  AdpcmFile file;
  file.fmt.tag = 0x02;
  file.fmt.channels = static_cast<uint16_t>(channels);
  file.fmt.rate = rate;
  file.fmt.avg_bytes = static_cast<uint32_t>(uint64_t{rate} * block_align / per_block);
  file.fmt.block_align = block_align;
  file.fmt.bits = 4;
  Put16(file.fmt.extra, static_cast<uint32_t>(per_block));
  Put16(file.fmt.extra, 7);
  for (const auto& pair : kMsCoefficients) {
    Put16(file.fmt.extra, static_cast<uint16_t>(pair[0]));
    Put16(file.fmt.extra, static_cast<uint16_t>(pair[1]));
  }

  const size_t frames = samples.size() / ch;
  int delta[2] = {16, 16};
  size_t block_index = 0;
  for (size_t start = 0; start < frames; start += per_block, ++block_index) {
    const size_t left = std::min(per_block, frames - start);
    // The header holds two frames; a mono block fills whole bytes.
    size_t block_frames = std::max<size_t>(left, 2);
    if (ch == 1 && block_frames % 2 == 1) ++block_frames;
    const std::vector<int16_t> block(samples.begin() + static_cast<long>(start * ch),
                                     samples.begin() + static_cast<long>((start + left) * ch));
    const std::vector<int16_t> padded = Padded(block, channels, block_frames);
    const int predictor = static_cast<int>(block_index % 7);
    const int c1 = kMsCoefficients[predictor][0], c2 = kMsCoefficients[predictor][1];
    int s1[2], s2[2];
    for (size_t c = 0; c < ch; ++c) {
      file.data.push_back(static_cast<uint8_t>(predictor));
      s2[c] = padded[c];
      s1[c] = padded[ch + c];
    }
    for (size_t c = 0; c < ch; ++c) Put16(file.data, static_cast<uint16_t>(std::min(delta[c], 32767)));
    for (size_t c = 0; c < ch; ++c) Put16(file.data, static_cast<uint16_t>(s1[c]));
    for (size_t c = 0; c < ch; ++c) Put16(file.data, static_cast<uint16_t>(s2[c]));
    for (size_t c = 0; c < ch; ++c) {
      delta[c] = std::min(delta[c], 32767);
      file.decoded.push_back(static_cast<int16_t>(s2[c]));
    }
    for (size_t c = 0; c < ch; ++c) file.decoded.push_back(static_cast<int16_t>(s1[c]));
    int pending = -1;  // high nibble waiting for its byte
    for (size_t i = 2 * ch; i < block_frames * ch; ++i) {
      const size_t c = i % ch;
      const int predicted = (s1[c] * c1 + s2[c] * c2) >> 8;
      const int error = padded[i] - predicted;
      // Nearest step count, within the nibble's range.
      int code = error >= 0 ? (error + delta[c] / 2) / delta[c] : -((-error + delta[c] / 2) / delta[c]);
      code = std::clamp(code, -8, 7);
      const int sample = Clamp16(int64_t{predicted} + int64_t{code} * delta[c]);
      file.decoded.push_back(static_cast<int16_t>(sample));
      s2[c] = s1[c];
      s1[c] = sample;
      const int nibble = code & 0x0F;
      delta[c] = std::max(16, (kMsAdapt[nibble] * delta[c]) >> 8);
      if (pending < 0) {
        pending = nibble;
      } else {
        file.data.push_back(static_cast<uint8_t>((pending << 4) | nibble));
        pending = -1;
      }
    }
  }
  return file;
}

}  // namespace writers
