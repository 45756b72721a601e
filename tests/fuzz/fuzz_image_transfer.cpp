// Decoded images of any format, size and pitch (as a damaged file could give
// them) converted into memory images of every kind, at any rectangle and
// position, and copied between memory images: nothing may be read or written
// outside the images.
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/graphics/image/memimg.h"
#include "engine/graphics/image/memimg_transfer.h"

namespace {

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  uint32_t Next(int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint32_t{pos < size ? data[pos++] : 0u} << (8 * i);
    return v;
  }
};

void MakeGraph(Reader& in, GraphImage* image, std::vector<uint8_t>* storage) {
  static const int kBits[4] = {8, 16, 24, 32};
  const int bits = kBits[in.Next(1) & 3];
  CreateColorFormat(&image->Format, bits, in.Next(4), in.Next(4), in.Next(4), in.Next(4));
  for (auto& b : image->Format.PaletteTable) b = static_cast<uint8_t>(in.Next(1));
  image->Width = static_cast<int32_t>(in.Next(1) % 40);
  image->Height = static_cast<int32_t>(in.Next(1) % 40);
  image->Pitch = image->Width * (bits / 8) + static_cast<int32_t>(in.Next(1) % 8);
  storage->assign(static_cast<size_t>(image->Pitch) * image->Height + 1, 0);
  for (auto& b : *storage) b = static_cast<uint8_t>(in.Next(1));
  image->Pixels = storage->data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  GraphImage source{}, alpha{};
  std::vector<uint8_t> sourceBytes, alphaBytes;
  MakeGraph(in, &source, &sourceBytes);
  const bool withAlpha = in.Next(1) & 1;
  if (withAlpha) MakeGraph(in, &alpha, &alphaBytes);

  MEMIMG image;
  std::memset(&image, 0, sizeof(image));
  const uint32_t flags = in.Next(1);
  const int width = static_cast<int>(in.Next(1) % 48), height = static_cast<int>(in.Next(1) % 48);
  if (CreateMemImg(&image, width, height, -1, in.Next(4), flags & 3, (flags >> 2) & 1,
                   (flags >> 3) & 1, 1) != 0)
    return 0;
  const int x = static_cast<int8_t>(in.Next(1)), y = static_cast<int8_t>(in.Next(1));
  const int w = static_cast<int8_t>(in.Next(1)), h = static_cast<int8_t>(in.Next(1));
  const int dx = static_cast<int8_t>(in.Next(1)), dy = static_cast<int8_t>(in.Next(1));
  TransGraphImageToMemImg(&source, withAlpha ? &alpha : nullptr, &image, x, y, w, h, dx, dy,
                          (flags >> 4) & 1);

  MEMIMG other;
  std::memset(&other, 0, sizeof(other));
  if (CreateMemImg(&other, static_cast<int>(in.Next(1) % 48), static_cast<int>(in.Next(1) % 48), -1,
                   0, in.Next(1) & 1, 0, (flags >> 5) & 1, 0) == 0) {
    const ImageRect rect{static_cast<int8_t>(in.Next(1)), static_cast<int8_t>(in.Next(1)),
                         static_cast<int8_t>(in.Next(1)), static_cast<int8_t>(in.Next(1))};
    CopyMemImg(&other, &image, &rect, static_cast<int8_t>(in.Next(1)),
               static_cast<int8_t>(in.Next(1)));
    if (!image.UsePalette && !image.UseAlpha && image.Kind < 2) {
      CopyMemImgToGraphImage(&source, &image, static_cast<int8_t>(in.Next(1)),
                             static_cast<int8_t>(in.Next(1)), static_cast<int8_t>(in.Next(1)),
                             static_cast<int8_t>(in.Next(1)), static_cast<int8_t>(in.Next(1)),
                             static_cast<int8_t>(in.Next(1)), in.Next(4), in.Next(1) & 1);
    }
    ReleaseMemImg(&other);
  }
  ReleaseMemImg(&image);
  return 0;
}
