// Writers of sound files for the tests, the fuzz seeds and the benchmarks:
// RIFF WAVE files with any "fmt " block and any chunks, G.711 and ADPCM
// encoders, MPEG audio frames (silent Layer III frames with valid headers,
// Layer I frames carrying a tone) and OGG Vorbis through libvorbisenc.
// Samples are interleaved 16-bit signed values; sizes are bytes; every
// multi-byte field written is little-endian except MPEG headers (big-endian
// bit fields, as the format has them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace writers {

// ---- RIFF WAVE --------------------------------------------------------------

struct WaveFmt {
  uint16_t tag = 1;
  uint16_t channels = 2;
  uint32_t rate = 44100;
  std::optional<uint32_t> avg_bytes;  // default rate x block align
  uint16_t block_align = 4;
  uint16_t bits = 16;
  bool with_cb_size = true;  // false: the 16-byte form, no cbSize
  std::vector<uint8_t> extra;  // bytes after cbSize; cbSize = their count
};
// The "fmt " chunk's data.
std::vector<uint8_t> FmtChunkData(const WaveFmt& fmt);

struct RiffChunk {
  std::string id;  // four characters
  std::vector<uint8_t> data;
  std::optional<uint32_t> declared_size;  // written instead of data.size()
};
// "RIFF", size, "WAVE", then the chunks in order, each padded to an even
// length.
std::vector<uint8_t> RiffWaveFile(const std::vector<RiffChunk>& chunks);
// The usual file: "fmt " then "data".
std::vector<uint8_t> WaveFile(const WaveFmt& fmt, const std::vector<uint8_t>& data);

std::vector<uint8_t> Pcm16Bytes(const std::vector<int16_t>& samples);
std::vector<int16_t> Pcm16Samples(const std::vector<uint8_t>& bytes);
// A deterministic test signal: a few sines per channel (their pitch set by
// seed) with a little noise, peaking near +-24000.
std::vector<int16_t> TestSignal(size_t frames, int channels, uint32_t seed);

// ---- G.711 ------------------------------------------------------------------

uint8_t EncodeALaw(int16_t sample);
uint8_t EncodeMuLaw(int16_t sample);

// ---- ADPCM ------------------------------------------------------------------

struct AdpcmFile {
  WaveFmt fmt;                  // tag, block align, samples per block, coefficients
  std::vector<uint8_t> data;    // the blocks; the last one may be shorter
  std::vector<int16_t> decoded; // what a decoder must give for data, interleaved
};
// Encodes whole blocks of block_align bytes; the last block holds only the
// frames left (padded with the last frame to the block's smallest unit:
// 8 frames for IMA, 2 nibbles for Microsoft mono).
AdpcmFile EncodeImaAdpcm(const std::vector<int16_t>& samples, int channels, uint32_t rate, uint16_t block_align);
// Block k uses coefficient pair k mod 7 of the standard seven.
AdpcmFile EncodeMsAdpcm(const std::vector<int16_t>& samples, int channels, uint32_t rate, uint16_t block_align);

// ---- MPEG audio -------------------------------------------------------------

struct MpegFrameParams {
  bool mpeg1 = true;
  int bitrate_kbps = 128;
  int rate = 44100;
  bool padding = false;
  bool mono = false;
};
// Header bytes of a Layer III frame and its length in bytes.
std::vector<uint8_t> MpegLayer3Header(const MpegFrameParams& params);
int MpegLayer3FrameLength(const MpegFrameParams& params);
// count Layer III frames, all side information and main data zero (they
// decode to silence). With info_frame the first frame carries an "Info"
// tag naming the frame count.
std::vector<uint8_t> SilentMp3(const MpegFrameParams& params, int count, bool info_frame = false);
// count MPEG-1 Layer I frames, mono, 44.1 kHz at 128 kbit/s (136 bytes,
// 384 samples each), whose four lowest sub-bands carry values that change
// from frame to frame, so every frame decodes to different sound.
std::vector<uint8_t> ToneMpegLayer1(int count, uint32_t seed);
// An ID3v2 tag of the version and flags with `size` body bytes (zeros).
std::vector<uint8_t> Id3v2Tag(int version, int flags, uint32_t size);
// A 128-byte trailing "TAG" block.
std::vector<uint8_t> Id3v1Tag();

// ---- OGG Vorbis -------------------------------------------------------------

// samples (interleaved, frames x channels) encoded at the VBR quality
// (-0.1 to 1.0) as one logical stream with the serial number.
std::vector<uint8_t> EncodeOggVorbis(const std::vector<int16_t>& samples, int channels, long rate, float quality,
                                     int serial = 0x5EED);

}  // namespace writers
