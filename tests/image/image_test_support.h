// Small test images over std::vector storage, with pixel access by the
// format's byte count (little-endian), and the test formats used across the
// image tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/graphics/image/color_format.h"

struct TestImage {
  const ColorFormat* format = nullptr;
  int width = 0;
  int height = 0;
  int pitch = 0;
  std::vector<uint8_t> bytes;

  TestImage() = default;
  TestImage(const ColorFormat* f, int w, int h, int extraPitch = 0)
      : format(f),
        width(w),
        height(h),
        pitch(w * f->PixelByte + extraPitch),
        bytes(static_cast<size_t>(pitch) * h + 4, 0) {}

  uint8_t* data() { return bytes.data(); }
  const uint8_t* data() const { return bytes.data(); }

  uint32_t Get(int x, int y) const {
    const uint8_t* p = bytes.data() + y * pitch + x * format->PixelByte;
    uint32_t v = 0;
    for (int i = 0; i < format->PixelByte; ++i) v |= uint32_t{p[i]} << (8 * i);
    return v;
  }
  void Set(int x, int y, uint32_t v) {
    uint8_t* p = bytes.data() + y * pitch + x * format->PixelByte;
    for (int i = 0; i < format->PixelByte; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
};

inline ColorFormat MakeFormat(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  ColorFormat f{};
  CreateColorFormat(&f, bits, r, g, b, a);
  return f;
}

inline void SetPaletteEntry(ColorFormat* f, int index, uint32_t rgb) {
  f->PaletteTable[index * 4 + 0] = static_cast<uint8_t>(rgb);
  f->PaletteTable[index * 4 + 1] = static_cast<uint8_t>(rgb >> 8);
  f->PaletteTable[index * 4 + 2] = static_cast<uint8_t>(rgb >> 16);
  f->PaletteTable[index * 4 + 3] = 0;
}
