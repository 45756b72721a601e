#include "engine/graphics/image/graph_image.h"

#include <cstring>

#include "engine/graphics/image/image_memory.h"

namespace {

uint32_t LoadPixel(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= uint32_t{p[i]} << (8 * i);
  return v;
}

void StorePixel(uint8_t* p, int bytes, uint32_t v) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool HasPixels(const GraphImage* image) {
  return image != nullptr && image->Pixels != nullptr && image->Width > 0 && image->Height > 0;
}

bool Inside(const GraphImage* image, int x, int y) {
  return x >= 0 && y >= 0 && x < image->Width && y < image->Height;
}

}  // namespace

int IsGraphImageSizeAllowed(int64_t width, int64_t height, int64_t pitch) {
  if (width < 1 || height < 1 || pitch < 1) return 0;
  if (width > kMaxGraphImageSide || height > kMaxGraphImageSide) return 0;
  if (pitch > kMaxGraphImageBytes || pitch * height > kMaxGraphImageBytes) return 0;
  return 1;
}

int AllocGraphImagePixels(GraphImage* image, int64_t width, int64_t height, int64_t pitch,
                          int zero) {
  image->Width = image->Height = image->Pitch = 0;
  image->Pixels = nullptr;
  if (!IsGraphImageSizeAllowed(width, height, pitch)) return -1;
  const uint64_t bytes = static_cast<uint64_t>(pitch * height);
  uint8_t* pixels = AllocImageMemory(bytes);
  if (pixels == nullptr) return -1;
  if (zero) std::memset(pixels, 0, static_cast<size_t>(bytes));
  image->Width = static_cast<int32_t>(width);
  image->Height = static_cast<int32_t>(height);
  image->Pitch = static_cast<int32_t>(pitch);
  image->Pixels = pixels;
  return 0;
}

int CreateRgb24GraphImage(int width, int height, GraphImage* image) {
  std::memset(image, 0, sizeof(*image));
  const int64_t pitch = (int64_t{width} * 3 + 3) / 4 * 4;
  if (AllocGraphImagePixels(image, width, height, pitch, 0) != 0) return -1;
  SetRgb24ColorFormat(&image->Format);
  return 0;
}

int CreateArgb32GraphImage(int width, int height, GraphImage* image) {
  std::memset(image, 0, sizeof(*image));
  if (AllocGraphImagePixels(image, width, height, int64_t{width} * 4, 0) != 0) return -1;
  SetArgb32ColorFormat(&image->Format);
  return 0;
}

void ReleaseGraphImage(GraphImage* image) {
  if (image == nullptr) return;
  FreeImageMemory(image->Pixels);
  std::memset(image, 0, sizeof(*image));
}

int FillGraphImage(GraphImage* image, int r, int g, int b, int a) {
  if (!HasPixels(image)) return -1;
  const int bytes = image->Format.PixelByte;
  if (bytes < 2 || bytes > 4) return -1;
  const uint32_t value = PackColor(&image->Format, r, g, b, a);
  for (int y = 0; y < image->Height; ++y) {
    uint8_t* p = image->Pixels + static_cast<int64_t>(y) * image->Pitch;
    for (int x = 0; x < image->Width; ++x, p += bytes) StorePixel(p, bytes, value);
  }
  return 0;
}

int SetGraphImagePixel(GraphImage* image, int x, int y, int r, int g, int b, int a) {
  if (!HasPixels(image) || !Inside(image, x, y)) return -1;
  const int bytes = image->Format.PixelByte;
  if (bytes < 2 || bytes > 4) return -1;
  uint8_t* p = image->Pixels + static_cast<int64_t>(y) * image->Pitch + int64_t{x} * bytes;
  StorePixel(p, bytes, PackColor(&image->Format, r, g, b, a));
  return 0;
}

int GetGraphImagePixel(const GraphImage* image, int x, int y, int* r, int* g, int* b, int* a) {
  if (!HasPixels(image) || !Inside(image, x, y)) return -1;
  const int bytes = image->Format.PixelByte;
  if (bytes < 1 || bytes > 4) return -1;
  const uint8_t* p = image->Pixels + static_cast<int64_t>(y) * image->Pitch + int64_t{x} * bytes;
  if (bytes == 1) {
    const uint8_t* entry = &image->Format.PaletteTable[p[0] * 4];
    if (r) *r = entry[2];
    if (g) *g = entry[1];
    if (b) *b = entry[0];
    if (a) *a = 0;
    return 0;
  }
  // A format whose masks have gaps could scale past 255; such values are
  // held at 255.
  int channels[4] = {};
  UnpackColor(&image->Format, LoadPixel(p, bytes), &channels[0], &channels[1], &channels[2],
              &channels[3]);
  int* outs[4] = {r, g, b, a};
  for (int i = 0; i < 4; ++i) {
    if (outs[i] != nullptr) *outs[i] = channels[i] > 255 ? 255 : channels[i];
  }
  return 0;
}

namespace {

template <int Bytes>
void ReverseRows(GraphImage* image) {
  for (int y = 0; y < image->Height; ++y) {
    uint8_t* left = image->Pixels + static_cast<int64_t>(y) * image->Pitch;
    uint8_t* right = left + int64_t{image->Width - 1} * Bytes;
    for (; left < right; left += Bytes, right -= Bytes) {
      uint8_t swap[Bytes];
      std::memcpy(swap, left, Bytes);
      std::memcpy(left, right, Bytes);
      std::memcpy(right, swap, Bytes);
    }
  }
}

}  // namespace

int ReverseGraphImage(GraphImage* image) {
  if (!HasPixels(image)) return -1;
  switch (image->Format.PixelByte) {
    case 1: ReverseRows<1>(image); return 0;
    case 2: ReverseRows<2>(image); return 0;
    case 3: ReverseRows<3>(image); return 0;
    case 4: ReverseRows<4>(image); return 0;
    default: return -1;
  }
}
