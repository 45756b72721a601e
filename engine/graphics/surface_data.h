// Surface data (HandleType 7): the pixel stores behind 2D surfaces and
// texture pieces. A store is a memory image (MemImgFlag 1, drawn by the
// software renderer) or a display surface of the stand-in; several 2D
// surfaces may share one (RefCount), so a graphic cut out of another
// outlives its parent's surface.
//
// Table: 65,536 slots with the next-free rule; handle = slot | (check |
// 0x3800) << 16. FormatIndex: 9 a display surface in the screen's format,
// 10-13 memory images (10 16-bit, 11 16-bit with alpha, 12 32-bit, 13 32-bit
// with alpha), 2 the 8-bit blend-graphic image (its colour kind), a texture
// format otherwise. Sizes in pixels, pitches in bytes.
#pragma once

#include <cstdint>

#include "engine/graphics/graph_creation_flags.h"
#include "engine/graphics/image/color_format.h"
#include "engine/graphics/image/image_rect.h"
#include "engine/graphics/image/memimg.h"
#include "platform/display/surface.h"

struct SurfaceData : GraphCreationFlags {
  int32_t* LostFlag = nullptr;  // set to 1 when the record is released
  int32_t MemImgFlag = 0;
  int32_t FormatIndex = 0;
  int32_t DepthFlag = 0;
  platform::display::SurfacePtr Surface;
  MEMIMG Image{};
  platform::display::SurfacePtr DepthSurface;
  MEMIMG DepthImage{};
  uint32_t ColorKey = 0;  // 0x00RRGGBB at creation
  uint16_t Width = 0;
  uint16_t Height = 0;
  int32_t RefCount = 0;
  int32_t LockPitch = 0;
  uint8_t* LockPointer = nullptr;
  int32_t LockCount = 0;
};

inline constexpr int kSurfaceDataFormatScreen = 9;

// Drops every record and its storage (graph manager start, tests).
void ResetSurfaceDataTable();
int GetSurfaceDataCount();
int GetSurfaceDataNextFreeIndex();

// A new store of width x height with the creation bytes adjusted (see the
// .cpp); its storage is made and keyed. The handle, or -1 (logged).
int AllocSurfaceData(int refCount, int width, int height, uint32_t colorKey,
                     const GraphCreationFlags& flags);
SurfaceData* GetSurfaceData(int handle);
int AddSurfaceDataRef(int handle);      // new count, -1 for a bad handle
int ReleaseSurfaceDataRef(int handle);  // new count, -1 for a bad handle
int ReleaseSurfaceData(int handle);     // 0, -1 for a bad handle

int CreateSurfaceDataStorage(int handle);
int ReleaseSurfaceDataStorage(int handle);
int ApplySurfaceDataColorKey(int handle);
// -1 when a lost display surface had to be restored (its pixels are gone).
int RestoreSurfaceData(int handle);
// 0 locked, -2 already locked (the stored pitch and pointer again, one more
// level), -1 failed. point (may be null) moves the pointer to that pixel on
// the first lock. format receives the store's colour format (may be null).
int LockSurfaceData(int handle, int* pitch, uint8_t** pointer, int writeOnly, const int* point,
                    const ColorFormat** format);
int UnlockSurfaceData(int handle);
// Fills the store (or rect of it, null: all) with one colour packed for its
// format: a memory image by FillMemImg, a display surface by a colour-fill
// blit. -1 for a bad handle, or a display store without the display object.
int FillSurfaceData(int handle, int r, int g, int b, int a, const ImageRect* rect = nullptr);
int SetSurfaceDataZBuffer(int handle, int on);

// The ColorFormat of a display surface's pixel format; false for formats
// without one.
bool ColorFormatOfSurface(platform::display::Surface& surface, ColorFormat* out);
// Calls fn(handle, record) for every live store.
void ForEachSurfaceData(void (*fn)(int handle, SurfaceData& data));
