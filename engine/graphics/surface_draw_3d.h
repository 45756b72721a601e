// The Direct3D back ends of the graph and box draws: a texture graphic at a
// point, stretched to a rectangle, rotated and scaled about a centre, or
// mapped onto four free points; filled and outlined boxes. Every draw turns
// into pre-transformed vertices in the device record's batch (vertex_batch.h):
// a piece of a texture graphic is one quad of six vertices, triangles
// top-left, top-right, bottom-left and bottom-right, bottom-left, top-right;
// shading is flat, so only the first and fourth vertex carry VertexColor.
//
// Positions are target pixels with pixel centres on whole numbers (a graph at
// (0, 0) covers -0.5 to W - 0.5); TargetSurfaceRect's left and top are added.
// Results: -1 when Direct3D is not running, the device record cannot take
// calls or a piece is not live; 0 when drawn, when nothing is to be drawn,
// and while Suspended3D is set (boxes then take the 2D path). After every
// draw the scene is ended while FrontTargetFlag is set.
#pragma once

#include <cstdint>

#include "engine/graphics/d3d_device.h"

struct GraphRecord;

// Coordinates of DrawSurface3D and DrawStretchSurface3D are ints when
// integerCoords is 1, else the bits of floats.
int DrawSurface3D(int x, int y, const GraphRecord& graph, int transparent, int integerCoords);
// x2 < x1 or y2 < y1 mirrors; -1 when the truncated width or height is 0.
int DrawStretchSurface3D(int x1, int y1, int x2, int y2, const GraphRecord& graph, int transparent,
                         int integerCoords);
// Angle in radians; turn mirrors left-right; -1 for a scale of exactly 0.
int DrawRotateSurface3D(float cx, float cy, double scale, double angle, const GraphRecord& graph,
                        int transparent, int turn);
// Points top-left, top-right, bottom-left, bottom-right.
int DrawQuadSurface3D(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                      const GraphRecord& graph, int transparent);
int DrawQuadSurface3DInt(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4,
                         const GraphRecord& graph, int transparent);
// Right and bottom exclusive; colour a ScreenColor value.
int FillBox3D(int x1, int y1, int x2, int y2, uint32_t colour);
int DrawBoxFrame3D(int x1, int y1, int x2, int y2, uint32_t colour);

// Draws a grid of columns x rows textured vertices (row after row) as
// triangle strips joined by repeated indices, one indexed draw per list of
// at most 1,000 indices. -1 unless both are above 1 and the grid can be
// indexed with 16 bits; the batch is flushed first.
int DrawGridStrips3D(DeviceRecord3D& record, int columns, const platform::d3d::VertexTextured* vertices,
                     int rows);
