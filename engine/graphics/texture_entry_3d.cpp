// The subtract passes and the box path choice of the draw entries.
#include "engine/graphics/texture_entry_3d.h"

#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/surface_draw_3d.h"
#include "engine/graphics/vertex_batch.h"

namespace {

// The white fill in mode 3 at full strength, then the blend mode the draw
// continues with (its own value kept).
void SubtractPass(const IntRect& bounds, int thenMode) {
  DrawState& s = CurrentDrawState;
  const uint32_t savedBright = s.DrawBright;
  const int savedValue = s.BlendValue;
  if ((s.DrawBright & 0xFFFFFFu) != 0xFFFFFFu) {
    s.DrawBright = 0xFFFFFF;
    UpdateVertexColor3D();
  }
  SetBlendState(3, 255);
  FillBox3D(bounds.left, bounds.top, bounds.right, bounds.bottom, PackScreenColor(255, 255, 255));
  if (s.DrawBright != savedBright) {
    s.DrawBright = savedBright;
    UpdateVertexColor3D();
  }
  SetBlendState(thenMode, savedValue);
}

}  // namespace

bool BoxesDrawn3D() {
  return CurrentDrawState.Use3D == 1 && IsDirect3DUsable() != 0 && IsSoftwareRendering() == 0 &&
         TextureGraphsEnabled() != 0;
}

void SubtractPrePass3D(const IntRect& bounds) { SubtractPass(bounds, 5); }
void SubtractPostPass3D(const IntRect& bounds) { SubtractPass(bounds, 3); }
