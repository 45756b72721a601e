#include "engine/graphics/screens.h"

#include <cstring>

#include "engine/core/base/fatal_error.h"
#include "engine/core/base/log.h"
#include "engine/core/window/main_window.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "platform/display/device_context.h"

namespace pd = platform::display;

namespace {

MainSurfaces g_main{};

pd::SurfacePtr MakeSurface(uint32_t caps, int width, int height, int backBuffers = 0) {
  pd::SurfaceDesc desc;
  desc.caps = caps;
  desc.width = width;
  desc.height = height;
  desc.back_buffer_count = backBuffers;
  pd::SurfacePtr surface;
  if (GetDisplayState().DirectDrawObject->CreateSurface(desc, &surface) != pd::Result::kOk) {
    return nullptr;
  }
  return surface;
}

void ColorFill(pd::Surface& surface, const pd::Rect* rect, uint32_t color, bool wait) {
  pd::BltFx fx;
  fx.fill_color = color;
  surface.Blt(rect, nullptr, nullptr, pd::kBltColorFill | (wait ? pd::kBltWait : 0u), &fx);
}

uint32_t ScreenBackgroundPacked() {
  const uint32_t c = ScreenBackgroundColor();
  return PackScreenColor(static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                         static_cast<int>(c & 0xFF));
}

uint32_t BackgroundFor(const MEMIMG& image) {
  const uint32_t c = ScreenBackgroundColor();
  return PackColor(image.Format, static_cast<int>((c >> 16) & 0xFF),
                   static_cast<int>((c >> 8) & 0xFF), static_cast<int>(c & 0xFF), 255);
}

bool PlainFormatAt(const ColorFormat& f, int bits) {
  if (bits == 16) return f.BitDepth == 16 && f.RedMask == 0xF800 && f.GreenMask == 0x7E0 && f.BlueMask == 0x1F;
  return bits == 32 && f.BitDepth == 32 && f.RedMask == 0xFF0000 && f.GreenMask == 0xFF00 &&
         f.BlueMask == 0xFF;
}

const char* MemoryName(const pd::SurfacePtr& surface) {
  uint32_t caps = 0;
  if (surface != nullptr) surface->GetCaps(&caps);
  return (caps & pd::kCapsVideoMemory) != 0 ? "VIDEOMEMORY" : "SYSTEMMEMORY";
}

void CreateMemoryScreens(int width, int height) {
  ScreenColorState& colors = GetScreenColorState();
  MainSurfaces& m = g_main;
  m.ScreensAreMemImgs = 1;
  m.WorkSurface1.reset();
  m.WorkSurface2.reset();
  m.ZBufferSurface.reset();
  const bool allowed = IsHardwareBanned() == 0;
  if (allowed) {
    m.PrimarySurface = MakeSurface(pd::kCapsPrimary | pd::kCapsSystemMemory, 0, 0);
    if (m.PrimarySurface == nullptr) FatalErrorExit("プライマリサーフェスの作成に失敗しました");
    m.BackSurface =
        MakeSurface(pd::kCapsOffscreenPlain | pd::kCapsSystemMemory, width, height);
    if (m.BackSurface == nullptr) FatalErrorExit("バックサーフェスの作成に失敗しました");
    ColorFill(*m.BackSurface, nullptr, ScreenBackgroundPacked(), true);
  }
  const int kind = ScreenMemImgKind();
  if (CreateScreenMemImg(&m.FrontMemImg, width, height, kind) != 0) {
    FatalErrorExit("プライマリサーフェス用の MEMIMG の作成に失敗しました\n");
  }
  const int requested = colors.RequestedScreenBits == 0 ? 16 : colors.RequestedScreenBits;
  if (allowed && requested == colors.ScreenBits &&
      PlainFormatAt(colors.ScreenColorFormat, requested)) {
    pd::LockedRect lock;
    if (m.BackSurface->Lock(nullptr, pd::kLockWait, &lock) != pd::Result::kOk) {
      FatalErrorExit("バックサーフェスのロックに失敗しました");
    }
    std::memset(&m.BackMemImg, 0, sizeof(m.BackMemImg));
    m.BackMemImg.Pixels = lock.bits;
    CreateMemImg(&m.BackMemImg, width, height, lock.pitch, 0, kind, 0, 0, 0);
    m.BackSurfaceLockedForImage = true;
  } else if (CreateScreenMemImg(&m.BackMemImg, width, height, kind) != 0) {
    FatalErrorExit("バックサーフェス用の MEMIMG の作成に失敗しました\n");
  }
  if (CreateZBufferMemImg(&m.ZBufferMemImg, width, height) != 0) {
    FatalErrorExit("Ｚバッファサーフェス用の MEMIMG の作成に失敗しました\n");
  }
  FillMemImg(&m.FrontMemImg, nullptr, BackgroundFor(m.FrontMemImg));
  FillMemImg(&m.BackMemImg, nullptr, BackgroundFor(m.BackMemImg));
}

int CreateDisplayScreens(int width, int height) {
  MainSurfaces& m = g_main;
  DisplayState& d = GetDisplayState();
  m.ScreensAreMemImgs = 0;
  GetScreenColorState().RequestedScreenBits = GetScreenColorState().ScreenBits;
  const uint32_t background = ScreenBackgroundPacked();
  if (IsWindowedMode() != 0) {
    m.PrimarySurface = MakeSurface(pd::kCapsPrimary | pd::kCaps3DDevice, 0, 0);
    if (m.PrimarySurface == nullptr) FatalErrorExit("プライマリサーフェスの作成に失敗しました");
    m.BackSurface = MakeSurface(pd::kCapsOffscreenPlain | pd::kCaps3DDevice, width, height);
    if (m.BackSurface == nullptr) FatalErrorExit("バックサーフェスの作成に失敗しました");
    ColorFill(*m.BackSurface, nullptr, background, true);
  } else {
    m.PrimarySurface = MakeSurface(
        pd::kCapsPrimary | pd::kCapsFlip | pd::kCapsComplex | pd::kCaps3DDevice, 0, 0, 1);
    if (m.PrimarySurface == nullptr) FatalErrorExit("プライマリサーフェスの作成に失敗しました");
    if (m.PrimarySurface->GetAttachedSurface(pd::kCapsBackBuffer, &m.BackSurface) !=
        pd::Result::kOk) {
      FatalErrorExit("バックバッファのポインタ取得に失敗しました");
    }
    for (int i = 0; i < 3; ++i) {
      ColorFill(*m.BackSurface, nullptr, background, true);
      m.PrimarySurface->Flip(pd::kFlipNoVSync);
    }
  }
  if (d.TempPrimaryMode != 0) {
    m.TempPrimarySurface = MakeSurface(pd::kCapsOffscreenPlain | pd::kCaps3DDevice, width, height);
    if (m.TempPrimarySurface == nullptr) {
      FatalErrorExit("テンポラリプライマリサーフェスの作成に失敗しました");
    }
    ColorFill(*m.TempPrimarySurface, nullptr, background, true);
  }
  const pd::ColorKey key{0, 0};
  m.WorkSurface1 = MakeSurface(pd::kCapsOffscreenPlain | pd::kCapsSystemMemory, width, height);
  if (m.WorkSurface1 == nullptr) FatalErrorExit("作業用サーフェスの作成に失敗しました");
  m.WorkSurface1->SetColorKey(pd::kColorKeySourceBlt, &key);
  m.WorkSurface2 = MakeSurface(pd::kCapsOffscreenPlain | pd::kCapsSystemMemory, width, height);
  if (m.WorkSurface2 == nullptr) FatalErrorExit("作業用サーフェス２の作成に失敗しました");
  m.WorkSurface2->SetColorKey(pd::kColorKeySourceBlt, &key);

  pd::SurfaceDesc depth;
  depth.caps = pd::kCapsZBuffer;
  depth.width = width;
  depth.height = height;
  depth.has_pixel_format = true;
  depth.pixel_format = pd::Depth16Format();
  if (d.DirectDrawObject->CreateSurface(depth, &m.ZBufferSurface) != pd::Result::kOk) {
    WriteLog("Ｚバッファの作成に失敗しました\n");
    return -1;
  }
  m.BackSurface->AddAttachedSurface(m.ZBufferSurface);
  return 0;
}

}  // namespace

