// Pixels into texture pieces: an image rectangle converted into a piece's
// texture (locked where it lies; when the texture cannot be locked, through
// a system-memory texture of the same format that the device then copies
// in), whole images and image rectangles spread over a graphic's pieces,
// movie frames, and the restore of lost textures. Positions are pixels of
// the image or texels of the texture; rectangles left, top, right, bottom
// (right and bottom exclusive).
#pragma once

#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/image/image_rect.h"
#include "engine/graphics/image/memimg.h"
#include "engine/graphics/image_transfer_2d.h"

struct GraphRecord;

// sourceRect of image (with alpha read at the same rectangle when given)
// into the piece's texture at texel (destX, destY). forceAlpha: the texture's
// alpha takes the converted red (blend-graphic format). useAlpha: a texture
// with alpha bits fed by an image without alpha or alpha image takes its
// alpha from the colour key. The rectangle is cut to the image and the
// texture. 0, or -1 when Direct3D does not run, the handle is not live or
// no image is given. A texture that cannot be created or copied in ends the
// process.
int UploadTexture3D(const ImageRect& sourceRect, int destX, int destY, int handle, const GraphImage* image,
                    const GraphImage* alpha, int forceAlpha, int useAlpha);
// Every piece of the graphic from the image area at (x + GraphX, y + GraphY)
// of the piece's size; stops at the first failure (-1).
int UploadImageToGraphTextures(int x, int y, const GraphRecord& graph, const GraphImage* image,
                               const GraphImage* alpha);
// One image rectangle written into the graphic at (destX, destY): each piece
// it overlaps takes its part. Serves graphics whose pieces start at texel
// (0, 0) (the glyph caches).
int UploadImageRectToGraphTextures(const ImageRect& sourceRect, int destX, int destY,
                                   const GraphRecord& graph, const GraphImage* image,
                                   const GraphImage* alpha);
// The movie's current frame into every piece, each from its SrcX, SrcY.
// alphaInLowerHalf: the frame's upper half is the colour image, its lower
// half the alpha image.
int UploadMovieFrame3D(const MovieFrame& frame, int alphaInLowerHalf, const GraphRecord& graph);
// The movie's current frame written by `write` straight into every piece's
// texture, each from its SrcX, SrcY (FrameBuffer is not read), when that
// gives what UploadMovieFrame3D's copy would: 32-bit frames, textures of
// the frame's colour layout (with alpha, taken from the colour key as
// there), every piece's rectangle inside the frame and its texture, and
// textures that lock. 1 when written; 0 when
// the frame does not fit that way or `write` declines (use
// UploadMovieFrame3D; pieces written so far are written again there).
int WriteMovieFrameToTextures3D(const MovieFrame& frame, const GraphRecord& graph, const MovieRectWriter& write);

// A GraphImage describing a memory image's pixels (not owned).
GraphImage GraphImageView(const MEMIMG& image);

// Restores each lost texture of the graphic's pieces (its pixels are gone
// until the graphic is loaded again). -1 when one was lost or a piece is
// bad, else 0.
int RestoreGraphSurfaces3D(const GraphRecord& graph);
// The same for every live piece.
int RestoreLostSurfaces3D();
// Ends one lock of the piece's texture.
int UnlockSurface3D(int handle);
// Fills every piece of a texture graphic with one colour (its own rectangle
// of a shared texture only). -1 for a bad piece or no running device.
int FillGraphTextures(const GraphRecord& graph, int r, int g, int b, int a);
