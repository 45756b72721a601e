// Reader of TGA files (a reader of the decoder list, image_reader.h).
//
// Accepted: image types 1 (colour-mapped), 2 (true colour), 9 and 10 (the
// same run-length coded) at 16, 24 or 32 bits a pixel (the colour-map entry
// size for the colour-mapped types, whose pixels are one-byte indices), with
// a zero origin and sides below 4,096. Results are top-down, left to right:
// 16 bits ARGB1555, 24 bits RGB24, 32 bits ARGB32, Pitch = width x bytes a
// pixel. Colour-map entries past index 255 are dropped; run-length data that
// ends early leaves the rest of the image zero. A footer with the format's
// signature and no extension area ends the run-length data. Anything else
// is refused with -1.
#pragma once

#include "engine/core/files/file_stream.h"
#include "engine/graphics/image/graph_image.h"

inline constexpr int kTgaMaxSide = 4096;  // sides must stay below this

int DecodeTgaStream(const StreamOps* ops, StreamHandle stream, GraphImage* out);
