#include "engine/graphics/draw_state_control.h"

#include <algorithm>

#include "engine/core/base/log.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "engine/graphics/d3d_targets.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/render_state_cache.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/vertex_batch.h"

namespace {
IntRect g_requested_clip{0, 0, 640, 480};

int Clamp255(int v) { return std::clamp(v, 0, 255); }

// The blend graphic's first texture and its size for the 3D back end; null
// for none or a graphic that does not live in textures.
void HandBlendGraphicTo3D(int handle, int borderParam, int borderRange) {
  platform::display::SurfacePtr texture;
  int width = 0, height = 0;
  const GraphRecord* record = GetGraphRecord(handle);
  if (record != nullptr && record->TextureFlag == 1 && record->PieceCount > 0) {
    const Surface3D* piece = GetSurface3DData(record->Pieces[0]);
    const SurfaceData* data = piece != nullptr ? GetSurfaceData(piece->SurfaceData) : nullptr;
    if (data != nullptr) {
      texture = data->Surface;
      width = data->Width;
      height = data->Height;
    }
  }
  SetBlendGraphic3D(texture, width, height, borderParam, borderRange);
}
}  // namespace

int SetDrawFilterMode(int mode) {
  if (CurrentDrawState.FilterMode == mode) return 0;
  CurrentDrawState.FilterMode = mode;
  if (IsDirect3DUsable() != 0) SetDrawFilter3D(mode);
  return 0;
}

int GetDrawFilterMode() { return CurrentDrawState.FilterMode; }

int SetBlendState(int mode, int value) {
  if (IsGraphicsLost() != 0) return 0;
  DrawState& s = CurrentDrawState;
  if (s.BlendMode == mode && s.BlendValue == value) return 0;
  if (ReadActiveFlag() == 0) WaitWhileInactive();
  s.BlendMode = mode;
  s.BlendValue = Clamp255(value);
  UpdateVertexColor3D();
  return 0;
}

int SelectBlendGraphic(int handle, int borderParam, int borderRange) {
  if (IsGraphicsLost() != 0) return 0;
  DrawState& s = CurrentDrawState;
  if (s.BlendGraph == handle && s.BorderParam == borderParam && s.BorderRange == borderRange) {
    return 0;
  }
  if (handle != -1 && GetGraphRecord(handle) == nullptr) return -1;
  s.BlendGraph = handle;
  WaitWhileInactive();
  s.BorderParam = Clamp255(borderParam);
  s.BorderRange = Clamp255(borderRange);
  if (IsDirect3DUsable() != 0) HandBlendGraphicTo3D(handle, s.BorderParam, s.BorderRange);
  BuildBlendGraphTable(s.BorderParam, s.BorderRange);
  return 0;
}

int SetColorScale(int r, int g, int b) {
  DrawState& s = CurrentDrawState;
  if (static_cast<int>(DrawBrightRed(s)) == r && static_cast<int>(DrawBrightGreen(s)) == g &&
      static_cast<int>(DrawBrightBlue(s)) == b) {
    return 0;
  }
  s.DrawBright = static_cast<uint32_t>(Clamp255(r)) << 16 |
                 static_cast<uint32_t>(Clamp255(g)) << 8 | static_cast<uint32_t>(Clamp255(b));
  if (IsDirect3DUsable() != 0) UpdateVertexColor3D();
  return 0;
}

int SetDrawBrightPacked(uint32_t rgb) {
  rgb &= 0xFFFFFFu;
  if ((CurrentDrawState.DrawBright & 0xFFFFFFu) != rgb) {
    CurrentDrawState.DrawBright = rgb;
    UpdateVertexColor3D();
  }
  return 0;
}

