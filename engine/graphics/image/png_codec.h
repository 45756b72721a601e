// PNG binding of the image decoder and the PNG writer of screen saves, on
// libpng.
//
// DecodePngStream is the PNG slot of the reader list. It reads from the
// stream's current position to its end and produces:
//   - palette images without a transparency chunk: Palette8, the file's
//     entries (blue, green, red, 0) followed by zero entries up to 256;
//   - other colour images: ARGB32 with an alpha channel (or transparency
//     chunk), else RGB24;
//   - greyscale: Grey8, or with an alpha channel (or transparency chunk)
//     the two-byte layout of kGreyAlpha16: grey in the low byte for red,
//     green and blue, the alpha byte kept as spare bits.
// 16-bit channels are cut to 8 bits, pixels of 1, 2 or 4 bits become one
// byte each, low-depth greyscale is scaled to 0-255. Pitch is the decoded
// row size (not rounded). Images beyond the decoded-image limits, or whose
// pixel data could not fit in the bytes left in the stream, are refused
// before any pixel memory is taken.
//
// EncodePngFile writes any GraphImage as 8-bit RGB through its pixels'
// colours (GetGraphImagePixel), every row filter allowed, the zlib level
// given (-1 default, 0-9).
#pragma once

#include "engine/core/files/file_stream.h"
#include "engine/graphics/image/graph_image.h"

int DecodePngStream(const StreamOps* ops, StreamHandle stream, GraphImage* out);

// 0, or -1 when the image is empty, memory fails, the file cannot be
// created or written, or libpng fails (a partly written file may remain).
int EncodePngFile(const char* name, const GraphImage* image, int level);

// The two-byte grey format of greyscale images with alpha.
void SetGreyAlpha16ColorFormat(ColorFormat* format);
