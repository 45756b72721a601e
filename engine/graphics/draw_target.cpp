#include "engine/graphics/draw_target.h"
#include "engine/graphics/target_transforms.h"

#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "engine/core/window/window_timers.h"
#include "engine/graphics/d3d_targets.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/convert_color_blt.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/mask_layer.h"
#include "engine/graphics/screen_readback_3d.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/software_front.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/vertex_batch.h"

namespace pd = platform::display;

namespace {

DrawTargetState g_target{};

constexpr uint32_t kTempPrimaryIntervalMs = 17;

bool InVideoMemory(pd::Surface* surface) {
  uint32_t caps = 0;
  return surface != nullptr && surface->GetCaps(&caps) == pd::Result::kOk &&
         (caps & pd::kCapsVideoMemory) != 0;
}

// In a window, while the GDI-visible request is set, or with the library's
// menu, the primary surface carries the clipper only while it is not the
// target.
bool ClipperRuleApplies() {
  return IsWindowedMode() != 0 || GetDisplayState().GdiVisibleRequest != 0 || GetUseMenuFlag() != 0;
}

void SetPrimaryClipper(bool on) {
  MainSurfaces& m = GetMainSurfaces();
  if (m.PrimarySurface == nullptr) return;
  m.PrimarySurface->SetClipper(on ? GetDisplayState().Clipper : nullptr);
}

uint32_t BackgroundIn(const ColorFormat* format) {
  const uint32_t c = ScreenBackgroundColor();
  return PackColor(format, static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                   static_cast<int>(c & 0xFF), 255);
}

void ColorFill(pd::Surface& surface, const pd::Rect* rect, uint32_t color, bool wait) {
  pd::BltFx fx;
  fx.fill_color = color;
  surface.Blt(rect, nullptr, nullptr, pd::kBltColorFill | (wait ? pd::kBltWait : 0u), &fx);
}

}  // namespace

DrawTargetState& GetDrawTargetState() { return g_target; }

void ResetDrawTargetState() { g_target = DrawTargetState{}; }

int CopyPrimaryToTempPrimary() {
  MainSurfaces& m = GetMainSurfaces();
  if (m.PrimarySurface == nullptr || m.TempPrimarySurface == nullptr) return 0;
  int width = 0, height = 0;
  GetScreenSize(&width, &height);
  WindowRectangle client;
  GetWindowClientRect(&client);
  const pd::Rect source{client.left, client.top, client.left + width, client.top + height};
  const pd::Rect dest{0, 0, width, height};
  m.TempPrimarySurface->Blt(&dest, m.PrimarySurface.get(), &source, pd::kBltWait, nullptr);
  return 0;
}

int ShowTempPrimary() {
  MainSurfaces& m = GetMainSurfaces();
  if (m.PrimarySurface == nullptr || m.TempPrimarySurface == nullptr) return 0;
  int width = 0, height = 0;
  GetScreenSize(&width, &height);
  WindowRectangle client;
  GetWindowClientRect(&client);
  const pd::Rect dest{client.left, client.top, client.left + width, client.top + height};
  const pd::Rect source{0, 0, width, height};
  m.PrimarySurface->Blt(&dest, m.TempPrimarySurface.get(), &source, pd::kBltWait, nullptr);
  return 0;
}

void TempPrimaryTimerProc(uint32_t id) {
  KillWindowTimer(id);
  if (GetMainSurfaces().PrimarySurface == nullptr) return;
  ShowTempPrimary();
  SetWindowTimer(kTempPrimaryTimerId, kTempPrimaryIntervalMs, &TempPrimaryTimerProc);
}

