#include "engine/graphics/graph_restore.h"

#include <cstdint>
#include <string>

#include "engine/core/base/log.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/input/input_setup.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_rebuild.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/graph_creation.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/graph_image_loader.h"
#include "engine/graphics/mask_layer.h"
#include "engine/graphics/back_end_calls.h"
#include "engine/graphics/presentation.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/surface_2d.h"

namespace {

// The images of the last file loaded by RestoreAllGraphs, kept for the next
// graphic from the same file and folder.
struct HeldImages {
  std::string file, folder;
  bool loaded = false;
  bool has_alpha = false;
  GraphImage image{};
  GraphImage alpha{};
  HeldImages() = default;
  HeldImages(const HeldImages&) = delete;
  HeldImages& operator=(const HeldImages&) = delete;
  ~HeldImages() { Free(); }
  void Free() {
    ReleaseGraphImage(&image);
    ReleaseGraphImage(&alpha);
    loaded = false;
    has_alpha = false;
  }
  bool Holds(const GraphRecord& graph) const {
    return loaded && file == graph.FileName && folder == graph.LoadFolder;
  }
  bool Load(const GraphRecord& graph) {
    Free();
    file = graph.FileName;
    folder = graph.LoadFolder;
    if (StreamChDir(folder.c_str()) != 0) return false;
    const int result = LoadGraphFileWithAlpha(file.c_str(), nullptr, 0, 0, nullptr, 0, 0, &image,
                                              &alpha, 0);
    if (result < 0) return false;
    loaded = true;
    has_alpha = result == 0;
    return true;
  }
  // The file's image still holds the graphic's rectangle, and its alpha
  // image (when there is one) has the image's size.
  bool Covers(const GraphRecord& graph) const {
    if (graph.SourceX < 0 || graph.SourceY < 0) return false;
    if (int64_t{graph.SourceX} + graph.Width > image.Width) return false;
    if (int64_t{graph.SourceY} + graph.Height > image.Height) return false;
    return !has_alpha || (alpha.Width == image.Width && alpha.Height == image.Height);
  }
};

}  // namespace

int RefreshGraph(int handle) {
  const GraphRecord* graph = GetGraphRecord(handle);
  if (graph == nullptr) return -1;
  if (graph->TextureFlag == 1) {
    RestoreGraphSurfaces3D(*graph);
  } else {
    RestoreGraphSurface2D(*graph);
  }
  if (graph->MovieHandle != -1) RestoreMovieSurfaces(graph->MovieHandle);
  return 0;
}

int RefreshAllGraphSurfaces() {
  RestoreMainSurfaces();
  ForEachGraph([](int handle, GraphRecord&) { RefreshGraph(handle); });
  return 0;
}

int NotifyGraphicsLost() {
  NoteBackEndCall("NotifyGraphicsLost");
  ForEachGraph([](int, GraphRecord& record) { record.RestorePending = 1; });
  GraphReloader reloader = GetGraphReloader();
  if (reloader == nullptr) reloader = &RestoreAllGraphs;
  reloader();
  RestoreFonts();
  return 0;
}

int RegisterGraphReloader(GraphReloader callback) {
  SetGraphReloader(callback != nullptr ? callback : &RestoreAllGraphs);
  return 0;
}

void RestoreAllGraphs() {
  WriteLog("グラフィックを復帰します\n");
  char kept[kStreamPathBufferSize] = {};
  const bool haveFolder = StreamGetDir(kept) == 0;
  kept[kStreamPathBufferSize - 1] = '\0';
  HeldImages held;
  const int end = GetGraphNextFreeIndex();
  for (int slot = 0; slot < end; ++slot) {
    GraphRecord* graph = GetGraphRecordAtSlot(slot);
    if (graph == nullptr || graph->RestorePending != 1) continue;
    graph->RestorePending = 0;
    if (graph->FileName.empty()) continue;
    if (!held.Holds(*graph) && !held.Load(*graph)) continue;
    if (!held.Covers(*graph)) continue;
    TransferImageToGraph(held.file.c_str(), &held.image, held.has_alpha ? &held.alpha : nullptr,
                         graph->SourceX, graph->SourceY, graph->GraphHandle);
  }
  held.Free();
  if (haveFolder) StreamChDir(kept);
}

int ReloadAllGraphs() {
  RestoreAllGraphs();
  return 0;
}

int RebuildGraphicsAfterLoss() {
  const auto step = [](const char* name) { NoteBackEndCall(name); };
  NoteBackEndCall("ReleaseDirect3DObject");
  ReleaseDirect3DObject();
  step("DeleteMaskBuffers");
  DeleteMaskBuffers();
  step("ReleaseMainSurfaces");
  ReleaseMainSurfaces();
  step("TerminateInput");
  TerminateInput();
  step("ReleaseSurface2DStorage");
  ReleaseSurface2DStorage();
  step("ReleaseClipper");
  ReleaseClipper();
  if (GetGdiVisibleMode() != 0) {
    step("ReapplyDisplayMode");
    ReapplyDisplayMode();
    step("RecreateSurface2DStorage");
    RecreateSurface2DStorage();
    step("RecreateClipper");
    RecreateClipper();
  } else {
    step("ReleaseDirectDrawObject");
    ReleaseDirectDrawObject();
    step("RecreateDirectDrawObject");
    RecreateDirectDrawObject();
  }
  step("CreateMainSurfaces");
  CreateMainSurfaces();
  step("RestorePalette8Bit");
  RestorePalette8Bit();
  step("SelectDrawTarget");
  const int target = CurrentDrawState.DrawTarget;
  SelectDrawTarget(target, target);
  NoteBackEndCall("ReacquireDirect3D");
  ReacquireDirect3D();
  step("EraseDrawTarget");
  EraseDrawTarget();
  step("FlipBackScreen");
  FlipBackScreen();
  NotifyGraphicsLost();
  NoteBackEndCall("ReopenAllMovieStreams");
  ReopenAllMovieStreams();
  step("RecreateMaskScreen");
  RecreateMaskScreen();
  DecreaseLogIndent();
  return 0;
}
