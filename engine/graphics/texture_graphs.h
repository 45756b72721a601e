// What ties texture graphics to the rest of the engine once Direct3D runs:
// the 3D surface table's part in the device's end, loss and re-creation,
// the glyph caches held in texture graphics, and movie frames written into
// texture graphics. Direct3D start-up installs all three; each stays idle
// while no texture graphic exists.
#pragma once

#include "engine/graphics/font_handles.h"

// Installs the device's table hooks, the font cache hooks and the movie
// frame uploader. Repeating it is harmless.
void InstallTextureGraphHooks();

// The hooks one by one (tests call them directly).
// Every piece's texture surface released (device lost); the pieces stay.
void ReleaseAllTextureSurfaces3D();
// Every piece's texture surface made again, empty, and keyed.
void RecreateAllTextureSurfaces3D();
// The font cache hooks that keep glyph caches in texture graphics.
FontCacheHooks TextureFontCacheHooks();
