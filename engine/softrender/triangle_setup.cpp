// Triangle set-up: conversion to 14.18, sorting, degeneracy, texel
// gradients and the edges of the two sides.
#include "engine/softrender/triangle_setup.h"

#include "engine/core/base/number_helpers.h"

namespace softrender {
namespace {

void ExchangeSort(const int32_t keys[3], int idx[3]) {
  idx[0] = 0;
  idx[1] = 1;
  idx[2] = 2;
  for (int i = 0; i < 2; ++i) {
    for (int j = i + 1; j < 3; ++j) {
      if (keys[idx[i]] > keys[idx[j]]) {
        const int t = idx[i];
        idx[i] = idx[j];
        idx[j] = t;
      }
    }
  }
}

bool InRange(int32_t v) { return v >= kTriangleCoordMin && v <= kTriangleCoordMax; }

// numerator * 262144.0 / area in double, truncated toward zero; false when
// the quotient does not fit in 32 bits.
bool Gradient(int32_t numerator, int32_t area, int32_t* out) {
  const double q = static_cast<double>(numerator) * 262144.0 / static_cast<double>(area);
  if (!(q > -2147483649.0 && q < 2147483648.0)) return false;
  *out = DoubleToInt(q);
  return true;
}

struct Fixed {
  int64_t x[3], y[3];
};

TriangleEdge Edge(const Fixed& f, int from, int to, int64_t start_x) {
  TriangleEdge e;
  e.x = start_x;
  e.y = f.y[from];
  e.rows = static_cast<int32_t>(FixPix(f.y[to] - f.y[from]));
  e.slope = e.rows != 0 ? (f.x[to] - start_x) / e.rows : 0;
  return e;
}

}  // namespace

void SortTriangleVertices(const int32_t keys_x[3], const int32_t keys_y[3], int by_x[3],
                          int by_y[3]) {
  ExchangeSort(keys_x, by_x);
  ExchangeSort(keys_y, by_y);
}

bool SetUpTriangle(const TriangleRecord& tri, bool textured, TriangleSetup* out) {
  for (int i = 0; i < 3; ++i) {
    if (!InRange(tri.v[i][0]) || !InRange(tri.v[i][1])) return false;
    if (textured && (!InRange(tri.v[i][2]) || !InRange(tri.v[i][3]))) return false;
  }
  // Within the range every centred coordinate fits a signed 32-bit value;
  // the sort keys are those values.
  Fixed f;
  int32_t kx[3], ky[3];
  for (int i = 0; i < 3; ++i) {
    f.x[i] = int64_t(tri.v[i][0]) * kFixOne + kFixHalf;
    f.y[i] = int64_t(tri.v[i][1]) * kFixOne + kFixHalf;
    kx[i] = static_cast<int32_t>(f.x[i]);
    ky[i] = static_cast<int32_t>(f.y[i]);
  }
  int px[3], py[3];
  SortTriangleVertices(kx, ky, px, py);

  // Whole-pixel (and whole-texel) differences from the vertex of least X.
  const int32_t* p0 = tri.v[px[0]];
  const int32_t* p1 = tri.v[px[1]];
  const int32_t* p2 = tri.v[px[2]];
  const int32_t e1x = p1[0] - p0[0], e1y = p1[1] - p0[1];
  const int32_t e2x = p2[0] - p0[0], e2y = p2[1] - p0[1];
  const int32_t area = e1y * e2x - e2y * e1x;
  if (area == 0) return false;

  TriangleGradients& g = out->grad;
  g = TriangleGradients{};
  if (textured) {
    const int32_t e1u = p1[2] - p0[2], e1v = p1[3] - p0[3];
    const int32_t e2u = p2[2] - p0[2], e2v = p2[3] - p0[3];
    if (!Gradient(e1y * e2u - e2y * e1u, area, &g.ux)) return false;
    if (!Gradient(e1u * e2x - e1x * e2u, area, &g.uy)) return false;
    if (!Gradient(e1y * e2v - e2y * e1v, area, &g.vx)) return false;
    if (!Gradient(e2x * e1v - e1x * e2v, area, &g.vy)) return false;
    g.u0 = static_cast<uint32_t>(p0[2]) * uint32_t(kFixOne);
    g.v0 = static_cast<uint32_t>(p0[3]) * uint32_t(kFixOne);
  }
  g.x0 = static_cast<int32_t>(FixPix(f.x[px[0]]));
  g.y0 = static_cast<int32_t>(FixPix(f.y[px[0]]));

  const int t = py[0], m = py[1], b = py[2];
  TriangleSide& left = out->left;
  TriangleSide& right = out->right;
  left.count = right.count = 1;
  if (f.y[t] == f.y[m]) {
    const int rt = f.x[t] > f.x[m] ? t : m;
    const int lt = rt == t ? m : t;
    left.edge[0] = Edge(f, lt, b, f.x[lt]);
    right.edge[0] = Edge(f, rt, b, f.x[rt]);
  } else if (f.y[m] == f.y[b]) {
    const int lb = f.x[m] > f.x[b] ? b : m;
    const int rb = lb == b ? m : b;
    left.edge[0] = Edge(f, t, lb, f.x[t]);
    right.edge[0] = Edge(f, t, rb, f.x[t]);
  } else {
    // Inverse slopes in pixels of x per row; the middle vertex lies on the
    // left when the long edge leans further right.
    const double long_slope =
        double(f.x[b] - f.x[t]) / (double(f.y[b] - f.y[t]) * (1.0 / 262144.0));
    const double short_slope =
        double(f.x[m] - f.x[t]) / (double(f.y[m] - f.y[t]) * (1.0 / 262144.0));
    if (long_slope > short_slope) {
      left.count = 2;
      left.edge[0] = Edge(f, t, m, f.x[t]);
      left.edge[1] = Edge(f, m, b, f.x[m]);
      right.edge[0] = Edge(f, t, b, f.x[t]);
    } else {
      left.edge[0] = Edge(f, t, b, f.x[t]);
      right.count = 2;
      right.edge[0] = Edge(f, t, m, f.x[t]);
      right.edge[1] = Edge(f, m, b, f.x[m] + 1);
    }
  }
  for (int i = 0; i < left.count; ++i) {
    if (left.edge[i].rows <= 0) return false;
  }
  for (int i = 0; i < right.count; ++i) {
    if (right.edge[i].rows <= 0) return false;
  }
  out->first_row = static_cast<int32_t>(FixPix(f.y[t]));
  return true;
}

}  // namespace softrender