MainSurfaces& GetMainSurfaces() { return g_main; }

void ResetMainSurfaces() {
  if (g_main.BackSurfaceLockedForImage && g_main.BackSurface != nullptr) g_main.BackSurface->Unlock();
  ReleaseMemImg(&g_main.FrontMemImg);
  ReleaseMemImg(&g_main.BackMemImg);
  ReleaseMemImg(&g_main.ZBufferMemImg);
  g_main = MainSurfaces{};
}

uint32_t ScreenBackgroundColor() { return 0; }

int CreateMainSurfaces() {
  if (IsHardwareBanned() == 0 && (!HasDirectDraw() || g_main.PrimarySurface != nullptr)) return -1;
  int width = 0, height = 0;
  GetScreenSize(&width, &height);
  WriteLog("出力画面用の DirectDrawSurface を作成します\n");
  IncreaseLogIndent();
  if (ScreensInMemory()) {
    CreateMemoryScreens(width, height);
  } else if (CreateDisplayScreens(width, height) != 0) {
    DecreaseLogIndent();
    return -1;
  }
  WriteLog("各スクリーンメモリの配置位置\n");
  IncreaseLogIndent();
  if (g_main.ScreensAreMemImgs != 0) {
    WriteLog("PrimaryBuffer : SYSTEMMEMORY( MEMIMG ) ");
    WriteLog("BaskBuffer : SYSTEMMEMORY( MEMIMG ) ");
  } else {
    WriteLogF("PrimaryBuffer : %s  ", MemoryName(g_main.PrimarySurface));
    WriteLogF("BaskBuffer : %s  ", MemoryName(g_main.BackSurface));
  }
  DecreaseLogIndent();
  DecreaseLogIndent();
  WriteLog("出力画面用の DirectDrawSurface の作成は正常に終了しました\n");
  return 0;
}

