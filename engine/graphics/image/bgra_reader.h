// Reader of the library's raw BGRA images (a reader of the decoder list,
// image_reader.h).
//
// Layout, little-endian: "BGRA", a channel depth code (0x08080808 for 8 bits
// a channel, 0x10101010 for 16), width and height as int32, then the pixel
// rows top to bottom without padding: blue, green, red, alpha per pixel, one
// byte each or one 16-bit value each. The result is ARGB32 with Pitch =
// width x 4; 16-bit channels keep their high byte. Another magic or code, a
// size outside the decoded-image limits or fewer pixel bytes than the image
// needs are refused with -1.
#pragma once

#include "engine/core/files/file_stream.h"
#include "engine/graphics/image/graph_image.h"

inline constexpr uint32_t kBgraDepth8 = 0x08080808;
inline constexpr uint32_t kBgraDepth16 = 0x10101010;

int DecodeBgraStream(const StreamOps* ops, StreamHandle stream, GraphImage* out);
