#include "engine/graphics/scaled_draw_2d.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "engine/core/base/number_helpers.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_frame_2d.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_entry_skeleton.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/software_front.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/surface_draw_3d.h"
#include "engine/graphics/texture_entry_3d.h"
#include "engine/softrender/rotate_blit.h"
#include "engine/softrender/stretch_blit.h"

namespace {

using graph_entry::ImageEntry;
using graph_entry::SurfaceImage;

constexpr int kMaxStretchSide = 32768;

int FromFloatBits(int bits) { return FloatToInt(std::bit_cast<float>(bits)); }

}  // namespace

int DrawStretchGraph2D(int x1, int y1, int x2, int y2, const GraphRecord* graph, int transparent,
                       int intFlag, int surfaceHandle) {
  if (DirectDrawMissing()) return -1;
  if (intFlag != 1) {
    x1 = FromFloatBits(x1);
    y1 = FromFloatBits(y1);
    x2 = FromFloatBits(x2);
    y2 = FromFloatBits(y2);
  }
  const IntRect requested{x1, y1, x2, y2};
  IntRect d = requested;
  bool mirrorX = false, mirrorY = false;
  if (d.left > d.right) {
    std::swap(d.left, d.right);
    mirrorX = true;
  }
  if (d.top > d.bottom) {
    std::swap(d.top, d.bottom);
    mirrorY = true;
  }
  const int handle = surfaceHandle != -1 ? surfaceHandle : (graph != nullptr ? graph->Pieces[0] : -1);
  const Surface2D* surface = GetSurface2D(handle);
  if (surface == nullptr) return -1;
  const int sw = surfaceHandle != -1 || graph == nullptr ? surface->Width : graph->Width;
  const int sh = surfaceHandle != -1 || graph == nullptr ? surface->Height : graph->Height;
  // A zero-size source has no step, and a side of 2^15 or more overflows
  // the 16.16 step: both are refused.
  const int64_t w = int64_t{d.right} - d.left, h = int64_t{d.bottom} - d.top;
  if (sw <= 0 || sh <= 0 || w >= kMaxStretchSide || h >= kMaxStretchSide) return -1;
  SurfaceData* data = GetSurfaceData(surface->SurfaceDataHandle);
  if (data == nullptr) return -1;
  const MEMIMG* blend = GetBlendGraphMemImg();
  if (ScreensInMemory()) {
    MEMIMG* dest = GetDrawTargetState().TargetMemImg;
    if (dest == nullptr || data->MemImgFlag != 1) return -1;
    MEMIMG view;
    BltStretchMemImg(dest, SurfaceImage(*surface, *data, &view), &requested, transparent, blend);
    return 0;
  }
  if (w == 0 || h == 0) return -1;
  if (w == sw && h == sh && !mirrorX && !mirrorY) {
    if (surfaceHandle != -1 || graph == nullptr) return DrawSurface2D(x1, y1, handle, transparent);
    return DrawGraph2D(x1, y1, *graph, transparent, 1);
  }
  const int32_t stepX = static_cast<int32_t>((w << 16) / sw);
  const int32_t stepY = static_cast<int32_t>((h << 16) / sh);
  if (stepX <= 0 || stepY <= 0) return -1;
  IntRect c = d;
  ClipRect(&c, &CurrentDrawState.DrawArea);
  const int cw = c.right - c.left, ch = c.bottom - c.top;
  if (cw <= 0 || ch <= 0) return -1;
  uint32_t sx1 = 0, sy1 = 0;
  if (c.left > d.left) {
    sx1 = (static_cast<uint32_t>(c.left - d.left) << 16) / static_cast<uint32_t>(stepX);
    d.left = c.left;
  }
  if (c.top > d.top) {
    sy1 = (static_cast<uint32_t>(c.top - d.top) << 16) / static_cast<uint32_t>(stepY);
    d.top = c.top;
  }
  const IntRect dest{d.left, d.top, d.left + cw, d.top + ch};
  IntRect source{static_cast<int32_t>(sx1), static_cast<int32_t>(sy1),
                 static_cast<int32_t>(sx1 + ((static_cast<uint32_t>(cw) << 16) + static_cast<uint32_t>(stepX) - 1) /
                                                static_cast<uint32_t>(stepX)),
                 static_cast<int32_t>(sy1 + ((static_cast<uint32_t>(ch) << 16) + static_cast<uint32_t>(stepY) - 1) /
                                                static_cast<uint32_t>(stepY))};
  if (mirrorX) source = IntRect{sw - source.right, source.top, sw - source.left, source.bottom};
  if (mirrorY) source = IntRect{source.left, sh - source.bottom, source.right, sh - source.top};
  // The source rectangle stays inside the surface the frame locks.
  const IntRect whole{0, 0, surface->Width, surface->Height};
  ClipRect(&source, &whole);
  if (BeginDraw2D(surface, 0, &source, dest, 0, nullptr, nullptr) != 0) return -1;
  const Draw2DState& f = GetDraw2DState();
  BltStretchMemImg(f.DestImage, f.SourceImage, &requested, transparent, blend);
  EndDraw2D();
  return 0;
}

