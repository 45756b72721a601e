// The one off-screen OpenGL 3.3 core context of the 3D back end, made through
// EGL on first use and kept for the rest of the process: a surfaceless
// context where the EGL display offers one, else a 1 x 1 pbuffer. It is
// never bound to a window; frames reach the window through the display
// stand-in's presenter.
//
// The context is current on the thread that made it, and only that thread
// may use it: RequireGlThread aborts with a message on any other.
#pragma once

#include <cstdint>
#include <string>

namespace platform::d3d {

struct GlContextInfo {
  std::string renderer;
  int32_t max_texture_size = 0;
  bool surfaceless = false;
};

// The context, made current on this thread; null when EGL, a 3.3 core
// context or a largest texture of at least 1,024 texels is not to be had
// (the reason goes to stderr once). Also null on another thread than the
// one that made it.
const GlContextInfo* AcquireGlContext();

// Aborts the process unless called on the context's thread.
void RequireGlThread(const char* call);
bool OnGlThread();

namespace test {
// While set, AcquireGlContext fails as if EGL were missing (the context, if
// made, is kept for later).
void SetOpenGlUnavailable(bool unavailable);
}  // namespace test

}  // namespace platform::d3d
