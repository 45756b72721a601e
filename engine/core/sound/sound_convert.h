// Sound decoding to PCM. A SoundConvert reads a sound file through a
// StreamOps table (usually a memory stream over the file image) and hands
// out 16-bit or 8-bit little-endian PCM on demand, with seeking by sample.
// Readers are tried in this order: RIFF WAVE with 8- or 16-bit PCM data,
// RIFF WAVE of any other format the audio codecs take, OGG Vorbis, MPEG
// audio.
//
// Units: sizes and positions are bytes of output PCM unless named samples;
// a sample is one frame of every channel (block align bytes). Every file is
// untrusted: header claims (chunk sizes, frame counts, granule positions)
// never size a block alone, and a damaged file fails the open or ends the
// data early.
//
// A converter must stay at its address from open to close (the OGG reader
// keeps it as its data source) and is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/files/file_stream.h"
#include "platform/audio_codec.h"

// The 18-byte WAVE format block, as stored in files (little-endian).
#pragma pack(push, 1)
struct WaveFormatEx {
  uint16_t format_tag;
  uint16_t channels;
  uint32_t samples_per_sec;
  uint32_t avg_bytes_per_sec;
  uint16_t block_align;
  uint16_t bits_per_sample;
  uint16_t cb_size;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatEx) == 18);

inline constexpr uint16_t kWaveFormatPcm = 1;

enum SoundConvertKind : int {
  kSoundConvertWavePcm = 0,
  kSoundConvertAcm = 1,  // compressed WAVE or MPEG audio through the audio codecs
  kSoundConvertOgg = 2,
};

// Owner of a block of the library allocator.
struct TrackedBlockDeleter {
  void operator()(uint8_t* block) const;
};
using TrackedBlock = std::unique_ptr<uint8_t[], TrackedBlockDeleter>;
// size bytes (at least one) from the library allocator, or empty.
TrackedBlock AllocTrackedBlock(int64_t size, const char* file = __builtin_FILE(), int line = __builtin_LINE());

// The OGG Vorbis reader's state (its own unit).
struct OggVorbisSource;
struct OggVorbisSourceDeleter {
  void operator()(OggVorbisSource* source) const;
};

struct SoundConvert {
  SoundConvert() = default;
  ~SoundConvert();
  SoundConvert(const SoundConvert&) = delete;
  SoundConvert& operator=(const SoundConvert&) = delete;

  int valid = 0;
  int end = 0;  // a read reached the end
  int kind = kSoundConvertWavePcm;
  StreamOps ops{};  // copied at open
  StreamHandle stream = 0;
  int64_t format_position = 0;  // "fmt " chunk data (WAVE only)
  int64_t format_size = 0;
  // WAVE: the data chunk, clamped to the bytes present and cut to whole
  // frames; MPEG: the first frame to the end of the last; OGG: the PCM size.
  int64_t data_position = 0;
  int64_t data_size = 0;
  WaveFormatEx format{};  // output format, always PCM

  // Audio-codec kind: the source format block, the decoder, the whole source
  // data in memory, and the output size counted from MPEG frame headers (-1
  // for WAVE, where the decoder counts).
  std::vector<uint8_t> source_format;
  std::unique_ptr<platform::AudioDecoder> decoder;
  TrackedBlock source_data;
  int64_t source_size = 0;
  int64_t total_samples = -1;

  // OGG Vorbis kind.
  std::unique_ptr<OggVorbisSource, OggVorbisSourceDeleter> ogg;
  int ogg_word_size = 2;  // bytes per output sample

  TrackedBlock buffer;  // decoded bytes waiting to be read
  int64_t buffer_size = 0;
  int64_t available = 0;
  int64_t offset = 0;
  int64_t position = 0;  // output bytes handed out (or the sought target)
  // Set by a loop start of the stream-sound layer. The decoders seek
  // straight to any sample, so nothing needs to look ahead to it.
  int64_t loop_target = 0;
  int64_t data_read = 0;  // WAVE PCM: bytes of the data chunk read so far
};

// 0, or -1 when no reader takes the stream. The stream stays the caller's.
int OpenSoundConvert(const StreamOps* ops, StreamHandle stream, SoundConvert* convert);
// Bytes copied to destination (0 at the end or for bytes <= 0), or -1 for a
// converter that is not open.
int64_t ReadSoundConvert(SoundConvert* convert, void* destination, int64_t bytes);
// Moves to sample (negative counts as 0); a target less than 16 bytes from
// the current position is ignored. Clears the end flag.
void SeekSoundConvert(SoundConvert* convert, int64_t sample);
// 0, or -1 when not open.
int CloseSoundConvert(SoundConvert* convert);
// Decodes the whole sound from its first sample into a block of the library
// allocator (free it with TrackedFree). 0, or -1 when not open, out of
// memory, or the PCM would pass the allocator's limit.
int ConvertSoundToPcm(SoundConvert* convert, WaveFormatEx* format, uint8_t** pcm, int64_t* size);
void GetSoundConvertFormat(const SoundConvert* convert, WaveFormatEx* format);
// PCM bytes the sound decodes to: WAVE PCM the data size; codecs the size
// counted from the data; OGG (total samples + 44,100) x block align, one
// second more than the stream holds. 0 when not open.
int64_t GetSoundConvertSize(SoundConvert* convert);

// Reads a whole stream into a block of the library allocator. 0; -1 when out
// of memory (logged); -2 when the stream's size cannot be taken or the read
// falls short.
int ReadWholeStream(const StreamOps* ops, StreamHandle stream, uint8_t** block, int64_t* size);
// A RIFF WAVE file image of format_size + pcm_size + 28 bytes: "RIFF", size,
// "WAVE", "fmt " with the format, "data" with the PCM. 0, or -1 when out of
// memory or the sizes are negative or too large for the file's 32-bit sizes.
int BuildWaveImage(uint8_t** block, int64_t* size, const void* format, int32_t format_size, const void* pcm,
                   int64_t pcm_size);
// Closes the sound capture file. Nothing in this player opens one, so this
// returns -1.
int FinishWaveCapture();

// The largest block of decoded PCM a converter hands out at once.
inline constexpr int64_t kMaxSoundBlockBytes = 0x7FFF0000;
