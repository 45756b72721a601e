#include "engine/graphics/graph_manager.h"

#include "engine/graphics/movie_graph.h"

#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graphics_build.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/mask_layer.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"

namespace {
int g_initialized = 0;
int g_direct3d_usable = 0;
GraphReloader g_reloader = nullptr;
}  // namespace

int IsGraphManagerInitialized() { return g_initialized; }
void SetGraphManagerInitialized(int flag) { g_initialized = flag; }

int IsDirect3DUsable() { return g_direct3d_usable; }
void ForceDirect3DUsableForTest(int flag) { g_direct3d_usable = flag; }

int IsUsing3DDrawing() {
  // A Direct3D device exists only with the 3D back end.
  return (kDirect3DBackEndBuilt && CurrentDrawState.Use3D == 1 && g_direct3d_usable == 1 &&
          IsSoftwareRendering() == 0)
             ? 1
             : 0;
}

void ResetGraphicsEngineState() {
  ReleaseAllMovies();
  ResetGraphTable();
  ResetSurface2DTable();
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
