// Reader of DDS files (a reader of the decoder list, image_reader.h): the
// first level of an uncompressed surface.
//
// The format comes from the pixel format's bit count and masks when its RGB
// flag is set, else (flags exactly the four-character-code flag) from a
// table of Direct3D format numbers; block-compressed and other codes are
// refused. Pixel sizes of 16, 24 and 32 bits keep the file's masks (each cut
// to its lowest run of set bits); 8-bit
// pixels become Palette8 with the palette built from the masks. The row
// pitch is the header's when its pitch flag is set, else bit count / 8 x
// width; Pitch is that pitch. A bit count other than 8, 16, 24 or 32, a pitch
// below width x bytes a pixel, a size outside the decoded-image limits or
// fewer bytes than pitch x height are refused with -1.
#pragma once

#include "engine/core/files/file_stream.h"
#include "engine/graphics/image/graph_image.h"

inline constexpr uint32_t kDdsPitchFlag = 0x8;      // surface flags: pitch is valid
inline constexpr uint32_t kDdsFourCCFlag = 0x4;     // pixel-format flags
inline constexpr uint32_t kDdsRgbFlag = 0x40;       // pixel-format flags

int DecodeDdsStream(const StreamOps* ops, StreamHandle stream, GraphImage* out);
