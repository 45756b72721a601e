// The plain decode loop that the movie benchmark measures the player's
// movie path against: FFmpeg's own demuxing, decoding and one sws_scale per
// frame into a caller's buffer, on the calling thread, nothing else.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/movie/movie_stream.h"

namespace platform::movie {

// Decodes every picture of the movie bytes into frame (one frame at a time,
// rows of FramePitchFor(layout, width)); the number of frames, -1 when the
// bytes cannot be opened.
int DecodeAllFramesReference(const std::vector<uint8_t>& bytes, FrameLayout layout, std::vector<uint8_t>* frame);

}  // namespace platform::movie