int SetClipArea(int x1, int y1, int x2, int y2) {
  DrawState& s = CurrentDrawState;
  g_requested_clip = IntRect{x1, y1, x2, y2};
  int width = 0, height = 0;
  if (s.DrawTarget == -2) {
    GetScreenSize(&width, &height);
  } else if (s.DrawTarget == -4) {
    GetScreenSize(&width, &height);
    WindowRectangle client;
    GetWindowClientRect(&client);
    int desktopWidth = 0, desktopHeight = 0;
    GetDesktopDisplayMode(&desktopWidth, &desktopHeight, nullptr);
    // A client area sticking out of the desktop: what lies outside cannot be
    // drawn. The requested edge is kept when it already lies further in.
    if (client.left < 0) x1 = std::max(x1, -client.left);
    if (client.top < 0) y1 = std::max(y1, -client.top);
    if (desktopWidth > 0 && client.right > desktopWidth) width = desktopWidth - client.left;
    if (desktopHeight > 0 && client.bottom > desktopHeight) height = desktopHeight - client.top;
  } else {
    const GraphRecord* record = GetGraphRecord(s.DrawTarget);
    if (record == nullptr) return 0;
    width = record->Width;
    height = record->Height;
  }
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  width = std::max(width, 0);
  height = std::max(height, 0);
  x1 = std::clamp(x1, 0, width);
  x2 = std::clamp(x2, 0, width);
  y1 = std::clamp(y1, 0, height);
  y2 = std::clamp(y2, 0, height);
  s.DrawArea = IntRect{x1, y1, x2, y2};
  s.DrawAreaF[0] = static_cast<float>(x1);
  s.DrawAreaF[1] = static_cast<float>(y1);
  s.DrawAreaF[2] = static_cast<float>(x2);
  s.DrawAreaF[3] = static_cast<float>(y2);
  s.NothingToDraw = (x1 == x2 || y1 == y2) ? 1 : 0;
  if (s.NothingToDraw == 0 && IsDirect3DUsable() != 0 && SetDrawAreaViewport3D(s.DrawArea) != 0) {
    const char* which = s.DrawTarget == -4   ? "Front Buffer"
                        : s.DrawTarget == -2 ? "Back Buffer"
                                             : "Image Buffer";
    WriteLogF("ビューポートの設定に失敗しました %s", which);
  }
  return 0;
}

int GetClipArea(IntRect* rect) {
  if (rect != nullptr) *rect = CurrentDrawState.DrawArea;
  return 0;
}

IntRect GetRequestedClipArea() { return g_requested_clip; }

int SetUse3DDrawing(int flag) {
  CurrentDrawState.Use3D = flag;
  if (!HasDirectDraw()) SetNotUseDirect3D(flag == 0 ? 1 : 0);
  return 0;
}

int SetColorKeyRgb(int r, int g, int b) {
  if (GetScreenColorState().ScreenBits == 8) return 0;
  CurrentDrawState.ColorKey = (static_cast<uint32_t>(r) & 0xFF) << 16 |
                              (static_cast<uint32_t>(g) & 0xFF) << 8 |
                              (static_cast<uint32_t>(b) & 0xFF);
  return 0;
}

int SetCreateDrawableGraph(int flag) {
  CurrentDrawState.CreateDrawable = flag;
  return 0;
}

int SetGraphSystemMemFlag(int flag) {
  // Read the other way round from SetGraphSystemMemDefault (1 keeps graphics
  // out of system memory): kept as it is, since in software rendering every
  // store is a memory image either way and the pixels do not change.
  CurrentDrawState.CreateSystemMem = IsDirectDrawUsed() != 0 ? 1 : (flag != 1 ? 1 : 0);
  return 0;
}

int SetGraphSystemMemDefault(int flag) {
  CurrentDrawState.CreateSystemMem = IsDirectDrawUsed() != 0 ? 1 : flag;
  return 0;
}

int SetTargetSurfaceRect(const IntRect& rect) {
  CurrentDrawState.TargetSurfaceRect = rect;
  return 0;
}

int GetDrawTarget() { return CurrentDrawState.DrawTarget; }

int QueryScreenMode(int* width, int* height, int* bits) {
  GetScreenSize(width, height);
  if (bits != nullptr) *bits = ScreenDepth();
  return 0;
}

int GetDirect3DExtraOption() { return 0; }
