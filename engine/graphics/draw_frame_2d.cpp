#include "engine/graphics/draw_frame_2d.h"

#include <bit>
#include <cstring>

#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/image/convert_color_blt.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/mask_layer.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/vertex_batch.h"
#include "engine/softrender/blt_mem_img.h"

namespace pd = platform::display;

namespace {

Draw2DState g_frame{};

const ColorFormat* StandardFormat() {
  return GetColorFormat(GetScreenColorState().ScreenBits != 16 ? 1 : 0, 0, 0);
}

bool FormatNeedsConversion() {
  const int c = GetScreenColorState().ScreenFormatClass;
  return c == 1 || c == 3;
}

IntRect Moved(const IntRect& r, int dx, int dy) {
  return IntRect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

bool LockRect(pd::Surface* surface, const IntRect& r, uint32_t flags, pd::LockedRect* out) {
  const pd::Rect rect{r.left, r.top, r.right, r.bottom};
  return surface->Lock(&rect, pd::kLockWait | flags, out) == pd::Result::kOk;
}

// In-place conversion of a locked area between the screen's format and the
// standard one.
void ConvertInPlace(uint8_t* bits, int pitch, int width, int height, bool toStandard) {
  const ColorFormat* screen = &GetScreenColorState().ScreenColorFormat;
  const ColorFormat* standard = StandardFormat();
  const IntRect r{0, 0, width, height};
  ConvertColorBlt(bits, pitch, toStandard ? standard : screen, bits, pitch,
                  toStandard ? screen : standard, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0,
                  kDitherNone, 0, 0, 0);
}

// A memory-image view of width x height over pixels, addressed so that
// (left, top) lands on the locked pointer.
void MakeView(MEMIMG* view, uint8_t* locked, int pitch, int left, int top, int width, int height,
              uint32_t trans, int kind) {
  std::memset(view, 0, sizeof(*view));
  const int bytes = kind == kMemImgKind565 ? 2 : 4;
  // The view's first row may lie before the locked area; only the locked
  // part is ever addressed (pointer arithmetic kept in integers).
  const uintptr_t start = reinterpret_cast<uintptr_t>(locked) -
                          static_cast<uintptr_t>(static_cast<intptr_t>(left) * bytes) -
                          static_cast<uintptr_t>(static_cast<intptr_t>(top) * pitch);
  view->Pixels = reinterpret_cast<uint8_t*>(start);
  CreateMemImg(view, width, height, pitch, trans, kind, 0, 0, 0);
}

void UnlockAll() {
  if (g_frame.DestLocked && g_frame.DestSurface != nullptr) g_frame.DestSurface->Unlock();
  if (g_frame.SourceLocked && g_frame.SourceSurface != nullptr) g_frame.SourceSurface->Unlock();
  g_frame.DestLocked = 0;
  g_frame.SourceLocked = 0;
}

}  // namespace

const Draw2DState& GetDraw2DState() { return g_frame; }

int BeginDraw2D(const Surface2D* surface, int allowDirect, const IntRect* sourceRect,
                const IntRect& bounds, int transparent, uint32_t* colour1, uint32_t* colour2) {
  if (ScreensInMemory()) return 0;
  // Every 2D draw on a display surface comes through here: 3D drawing
  // waiting for the target lands first.
  EndScene3DBeforeSurfaceAccess();
  const DrawState& s = CurrentDrawState;
  const DrawTargetState& target = GetDrawTargetState();
  MainSurfaces& m = GetMainSurfaces();
  // No mask draw screen is ever made, so the target is always the target.
  pd::Surface* t = target.TargetSurface;
  SurfaceData* data = surface != nullptr ? GetSurfaceData(surface->SurfaceDataHandle) : nullptr;
  if (surface != nullptr && data == nullptr) return -1;
  const bool blended = (s.BlendMode != 0 && !(s.BlendMode == 1 && s.BlendValue == 255)) ||
                       (data != nullptr && data->AlphaChFlag == 1) || s.BlendGraph != -1;
  const bool tinted = (s.DrawBright & 0xFFFFFFu) != 0xFFFFFFu;
  const bool targetVideo = s.TargetInVideoMemory != 0;
  const IntRect source = sourceRect != nullptr ? *sourceRect : IntRect{};

  if (allowDirect == 1 && data != nullptr && !blended && !tinted && data->MemImgFlag == 0 &&
      t != nullptr && data->Surface != nullptr && data->SystemMemFlag == (targetVideo ? 0 : 1)) {
    g_frame.DirectBlt = 1;
    g_frame.SourceSurface = data->Surface.get();
    g_frame.SourceRect = Moved(source, surface->OffsetX, surface->OffsetY);
    g_frame.DestSurface = t;
    g_frame.DestRect = Moved(bounds, s.TargetSurfaceRect.left + target.TargetOffsetX,
                             s.TargetSurfaceRect.top + target.TargetOffsetY);
    return 0;
  }
  g_frame.DirectBlt = 0;
  g_frame.DestConvert = FormatNeedsConversion() ? 1 : 0;
  IntRect clipped = bounds;
  ClipRect(&clipped, &s.DrawArea);
  if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return -1;
  g_frame.ClippedRect = clipped;
  g_frame.DestLocked = 0;
  g_frame.SourceLocked = 0;
  g_frame.DestViaWork = 0;
  g_frame.SourceViaWork = 0;

  const int kind = GetScreenColorState().ScreenBits != 16 ? kMemImgKindXrgb32 : kMemImgKind565;
  if (target.TargetMemImg != nullptr && target.TargetMemImg->Pixels != nullptr) {
    g_frame.DestImage = target.TargetMemImg;
  } else {
    if (t == nullptr) return -1;
    // A converted screen is drawn on a converted copy whenever an image is
    // drawn, so image sources never reach it unconverted.
    g_frame.DestViaWork =
        ((targetVideo && blended) ||
         (g_frame.DestConvert && (blended || transparent == 0 || surface != nullptr)))
            ? 1
            : 0;
    const IntRect area = Moved(clipped, s.TargetSurfaceRect.left + target.TargetOffsetX,
                               s.TargetSurfaceRect.top + target.TargetOffsetY);
    g_frame.CopyBackSurface = t;
    g_frame.CopyBackRect = area;
    pd::LockedRect lock;
    if (g_frame.DestViaWork) {
      if (m.WorkSurface1 == nullptr ||
          BltSurfaceOrGdi(m.WorkSurface1.get(), t, 0, 0, area, -1) != 0) {
        return -1;
      }
      g_frame.DestSurface = m.WorkSurface1.get();
      g_frame.DestRect = IntRect{0, 0, area.right - area.left, area.bottom - area.top};
    } else {
      g_frame.DestSurface = t;
      g_frame.DestRect = area;
    }
    if (!LockRect(g_frame.DestSurface, g_frame.DestRect, 0, &lock)) return -1;
    g_frame.DestLocked = 1;
    if (g_frame.DestViaWork && g_frame.DestConvert) {
      ConvertInPlace(lock.bits, lock.pitch, g_frame.DestRect.right, g_frame.DestRect.bottom, true);
      const ColorFormat* screen = &GetScreenColorState().ScreenColorFormat;
      if (colour1 != nullptr) *colour1 = ConvertPixel(StandardFormat(), screen, *colour1);
      if (colour2 != nullptr) *colour2 = ConvertPixel(StandardFormat(), screen, *colour2);
    }
    MakeView(&g_frame.DestView, lock.bits, lock.pitch, clipped.left, clipped.top, s.TargetWidth,
             s.TargetHeight, 0, kind);
    g_frame.DestImage = &g_frame.DestView;
  }

  if (surface == nullptr) {
    g_frame.SourceImage = nullptr;
    return 0;
  }
  if (data->MemImgFlag == 1) {
    if (surface->OffsetX == 0 && surface->OffsetY == 0) {
      g_frame.SourceImage = &data->Image;
    } else {
      std::memset(&g_frame.SourceView, 0, sizeof(g_frame.SourceView));
      InitMemImgView(&g_frame.SourceView, &data->Image, surface->OffsetX, surface->OffsetY,
                     surface->Width, surface->Height);
      g_frame.SourceImage = &g_frame.SourceView;
    }
    return 0;
  }
  g_frame.SourceViaWork = (data->SystemMemFlag == 0 || g_frame.DestConvert) ? 1 : 0;
  const IntRect r = Moved(source, surface->OffsetX, surface->OffsetY);
  pd::LockedRect lock;
  if (g_frame.SourceViaWork) {
    if (m.WorkSurface2 == nullptr ||
        BltSurfaceOrGdi(m.WorkSurface2.get(), data->Surface.get(), 0, 0, r, -1) != 0) {
      UnlockAll();
      return -1;
    }
    g_frame.SourceSurface = m.WorkSurface2.get();
    g_frame.SourceRect = IntRect{0, 0, r.right - r.left, r.bottom - r.top};
  } else {
    g_frame.SourceSurface = data->Surface.get();
    g_frame.SourceRect = r;
  }
  if (!LockRect(g_frame.SourceSurface, g_frame.SourceRect, 0, &lock)) {
    UnlockAll();
    return -1;
  }
  g_frame.SourceLocked = 1;
  if (g_frame.SourceViaWork && g_frame.DestConvert) {
    ConvertInPlace(lock.bits, lock.pitch, g_frame.SourceRect.right, g_frame.SourceRect.bottom, true);
  }
  const uint32_t key = data->ColorKey;
  const uint32_t trans = PackColor(StandardFormat(), static_cast<int>((key >> 16) & 0xFF),
                                   static_cast<int>((key >> 8) & 0xFF), static_cast<int>(key & 0xFF), 255);
  MakeView(&g_frame.SourceView, lock.bits, lock.pitch, source.left, source.top, surface->Width,
           surface->Height, trans, kind);
  g_frame.SourceImage = &g_frame.SourceView;
  return 0;
}

int EndDraw2D() {
  if (ScreensInMemory()) return 0;
  if (g_frame.DestViaWork && g_frame.DestConvert && g_frame.DestLocked) {
    // The locked work area starts at the view's clipped corner.
    uint8_t* bits = g_frame.DestView.Pixels +
                    static_cast<ptrdiff_t>(g_frame.ClippedRect.top) * g_frame.DestView.Pitch +
                    static_cast<ptrdiff_t>(g_frame.ClippedRect.left) * g_frame.DestView.Format->PixelByte;
    ConvertInPlace(bits, g_frame.DestView.Pitch, g_frame.DestRect.right, g_frame.DestRect.bottom, false);
  }
  const bool viaWork = g_frame.DestViaWork != 0 && g_frame.DestLocked != 0;
  UnlockAll();
  if (viaWork) {
    BltSurfaceOrGdi(g_frame.CopyBackSurface, GetMainSurfaces().WorkSurface1.get(),
                    g_frame.CopyBackRect.left, g_frame.CopyBackRect.top,
                    IntRect{0, 0, g_frame.CopyBackRect.right - g_frame.CopyBackRect.left,
                            g_frame.CopyBackRect.bottom - g_frame.CopyBackRect.top},
                    -1);
  }
  g_frame.DestViaWork = 0;
  return 0;
}

const MEMIMG* GetBlendGraphMemImg() {
  const GraphRecord* blend = GetGraphRecord(CurrentDrawState.BlendGraph);
  if (blend == nullptr || blend->TextureFlag == 1) return nullptr;
  const Surface2D* piece = GetSurface2D(blend->Pieces[0]);
  if (piece == nullptr) return nullptr;
  const SurfaceData* data = GetSurfaceData(piece->SurfaceDataHandle);
  if (data == nullptr || data->MemImgFlag != 1 || data->Image.Pixels == nullptr) return nullptr;
  return &data->Image;
}

int DrawSurface2D(int x, int y, int handle, int transparent) {
  if (DirectDrawMissing()) return -1;
  const Surface2D* surface = GetSurface2D(handle);
  if (surface == nullptr) return -1;
  SurfaceData* data = GetSurfaceData(surface->SurfaceDataHandle);
  if (data == nullptr) return -1;
  const MEMIMG* blend = GetBlendGraphMemImg();
  if (ScreensInMemory()) {
    MEMIMG* dest = GetDrawTargetState().TargetMemImg;
    if (dest == nullptr || data->MemImgFlag != 1) return -1;
    if (surface->Width == data->Width && surface->Height == data->Height) {
      BltMemImg(dest, &data->Image, x, y, transparent, blend);
    } else {
      MEMIMG view;
      std::memset(&view, 0, sizeof(view));
      InitMemImgView(&view, &data->Image, surface->OffsetX, surface->OffsetY, surface->Width,
                     surface->Height);
      BltMemImg(dest, &view, x, y, transparent, blend);
    }
    return 0;
  }
  IntRect bounds{x, y, x + surface->Width, y + surface->Height};
  ClipRect(&bounds, &CurrentDrawState.DrawArea);
  if (bounds.left >= bounds.right || bounds.top >= bounds.bottom) return 0;
  const IntRect source = Moved(bounds, -x, -y);
  if (BeginDraw2D(surface, 1, &source, bounds, transparent, nullptr, nullptr) != 0) return -1;
  if (g_frame.DirectBlt) {
    const IntRect& r = g_frame.SourceRect;
    const pd::Rect src{r.left, r.top, r.right, r.bottom};
    g_frame.DestSurface->BltFast(g_frame.DestRect.left, g_frame.DestRect.top, g_frame.SourceSurface,
                                 &src, transparent != 0 ? pd::kBltFastSourceColorKey
                                                        : pd::kBltFastNoColorKey);
    return 0;
  }
  BltMemImg(g_frame.DestImage, g_frame.SourceImage, x, y, transparent, blend);
  EndDraw2D();
  return 0;
}

int DrawGraph2D(int x, int y, const GraphRecord& graph, int transparent, int intFlag) {
  if (intFlag != 1) {
    // The coordinates carry float bits: truncated toward zero, and values
    // outside int32 (or not numbers) become 0x80000000.
    auto to_int = [](int bits) {
      const float f = std::bit_cast<float>(bits);
      if (!(f > -2147483904.0f && f < 2147483648.0f)) return static_cast<int>(0x80000000u);
      return static_cast<int>(f);
    };
    x = to_int(x);
    y = to_int(y);
  }
  return DrawSurface2D(x, y, graph.Pieces[0], transparent);
}
