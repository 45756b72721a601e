#include "engine/graphics/image/jpeg_codec.h"

int DecodeJpegStream(const StreamOps*, StreamHandle, GraphImage*) { return -1; }
