// The four-point draw: the rejection rectangle and the two triangles.
#include "engine/softrender/quad_mem_img.h"

#include <algorithm>

#include "engine/graphics/image/draw_state.h"

namespace {

int32_t Narrow(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

void MakeQuadTriangles(const QuadRecord& quad, int32_t width, int32_t height, TriangleRecord* first,
                       TriangleRecord* second) {
  // One array of four vertices; the second triangle starts at its vertex 1.
  const int32_t corner_u[4] = {0, width, 0, width};
  const int32_t corner_v[4] = {0, 0, height, height};
  int32_t vertices[4][4];
  for (int i = 0; i < 4; ++i) {
    vertices[i][0] = quad.p[i][0];
    vertices[i][1] = quad.p[i][1];
    vertices[i][2] = corner_u[i];
    vertices[i][3] = corner_v[i];
  }
  for (int i = 0; i < 3; ++i) {
    std::copy(vertices[i], vertices[i] + 4, first->v[i]);
    std::copy(vertices[i + 1], vertices[i + 1] + 4, second->v[i]);
  }
}

bool QuadMayTouchArea(const QuadRecord& q, const IntRect& area) {
  int64_t min_x = q.p[0][0], max_x = min_x, min_y = q.p[0][1], max_y = min_y;
  for (int i = 1; i < 4; ++i) {
    min_x = std::min<int64_t>(min_x, q.p[i][0]);
    max_x = std::max<int64_t>(max_x, q.p[i][0]);
    min_y = std::min<int64_t>(min_y, q.p[i][1]);
    max_y = std::max<int64_t>(max_y, q.p[i][1]);
  }
  IntRect box{Narrow(min_x - 2), Narrow(min_y - 2), Narrow(max_x + 4), Narrow(max_y + 4)};
  ClipRect(&box, &area);
  return box.left != box.right && box.top != box.bottom;
}

void DrawQuadMemImg(MEMIMG* dest, const MEMIMG* source, const QuadRecord* quad, int32_t transFlag,
                    const MEMIMG* blendImage) {
  if (dest == nullptr || source == nullptr || quad == nullptr) return;
  const QuadRecord q = *quad;
  if (!QuadMayTouchArea(q, CurrentDrawState.DrawArea)) return;
  TriangleRecord first, second;
  MakeQuadTriangles(q, source->Width, source->Height, &first, &second);
  DrawTriangleMemImg(dest, source, &first, transFlag, blendImage, 0);
  DrawTriangleMemImg(dest, source, &second, transFlag, blendImage, 0);
}
