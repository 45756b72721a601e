// The eight creation bytes of a graphic. They travel as one block: a
// GraphRecord carries them, the storage creator copies them into the
// graphic's SurfaceData and adjusts them there.
#pragma once

#include <cstdint>

struct GraphCreationFlags {
  uint8_t TextureFlag;     // 1: Direct3D textures, 0: one 2D surface
  uint8_t AlphaChFlag;     // the pixels carry alpha
  uint8_t DrawValid;       // may be a draw target
  uint8_t SystemMemFlag;   // 2D: storage kept in system memory
  uint8_t AlphaTestFlag;   // textures: transparent pixels dropped by an alpha test
  uint8_t ColorBitDepth;   // 16 or 32
  uint8_t BlendGraphFlag;  // 2D: 8-bit single-channel blend-graphic image
  uint8_t PaletteFlag;     // 2D: the source was 8-bit palettised without alpha
};
static_assert(sizeof(GraphCreationFlags) == 8, "the creation bytes are one 8-byte block");
