#include "engine/graphics/graph_handles.h"

#include "engine/graphics/movie_graph.h"

#include <memory>
#include <new>

#include "engine/core/base/fatal_error.h"
#include "engine/core/base/library_handle.h"
#include "engine/core/base/log.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/graphics_build.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/next_free_slot.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/texture_split.h"
#include "engine/graphics/texture_upload.h"
#include "engine/graphics/vertex_batch.h"

namespace {

struct GraphTable {
  HandleTable<GraphRecord> table{HandleType::kGraph};
  NextFreeSlot<GraphRecord> next_free{table};
};

GraphTable& Table() {
  static GraphTable* table = new GraphTable;
  return *table;
}

}  // namespace

void ResetGraphTable() {
  GraphTable& t = Table();
  t.table.Clear();
  t.table.counter().Reset();
  t.next_free.Reset();
}

int GetGraphNextFreeIndex() { return Table().next_free.index(); }

int AllocGraphHandle(int width, int height, int want3D, GraphRecord** out, int alpha, int palette) {
  GraphTable& t = Table();
  if (t.table.live_count() >= t.table.capacity()) {
    FatalErrorExit("グラフィックの数が許容量を越えました終了します");
  }
  const int slot = t.next_free.Choose();
  std::unique_ptr<GraphRecord> owned(new (std::nothrow) GraphRecord());
  if (!owned) FatalErrorExit("メモリの確保に失敗しました");
  GraphRecord* record = owned.get();
  const int handle = t.table.Insert(slot, std::move(owned));
  t.next_free.Taken(slot);

  const DrawState& s = CurrentDrawState;
  record->GraphHandle = handle;
  record->Width = width;
  record->Height = height;
  record->MovieHandle = -1;
  record->BlendGraphFormat = s.CreateBlendGraph;
  record->LostFlag = nullptr;

  record->TextureFlag = (TextureGraphsEnabled() != 0 && want3D != 0 && s.Use3D != 0 && IsDirect3DUsable() != 0 &&
                         IsSoftwareRendering() == 0)
                            ? 1
                            : 0;
  record->PaletteFlag = 0;
  if (s.CreateDrawable == 1) {
    record->AlphaTestFlag = 0;
    record->BlendGraphFlag = 0;
    record->DrawValid = 1;
    record->AlphaChFlag = 0;
  } else {
    record->AlphaChFlag = static_cast<uint8_t>(alpha);
    record->DrawValid = 0;
    record->AlphaTestFlag = static_cast<uint8_t>(s.CreateAlphaTest);
    record->BlendGraphFlag = static_cast<uint8_t>(record->BlendGraphFormat & 0xFF);
  }
  if (record->TextureFlag == 1) {
    record->ColorBitDepth = static_cast<uint8_t>(
        s.CreateBitDepth != 0 ? s.CreateBitDepth : (alpha == 1 ? 32 : ScreenDepth()));
    record->SystemMemFlag = 0;
    if (record->BlendGraphFormat == 1) {
      record->ColorBitDepth = 32;
      record->AlphaTestFlag = 0;
      record->AlphaChFlag = 1;
      record->DrawValid = 0;
    }
  } else {
    record->ColorBitDepth = static_cast<uint8_t>(
        (s.CreateBitDepth == 0 || IsHardwareBanned() != 0) ? ScreenDepth() : s.CreateBitDepth);
    record->SystemMemFlag = static_cast<uint8_t>(s.CreateSystemMem);
    record->PaletteFlag = static_cast<uint8_t>(palette);
  }
  if (out != nullptr) *out = record;
  return handle;
}

int CreateBlankGraph(int width, int height, int want3D, int alpha, int palette) {
  // Sizes travel as 16-bit values into the stores: anything else would make
  // a store of another size than the graphic.
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return -1;
  GraphRecord* record = nullptr;
  const int handle = AllocGraphHandle(width, height, want3D, &record, alpha, palette);
  const int made = record->TextureFlag == 1 ? SplitGraphToTextures(*record)
                                            : CreateGraphSurface2D(*record);
  if (made != 0) {
    WriteLog("グラフィックの作成に失敗しました\n");
    ReleaseGraph(handle, 0);
    return -1;
  }
  return handle;
}

