// Where the graphics engine meets the layers below and start-up: the
// operations start-up reaches through LibraryServices::graphics, the window
// layer's graphics hooks, and the screen-colour query of the image layer.
// Every upward hook of the graphics engine is installed here.
#include "engine/api/graphics_entry_points.h"
#include "engine/api/library_services.h"
#include "engine/core/window/window_procedure_hooks.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/screens.h"

void RegisterGraphicsServices(LibraryServices& services) {
  LibraryServices::Graphics& g = services.graphics;
  // The game's own do-not-use-3D choice (Enable3DGraphs(0) before start-up)
  // sends the start to software rendering; the effective setting always
  // reads 1 in a build without the 3D device and is not what is asked here.
  g.direct3d_disabled = [] { return GetDisplayState().NotUseDirect3D; };
  g.set_rendering_mode = [](int flag) { SetRenderingMode(flag); };
  g.requested_color_depth = [] { return GetScreenColorBits(); };
  g.set_temp_primary_mode = [](int flag) { SetTempPrimaryMode(flag); };
  g.reset_graph_reloader = [] { SetGraphReloader(nullptr); };
  g.initialize = [] { return InitializeGraphics(); };
  g.terminate = [] { TerminateGraphics(); };
  g.set_vblank_wait = [](int flag) { SetVBlankWaitFlag(flag); };
  g.set_draw_target = [](int target) { return SetDrawTarget(target); };

  SetDisplayModeFormatQuery(&QueryDisplayModeFormat);
  ResetDrawTargetState();

  WindowServiceHooks& w = GetWindowServiceHooks();
  w.query_screen_mode = [](int32_t* width, int32_t* height, int32_t* bits) {
    int wi = 0, he = 0, bi = 0;
    QueryScreenMode(&wi, &he, &bi);
    if (width != nullptr) *width = wi;
    if (height != nullptr) *height = he;
    if (bits != nullptr) *bits = bi;
  };
  w.change_screen_mode_keep = [] { return static_cast<int32_t>(ChangeScreenModeDD(-1, -1, -1, 1, -1)); };
  w.restore_lost_surfaces_2d = [] { RestoreLostSurfaces2D(); };
  w.setup_screen_color_format = [] { SetupScreenColorFormat(); };
  w.is_display_mode_changed = [] { return IsDisplayModeChanged() != 0; };
  w.is_direct_draw_used = [] { return IsDirectDrawUsed() != 0; };
  w.has_direct_draw = [] { return HasDirectDraw(); };
  w.is_graph_reloader_set = [] { return IsGraphReloaderSet() != 0; };
  w.is_display_lost = [] { return IsGraphicsLost() != 0; };
  w.is_gdi_visible_mode = [] { return GetGdiVisibleMode() != 0; };
  w.get_draw_target = [] { return static_cast<int32_t>(GetDrawTarget()); };
  w.follow_client_rect = [](const WindowRectangle& client) {
    // The front screen in a window lies at the client area on the desktop.
    if (CurrentDrawState.DrawTarget == -4 && CurrentDrawState.TargetSurfaceRect.right != 0) {
      SetTargetSurfaceRect(IntRect{client.left, client.top, client.right, client.bottom});
    }
    const IntRect requested = GetRequestedClipArea();
    SetClipArea(requested.left, requested.top, requested.right, requested.bottom);
  };
}
