#include "engine/graphics/image/graph_image_loader.h"

#include <cstring>

#include "engine/core/files/file_stream.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/graphics/image/convert_color_blt.h"
#include "engine/graphics/image/image_memory.h"
#include "engine/graphics/image/image_reader.h"

namespace {

// The pixels copied once through the converter, in the same format.
int ConvertInPlace(GraphImage* image) {
  const uint64_t bytes = static_cast<uint64_t>(image->Pitch) * static_cast<uint64_t>(image->Height);
  uint8_t* copy = AllocImageMemory(bytes);
  if (copy == nullptr) return -1;
  const ImageRect whole{0, 0, image->Width, image->Height};
  ConvertColorBlt(copy, image->Pitch, &image->Format, image->Pixels, image->Pitch, &image->Format,
                  nullptr, 0, nullptr, 0, 0, &whole, 0, 0, 0, kDitherNone, 0, 0, 0);
  FreeImageMemory(image->Pixels);
  image->Pixels = copy;
  return 0;
}

}  // namespace

std::string AlphaImageFileName(const char* name) {
  std::string result(name);
  const size_t dot = result.rfind('.');
  if (dot == std::string::npos) return result + "_a";
  return result.insert(dot, "_a");
}

int LoadGraphImage(const char* file, const void* data, int32_t size, int fromMemory, int toBitmap,
                   int convert, GraphImage* out, void** bitmapInfo, void** bitmapBits) {
  std::memset(out, 0, sizeof(*out));
  if (bitmapInfo != nullptr) *bitmapInfo = nullptr;
  if (bitmapBits != nullptr) *bitmapBits = nullptr;
  if (toBitmap) return -1;

  const StreamOps* ops = nullptr;
  StreamHandle stream = 0;
  if (fromMemory) {
    MemoryStream* memory = OpenMemoryStream(data, size);
    if (memory == nullptr) return -1;
    ops = GetMemoryStreamOps();
    stream = MemoryStreamHandle(memory);
  } else {
    if (file == nullptr) return -1;
    stream = StreamOpen(file, 0, 1, 0);
    if (stream == 0) return -1;
    ops = GetTableStreamOps();
  }
  GraphImage image{};
  const int decoded = DecodeImageStream(ops, stream, &image);
  ops->close(stream);
  if (decoded != 0) return -1;
  if (convert && ConvertInPlace(&image) != 0) {
    ReleaseGraphImage(&image);
    return -1;
  }
  *out = image;
  return 0;
}

int LoadGraphFileWithAlpha(const char* file, const void* data, int32_t size, int fromMemory,
                           const void* alphaData, int32_t alphaSize, int alphaFromMemory,
                           GraphImage* image, GraphImage* alpha, int convert) {
  std::memset(alpha, 0, sizeof(*alpha));
  if (LoadGraphImage(file, data, size, fromMemory, 0, convert, image, nullptr, nullptr) != 0) {
    return -1;
  }
  int loaded = -1;
  if (alphaFromMemory) {
    if (alphaData != nullptr) {
      loaded = LoadGraphImage(nullptr, alphaData, alphaSize, 1, 0, convert, alpha, nullptr, nullptr);
    }
  } else if (file != nullptr) {
    const std::string alphaName = AlphaImageFileName(file);
    loaded = LoadGraphImage(alphaName.c_str(), nullptr, 0, 0, 0, convert, alpha, nullptr, nullptr);
  }
  if (loaded != 0) return 1;
  if (alpha->Width < image->Width || alpha->Height < image->Height) {
    ReleaseGraphImage(alpha);
    return 1;
  }
  return 0;
}
