#include "engine/graphics/image/bmp_writer.h"

#include <cstring>

#include "engine/core/base/log.h"
#include "engine/core/base/tracked_memory.h"
#include "engine/core/files/native_file_writer.h"

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kPaletteBytes = 256 * 4;

void StoreLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void StoreLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A channel of a 16-bit pixel at the top of a byte.
uint8_t Channel16(uint32_t pixel, uint32_t mask, uint8_t shift, uint8_t width) {
  if (width == 0 || shift >= 32) return 0;
  const uint32_t value = (pixel & mask) >> shift;
  return static_cast<uint8_t>(width <= 8 ? value << (8 - width) : value >> (width - 8));
}

void ConvertRow(const ImageArea* area, const uint8_t* in, uint8_t* out) {
  const ColorFormat& f = *area->Format;
  switch (f.BitDepth) {
    case 8:
      std::memcpy(out, in, static_cast<size_t>(area->Width));
      break;
    case 16:
      for (int x = 0; x < area->Width; ++x, in += 2, out += 3) {
        const uint32_t pixel = uint32_t{in[0]} | uint32_t{in[1]} << 8;
        out[0] = Channel16(pixel, f.BlueMask, f.BlueShift, f.BlueWidth);
        out[1] = Channel16(pixel, f.GreenMask, f.GreenShift, f.GreenWidth);
        out[2] = Channel16(pixel, f.RedMask, f.RedShift, f.RedWidth);
      }
      break;
    default: {  // 24 or 32: the three low bytes
      const int step = f.PixelByte;
      for (int x = 0; x < area->Width; ++x, in += step, out += 3) std::memcpy(out, in, 3);
      break;
    }
  }
}

}  // namespace

int WriteBmpFile(const char* name, const ImageArea* area) {
  if (area == nullptr || area->Pixels == nullptr || area->Format == nullptr || area->Width <= 0 ||
      area->Height <= 0) {
    return -1;
  }
  const int depth = area->Format->BitDepth;
  if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return -1;
  const bool indexed = depth == 8;
  const int64_t width = area->Width;
  const int64_t height = area->Height;
  const int64_t stride = ((indexed ? width : width * 3) + 3) / 4 * 4;
  const int64_t dataBytes = stride * height;
  const uint32_t offset = kFileHeaderBytes + kInfoHeaderBytes + (indexed ? kPaletteBytes : 0);

  uint8_t* pixels = nullptr;
  if (dataBytes <= INT32_MAX - int64_t{offset}) {
    pixels = static_cast<uint8_t*>(TrackedCalloc(static_cast<size_t>(dataBytes), "", 0));
  }
  if (pixels == nullptr) {
    WriteLog("グラフィック保存用メモリの確保に失敗しました\n");
    return -1;
  }
  for (int64_t i = 0; i < height; ++i) {
    ConvertRow(area, area->Pixels + (height - 1 - i) * int64_t{area->Pitch}, pixels + i * stride);
  }

  uint8_t header[kFileHeaderBytes + kInfoHeaderBytes + kPaletteBytes] = {};
  header[0] = 'B';
  header[1] = 'M';
  StoreLe32(header + 2, offset + static_cast<uint32_t>(dataBytes));
  StoreLe32(header + 10, offset);
  uint8_t* info = header + kFileHeaderBytes;
  StoreLe32(info + 0, kInfoHeaderBytes);
  StoreLe32(info + 4, static_cast<uint32_t>(width));
  StoreLe32(info + 8, static_cast<uint32_t>(height));
  StoreLe16(info + 12, 1);
  StoreLe16(info + 14, indexed ? 8 : 24);
  if (indexed && area->Palette != nullptr) {
    uint8_t* palette = info + kInfoHeaderBytes;
    for (int i = 0; i < 256; ++i) std::memcpy(palette + i * 4, area->Palette + i * 4, 3);
  }

  int result = -1;
  NativeWriteFile* file = ReplaceNativeFileForWrite(name);
  if (file == nullptr) {
    WriteLog("ＢＭＰセーブ用ファイルのオープンに失敗しました\n");
  } else {
    const int headerOk = WriteNativeFile(file, header, offset);
    const int pixelsOk = WriteNativeFile(file, pixels, static_cast<size_t>(dataBytes));
    const int closeOk = CloseNativeFile(file);
    result = headerOk == 0 && pixelsOk == 0 && closeOk == 0 ? 0 : -1;
  }
  TrackedFree(pixels);
  return result;
}
