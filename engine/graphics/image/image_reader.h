// The image decoder entry: one list of readers tried in order until one
// accepts the data.
//
// A reader takes a StreamOps with its stream (positioned at 0) and a
// GraphImage to fill; it returns 0 when it decoded the data (the image then
// owns its pixels) or -1 when it refuses it, having freed what it allocated
// and left the image zero-filled. The built-in list is BMP, JPEG, PNG, BGRA,
// TGA, DDS. Ahead of it are kExtraImageReaderSlots slots for readers added at
// run time, tried in the order they were added.
#pragma once

#include "engine/core/files/file_stream.h"
#include "engine/graphics/image/graph_image.h"

using ImageReader = int (*)(const StreamOps* ops, StreamHandle stream, GraphImage* out);

inline constexpr int kExtraImageReaderSlots = 10;
inline constexpr int kBuiltinImageReaderCount = 6;

// Tries every extra reader, then every built-in one, each after seeking the
// stream to 0; the first reader that answers 0 ends the search with 0. -1
// (out zero-filled) when all refuse.
int DecodeImageStream(const StreamOps* ops, StreamHandle stream, GraphImage* out);

// Puts a reader into the next free extra slot. 0, or -1 when the reader is
// null or the ten slots are taken.
int AddImageReader(ImageReader reader);
// Empties the extra slots.
void ClearImageReaders();
int GetImageReaderCount();

// The built-in list in the order it is tried.
const ImageReader* GetBuiltinImageReaders();
