#include "engine/graphics/mask_layer.h"

#include <memory>
#include <vector>

#include "engine/core/base/library_handle.h"
#include "engine/graphics/d3d_targets.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/draw_state.h"

namespace {

struct MaskRecord {
  std::vector<uint8_t> bytes;
};

struct MaskState {
  std::vector<uint8_t> buffer;  // one byte per screen pixel, rows of MaskPitch
  bool screen_exists = false;
  platform::display::SurfacePtr screen_surface;  // only ever set by tests
  int reverse = 0;
  uint32_t trans_color = 0;
  HandleTable<MaskRecord> masks{HandleType::kMask};
};

MaskState& State() {
  static MaskState* state = new MaskState;
  return *state;
}

}  // namespace

void ResetMaskLayer() {
  MaskState& m = State();
  m.buffer.clear();
  m.buffer.shrink_to_fit();
  m.screen_exists = false;
  m.screen_surface.reset();
  m.reverse = 0;
  m.trans_color = 0;
  m.masks.Clear();
  m.masks.counter().Reset();
}

int CreateMaskBuffer(int makeBuffer, int /*makeScreen*/) {
  MaskState& m = State();
  if (makeBuffer != 0 && m.buffer.empty()) {
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    m.buffer.assign(static_cast<size_t>(MaskPitch(width)) * static_cast<size_t>(height), 0);
  }
  return 0;
}

int EnableMaskedDrawing(int flag) {
  MaskState& m = State();
  if (m.buffer.empty()) return -1;
  CurrentDrawState.MaskRequested = flag;
  CurrentDrawState.MaskedDrawing = (flag != 0 && m.screen_exists) ? 1 : 0;
  if (IsDirect3DUsable() != 0) SetMaskDrawTarget3D(CurrentDrawState.MaskedDrawing);
  return 0;
}

int IsMaskedDrawingEnabled() { return CurrentDrawState.MaskRequested; }
MEMIMG* GetMaskDrawMemImg() { return nullptr; }
platform::display::SurfacePtr GetMaskSurface() { return State().screen_surface; }

void UseMaskScreenForTest(platform::display::SurfacePtr surface) {
  MaskState& m = State();
  m.screen_exists = surface != nullptr;
  m.screen_surface = std::move(surface);
}
int HasMaskBuffer() { return State().buffer.empty() ? 0 : 1; }

int DeleteMaskBuffers() {
  MaskState& m = State();
  m.buffer.clear();
  m.buffer.shrink_to_fit();
  return 0;
}

int TerminateMaskScreen() {
  DeleteMaskBuffers();
  State().screen_exists = false;
  State().screen_surface.reset();
  CurrentDrawState.MaskedDrawing = 0;
  return 0;
}

int RecreateMaskScreen() {
  MaskState& m = State();
  if (m.screen_exists) CreateMaskBuffer(1, 1);
  return 0;
}

int DeleteMask(int handle) {
  MaskState& m = State();
  if (m.masks.Remove(handle) == nullptr) return -1;
  return 0;
}

int DeleteAllMasks() {
  State().masks.Clear();
  return 0;
}
