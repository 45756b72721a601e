// The Direct3D back ends of graph and box draws.
#include "engine/graphics/surface_draw_3d.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <vector>

#include "engine/core/base/library_state.h"
#include "engine/core/base/number_helpers.h"
#include "engine/core/base/rect_helpers.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/render_state_cache.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/vertex_batch.h"

namespace d3d = platform::d3d;

namespace {

// One corner of a quad: position, the graphic's texture coordinates and the
// blend graphic's (used in format 2 only).
struct QuadCorner {
  float x, y, u, v, bu, bv;
};
using Quad = std::array<QuadCorner, 4>;  // top-left, top-right, bottom-left, bottom-right

constexpr int kQuadOrder[6] = {kCornerTopLeft, kCornerTopRight, kCornerBottomLeft,
                               kCornerBottomRight, kCornerBottomLeft, kCornerTopRight};
constexpr uint32_t kGridListLimit = 1000;

float VertexZ() { return CurrentDrawState.Direct3DRatio; }
float SurfaceX() { return static_cast<float>(CurrentDrawState.TargetSurfaceRect.left); }
float SurfaceY() { return static_cast<float>(CurrentDrawState.TargetSurfaceRect.top); }

// The device for a draw: null with *result -1 when Direct3D cannot take it,
// null with 0 while suspended.
DeviceRecord3D* DrawDevice(int* result) {
  *result = -1;
  if (!IsDirect3DRunning()) return nullptr;
  DeviceRecord3D* r = GetDeviceRecord3D(GetDirect3DState().CurrentDevice);
  if (r == nullptr || !IsDeviceUsable3D(*r)) return nullptr;
  if (GetDirect3DState().Suspended3D != 0) {
    *result = 0;
    return nullptr;
  }
  return r;
}

void EndDrawOnFront(DeviceRecord3D& r) {
  if (GetDirect3DState().FrontTargetFlag != 0) EndScene3D(r);
}

int DepthFlag() { return CurrentDrawState.Direct3DOptions[0] != 0 ? kPrepareDepth : 0; }

// A live piece with its texture's store.
struct Piece {
  const Surface3D* surface = nullptr;
  const SurfaceData* data = nullptr;
};

Piece PieceAt(const GraphRecord& g, int index) {
  Piece p;
  if (index < 0 || index >= g.PieceCount || index >= kGraphMaxPieces) return p;
  p.surface = GetSurface3DData(g.Pieces[static_cast<size_t>(index)]);
  if (p.surface == nullptr) return p;
  p.data = GetSurfaceData(p.surface->SurfaceData);
  if (p.data == nullptr || p.data->Surface == nullptr) p.surface = nullptr;
  return p;
}

// The per-draw preparation with the first piece; -1 when it is not live.
int PrepareGraph(const GraphRecord& g, int transparent, int extraFlags) {
  const Piece first = PieceAt(g, 0);
  if (first.surface == nullptr) return -1;
  const DrawTexture3D t{first.data->Surface, first.data->AlphaChFlag, first.data->AlphaTestFlag};
  PrepareDraw3D(&t, (transparent != 0 ? kPrepareTransparent : 0) | DepthFlag() | extraFlags);
  return 0;
}

// The piece's texture on the device, committed; false when not live.
bool BindPiece(DeviceRecord3D& r, const Piece& p) {
  if (p.surface == nullptr) return false;
  if (r.Texture != p.data->Surface) SetDrawTexture3D(r, p.data->Surface);
  if (r.BlendDirty != 0 || r.TextureDirty != 0) CommitBlendState3D(r);
  return true;
}

float InvTexWidth(const Piece& p) { return p.data->Width > 0 ? 1.0f / p.data->Width : 0.0f; }
float InvTexHeight(const Piece& p) { return p.data->Height > 0 ? 1.0f / p.data->Height : 0.0f; }

// A quad with the corners' own texture coordinates and blend coordinates of
// their graph positions.
Quad PieceQuad(const Surface3D& s) {
  const Direct3DState& d = GetDirect3DState();
  Quad q;
  for (size_t i = 0; i < 4; ++i) {
    const Corner3D& c = s.Corners[i];
    q[i] = QuadCorner{c.X, c.Y, c.U, c.V, c.X * d.BlendTextureInvWidth, c.Y * d.BlendTextureInvHeight};
  }
  return q;
}

// Six vertices of the quad into the batch in the format the commit chose;
// the colour goes into the first and fourth only.
void AppendQuad(DeviceRecord3D& r, const Quad& q) {
  const uint32_t first = ReserveBatchVertices3D(r, d3d::kPrimTriangleList, 6);
  const float z = VertexZ();
  const uint32_t color = GetDirect3DState().VertexColor;
  VertexBatch3D& b = r.Batch;
  for (uint32_t i = 0; i < 6; ++i) {
    const QuadCorner& c = q[static_cast<size_t>(kQuadOrder[i])];
    const bool colored = i == 0 || i == 3;
    if (b.Format == 2) {
      d3d::VertexTwoTexture& v = b.TwoTexture[first + i];
      v.x = c.x, v.y = c.y, v.z = z;
      if (colored) v.diffuse = color;
      v.u0 = c.bu, v.v0 = c.bv, v.u1 = c.u, v.v1 = c.v;
    } else if (b.Format == 1) {
      d3d::VertexTextured& v = b.Textured[first + i];
      v.x = c.x, v.y = c.y, v.z = z;
      if (colored) v.diffuse = color;
      v.u = c.u, v.v = c.v;
    } else {
      d3d::VertexColored& v = b.Colored[first + i];
      v.x = c.x, v.y = c.y, v.z = z;
      if (colored) v.diffuse = color;
    }
  }
}

// Clamps a corner coordinate into [lo, hi]; the texture coordinate moves by
// the clamped distance times texPerPixel, the blend coordinate by it times
// blendPerPixel, so the texture stays registered.
void ClampAxis(float& pos, float& tex, float& blend, float lo, float hi, float texPerPixel,
               float blendPerPixel) {
  const float clamped = std::clamp(pos, lo, hi);
  const float moved = clamped - pos;
  if (moved == 0.0f) return;
  tex += moved * texPerPixel;
  blend += moved * blendPerPixel;
  pos = clamped;
}

// The inside / outside tests on whole-pixel rectangles: 1 inside, 0 partly,
// -1 wholly outside.
int Placement(int64_t left, int64_t top, int64_t right, int64_t bottom) {
  const IntRect& a = CurrentDrawState.DrawArea;
  if (right <= a.left || left >= a.right || bottom <= a.top || top >= a.bottom) return -1;
  return (left >= a.left && top >= a.top && right <= a.right && bottom <= a.bottom) ? 1 : 0;
}

float CoordFromBits(int value, int integerCoords) {
  return integerCoords != 0 ? static_cast<float>(value) : std::bit_cast<float>(value);
}
int TruncatedCoord(int value, int integerCoords) {
  return integerCoords != 0 ? value : FloatToInt(std::bit_cast<float>(value));
}

// Direct draws outside the batch follow the batch's rules: nothing while
// the library quits or the commit asked to skip drawing.
bool DirectDrawAllowed(const DeviceRecord3D& r) { return GetQuitFlag() == 0 && r.SkipDraw == 0; }

// ---- Rotation ----

bool Near(float a, float b) { return a == b || std::fabs(a - b) < 0.01f; }
bool Whole(float v) {
  const float f = std::fabs(v - std::trunc(v));
  return f < 0.001f || f > 0.999f;
}
bool WholeCentre(float v) { return std::fabs(v - std::trunc(v)) < 0.00001f; }

// Within 4 degrees of a right angle from 0 to 360, or outside -4 to 364.
bool NearRightAngle(double angle) {
  constexpr double kTolerance = 0.0698131700797732;
  constexpr double kQuarter = 1.5707963267948966;
  if (angle < -kTolerance || angle > 4 * kQuarter + kTolerance) return true;
  for (int k = 0; k <= 4; ++k) {
    if (std::fabs(angle - k * kQuarter) <= kTolerance) return true;
  }
  return false;
}

struct RotationSetup {
  float px, py;      // pivot
  float hx, hy;      // half sizes
  bool symmetric;    // one-piece form: bottom corners reflect the top ones
  bool wholeCentre;
  float scale;
  float sine, cosine;
  float flip;        // -1 when turned
};

RotationSetup SetUpRotation(float cx, float cy, double scale, double angle, const GraphRecord& g,
                            int turn) {
  RotationSetup r{};
  const bool whole = WholeCentre(cx) && WholeCentre(cy);
  const bool evenW = g.Width % 2 == 0, evenH = g.Height % 2 == 0;
  const float halfW = static_cast<float>(g.Width) * 0.5f, halfH = static_cast<float>(g.Height) * 0.5f;
  r.wholeCentre = whole;
  r.px = cx, r.py = cy;
  r.hx = halfW, r.hy = halfH;
  r.symmetric = false;
  if (whole) {
    if (scale != 1.0) {
      r.px = cx - 0.5f, r.py = cy - 0.5f;
      r.symmetric = true;
    } else if (evenW && evenH) {
      r.px = cx - 0.5f, r.py = cy - 0.5f;
      r.hx = static_cast<float>(g.Width / 2), r.hy = static_cast<float>(g.Height / 2);
    } else if (!evenW && !evenH) {
      r.symmetric = true;
    } else {
      if (evenW) r.hx -= 0.5f;
      if (evenH) r.hy -= 0.5f;
    }
  }
  r.symmetric = r.symmetric && g.PieceCount == 1;
  r.scale = static_cast<float>(scale);
  r.flip = turn == 1 ? -1.0f : 1.0f;
  if (angle == 0.0) {
    r.sine = 0.0f, r.cosine = 1.0f;
  } else {
    r.sine = static_cast<float>(std::sin(angle));
    r.cosine = static_cast<float>(std::cos(angle));
  }
  return r;
}

void RotatePoint(const RotationSetup& r, float gx, float gy, float* x, float* y) {
  const float ox = (gx - r.hx) * r.scale * r.flip;
  const float oy = (gy - r.hy) * r.scale;
  *x = r.px + ox * r.cosine - oy * r.sine;
  *y = r.py + ox * r.sine + oy * r.cosine;
}

// The half-pixel snap of a rotated quad (format 1, angle not 0).
void SnapRotatedQuad(Quad& q, const RotationSetup& r, double angle, const GraphRecord& g) {
  const QuadCorner& tl = q[kCornerTopLeft];
  const QuadCorner& tr = q[kCornerTopRight];
  const QuadCorner& bl = q[kCornerBottomLeft];
  const bool nearX = Near(tl.x, bl.x) || Near(tl.x, tr.x);
  const bool nearY = Near(tl.y, tr.y) || Near(tl.y, bl.y);
  bool snapX = false, snapY = false;
  if (r.wholeCentre) {
    if ((g.Width % 2 == 0 && g.Height % 2 == 0) || !NearRightAngle(angle)) return;
    if (r.symmetric) {
      snapX = nearX;
      snapY = nearY;
    } else {
      snapX = g.Width % 2 == 1 && nearX && Whole(tl.x);
      snapY = g.Height % 2 == 1 && nearY && Whole(tl.y);
    }
  } else {
    snapX = nearX && Whole(tl.x);
    snapY = nearY && Whole(tl.y);
  }
  for (QuadCorner& c : q) {
    if (snapX) c.x -= 0.5f;
    if (snapY) c.y -= 0.5f;
  }
}

// ---- Four points ----

struct Point {
  float x, y;
};

float Cross(Point o, Point a, Point b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

int DrawQuadPiece3D(DeviceRecord3D& r, const Piece& piece, const std::array<Point, 4>& p) {
  if (!BindPiece(r, piece)) return -1;
  const Surface3D& s = *piece.surface;
  const Point& p1 = p[0];
  const Point& p2 = p[1];
  const Point& p3 = p[2];
  const Point& p4 = p[3];
  const bool parallelogram =
      std::fabs((p2.x - p1.x) - (p4.x - p3.x)) < 1.0f && std::fabs((p2.y - p1.y) - (p4.y - p3.y)) < 1.0f &&
      std::fabs((p3.x - p1.x) - (p4.x - p2.x)) < 1.0f && std::fabs((p3.y - p1.y) - (p4.y - p2.y)) < 1.0f;
  if (parallelogram) {
    Quad q = PieceQuad(s);
    for (size_t i = 0; i < 4; ++i) q[i].x = p[i].x, q[i].y = p[i].y;
    if (Cross(p1, p2, p3) <= 0.0f && Cross(p4, p3, p2) <= 0.0f) {
      // The other winding: the second and third vertex (and the fifth and
      // sixth) change places, which is the top-right and bottom-left corner.
      std::swap(q[kCornerTopRight], q[kCornerBottomLeft]);
    }
    AppendQuad(r, q);
    return 0;
  }
  constexpr int kSide = 8;
  std::array<d3d::VertexTextured, kSide * kSide> grid{};
  const float uL = s.Corners[kCornerTopLeft].U, uR = s.Corners[kCornerTopRight].U;
  const float vT = s.Corners[kCornerTopLeft].V, vB = s.Corners[kCornerBottomLeft].V;
  const uint32_t color = GetDirect3DState().VertexColor;
  const float z = VertexZ();
  for (int j = 0; j < kSide; ++j) {
    const float fj = static_cast<float>(j) / (kSide - 1);
    const Point a{p1.x + (p3.x - p1.x) * fj, p1.y + (p3.y - p1.y) * fj};
    const Point b{p2.x + (p4.x - p2.x) * fj, p2.y + (p4.y - p2.y) * fj};
    for (int i = 0; i < kSide; ++i) {
      const float fi = static_cast<float>(i) / (kSide - 1);
      d3d::VertexTextured& v = grid[static_cast<size_t>(j * kSide + i)];
      v.x = a.x + (b.x - a.x) * fi;
      v.y = a.y + (b.y - a.y) * fi;
      v.z = z;
      v.rhw = 1.0f;
      v.diffuse = color;
      v.u = uL + (uR - uL) * fi;
      v.v = vT + (vB - vT) * fj;
    }
  }
  return DrawGridStrips3D(r, kSide, grid.data(), kSide);
}

}  // namespace

int DrawSurface3D(int x, int y, const GraphRecord& graph, int transparent, int integerCoords) {
  int result = 0;
  DeviceRecord3D* rp = DrawDevice(&result);
  if (rp == nullptr) return result;
  DeviceRecord3D& r = *rp;
  const int ix = TruncatedCoord(x, integerCoords), iy = TruncatedCoord(y, integerCoords);
  const int placement = Placement(ix, iy, int64_t{ix} + graph.Width, int64_t{iy} + graph.Height);
  if (placement < 0) return 0;
  BeginScene3D();
  if (PrepareGraph(graph, transparent, integerCoords == 1 ? kPrepareIntegerCoords : 0) != 0) return -1;
  const float baseX = CoordFromBits(x, integerCoords) - 0.5f + SurfaceX();
  const float baseY = CoordFromBits(y, integerCoords) - 0.5f + SurfaceY();
  const IntRect& a = CurrentDrawState.DrawArea;
  const float left = SurfaceX() + static_cast<float>(a.left), right = SurfaceX() + static_cast<float>(a.right);
  const float top = SurfaceY() + static_cast<float>(a.top), bottom = SurfaceY() + static_cast<float>(a.bottom);
  const Direct3DState& d = GetDirect3DState();
  for (int i = 0; i < graph.PieceCount && i < kGraphMaxPieces; ++i) {
    const Piece piece = PieceAt(graph, i);
    if (!BindPiece(r, piece)) return -1;
    Quad q = PieceQuad(*piece.surface);
    for (QuadCorner& c : q) {
      c.x += baseX;
      c.y += baseY;
      if (placement == 0) {
        ClampAxis(c.x, c.u, c.bu, left, right, InvTexWidth(piece), d.BlendTextureInvWidth);
        ClampAxis(c.y, c.v, c.bv, top, bottom, InvTexHeight(piece), d.BlendTextureInvHeight);
      }
    }
    AppendQuad(r, q);
  }
  EndDrawOnFront(r);
  return 0;
}

int DrawStretchSurface3D(int x1, int y1, int x2, int y2, const GraphRecord& graph, int transparent,
                         int integerCoords) {
  int result = 0;
  DeviceRecord3D* rp = DrawDevice(&result);
  if (rp == nullptr) return result;
  DeviceRecord3D& r = *rp;
  const int ix1 = TruncatedCoord(x1, integerCoords), iy1 = TruncatedCoord(y1, integerCoords);
  const int ix2 = TruncatedCoord(x2, integerCoords), iy2 = TruncatedCoord(y2, integerCoords);
  if (ix1 == ix2 || iy1 == iy2) return -1;
  const int placement = Placement(std::min(ix1, ix2), std::min(iy1, iy2), std::max(ix1, ix2),
                                  std::max(iy1, iy2));
  if (placement < 0) return 0;
  if (graph.Width <= 0 || graph.Height <= 0) return 0;
  BeginScene3D();
  const int integerFlag =
      integerCoords == 1 && CurrentDrawState.FilterMode != 1 ? kPrepareIntegerCoords : 0;
  if (PrepareGraph(graph, transparent, integerFlag) != 0) return -1;
  const float fx1 = CoordFromBits(x1, integerCoords), fy1 = CoordFromBits(y1, integerCoords);
  const float fx2 = CoordFromBits(x2, integerCoords), fy2 = CoordFromBits(y2, integerCoords);
  const float width = static_cast<float>(graph.Width), height = static_cast<float>(graph.Height);
  const float spanX = fx2 - fx1, spanY = fy2 - fy1;
  // Screen pixels per graph pixel (negative when mirrored).
  const float scaleX = spanX / width, scaleY = spanY / height;
  const float baseX = fx1 - 0.5f + SurfaceX(), baseY = fy1 - 0.5f + SurfaceY();
  const IntRect& a = CurrentDrawState.DrawArea;
  const float left = SurfaceX() + static_cast<float>(a.left) - 0.5f;
  const float right = SurfaceX() + static_cast<float>(a.right) - 0.5f;
  const float top = SurfaceY() + static_cast<float>(a.top) - 0.5f;
  const float bottom = SurfaceY() + static_cast<float>(a.bottom) - 0.5f;
  const Direct3DState& d = GetDirect3DState();
  for (int i = 0; i < graph.PieceCount && i < kGraphMaxPieces; ++i) {
    const Piece piece = PieceAt(graph, i);
    if (!BindPiece(r, piece)) return -1;
    Quad q = PieceQuad(*piece.surface);
    for (QuadCorner& c : q) {
      c.x = baseX + c.x * spanX / width;
      c.y = baseY + c.y * spanY / height;
      if (placement == 0) {
        // A clamped screen distance is distance / scale graph pixels.
        ClampAxis(c.x, c.u, c.bu, left, right, InvTexWidth(piece) / scaleX,
                  d.BlendTextureInvWidth / scaleX);
        ClampAxis(c.y, c.v, c.bv, top, bottom, InvTexHeight(piece) / scaleY,
                  d.BlendTextureInvHeight / scaleY);
      }
    }
    AppendQuad(r, q);
  }
  EndDrawOnFront(r);
  return 0;
}

int DrawRotateSurface3D(float cx, float cy, double scale, double angle, const GraphRecord& graph,
                        int transparent, int turn) {
  int result = 0;
  DeviceRecord3D* rp = DrawDevice(&result);
  if (rp == nullptr) return result;
  DeviceRecord3D& r = *rp;
  if (scale == 0.0) return -1;
  BeginScene3D();
  if (PrepareGraph(graph, transparent, 0) != 0) return -1;
  const RotationSetup setup = SetUpRotation(cx + SurfaceX(), cy + SurfaceY(), scale, angle, graph, turn);
  for (int i = 0; i < graph.PieceCount && i < kGraphMaxPieces; ++i) {
    const Piece piece = PieceAt(graph, i);
    if (!BindPiece(r, piece)) return -1;
    Quad q = PieceQuad(*piece.surface);
    if (setup.symmetric) {
      QuadCorner& tl = q[kCornerTopLeft];
      QuadCorner& tr = q[kCornerTopRight];
      RotatePoint(setup, tl.x, tl.y, &tl.x, &tl.y);
      RotatePoint(setup, tr.x, tr.y, &tr.x, &tr.y);
      q[kCornerBottomRight].x = 2.0f * setup.px - tl.x;
      q[kCornerBottomRight].y = 2.0f * setup.py - tl.y;
      q[kCornerBottomLeft].x = 2.0f * setup.px - tr.x;
      q[kCornerBottomLeft].y = 2.0f * setup.py - tr.y;
    } else {
      for (QuadCorner& c : q) RotatePoint(setup, c.x, c.y, &c.x, &c.y);
    }
    if (r.Batch.Format == 1 && angle != 0.0) SnapRotatedQuad(q, setup, angle, graph);
    AppendQuad(r, q);
  }
  EndDrawOnFront(r);
  return 0;
}

int DrawQuadSurface3D(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                      const GraphRecord& graph, int transparent) {
  int result = 0;
  DeviceRecord3D* rp = DrawDevice(&result);
  if (rp == nullptr) return result;
  DeviceRecord3D& r = *rp;
  if (CurrentDrawState.BlendGraph != -1) {
    return DrawQuadSurface3DInt(FloatToInt(x1), FloatToInt(y1), FloatToInt(x2), FloatToInt(y2),
                                FloatToInt(x3), FloatToInt(y3), FloatToInt(x4), FloatToInt(y4), graph,
                                transparent);
  }
  BeginScene3D();
  if (PrepareGraph(graph, transparent, 0) != 0) return -1;
  const float sx = SurfaceX(), sy = SurfaceY();
  const std::array<Point, 4> p{Point{x1 + sx, y1 + sy}, Point{x2 + sx, y2 + sy}, Point{x3 + sx, y3 + sy},
                               Point{x4 + sx, y4 + sy}};
  if (graph.PieceCount == 1) {
    if (DrawQuadPiece3D(r, PieceAt(graph, 0), p) != 0) return -1;
  } else {
    const float width = static_cast<float>(graph.Width), height = static_cast<float>(graph.Height);
    for (int i = 0; i < graph.PieceCount && i < kGraphMaxPieces; ++i) {
      const Piece piece = PieceAt(graph, i);
      if (piece.surface == nullptr) return -1;
      std::array<Point, 4> corners{};
      for (size_t k = 0; k < 4; ++k) {
        const float fy = piece.surface->Corners[k].Y / height;
        const float fx = piece.surface->Corners[k].X / width;
        const Point left{p[0].x + (p[2].x - p[0].x) * fy, p[0].y + (p[2].y - p[0].y) * fy};
        const Point right{p[1].x + (p[3].x - p[1].x) * fy, p[1].y + (p[3].y - p[1].y) * fy};
        corners[k] = Point{left.x + (right.x - left.x) * fx, left.y + (right.y - left.y) * fx};
      }
      if (DrawQuadPiece3D(r, piece, corners) != 0) return -1;
    }
  }
  EndDrawOnFront(r);
  return 0;
}

int DrawQuadSurface3DInt(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4,
                         const GraphRecord& graph, int transparent) {
  if (x1 == x3 && x2 == x4 && y1 == y2 && y3 == y4) {
    return DrawStretchSurface3D(x1, y1, x4, y4, graph, transparent, 1);
  }
  if (CurrentDrawState.BlendGraph == -1) {
    return DrawQuadSurface3D(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
                             static_cast<float>(y2), static_cast<float>(x3), static_cast<float>(y3),
                             static_cast<float>(x4), static_cast<float>(y4), graph, transparent);
  }
  int result = 0;
  DeviceRecord3D* rp = DrawDevice(&result);
  if (rp == nullptr) return result;
  DeviceRecord3D& r = *rp;
  FlushVertexBatch(r);
  BeginScene3D();
  if (PrepareGraph(graph, transparent, kPrepareIntegerCoords) != 0) return -1;
  const double w = graph.Width > 0 ? graph.Width : 1, h = graph.Height > 0 ? graph.Height : 1;
  // The two triangles' affine maps, in doubles: the int points may be far apart.
  const double ax = x1, ay = y1, bx = x2, by = y2, cx = x3, cy = y3, dx = x4, dy = y4;
  const double offX = SurfaceX() - 0.5, offY = SurfaceY() - 0.5;
  const Direct3DState& d = GetDirect3DState();
  const float z = VertexZ();
  for (int i = 0; i < graph.PieceCount && i < kGraphMaxPieces; ++i) {
    const Piece piece = PieceAt(graph, i);
    if (!BindPiece(r, piece)) return -1;
    std::array<d3d::VertexTwoTexture, 4> two{};
    std::array<d3d::VertexTextured, 4> one{};
    std::array<Point, 4> placed{};
    for (size_t k = 0; k < 4; ++k) {
      const Corner3D& c = piece.surface->Corners[k];
      const double gx = c.X, gy = c.Y;
      double X, Y;
      if (piece.surface->AboveDiagonal[k] != 0) {
        X = ax + gx * (bx - ax) / w + gy * (cx - ax) / h;
        Y = ay + gx * (by - ay) / w + gy * (cy - ay) / h;
      } else {
        X = dx + (gx - w) * (dx - cx) / w + (gy - h) * (dx - bx) / h;
        Y = dy + (gx - w) * (dy - cy) / w + (gy - h) * (dy - by) / h;
      }
      placed[k] = Point{static_cast<float>(X + offX), static_cast<float>(Y + offY)};
      two[k] = d3d::VertexTwoTexture{placed[k].x, placed[k].y, z, c.Rhw, d.VertexColor, 0xFFFFFFFFu,
                                     c.X * d.BlendTextureInvWidth, c.Y * d.BlendTextureInvHeight, c.U, c.V};
      one[k] = d3d::VertexTextured{placed[k].x, placed[k].y, z, c.Rhw, d.VertexColor, c.U, c.V};
    }
    const Point& p1 = placed[0];
    const Point& p2 = placed[1];
    const Point& p3 = placed[2];
    const Point& p4 = placed[3];
    const float a = (p3.y - p1.y) * (p2.x - p1.x) - (p2.y - p1.y) * (p3.x - p1.x);
    const float b = (p2.y - p4.y) * (p3.x - p4.x) - (p3.y - p4.y) * (p2.x - p4.x);
    if ((a <= 0.0f && b <= 0.0f) || (a < 0.0f && b > 0.0f)) {
      std::swap(two[1], two[2]);
      std::swap(one[1], one[2]);
    }
    if (!DirectDrawAllowed(r)) continue;
    if (r.Batch.Format == 2) {
      r.Device->DrawPrimitive(d3d::kPrimTriangleStrip, d3d::kFvfTwoTexture, two.data(), 4, 0);
    } else {
      r.Device->DrawPrimitive(d3d::kPrimTriangleStrip, d3d::kFvfTextured, one.data(), 4, 0);
    }
  }
  EndDrawOnFront(r);
  return 0;
}

int DrawGridStrips3D(DeviceRecord3D& r, int columns, const d3d::VertexTextured* vertices, int rows) {
  if (columns <= 1 || rows <= 1 || vertices == nullptr) return -1;
  const int64_t count = int64_t{columns} * rows;
  if (count > 65536) return -1;
  FlushVertexBatch(r);
  if (!IsDeviceUsable3D(r)) return -1;
  const uint32_t n = static_cast<uint32_t>(columns);
  std::vector<uint16_t> indices;
  indices.reserve(kGridListLimit + 2 * n + 2);
  auto draw = [&] {
    if (!indices.empty() && DirectDrawAllowed(r)) {
      r.Device->DrawIndexedPrimitive(d3d::kPrimTriangleStrip, d3d::kFvfTextured, vertices,
                                     static_cast<uint32_t>(count), indices.data(),
                                     static_cast<uint32_t>(indices.size()), 0);
    }
    indices.clear();
  };
  for (uint32_t row = 0; row + 1 < static_cast<uint32_t>(rows); ++row) {
    if (!indices.empty() && indices.size() + 2 * n + 2 > kGridListLimit) draw();
    if (!indices.empty()) {
      // Two repeated indices join this strip to the one before.
      indices.push_back(indices.back());
      indices.push_back(static_cast<uint16_t>((row + 1) * n));
    }
    for (uint32_t j = 0; j < n; ++j) {
      indices.push_back(static_cast<uint16_t>((row + 1) * n + j));
      indices.push_back(static_cast<uint16_t>(row * n + j));
    }
  }
  draw();
  return 0;
}

namespace {

// VertexColor with each colour channel scaled by the box colour's.
uint32_t BoxVertexColor(uint32_t colour) {
  int r = 0, g = 0, b = 0;
  UnpackScreenColor(colour, &r, &g, &b);
  const uint32_t vc = GetDirect3DState().VertexColor;
  const uint32_t vr = (vc >> 16) & 0xFF, vg = (vc >> 8) & 0xFF, vb = vc & 0xFF;
  const auto scaled = [](uint32_t channel, int by) {
    return channel * static_cast<uint32_t>(std::clamp(by, 0, 255)) / 255;
  };
  return (vc & 0xFF000000u) | scaled(vr, r) << 16 | scaled(vg, g) << 8 | scaled(vb, b);
}

// Device for a box: -1 not running; suspended → 2D; null for -1.
enum class BoxPath { kRefused, k2D, k3D };
BoxPath ChooseBoxPath(DeviceRecord3D** out) {
  *out = nullptr;
  if (!IsDirect3DRunning()) return BoxPath::kRefused;
  if (GetDirect3DState().Suspended3D != 0) return BoxPath::k2D;
  DeviceRecord3D* r = GetDeviceRecord3D(GetDirect3DState().CurrentDevice);
  if (r == nullptr || !IsDeviceUsable3D(*r)) return BoxPath::kRefused;
  *out = r;
  return BoxPath::k3D;
}

}  // namespace

int FillBox3D(int x1, int y1, int x2, int y2, uint32_t colour) {
  DeviceRecord3D* rp = nullptr;
  switch (ChooseBoxPath(&rp)) {
    case BoxPath::kRefused: return -1;
    case BoxPath::k2D: return FillBox2D(x1, y1, x2, y2, colour);
    case BoxPath::k3D: break;
  }
  DeviceRecord3D& r = *rp;
  IntRect box{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
  const IntRect area = CurrentDrawState.DrawArea;
  ClipRect(&box, &area);
  if (box.right <= box.left || box.bottom <= box.top) return 0;
  BeginScene3D();
  PrepareDraw3D(nullptr, DepthFlag());
  if (r.BlendDirty != 0 || r.TextureDirty != 0) CommitBlendState3D(r);
  const uint32_t color = BoxVertexColor(colour);
  const float l = SurfaceX() + static_cast<float>(box.left), rt = SurfaceX() + static_cast<float>(box.right);
  const float t = SurfaceY() + static_cast<float>(box.top), b = SurfaceY() + static_cast<float>(box.bottom);
  const float xs[4] = {l, rt, l, rt}, ys[4] = {t, t, b, b};
  const uint32_t first = ReserveBatchVertices3D(r, d3d::kPrimTriangleList, 6);
  const float z = VertexZ();
  for (uint32_t i = 0; i < 6; ++i) {
    const size_t c = static_cast<size_t>(kQuadOrder[i]);
    d3d::VertexColored& v = r.Batch.Colored[first + i];
    v.x = xs[c], v.y = ys[c], v.z = z;
    if (i == 0 || i == 3) v.diffuse = color;
  }
  EndDrawOnFront(r);
  return 0;
}

int DrawBoxFrame3D(int x1, int y1, int x2, int y2, uint32_t colour) {
  DeviceRecord3D* rp = nullptr;
  switch (ChooseBoxPath(&rp)) {
    case BoxPath::kRefused: return -1;
    case BoxPath::k2D: return DrawBoxFrame2D(x1, y1, x2, y2, colour);
    case BoxPath::k3D: break;
  }
  DeviceRecord3D& r = *rp;
  BeginScene3D();
  PrepareDraw3D(nullptr, DepthFlag());
  if (r.BlendDirty != 0 || r.TextureDirty != 0) CommitBlendState3D(r);
  const uint32_t color = BoxVertexColor(colour);
  if (x2 < x1 || y2 < y1) {
    // Both corners change places, also when only one coordinate was swapped.
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const float X1 = static_cast<float>(x1) + SurfaceX(), Y1 = static_cast<float>(y1) + SurfaceY();
  const float X2 = static_cast<float>(x2) + SurfaceX() - 1.0f;
  const float Y2 = static_cast<float>(y2) + SurfaceY() - 1.0f;
  const float pts[8][2] = {{X1, Y1}, {X2 - 0.1f, Y1}, {X2, Y1},        {X2, Y2 - 0.1f},
                           {X1, Y2}, {X2 + 0.9f, Y2}, {X1, Y1 + 1.0f}, {X1, Y2 - 0.1f}};
  const uint32_t first = ReserveBatchVertices3D(r, d3d::kPrimLineList, 8);
  const float z = VertexZ();
  for (uint32_t i = 0; i < 8; ++i) {
    d3d::VertexColored& v = r.Batch.Colored[first + i];
    v.x = pts[i][0], v.y = pts[i][1], v.z = z;
    v.diffuse = color;
  }
  EndDrawOnFront(r);
  return 0;
}
