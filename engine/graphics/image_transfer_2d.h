// Decoded images into the storage of 2D graphs: a rectangle of a GraphImage
// (with an optional alpha image) converted into a 2D surface's store, which
// is a memory image (converted by TransGraphImageToMemImg, a palette image's
// key found in its drawing palette) or a display surface (locked and written
// with ConvertColorBlt in the screen's format; the alpha image plays no part
// there; on 8-bit screens through a 24-bit bitmap and the surface's device
// context). Positions are store pixels; rectangles left, top, right, bottom.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/image/image_rect.h"
#include "engine/graphics/image/memimg.h"

struct GraphRecord;

// 0, or -1: no display object while hardware drawing is allowed, a bad
// handle, a rectangle outside the image, a failed lock. 0 without writing
// while the graphics are lost.
int TransGraphImageToSurface2D(const ImageRect& rect, int x, int y, int handle, const GraphImage* image,
                               const GraphImage* alpha, int redAsAlpha);
// The image area at (x, y) of the surface's size into the surface's place.
int TransImageToSurface2D(int x, int y, int handle, const GraphImage* image, const GraphImage* alpha,
                          int redAsAlpha);
// The image at (x, y) into every piece of the graph, in piece order.
int TransImageToGraphSurface2D(int x, int y, const GraphRecord& graph, const GraphImage* image,
                               const GraphImage* alpha);
// The rectangle of the image placed at (x, y) of the graph: each piece
// takes the part that overlaps it.
int TransImageRectToGraphSurface2D(const ImageRect& rect, int x, int y, const GraphRecord& graph,
                                   const GraphImage* image, const GraphImage* alpha);

// A movie's current frame as the transfer reads it.
struct MovieFrame {
  int MovieKind;  // 2: 24-bit RGB frames, always converted
  const ColorFormat* SampleFormat;
  int FrameWidth, FrameHeight, FramePitch;
  const uint8_t* FrameBuffer;
};

// The frame into the graph's first piece: converted when the movie is a
// 24-bit one or its depth differs from the store's, else copied row by row.
// Only the part both the frame and the graph cover is written. 0, or -1 for
// a bad piece, a frame without pixels, or a failed lock.
int TransMovieFrameToSurface2D(const MovieFrame& frame, const GraphRecord& graph);

// What a MovieFrameWriter did: nothing, the frame, or the frame with the
// top byte of every 32-bit pixel written as 0xFF.
enum class MovieFrameWrite { kNothing, kWritten, kWrittenTopByteSet };

// Writes a movie's current frame into a store: `rows` rows `pitch` bytes
// apart from `bits`, in the frame's own format.
using MovieFrameWriter = std::function<MovieFrameWrite(uint8_t* bits, int pitch, int rows)>;

// Rows of a rectangle just written: the first (0 = the rectangle's top)
// and their number.
using MovieRowsDone = std::function<void(int first, int rows)>;
// Writes the rectangle (left, top, width x height) of a movie's current
// frame into `bits`, rows `pitch` bytes apart, in the frame's own format,
// the top byte of every 32-bit pixel 0xFF, calling rows_done (when given)
// on each band of rows as it is written, in order; false when it cannot.
using MovieRectWriter = std::function<bool(int left, int top, int width, int height, uint8_t* bits, int pitch,
                                           const MovieRowsDone& rows_done)>;

// The frame written straight into the graph's first piece by `write`
// (FrameBuffer is not read), when it would be copied as it is and the store
// takes all of it: not a 24-bit movie, the store's depth the frame's, graph
// and store at least the frame's size. The spare bits are then set as after
// TransMovieFrameToSurface2D's copy, unless the writer set the top byte and
// the spare bits are exactly that byte. 1 when written; 0 when the frame does
// not fit that way or `write` declines (use TransMovieFrameToSurface2D);
// -1 for a bad piece or a failed lock.
int WriteMovieFrameToSurface2D(const MovieFrame& frame, const GraphRecord& graph, const MovieFrameWriter& write);

// The palette index whose drawing-palette entry equals key (compared on 24
// bits for 32-bit images, on 16 bits otherwise), 0 when none does.
uint32_t FindPaletteKeyIndex(const MEMIMG& image, uint32_t key);
