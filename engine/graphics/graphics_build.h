// Which parts of the 3D back end this build of the graphics engine has.
//
// Texture graphics are built: while Direct3D runs (Direct3DUsable follows
// it) a graphic asked for in 3D is a texture graphic (TextureFlag 1) cut
// into pieces of the 3D surface table, glyph caches and movie frames go
// into texture graphics, and the textures follow the device through its
// loss and re-creation.
#pragma once

inline constexpr bool kTextureGraphsBuilt = true;
