#include "reference_geometry.h"

#include <cmath>
#include <utility>
#include <vector>

#include "engine/core/base/number_helpers.h"

namespace softrender_test {

// ---- Rotated blit

float RefRoundProductToFloat(int64_t n, double q) {
  if (n == 0 || q == 0.0 || !std::isfinite(q)) return static_cast<float>(static_cast<double>(n) * q);
  int e = 0;
  const double f = std::frexp(q, &e);  // q = f * 2^e, 0.5 <= |f| < 1
  const int64_t m = static_cast<int64_t>(std::ldexp(f, 53));
  const __int128 product = static_cast<__int128>(n) * m;  // the exact value times 2^(53 - e)
  const bool negative = product < 0;
  unsigned __int128 mag = negative ? static_cast<unsigned __int128>(-product)
                                   : static_cast<unsigned __int128>(product);
  int length = 0;
  for (unsigned __int128 t = mag; t != 0; t >>= 1) ++length;
  int shift = length > 24 ? length - 24 : 0;
  uint64_t mantissa = static_cast<uint64_t>(mag >> shift);
  if (shift > 0) {
    const unsigned __int128 rest = mag & ((static_cast<unsigned __int128>(1) << shift) - 1);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    if (rest > half || (rest == half && (mantissa & 1u) != 0)) ++mantissa;
    if (mantissa == (uint64_t{1} << 24)) {
      mantissa >>= 1;
      ++shift;
    }
  }
  const float r = std::ldexp(static_cast<float>(mantissa), e - 53 + shift);
  return negative ? -r : r;
}

RefRotate RefRotateSetUp(uint32_t w, uint32_t h, int32_t cx, int32_t cy, float angle, float scale) {
  RefRotate g;
  float sine = 0, cosine = 0;
  SinCosF(-angle, &sine, &cosine);
  g.sn = FloatToInt(sine * 262144.0f);
  g.cn = FloatToInt(cosine * 262144.0f);
  SinCosF(angle, &sine, &cosine);
  const int32_t sp = FloatToInt(sine * 262144.0f);
  const int32_t cp = FloatToInt(cosine * 262144.0f);

  const float hw = static_cast<float>(w) * scale * 0.5f;
  const float hh = static_cast<float>(h) * scale * 0.5f;
  const float a = hw * static_cast<float>(cp);
  const float b = hw * static_cast<float>(sp);
  const float c = hh * static_cast<float>(cp);
  const float d = hh * static_cast<float>(sp);
  const float ex[4] = {-1.0f, -1.0f, 1.0f, 1.0f};
  const float ey[4] = {-1.0f, 1.0f, 1.0f, -1.0f};
  for (int i = 0; i < 4; ++i) {
    const float x = ex[i] * a - ey[i] * d;
    const float y = ex[i] * b + ey[i] * c;
    g.corner_x[i] = static_cast<int32_t>(static_cast<uint32_t>(FloatToInt(x)) +
                                         static_cast<uint32_t>(cx) * 262144u);
    g.corner_y[i] = static_cast<int32_t>(static_cast<uint32_t>(FloatToInt(y)) +
                                         static_cast<uint32_t>(cy) * 262144u);
  }
  g.inv = 1.0f / scale;
  g.du = FloatToInt(RefRoundProductToFloat(cp, 1.0 / static_cast<double>(scale)));
  g.dv = FloatToInt(RefRoundProductToFloat(g.sn, static_cast<double>(g.inv)));
  g.u_centre = (w / 2) * 262144u;
  g.v_centre = (h / 2) * 262144u;
  g.cx = cx;
  g.cy = cy;
  return g;
}

namespace {

int32_t WrapSum(int64_t a, int64_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b)));
}

}  // namespace

uint32_t RefRotateU(const RefRotate& g, int32_t x, int32_t y) {
  const int64_t dx = int64_t(x) - g.cx, dy = int64_t(y) - g.cy;
  const int32_t sum = WrapSum(dx * g.cn, -(dy * g.sn));
  return static_cast<uint32_t>(FloatToInt(RefRoundProductToFloat(sum, g.inv))) + g.u_centre;
}

uint32_t RefRotateV(const RefRotate& g, int32_t x, int32_t y) {
  const int64_t dx = int64_t(x) - g.cx, dy = int64_t(y) - g.cy;
  const int32_t sum = WrapSum(dy * g.cn, dx * g.sn);
  return static_cast<uint32_t>(FloatToInt(RefRoundProductToFloat(sum, g.inv))) + g.v_centre;
}

// ---- Triangle

namespace {

constexpr int64_t kOne = 0x40000;

int64_t Pix(int64_t a) { return a / kOne; }

// Both orders start as 0, 1, 2; entries i and j are exchanged when the key of
// i is strictly greater, for (i, j) = (0, 1), (0, 2), (1, 2).
void SortByKey(const int64_t key[3], int order[3]) {
  order[0] = 0;
  order[1] = 1;
  order[2] = 2;
  const int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
  for (const auto& p : pairs) {
    if (key[order[p[0]]] > key[order[p[1]]]) std::swap(order[p[0]], order[p[1]]);
  }
}

struct Edge {
  int64_t x, y, slope, rows;
};

}  // namespace

