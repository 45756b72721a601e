// Transfers between decoded images (GraphImage) and memory images (MEMIMG).
//
// TransGraphImageToMemImg converts a rectangle of a decoded image, with an
// optional separate alpha image, into a memory image, fills a palette image's
// drawing palette, and, when the whole image was converted into an image with
// a run table, writes the premultiplied copy and the run-length table that
// the blitters' whole-image fast path reads. CopyMemImgToGraphImage writes a
// plain memory image back into a decoded image's pixels. Rectangles are in
// pixels of the source; positions are in pixels of the destination.
#pragma once

#include <cstdint>

#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/image/memimg.h"

void CopyMemImgToGraphImage(GraphImage* dest, const MEMIMG* image, int x, int y, int width,
                            int height, int destX, int destY, uint32_t colorKey,
                            int transparentCopy);

int TransGraphImageToMemImg(const GraphImage* source, const GraphImage* alpha, MEMIMG* image, int x,
                            int y, int width, int height, int destX, int destY, int useKey);

// Writes the premultiplied copy of an alpha image's pixels into PremulPixels.
void BuildMemImgPremul(MEMIMG* image);
// Writes the run-length table of the whole image into RunTable.
void BuildMemImgRunTable(MEMIMG* image);