int MakeBlankGraph(int width, int height, int not3D) {
  return CreateBlankGraph(width, height, not3D == 0 ? 1 : 0, CurrentDrawState.CreateAlpha, 0);
}

GraphRecord* GetGraphRecord(int handle) { return Table().table.Find(handle); }

int GetGraphCount() { return Table().table.live_count(); }

GraphRecord* GetGraphRecordAtSlot(int slot) { return Table().table.RecordAt(slot); }

int IsGraphSlotInUse(int slot) { return Table().table.RecordAt(slot) != nullptr ? 1 : 0; }

int GetGraphDimensions(int handle, int* width, int* height) {
  if (handle == -2 || handle == -4) return GetScreenSize(width, height);
  const GraphRecord* record = GetGraphRecord(handle);
  if (record == nullptr) return -1;
  if (width != nullptr) *width = record->Width;
  if (height != nullptr) *height = record->Height;
  return 0;
}

int SetGraphLostFlag(int handle, int32_t* flag) {
  GraphRecord* record = GetGraphRecord(handle);
  if (record == nullptr) return -1;
  record->LostFlag = flag;
  if (flag != nullptr) *flag = 0;
  return 0;
}

int ReleaseGraph(int handle, int logFlag) {
  GraphTable& t = Table();
  GraphRecord* record = t.table.Find(handle);
  if (record == nullptr) return -1;
  ReleaseGraphMovie(*record);
  if (record->TextureFlag == 1) {
    DeleteGraphTextures(*record);
  } else {
    DeleteGraphSurface2D(*record);
  }
  if (logFlag != 0) WriteLogF("グラフィック %s の削除", record->FileName.c_str());
  std::unique_ptr<GraphRecord> owned = t.table.Remove(handle);
  t.next_free.Released(static_cast<int>(HandleSlot(handle)));
  if (owned->LostFlag != nullptr) *owned->LostFlag = 1;
  NoteGraphReleased(handle);
  return 0;
}

int ReleaseAllGraphs(int logFlag) {
  if (IsGraphManagerInitialized() == 0) return 0;
  GraphTable& t = Table();
  for (int slot = 0; slot < t.next_free.index(); ++slot) {
    const int handle = t.table.HandleAt(slot);
    if (handle != kNoLibraryHandle) ReleaseGraph(handle, logFlag);
  }
  return 0;
}

int FillGraph(int handle, int r, int g, int b, int a) {
  GraphRecord* record = GetGraphRecord(handle);
  if (record == nullptr) return -1;
  if (record->TextureFlag == 1) {
    // Quads waiting in the batch were drawn from the old pixels.
    FlushCurrentVertexBatch();
    return FillGraphTextures(*record, r, g, b, a);
  }
  if (!HasDirectDraw() && IsHardwareBanned() == 0) return 0;
  EndScene3DBeforeSurfaceAccess();
  for (int i = 0; i < record->PieceCount && i < kGraphMaxPieces; ++i) {
    const Surface2D* piece = GetSurface2D(record->Pieces[i]);
    if (piece == nullptr) return -1;
    // Only the piece's own rectangle: a graphic cut out of another shares
    // its parent's store.
    const ImageRect area{piece->OffsetX, piece->OffsetY, piece->OffsetX + piece->Width,
                         piece->OffsetY + piece->Height};
    const SurfaceData* data = GetSurfaceData(piece->SurfaceDataHandle);
    if (data == nullptr) return -1;
    if (data->MemImgFlag == 0 && !HasDirectDraw()) continue;
    if (FillSurfaceData(piece->SurfaceDataHandle, r, g, b, a, &area) != 0) return -1;
  }
  return 0;
}

int CheckBlendGraphicSize(const GraphRecord& graph) {
  const GraphRecord* blend = GetGraphRecord(CurrentDrawState.BlendGraph);
  if (blend == nullptr || blend->Width < graph.Width || blend->Height < graph.Height) return -1;
  return 0;
}

int SetGraphFileName(int handle, const std::string& fileName, const std::string& folder) {
  GraphRecord* record = GetGraphRecord(handle);
  if (record == nullptr) return -1;
  record->FileName = fileName;
  record->LoadFolder = folder;
  return 0;
}

void ForEachGraph(void (*fn)(int handle, GraphRecord& record)) {
  Table().table.ForEachLive([fn](int handle, GraphRecord& record) { fn(handle, record); });
}
