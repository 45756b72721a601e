// The library's one pixel-format converter between images in memory.
//
// ConvertColorBlt copies the source rectangle (left, top, right, bottom; right
// and bottom exclusive) of an image given as pixels, pitch in bytes and
// ColorFormat to (destX, destY) of another, converting between any two
// formats of 8, 16, 24 or 32 bits. Options: a separate alpha image read at the
// same rectangle, a horizontal mirror, a colour key turned into alpha
// (0x00RRGGBB) or skipped on copy (a source pixel value), alpha-only and
// red-as-alpha writing, and ordered (1) or error-carry (2) dither.
//
// Result: 0; -1 for an empty rectangle or an 8-bit destination from a source
// of another depth (except under alpha-only or transparent copy); the 8-bit
// copy returns the largest byte value it copied. Bounds are the caller's: the
// rectangle lies inside the source (and alpha image) and the destination holds
// it at (destX, destY). The short cuts give the same pixels as the general
// path except the documented widening of 5-6-5 into 24/32-bit 888 without
// alpha (low bits zero).
#pragma once

#include <cstdint>

#include "engine/graphics/image/color_format.h"
#include "engine/graphics/image/image_rect.h"

inline constexpr int kDitherNone = 0;
inline constexpr int kDitherOrdered = 1;
inline constexpr int kDitherErrorCarry = 2;

int ConvertColorBlt(void* destPixels, int destPitch, const ColorFormat* destFormat,
                    const void* srcPixels, int srcPitch, const ColorFormat* srcFormat,
                    const void* alphaPixels, int alphaPitch, const ColorFormat* alphaFormat,
                    int destX, int destY, const ImageRect* srcRect, int mirror, int keyToAlpha,
                    uint32_t colorKey, int ditherMode, int alphaOnly, int redAsAlpha,
                    int transparentCopy);
