#include "engine/graphics/graph_draw.h"

#include <algorithm>

#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_frame_2d.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/movie_graph.h"
#include "engine/graphics/scaled_draw_2d.h"
#include "engine/graphics/software_front.h"
#include "engine/graphics/surface_draw_3d.h"
#include "engine/graphics/texture_entry_3d.h"
#include "engine/softrender/rect_fill.h"

namespace {

// The front screen of software rendering is shown after each draw on it.
bool SoftwareFrontTarget() {
  return ScreensInMemory() && CurrentDrawState.DrawTarget == -4;
}

void BeforeDraw() {
  if (SoftwareFrontTarget() && GetReadBackPending() != 0) ReadBackSoftwareFront();
}

void AfterDraw(const IntRect& bounds) {
  if (SoftwareFrontTarget()) ShowSoftwareFrontRect(bounds);
}

IntRect Ordered(int x1, int y1, int x2, int y2) {
  return IntRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

MEMIMG* SoftwareTarget() { return GetDrawTargetState().TargetMemImg; }

}  // namespace

int BlitGraph(int x, int y, int graph, int transparent) {
  const DrawState& s = CurrentDrawState;
  if (s.NothingToDraw != 0) return 0;
  const GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr) return -1;
  if (s.BlendGraph != -1 && CheckBlendGraphicSize(*record) != 0) return -1;
  if (ReadActiveFlag() == 0) WaitWhileInactive();
  if (record->MovieHandle != -1) UpdateMovieFrame(graph, 0);
  const IntRect bounds{x, y, x + record->Width, y + record->Height};
  BeforeDraw();
  const int result =
      record->TextureFlag == 1
          ? RunDraw3D(bounds, [&] { return DrawSurface3D(x, y, *record, transparent, 1); })
          : DrawGraph2D(x, y, *record, transparent, 1);
  AfterDraw(bounds);
  return result;
}

int BlitGraphWithBlend(int x, int y, int graph, int transparent, int blendGraph, int borderParam,
                       int borderRange) {
  const DrawState saved = CurrentDrawState;
  SelectBlendGraphic(blendGraph, borderParam, borderRange);
  BlitGraph(x, y, graph, transparent);
  SelectBlendGraphic(saved.BlendGraph, saved.BorderParam, saved.BorderRange);
  return 0;
}

int BlitGraphPart(int x, int y, int sx, int sy, int width, int height, int graph, int transparent,
                  int mirror) {
  if (mirror != 0 && GetGraphRecord(graph) == nullptr) return -1;
  DrawState& s = CurrentDrawState;
  const IntRect savedArea = s.DrawArea;
  float savedF[4];
  std::copy(std::begin(s.DrawAreaF), std::end(s.DrawAreaF), savedF);
  IntRect area{x, y, x + width, y + height};
  ClipRect(&area, &savedArea);
  s.DrawArea = area;
  s.DrawAreaF[0] = static_cast<float>(area.left);
  s.DrawAreaF[1] = static_cast<float>(area.top);
  s.DrawAreaF[2] = static_cast<float>(area.right);
  s.DrawAreaF[3] = static_cast<float>(area.bottom);
  int result = 0;
  // An empty part draws nothing (the whole graph would be clipped away).
  if (area.left < area.right && area.top < area.bottom) {
    if (mirror != 0) {
      // Source column sx lands at the right edge x + width.
      result = BlitMirrorGraph(x + sx + width - GetGraphRecord(graph)->Width, y - sy, graph,
                               transparent);
    } else {
      result = BlitGraph(x - sx, y - sy, graph, transparent);
    }
  }
  s.DrawArea = savedArea;
  std::copy(std::begin(savedF), std::end(savedF), s.DrawAreaF);
  return result;
}

int FillBox2D(int x1, int y1, int x2, int y2, uint32_t colour) {
  if (DirectDrawMissing()) return -1;
  const IntRect rect{x1, y1, x2, y2};
  if (ScreensInMemory()) {
    MEMIMG* target = SoftwareTarget();
    if (target == nullptr) return -1;
    FillMemImgRect(target, &rect, colour);
    return 0;
  }
  if (BeginDraw2D(nullptr, 0, nullptr, rect, 1, &colour, nullptr) != 0) return -1;
  FillMemImgRect(const_cast<MEMIMG*>(GetDraw2DState().DestImage), &rect, colour);
  EndDraw2D();
  return 0;
}

int DrawLines2D(const LineRecord* records, int count) {
  if (DirectDrawMissing()) return -1;
  if (ScreensInMemory()) {
    MEMIMG* target = SoftwareTarget();
    if (target == nullptr) return -1;
    DrawMemImgLines(target, records, count);
    return 0;
  }
  if (count <= 0) return 0;
  IntRect bounds{records[0].x1, records[0].y1, records[0].x1 + 1, records[0].y1 + 1};
  for (int i = 0; i < count; ++i) {
    bounds.left = std::min({bounds.left, records[i].x1, records[i].x2});
    bounds.top = std::min({bounds.top, records[i].y1, records[i].y2});
    bounds.right = std::max({bounds.right, records[i].x1 + 1, records[i].x2 + 1});
    bounds.bottom = std::max({bounds.bottom, records[i].y1 + 1, records[i].y2 + 1});
  }
  if (BeginDraw2D(nullptr, 0, nullptr, bounds, 0, nullptr, nullptr) != 0) return -1;
  DrawMemImgLines(const_cast<MEMIMG*>(GetDraw2DState().DestImage), records, count);
  EndDraw2D();
  return 0;
}

int DrawBoxFrame2D(int x1, int y1, int x2, int y2, uint32_t colour) {
  const int32_t c = static_cast<int32_t>(colour);
  const int32_t v = CurrentDrawState.BlendValue;
  const LineRecord lines[4] = {
      {x1, y1, x2 - 1, y1, c, v},
      {x2 - 1, y1, x2 - 1, y2 - 1, c, v},
      {x2 - 1, y2 - 1, x1, y2 - 1, c, v},
      {x1, y2 - 1, x1, y1, c, v},
  };
  return DrawLines2D(lines, 4);
}

int FillBox(int x1, int y1, int x2, int y2, uint32_t colour) {
  if (CurrentDrawState.NothingToDraw != 0) return 0;
  if (ReadActiveFlag() == 0) WaitWhileInactive();
  BeforeDraw();
  const int result =
      BoxesDrawn3D()
          ? RunDraw3D(IntRect{x1, y1, x2, y2}, [&] { return FillBox3D(x1, y1, x2, y2, colour); })
          : FillBox2D(x1, y1, x2, y2, colour);
  AfterDraw(Ordered(x1, y1, x2, y2));
  return result;
}

int DrawBoxFrame(int x1, int y1, int x2, int y2, uint32_t colour) {
  if (CurrentDrawState.NothingToDraw != 0) return 0;
  if (ReadActiveFlag() == 0) WaitWhileInactive();
  BeforeDraw();
  const int result =
      BoxesDrawn3D()
          ? RunDraw3D(IntRect{x1, y1, x2, y2}, [&] { return DrawBoxFrame3D(x1, y1, x2, y2, colour); })
          : DrawBoxFrame2D(x1, y1, x2, y2, colour);
  AfterDraw(Ordered(x1, y1, x2, y2));
  return result;
}

int PaintBox(int x1, int y1, int x2, int y2, uint32_t colour, int fill) {
  return fill != 0 ? FillBox(x1, y1, x2, y2, colour) : DrawBoxFrame(x1, y1, x2, y2, colour);
}
