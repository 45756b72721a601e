// Which parts of the 3D back end this build of the graphics engine has.
//
// The Direct3D device runs (Direct3DUsable follows it), but texture
// graphics do not exist yet: while kTextureGraphsBuilt is false no graphic
// is made a texture graphic (TextureFlag stays 0), the 3D surface table is
// always empty, and every texture branch (texture storage, texture draws)
// is a stub that is never reached in normal running. Tests may still force
// Direct3DUsable to reach the branches that only decide.
#pragma once

inline constexpr bool kTextureGraphsBuilt = false;
