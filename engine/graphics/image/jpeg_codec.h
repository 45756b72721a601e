// JPEG binding of the image decoder.
//
// DecodeJpegStream is the JPEG slot of the built-in reader list. Until the
// codec is bound it recognises nothing and refuses every stream with -1, so
// the readers after it get their turn.
#pragma once

#include "engine/core/files/file_stream.h"
#include "engine/graphics/image/graph_image.h"

int DecodeJpegStream(const StreamOps* ops, StreamHandle stream, GraphImage* out);
