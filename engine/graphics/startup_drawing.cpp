#include "engine/graphics/startup_drawing.h"

#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_creation.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/scaled_draw_2d.h"

namespace {

constexpr int kStartupGraphSide = 256;

// A black 256 x 256 graph made from a decoded image; -1 when it cannot be
// made. The image is freed.
int MakeBlackGraph() {
  GraphImage image{};
  if (CreateRgb24GraphImage(kStartupGraphSide, kStartupGraphSide, &image) != 0) return -1;
  FillGraphImage(&image, 0, 0, 0, 0);
  const int graph = MakeGraphFromGraphImage(&image);
  ReleaseGraphImage(&image);
  return graph;
}

}  // namespace

int DrawStartupScreen() {
  SetCreateDrawableGraph(1);
  const int drawable = MakeBlankGraph(kStartupGraphSide, kStartupGraphSide, 0);
  SetCreateDrawableGraph(0);
  if (drawable != -1) {
    SetDrawTarget(drawable);
    SetDrawTarget(-4);
    ReleaseGraph(drawable, 0);
  }
  SetDrawTarget(-2);

  const int first = MakeBlackGraph();
  if (first != -1) {
    SetBlendState(3, 128);
    BlitGraph(0, 0, first, 1);
    SetBlendState(0, 0);
    SetDrawTarget(-4);
    BlitGraph(0, 0, first, 1);
    ReleaseGraph(first, 0);
  }
  SetDrawTarget(-4);

  const int second = MakeBlackGraph();
  if (second != -1) {
    BlitStretchGraph(0, 0, 640, 480, second, 1);
    ReleaseGraph(second, 0);
  }
  return 0;
}
