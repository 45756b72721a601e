#include "engine/graphics/display_rebuild.h"

#include "engine/core/base/fatal_error.h"
#include "engine/core/base/log.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/surface_data.h"

namespace {

// Stores held in display surfaces (textures belong to the 3D back end).
bool IsDisplaySurfaceStore(const SurfaceData& data) {
  return data.MemImgFlag == 0 && data.TextureFlag == 0;
}

}  // namespace

int ReleaseSurface2DStorage() {
  if (DirectDrawMissing()) return 0;
  ForEachSurfaceData([](int handle, SurfaceData& data) {
    if (IsDisplaySurfaceStore(data) && data.Surface != nullptr) ReleaseSurfaceDataStorage(handle);
  });
  return 0;
}

int RecreateSurface2DStorage() {
  if (DirectDrawMissing()) return 0;
  ForEachSurfaceData([](int handle, SurfaceData& data) {
    if (!IsDisplaySurfaceStore(data) || data.Surface != nullptr) return;
    if (CreateSurfaceDataStorage(handle) == 0) ApplySurfaceDataColorKey(handle);
  });
  return 0;
}

int ReleaseClipper() {
  GetDisplayState().Clipper.reset();
  return 0;
}

int RecreateClipper() {
  if (IsHardwareBanned() != 0 || !HasDirectDraw()) return 0;
  if (CreateDirectDrawClipper() != 0) FatalErrorExit("クリッパーオブジェクトの作成失敗しました");
  return 0;
}

int ReleaseDirectDrawObject() {
  DisplayState& d = GetDisplayState();
  WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
  if (DirectDrawMissing()) {
    WriteLog("既に解放されています\n");
    return 0;
  }
  ReleaseSurface2DStorage();
  ReleaseDisplayMode();
  d.Palette.reset();
  d.Clipper.reset();
  d.DirectDrawObject.reset();
  WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
  return 0;
}

int RecreateDirectDrawObject() {
  if (HasDirectDraw()) return 0;
  if (CreateDirectDrawObject() != 0) {
    FatalErrorExit("DirectDraw オブジェクトの作成処理時にエラーが発生しました");
  }
  ReapplyDisplayMode();
  RecreateSurface2DStorage();
  RecreateClipper();
  return 0;
}
