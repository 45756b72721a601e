// The texture-format table the Direct3D start-up fills from the device's
// texture formats, and its accessors.
//
// Nine entries, each a pixel-format record and its ColorFormat; an entry is
// empty while its ColorFormat's BitDepth is 0:
//   0 plain 16-bit            1 plain 32-bit (else a copy of 0)
//   2 alpha 4-4-4-4           3 alpha 8-8-8-8 (else a copy of 2)
//   4 one-bit alpha 1-5-5-5 (else a copy of 2)
//   5 one-bit alpha, 32-bit (the 8-8-8-8 format; else a copy of 3)
//   6 drawable 16-bit (copy of 0)   7 drawable 32-bit (copy of 1)
//   8 drawable with alpha (copy of 3)
#pragma once

#include <array>
#include <cstdint>

#include "engine/graphics/graph_creation_flags.h"
#include "engine/graphics/image/color_format.h"

// Pixel-format flags the enumeration rules read, beside kDDPixelFormatRgb
// and kDDPixelFormatFourCC.
inline constexpr uint32_t kDDPixelFormatAlphaPixels = 0x1;
inline constexpr uint32_t kDDPixelFormatAlphaOnly = 0x2;
inline constexpr uint32_t kDDPixelFormatZBuffer = 0x400;
inline constexpr uint32_t kDDPixelFormatLuminance = 0x20000;
inline constexpr uint32_t kDDPixelFormatBumpLuminance = 0x40000;
inline constexpr uint32_t kDDPixelFormatBumpDuDv = 0x80000;

inline constexpr int kTextureFormatCount = 9;

enum TextureFormatIndex : int {
  kTexFormatPlain16 = 0,
  kTexFormatPlain32 = 1,
  kTexFormatAlpha4444 = 2,
  kTexFormatAlpha8888 = 3,
  kTexFormatAlphaTest16 = 4,
  kTexFormatAlphaTest32 = 5,
  kTexFormatDrawable16 = 6,
  kTexFormatDrawable32 = 7,
  kTexFormatDrawableAlpha = 8,
};

struct TextureFormatEntry {
  DDPixelFormat PixelFormat;
  ColorFormat Format;
};

struct TextureFormatTable {
  std::array<TextureFormatEntry, kTextureFormatCount> Entries{};
  int32_t Plain16Found = 0;  // an acceptable plain 16-bit format was offered
};

// The enumeration rule for one offered format (the enumeration always goes
// on). screen is the screen's ColorFormat, which wins among plain formats.
void OfferTextureFormat(TextureFormatTable& table, const DDPixelFormat& format,
                        const ColorFormat& screen);
// The fall-backs, in the order 1, 3, 4, 5, 6, 7, 8, after the enumeration.
void CompleteTextureFormatTable(TextureFormatTable& table);

// Accessors of the running table (Direct3DState). An index outside 0-8
// gives null.
int SelectTextureFormat(const GraphCreationFlags& flags);
const DDPixelFormat* GetTexturePixelFormat(int index);
const ColorFormat* GetTextureColorFormat(int index);
const ColorFormat* GetTextureColorFormatForFlags(const GraphCreationFlags& flags);
const ColorFormat* GetTextureColorFormatFor(int alphaCh, int alphaTest, int is32bit, int drawable);
// The depth format found at start-up.
const DDPixelFormat* GetZBufferPixelFormat();
