// Saving a rectangle of pixels to an image file: the common part of the
// screen saves. Type 0 writes a BMP file (bmp_writer.h), 1 a JPEG file
// (EncodeJpegFile, at the quality given), 2 a PNG file (EncodePngFile, at
// the zlib level given); other types write nothing. The JPEG writer has no
// use for the second JPEG value, which is accepted and ignored.
#pragma once

#include "engine/graphics/image/image_area.h"

// 0 when the file was written, or for a type other than 0-2 (nothing
// written). -1 for an empty area (nothing written), a depth other than 8,
// 16, 24 or 32, when memory fails or the file cannot be created or
// written; memory and file failures are logged.
int SaveImageArea(const ImageArea* area, const char* name, int type, int quality, int second,
                  int level);
