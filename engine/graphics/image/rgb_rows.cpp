#include "engine/graphics/image/rgb_rows.h"

#include "engine/graphics/image/image_memory.h"

int BuildRgbRows(const GraphImage* image, RgbRows* out) {
  out->bytes = nullptr;
  out->rows = nullptr;
  if (image == nullptr || image->Pixels == nullptr || image->Width <= 0 || image->Height <= 0) {
    return -1;
  }
  const uint64_t rowBytes = uint64_t{static_cast<uint32_t>(image->Width)} * 3;
  const uint64_t height = static_cast<uint32_t>(image->Height);
  out->bytes = AllocImageMemory(rowBytes * height);
  out->rows = reinterpret_cast<uint8_t**>(AllocImageMemory(height * sizeof(uint8_t*)));
  if (out->bytes == nullptr || out->rows == nullptr) {
    ReleaseRgbRows(out);
    return -1;
  }
  for (int y = 0; y < image->Height; ++y) {
    uint8_t* row = out->bytes + rowBytes * static_cast<uint64_t>(y);
    out->rows[y] = row;
    for (int x = 0; x < image->Width; ++x, row += 3) {
      int r = 0, g = 0, b = 0;
      GetGraphImagePixel(image, x, y, &r, &g, &b, nullptr);
      row[0] = static_cast<uint8_t>(r);
      row[1] = static_cast<uint8_t>(g);
      row[2] = static_cast<uint8_t>(b);
    }
  }
  return 0;
}

void ReleaseRgbRows(RgbRows* rows) {
  FreeImageMemory(rows->bytes);
  FreeImageMemory(rows->rows);
  rows->bytes = nullptr;
  rows->rows = nullptr;
}
