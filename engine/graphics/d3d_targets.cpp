// Render target, viewport and clear of the Direct3D back end.
#include "engine/graphics/d3d_targets.h"

#include "engine/core/base/log.h"
#include "engine/graphics/d3d_startup.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/render_state_cache.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/vertex_batch.h"

namespace d3d = platform::d3d;
using platform::display::SurfacePtr;

namespace {

// The render target of a 2D graphic: its store's display surface, or null
// when the store lives in system memory (or is a memory image).
SurfacePtr Surface2DTarget(const GraphRecord& graph) {
  if (graph.PieceCount < 1) return nullptr;
  const Surface2D* piece = GetSurface2D(graph.Pieces[0]);
  if (piece == nullptr) return nullptr;
  const SurfaceData* data = GetSurfaceData(piece->SurfaceDataHandle);
  if (data == nullptr || data->MemImgFlag != 0 || data->SystemMemFlag != 0) return nullptr;
  return data->Surface;
}

}  // namespace

int SetDrawTarget3D(int target) {
  Direct3DState& s = GetDirect3DState();
  if (s.Direct3D == nullptr) return 0;
  DeviceRecord3D* rp = GetDeviceRecord3D(s.CurrentDevice);
  if (rp == nullptr || !IsDeviceUsable3D(*rp)) return -1;
  DeviceRecord3D& r = *rp;
  FlushVertexBatch(r);
  EndScene3D(r);
  if (r.CurrentTarget != nullptr && r.CurrentTarget != r.DefaultTarget) SetRenderTarget3D(r, nullptr);
  if (r.Texture != nullptr) r.BlendDirty = 1;
  r.Texture.reset();
  r.TextureDirty = 1;

  if (target == -4 || target == -2) {
    SetRenderTarget3D(r, target == -4 ? FrontScreenSurface3D() : BackScreenSurface3D());
    s.FrontTargetFlag = target == -4 ? 1 : 0;
    s.Suspended3D = 0;
    return 0;
  }
  const GraphRecord* graph = GetGraphRecord(target);
  if (graph == nullptr) return -1;
  if (graph->PieceCount > 1) {
    // A graphic of several stores cannot be one render target; drawing must
    // not fall through to the screen the device was made on.
    s.Suspended3D = 1;
    return -1;
  }
  if (graph->TextureFlag == 1) {
    // Texture graphics come with the 3D surface table; until then there is
    // no texture to draw into.
    s.Suspended3D = 1;
    return -1;
  }
  const SurfacePtr surface = Surface2DTarget(*graph);
  if (surface == nullptr) {
    s.Suspended3D = 1;
    return -1;
  }
  SetRenderTarget3D(r, surface);
  s.FrontTargetFlag = 0;
  s.Suspended3D = 0;
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
  DeviceRecord3D* r = GetDeviceRecord3D(GetDirect3DState().CurrentDevice);
  if (r == nullptr || !IsDeviceUsable3D(*r)) return -1;
  FlushVertexBatch(*r);
  EndScene3D(*r);
  // The screens and 2D graphics are cleared by the 2D side; texture
  // graphics come with the 3D surface table.
  return 0;
}
