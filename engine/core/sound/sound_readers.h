// The readers behind a SoundConvert, one family per decoder kind:
//   0 WAVE PCM   OpenWavePcm  ReadWavePcmBlock  SeekWavePcm
//   1 WAVE codec OpenWaveAcm  ConvertAcmBlock   SeekAcmConvert   CloseAcmConvert
//   1 MPEG audio OpenMp3Acm   ConvertAcmBlock   SeekAcmConvert   CloseAcmConvert
//   2 OGG Vorbis OpenOggConvert ReadOggBlock    SeekOggConvert   CloseOggConvert
// An opener reads from the converter's stream (positioned anywhere), fills
// the output format, data fields and buffer size, and frees what it made
// when it fails (-1). A block read refills the output buffer and returns 0,
// or -1 at the end of the data (decoder errors end the data too).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/sound/sound_convert.h"

int OpenWavePcm(SoundConvert* convert);
int ReadWavePcmBlock(SoundConvert* convert);
// target: output byte offset from the start of the data.
void SeekWavePcm(SoundConvert* convert, int64_t target);

int OpenWaveAcm(SoundConvert* convert);
int OpenMp3Acm(SoundConvert* convert);
int ConvertAcmBlock(SoundConvert* convert);
void SeekAcmConvert(SoundConvert* convert, int64_t sample);
void CloseAcmConvert(SoundConvert* convert);

int OpenOggConvert(SoundConvert* convert);
int ReadOggBlock(SoundConvert* convert);
// 0, or -1 when the sample cannot be reached (past the end).
int SeekOggConvert(SoundConvert* convert, int64_t sample);
void CloseOggConvert(SoundConvert* convert);
// Samples the OGG size reports beyond the stream's own (one second at
// 44.1 kHz); the stream-sound length is built on it.
inline constexpr int64_t kOggExtraSamples = 44100;

// One MPEG audio frame header (ISO/IEC 11172-3 and 13818-3; MPEG-2.5 and
// free format are not taken).
struct Mp3FrameHeader {
  int mpeg1 = 0;        // 1 MPEG-1, 0 MPEG-2
  int layer = 0;        // 1 to 3
  int bitrate_kbps = 0;
  int rate = 0;         // Hz
  int padding = 0;
  int channels = 0;
  int samples = 0;      // per frame
  int length = 0;       // bytes, header included
};
// 0; -1 for an invalid field; -2 when the sync (0xFF, then a byte whose top
// four bits are set) is missing.
int ParseMp3FrameHeader(const uint8_t header[4], Mp3FrameHeader* out);
// The frames of a block: from the first sync (0xFF, then a byte whose top
// four bits are set, searched byte by byte) each frame is skipped whole by
// its header's length, and the search goes on after it. The walk stops at
// the first header that does not parse. A frame cut by the end of the block
// ends the data there and still counts its samples.
struct Mp3FrameWalk {
  int64_t first = -1;   // offset of the first frame, -1 when none
  int64_t end = 0;      // end of the last frame (at most the block's size)
  int64_t samples = 0;  // samples per channel of every frame walked
  bool bad_header = false;
};
Mp3FrameWalk WalkMp3Frames(const uint8_t* bytes, int64_t size);
// Where the MPEG frames may start: after an ID3v2 tag (10 bytes, the
// synchsafe size, and 10 more for a version-4 footer) when the first bytes
// hold one, else 0. head holds the first `size` bytes of the file.
int64_t Mp3ScanStart(const uint8_t* head, size_t size);

// The converter's output buffer size for a wanted size: at least one frame,
// whole frames, at most 1 MiB (a header's rate cannot size it).
int64_t SoundBufferSize(int64_t wanted, uint16_t block_align);
// Stream helpers on the converter's stream. Length: seek to the end and
// tell (then back to 0); -1 when that fails.
int64_t SoundStreamLength(SoundConvert* convert);
// Reads size bytes at position; false when fewer arrive.
bool ReadSoundStreamAt(SoundConvert* convert, int64_t position, void* out, int64_t size);
