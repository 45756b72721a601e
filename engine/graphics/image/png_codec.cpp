#include "engine/graphics/image/png_codec.h"

int DecodePngStream(const StreamOps*, StreamHandle, GraphImage*) { return -1; }