int SelectDrawTarget(int target, int previous) {
  MainSurfaces& m = GetMainSurfaces();
  DisplayState& d = GetDisplayState();
  const bool allowed = IsHardwareBanned() == 0;
  g_target.TargetMemImg = nullptr;
  if (previous == -4 && d.TempPrimaryMode != 0) {
    KillWindowTimer(kTempPrimaryTimerId);
    ShowTempPrimary();
  }
  if (target == -4) {
    g_target.TargetSurface = GetFrontSurface();
    g_target.TargetMemImg = m.ScreensAreMemImgs != 0 ? &m.FrontMemImg : nullptr;
    g_target.TargetZMemImg = nullptr;
    g_target.TargetOffsetX = g_target.TargetOffsetY = 0;
    if (allowed) {
      if (ClipperRuleApplies()) SetPrimaryClipper(false);
      if (d.TempPrimaryMode != 0) {
        SetPrimaryClipper(true);
        CopyPrimaryToTempPrimary();
        SetWindowTimer(kTempPrimaryTimerId, kTempPrimaryIntervalMs, &TempPrimaryTimerProc);
      }
    }
  } else if (target == -2) {
    g_target.TargetSurface = m.BackSurface.get();
    g_target.TargetMemImg = m.ScreensAreMemImgs != 0 ? &m.BackMemImg : nullptr;
    g_target.TargetZMemImg = m.ScreensAreMemImgs != 0 ? &m.ZBufferMemImg : nullptr;
    g_target.TargetOffsetX = g_target.TargetOffsetY = 0;
    if (allowed && ClipperRuleApplies()) SetPrimaryClipper(true);
  } else {
    const GraphRecord* graph = GetGraphRecord(target);
    if (graph == nullptr) return -1;
    if (graph->TextureFlag == 1) {
      // The 2D paths reach a texture graphic through its first piece's
      // texture, at the piece's place in it.
      const Surface3D* piece = GetSurface3DData(graph->Pieces[0]);
      if (piece == nullptr) return -1;
      SurfaceData* data = GetSurfaceData(piece->SurfaceData);
      if (data == nullptr || data->Surface == nullptr) return -1;
      g_target.TargetSurface = data->Surface.get();
      g_target.TargetOffsetX = piece->TexX;
      g_target.TargetOffsetY = piece->TexY;
      // No depth image belongs to a texture: the previous target's must not
      // stay behind.
      g_target.TargetZMemImg = nullptr;
      NullGraphicsOperation();
      if (allowed && ClipperRuleApplies()) SetPrimaryClipper(true);
      CurrentDrawState.TargetInVideoMemory = InVideoMemory(g_target.TargetSurface) ? 1 : 0;
      return 0;
    }
    const Surface2D* piece = GetSurface2D(graph->Pieces[0]);
    if (piece == nullptr) return -1;
    SurfaceData* data = GetSurfaceData(piece->SurfaceDataHandle);
    if (data == nullptr) return -1;
    if (data->MemImgFlag == 1) {
      g_target.TargetSurface = nullptr;
      g_target.TargetMemImg = &data->Image;
      g_target.TargetOffsetX = g_target.TargetOffsetY = 0;
    } else {
      g_target.TargetSurface = data->Surface.get();
      g_target.TargetOffsetX = piece->OffsetX;
      g_target.TargetOffsetY = piece->OffsetY;
    }
    g_target.TargetZMemImg = data->DepthImage.Pixels != nullptr ? &data->DepthImage : nullptr;
    if (allowed && ClipperRuleApplies()) SetPrimaryClipper(true);
  }
  CurrentDrawState.TargetInVideoMemory = InVideoMemory(g_target.TargetSurface) ? 1 : 0;
  return 0;
}

int SetDrawTarget(int target) {
  if (IsGraphManagerInitialized() == 0) return -1;
  if (ReadActiveFlag() == 0) WaitWhileInactive();
  DrawState& s = CurrentDrawState;
  const int request = s.MaskRequested;
  EnableMaskedDrawing(0);
  // Values 0-32,767 are taken as raw slot numbers, which no handle is: an
  // empty slot is refused here, anything else by the selection below.
  if (target >= 0 && target <= 32767 && IsGraphSlotInUse(target) == 0) return -1;
  const int previous = s.DrawTarget;
  int previousWidth = 0, previousHeight = 0;
  GetGraphDimensions(previous, &previousWidth, &previousHeight);
  s.DrawTarget = target;
  IntRect surfaceRect{};
  if (target == -4 && IsWindowedMode() != 0 && GetDisplayState().TempPrimaryMode == 0 &&
      !ScreensInMemory()) {
    WindowRectangle client;
    GetWindowClientRect(&client);
    surfaceRect = IntRect{client.left, client.top, client.right, client.bottom};
  }
  s.TargetSurfaceRect = surfaceRect;
  // Both back ends take the target; it fails only when every back end that
  // runs refuses it.
  const bool selected3D = IsDirect3DUsable() != 0 && SetDrawTarget3D(target) == 0;
  const bool selected2D = SelectDrawTarget(target, previous) == 0;
  if (!selected2D && !selected3D) {
    if (previous != target) SetDrawTarget(previous);
    CurrentDrawState.MaskRequested = 0;
    return -1;
  }
  int width = 0, height = 0;
  GetGraphDimensions(target, &width, &height);
  s.TargetWidth = width;
  s.TargetHeight = height;
  if (width == previousWidth && height == previousHeight) {
    const IntRect area = s.DrawArea;
    SetClipArea(area.left, area.top, area.right, area.bottom);
  } else {
    SetClipArea(0, 0, width, height);
  }
  SetTargetTransforms(width, height);
  EnableMaskedDrawing(request);
  return 0;
}

