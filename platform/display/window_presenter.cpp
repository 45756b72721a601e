// The window presenter on an SDL renderer.
#include "platform/display/window_presenter.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cmath>
#include <cstring>

#include "platform/display/display_state.h"
#include "platform/display/pixel_plane.h"
#include "platform/display_connection.h"
#include "platform/sdl_main_window.h"
#include "platform/window.h"

namespace platform::display {
namespace {

// Main thread only.
struct Presenter {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int width = 0;
  int height = 0;
  Uint32 format = 0;
  std::vector<uint32_t> staging;  // images SDL cannot take as they are
};

Presenter& ThePresenter() {
  static Presenter* presenter = new Presenter();
  return *presenter;
}

std::atomic<bool> g_hooks_installed{false};

void DestroyPresenter() {
  Presenter& p = ThePresenter();
  // On a lost display the renderer went with the window; releasing it would
  // wait for the display.
  if (!platform::DisplayConnectionLost()) {
    if (p.texture != nullptr) SDL_DestroyTexture(p.texture);
    if (p.renderer != nullptr) SDL_DestroyRenderer(p.renderer);
  }
  p.texture = nullptr;
  p.renderer = nullptr;
  p.window = nullptr;
  p.width = p.height = 0;
  p.format = 0;
}

void OnWindowClosing() {
  DestroyPresenter();
  DisplayLock lock(DisplayMutex());
  DropWindowImage();
}

void OnEventsDrained() { PresentWindowImage(false); }

// The texture format that holds the image's pixels as they are; 0 when they
// must be converted to 0x00RRGGBB first.
Uint32 TextureFormatOf(const FormatInfo& f) {
  if (f.kind != PixelKind::kRgb) return 0;
  const PixelFormat& p = f.format;
  if (p.bit_count == 32 && p.red_mask == 0xFF0000 && p.green_mask == 0xFF00 && p.blue_mask == 0xFF) {
    return SDL_PIXELFORMAT_RGB888;
  }
  if (p.bit_count == 16 && p.red_mask == 0xF800 && p.green_mask == 0x7E0 && p.blue_mask == 0x1F) {
    return SDL_PIXELFORMAT_RGB565;
  }
  if (p.bit_count == 16 && p.red_mask == 0x7C00 && p.green_mask == 0x3E0 && p.blue_mask == 0x1F) {
    return SDL_PIXELFORMAT_RGB555;
  }
  return 0;
}

// Draws the window image into the renderer's back buffer (not presented).
// Expects the display lock.
bool DrawWindowImage(SDL_Window* window) {
  const PixelPlane image = WindowImagePlane();
  if (!image.Valid()) return false;
  Presenter& p = ThePresenter();
  if (p.window != window) DestroyPresenter();
  if (p.renderer == nullptr) {
    // An accelerated renderer on a window made without OpenGL would make
    // SDL re-create the window (with focus and exposure events the engine
    // reacts to), so such a window gets the software renderer on its native
    // framebuffer.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    const bool gl_window = (SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL) != 0;
    if (!gl_window) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    p.renderer = SDL_CreateRenderer(window, -1, gl_window ? 0 : SDL_RENDERER_SOFTWARE);
    if (p.renderer == nullptr) return false;
    p.window = window;
  }
  const int w = image.bounds.Width(), h = image.bounds.Height();
  const Uint32 direct = TextureFormatOf(*image.format);
  const Uint32 format = direct != 0 ? direct : Uint32{SDL_PIXELFORMAT_RGB888};
  if (p.texture == nullptr || p.width != w || p.height != h || p.format != format) {
    if (p.texture != nullptr) SDL_DestroyTexture(p.texture);
    p.texture = SDL_CreateTexture(p.renderer, format, SDL_TEXTUREACCESS_STREAMING, w, h);
    if (p.texture == nullptr) return false;
    p.width = w;
    p.height = h;
    p.format = format;
  }
  if (direct != 0) {
    SDL_UpdateTexture(p.texture, nullptr, image.bits, image.pitch);
  } else {
    p.staging.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = image.At(0, y);
      uint32_t* out = p.staging.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
      for (int x = 0; x < w; ++x) {
        uint32_t pixel = 0;
        std::memcpy(&pixel, row + x * image.format->bytes, static_cast<size_t>(image.format->bytes));
        out[x] = image.format->ToRgb(pixel, image.palette);
      }
    }
    SDL_UpdateTexture(p.texture, nullptr, p.staging.data(), w * 4);
  }
  SDL_RenderSetLogicalSize(p.renderer, w, h);
  SDL_SetRenderDrawColor(p.renderer, 0, 0, 0, 255);
  SDL_RenderClear(p.renderer);
  SDL_RenderCopy(p.renderer, p.texture, nullptr, nullptr);
  return true;
}

}  // namespace

