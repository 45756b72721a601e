#include "engine/graphics/image/image_reader.h"

#include <cstring>

#include "engine/graphics/image/bgra_reader.h"
#include "engine/graphics/image/bmp_reader.h"
#include "engine/graphics/image/dds_reader.h"
#include "engine/graphics/image/jpeg_codec.h"
#include "engine/graphics/image/png_codec.h"
#include "engine/graphics/image/tga_reader.h"

namespace {

const ImageReader kBuiltinReaders[kBuiltinImageReaderCount] = {
    DecodeBmpStream, DecodeJpegStream, DecodePngStream,
    DecodeBgraStream, DecodeTgaStream, DecodeDdsStream,
};

struct ImageReaderTable {
  ImageReader extra[kExtraImageReaderSlots] = {};
  int count = 0;
};

// Filled only by AddImageReader; every caller holds the library lock.
ImageReaderTable& Table() {
  static ImageReaderTable table;
  return table;
}

bool TryReader(ImageReader reader, const StreamOps* ops, StreamHandle stream, GraphImage* out) {
  std::memset(out, 0, sizeof(*out));
  if (ops->seek(stream, 0, 0) != 0) return false;
  if (reader(ops, stream, out) == 0) return true;
  std::memset(out, 0, sizeof(*out));
  return false;
}

}  // namespace

int DecodeImageStream(const StreamOps* ops, StreamHandle stream, GraphImage* out) {
  const ImageReaderTable& table = Table();
  for (int i = 0; i < table.count; ++i) {
    if (TryReader(table.extra[i], ops, stream, out)) return 0;
  }
  for (ImageReader reader : kBuiltinReaders) {
    if (TryReader(reader, ops, stream, out)) return 0;
  }
  std::memset(out, 0, sizeof(*out));
  return -1;
}

int AddImageReader(ImageReader reader) {
  ImageReaderTable& table = Table();
  if (reader == nullptr || table.count >= kExtraImageReaderSlots) return -1;
  table.extra[table.count++] = reader;
  return 0;
}

void ClearImageReaders() { Table() = ImageReaderTable{}; }

int GetImageReaderCount() { return Table().count; }

const ImageReader* GetBuiltinImageReaders() { return kBuiltinReaders; }
