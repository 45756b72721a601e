// Saving a rectangle of the current draw target as an image file: type 0
// BMP, 1 JPEG (at the quality given; the second JPEG value is handed on and
// unused), 2 PNG (at the zlib level given). Coordinates are draw-target
// pixels, right and bottom exclusive, in either order; the area is clipped
// to the draw area. The pixels are read where the target keeps them: the
// target's display surface (through the first work surface when it lies in
// video memory) or its memory image (the front screen of software rendering
// is read back from the display first). 8-bit pixels take the display
// palette.
#pragma once

// 0 when the file was written, and for a type other than 0-2 (nothing
// written). -1 when hardware drawing is allowed and no display object
// exists, for an area that clips to nothing (no file), when the surface
// cannot be locked, and when memory, the file or the encoder fails (a
// partial file may then remain).
int SaveScreenArea(int x1, int y1, int x2, int y2, const char* name, int type, int quality,
                   int second, int level);
