// 3D surfaces (HandleType 6): the pieces of texture graphics. A piece says
// where it lies in its graphic (GraphX, GraphY, Width, Height), which texture
// holds its pixels (a SurfaceData store, shared by reference count with the
// pieces of graphics cut out of it) and where inside that texture (TexX,
// TexY), where its pixels come from in the image that fills it (SrcX, SrcY),
// and carries its four corner vertices ready for drawing.
//
// Table: 65,536 slots with a high-water index (one past the highest slot in
// use, or 65,536: search for a free slot); handle = slot | (check | 0x3000)
// << 16, so live handles lie in 0x30000000-0x37FFFFFF. Positions and sizes
// in pixels; corner u, v in texture units (0..1).
#pragma once

#include <array>
#include <cstdint>

#include "engine/graphics/graph_creation_flags.h"

struct GraphRecord;

// One pre-transformed corner: position in graph pixels, z 0, rhw 1, colour
// bits 0xFFFFFFFF, texture coordinates.
struct Corner3D {
  float X, Y, Z, Rhw;
  uint32_t Color;
  float U, V;
};
static_assert(sizeof(Corner3D) == 28, "a corner is seven 4-byte values");

enum CornerIndex { kCornerTopLeft = 0, kCornerTopRight = 1, kCornerBottomLeft = 2, kCornerBottomRight = 3 };

struct Surface3D {
  int32_t* LostFlag = nullptr;  // set to 1 when the record is deleted
  uint16_t GraphX = 0, GraphY = 0;
  uint16_t TexX = 0, TexY = 0;
  uint16_t SrcX = 0, SrcY = 0;
  uint16_t Width = 0, Height = 0;
  std::array<Corner3D, 4> Corners{};
  // Per corner: 1 when it lies on or above the graphic's diagonal from its
  // bottom-left to its top-right corner.
  std::array<uint8_t, 4> AboveDiagonal{};
  int32_t OwnerGraph = -1;
  int32_t SurfaceData = -1;  // the texture's store
};

inline constexpr int kSurface3DCapacity = 65536;

// Drops every record without touching the stores (the graph manager's start
// resets the surface-data table beside it; tests).
void ResetSurface3DTable();
int GetSurface3DCount();
int GetSurface3DHighWater();

// A new piece. parent -1: a new texture of texWidth x texHeight with the
// draw state's colour key and these creation bytes. Else the parent piece's
// texture is shared (one more reference) and the parent's TexX, TexY, SrcX,
// SrcY are added to texOffsetX, texOffsetY, srcX, srcY. The corners are
// built from the texture's size. The handle, or -1 (logged).
int AddSurface3DData(int texWidth, int texHeight, int graphX, int graphY, int width, int height,
                     int srcX, int srcY, int ownerGraph, int parent, int texOffsetX, int texOffsetY,
                     const GraphCreationFlags& creationFlags);
Surface3D* GetSurface3DData(int handle);
// Releases the texture reference (the store goes with its last one) and the
// record. -1 for a handle that is not live.
int DeleteSurface3DData(int handle);
// Every live piece; -1 while Direct3D does not run.
int DeleteAllSurfaces3D();
// Every piece of one graphic (PieceCount becomes 0); -1 while Direct3D does
// not run.
int DeleteGraphTextures(GraphRecord& graph);
// Sets the piece's AboveDiagonal bytes against a graphic of that size.
int SetSurface3DAboveDiagonal(int handle, int graphWidth, int graphHeight);
// Calls fn(handle, record) for every live piece in slot order.
void ForEachSurface3D(void (*fn)(int handle, Surface3D& record));
