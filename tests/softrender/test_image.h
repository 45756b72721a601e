// Memory images for the renderer's tests, built field by field (pixels,
// palette and run table owned by the TestImage), and a run-table builder
// that follows the run-table rules of the memory image: per row, runs of 1-64
// pixels of one class (0x00 transparent, 0x40 opaque, 0x80 partly
// transparent for alpha images), then 0xC0.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "engine/graphics/image/memimg.h"

namespace softrender_test {

struct TestImage {
  std::unique_ptr<MEMIMG> img = std::make_unique<MEMIMG>();
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> runs;
  std::unique_ptr<ColorFormat> format = std::make_unique<ColorFormat>();

  MEMIMG* get() { return img.get(); }
  const MEMIMG* get() const { return img.get(); }
  int BytesPerPixel() const { return format->PixelByte; }
  uint8_t* Pixel(int x, int y) { return img->Pixels + y * img->Pitch + x * BytesPerPixel(); }
  uint32_t Get(int x, int y) const;
  void Set(int x, int y, uint32_t v);
};

// kind 0 or 1 (or 2 for a blend image); pitch = width * bytes + extra.
TestImage MakeImage(int kind, int palette, int alpha, int width, int height, int pitch_extra = 0);

// Builds the run table from the pixels and sets RunTableValid.
void BuildRunTable(TestImage& image);

// Copy of an image (pixels and fields), for comparing two draws.
TestImage CloneImage(const TestImage& image);

}  // namespace softrender_test
