// The BMP writer of screen saves. An 8-bit area is written as an 8-bit
// bitmap with its 256-entry palette (data at 1,078), any other as a 24-bit
// bitmap (data at 54); rows bottom first, each padded with zeros to a
// multiple of 4 bytes; no compression. 24-bit pixels are blue, green, red:
// a 32- or 24-bit source keeps its three low bytes as they stand, a 16-bit
// one has each channel moved to the top of its byte (5-6-5 white is
// F8 FC F8).
#pragma once

#include "engine/graphics/image/image_area.h"

// Deletes an existing file of the name and creates it anew. 0, or -1 for an
// empty area, a depth other than 8, 16, 24 or 32, no memory, or a file that
// cannot be created or written (a partly written file may remain). Memory
// and file failures are logged.
int WriteBmpFile(const char* name, const ImageArea* area);
