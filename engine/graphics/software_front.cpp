#include "engine/graphics/software_front.h"

#include "engine/core/window/main_window.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/image/convert_color_blt.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/screens.h"
#include "platform/display/device_context.h"

namespace pd = platform::display;

namespace {

int g_read_back_pending = 0;
int g_present_count = 0;

// The front image as a top-down DIB whose rows are the image's rows.
pd::DibDescription FrontImageDib(const MEMIMG& image) {
  pd::DibDescription desc;
  const int bytes = image.Format->PixelByte;
  desc.width = image.Pitch / bytes;
  desc.height = -image.Height;
  desc.bit_count = static_cast<uint16_t>(bytes * 8);
  if (bytes == 2) {
    desc.compression = pd::DibCompression::kBitfields;
    desc.red_mask = image.Format->RedMask;
    desc.green_mask = image.Format->GreenMask;
    desc.blue_mask = image.Format->BlueMask;
  }
  return desc;
}

// The primary surface's rectangle of screen rectangle r.
pd::Rect OnPrimary(const IntRect& r) {
  pd::Rect out{r.left, r.top, r.right, r.bottom};
  if (IsWindowedMode() != 0) {
    WindowRectangle client;
    GetWindowClientRect(&client);
    out.left += client.left;
    out.right += client.left;
    out.top += client.top;
    out.bottom += client.top;
  }
  return out;
}

}  // namespace

int ShowSoftwareFrontRect(const IntRect& rect) {
  MEMIMG& front = GetMainSurfaces().FrontMemImg;
  int width = 0, height = 0;
  GetScreenSize(&width, &height);
  IntRect r = rect;
  const IntRect screen{0, 0, width, height};
  ClipRect(&r, &screen);
  if (r.left >= r.right || r.top >= r.bottom) return 0;
  if (front.Pixels == nullptr || front.Format == nullptr) return 0;
  if (IsHardwareBanned() != 0) {
    pd::DeviceContextPtr dc = pd::GetWindowDC();
    if (dc == nullptr) return 0;
    const pd::DibDescription desc = FrontImageDib(front);
    pd::StretchDIBits(dc.get(), r.left, r.top, r.right - r.left, r.bottom - r.top, r.left,
                      front.Height - r.bottom, r.right - r.left, r.bottom - r.top, front.Pixels,
                      desc);
    return 0;
  }
  pd::Surface* primary = GetMainSurfaces().PrimarySurface.get();
  if (primary == nullptr) return -1;
  const pd::Rect target = OnPrimary(r);
  pd::LockedRect lock;
  if (primary->Lock(&target, pd::kLockWait | pd::kLockWriteOnly, &lock) != pd::Result::kOk) return -1;
  ConvertColorBlt(lock.bits, lock.pitch, &GetScreenColorState().ScreenColorFormat, front.Pixels,
                  front.Pitch, front.Format, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, kDitherNone, 0,
                  0, 0);
  primary->Unlock();
  return 0;
}

int ReadBackSoftwareFront() {
  if (g_read_back_pending != 1 || (IsHardwareBanned() == 0 && !ScreensInMemory())) return 0;
  MEMIMG& front = GetMainSurfaces().FrontMemImg;
  if (front.Pixels == nullptr || front.Format == nullptr) return 0;
  int width = 0, height = 0;
  GetScreenSize(&width, &height);
  if (IsHardwareBanned() != 0) {
    pd::DeviceContextPtr window = pd::GetWindowDC();
    if (window != nullptr) {
      pd::DeviceContextPtr memory = pd::CreateCompatibleDC(window.get());
      pd::BitmapPtr bitmap = pd::CreateCompatibleBitmap(window.get(), width, height);
      if (memory != nullptr && bitmap != nullptr) {
        pd::BitmapPtr old = memory->SelectBitmap(bitmap);
        pd::BitBlt(memory.get(), 0, 0, width, height, window.get(), 0, 0);
        pd::DibDescription desc = FrontImageDib(front);
        // GetDIBits wants the bitmap's own size; the rows keep the pitch.
        desc.width = width;
        if (pd::DibStride(width, desc.bit_count) == front.Pitch) {
          pd::GetDIBits(memory.get(), bitmap.get(), 0, height, front.Pixels, desc);
        }
        memory->SelectBitmap(old);
      }
    }
  } else {
    pd::Surface* primary = GetMainSurfaces().PrimarySurface.get();
    if (primary == nullptr) return -1;
    const pd::Rect source = OnPrimary(IntRect{0, 0, width, height});
    pd::LockedRect lock;
    if (primary->Lock(&source, pd::kLockWait | pd::kLockReadOnly, &lock) != pd::Result::kOk) {
      return -1;
    }
    const IntRect all{0, 0, width, height};
    ConvertColorBlt(front.Pixels, front.Pitch, GetColorFormat(ScreenMemImgKind(), 0, 0), lock.bits,
                    lock.pitch, &GetScreenColorState().ScreenColorFormat, nullptr, 0, nullptr, 0, 0,
                    &all, 0, 0, 0, kDitherNone, 0, 0, 0);
    primary->Unlock();
  }
  g_read_back_pending = 0;
  return 0;
}

int GetReadBackPending() { return g_read_back_pending; }
void SetReadBackPending(int flag) { g_read_back_pending = flag; }
int GetPresentCount() { return g_present_count; }
void SetPresentCount(int count) { g_present_count = count; }