bool RefWalkTriangle(const TriangleRecord& tri, bool textured, const IntRect& area,
                     const std::function<void(int32_t, int32_t, uint32_t, uint32_t)>& pixel) {
  int64_t X[3], Y[3], U[3], V[3];
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < (textured ? 4 : 2); ++k) {
      if (tri.v[i][k] < -8192 || tri.v[i][k] > 8191) return false;
    }
    X[i] = int64_t(tri.v[i][0]) * kOne + kOne / 2;
    Y[i] = int64_t(tri.v[i][1]) * kOne + kOne / 2;
    U[i] = int64_t(tri.v[i][2]) * kOne;
    V[i] = int64_t(tri.v[i][3]) * kOne;
  }
  int p[3], s[3];
  SortByKey(X, p);
  SortByKey(Y, s);

  const int64_t e1x = Pix(X[p[1]] - X[p[0]]), e1y = Pix(Y[p[1]] - Y[p[0]]);
  const int64_t e2x = Pix(X[p[2]] - X[p[0]]), e2y = Pix(Y[p[2]] - Y[p[0]]);
  const int64_t area_px = e1y * e2x - e2y * e1x;
  if (area_px == 0) return false;
  RefTriangle g;
  if (textured) {
    const int64_t e1u = Pix(U[p[1]] - U[p[0]]), e1v = Pix(V[p[1]] - V[p[0]]);
    const int64_t e2u = Pix(U[p[2]] - U[p[0]]), e2v = Pix(V[p[2]] - V[p[0]]);
    const int64_t numerators[4] = {e1y * e2u - e2y * e1u, e1u * e2x - e1x * e2u,
                                   e1y * e2v - e2y * e1v, e2x * e1v - e1x * e2v};
    int32_t* out[4] = {&g.ux, &g.uy, &g.vx, &g.vy};
    for (int i = 0; i < 4; ++i) {
      const double q = static_cast<double>(numerators[i]) * 262144.0 / static_cast<double>(area_px);
      const double t = std::trunc(q);
      if (!(t >= -2147483648.0 && t <= 2147483647.0)) return false;
      *out[i] = static_cast<int32_t>(t);
    }
    g.u0 = static_cast<uint32_t>(U[p[0]]);
    g.v0 = static_cast<uint32_t>(V[p[0]]);
  }
  g.x0 = static_cast<int32_t>(Pix(X[p[0]]));
  g.y0 = static_cast<int32_t>(Pix(Y[p[0]]));

  const int T = s[0], M = s[1], B = s[2];
  auto edge = [&](int64_t start_x, int from, int to) {
    const int64_t rows = Pix(Y[to] - Y[from]);
    return Edge{start_x, Y[from], rows != 0 ? (X[to] - start_x) / rows : 0, rows};
  };
  std::vector<Edge> left, right;
  if (Y[T] == Y[M]) {
    const int top_right = X[T] > X[M] ? T : M;
    const int top_left = top_right == T ? M : T;
    left = {edge(X[top_left], top_left, B)};
    right = {edge(X[top_right], top_right, B)};
  } else if (Y[M] == Y[B]) {
    const int bottom_left = X[M] > X[B] ? B : M;
    const int bottom_right = bottom_left == B ? M : B;
    left = {edge(X[T], T, bottom_left)};
    right = {edge(X[T], T, bottom_right)};
  } else {
    const double long_inverse = double(X[B] - X[T]) / (double(Y[B] - Y[T]) * (1.0 / 262144.0));
    const double short_inverse = double(X[M] - X[T]) / (double(Y[M] - Y[T]) * (1.0 / 262144.0));
    if (long_inverse > short_inverse) {
      left = {edge(X[T], T, M), edge(X[M], M, B)};
      right = {edge(X[T], T, B)};
    } else {
      left = {edge(X[T], T, B)};
      right = {edge(X[T], T, M), edge(X[M] + 1, M, B)};
    }
  }
  for (const Edge& e : left) {
    if (e.rows <= 0) return false;
  }
  for (const Edge& e : right) {
    if (e.rows <= 0) return false;
  }

  size_t li = 0, ri = 0;
  int64_t xL = left[0].x, xR = right[0].x, rowsL = left[0].rows, rowsR = right[0].rows;
  int64_t y = Pix(Y[T]);
  for (;;) {
    int64_t xl = Pix(xL);
    int64_t n = Pix(xR) - xl + 1;
    if (xl < area.left) {
      n -= area.left - xl;
      xl = area.left;
    }
    if (y >= area.top && y < area.bottom && xl < area.right && n > 0) {
      for (int64_t x = xl; n > 0 && x < area.right; ++x, --n) {
        const uint32_t dx = static_cast<uint32_t>(x - g.x0), dy = static_cast<uint32_t>(y - g.y0);
        const uint32_t u = g.u0 + dx * static_cast<uint32_t>(g.ux) + dy * static_cast<uint32_t>(g.uy);
        const uint32_t v = g.v0 + dx * static_cast<uint32_t>(g.vx) + dy * static_cast<uint32_t>(g.vy);
        pixel(static_cast<int32_t>(x), static_cast<int32_t>(y), u, v);
      }
    }
    xL += left[li].slope;
    xR += right[ri].slope;
    ++y;
    if (--rowsL == 0) {
      if (++li == left.size()) return true;
      xL = left[li].x;
      rowsL = left[li].rows;
      y = Pix(left[li].y);
    }
    if (--rowsR == 0) {
      if (++ri == right.size()) return true;
      xR = right[ri].x;
      rowsR = right[ri].rows;
    }
  }
}

}  // namespace softrender_test
