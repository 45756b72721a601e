#include "engine/graphics/texture_split.h"

#include <algorithm>
#include <cstdint>

#include "engine/core/base/log.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/texture_device.h"

namespace {

struct Piece {
  int texWidth, texHeight, x, y;
};

void LogTooManyPieces() {
  WriteLogF("エラー：画像の分割数が最大数の %d を超えました", kTextureSplitMaxPieces);
}

// The pieces of a graphic in row order, then column order, cut into
// squares when the device wants them; false when there would be more than
// 64 (logged).
bool PlanPieces(const GraphRecord& graph, Piece* pieces, int* count) {
  const int exact = (graph.DrawValid != 0 || graph.BlendGraphFormat != 0) ? 1 : 0;
  int columns[kTextureSplitMaxPieces];
  int rows[kTextureSplitMaxPieces];
  const int nc = ComputeTextureSplit(graph.Width, columns, exact);
  const int nr = ComputeTextureSplit(graph.Height, rows, exact);
  if (nc > kTextureSplitMaxPieces || nr > kTextureSplitMaxPieces ||
      int64_t{nc} * nr > kTextureSplitMaxPieces) {
    LogTooManyPieces();
    return false;
  }
  const bool square = GetTextureDevice().SquareOnly != 0;
  int n = 0;
  int y = 0;
  for (int r = 0; r < nr; ++r) {
    int x = 0;
    for (int c = 0; c < nc; ++c) {
      const int w = columns[c], h = rows[r];
      if (!square || w == h) {
        if (n >= kTextureSplitMaxPieces) {
          LogTooManyPieces();
          return false;
        }
        pieces[n++] = Piece{w, h, x, y};
      } else {
        // Squares of the shorter side, stacked along the longer one. A
        // square that would start past the graphic's edge holds nothing
        // and is left out (its size inside the graphic would be negative).
        const int side = std::min(w, h);
        const int parts = std::max(w, h) / side;
        for (int k = 0; k < parts; ++k) {
          const int px = w > h ? x + k * side : x;
          const int py = w > h ? y : y + k * side;
          if (px >= graph.Width || py >= graph.Height) break;
          if (n >= kTextureSplitMaxPieces) {
            LogTooManyPieces();
            return false;
          }
          pieces[n++] = Piece{side, side, px, py};
        }
      }
      x += w;
    }
    y += rows[r];
  }
  *count = n;
  return true;
}

void DeletePieces(GraphRecord& graph, int count) {
  for (int i = 0; i < count; ++i) DeleteSurface3DData(graph.Pieces[static_cast<size_t>(i)]);
  graph.PieceCount = 0;
}

}  // namespace

int ComputeTextureSplit(int length, int* sizes, int exact, const TextureSplitLimits& limits) {
  const int minSize = limits.MinTextureSize;
  const int maxSize = limits.MaxTextureSize;
  const int m = minSize > 32 ? minSize : 32;
  if (length <= m) {
    int size = m;
    while (size > minSize && size / 2 >= length) size /= 2;
    sizes[0] = size;
    return 1;
  }
  int limit;
  if (exact != 0 || limits.ScreenWidth > maxSize) {
    limit = maxSize;
  } else {
    limit = 8;
    while (limit < limits.ScreenWidth) limit *= 2;
  }
  if (limit < 1) limit = 1;
  int c = limit;
  while (c > m && c > length) c /= 2;
  if (int64_t{c} * 2 <= limit && (exact != 0 || length < limits.ScreenWidth)) {
    sizes[0] = c < length ? c * 2 : c;
    return 1;
  }
  int count = 0;
  const auto put = [&](int index, int size) {
    if (index < kTextureSplitMaxPieces) sizes[index] = size;
  };
  int64_t r = length;
  for (;;) {
    put(count++, c);
    r -= c;
    if (r <= 0) break;
    if (r > (int64_t{3} * c) / 4 && c < limit) {
      put(count - 1, c * 2);
      break;
    }
    while (r < c && c > m) c /= 2;
  }
  if (count >= 2 && count <= kTextureSplitMaxPieces) {
    const int s = sizes[count - 1];
    if (sizes[count - 2] == s && int64_t{s} * 2 <= limit) {
      sizes[count - 2] = s * 2;
      --count;
    }
  }
  return count;
}

