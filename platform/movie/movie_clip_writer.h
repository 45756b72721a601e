// Test clips made with the encoders of the system's FFmpeg: a few seconds of
// a generated pattern with each frame's index painted as blocks, and a sine
// tone. Used by the clip tool, the tests, the fuzz seeds and the benchmark;
// nothing here is needed to play a movie.
//
// The pattern (ClipPixel): a gradient whose channels are multiples of 8, so
// it survives 5-6-5 conversion exactly, and along the top edge eight blocks,
// each one eighth of the width wide and one sixth of the height high, white
// for a set bit of the frame index (bit 0 leftmost), black otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::movie {

enum class ClipCodec {
  kLossless,  // FFV1 pictures and 16-bit PCM sound in Matroska: frames come back exactly
  kLossy,     // MPEG-1 pictures and MPEG audio layer 2 in an MPEG program stream
  kPaletted,  // raw 8-bit pictures with a palette (each colour cut to 3-3-2 bits) and PCM sound in NUT
};

struct ClipOptions {
  ClipCodec codec = ClipCodec::kLossless;
  int width = 64, height = 48;  // multiples of 16
  int frames = 50;
  int fps = 25;
  bool sound = true;
  int sound_rate = 22050;
  int tone_hz = 1000;
  int tone_amplitude = 8000;
};

// Colour 0xRRGGBB of pixel (x, y) of frame `frame`.
uint32_t ClipPixel(const ClipOptions& options, int frame, int x, int y);
// The frame index read back from the blocks of a picture: pixel(x, y)
// returns 0xRRGGBB. -1 when a block is neither clearly light nor dark.
template <typename PixelAt>
int ReadClipFrameIndex(const ClipOptions& options, PixelAt pixel) {
  const int bw = options.width / 8, bh = options.height / 6;
  int index = 0;
  for (int bit = 0; bit < 8; ++bit) {
    const uint32_t c = pixel(bit * bw + bw / 2, bh / 2);
    const int level = static_cast<int>(((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF)) / 3;
    if (level > 192) {
      index |= 1 << bit;
    } else if (level > 64) {
      return -1;
    }
  }
  return index;
}

// Writes the clip to a native path (UTF-8). False when an encoder or the
// container cannot be set up or written.
bool WriteClipFile(const std::string& native_path, const ClipOptions& options);
// The clip's bytes (written through a temporary file); empty on failure.
std::vector<uint8_t> WriteClipBytes(const ClipOptions& options);

}  // namespace platform::movie
