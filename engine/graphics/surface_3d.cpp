#include "engine/graphics/surface_3d.h"

#include <memory>
#include <new>

#include "engine/core/base/library_handle.h"
#include "engine/core/base/log.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/next_free_slot.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/texture_device.h"

namespace {

struct Surface3DTable {
  HandleTable<Surface3D> table{HandleType::kSurface3D};
  NextFreeSlot<Surface3D> high_water{table};
};

Surface3DTable& Table() {
  static Surface3DTable* table = new Surface3DTable;
  return *table;
}

void ReleaseTextureReference(int dataHandle) {
  if (ReleaseSurfaceDataRef(dataHandle) == 0) ReleaseSurfaceData(dataHandle);
}

void BuildCorners(Surface3D& s, int texWidth, int texHeight) {
  const float tw = texWidth > 0 ? static_cast<float>(texWidth) : 1.0f;
  const float th = texHeight > 0 ? static_cast<float>(texHeight) : 1.0f;
  const float x0 = s.GraphX, y0 = s.GraphY;
  const float x1 = static_cast<float>(s.GraphX + s.Width);
  const float y1 = static_cast<float>(s.GraphY + s.Height);
  const float u0 = static_cast<float>(s.TexX) / tw;
  const float u1 = static_cast<float>(s.TexX + s.Width) / tw;
  const float v0 = static_cast<float>(s.TexY) / th;
  const float v1 = static_cast<float>(s.TexY + s.Height) / th;
  s.Corners[kCornerTopLeft] = Corner3D{x0, y0, 0.0f, 1.0f, 0xFFFFFFFFu, u0, v0};
  s.Corners[kCornerTopRight] = Corner3D{x1, y0, 0.0f, 1.0f, 0xFFFFFFFFu, u1, v0};
  s.Corners[kCornerBottomLeft] = Corner3D{x0, y1, 0.0f, 1.0f, 0xFFFFFFFFu, u0, v1};
  s.Corners[kCornerBottomRight] = Corner3D{x1, y1, 0.0f, 1.0f, 0xFFFFFFFFu, u1, v1};
}

uint16_t Clamp16(int64_t v) {
  if (v < 0) return 0;
  return v > 0xFFFF ? uint16_t{0xFFFF} : static_cast<uint16_t>(v);
}

}  // namespace

void ResetSurface3DTable() {
  Surface3DTable& t = Table();
  t.table.Clear();
  t.table.counter().Reset();
  t.high_water.Reset();
}

int GetSurface3DCount() { return Table().table.live_count(); }
int GetSurface3DHighWater() { return Table().high_water.index(); }

int AddSurface3DData(int texWidth, int texHeight, int graphX, int graphY, int width, int height,
                     int srcX, int srcY, int ownerGraph, int parent, int texOffsetX, int texOffsetY,
                     const GraphCreationFlags& creationFlags) {
  if (IsTextureDeviceRunning() == 0) {
    WriteLog("３Ｄグラフィックエンジンが初期化されていません\n");
    return -1;
  }
  Surface3DTable& t = Table();
  if (t.table.live_count() >= t.table.capacity()) {
    WriteLog("３Ｄグラフィックの数が許容量を越えました。\n");
    return -1;
  }
  const int slot = t.high_water.Choose();
  std::unique_ptr<Surface3D> record(new (std::nothrow) Surface3D());
  if (!record) {
    WriteLog("メモリの確保に失敗しました in AddSurface3DData \n");
    return -1;
  }
  Surface3D& s = *record;
  int64_t texX = texOffsetX, texY = texOffsetY, sx = srcX, sy = srcY;
  if (parent != -1) {
    const Surface3D* p = GetSurface3DData(parent);
    if (p == nullptr || AddSurfaceDataRef(p->SurfaceData) < 0) return -1;
    s.SurfaceData = p->SurfaceData;
    texX += p->TexX;
    texY += p->TexY;
    sx += p->SrcX;
    sy += p->SrcY;
  } else {
    GraphCreationFlags flags = creationFlags;
    flags.TextureFlag = 1;
    s.SurfaceData = AllocSurfaceData(1, texWidth, texHeight, CurrentDrawState.ColorKey, flags);
    if (s.SurfaceData == -1) return -1;
  }
  const SurfaceData* data = GetSurfaceData(s.SurfaceData);
  s.GraphX = Clamp16(graphX);
  s.GraphY = Clamp16(graphY);
  s.TexX = Clamp16(texX);
  s.TexY = Clamp16(texY);
  s.SrcX = Clamp16(sx);
  s.SrcY = Clamp16(sy);
  s.Width = Clamp16(width);
  s.Height = Clamp16(height);
  s.OwnerGraph = ownerGraph;
  BuildCorners(s, data->Width, data->Height);

  const int handle = t.table.Insert(slot, std::move(record));
  if (handle == kNoLibraryHandle) {
    ReleaseTextureReference(s.SurfaceData);
    return -1;
  }
  t.high_water.Taken(slot);
  return handle;
}

Surface3D* GetSurface3DData(int handle) { return Table().table.Find(handle); }

int DeleteSurface3DData(int handle) {
  Surface3DTable& t = Table();
  std::unique_ptr<Surface3D> record = t.table.Remove(handle);
  if (!record) return -1;
  ReleaseTextureReference(record->SurfaceData);
  if (record->LostFlag != nullptr) *record->LostFlag = 1;
  t.high_water.Released(static_cast<int>(HandleSlot(handle)));
  return 0;
}

int DeleteAllSurfaces3D() {
  if (IsTextureDeviceRunning() == 0) return -1;
  Surface3DTable& t = Table();
  for (int slot = 0; slot < t.high_water.index(); ++slot) {
    const int handle = t.table.HandleAt(slot);
    if (handle != kNoLibraryHandle) DeleteSurface3DData(handle);
  }
  return 0;
}

int DeleteGraphTextures(GraphRecord& graph) {
  if (IsTextureDeviceRunning() == 0) return -1;
  const int count = graph.PieceCount < 0 ? 0 : (graph.PieceCount > kGraphMaxPieces ? kGraphMaxPieces : graph.PieceCount);
  for (int i = 0; i < count; ++i) DeleteSurface3DData(graph.Pieces[static_cast<size_t>(i)]);
  graph.PieceCount = 0;
  return 0;
}

int SetSurface3DAboveDiagonal(int handle, int graphWidth, int graphHeight) {
  Surface3D* s = GetSurface3DData(handle);
  if (s == nullptr) return -1;
  // In floating point: with integer division a graphic wider than high
  // would have a slope of 0 and every corner would count as above.
  const float h = static_cast<float>(graphHeight);
  const float slope = graphWidth != 0 ? h / static_cast<float>(graphWidth) : 0.0f;
  for (size_t i = 0; i < 4; ++i) {
    const Corner3D& c = s->Corners[i];
    s->AboveDiagonal[i] = (h - c.X * slope >= c.Y) ? 1 : 0;
  }
  return 0;
}

void ForEachSurface3D(void (*fn)(int handle, Surface3D& record)) {
  Table().table.ForEachLive([fn](int handle, Surface3D& record) { fn(handle, record); });
}