int ClearDrawTarget() {
  if (DirectDrawMissing()) return -1;
  EndScene3DBeforeSurfaceAccess();
  MainSurfaces& m = GetMainSurfaces();
  const int target = CurrentDrawState.DrawTarget;
  if (ScreensInMemory()) {
    if (g_target.TargetMemImg != nullptr) {
      FillMemImg(g_target.TargetMemImg, nullptr, BackgroundIn(g_target.TargetMemImg->Format));
    }
    if (g_target.TargetZMemImg != nullptr) FillMemImg(g_target.TargetZMemImg, nullptr, 0xFFFF);
    return 0;
  }
  const uint32_t c = ScreenBackgroundColor();
  const uint32_t color = PackScreenColor(static_cast<int>((c >> 16) & 0xFF),
                                         static_cast<int>((c >> 8) & 0xFF), static_cast<int>(c & 0xFF));
  int width = 0, height = 0;
  GetScreenSize(&width, &height);
  if (target == -4 || target == -2) {
    pd::Rect area{0, 0, width, height};
    if (target == -4 && IsWindowedMode() != 0) {
      IntRect present;
      GetPresentRect(&present);
      area = pd::Rect{present.left, present.top, present.left + width, present.top + height};
    }
    if (g_target.TargetSurface != nullptr) ColorFill(*g_target.TargetSurface, &area, color, false);
    if (m.ZBufferSurface != nullptr) {
      pd::BltFx fx;
      fx.fill_depth = 0xFFFF;
      const pd::Rect all{0, 0, width, height};
      m.ZBufferSurface->Blt(&all, nullptr, nullptr, pd::kBltDepthFill | pd::kBltWait, &fx);
    }
    return 0;
  }
  const GraphRecord* graph = GetGraphRecord(target);
  if (graph == nullptr) return -1;
  if (graph->TextureFlag == 1) return 0;
  const Surface2D* piece = GetSurface2D(graph->Pieces[0]);
  if (piece == nullptr) return -1;
  SurfaceData* data = GetSurfaceData(piece->SurfaceDataHandle);
  if (data == nullptr) return -1;
  const IntRect whole{0, 0, data->Width, data->Height};
  if (data->MemImgFlag == 1) {
    if (data->DepthImage.Pixels != nullptr) FillMemImg(&data->DepthImage, nullptr, 0xFFFF);
    FillMemImg(&data->Image, &whole, BackgroundIn(data->Image.Format));
  } else if (data->Surface != nullptr) {
    const pd::Rect area{0, 0, data->Width, data->Height};
    ColorFill(*data->Surface, &area, color, true);
  }
  return 0;
}

int EraseDrawTarget() {
  WaitWhileInactive();
  if (IsDirect3DUsable() != 0) ClearDrawTarget3D();
  ClearDrawTarget();
  if (IsSoftwareRendering() != 0 && GetScreenColorState().ScreenBits != 8 &&
      CurrentDrawState.DrawTarget == -4) {
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    ShowSoftwareFrontRect(IntRect{0, 0, width, height});
  }
  return 0;
}

