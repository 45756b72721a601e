// EGL set-up of the off-screen context.
#include "platform/d3d/gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace platform::d3d {
namespace {

constexpr int32_t kMinimumTextureSize = 1024;

struct ContextState {
  std::mutex mutex;
  bool tried = false;
  bool ok = false;
  std::thread::id owner;
  GlContextInfo info;
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  EGLSurface surface = EGL_NO_SURFACE;
};

ContextState& State() {
  static ContextState* state = new ContextState;  // lives as long as the driver
  return *state;
}

std::atomic<bool> g_unavailable{false};

bool HasExtension(const char* list, const char* name) {
  if (list == nullptr) return false;
  const size_t n = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  }
  return false;
}

EGLContext CreateCoreContext(EGLDisplay display, EGLConfig config) {
  const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                               EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                               EGL_NONE};
  return eglCreateContext(display, config, EGL_NO_CONTEXT, attributes);
}

// Surfaceless: Mesa's surfaceless platform with a configless context.
bool TrySurfaceless(ContextState& s) {
  const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (!HasExtension(client, "EGL_MESA_platform_surfaceless")) return false;
  auto get_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (get_display == nullptr) return false;
  EGLDisplay display = get_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return false;
  const char* ext = eglQueryString(display, EGL_EXTENSIONS);
  if (!HasExtension(ext, "EGL_KHR_surfaceless_context") ||
      !HasExtension(ext, "EGL_KHR_no_config_context") || !eglBindAPI(EGL_OPENGL_API)) {
    eglTerminate(display);
    return false;
  }
  EGLContext context = CreateCoreContext(display, EGL_NO_CONFIG_KHR);
  if (context == EGL_NO_CONTEXT ||
      !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    eglTerminate(display);
    return false;
  }
  s.display = display;
  s.context = context;
  s.info.surfaceless = true;
  return true;
}

// A 1 x 1 pbuffer on the default display.
bool TryPbuffer(ContextState& s) {
  EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return false;
  if (!eglBindAPI(EGL_OPENGL_API)) {
    eglTerminate(display);
    return false;
  }
  const EGLint config_attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                      EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (!eglChooseConfig(display, config_attributes, &config, 1, &count) || count < 1) {
    eglTerminate(display);
    return false;
  }
  const EGLint pbuffer_attributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
  EGLSurface surface = eglCreatePbufferSurface(display, config, pbuffer_attributes);
  EGLContext context = surface != EGL_NO_SURFACE ? CreateCoreContext(display, config) : EGL_NO_CONTEXT;
  if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, surface, surface, context)) {
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
    eglTerminate(display);
    return false;
  }
  s.display = display;
  s.context = context;
  s.surface = surface;
  return true;
}

// Mesa's software rasterizer hands every flushed scene to a pool of worker
// threads and waits for them all. The device's scenes are small and many:
// each texture upload, target change and read-back ends one. The round
// trip to the pool then costs more than the drawing (a 640 x 480 upload
// and its bind about twice the time, a small read-back four times), while
// a frame of 10,000 quads is only about a fifth slower on one thread. So
// the scenes are rasterized on the calling thread unless the user chose a
// thread count. Drivers for real GPUs do not read the variable.
void PreferInlineSoftwareRasterizer() {
  if (std::getenv("LP_NUM_THREADS") == nullptr) setenv("LP_NUM_THREADS", "0", 0);
}

bool CheckContext(ContextState& s) {
  GLint major = 0, minor = 0, size = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  s.info.renderer = renderer != nullptr ? renderer : "";
  s.info.max_texture_size = size;
  if (major * 10 + minor < 33) {
    std::fprintf(stderr, "3D: OpenGL %d.%d is below 3.3; no 3D device\n", major, minor);
    return false;
  }
  if (size < kMinimumTextureSize) {
    std::fprintf(stderr, "3D: largest texture %d is below %d; no 3D device\n", size,
                 kMinimumTextureSize);
    return false;
  }
  return true;
}

}  // namespace

const GlContextInfo* AcquireGlContext() {
  if (g_unavailable.load()) return nullptr;
  ContextState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.tried) {
    s.tried = true;
    PreferInlineSoftwareRasterizer();
    if (TrySurfaceless(s) || TryPbuffer(s)) {
      s.owner = std::this_thread::get_id();
      s.ok = CheckContext(s);
    } else {
      std::fprintf(stderr, "3D: no OpenGL 3.3 core context through EGL; no 3D device\n");
    }
  }
  if (!s.ok || s.owner != std::this_thread::get_id()) return nullptr;
  return &s.info;
}

bool OnGlThread() {
  ContextState& s = State();
  return s.ok && s.owner == std::this_thread::get_id();
}

void RequireGlThread(const char* call) {
  if (OnGlThread()) return;
  std::fprintf(stderr, "3D: %s called on a thread that does not own the 3D device\n", call);
  std::fflush(stderr);
  std::abort();
}

namespace test {
void SetOpenGlUnavailable(bool unavailable) { g_unavailable.store(unavailable); }
}  // namespace test

}  // namespace platform::d3d
