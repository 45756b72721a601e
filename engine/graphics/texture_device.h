// The 3D device as the texture code sees it: whether Direct3D runs, the
// texture sizes it allows (powers of two between MinTextureSize and
// MaxTextureSize, squares only when SquareOnly), and the copy of one texture
// into another that the upload falls back on when a texture cannot be locked. Direct3D start-up fills the record;
// every field reads "no device" until then. The texture formats are the
// format table's (texture_format_table.h).
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "engine/graphics/graph_creation_flags.h"
#include "engine/graphics/image/color_format.h"
#include "engine/graphics/texture_format_table.h"
#include "platform/display/surface.h"

// Copies src_rect of source into destination at (x, y), both of one format.
using TextureLoadFn = std::function<platform::display::Result(
    const platform::display::SurfacePtr& destination, int x, int y,
    const platform::display::SurfacePtr& source, const platform::display::Rect& src_rect)>;

struct TextureDevice {
  int Running = 0;          // Direct3D started and has a device
  int MinTextureSize = 32;  // the smaller of the device's minimum width and height
  int MaxTextureSize = 256; // the smaller of its maximum width and height
  int SquareOnly = 0;       // textures must be square
  TextureLoadFn Load;
};

TextureDevice& GetTextureDevice();
// Back to "no device": not running, limits 32 and 256, no Load.
void ResetTextureDevice();
inline int IsTextureDeviceRunning() { return GetTextureDevice().Running; }

// The display layer's pixel-format record for a texture entry.
platform::display::PixelFormat TexturePixelFormatForSurface(int index);
