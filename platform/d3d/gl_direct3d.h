// The OpenGL back end of the 3D device interface (direct3d.h).
//
// InstallOpenGlDirect3D() makes every display device answer the Direct3D
// query with it; the engine calls it once at start-up. The query then
// fails (kNoDirect3D) when no OpenGL 3.3 core context can be made
// (gl_context.h), and the engine falls back to software drawing.
//
// What the Direct3D object reports: one hardware T&L device rendering at 16
// and 32 bits, textures of 1 to min(2,048, GL's largest) texels a side in
// powers of two (square not required), four texture stages; one 16-bit
// depth format; the texture formats R5G6B5, X8R8G8B8, A4R4G4B4, A1R5G5B5
// and A8R8G8B8, in that order.
//
// Render targets and textures keep their pixels in their display surfaces;
// their GL copies are kept in step as gl_surface.h describes. A scene's end
// reads a primary target back at once, so the presenter shows it; other
// targets are read back when the CPU side next touches them. Every call
// must come from the thread that made the GL context.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d/direct3d.h"

namespace platform::d3d {

void InstallOpenGlDirect3D();

namespace test {
struct GlPipelineCounts {
  size_t cached_programs = 0;
  uint64_t programs_built = 0;
};
GlPipelineCounts GetGlPipelineCounts();
}  // namespace test

}  // namespace platform::d3d
