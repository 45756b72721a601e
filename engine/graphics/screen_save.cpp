#include "engine/graphics/screen_save.h"

#include "engine/core/base/log.h"
#include "engine/core/base/rect_helpers.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/image_area.h"
#include "engine/graphics/image/image_area_save.h"
#include "engine/graphics/back_end_calls.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/software_front.h"

namespace pd = platform::display;

namespace {

// The display palette as 256 entries of blue, green, red, 0 (black without
// a palette).
void ReadDisplayPalette(uint8_t* out) {
  pd::PaletteEntry entries[256] = {};
  if (GetDisplayState().Palette != nullptr) GetDisplayState().Palette->GetEntries(0, 256, entries);
  for (int i = 0; i < 256; ++i) {
    out[i * 4] = entries[i].blue;
    out[i * 4 + 1] = entries[i].green;
    out[i * 4 + 2] = entries[i].red;
    out[i * 4 + 3] = 0;
  }
}

// A locked surface, unlocked when the save ends.
class SurfaceLock {
 public:
  ~SurfaceLock() {
    if (surface_ != nullptr) surface_->Unlock();
  }
  bool Lock(pd::Surface* surface, pd::LockedRect* out) {
    if (surface->Lock(nullptr, pd::kLockWait | pd::kLockReadOnly, out) != pd::Result::kOk) {
      return false;
    }
    surface_ = surface;
    return true;
  }

 private:
  pd::Surface* surface_ = nullptr;
};

bool SurfaceSize(pd::Surface* surface, int* width, int* height) {
  pd::SurfaceDesc desc;
  if (surface == nullptr || surface->GetSurfaceDesc(&desc) != pd::Result::kOk) return false;
  *width = desc.width;
  *height = desc.height;
  return true;
}

}  // namespace

int SaveScreenArea(int x1, int y1, int x2, int y2, const char* name, int type, int quality,
                   int second, int level) {
  if (DirectDrawMissing()) return -1;
  WaitWhileInactive();
  if (GetDisplayState().DirectDrawStarted != 0) EndCurrentScene3D();
  FlushCurrentVertexBatch();

  IntRect r{x1, y1, x2, y2};
  NormalizeRect(&r);
  const IntRect area = CurrentDrawState.DrawArea;
  ClipRect(&r, &area);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return -1;
  if (type < 0 || type > 2) return 0;
  if (name == nullptr) return -1;

  DrawTargetState& target = GetDrawTargetState();
  ImageArea image{};
  image.Width = w;
  image.Height = h;
  uint8_t palette[1024];
  SurfaceLock lock;
  ColorFormat surfaceFormat{};
  if (!ScreensInMemory() && target.TargetSurface != nullptr) {
    const DrawState& s = CurrentDrawState;
    IntRect moved{r.left + s.TargetSurfaceRect.left + target.TargetOffsetX,
                  r.top + s.TargetSurfaceRect.top + target.TargetOffsetY, 0, 0};
    if (s.MaskedDrawing == 1 && target.TargetSurface == GetMainSurfaces().PrimarySurface.get()) {
      WindowRectangle client;
      GetWindowClientRect(&client);
      moved.left += client.left;
      moved.top += client.top;
    }
    moved.right = moved.left + w;
    moved.bottom = moved.top + h;
    pd::Surface* read = target.TargetSurface;
    int readX = moved.left, readY = moved.top;
    pd::Surface* work = GetMainSurfaces().WorkSurface1.get();
    int workW = 0, workH = 0;
    // A video-memory target is copied into the work surface first; an area
    // larger than the work surface is read where it lies.
    if (s.TargetInVideoMemory == 1 && SurfaceSize(work, &workW, &workH) && w <= workW &&
        h <= workH) {
      BltSurfaceOrGdi(work, target.TargetSurface, 0, 0, moved, -1);
      read = work;
      readX = readY = 0;
    }
    int readW = 0, readH = 0;
    if (!SurfaceSize(read, &readW, &readH) || readX < 0 || readY < 0 || readX + w > readW ||
        readY + h > readH) {
      return -1;
    }
    pd::LockedRect locked;
    if (!lock.Lock(read, &locked)) {
      WriteLog("作業用サーフェスのロックに失敗しました\n");
      return -1;
    }
    surfaceFormat = GetScreenColorState().ScreenColorFormat;
    image.Format = &surfaceFormat;
    image.Pitch = locked.pitch;
    image.Pixels = static_cast<const uint8_t*>(locked.bits) +
                   static_cast<int64_t>(readY) * locked.pitch +
                   static_cast<int64_t>(readX) * surfaceFormat.PixelByte;
  } else {
    if (ScreensInMemory() && CurrentDrawState.DrawTarget == -4) ReadBackSoftwareFront();
    const MEMIMG* source = target.TargetMemImg;
    if (source == nullptr || source->Pixels == nullptr || source->Format == nullptr) return -1;
    // The draw area lies inside the target; the image must hold it.
    if (r.right > source->Width || r.bottom > source->Height) return -1;
    image.Format = source->Format;
    image.Pitch = source->Pitch;
    image.Pixels = source->Pixels + static_cast<int64_t>(r.top) * source->Pitch +
                   static_cast<int64_t>(r.left) * source->Format->PixelByte;
  }
  if (image.Format->BitDepth == 8) {
    ReadDisplayPalette(palette);
    image.Palette = palette;
  }
  return SaveImageArea(&image, name, type, quality, second, level);
}
