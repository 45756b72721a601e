#include "engine/graphics/display_layer.h"

#include <cstring>

#include "engine/core/base/fatal_error.h"
#include "engine/core/base/library_state.h"
#include "engine/core/base/log.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "engine/core/window/window_timers.h"
#include "engine/graphics/d3d_startup.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/display_timing.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/software_front.h"
#include "engine/graphics/surface_2d.h"
#include "platform/display/device_context.h"
#include "platform/display/display_settings.h"

namespace pd = platform::display;

namespace {

// DefaultPalette8: a grey ramp through the three fixed entries, 0 black,
// 160 (128, 128, 128) and 255 white, rising linearly between them.
struct GreyRamp {
  uint8_t rgb[256 * 3];
  GreyRamp() {
    for (int i = 0; i < 256; ++i) {
      const int v = i <= 160 ? i * 128 / 160 : 128 + (i - 160) * 127 / 95;
      rgb[i * 3] = rgb[i * 3 + 1] = rgb[i * 3 + 2] = static_cast<uint8_t>(v);
    }
  }
};

bool Windowed() { return IsWindowedMode() != 0; }

int SetCooperative(uint32_t level, bool acceptBusy) {
  const pd::Result r = GetDisplayState().DirectDrawObject->SetCooperativeLevel(level);
  if (r == pd::Result::kOk) return 0;
  if (acceptBusy && (r == pd::Result::kExclusiveModeAlreadySet || r == pd::Result::kWindowAlreadySet ||
                     r == pd::Result::kWindowSubclassed)) {
    return 0;
  }
  return -1;
}

bool TryDeviceMode(int width, int height, int bits, int refresh) {
  return GetDisplayState().DirectDrawObject->SetDisplayMode(width, height, bits, refresh, 0) ==
         pd::Result::kOk;
}

bool TrySettings(int width, int height, int bits, int refresh, uint32_t flags) {
  pd::DisplaySettings settings;
  settings.width = width;
  settings.height = height;
  settings.bits = bits;
  settings.frequency = refresh;
  return pd::ChangeDisplaySettings(&settings, flags) == pd::DisplayChange::kSuccessful;
}

// The later (re-creating) form's full-screen ladder: the mode, without
// refresh, the old mode, 640 x 480 x 16 (result -2); the last failure ends
// the process.
int FullScreenLadder(int oldWidth, int oldHeight, int oldBits, int oldRefresh) {
  DisplayState& d = GetDisplayState();
  ScreenColorState& c = GetScreenColorState();
  const bool banned = IsHardwareBanned() != 0;
  auto attempt = [banned](int w, int h, int b, int r, bool first) {
    if (banned) return TrySettings(w, h, b, r, first ? pd::kSettingsFullScreen : 0u);
    return TryDeviceMode(w, h, b, r);
  };
  int result = 0;
  WriteLog("画面解像度を変更します... ");
  bool done = attempt(d.ScreenWidth, d.ScreenHeight, c.ScreenBits, d.RefreshRate, true);
  if (!done) {
    d.RefreshRate = 0;
    done = attempt(d.ScreenWidth, d.ScreenHeight, c.ScreenBits, 0, false);
  }
  if (!done) {
    d.ScreenWidth = oldWidth;
    d.ScreenHeight = oldHeight;
    c.ScreenBits = oldBits;
    d.RefreshRate = oldRefresh;
    done = attempt(oldWidth, oldHeight, oldBits, 0, false);
  }
  if (!done) {
    d.ScreenWidth = 640;
    d.ScreenHeight = 480;
    c.ScreenBits = 16;
    d.RefreshRate = 0;
    result = -2;
    done = attempt(640, 480, 16, 0, false);
  }
  if (!done) {
    DecreaseLogIndent();
    FatalErrorExit("予期せぬ画面モード変更不能現象が起きました2\n");
  }
  WriteLog("成功しました\n");
  d.DisplayModeChanged = 1;
  return result;
}

int RecreateObjectAndMode(int oldWidth, int oldHeight, int oldBits, int oldRefresh) {
  DisplayState& d = GetDisplayState();
  DeleteAllSurface2D();
  int result = 0;
  if (IsHardwareBanned() == 0) {
    WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
    d.CooperativeLevel = pd::kCooperativeNormal;
    d.DirectDrawObject->SetCooperativeLevel(pd::kCooperativeNormal);
    d.DirectDrawObject.reset();
    WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
    if (CreateDirectDrawObject() != 0) {
      DecreaseLogIndent();
      FatalErrorExit("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
    }
    const bool windowed = Windowed();
    d.CooperativeLevel = windowed ? pd::kCooperativeNormal
                                  : (pd::kCooperativeFullScreen | pd::kCooperativeExclusive);
    if (SetCooperative(d.CooperativeLevel, !windowed) != 0) {
      DecreaseLogIndent();
      FatalErrorExit("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
    }
    d.DisplayModeChanged = 0;
    if (!windowed) result = FullScreenLadder(oldWidth, oldHeight, oldBits, oldRefresh);
  } else {
    d.DisplayModeChanged = 0;
    if (!Windowed()) result = FullScreenLadder(oldWidth, oldHeight, oldBits, oldRefresh);
  }
  return result;
}

// The first form (from InitializeDirectDraw).
int FirstMode(int oldWidth, int oldHeight, int oldBits, int oldRefresh) {
  DisplayState& d = GetDisplayState();
  ScreenColorState& c = GetScreenColorState();
  const bool windowed = Windowed();
  if (!windowed) ApplyWindowStyle();
  int desktopWidth = 0, desktopHeight = 0;
  GetDesktopDisplayMode(&desktopWidth, &desktopHeight, nullptr);
  if (d.ScreenWidth == 0) d.ScreenWidth = 640;
  if (d.ScreenHeight == 0) d.ScreenHeight = 480;
  if (c.ScreenBits == 0) c.ScreenBits = 16;
  int outBits = 0;
  if (SetDisplayModeDD(desktopWidth, desktopHeight, d.ScreenWidth, d.ScreenHeight, c.ScreenBits,
                       &outBits, &d.CooperativeLevel, windowed ? 1 : 0, &d.DisplayModeChanged) == 0) {
    c.ScreenBits = outBits;
    return 0;
  }
  const bool sameAsOld = oldWidth == d.ScreenWidth && oldHeight == d.ScreenHeight &&
                         oldBits == c.ScreenBits && oldRefresh == 0;
  d.ScreenWidth = oldWidth;
  d.ScreenHeight = oldHeight;
  c.ScreenBits = oldBits;
  d.RefreshRate = oldRefresh;
  if (!windowed) ApplyWindowStyle();
  if (!sameAsOld &&
      SetDisplayModeDD(desktopWidth, desktopHeight, oldWidth, oldHeight, oldBits, &outBits,
                       &d.CooperativeLevel, windowed ? 1 : 0, &d.DisplayModeChanged) == 0) {
    c.ScreenBits = outBits;
    return 0;
  }
  d.ScreenWidth = 640;
  d.ScreenHeight = 480;
  c.ScreenBits = 16;
  d.RefreshRate = 0;
  if (windowed) ApplyWindowStyle();
  if (SetDisplayModeDD(desktopWidth, desktopHeight, 640, 480, 16, &outBits, &d.CooperativeLevel,
                       windowed ? 1 : 0, &d.DisplayModeChanged) != 0) {
    FatalErrorExit("予期せぬ画面モード変更不能現象が起きました\n");
  }
  c.ScreenBits = outBits;
  return -2;
}

}  // namespace

const uint8_t* DefaultPalette8() {
  static const GreyRamp ramp;
  return ramp.rgb;
}

int CreateDirectDrawObject() {
  DisplayState& d = GetDisplayState();
  WriteLog("DirectDraw オブジェクトの取得を行います....  ");
  pd::DevicePtr device;
  if (pd::CreateDevice(&device) != pd::Result::kOk) {
    WriteLog("オブジェクトの取得に失敗しました\n");
    return -1;
  }
  WriteLog("成功\n");
  WriteLog("引き続き初期化処理... ");
  WriteLog("初期化に成功しました\n");
  WriteLog("ビデオカードの情報\n");
  IncreaseLogIndent();
  // The identifier is read only on request (a key held at start-up, which a
  // player never does): the card's name stays empty, 16 MB reported.
  WindowData& w = GetWindowData();
  w.video_card_name.clear();
  w.video_card_description.clear();
  w.video_memory = 16777216;
  DecreaseLogIndent();
  d.DirectDrawObject = std::move(device);
  return 0;
}

int CreateDirectDrawClipper() {
  DisplayState& d = GetDisplayState();
  pd::ClipperPtr clipper;
  if (d.DirectDrawObject == nullptr || d.DirectDrawObject->CreateClipper(&clipper) != pd::Result::kOk ||
      clipper->SetWindow() != pd::Result::kOk) {
    WriteLog("ＤｉｒｅｃｔＤｒａｗＣｌｉｐｐｅｒオブジェクトの作成に失敗しました\n");
    return -1;
  }
  d.Clipper = std::move(clipper);
  return 0;
}

int InitializeDirectDraw() {
  DisplayState& d = GetDisplayState();
  ScreenColorState& c = GetScreenColorState();
  if (d.DirectDrawObject != nullptr) return -1;
  WriteLog("DirectDraw 関連の初期化を行います\n");
  IncreaseLogIndent();
  if (IsHardwareBanned() != 0) {
    SetUse3DDrawing(0);
    SetGraphSystemMemFlag(0);
    SetRenderingMode(0);
  }
  if (CreateDirectDrawObject() != 0) FatalErrorExit("DirectDrawオブジェクトの作成に失敗しました");
  if (IsHardwareBanned() == 0 && CreateDirectDrawClipper() != 0) {
    FatalErrorExit("DirectDrawClipperオブジェクトの作成時にエラーが発生しました");
  }
  if (d.ScreenWidth == 0) d.ScreenWidth = 640;
  if (d.ScreenHeight == 0) d.ScreenHeight = 480;
  if (c.ScreenBits == 0) c.ScreenBits = 16;
  c.RequestedScreenBits = c.ScreenBits;
  if (ChangeScreenModeDD(-1, -1, -1, 1, -1) < 0) {
    DecreaseLogIndent();
    TerminateDirectDraw();
    return -1;
  }
  if (IsWindowRegionSet() == 0) {
    SetDrawTarget(-2);
    EraseDrawTarget();
    SetDrawTarget(-4);
  }
  d.DirectDrawStarted = 1;
  UseMmx = GetUseMmxFlag();
  // The overlay probe is skipped on the system the player reports (NT 6.2).
  d.OverlayFormatIndex = -1;
  DecreaseLogIndent();
  WriteLog("DirectDraw 関連の初期化は正常に終了しました\n");
  BuildBlendTables();
  d.DisplayLayerReady = 1;
  return 0;
}

int TerminateDirectDraw() {
  DisplayState& d = GetDisplayState();
  KillWindowTimer(kTempPrimaryTimerId);
  if (IsHardwareBanned() == 0 && d.DirectDrawObject == nullptr) return 0;
  WriteLog("DirectDraw 関連の終了処理をおこないます\n");
  IncreaseLogIndent();
  if (IsHardwareBanned() == 0) d.Palette.reset();
  TerminateGraphManager();
  DeleteAllSurface2D();
  if (IsHardwareBanned() == 0) TerminateDirect3D();
  ReleaseMainSurfaces();
  d.Clipper.reset();
  WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
  d.DirectDrawObject.reset();
  WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
  RestoreDisplayModeDD();
  DecreaseLogIndent();
  WriteLog("DirectDraw 関連の終了処理は正常に終了しました\n");
  d.DisplayLayerReady = 0;
  return 0;
}

int ChangeScreenModeDD(int width, int height, int bits, int force, int refresh) {
  DisplayState& d = GetDisplayState();
  ScreenColorState& c = GetScreenColorState();
  if (width == -1) width = d.ScreenWidth;
  if (height == -1) height = d.ScreenHeight;
  if (bits == -1) bits = c.ScreenBits;
  if (refresh == -1) refresh = d.RefreshRate;
  if (width == d.ScreenWidth && height == d.ScreenHeight && bits == c.ScreenBits &&
      refresh == d.RefreshRate && force == 0) {
    return 0;
  }
  const bool later = d.DisplayLayerReady == 1;
  const uint32_t keptKey = CurrentDrawState.ColorKey;
  WriteLog("画面モード変更処理を開始します\n");
  IncreaseLogIndent();
  // The default font's face, size and thickness outlive the change.
  const bool keptFont = IsValidFontHandle(GetStandardFont()) != 0;
  char keptFace[kFontFaceNameSize] = {};
  int keptSize = 16, keptThickness = 6;
  if (keptFont) GetFontInfo(keptFace, &keptSize, &keptThickness, GetStandardFont());
  const int oldWidth = d.ScreenWidth, oldHeight = d.ScreenHeight, oldBits = c.ScreenBits,
            oldRefresh = d.RefreshRate;
  d.ScreenWidth = width;
  d.ScreenHeight = height;
  c.ScreenBits = bits;
  d.RefreshRate = refresh;
  if ((GetStartupFlag() == 0 && GetInitializedFlag() == 0) || DirectDrawMissing()) {
    // Before start-up a change only records the values.
    DecreaseLogIndent();
    return 0;
  }
  d.GdiVisibleApplied = -1;
  PaceModeChange();

  ReleaseAllGraphs(0);
  TerminateGraphManager();
  TerminateDirect3D();
  d.Palette.reset();
  ReleaseMainSurfaces();

  int result;
  if (later) {
    result = RecreateObjectAndMode(oldWidth, oldHeight, oldBits, oldRefresh);
  } else {
    result = FirstMode(oldWidth, oldHeight, oldBits, oldRefresh);
  }
  SetupScreenColorFormat();
  if (Windowed() || IsHardwareBanned() != 0) ApplyWindowStyle();
  if (CreateMainSurfaces() != 0) {
    DecreaseLogIndent();
    WriteLog("DirectDrawSurface の初期化に失敗しました\n");
    return -1;
  }
  if (IsHardwareBanned() == 0 && GetNotUseDirect3D() == 0 && IsSoftwareRendering() == 0 &&
      InitializeDirect3D() < 0) {
    DecreaseLogIndent();
    ReleaseMainSurfaces();
    return -1;
  }
  InitializeGraphManager();
  if (keptFont) SetDefaultFontSizeThickness(keptFace, keptSize, keptThickness);
  InitScreenLog();
  CreatePalette8Bit();
  if (!ScreensInMemory()) ChooseCopyMethod();
  MeasureFrameTime();
  if (later) CurrentDrawState.ColorKey = keptKey;
  DecreaseLogIndent();
  WriteLog("画面モード変更処理は正常に終了しました\n");
  ProcessMessage();
  SetPresentCount(0);
  return result;
}

int SetScreenMode(int width, int height, int bits, int refresh) {
  DisplayState& d = GetDisplayState();
  ScreenColorState& c = GetScreenColorState();
  ReleaseAllGraphs(0);
  if (width == -1) width = d.ScreenWidth;
  if (height == -1) height = d.ScreenHeight;
  if (bits == -1) bits = c.ScreenBits;
  if (refresh == -1) refresh = d.RefreshRate;
  if (width == 0 || height == 0 || (bits != 8 && bits != 16 && bits != 32)) return -1;
  const int oldWidth = d.ScreenWidth, oldHeight = d.ScreenHeight, oldBits = c.ScreenBits,
            oldRefresh = d.RefreshRate;
  c.RequestedScreenBits = bits;
  ChangeScreenModeDD(width, height, bits, 0, refresh);
  if (d.ScreenWidth == width && d.ScreenHeight == height && c.ScreenBits == bits &&
      d.RefreshRate == refresh) {
    return 0;
  }
  if (d.ScreenWidth == oldWidth && d.ScreenHeight == oldHeight && c.ScreenBits == oldBits &&
      d.RefreshRate == oldRefresh) {
    return -1;
  }
  if (d.ScreenWidth == 640 && d.ScreenHeight == 480 && c.ScreenBits == 16 && d.RefreshRate == 0) {
    return -2;
  }
  return -1;
}

int SetDisplayModeDD(int desktopWidth, int desktopHeight, int width, int height, int bits,
                     int* outBits, uint32_t* outLevel, int windowed, int32_t* modeChanged) {
  const bool banned = IsHardwareBanned() != 0;
  DisplayState& d = GetDisplayState();
  WriteLogF("画面モードの変更処理を開始します %u x %u  %u bit ", static_cast<unsigned>(width),
            static_cast<unsigned>(height), static_cast<unsigned>(bits));
  IncreaseLogIndent();
  if (windowed != 0) {
    WriteLog("ウインドウモードにします\n");
    if (width > desktopWidth || height > desktopHeight) {
      DecreaseLogIndent();
      FatalErrorExit("デスクトップ画面のサイズが足りません、ソフトを終了します");
    }
    if (modeChanged != nullptr && *modeChanged == 1) {
      WriteLog("フルスクリーンモードから抜けます\n");
      if (banned) {
        pd::ChangeDisplaySettings(nullptr, 0);
      } else {
        d.DirectDrawObject->RestoreDisplayMode();
      }
      *modeChanged = 0;
    }
    int desktopBits = 32;
    if (pd::DeviceContextPtr dc = pd::GetWindowDC(); dc != nullptr) {
      desktopBits = dc->GetDeviceCaps(pd::DeviceCapIndex::kBitsPerPixel) *
                    dc->GetDeviceCaps(pd::DeviceCapIndex::kPlanes);
    } else {
      desktopBits = pd::CurrentDisplayMode().bits;
    }
    if (desktopBits == 24) {
      DecreaseLogIndent();
      return -1;
    }
    if (outBits != nullptr) *outBits = desktopBits;
    if (!banned) {
      if (SetCooperative(pd::kCooperativeNormal, false) != 0) {
        DecreaseLogIndent();
        FatalErrorExit("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
      }
      if (outLevel != nullptr) *outLevel = pd::kCooperativeNormal;
    }
  } else {
    if (bits == 24) {
      DecreaseLogIndent();
      return -1;
    }
    WriteLog("画面解像度を変更します... ");
    bool done;
    if (!banned) {
      const uint32_t level = pd::kCooperativeFullScreen | pd::kCooperativeExclusive;
      if (SetCooperative(level, true) != 0) {
        DecreaseLogIndent();
        FatalErrorExit("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
      }
      if (outLevel != nullptr) *outLevel = level;
      done = TryDeviceMode(width, height, bits, d.RefreshRate);
      if (!done) {
        d.RefreshRate = 0;
        done = TryDeviceMode(width, height, bits, 0);
      }
    } else {
      done = TrySettings(width, height, bits, d.RefreshRate, pd::kSettingsFullScreen);
      if (!done) {
        d.RefreshRate = 0;
        done = TrySettings(width, height, bits, 0, 0);
      }
    }
    if (!done) {
      WriteLog("画面モードの変更に失敗しました\n");
      DecreaseLogIndent();
      return -1;
    }
    if (outBits != nullptr) *outBits = bits;
    if (modeChanged != nullptr) *modeChanged = 1;
    WriteLog("成功しました\n");
  }
  DecreaseLogIndent();
  WriteLog("画面モードの変更は正常に終了しました \n");
  return 0;
}

int RestoreDisplayModeDD() {
  DisplayState& d = GetDisplayState();
  if (IsHardwareBanned() != 0) {
    pd::ChangeDisplaySettings(nullptr, 0);
  } else {
    if (d.DirectDrawObject == nullptr) return -1;
    if ((d.CooperativeLevel & pd::kCooperativeExclusive) != 0) {
      d.DirectDrawObject->SetCooperativeLevel(pd::kCooperativeNormal);
      d.DirectDrawObject->RestoreDisplayMode();
    }
    d.DisplayModeChanged = 0;
  }
  WriteLog("画面モードを元に戻す処理は正常に終了しました\n");
  return 0;
}

int ReleaseDisplayMode() {
  DisplayState& d = GetDisplayState();
  if (Windowed() || d.DisplayModeChanged != 1) return 0;
  if (IsHardwareBanned() != 0) {
    pd::ChangeDisplaySettings(nullptr, 0);
  } else if (d.DirectDrawObject != nullptr) {
    d.DirectDrawObject->SetCooperativeLevel(pd::kCooperativeNormal);
    d.DirectDrawObject->RestoreDisplayMode();
    d.DisplayModeChanged = 0;
  }
  return 0;
}

int ReapplyDisplayMode() {
  DisplayState& d = GetDisplayState();
  int desktopWidth = 0, desktopHeight = 0;
  GetDesktopDisplayMode(&desktopWidth, &desktopHeight, nullptr);
  uint32_t level = d.CooperativeLevel;
  SetDisplayModeDD(desktopWidth, desktopHeight, d.ScreenWidth, d.ScreenHeight,
                   GetScreenColorState().ScreenBits, nullptr, &level, Windowed() ? 1 : 0,
                   &d.DisplayModeChanged);
  return 0;
}

int SetRenderingMode(int hardware) {
  ScreenColorState& c = GetScreenColorState();
  if (c.HardwareBanned == 1 || hardware == 0) {
    SetUse3DDrawing(0);
    SetGraphSystemMemFlag(0);
    c.HardwareBanned = 1;
    hardware = 0;
  }
  c.SoftwareRendering = hardware == 0 ? 1 : 0;
  SetNotUseDirect3D(GetDisplayState().NotUseDirect3D);
  if (HasDirectDraw()) {
    const int target = CurrentDrawState.DrawTarget;
    ReleaseAllGraphs(0);
    ChangeScreenModeDD(-1, -1, -1, 1, -1);
    if (target == -4 || target == -2) SetDrawTarget(target);
  }
  return 0;
}

int AllowHardwareRendering(int flag) {
  GetScreenColorState().HardwareBanned = flag == 0 ? 1 : 0;
  if (flag == 0) {
    SetRenderingMode(0);
    SetUse3DDrawing(0);
    SetGraphSystemMemFlag(0);
  }
  return 0;
}

int SetVBlankWaitFlag(int flag) {
  GetDisplayState().VSyncFlag = flag;
  return 0;
}
int GetWaitVSync() { return GetDisplayState().VSyncFlag; }

int SetTempPrimaryMode(int flag) {
  if (!HasDirectDraw()) GetDisplayState().TempPrimaryMode = flag;
  return 0;
}

int SetGdiVisibleMode(int flag) {
  DisplayState& d = GetDisplayState();
  const int want = (flag == 1 || GetUseMenuFlag() != 0) ? 1 : 0;
  if (want == d.GdiVisibleApplied) return 0;
  d.GdiVisibleRequest = flag;
  if (!HasDirectDraw()) return 0;
  if (flag == 1 || GetUseMenuFlag() != 0) d.DirectDrawObject->FlipToGdiSurface();
  IntRect area;
  GetClipArea(&area);
  const int target = CurrentDrawState.DrawTarget;
  SetDrawTarget(-2);
  SetDrawTarget(-4);
  SetDrawTarget(target);
  SetClipArea(area.left, area.top, area.right, area.bottom);
  d.GdiVisibleApplied = want;
  return 0;
}
int GetGdiVisibleMode() { return GetDisplayState().GdiVisibleRequest; }

int GetScreenColorBits() { return ScreenDepth(); }
int IsDisplayModeChanged() { return GetDisplayState().DisplayModeChanged; }
const ColorFormat* GetScreenColorFormat() { return &GetScreenColorState().ScreenColorFormat; }
const DDPixelFormat* GetScreenPixelFormat() { return &GetScreenColorState().ScreenPixelFormat; }
const DDPixelFormat* GetOverlayFormat() { return nullptr; }

int QueryDisplayModeFormat(DDPixelFormat* format, int* bits) {
  const DisplayState& d = GetDisplayState();
  if (d.DirectDrawObject == nullptr) return -1;
  pd::DisplayMode mode;
  if (d.DirectDrawObject->GetDisplayMode(&mode) != pd::Result::kOk) return -1;
  static_assert(sizeof(DDPixelFormat) == sizeof(pd::PixelFormat), "same 32-byte record");
  std::memcpy(format, &mode.pixel_format, sizeof(*format));
  *bits = mode.bits;
  return 0;
}

int CreatePalette8Bit() {
  DisplayState& d = GetDisplayState();
  ScreenColorState& c = GetScreenColorState();
  if (d.DirectDrawObject == nullptr || d.Palette != nullptr || c.ScreenBits != 8) return 0;
  pd::PaletteEntry entries[256];
  const uint8_t* rgb = DefaultPalette8();
  for (int i = 0; i < 256; ++i) {
    entries[i] = pd::PaletteEntry{rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2], 0};
    c.PaletteEntries[i * 4] = rgb[i * 3];
    c.PaletteEntries[i * 4 + 1] = rgb[i * 3 + 1];
    c.PaletteEntries[i * 4 + 2] = rgb[i * 3 + 2];
    c.PaletteEntries[i * 4 + 3] = 0;
  }
  if (d.DirectDrawObject->CreatePalette(pd::kPalette8Bit, entries, &d.Palette) != pd::Result::kOk) {
    FatalErrorExit("パレットの作成に失敗しました");
  }
  MainSurfaces& m = GetMainSurfaces();
  if (m.PrimarySurface != nullptr) m.PrimarySurface->SetPalette(d.Palette);
  if (m.BackSurface != nullptr) m.BackSurface->SetPalette(d.Palette);
  return 0;
}

int RestorePalette8Bit() {
  ScreenColorState& c = GetScreenColorState();
  if (c.RequestedScreenBits != 8) return 0;
  uint8_t kept[256 * 4];
  std::memcpy(kept, c.PaletteEntries, sizeof(kept));
  CreatePalette8Bit();
  std::memcpy(c.PaletteEntries, kept, sizeof(kept));
  DisplayState& d = GetDisplayState();
  if (d.Palette != nullptr) {
    pd::PaletteEntry entries[256];
    for (int i = 0; i < 256; ++i) {
      entries[i] = pd::PaletteEntry{kept[i * 4], kept[i * 4 + 1], kept[i * 4 + 2], kept[i * 4 + 3]};
    }
    d.Palette->SetEntries(0, 256, entries);
  }
  return 0;
}
