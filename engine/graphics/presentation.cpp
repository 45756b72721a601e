#include "engine/graphics/presentation.h"

#include <cstring>

#include "engine/core/base/fatal_error.h"
#include "engine/core/base/library_state.h"
#include "engine/core/base/log.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/display_timing.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/memimg_transfer.h"
#include "engine/graphics/requested_frame_save.h"
#include "engine/graphics/back_end_calls.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/software_front.h"
#include "platform/clock.h"
#include "platform/display/device_context.h"

namespace pd = platform::display;

namespace {

// The screen and the window rectangles of a present.
struct PresentRects {
  int width = 640, height = 480;
  pd::Rect screen;
  pd::Rect window;
};

PresentRects WorkOutRects() {
  PresentRects r;
  GetScreenSize(&r.width, &r.height);
  r.screen = pd::Rect{0, 0, r.width, r.height};
  if (IsWindowedMode() != 0) {
    WindowRectangle client;
    GetWindowClientRect(&client);
    const double scale = GetWindowScale();
    // Truncated toward zero, as the window's own size is.
    const auto w = static_cast<int32_t>(r.width * scale);
    const auto h = static_cast<int32_t>(r.height * scale);
    r.window = pd::Rect{client.left, client.top, client.left + w, client.top + h};
  } else {
    r.window = r.screen;
  }
  return r;
}

// Draws the on-screen log over the whole screen with plain drawing, keeping
// the caller's clip area, blend state and tint.
void DrawScreenLogStep() {
  if (IsScreenLogEnabled() != 1) return;
  const DrawState& s = CurrentDrawState;
  const IntRect area = s.DrawArea;
  const int mode = s.BlendMode, value = s.BlendValue;
  const int r = static_cast<int>(DrawBrightRed(s)), g = static_cast<int>(DrawBrightGreen(s)),
            b = static_cast<int>(DrawBrightBlue(s));
  int width = 640, height = 480;
  GetScreenSize(&width, &height);
  SetClipArea(0, 0, width, height);
  SetBlendState(0, 0);
  SetColorScale(255, 255, 255);
  DrawScreenLog();
  SetClipArea(area.left, area.top, area.right, area.bottom);
  SetBlendState(mode, value);
  SetColorScale(r, g, b);
}

void CountPresent() { SetPresentCount(GetPresentCount() + 1); }

bool MenuOrGdiVisible() {
  return GetDisplayState().GdiVisibleRequest == 1 || GetUseMenuFlag() != 0;
}

void HardwarePresent(const PresentRects& r) {
  DisplayState& d = GetDisplayState();
  MainSurfaces& m = GetMainSurfaces();
  FlushCurrentVertexBatch();
  EndCurrentScene3D();
  pd::Surface* primary = m.PrimarySurface.get();
  pd::Surface* back = m.BackSurface.get();
  if (primary == nullptr || back == nullptr) return;
  if (IsWindowedMode() != 0) {
    if (d.VSyncFlag == 1) WaitFlipInterval();
    primary->Blt(&r.window, back, &r.screen, pd::kBltWait, nullptr);
  } else if (GetOsVersionCode() == kOsWindowsVista) {
    primary->Flip(pd::kFlipWait | (d.VSyncFlag == 0 ? pd::kFlipNoVSync : 0u));
    // The back buffer receives what is shown now, so that it still holds the
    // presented frame.
    if (MenuOrGdiVisible()) {
      back->Blt(nullptr, primary, nullptr, pd::kBltWait, nullptr);
      if (d.DirectDrawObject != nullptr) d.DirectDrawObject->FlipToGdiSurface();
    } else {
      back->BltFast(0, 0, primary, &r.screen, pd::kBltFastWait);
    }
  } else {
    if (d.VSyncFlag == 1) WaitFlipInterval();
    if (MenuOrGdiVisible()) {
      primary->Blt(nullptr, back, nullptr, pd::kBltWait, nullptr);
    } else {
      primary->BltFast(0, 0, back, &r.screen, pd::kBltFastWait);
    }
  }
}

// The back image as a top-down DIB whose rows are the image's rows.
pd::DibDescription BackImageDib(const MEMIMG& image) {
  pd::DibDescription desc;
  const int bytes = image.Format->PixelByte;
  desc.width = image.Pitch / bytes;
  desc.height = -image.Height;
  desc.bit_count = static_cast<uint16_t>(image.Format->BitDepth);
  desc.compression = pd::DibCompression::kBitfields;
  desc.red_mask = image.Format->RedMask;
  desc.green_mask = image.Format->GreenMask;
  desc.blue_mask = image.Format->BlueMask;
  return desc;
}

void LockBackSurfaceOrExit(pd::Surface* back, pd::LockedRect* lock) {
  if (back->Lock(nullptr, pd::kLockWait, lock) != pd::Result::kOk) {
    FatalErrorExit("バックサーフェスのロックに失敗しました");
  }
}

void SoftwarePresent(const PresentRects& r) {
  DisplayState& d = GetDisplayState();
  MainSurfaces& m = GetMainSurfaces();
  MEMIMG& image = m.BackMemImg;
  if (image.Pixels == nullptr || image.Format == nullptr) return;
  if (IsHardwareBanned() == 1) {
    if (d.VSyncFlag == 1) WaitFlipInterval();
    const pd::DibDescription desc = BackImageDib(image);
    pd::DeviceContextPtr dc = pd::GetWindowDC();
    if (dc != nullptr) {
      const int32_t ww = r.window.right - r.window.left, wh = r.window.bottom - r.window.top;
      if (ww == r.width && wh == r.height) {
        pd::SetDIBitsToDevice(dc.get(), 0, 0, r.width, r.height, 0, 0, 0, r.height, image.Pixels,
                              desc);
      } else {
        pd::StretchDIBits(dc.get(), 0, 0, ww, wh, 0, 0, r.width, r.height, image.Pixels, desc);
      }
    }
  } else {
    pd::Surface* primary = m.PrimarySurface.get();
    pd::Surface* back = m.BackSurface.get();
    if (primary == nullptr || back == nullptr) return;
    pd::LockedRect lock;
    if (m.BackSurfaceLockedForImage) {
      // The back image lives in the locked back surface: unlock, show, and
      // lock again (the pointer may move).
      back->Unlock();
      if (d.VSyncFlag == 1) WaitFlipInterval();
      primary->Blt(&r.window, back, &r.screen, pd::kBltWait, nullptr);
      LockBackSurfaceOrExit(back, &lock);
      const int kind = GetScreenColorState().ScreenBits != 16 ? 1 : 0;
      std::memset(&image, 0, sizeof image);
      image.Pixels = static_cast<uint8_t*>(lock.bits);
      CreateMemImg(&image, r.width, r.height, lock.pitch, 0, kind, 0, 0, 0);
    } else {
      LockBackSurfaceOrExit(back, &lock);
      GraphImage dest{};
      dest.Format = GetScreenColorState().ScreenColorFormat;
      dest.Width = r.width;
      dest.Height = r.height;
      dest.Pitch = lock.pitch;
      dest.Pixels = static_cast<uint8_t*>(lock.bits);
      CopyMemImgToGraphImage(&dest, &image, 0, 0, r.width, r.height, 0, 0, 0, 0);
      back->Unlock();
      if (d.VSyncFlag == 1) WaitFlipInterval();
      primary->Blt(&r.window, back, &r.screen, pd::kBltWait, nullptr);
    }
  }
  SetReadBackPending(1);
}

}  // namespace

