// The decoded image: what every image reader produces and what the graphics
// engine converts into surfaces, textures and memory images.
//
// A GraphImage carries its own ColorFormat (for 8-bit images with the palette
// in Format.PaletteTable), a size in pixels, a row pitch in bytes and the
// pixel rows top to bottom. Pixels are owned by the image and come from the
// library allocator (TrackedAlloc); a zero-filled record is an empty image.
//
// Size limits of decoded images: each side 1 to kMaxGraphImageSide pixels and
// at most kMaxGraphImageBytes of pixel rows (Pitch x Height), whatever a file
// claims. Colour components handed in and out are 0-255.
#pragma once

#include <cstdint>

#include "engine/graphics/image/color_format.h"

struct GraphImage {
  ColorFormat Format;
  int32_t Width;
  int32_t Height;
  int32_t Pitch;
  uint8_t* Pixels;
};

inline constexpr int64_t kMaxGraphImageSide = 16384;
inline constexpr int64_t kMaxGraphImageBytes = int64_t{256} << 20;

// 1 when a width x height image of the given pitch fits the limits above
// (sides at least 1, pitch at least 1), else 0. Computed in 64 bits.
int IsGraphImageSizeAllowed(int64_t width, int64_t height, int64_t pitch);

// Gives the image Width, Height, Pitch and pitch x height bytes of pixels
// (zero-filled when zero is 1); Format is left to the caller. -1, with the
// size fields and Pixels left zero, when the size is outside the limits or
// memory fails.
int AllocGraphImagePixels(GraphImage* image, int64_t width, int64_t height, int64_t pitch,
                          int zero);

// RGB24 image, Pitch = (width x 3 + 3) / 4 x 4, pixels not cleared. 0, or -1
// (record zero-filled) for a size outside the limits or when memory fails.
int CreateRgb24GraphImage(int width, int height, GraphImage* image);
// ARGB32 image, Pitch = width x 4, pixels not cleared; as above.
int CreateArgb32GraphImage(int width, int height, GraphImage* image);

// Frees the pixels and zero-fills the record.
void ReleaseGraphImage(GraphImage* image);

// Writes the colour packed for the format (PackColor: components reduced to
// their channel widths, spare bits set) into every pixel of an image of 2, 3
// or 4 bytes a pixel. 0, or -1 for an image without pixels or of 1 byte a
// pixel.
int FillGraphImage(GraphImage* image, int r, int g, int b, int a);

// One pixel of an image of 2, 3 or 4 bytes a pixel. 0, or -1 outside the
// image or for another pixel size.
int SetGraphImagePixel(GraphImage* image, int x, int y, int r, int g, int b, int a);

// One pixel of an image of 1 to 4 bytes a pixel (1-byte images through the
// palette), each component scaled to 0-255 as value x 255 / (2^width - 1);
// 0 for an absent channel, so alpha is 0 in a format without alpha; at most
// 255 even for masks with gaps. Any out
// pointer may be null. 0, or -1 outside the image.
int GetGraphImagePixel(const GraphImage* image, int x, int y, int* r, int* g, int* b, int* a);

// Mirrors the image left-right in place (1 to 4 bytes a pixel). 0, or -1 for
// a width or height of 0, no pixels or another pixel size.
int ReverseGraphImage(GraphImage* image);
