#include "engine/graphics/image/image_area_save.h"

#include <cstring>

#include "engine/core/base/log.h"
#include "engine/graphics/image/bmp_writer.h"
#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/image/jpeg_codec.h"
#include "engine/graphics/image/png_codec.h"

namespace {

// The area as a GraphImage of its own (rows unpadded), in the area's format;
// an 8-bit area becomes Palette8 with the area's palette.
int CopyAreaToImage(const ImageArea* area, GraphImage* image) {
  std::memset(image, 0, sizeof(*image));
  const ColorFormat& format = *area->Format;
  const int64_t rowBytes = int64_t{area->Width} * format.PixelByte;
  if (AllocGraphImagePixels(image, area->Width, area->Height, rowBytes, 0) != 0) return -1;
  if (format.BitDepth == 8) {
    SetPalette8ColorFormat(&image->Format);
    std::memset(image->Format.PaletteTable, 0, sizeof(image->Format.PaletteTable));
    if (area->Palette != nullptr) {
      std::memcpy(image->Format.PaletteTable, area->Palette, sizeof(image->Format.PaletteTable));
    }
  } else {
    image->Format = format;
  }
  for (int64_t y = 0; y < area->Height; ++y) {
    std::memcpy(image->Pixels + y * rowBytes, area->Pixels + y * int64_t{area->Pitch},
                static_cast<size_t>(rowBytes));
  }
  return 0;
}

}  // namespace

int SaveImageArea(const ImageArea* area, const char* name, int type, int quality, int second,
                  int level) {
  (void)second;
  if (area == nullptr || area->Pixels == nullptr || area->Format == nullptr || area->Width <= 0 ||
      area->Height <= 0) {
    return -1;
  }
  if (type < 0 || type > 2) return 0;
  const int depth = area->Format->BitDepth;
  if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return -1;
  if (type == 0) return WriteBmpFile(name, area);

  GraphImage image;
  if (CopyAreaToImage(area, &image) != 0) {
    WriteLog("画像セーブ用一時バッファの確保に失敗しました\n");
    return -1;
  }
  const int result =
      type == 1 ? EncodeJpegFile(name, &image, quality) : EncodePngFile(name, &image, level);
  ReleaseGraphImage(&image);
  return result;
}
