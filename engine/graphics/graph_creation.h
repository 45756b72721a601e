// Graphics made from decoded images: from a GraphImage with an optional
// separate alpha image, from an image file (its alpha image is the file with
// "_a" before the extension), from an image held in memory, and graphics
// cut out of another that share its pixels.
//
// A graphic keeps the file name it was loaded from and the folder current
// at the load (FileName, LoadFolder) and where its pixels start in that
// file's image (SourceX, SourceY), so that the restore after a lost display
// can load it again; graphics made from memory keep an empty FileName.
// Sizes and positions in pixels; names Shift-JIS.
#pragma once

#include <cstdint>

#include "engine/graphics/image/graph_image.h"

// A blank graphic fit for image (and alpha, which must have the image's
// size): with an alpha channel when either brings alpha, palettised when
// the image is an 8-bit palette image without any alpha. The handle or -1.
int CreateGraphForImage(const GraphImage* image, const GraphImage* alpha, int want3D);
// CreateGraphForImage, then the pixels transferred in (without a file
// name). mirror and mirrorBoth both 1 mirror the images left-right for the
// transfer (they are mirrored back afterwards). The handle or -1.
int MakeGraphFromImage(GraphImage* image, GraphImage* alpha, int want3D, int mirror,
                       int mirrorBoth);
int MakeGraphFromGraphImage(GraphImage* image);
// Records the file name (null: none) and the current folder on the graphic,
// its source position, and converts image (and alpha) from that position
// into the graphic's storage. 0, or -1 for a bad handle or a failed
// transfer.
int TransferImageToGraph(const char* fileName, const GraphImage* image, const GraphImage* alpha,
                         int sourceX, int sourceY, int handle);
// A graphic from an image file (and its "_a" alpha image). A file no image
// reader takes is tried as a movie; a file that cannot be opened at all logs
// "グラフィックファイル %s がありません". The handle or -1.
int ReadGraphFromFile(const char* file, int want3D, int mirror, int movieKind);
// ReadGraphFromFile in the blend-graphic format.
int LoadGraphForceAlpha(const char* file);
// A graphic from image data in memory, with alpha data or null; an alpha
// block that does not decode only drops the alpha. No FileName. The handle
// or -1.
int CreateGraphFromMemory(const void* data, int32_t size, const void* alphaData,
                          int32_t alphaSize, int want3D, int mirror);
// A graphic sharing the rectangle (x, y, width, height) of source's pixels,
// cut to what the source holds. -1 unless 0 <= x < source width,
// 0 <= y < source height, width > 0 and height > 0, or when the sharing
// fails (logged; nothing is left behind).
int CreateSubGraph(int x, int y, int width, int height, int source);
