// Which parts of the 3D back end this build of the graphics engine has.
//
// The Direct3D device runs (Direct3DUsable follows it) and texture storage
// exists, but the device does not hand its size limits and copies to the
// texture storage yet and there are no 3D draws: while kTextureGraphsBuilt
// is false no graphic is made a texture graphic (TextureFlag stays 0) and
// the 3D surface table stays empty in normal running. Tests reach the
// texture storage through its own fixture.
#pragma once

inline constexpr bool kTextureGraphsBuilt = false;