int ReleaseMainSurfaces() {
  if (DirectDrawMissing()) return -1;
  MainSurfaces& m = g_main;
  if (m.BackSurfaceLockedForImage && m.BackSurface != nullptr) {
    m.BackSurface->Unlock();
    m.BackSurfaceLockedForImage = false;
  }
  if (m.ZBufferSurface != nullptr) {
    if (m.BackSurface != nullptr) m.BackSurface->DeleteAttachedSurface(m.ZBufferSurface.get());
    m.ZBufferSurface.reset();
  }
  if (m.PrimarySurface != nullptr) {
    WriteLog("メインサーフェスを破棄をします... 完了しました\n");
    m.PrimarySurface->SetClipper(nullptr);
    m.BackSurface.reset();
    m.PrimarySurface.reset();
  }
  m.BackSurface.reset();
  m.TempPrimarySurface.reset();
  m.WorkSurface1.reset();
  m.WorkSurface2.reset();
  if (m.ScreensAreMemImgs != 0) {
    ReleaseMemImg(&m.FrontMemImg);
    ReleaseMemImg(&m.BackMemImg);
    ReleaseMemImg(&m.ZBufferMemImg);
    std::memset(&m.FrontMemImg, 0, sizeof(m.FrontMemImg));
    std::memset(&m.BackMemImg, 0, sizeof(m.BackMemImg));
    std::memset(&m.ZBufferMemImg, 0, sizeof(m.ZBufferMemImg));
    m.ScreensAreMemImgs = 0;
  }
  return 0;
}