int PresentScreen() {
  if (DirectDrawMissing()) return -1;
  DrawScreenLogStep();
  SaveFrameIfRequested();
  if (CurrentDrawState.DrawTarget == -4) {
    CountPresent();
    return WaitVSync(1);
  }
  const PresentRects r = WorkOutRects();
  if (ScreensInMemory()) {
    SoftwarePresent(r);
  } else {
    HardwarePresent(r);
  }
  CountPresent();
  return 0;
}

int FlipBackScreen() {
  if (DirectDrawMissing()) return -1;
  WaitWhileInactive();
  DisplayState& d = GetDisplayState();
  if (IsSoftwareRendering() != 0 || d.GdiVisibleRequest != 0 || IsHardwareBanned() == 1 ||
      IsWindowedMode() != 0 || GetUseMenuFlag() != 0) {
    return PresentScreen();
  }
  DrawScreenLogStep();
  SaveFrameIfRequested();
  if (CurrentDrawState.DrawTarget == -4 && d.VSyncFlag == 1) {
    CountPresent();
    return WaitVSync(1);
  }
  FlushCurrentVertexBatch();
  EndCurrentScene3D();
  pd::Surface* primary = GetMainSurfaces().PrimarySurface.get();
  if (primary != nullptr) primary->Flip(pd::kFlipWait | (d.VSyncFlag == 0 ? pd::kFlipNoVSync : 0u));
  if (d.VSyncFlag == 1) platform::GetClock().Sleep(1);
  CountPresent();
  return 0;
}