int DrawRotateGraph2D(float cx, float cy, double scale, double angle, const GraphRecord& graph,
                      int transparent, int turn) {
  const int icx = FloatToInt(cx), icy = FloatToInt(cy);
  if (DirectDrawMissing()) return -1;
  const Surface2D* surface = GetSurface2D(graph.Pieces[0]);
  if (surface == nullptr) return -1;
  SurfaceData* data = GetSurfaceData(surface->SurfaceDataHandle);
  if (data == nullptr) return -1;
  const MEMIMG* blend = GetBlendGraphMemImg();
  const float fangle = static_cast<float>(angle);
  const float fscale = static_cast<float>(scale);
  if (ScreensInMemory()) {
    MEMIMG* dest = GetDrawTargetState().TargetMemImg;
    if (dest == nullptr || data->MemImgFlag != 1) return -1;
    MEMIMG view;
    BltRotateMemImg(dest, SurfaceImage(*surface, *data, &view), icx, icy, fangle, fscale,
                    transparent, turn, blend);
    return 0;
  }
  float sine = 0, cosine = 0;
  SinCosF(fangle, &sine, &cosine);
  const float hw = static_cast<float>(graph.Width * scale * 0.5);
  const float hh = static_cast<float>(graph.Height * scale * 0.5);
  const float corners[4][2] = {{-hw, -hh}, {hw, -hh}, {-hw, hh}, {hw, hh}};
  IntRect bounds{};
  for (int i = 0; i < 4; ++i) {
    const float px = cosine * corners[i][0] - sine * corners[i][1];
    const float py = sine * corners[i][0] + cosine * corners[i][1];
    const int x = FloatToInt(px) + icx;
    const int y = FloatToInt(py) + icy;
    // The box starts from the first corner: positions are unbounded.
    if (i == 0) {
      bounds = IntRect{x, y, x, y};
    } else {
      bounds.left = std::min(bounds.left, x);
      bounds.top = std::min(bounds.top, y);
      bounds.right = std::max(bounds.right, x);
      bounds.bottom = std::max(bounds.bottom, y);
    }
  }
  const IntRect source{0, 0, surface->Width, surface->Height};
  if (BeginDraw2D(surface, 0, &source, bounds, 0, nullptr, nullptr) != 0) return -1;
  const Draw2DState& f = GetDraw2DState();
  BltRotateMemImg(f.DestImage, f.SourceImage, icx, icy, fangle, fscale, transparent, turn, blend);
  EndDraw2D();
  return 0;
}

