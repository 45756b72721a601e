// The vertex batch of the Direct3D device record and the scene around it.
//
// Draws append pre-transformed vertices of one format (0 untextured, 1 one
// texture, 2 blend graphic; the commit of the render-state cache chooses it)
// and one primitive type; the batch goes out in one DrawPrimitive when a
// state changes (every cached setter flushes first), when it is full, or
// before anything else touches the surfaces. A scene opens at the first draw
// and ends at EndScene3D. Results: 0, or -1 when Direct3D is not running or
// the record cannot take calls.
#pragma once

#include <cstdint>

#include "engine/graphics/d3d_device.h"

// FVF of a vertex format 0-2.
uint32_t BatchFormatFvf(int format);
uint32_t BatchFormatCapacity(int format);

// Writes the fixed parts of every buffered vertex (z 0, rhw 1, specular
// white in format 2); device creation.
void PrepareVertexBuffers3D(DeviceRecord3D& record);

// Draws what is waiting (unless the library quits or SkipDraw is set) and
// empties the batch.
int FlushVertexBatch(DeviceRecord3D& record);
int FlushCurrentVertexBatch();
int BeginScene3D();
int EndScene3D(DeviceRecord3D& record);
int EndCurrentScene3D();
// Before anything outside the 3D back end reads or writes a display surface
// the device may be drawing into (2D draws, clears, read-backs, image
// transfers): what waits in the batch is drawn and the scene ended, so the
// surface holds every 3D draw made before. Nothing while Direct3D is not
// running.
void EndScene3DBeforeSurfaceAccess();

// Makes room for n vertices of primitive type in the current format,
// flushing first when the type differs or the buffer would overflow; the
// index of the first vertex to write. The count already includes them.
uint32_t ReserveBatchVertices3D(DeviceRecord3D& record, uint32_t primitive, uint32_t n);

// VertexColor: alpha = blend value when a blend mode with a strength is set
// (not 0 and not 4, multiply), else 255; colour = DrawBright.
int UpdateVertexColor3D();
