// Which back ends this build of the graphics engine has.
//
// kDirect3DBackEndBuilt is false until the 3D back end exists. While it is
// false: Direct3D is never "usable" (the graph manager's start leaves
// Direct3DUsable at 0), NotUseDirect3D always reads 1, no graphic is made a
// texture graphic (TextureFlag stays 0), and every 3D branch (texture storage,
// texture draws, Direct3D hand-offs of the draw state) is a stub that is never
// reached in normal running. Tests may still force Direct3DUsable to reach the
// branches that only decide (the creation rule of AllocGraphHandle).
#pragma once

inline constexpr bool kDirect3DBackEndBuilt = false;