IntRect RotatedBounds(int width, int height, double cx, double cy, double scale, double angle) {
  const double xs[2] = {static_cast<double>(-(width / 2)), static_cast<double>(width - width / 2)};
  const double ys[2] = {static_cast<double>(-(height / 2)), static_cast<double>(height - height / 2)};
  const double s = std::sin(angle), c = std::cos(angle);
  double left = 0, top = 0, right = 0, bottom = 0;
  bool first = true;
  for (double y : ys) {
    for (double x : xs) {
      const double px = (x * c - y * s) * scale + cx;
      const double py = (x * s + y * c) * scale + cy;
      if (first) {
        left = right = px;
        top = bottom = py;
        first = false;
      } else {
        left = std::min(left, px);
        right = std::max(right, px);
        top = std::min(top, py);
        bottom = std::max(bottom, py);
      }
    }
  }
  DoubleRect widened{left - 5, top - 5, right + 5, bottom + 5};
  IntRect out;
  DoubleRectToRect(&widened, &out);
  return out;
}

int BlitStretchGraph(int x1, int y1, int x2, int y2, int graph, int transparent) {
  const IntRect bounds{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
  return ImageEntry(graph, bounds, [&](const GraphRecord& record) {
    if (record.TextureFlag == 1) {
      return RunDraw3D(bounds, [&] { return DrawStretchSurface3D(x1, y1, x2, y2, record, transparent, 1); });
    }
    return DrawStretchGraph2D(x1, y1, x2, y2, &record, transparent, 1, -1);
  });
}

int BlitMirrorGraph(int x, int y, int graph, int transparent) {
  const GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr) return -1;
  return BlitStretchGraph(x + record->Width, y, x, y + record->Height, graph, transparent);
}

int BlitRotateGraph(float cx, float cy, double scale, double angle, int graph, int transparent,
                    int turn) {
  const GraphRecord* record = GetGraphRecord(graph);
  const IntRect bounds = record != nullptr
                             ? RotatedBounds(record->Width, record->Height, cx, cy, scale, angle)
                             : IntRect{};
  return ImageEntry(graph, bounds, [&](const GraphRecord& r) {
    if (r.TextureFlag == 1) {
      return RunDraw3D(bounds,
                       [&] { return DrawRotateSurface3D(cx, cy, scale, angle, r, transparent, turn); });
    }
    return DrawRotateGraph2D(cx, cy, scale, angle, r, transparent, turn);
  });
}

int BlitRotateGraphInt(int cx, int cy, double scale, double angle, int graph, int transparent,
                       int turn) {
  return BlitRotateGraph(static_cast<float>(cx), static_cast<float>(cy), scale, angle, graph,
                         transparent, turn);
}

IntRect StretchPartCorners(int x1, int y1, int x2, int y2, int sx, int sy, int sw, int sh,
                           int width, int height) {
  const IntRect dest{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
  const double fx = static_cast<double>(dest.right - dest.left) / sw;
  const double fy = static_cast<double>(dest.bottom - dest.top) / sh;
  IntRect c;
  if (x2 >= x1) {
    c.left = dest.left - static_cast<int>(sx * fx);
    c.right = dest.left + static_cast<int>((width - sx) * fx);
  } else {
    c.left = dest.right + static_cast<int>(sx * fx);
    c.right = dest.right - static_cast<int>((width - sx) * fx);
  }
  if (y2 >= y1) {
    c.top = dest.top - static_cast<int>(sy * fy);
    c.bottom = dest.top + static_cast<int>((height - sy) * fy);
  } else {
    c.top = dest.bottom + static_cast<int>(sy * fy);
    c.bottom = dest.bottom - static_cast<int>((height - sy) * fy);
  }
  return c;
}

int BlitStretchGraphPart(int x1, int y1, int x2, int y2, int sx, int sy, int sw, int sh, int graph,
                         int transparent) {
  const GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr || sw == 0 || sh == 0) return -1;
  DrawState& s = CurrentDrawState;
  const IntRect savedArea = s.DrawArea;
  IntRect area{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
  ClipRect(&area, &savedArea);
  s.DrawArea = area;
  const IntRect c = StretchPartCorners(x1, y1, x2, y2, sx, sy, sw, sh, record->Width, record->Height);
  const int result = BlitStretchGraph(c.left, c.top, c.right, c.bottom, graph, transparent);
  s.DrawArea = savedArea;
  return result;
}
