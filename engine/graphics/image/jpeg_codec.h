// JPEG binding of the image decoder and the JPEG writer of screen saves, on
// libjpeg's 6b interface.
//
// DecodeJpegStream is the JPEG slot of the reader list. It reads from the
// stream's current position to its end, 4,096 bytes at a time. One
// component gives Grey8, three give RGB24 (blue, green, red in memory);
// Pitch = width x components, not rounded. Other component counts (CMYK,
// YCCK) are refused so that the next reader gets its turn. Data that ends
// early decodes to its end, the rest of the image filled by libjpeg after
// its premature-end warning; an empty stream is an error. Images beyond the
// decoded-image limits are refused after the header, and so are images of
// more than kJpegFreeBytes whose decoded size exceeds kJpegMaxRatio times
// the bytes left, so a few bytes cannot make it decode a huge picture.
// libjpeg's messages go to its default output (stderr).
//
// EncodeJpegFile writes any GraphImage as a baseline RGB JPEG through its
// pixels' colours (GetGraphImagePixel), quality 0-100 (clamped by libjpeg).
#pragma once

#include <cstdint>

#include "engine/core/files/file_stream.h"
#include "engine/graphics/image/graph_image.h"

inline constexpr int64_t kJpegFreeBytes = int64_t{16} << 20;
inline constexpr int64_t kJpegMaxRatio = 1024;
// Progressive files with more scans than this are refused.
inline constexpr int kJpegMaxScans = 500;

int DecodeJpegStream(const StreamOps* ops, StreamHandle stream, GraphImage* out);

// 0, or -1 when the image is empty, memory fails, the file cannot be
// created or written, or libjpeg fails (a partly written file may remain).
int EncodeJpegFile(const char* name, const GraphImage* image, int quality);
