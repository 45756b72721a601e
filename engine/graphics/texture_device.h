// The 3D device as the texture code sees it: whether Direct3D runs, the
// texture sizes it allows (powers of two between MinTextureSize and
// MaxTextureSize, squares only when SquareOnly), the nine texture formats it
// offers, and the copy of one texture into another that the upload falls back
// on when a texture cannot be locked. Direct3D start-up fills the record;
// every field reads "no device" until then.
//
// Format entries (index: kind): 0 plain 16-bit, 1 plain 32-bit, 2 alpha
// 4-4-4-4, 3 alpha 8-8-8-8, 4 one-bit alpha 1-5-5-5, 5 one-bit alpha 32-bit,
// 6 drawable 16-bit, 7 drawable 32-bit, 8 drawable with alpha. An entry is
// empty while its ColorFormat's BitDepth is 0.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "engine/graphics/graph_creation_flags.h"
#include "engine/graphics/image/color_format.h"
#include "platform/display/surface.h"

inline constexpr int kTextureFormatCount = 9;

struct TextureFormatEntry {
  DDPixelFormat PixelFormat;
  ColorFormat Format;
};

// Copies src_rect of source into destination at (x, y), both of one format.
using TextureLoadFn = std::function<platform::display::Result(
    const platform::display::SurfacePtr& destination, int x, int y,
    const platform::display::SurfacePtr& source, const platform::display::Rect& src_rect)>;

struct TextureDevice {
  int Running = 0;          // Direct3D started and has a device
  int MinTextureSize = 32;  // the smaller of the device's minimum width and height
  int MaxTextureSize = 256; // the smaller of its maximum width and height
  int SquareOnly = 0;       // textures must be square
  std::array<TextureFormatEntry, kTextureFormatCount> Formats{};
  TextureLoadFn Load;
};

TextureDevice& GetTextureDevice();
// Back to "no device": not running, limits 32 and 256, formats zeroed, no Load.
void ResetTextureDevice();
inline int IsTextureDeviceRunning() { return GetTextureDevice().Running; }

// The format entry for a graphic's creation bytes: drawable -> 8 with alpha
// or alpha test, else 6 + d; alpha channel -> 2 + d; alpha test -> 4 + d;
// else d; d = 0 at 16 bits, 1 otherwise.
int SelectTextureFormat(const GraphCreationFlags& flags);
// The entry's pixel format / ColorFormat; null for an index outside 0-8.
const DDPixelFormat* GetTexturePixelFormat(int index);
const ColorFormat* GetTextureColorFormat(int index);
const ColorFormat* GetTextureColorFormatForFlags(const GraphCreationFlags& flags);
// The glyph caches' form of the choice.
const ColorFormat* GetTextureColorFormatFor(int alphaCh, int alphaTest, int is32bit, int drawable);
// The display layer's pixel-format record for a texture entry.
platform::display::PixelFormat TexturePixelFormatForSurface(int index);
