// MPEG audio frames: silent Layer III frames, Layer I frames carrying a
// tone, and the ID3 tags around them.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "tools/sound_writers/sound_writers.h"

namespace writers {

namespace {

const int kLayer3Mpeg1[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
const int kLayer3Mpeg2[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

int BitrateIndex(const MpegFrameParams& params) {
  const int* table = params.mpeg1 ? kLayer3Mpeg1 : kLayer3Mpeg2;
  for (int i = 1; i < 15; ++i)
    if (table[i] == params.bitrate_kbps) return i;
  throw std::invalid_argument("no such Layer III bit rate");
}

int RateIndex(const MpegFrameParams& params) {
  const int rates[2][3] = {{22050, 24000, 16000}, {44100, 48000, 32000}};
  for (int i = 0; i < 3; ++i)
    if (rates[params.mpeg1 ? 1 : 0][i] == params.rate) return i;
  throw std::invalid_argument("no such MPEG sample rate");
}

// MSB-first bit writer over a fixed frame.
struct BitWriter {
  std::vector<uint8_t>& out;
  size_t bit = 0;
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i, ++bit)
      if ((value >> i) & 1) out[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
  }
};

}  // namespace

std::vector<uint8_t> MpegLayer3Header(const MpegFrameParams& params) {
  const uint8_t b1 = params.mpeg1 ? 0xFB : 0xF3;  // sync, version, layer III, no CRC
  const uint8_t b2 = static_cast<uint8_t>((BitrateIndex(params) << 4) | (RateIndex(params) << 2) | (params.padding ? 2 : 0));
  const uint8_t b3 = params.mono ? 0xC4 : 0x04;    // mode, "original" bit
  return {0xFF, b1, b2, b3};
}

int MpegLayer3FrameLength(const MpegFrameParams& params) {
  return (params.mpeg1 ? 144000 : 72000) * params.bitrate_kbps / params.rate + (params.padding ? 1 : 0);
}

std::vector<uint8_t> SilentMp3(const MpegFrameParams& params, int count, bool info_frame) {
  const std::vector<uint8_t> header = MpegLayer3Header(params);
  const size_t length = static_cast<size_t>(MpegLayer3FrameLength(params));
  const size_t side_info = params.mpeg1 ? (params.mono ? 17 : 32) : (params.mono ? 9 : 17);
  if (info_frame && 4 + side_info + 12 > length) throw std::invalid_argument("frame too short for an info tag");
  std::vector<uint8_t> out;
  for (int i = 0; i < count; ++i) {
    std::vector<uint8_t> frame(length, 0);
    std::copy(header.begin(), header.end(), frame.begin());
    if (i == 0 && info_frame) {
      uint8_t* tag = frame.data() + 4 + side_info;
      std::memcpy(tag, "Info", 4);
      tag[7] = 1;  // flags: the frame count follows
      for (int k = 0; k < 4; ++k) tag[8 + k] = static_cast<uint8_t>(static_cast<uint32_t>(count) >> (24 - 8 * k));
    }
    out.insert(out.end(), frame.begin(), frame.end());
  }
  return out;
}

std::vector<uint8_t> ToneMpegLayer1(int count, uint32_t seed) {
  constexpr size_t kLength = 136;  // (12000 x 128 / 44100) x 4
  constexpr int kBands = 4;
  std::vector<uint8_t> out;
  uint32_t state = seed * 747796405u + 2891336453u;
  for (int f = 0; f < count; ++f) {
    std::vector<uint8_t> frame(kLength, 0);
    BitWriter bits{frame};
    bits.Put(0xFFFF, 16);  // sync, MPEG-1, layer I, no CRC
    bits.Put(0x40, 8);     // 128 kbit/s, 44.1 kHz, no padding
    bits.Put(0xC4, 8);     // mono
    for (int band = 0; band < 32; ++band) bits.Put(band < kBands ? 7 : 0, 4);  // 8-bit samples
    for (int band = 0; band < kBands; ++band) bits.Put(static_cast<uint32_t>(6 + band + f % 3), 6);
    for (int s = 0; s < 12; ++s) {
      for (int band = 0; band < kBands; ++band) {
        state = state * 1664525u + 1013904223u;
        bits.Put((state >> 24) % 255, 8);  // never all ones
      }
    }
    out.insert(out.end(), frame.begin(), frame.end());
  }
  return out;
}

std::vector<uint8_t> Id3v2Tag(int version, int flags, uint32_t size) {
  std::vector<uint8_t> tag = {'I', 'D', '3', static_cast<uint8_t>(version), 0, static_cast<uint8_t>(flags)};
  for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(static_cast<uint8_t>((size >> shift) & 0x7F));
  tag.resize(10 + size, 0);
  return tag;
}

std::vector<uint8_t> Id3v1Tag() {
  std::vector<uint8_t> tag(128, 0);
  std::memcpy(tag.data(), "TAG", 3);
  return tag;
}

}  // namespace writers
