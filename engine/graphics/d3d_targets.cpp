// Render target, viewport and clear of the Direct3D back end.
#include "engine/graphics/d3d_targets.h"

#include "engine/core/base/log.h"
#include "engine/core/window/main_window.h"
#include "engine/graphics/d3d_startup.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/mask_layer.h"
#include "engine/graphics/render_state_cache.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/vertex_batch.h"

namespace d3d = platform::d3d;
namespace pd = platform::display;
using pd::SurfacePtr;

namespace {

// Where the device draws for a draw target: the surface, or null with the
// result -1 when the target cannot take 3D drawing.
struct RenderTargetChoice {
  SurfacePtr Surface;
  int Result = -1;
};

// The render target of a 2D graphic: its store's display surface, or null
// when the store lives in system memory (or is a memory image).
SurfacePtr Surface2DTarget(const GraphRecord& graph) {
  const Surface2D* piece = GetSurface2D(graph.Pieces[0]);
  if (piece == nullptr) return nullptr;
  const SurfaceData* data = GetSurfaceData(piece->SurfaceDataHandle);
  if (data == nullptr || data->MemImgFlag != 0 || data->SystemMemFlag != 0) return nullptr;
  return data->Surface;
}

// The texture store of a texture graphic's first piece; null when the
// piece or its store is not live.
SurfaceData* FirstTextureStore(const GraphRecord& graph) {
  const Surface3D* piece = GetSurface3DData(graph.Pieces[0]);
  return piece == nullptr ? nullptr : GetSurfaceData(piece->SurfaceData);
}

// Texture graphics draw into their texture, which must have been made
// drawable; 2D graphics into their display surface in video memory. A
// graphic of several stores cannot be one render target.
RenderTargetChoice ChooseRenderTarget3D(int target) {
  if (target == -4) return {FrontScreenSurface3D(), 0};
  if (target == -2) return {BackScreenSurface3D(), 0};
  const GraphRecord* graph = GetGraphRecord(target);
  if (graph == nullptr || graph->PieceCount != 1) return {};
  SurfacePtr surface;
  if (graph->TextureFlag == 1) {
    const SurfaceData* data = FirstTextureStore(*graph);
    if (data == nullptr || data->DrawValid != 1) return {};
    surface = data->Surface;
  } else {
    surface = Surface2DTarget(*graph);
  }
  if (surface == nullptr) return {};
  return {surface, 0};
}

DeviceRecord3D* UsableCurrentRecord() {
  DeviceRecord3D* r = GetDeviceRecord3D(GetDirect3DState().CurrentDevice);
  return r != nullptr && IsDeviceUsable3D(*r) ? r : nullptr;
}

}  // namespace

int SetDrawTarget3D(int target) {
  Direct3DState& s = GetDirect3DState();
  if (s.Direct3D == nullptr) return 0;
  DeviceRecord3D* rp = UsableCurrentRecord();
  if (rp == nullptr) return -1;
  DeviceRecord3D& r = *rp;
  FlushVertexBatch(r);
  EndScene3D(r);
  if (r.CurrentTarget != nullptr && r.CurrentTarget != r.DefaultTarget) SetRenderTarget3D(r, nullptr);
  if (r.Texture != nullptr) r.BlendDirty = 1;
  r.Texture.reset();
  r.TextureDirty = 1;

  const RenderTargetChoice choice = ChooseRenderTarget3D(target);
  if (choice.Result != 0) {
    // Whatever the reason, 3D draws must not fall through to the surface
    // the device was made on (the front screen): they wait for a target
    // that can take them.
    s.Suspended3D = 1;
    return -1;
  }
  SetRenderTarget3D(r, choice.Surface);
  s.FrontTargetFlag = target == -4 ? 1 : 0;
  s.Suspended3D = 0;
  return 0;
}