int ReadBackTargetToGraph2D(int x1, int y1, int x2, int y2, int graph) {
  if (DirectDrawMissing()) return -1;
  EndScene3DBeforeSurfaceAccess();
  const DrawState& s = CurrentDrawState;
  const GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr) return -1;
  const int width = x2 - x1, height = y2 - y1;
  if (width <= 0 || height <= 0 || width != record->Width || height != record->Height || x1 < 0 ||
      y1 < 0 || x2 > s.TargetWidth || y2 > s.TargetHeight) {
    return -1;
  }
  const Surface2D* piece = GetSurface2D(record->Pieces[0]);
  if (piece == nullptr) return -1;
  SurfaceData* data = GetSurfaceData(piece->SurfaceDataHandle);
  if (data == nullptr) return -1;
  IntRect r{x1, y1, x2, y2};
  const ColorFormat* screenFormat = &GetScreenColorState().ScreenColorFormat;
  // The piece's own rectangle of a shared store.
  const int dx = piece->OffsetX, dy = piece->OffsetY;

  if (ScreensInMemory()) {
    if (s.DrawTarget == -4) ReadBackSoftwareFront();
    if (g_target.TargetMemImg == nullptr || data->MemImgFlag != 1) return -1;
    CopyMemImg(&data->Image, g_target.TargetMemImg, &r, dx, dy);
    return 0;
  }
  pd::Surface* source = g_target.TargetSurface;
  IntRect onSurface = r;
  if (s.DrawTarget == -4) {
    IntRect present;
    GetPresentRect(&present);
    onSurface = IntRect{r.left + present.left, r.top + present.top, r.right + present.left,
                        r.bottom + present.top};
  } else if (source != nullptr) {
    onSurface = IntRect{r.left + g_target.TargetOffsetX, r.top + g_target.TargetOffsetY,
                        r.right + g_target.TargetOffsetX, r.bottom + g_target.TargetOffsetY};
  }
  const IntRect destArea{dx, dy, dx + width, dy + height};
  if (source != nullptr && data->MemImgFlag == 0) {
    const pd::Rect dst{dx, dy, dx + width, dy + height};
    const pd::Rect src{onSurface.left, onSurface.top, onSurface.right, onSurface.bottom};
    // A target of another pixel layout (a texture with alpha) cannot be
    // copied: the graphic would keep its old pixels under a success.
    if (data->Surface->Blt(&dst, source, &src, pd::kBltWait, nullptr) != pd::Result::kOk) return -1;
    if (screenFormat->SpareMask != 0) {
      pd::LockedRect lock;
      if (data->Surface->Lock(nullptr, pd::kLockWait | pd::kLockWriteOnly, &lock) != pd::Result::kOk) {
        return -1;
      }
      FillSpareBits(destArea, lock.bits, lock.pitch, screenFormat, 255);
      data->Surface->Unlock();
    }
    return 0;
  }
  if (source == nullptr && data->MemImgFlag == 1) {
    if (g_target.TargetMemImg == nullptr || g_target.TargetMemImg->Pixels == nullptr) return -1;
    CopyMemImg(&data->Image, g_target.TargetMemImg, &r, dx, dy);
    return 0;
  }
  if (source == nullptr) {
    if (g_target.TargetMemImg == nullptr) return -1;
    pd::LockedRect lock;
    if (data->Surface->Lock(nullptr, pd::kLockWait, &lock) != pd::Result::kOk) return -1;
    ConvertColorBlt(lock.bits, lock.pitch, screenFormat, g_target.TargetMemImg->Pixels,
                    g_target.TargetMemImg->Pitch, g_target.TargetMemImg->Format, nullptr, 0, nullptr,
                    dx, dy, &r, 0, 0, 0, kDitherNone, 0, 0, 0);
    FillSpareBits(destArea, lock.bits, lock.pitch, screenFormat, 255);
    data->Surface->Unlock();
    return 0;
  }
  MainSurfaces& m = GetMainSurfaces();
  if (m.WorkSurface1 == nullptr) return -1;
  if (BltSurfaceOrGdi(m.WorkSurface1.get(), source, 0, 0, onSurface, -1) != 0) return -1;
  const pd::Rect workArea{0, 0, width, height};
  pd::LockedRect lock;
  if (m.WorkSurface1->Lock(&workArea, pd::kLockWait | pd::kLockReadOnly, &lock) != pd::Result::kOk) {
    return -1;
  }
  const IntRect all{0, 0, width, height};
  ConvertColorBlt(data->Image.Pixels, data->Image.Pitch, data->Image.Format, lock.bits, lock.pitch,
                  screenFormat, nullptr, 0, nullptr, dx, dy, &all, 0, 0, 0, kDitherNone, 0, 0, 0);
  FillSpareBits(destArea, data->Image.Pixels, data->Image.Pitch, data->Image.Format, 255);
  m.WorkSurface1->Unlock();
  return 0;
}

int ReadBackTargetToGraph(int x1, int y1, int x2, int y2, int graph, int /*ignored*/) {
  const GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr) return -1;
  WaitWhileInactive();
  EndCurrentScene3D();
  // Texture graphics read the target itself (desktop flag 1), never the
  // desktop around a window.
  if (record->TextureFlag == 1) return ReadBackTargetToGraph3D(x1, y1, x2, y2, *record, 1);
  return ReadBackTargetToGraph2D(x1, y1, x2, y2, graph);
}
