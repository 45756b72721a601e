// Start and end of the graph manager and of the graphics as a whole.
#include "engine/core/base/fatal_error.h"
#include "engine/core/base/log.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/mask_layer.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/vertex_batch.h"

namespace {
int g_graphics_started = 0;
}

int InitializeGraphManager() {
  if (IsGraphManagerInitialized() != 0) return 0;
  WriteLog("グラフィック管理系の初期化を行います\n");
  IncreaseLogIndent();
  // Zero-fill keeps the restore callback (ResetGraphicsEngineState does).
  ResetGraphicsEngineState();
  ResetDrawTargetState();
  SetGraphManagerInitialized(1);
  InitializeSurface2D();
  UpdateVertexColor3D();
  SetDirect3DUsable(IsDirect3DRunning() && GetDirect3DState().Initialized3D != 0 ? 1 : 0);
  WriteLog(IsDirect3DUsable() != 0 ? "３Ｄグラフィック描画機能を使用します\n"
                                   : "３Ｄグラフィック描画機能は使用しません\n");
  CurrentDrawState.CreateBitDepth = 0;
  CurrentDrawState.DrawTarget = -2;
  int width = 0, height = 0;
  GetScreenSize(&width, &height);
  CurrentDrawState.TargetWidth = width;
  CurrentDrawState.TargetHeight = height;
  SetDrawTarget(-4);
  SetClipArea(0, 0, width, height);
  ResetDefaultFontSettings();
  InitializeFonts();
  DecreaseLogIndent();
  WriteLog("グラフィック管理系の初期化は正常に終了しました\n");
  return 0;
}

int TerminateGraphManager() {
  if (IsGraphManagerInitialized() == 0) return 0;
  TerminateMaskScreen();
  DeleteAllMasks();
  ReleaseAllGraphs(0);
  // InitializeFonts leaves one new default font, deleted right after. When
  // it cannot run (no display object) the fonts still go: none may outlive
  // the surfaces their draw screens live on.
  if (InitializeFonts() != 0) DeleteAllFontHandles();
  DeleteFontHandle(GetStandardFont());
  SetGraphManagerInitialized(0);
  WriteLog("グラフィック管理系の終了処理は正常に終了しました\n");
  return 0;
}

int InitializeGraphics() {
  if (InitializeDirectDraw() != 0) {
    if (IsSoftwareRendering() == 0) {
      WriteLog("ソフトウエアレンダリングモードに変更します\n");
      SetRenderingMode(0);
      if (InitializeDirectDraw() == 0) {
        g_graphics_started = 1;
        return 0;
      }
    }
    FatalErrorExit("DirectDraw の初期化に失敗しました");
  }
  g_graphics_started = 1;
  return 0;
}

int TerminateGraphics() {
  TerminateDirectDraw();
  g_graphics_started = 0;
  return 0;
}