int ComputeTextureSplit(int length, int* sizes, int exact) {
  const TextureDevice& device = GetTextureDevice();
  int screenWidth = 640;
  GetScreenSize(&screenWidth, nullptr);
  return ComputeTextureSplit(length, sizes, exact,
                             TextureSplitLimits{device.MinTextureSize, device.MaxTextureSize, screenWidth});
}

void SetTextureSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight) {
  TextureDevice& device = GetTextureDevice();
  const int minSize = std::min(minWidth, minHeight);
  const int maxSize = std::min(maxWidth, maxHeight);
  device.MinTextureSize = minSize <= 0 ? 32 : minSize;
  device.MaxTextureSize = maxSize <= 0 ? 256 : maxSize;
}

int SplitGraphToTextures(GraphRecord& graph) {
  graph.PieceCount = 0;
  if (IsTextureDeviceRunning() == 0) return -1;
  Piece pieces[kTextureSplitMaxPieces];
  int count = 0;
  if (!PlanPieces(graph, pieces, &count)) return -1;
  for (int i = 0; i < count; ++i) {
    const Piece& p = pieces[i];
    const int handle = AddSurface3DData(p.texWidth, p.texHeight, p.x, p.y,
                                        std::min(p.texWidth, graph.Width - p.x),
                                        std::min(p.texHeight, graph.Height - p.y), p.x, p.y,
                                        graph.GraphHandle, -1, 0, 0, graph);
    if (handle == -1) {
      DeletePieces(graph, i);
      return -1;
    }
    graph.Pieces[static_cast<size_t>(i)] = handle;
    SetSurface3DAboveDiagonal(handle, graph.Width, graph.Height);
  }
  graph.PieceCount = count;
  return 0;
}

int MakeSubGraphTextures(GraphRecord& graph, int x, int y, int width, int height,
                         const GraphRecord& parent) {
  graph.PieceCount = 0;
  const int parentCount = std::clamp(parent.PieceCount, 0, kGraphMaxPieces);
  if (parentCount == 0) return -1;
  if (parentCount == 1) {
    const Surface3D* p = GetSurface3DData(parent.Pieces[0]);
    if (p == nullptr) return -1;
    const int handle = AddSurface3DData(0, 0, 0, 0, width, height, x, y, graph.GraphHandle,
                                        parent.Pieces[0], x, y, graph);
    if (handle == -1) return -1;
    SetSurface3DAboveDiagonal(handle, width, height);
    graph.Pieces[0] = handle;
    graph.PieceCount = 1;
    return 0;
  }
  const int64_t right = int64_t{x} + width, bottom = int64_t{y} + height;
  int count = 0;
  for (int i = 0; i < parentCount; ++i) {
    const Surface3D* p = GetSurface3DData(parent.Pieces[static_cast<size_t>(i)]);
    if (p == nullptr) {
      DeletePieces(graph, count);
      return -1;
    }
    const int64_t px = p->GraphX, py = p->GraphY, pw = p->Width, ph = p->Height;
    if (!(px < right && px + pw > x && py < bottom && py + ph > y)) continue;
    const int gx = static_cast<int>(std::max<int64_t>(px - x, 0));
    const int gy = static_cast<int>(std::max<int64_t>(py - y, 0));
    const int w = static_cast<int>(std::min(px + pw, right) - std::max<int64_t>(px, x));
    const int h = static_cast<int>(std::min(py + ph, bottom) - std::max<int64_t>(py, y));
    const int ox = static_cast<int>(std::max<int64_t>(x - px, 0));
    const int oy = static_cast<int>(std::max<int64_t>(y - py, 0));
    const int handle = AddSurface3DData(0, 0, gx, gy, w, h, ox, oy, graph.GraphHandle,
                                        parent.Pieces[static_cast<size_t>(i)], ox, oy, graph);
    if (handle == -1) {
      DeletePieces(graph, count);
      return -1;
    }
    SetSurface3DAboveDiagonal(handle, width, height);
    graph.Pieces[static_cast<size_t>(count++)] = handle;
  }
  graph.PieceCount = count;
  return 0;
}
