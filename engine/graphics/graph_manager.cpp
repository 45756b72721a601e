#include "engine/graphics/graph_manager.h"

#include "engine/graphics/movie_graph.h"

#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/graphics_build.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/mask_layer.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"

namespace {
int g_initialized = 0;
int g_direct3d_usable = 0;
GraphReloader g_reloader = nullptr;
}  // namespace

int IsGraphManagerInitialized() { return g_initialized; }
void SetGraphManagerInitialized(int flag) { g_initialized = flag; }

int IsDirect3DUsable() { return g_direct3d_usable; }
void SetDirect3DUsable(int flag) { g_direct3d_usable = flag; }
void ForceDirect3DUsableForTest(int flag) { g_direct3d_usable = flag; }

namespace {
int g_texture_graphs_for_test = 0;
}  // namespace

int TextureGraphsEnabled() { return (kTextureGraphsBuilt || g_texture_graphs_for_test != 0) ? 1 : 0; }
void EnableTextureGraphsForTest(int flag) { g_texture_graphs_for_test = flag; }

int IsUsing3DDrawing() {
  return (CurrentDrawState.Use3D == 1 && g_direct3d_usable == 1 && IsSoftwareRendering() == 0 &&
          GetCurrentDevice3D() != nullptr)
             ? 1
             : 0;
}

void ResetGraphicsEngineState() {
  // Fonts first, while their draw screens' handles still name their own
  // surfaces.
  ClearFontTable();
  ReleaseAllMovies();
  ResetGraphTable();
  ResetSurface2DTable();
  ResetSurface3DTable();
  ResetSurfaceDataTable();
  ResetMaskLayer();
  ResetDrawState();
  g_direct3d_usable = 0;
  g_initialized = 0;
}

void NoteGraphReleased(int handle) {
  if (g_initialized != 0 && CurrentDrawState.DrawTarget == handle) SetDrawTarget(-2);
}

void SetGraphReloader(GraphReloader reloader) { g_reloader = reloader; }
GraphReloader GetGraphReloader() { return g_reloader; }
int IsGraphReloaderSet() { return g_reloader != nullptr ? 1 : 0; }
