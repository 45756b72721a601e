// The memory image: the picture every software drawing operation works on.
//
// A MEMIMG is a plain record, zero-filled before creation, valid while Magic
// is kMemImgMagic. Pixels are rows of Pitch bytes (a multiple of 16 for images
// this unit allocates); PitchShift is log2(Pitch) when Pitch is the smallest
// power of two not below the row size, else -1. Sizes are in pixels, pitches
// in bytes. Kinds: 0 = 16-bit 5-6-5 (with alpha: 4 bytes, colour in bits 0-15,
// alpha in bits 16-23, byte 3 zero); 1 = 32-bit X8R8G8B8 (with alpha
// A8R8G8B8); 2 = 8-bit single channel (masks, alpha maps); 3 = 16-bit single
// channel (depth buffers). A palette image of kind 0 or 1 stores 8-bit indices
// into DrawPalette (2-byte 5-6-5 entries for kind 0, 4-byte 0x00RRGGBB for
// kind 1). A view (InitMemImgView) shares its parent's pixels and palette,
// owns nothing and must not outlive the parent.
//
// The software renderer reads the fields directly; their order is part of
// the contract.
#pragma once

#include <cstdint>

#include "engine/graphics/image/color_format.h"
#include "engine/graphics/image/image_rect.h"

inline constexpr uint32_t kMemImgMagic = 0x12345678;

// Values of MEMIMG::Kind.
inline constexpr int kMemImgKind565 = 0;
inline constexpr int kMemImgKindXrgb32 = 1;
inline constexpr int kMemImgKindMask8 = 2;
inline constexpr int kMemImgKindDepth16 = 3;

// Run-length table: per pixel row, run bytes ((length - 1) | class, length
// 1-64) and then kRunRowEnd; rows follow each other without gaps. The buffer
// holds (Width + 5) * Height bytes.
inline constexpr uint8_t kRunTransparent = 0x00;
inline constexpr uint8_t kRunOpaque = 0x40;
inline constexpr uint8_t kRunPartial = 0x80;  // alpha images only: alpha 1-254
inline constexpr uint8_t kRunRowEnd = 0xC0;
inline constexpr uint8_t kRunClassMask = 0xC0;
inline constexpr uint8_t kRunLengthMask = 0x3F;
inline constexpr int kRunMaxLength = 64;

struct MEMIMG {
  uint32_t Magic;
  int32_t Width;
  int32_t Height;
  int32_t Pitch;
  int32_t PitchShift;
  const ColorFormat* Format;  // one of the cached formats; not owned
  uint32_t TransColor;        // transparent pixel value (palette index for palette images)
  int32_t Kind;
  int32_t UsePalette;
  int32_t PaletteCount;
  int32_t UseAlpha;
  int32_t PremulValid;
  int32_t RunTableValid;
  int32_t ExternalPixels;
  uint8_t* DrawPalette;   // normally PaletteStore1; a view's points at its parent's
  uint8_t* SavedPalette;  // normally PaletteStore2
  alignas(16) uint8_t PaletteStore1[1024];
  alignas(16) uint8_t PaletteStore2[1024];
  uint8_t* Pixels;        // first pixel row
  uint8_t* PremulPixels;  // owned premultiplied copy (alpha images) or null
  uint8_t* RunTable;      // owned run-length table or null
};

int CreateMemImg(MEMIMG* image, int width, int height, int pitch, uint32_t transColor, int kind,
                 int palette, int alpha, int withBuffers);
int CreateScreenMemImg(MEMIMG* image, int width, int height, int kind);
int CreateZBufferMemImg(MEMIMG* image, int width, int height);
MEMIMG* InitMemImgView(MEMIMG* view, const MEMIMG* parent, int x, int y, int width, int height);
int ReleaseMemImg(MEMIMG* image);
int HasMemImgPixels(const MEMIMG* image);
void FillMemImg(MEMIMG* image, const ImageRect* rect, uint32_t value);
int CopyMemImg(MEMIMG* dest, const MEMIMG* source, const ImageRect* rect, int x, int y);
