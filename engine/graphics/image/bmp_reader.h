// Reader of BMP files (a reader of the decoder list, image_reader.h).
//
// Accepted: an information header of 40 bytes or more (the colour table
// follows the header, at 14 + header size); uncompressed 1, 4, 8, 16, 24 and
// 32 bits; RLE8 at 8 bits, RLE4 at 4 bits; bit fields at 16 and 32 bits.
// Results, always top-down:
// - 4 bits (plain or RLE4) and 8 bits (plain or RLE8): Palette8, one byte a
//   pixel, Pitch = width rounded up to 4, the file's colour table;
// - 24 bits: RGB24 with the file's row size as Pitch;
// - 1, 16 and 32 bits: converted into RGB24 (Pitch rounded up to 4), 16 bits
//   from 5-5-5 and 32 bits from 8-8-8 unless bit fields give the masks
//   (each cut to its lowest run of set bits).
// Run-length data that ends early, or moves outside the image, leaves the
// pixels it does not reach zero. Anything else (another compression, a short
// header, colour table or pixel data, a size outside the decoded-image
// limits) is refused with -1. A converted image whose memory cannot be had
// is refused after a log line.
#pragma once

#include "engine/core/files/file_stream.h"
#include "engine/graphics/image/graph_image.h"

int DecodeBmpStream(const StreamOps* ops, StreamHandle stream, GraphImage* out);
