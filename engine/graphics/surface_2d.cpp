#include "engine/graphics/surface_2d.h"

#include <memory>

#include "engine/core/base/library_handle.h"
#include "engine/core/base/log.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/next_free_slot.h"
#include "engine/graphics/surface_data.h"

namespace {

struct Surface2DTable {
  HandleTable<Surface2D> table{HandleType::kSurface2D};
  NextFreeSlot<Surface2D> next_free{table};
};

Surface2DTable& Table() {
  static Surface2DTable* table = new Surface2DTable;
  return *table;
}

}  // namespace

void ResetSurface2DTable() {
  Surface2DTable& t = Table();
  t.table.Clear();
  t.table.counter().Reset();
  t.next_free.Reset();
}

int GetSurface2DCount() { return Table().table.live_count(); }
int GetSurface2DNextFreeIndex() { return Table().next_free.index(); }

int AddSurface2D(int width, int height, int pieceX, int pieceY, int owner, const Surface2D* share,
                 int offsetX, int offsetY, const GraphCreationFlags& flags) {
  Surface2DTable& t = Table();
  if (DirectDrawMissing()) {
    WriteLog("Ｏｒｖｅｘライブラリが初期化されていません\n");
    return -1;
  }
  if (t.table.live_count() >= t.table.capacity()) {
    WriteLog("２Ｄグラフィックの量が許容量を越えました\n");
    return -1;
  }
  const int slot = t.next_free.Choose();
  auto record = std::make_unique<Surface2D>();
  if (share != nullptr) {
    if (AddSurfaceDataRef(share->SurfaceDataHandle) < 0) {
      WriteLog("メモリの確保に失敗しました in AddSurface2D \n");
      return -1;
    }
    record->SurfaceDataHandle = share->SurfaceDataHandle;
  } else {
    record->SurfaceDataHandle =
        AllocSurfaceData(1, width, height, CurrentDrawState.ColorKey, flags);
    if (record->SurfaceDataHandle == -1) {
      WriteLog("メモリの確保に失敗しました in AddSurface2D \n");
      return -1;
    }
  }
  record->PieceX = static_cast<uint16_t>(pieceX);
  record->PieceY = static_cast<uint16_t>(pieceY);
  record->OffsetX = static_cast<uint16_t>(offsetX);
  record->OffsetY = static_cast<uint16_t>(offsetY);
  record->Width = static_cast<uint16_t>(width);
  record->Height = static_cast<uint16_t>(height);
  record->OwnerGraph = owner;
  const int data = record->SurfaceDataHandle;
  const int handle = t.table.Insert(slot, std::move(record));
  if (handle == kNoLibraryHandle) {
    // Cannot happen with a slot from Choose; undo the data reference.
    if (ReleaseSurfaceDataRef(data) == 0) ReleaseSurfaceData(data);
    return -1;
  }
  t.next_free.Taken(slot);
  return handle;
}

Surface2D* GetSurface2D(int handle) { return Table().table.Find(handle); }

int SetSurface2DLostFlag(int handle, int32_t* flag) {
  Surface2D* surface = GetSurface2D(handle);
  if (surface == nullptr) return 0;
  surface->LostFlag = flag;
  if (flag != nullptr) *flag = 0;
  return 0;
}

int DeleteSurface2D(int handle) {
  Surface2DTable& t = Table();
  Surface2D* surface = t.table.Find(handle);
  if (surface == nullptr) return 0;
  if (ReleaseSurfaceDataRef(surface->SurfaceDataHandle) == 0) {
    ReleaseSurfaceData(surface->SurfaceDataHandle);
  }
  // A registered flag (a font's draw screen) learns that the surface is
  // gone; graph pieces register none, the graph table tells their users.
  if (surface->LostFlag != nullptr) *surface->LostFlag = 1;
  t.table.Remove(handle);
  t.next_free.Released(static_cast<int>(HandleSlot(handle)));
  return 0;
}

int DeleteAllSurface2D() {
  if (DirectDrawMissing()) return -1;
  Surface2DTable& t = Table();
  const int end = t.next_free.index();
  for (int slot = 0; slot < end; ++slot) {
    const int handle = t.table.HandleAt(slot);
    if (handle != kNoLibraryHandle) DeleteSurface2D(handle);
  }
  return 0;
}

int InitializeSurface2D() { return DeleteAllSurface2D(); }

int CreateGraphSurface2D(GraphRecord& graph) {
  graph.PieceCount = 1;
  graph.Pieces[0] = AddSurface2D(graph.Width, graph.Height, 0, 0, graph.GraphHandle, nullptr, 0, 0,
                                 graph);
  return graph.Pieces[0] == -1 ? -1 : 0;
}

int CreateSubGraphSurface2D(GraphRecord& graph, int x, int y, int width, int height,
                            const GraphRecord& parent) {
  const Surface2D* parentPiece = GetSurface2D(parent.Pieces[0]);
  if (parentPiece == nullptr) return -1;
  // The child's rectangle is relative to the parent's surface data.
  const int handle = AddSurface2D(width, height, 0, 0, graph.GraphHandle, parentPiece,
                                  parentPiece->OffsetX + x, parentPiece->OffsetY + y, graph);
  graph.Pieces[0] = handle;
  if (handle == -1) return -1;
  graph.PieceCount = 1;
  return 0;
}

int DeleteGraphSurface2D(GraphRecord& graph) {
  for (int i = 0; i < graph.PieceCount && i < kGraphMaxPieces; ++i) DeleteSurface2D(graph.Pieces[i]);
  return 0;
}

int RestoreGraphSurface2D(const GraphRecord& graph) {
  if (DirectDrawMissing()) return -1;
  int result = 0;
  for (int i = 0; i < graph.PieceCount && i < kGraphMaxPieces; ++i) {
    const Surface2D* surface = GetSurface2D(graph.Pieces[i]);
    if (surface == nullptr) return -1;
    result |= RestoreSurfaceData(surface->SurfaceDataHandle);
  }
  return result;
}

int RestoreAllSurface2DData() {
  if (DirectDrawMissing()) return -1;
  int result = 0;
  Table().table.ForEachLive(
      [&result](int, Surface2D& surface) { result |= RestoreSurfaceData(surface.SurfaceDataHandle); });
  return result;
}

void ForEachSurface2D(void (*fn)(int handle, Surface2D& surface)) {
  Table().table.ForEachLive([fn](int handle, Surface2D& surface) { fn(handle, surface); });
}
