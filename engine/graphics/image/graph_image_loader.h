// Loading decoded images from a file or a memory block, with an optional
// separate alpha image.
//
// Files are opened through the stream table (so they may come from an
// archive), memory blocks through a memory stream; either way the data goes
// through DecodeImageStream. The alpha image of a file "name.ext" is the file
// "name_a.ext": "_a" goes before the last '.' of the whole path, or at the
// end when there is none. Paths are Shift-JIS; a '.' byte is never the
// second byte of a double-byte character.
#pragma once

#include <cstdint>
#include <string>

#include "engine/graphics/image/graph_image.h"

// The alpha image's file name for a file name.
std::string AlphaImageFileName(const char* name);

// Decodes the file (fromMemory 0) or the size bytes at data (fromMemory 1)
// into out. convert 1 copies the pixels once more through ConvertColorBlt
// into the same format. Handing the result out as a device-independent
// bitmap (toBitmap 1, with bitmapInfo and bitmapBits) is not available and
// is refused. 0, or -1 (out zero-filled) when the data cannot be opened or
// decoded, or memory fails.
int LoadGraphImage(const char* file, const void* data, int32_t size, int fromMemory, int toBitmap,
                   int convert, GraphImage* out, void** bitmapInfo, void** bitmapBits);

// LoadGraphImage of the main image into image (-1 when it fails), then the
// alpha image into alpha: from memory (alphaFromMemory 1 with alphaData
// given) or from the file AlphaImageFileName(file) (alphaFromMemory 0 and a
// file name given). An alpha image smaller than the main image in either
// direction is dropped, since the pixel transfers read both at the same
// positions. 0 when both were decoded, 1 when only the main image was
// (alpha then zero-filled).
int LoadGraphFileWithAlpha(const char* file, const void* data, int32_t size, int fromMemory,
                           const void* alphaData, int32_t alphaSize, int alphaFromMemory,
                           GraphImage* image, GraphImage* alpha, int convert);