int RestoreMainSurfaces() {
  if (IsGraphicsLost() != 0) return 0;
  if (!HasDirectDraw()) return -1;
  for (const pd::SurfacePtr* s : {&g_main.PrimarySurface, &g_main.TempPrimarySurface,
                                  &g_main.BackSurface, &g_main.ZBufferSurface}) {
    if (*s != nullptr && (*s)->IsLost() == pd::Result::kSurfaceLost) (*s)->Restore();
  }
  return 0;
}

pd::Surface* GetFrontSurface() {
  return GetDisplayState().TempPrimaryMode != 0 ? g_main.TempPrimarySurface.get()
                                                : g_main.PrimarySurface.get();
}
pd::Surface* GetBackSurface() { return g_main.BackSurface.get(); }
pd::Surface* GetWorkSurface() { return g_main.WorkSurface1.get(); }

int GetPresentRect(IntRect* rect) {
  int width = 0, height = 0;
  GetScreenSize(&width, &height);
  IntRect r{0, 0, width, height};
  if (GetDisplayState().TempPrimaryMode == 0) {
    WindowRectangle client;
    GetWindowClientRect(&client);
    r = IntRect{client.left, client.top, client.left + width, client.top + height};
  }
  if (rect != nullptr) *rect = r;
  return 0;
}

int BltSurfaceOrGdi(pd::Surface* dst, pd::Surface* src, int x, int y, const IntRect& rect,
                    int useGdi) {
  if (dst == nullptr || src == nullptr) return -1;
  if (useGdi == -1) useGdi = GetDisplayState().UseBitBltForCopies;
  if (useGdi == 1) {
    pd::DeviceContextPtr dstDc, srcDc;
    if (dst->GetDC(&dstDc) != pd::Result::kOk) return -1;
    if (src->GetDC(&srcDc) != pd::Result::kOk) {
      dst->ReleaseDC(std::move(dstDc));
      return -1;
    }
    const bool done = pd::BitBlt(dstDc.get(), x, y, rect.right - rect.left, rect.bottom - rect.top,
                                 srcDc.get(), rect.left, rect.top);
    pd::GdiFlush();
    dst->ReleaseDC(std::move(dstDc));
    src->ReleaseDC(std::move(srcDc));
    return done ? 0 : -1;
  }
  const pd::Rect source{rect.left, rect.top, rect.right, rect.bottom};
  return dst->BltFast(x, y, src, &source, pd::kBltFastNoColorKey) == pd::Result::kOk ? 0 : -1;
}

int RestoreLostSurfaces2D() {
  if (DirectDrawMissing()) return -1;
  RestoreMainSurfaces();
  return RestoreAllSurface2DData();
}

int FillSpareBits(const IntRect& rect, uint8_t* pixels, int pitch, const ColorFormat* format,
                  uint32_t value) {
  if (format == nullptr || pixels == nullptr || format->SpareMask == 0) return 0;
  const int width = rect.right - rect.left;
  for (int y = rect.top; y < rect.bottom; ++y) {
    uint8_t* row = pixels + static_cast<ptrdiff_t>(y) * pitch;
    if (format->BitDepth == 16) {
      const uint16_t bits = static_cast<uint16_t>((value << format->SpareShift) & format->SpareMask);
      uint16_t* p = reinterpret_cast<uint16_t*>(row) + rect.left;
      for (int x = 0; x < width; ++x) p[x] = static_cast<uint16_t>(p[x] | bits);
    } else if (format->BitDepth == 32) {
      uint32_t* p = reinterpret_cast<uint32_t*>(row) + rect.left;
      if (format->SpareMask == 0xFF000000u) {
        const uint32_t bits = (value & 0xFFu) << 24;
        for (int x = 0; x < width; ++x) p[x] |= bits;
      } else {
        const uint32_t bits = (value << format->SpareShift) & format->SpareMask;
        for (int x = 0; x < width; ++x) p[x] |= bits;
      }
    }
  }
  return 0;
}

int NullGraphicsOperation() { return 0; }