int SetMaskDrawTarget3D(int on) {
  Direct3DState& s = GetDirect3DState();
  if (s.Direct3D == nullptr) return -1;
  DeviceRecord3D* rp = UsableCurrentRecord();
  if (rp == nullptr) return -1;
  DeviceRecord3D& r = *rp;
  FlushVertexBatch(r);
  // Without a mask screen there is nothing to redirect to: the draw target
  // keeps the drawing.
  const SurfacePtr mask = on != 0 ? GetMaskSurface() : nullptr;
  const RenderTargetChoice target = ChooseRenderTarget3D(CurrentDrawState.DrawTarget);
  if (mask != nullptr) {
    SetRenderTarget3D(r, mask);
  } else if (target.Result == 0) {
    SetRenderTarget3D(r, target.Surface);
  } else {
    SetRenderTarget3D(r, nullptr);  // a suspended target: back where SetDrawTarget3D left it
  }
  const IntRect& area = CurrentDrawState.DrawArea;
  const bool onPrimary = target.Result == 0 && target.Surface != nullptr &&
                         target.Surface == GetMainSurfaces().PrimarySurface;
  if (mask == nullptr || IsWindowedMode() == 0 || !onPrimary) {
    SetDrawAreaViewport3D(area);
    return 0;
  }
  // The mask screen has the screen's size: the draw area lies on it as it
  // is, without the window's place on the desktop.
  s.Suspended3D = 0;
  if (area.right <= area.left || area.bottom <= area.top || area.left < 0 || area.top < 0) return -1;
  d3d::Viewport v;
  v.x = static_cast<uint32_t>(area.left);
  v.y = static_cast<uint32_t>(area.top);
  v.width = static_cast<uint32_t>(int64_t{area.right} - area.left);
  v.height = static_cast<uint32_t>(int64_t{area.bottom} - area.top);
  v.min_z = 0.0f;
  v.max_z = 1.0f;
  EndScene3D(r);
  if (r.Device->SetViewport(v) != d3d::Result::kOk) {
    WriteLog("ビューポートのセットに失敗しました\n");
    return -1;
  }
  r.Viewport = v;
  return 0;
}

int SetViewport3D(const d3d::Viewport& v, DeviceRecord3D& r) {
  if (!IsDeviceUsable3D(r) || r.CurrentTarget == nullptr) return -1;
  const d3d::Viewport& c = r.Viewport;
  if (v.x == c.x && v.y == c.y && v.width == c.width && v.height == c.height && r.ForceStates == 0) {
    return 0;
  }
  FlushVertexBatch(r);
  EndScene3D(r);
  const d3d::Result result = r.Device->SetViewport(v);
  if (result != d3d::Result::kOk) {
    WriteLogF("ビューポートのセットに失敗しました ErrorCode %x\n", static_cast<unsigned>(result));
    return -1;
  }
  r.Viewport = v;
  return 0;
}

int SetDrawAreaViewport3D(const IntRect& area) {
  const Direct3DState& s = GetDirect3DState();
  if (s.Suspended3D != 0) return 0;
  if (area.right <= area.left || area.bottom <= area.top) return -1;
  DeviceRecord3D* r = GetDeviceRecord3D(s.CurrentDevice);
  if (r == nullptr) return -1;
  const IntRect& offset = CurrentDrawState.TargetSurfaceRect;
  const int64_t x = int64_t{area.left} + offset.left;
  const int64_t y = int64_t{area.top} + offset.top;
  if (x < 0 || y < 0 || x > INT32_MAX || y > INT32_MAX) return -1;
  d3d::Viewport v;
  v.x = static_cast<uint32_t>(x);
  v.y = static_cast<uint32_t>(y);
  v.width = static_cast<uint32_t>(int64_t{area.right} - area.left);
  v.height = static_cast<uint32_t>(int64_t{area.bottom} - area.top);
  v.min_z = 0.0f;
  v.max_z = 1.0f;
  return SetViewport3D(v, *r);
}

int ClearDrawTarget3D() {
  if (IsGraphicsLost() != 0) return 0;
  DeviceRecord3D* r = UsableCurrentRecord();
  if (r == nullptr) return -1;
  FlushVertexBatch(*r);
  EndScene3D(*r);
  // The screens and 2D graphics are cleared by the 2D side.
  const int target = CurrentDrawState.DrawTarget;
  if (target == -2 || target == -4) return 0;
  const GraphRecord* graph = GetGraphRecord(target);
  if (graph == nullptr || graph->TextureFlag != 1 || graph->PieceCount < 1) return 0;
  const Surface3D* piece = GetSurface3DData(graph->Pieces[0]);
  if (piece == nullptr) return -1;
  const SurfaceData* data = GetSurfaceData(piece->SurfaceData);
  if (data == nullptr || data->Surface == nullptr) return -1;
  if (data->DepthSurface != nullptr) {
    pd::BltFx fx;
    fx.fill_depth = 0xFFFF;
    data->DepthSurface->Blt(nullptr, nullptr, nullptr, pd::kBltDepthFill | pd::kBltWait, &fx);
  }
  // The whole texture in the background colour, with alpha 0.
  const uint32_t c = ScreenBackgroundColor();
  return FillSurfaceData(piece->SurfaceData, static_cast<int>((c >> 16) & 0xFF),
                         static_cast<int>((c >> 8) & 0xFF), static_cast<int>(c & 0xFF), 0);
}
