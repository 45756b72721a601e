// Shared pieces of the graph draw entries and their 2D back ends: the image
// a 2D surface stands for, and the skeleton every image entry runs around
// its back-end call (empty draw area, handle and blend-graphic checks, the
// inactive wait, the software front screen's read-back and presentation).
#pragma once

#include <cstring>

#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_frame_2d.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/movie_graph.h"
#include "engine/graphics/software_front.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"

namespace graph_entry {

// The store's image as the surface sees it: the whole image, or a view of
// the surface's rectangle (held by the caller).
inline const MEMIMG* SurfaceImage(const Surface2D& surface, SurfaceData& data, MEMIMG* view) {
  if (surface.Width == data.Width && surface.Height == data.Height) return &data.Image;
  std::memset(view, 0, sizeof(*view));
  InitMemImgView(view, &data.Image, surface.OffsetX, surface.OffsetY, surface.Width, surface.Height);
  return view;
}

inline bool SoftwareFrontTarget() { return ScreensInMemory() && CurrentDrawState.DrawTarget == -4; }

// The skeleton of the image entries around a back-end call; bounds is the
// rectangle the software front screen presents afterwards.
template <typename Draw>
int ImageEntry(int graph, const IntRect& bounds, Draw draw) {
  const DrawState& s = CurrentDrawState;
  if (s.NothingToDraw != 0) return 0;
  const GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr) return -1;
  if (s.BlendGraph != -1 && CheckBlendGraphicSize(*record) != 0) return -1;
  if (ReadActiveFlag() == 0) WaitWhileInactive();
  if (record->MovieHandle != -1) UpdateMovieFrame(graph, 0);
  if (SoftwareFrontTarget() && GetReadBackPending() != 0) ReadBackSoftwareFront();
  const int result = draw(*record);
  if (SoftwareFrontTarget()) ShowSoftwareFrontRect(bounds);
  return result;
}

}  // namespace graph_entry
