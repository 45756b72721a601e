// Audio codecs: compressed or wide sound data to the PCM the mixer plays.
// A decoder is chosen by the WAVE "fmt " block that describes the data:
//   0x0001 integer PCM at 8, 16, 24 or 32 bits (8 stays 8 bits; wider
//          samples keep their top 16 bits)
//   0x0002 Microsoft ADPCM, 0x0011 IMA ADPCM (4 bits), both to 16 bits
//   0x0003 IEEE float at 32 or 64 bits (clamped to +-1, scaled by 32767,
//          rounded half away from zero)
//   0x0006 A-law and 0x0007 mu-law (G.711) to 16 bits
//   0x0055 MPEG audio (mpg123, fed from memory) to 16 bits
//   0xFFFE the extensible layout with an integer-PCM or float sub-format
// Every decoder keeps the source's channels (one or two) and rate. Other
// tags, more than two channels and damaged headers are refused.
//
// Units: an output frame is one sample of every channel; sizes are bytes.
// The data a decoder reads is not copied and must outlive it. Decoders are
// restartable: Seek puts the next Decode at any output frame, so a loop
// start is reached without decoding from the start of the data again
// (block codecs decode the one block holding the frame; MPEG seeks through
// mpg123's frame index).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace platform {

inline constexpr uint16_t kWaveTagPcm = 0x0001;
inline constexpr uint16_t kWaveTagMsAdpcm = 0x0002;
inline constexpr uint16_t kWaveTagIeeeFloat = 0x0003;
inline constexpr uint16_t kWaveTagALaw = 0x0006;
inline constexpr uint16_t kWaveTagMuLaw = 0x0007;
inline constexpr uint16_t kWaveTagImaAdpcm = 0x0011;
inline constexpr uint16_t kWaveTagMpegLayer3 = 0x0055;
inline constexpr uint16_t kWaveTagExtensible = 0xFFFE;

// The PCM a decoder produces: little-endian, unsigned at 8 bits, signed at
// 16; block align = channels x bits / 8.
struct PcmFormat {
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint16_t bits = 0;
  uint16_t BlockAlign() const { return static_cast<uint16_t>(channels * bits / 8); }
};

class AudioDecoder {
 public:
  virtual ~AudioDecoder() = default;
  const PcmFormat& Output() const { return output_; }

  // Decodes from the current position into out, at most capacity bytes
  // (rounded down to whole frames; capacity must hold one frame). Returns
  // the bytes written; 0 at the end of the data. A damaged block ends the
  // data at that block.
  virtual size_t Decode(uint8_t* out, size_t capacity) = 0;
  // The next Decode starts at output frame `frame`; a frame at or past the
  // end leaves the decoder at the end. Clears an earlier end by damage.
  virtual void Seek(uint64_t frame) = 0;
  // Output bytes of the whole data, counted from the data present by the
  // block codecs and frame converters; 0 for MPEG, whose length the caller
  // counts from the frame headers.
  virtual uint64_t OutputBytes() = 0;
  // Source bytes read so far (how much decoding work was done).
  virtual uint64_t SourceBytesRead() const = 0;

 protected:
  PcmFormat output_;
};

// The PCM the decoders give for this "fmt " block (size bytes, at least 16),
// or nothing when no decoder takes it.
std::optional<PcmFormat> SuggestPcmFormat(const uint8_t* format, size_t size);

// A decoder over data for the "fmt " block, or nullptr when the block is
// refused (as SuggestPcmFormat) or the codec library fails.
std::unique_ptr<AudioDecoder> OpenAudioDecoder(const uint8_t* format, size_t format_size,
                                               const uint8_t* data, size_t data_size);

// G.711 code to linear 16-bit sample.
int16_t DecodeALawSample(uint8_t code);
int16_t DecodeMuLawSample(uint8_t code);

}  // namespace platform