void EnsurePresenterHooks() {
  if (g_hooks_installed.exchange(true)) return;
  platform::SetWindowEventsDrainedHook(&OnEventsDrained);
  platform::SetMainWindowClosingHook(&OnWindowClosing);
}

bool PresentWindowImage(bool force) {
  if (platform::IsHeadlessVideo() || platform::DisplayConnectionLost()) return false;
  SDL_Window* window = platform::GetSdlMainWindow();
  if (window == nullptr) return false;
  DisplayLock lock(DisplayMutex());
  const bool dirty = TakeWindowImageDirty();
  if (!dirty && !force) return false;
  if (!DrawWindowImage(window)) return false;
  SDL_RenderPresent(ThePresenter().renderer);
  return true;
}

bool ReadBackPresentedWindow(std::vector<uint32_t>* pixels, int32_t* width, int32_t* height) {
  if (pixels == nullptr || width == nullptr || height == nullptr) return false;
  if (platform::IsHeadlessVideo() || platform::DisplayConnectionLost()) return false;
  SDL_Window* window = platform::GetSdlMainWindow();
  if (window == nullptr) return false;
  DisplayLock lock(DisplayMutex());
  TakeWindowImageDirty();
  if (!DrawWindowImage(window)) return false;
  SDL_Renderer* renderer = ThePresenter().renderer;
  SDL_Rect viewport;
  float scale_x = 1.0f, scale_y = 1.0f;
  SDL_RenderGetViewport(renderer, &viewport);
  SDL_RenderGetScale(renderer, &scale_x, &scale_y);
  const int w = static_cast<int>(std::lround(viewport.w * scale_x));
  const int h = static_cast<int>(std::lround(viewport.h * scale_y));
  if (w <= 0 || h <= 0) return false;
  pixels->assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  const bool read =
      SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels->data(), w * 4) == 0;
  for (uint32_t& v : *pixels) v &= 0xFFFFFF;
  SDL_RenderPresent(renderer);
  *width = w;
  *height = h;
  return read;
}

uint32_t WindowImageCopy::RawPixel(int32_t x, int32_t y) const {
  uint32_t pixel = 0;
  const size_t offset = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) *
                        static_cast<size_t>(bytes_per_pixel);
  std::memcpy(&pixel, pixels.data() + offset, static_cast<size_t>(bytes_per_pixel));
  return pixel;
}

uint32_t WindowImageCopy::Rgb(int32_t x, int32_t y) const {
  FormatInfo info;
  if (!MakeFormatInfo(format, false, &info)) return 0;
  return info.ToRgb(RawPixel(x, y), palette);
}

bool CopyWindowImage(WindowImageCopy* out) {
  if (out == nullptr) return false;
  DisplayLock lock(DisplayMutex());
  const PixelPlane image = WindowImagePlane();
  if (!image.Valid()) return false;
  out->width = image.bounds.Width();
  out->height = image.bounds.Height();
  out->bytes_per_pixel = image.format->bytes;
  out->format = image.format->format;
  const size_t row = static_cast<size_t>(out->width) * static_cast<size_t>(out->bytes_per_pixel);
  out->pixels.resize(row * static_cast<size_t>(out->height));
  for (int32_t y = 0; y < out->height; ++y) {
    std::memcpy(out->pixels.data() + row * static_cast<size_t>(y), image.At(0, y), row);
  }
  std::memcpy(out->palette, image.palette, sizeof(out->palette));
  return true;
}

}  // namespace platform::display
