#include "engine/graphics/quad_draw_2d.h"

#include <algorithm>

#include "engine/core/base/number_helpers.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_entry_skeleton.h"
#include "engine/graphics/surface_draw_3d.h"
#include "engine/graphics/texture_entry_3d.h"

int DrawTriangleGraph2D(const TriangleRecord& tri, const GraphRecord* graph, int transparent,
                        uint32_t colour) {
  if (DirectDrawMissing()) return -1;
  const Surface2D* surface = nullptr;
  SurfaceData* data = nullptr;
  const MEMIMG* blend = nullptr;
  if (graph != nullptr) {
    surface = GetSurface2D(graph->Pieces[0]);
    if (surface == nullptr) return -1;
    data = GetSurfaceData(surface->SurfaceDataHandle);
    if (data == nullptr) return -1;
    blend = GetBlendGraphMemImg();
  }
  if (ScreensInMemory()) {
    MEMIMG* dest = GetDrawTargetState().TargetMemImg;
    if (dest == nullptr) return -1;
    MEMIMG view;
    const MEMIMG* source = nullptr;
    if (data != nullptr) {
      if (data->MemImgFlag != 1) return -1;
      source = graph_entry::SurfaceImage(*surface, *data, &view);
    }
    DrawTriangleMemImg(dest, source, &tri, transparent, blend, colour);
    return 0;
  }
  // Display surfaces. The destination box is the rasteriser's own reach
  // (end pixels included), so the frame locks and writes back every pixel
  // the triangle draws; the source box covers the three texels, ends
  // included, within the surface.
  const IntRect dest = TriangleDrawBounds(tri);
  IntRect sourceBox{};
  if (surface != nullptr) {
    int u0 = tri.v[0][2], v0 = tri.v[0][3], u1 = u0, v1 = v0;
    for (int i = 1; i < 3; ++i) {
      u0 = std::min(u0, tri.v[i][2]);
      v0 = std::min(v0, tri.v[i][3]);
      u1 = std::max(u1, tri.v[i][2]);
      v1 = std::max(v1, tri.v[i][3]);
    }
    sourceBox = IntRect{u0, v0, u1 + 1, v1 + 1};
    const IntRect whole{0, 0, surface->Width, surface->Height};
    ClipRect(&sourceBox, &whole);
  }
  if (BeginDraw2D(surface, 0, surface != nullptr ? &sourceBox : nullptr, dest, 0, nullptr, nullptr) !=
      0) {
    return -1;
  }
  const Draw2DState& f = GetDraw2DState();
  DrawTriangleMemImg(f.DestImage, f.SourceImage, &tri, transparent, blend, colour);
  EndDraw2D();
  return 0;
}

int DrawQuadGraph2D(int x0, int y0, int x1, int y1, int x2, int y2, int x3, int y3,
                    const GraphRecord& graph, int transparent) {
  const QuadRecord quad{{{x0, y0}, {x1, y1}, {x2, y2}, {x3, y3}}};
  TriangleRecord first{}, second{};
  MakeQuadTriangles(quad, graph.Width, graph.Height, &first, &second);
  DrawTriangleGraph2D(first, &graph, transparent, 0);
  DrawTriangleGraph2D(second, &graph, transparent, 0);
  return 0;
}

int DrawQuadGraph2DF(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3,
                     const GraphRecord& graph, int transparent) {
  return DrawQuadGraph2D(FloatToInt(x0), FloatToInt(y0), FloatToInt(x1), FloatToInt(y1),
                         FloatToInt(x2), FloatToInt(y2), FloatToInt(x3), FloatToInt(y3), graph,
                         transparent);
}

IntRect QuadEntryBounds(const float (&x)[4], const float (&y)[4]) {
  IntRect r{0xFFFFFF, 0xFFFFFF, 0, 0};
  for (int i = 0; i < 4; ++i) {
    const int ix = FloatToInt(x[i]), iy = FloatToInt(y[i]);
    r.left = std::min(r.left, ix);
    r.top = std::min(r.top, iy);
    r.right = std::max(r.right, ix);
    r.bottom = std::max(r.bottom, iy);
  }
  return r;
}

int BlitQuadGraph(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                  int graph, int transparent) {
  const float xs[4] = {x1, x2, x3, x4};
  const float ys[4] = {y1, y2, y3, y4};
  const IntRect bounds = QuadEntryBounds(xs, ys);
  return graph_entry::ImageEntry(graph, bounds, [&](const GraphRecord& record) {
    if (record.TextureFlag == 1) {
      return RunDraw3D(bounds, [&] {
        return DrawQuadSurface3D(x1, y1, x2, y2, x4, y4, x3, y3, record, transparent);
      });
    }
    return DrawQuadGraph2DF(x1, y1, x2, y2, x4, y4, x3, y3, record, transparent);
  });
}
