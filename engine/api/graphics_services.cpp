// The graphics engine behind the graphics seam: what start-up, the window
// layer and the screen colour set-up of the image layer ask of it.
#include "engine/api/graphics_entry_points.h"
#include "engine/api/library_services.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/display_rebuild.h"
#include "engine/graphics/graph_restore.h"
#include "engine/graphics/back_end_calls.h"
#include "engine/graphics/presentation.h"
#include "engine/graphics/startup_drawing.h"
#include "engine/graphics/movie_graph.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/texture_upload.h"

// The game's own do-not-use-3D choice (Enable3DGraphs(0) before start-up)
// sends the start to software rendering; the effective setting always reads 1
// in a build without the 3D device and is not what is asked here.
int EngineGraphicsService::Direct3DDisabled() { return GetDisplayState().NotUseDirect3D; }
void EngineGraphicsService::SetRenderingMode(int mode) { ::SetRenderingMode(mode); }
int EngineGraphicsService::RequestedColorDepth() { return GetScreenColorBits(); }
void EngineGraphicsService::SetTempPrimaryMode(int flag) { ::SetTempPrimaryMode(flag); }
void EngineGraphicsService::ResetGraphReloader() { RegisterGraphReloader(nullptr); }
int EngineGraphicsService::Initialize() { return InitializeGraphics(); }
void EngineGraphicsService::Terminate() { TerminateGraphics(); }
void EngineGraphicsService::SetVBlankWait(int flag) { SetVBlankWaitFlag(flag); }
int EngineGraphicsService::SetDrawTarget(int target) { return ::SetDrawTarget(target); }
int32_t EngineGraphicsService::GetDrawTarget() { return static_cast<int32_t>(::GetDrawTarget()); }

void EngineGraphicsService::QueryScreenMode(int32_t* width, int32_t* height, int32_t* bits) {
  int wi = 0, he = 0, bi = 0;
  ::QueryScreenMode(&wi, &he, &bi);
  if (width != nullptr) *width = wi;
  if (height != nullptr) *height = he;
  if (bits != nullptr) *bits = bi;
}

int32_t EngineGraphicsService::ChangeScreenModeKeep() {
  return static_cast<int32_t>(ChangeScreenModeDD(-1, -1, -1, 1, -1));
}
int EngineGraphicsService::QueryDisplayModeFormat(DisplayModeFormat* format) {
  DDPixelFormat mode{};
  int bits = 0;
  if (::QueryDisplayModeFormat(&mode, &bits) != 0) return -1;
  format->bits = bits;
  format->red_mask = mode.RedMask;
  format->green_mask = mode.GreenMask;
  format->blue_mask = mode.BlueMask;
  format->alpha_mask = mode.AlphaMask;
  return 0;
}
void EngineGraphicsService::SetupScreenColorFormat() { ::SetupScreenColorFormat(); }
void EngineGraphicsService::RestoreLostSurfaces2D() { ::RestoreLostSurfaces2D(); }
void EngineGraphicsService::RestoreLostSurfaces3D() { ::RestoreLostSurfaces3D(); }
bool EngineGraphicsService::IsDisplayModeChanged() { return ::IsDisplayModeChanged() != 0; }
bool EngineGraphicsService::IsDirectDrawUsed() { return ::IsDirectDrawUsed() != 0; }
bool EngineGraphicsService::HasDirectDraw() { return ::HasDirectDraw(); }
bool EngineGraphicsService::IsGraphReloaderSet() { return ::IsGraphReloaderSet() != 0; }
bool EngineGraphicsService::IsDisplayLost() { return IsGraphicsLost() != 0; }
bool EngineGraphicsService::IsGdiVisibleMode() { return GetGdiVisibleMode() != 0; }

void EngineGraphicsService::FollowClientRect(const WindowRectangle& client) {
  // The front screen in a window lies at the client area on the desktop.
  if (CurrentDrawState.DrawTarget == -4 && CurrentDrawState.TargetSurfaceRect.right != 0) {
    SetTargetSurfaceRect(IntRect{client.left, client.top, client.right, client.bottom});
  }
  const IntRect requested = GetRequestedClipArea();
  SetClipArea(requested.left, requested.top, requested.right, requested.bottom);
}

void EngineGraphicsService::PresentBackScreenForPaint() {
  // A repaint shows the back screen at once, without waiting for the
  // vertical blank.
  DisplayState& d = GetDisplayState();
  const int wait = d.VSyncFlag;
  SetVBlankWaitFlag(0);
  PresentScreen();
  SetVBlankWaitFlag(wait);
}

void EngineGraphicsService::DrawStartupScreen() { ::DrawStartupScreen(); }
void EngineGraphicsService::RebuildGraphicsAfterLoss() { ::RebuildGraphicsAfterLoss(); }
void EngineGraphicsService::ReleaseDirectDrawObject() { ::ReleaseDirectDrawObject(); }
void EngineGraphicsService::RefreshAllGraphs() { RefreshAllGraphSurfaces(); }
void EngineGraphicsService::ResumeAllMovies() { ::ResumeAllMovies(); }
void EngineGraphicsService::PauseAllMovies() { ::PauseAllMovies(); }
void EngineGraphicsService::ReleaseAllMovieStreams() {
  NoteBackEndCall("ReleaseAllMovieStreams");
  ::ReleaseAllMovieStreams();
}
