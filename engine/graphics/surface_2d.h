// 2D surfaces (HandleType 5): the pieces through which a 2D graphic or a
// font's draw screen reaches its pixels. A Surface2D names a rectangle of a
// SurfaceData (OffsetX/OffsetY, Width x Height in pixels) and its place in
// the owning graphic (PieceX/PieceY); a graphic cut out of another shares the
// parent's SurfaceData at an offset.
//
// Table: 32,768 slots with the next-free rule; handle = slot | (check |
// 0x2800) << 16; a handle with bit 15 of the slot set is refused. Creation
// logs and answers -1 on failure; deleting a bad handle answers 0.
#pragma once

#include <cstdint>

#include "engine/graphics/graph_creation_flags.h"

struct GraphRecord;

struct Surface2D {
  int32_t* LostFlag = nullptr;
  uint16_t PieceX = 0, PieceY = 0;
  uint16_t OffsetX = 0, OffsetY = 0;
  uint16_t Width = 0, Height = 0;
  int32_t OwnerGraph = -1;  // -1: a font's draw screen
  int32_t SurfaceDataHandle = -1;
};

void ResetSurface2DTable();  // drops every record (their data stays; tests)
int GetSurface2DCount();
int GetSurface2DNextFreeIndex();

int AddSurface2D(int width, int height, int pieceX, int pieceY, int owner, const Surface2D* share,
                 int offsetX, int offsetY, const GraphCreationFlags& flags);
Surface2D* GetSurface2D(int handle);
int SetSurface2DLostFlag(int handle, int32_t* flag);
int DeleteSurface2D(int handle);
int DeleteAllSurface2D();
int InitializeSurface2D();

int CreateGraphSurface2D(GraphRecord& graph);
int CreateSubGraphSurface2D(GraphRecord& graph, int x, int y, int width, int height,
                            const GraphRecord& parent);
int DeleteGraphSurface2D(GraphRecord& graph);
int RestoreGraphSurface2D(const GraphRecord& graph);
// The OR of RestoreSurfaceData over every live 2D surface (the main
// surfaces are the screens' code's).
int RestoreAllSurface2DData();
// Calls fn(handle, surface) for every live 2D surface.
void ForEachSurface2D(void (*fn)(int handle, Surface2D& surface));
