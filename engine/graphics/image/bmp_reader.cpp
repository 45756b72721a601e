#include "engine/graphics/image/bmp_reader.h"

#include <algorithm>
#include <cstring>

#include "engine/core/base/log.h"
#include "engine/graphics/image/convert_color_blt.h"
#include "engine/graphics/image/image_stream.h"

namespace {

constexpr int64_t kFileHeaderSize = 14;
constexpr int64_t kInfoHeaderSize = 40;

constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionRle8 = 1;
constexpr uint32_t kCompressionRle4 = 2;
constexpr uint32_t kCompressionBitFields = 3;

struct BmpHeader {
  int64_t width = 0;
  int64_t height = 0;  // always positive
  bool bottomUp = false;
  int bits = 0;
  uint32_t compression = 0;
  int64_t headerSize = 0;
  int64_t pixelOffset = 0;
  uint32_t colorsUsed = 0;
  // Bytes of one stored row: whole bits rounded up to 4 bytes.
  int64_t rowBytes = 0;
};

bool ReadHeaders(ImageStream& in, BmpHeader* h) {
  uint8_t file[kFileHeaderSize];
  if (!in.Read(file, sizeof(file)) || file[0] != 'B' || file[1] != 'M') return false;
  h->pixelOffset = LoadLe32(file + 10);
  uint8_t info[kInfoHeaderSize];
  if (!in.Read(info, sizeof(info))) return false;
  h->headerSize = LoadLe32(info);
  if (h->headerSize < kInfoHeaderSize) return false;
  h->width = LoadLeInt32(info + 4);
  const int64_t height = LoadLeInt32(info + 8);  // 64 bits: |INT32_MIN| is representable
  h->bottomUp = height > 0;
  h->height = height < 0 ? -height : height;
  h->bits = LoadLe16(info + 14);
  h->compression = LoadLe32(info + 16);
  h->colorsUsed = LoadLe32(info + 32);
  // Sides first, so that the products below stay small.
  if (h->width < 1 || h->height < 1 || h->width > kMaxGraphImageSide ||
      h->height > kMaxGraphImageSide) {
    return false;
  }
  switch (h->bits) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  switch (h->compression) {
    case kCompressionNone: break;
    case kCompressionRle8: if (h->bits != 8) return false; break;
    case kCompressionRle4: if (h->bits != 4) return false; break;
    case kCompressionBitFields: if (h->bits != 16 && h->bits != 32) return false; break;
    default: return false;  // JPEG or PNG inside a bitmap, and the rest
  }
  h->rowBytes = (h->width * h->bits + 31) / 32 * 4;
  return true;
}

// The colour table of a bitmap of 8 bits or less, right after the header.
// As many entries as the bit count allows are taken when the file holds
// them before its pixel data; fewer are accepted down to the number the
// header says are used, and the entries not read stay black. (A pixel
// offset inside that many entries is not taken as a limit.)
bool ReadPalette(ImageStream& in, const BmpHeader& h, ColorFormat* format) {
  const int64_t full = int64_t{1} << h.bits;
  const int64_t needed = h.colorsUsed > 0 && h.colorsUsed < full ? h.colorsUsed : full;
  const int64_t start = kFileHeaderSize + h.headerSize;
  if (!in.Seek(start)) return false;
  int64_t count = std::min(full, in.Remaining() / 4);
  if (h.pixelOffset >= start + needed * 4) count = std::min(count, (h.pixelOffset - start) / 4);
  if (count < needed) return false;
  std::memset(format->PaletteTable, 0, sizeof(format->PaletteTable));
  if (!in.Read(format->PaletteTable, count * 4)) return false;
  for (int64_t i = 0; i < count; ++i) format->PaletteTable[i * 4 + 3] = 0;
  return true;
}

// Row of the top-down image that holds the file's row r.
int64_t ImageRow(const BmpHeader& h, int64_t r) { return h.bottomUp ? h.height - 1 - r : r; }

// Positions the stream at the pixel data; an offset past the end leaves no
// data (which only run-length images accept).
bool SeekPixels(ImageStream& in, const BmpHeader& h) {
  return in.Seek(std::min(h.pixelOffset, in.Size()));
}

// RLE8 and RLE4 into a zero-filled 8-bit image. Runs, literals and moves
// are clipped to the image; decoding stops at the end of the data.
class RunLengthWriter {
 public:
  RunLengthWriter(const BmpHeader& h, GraphImage* image) : h_(h), image_(image) {}

  // n pixels from the current position; pixel i is pick(i). Only the part
  // inside the image is written; the position moves by n either way.
  template <typename Pick>
  void Put(int64_t n, Pick pick) {
    if (r_ >= 0 && r_ < h_.height) {
      const int64_t from = std::max<int64_t>(x_, 0);
      const int64_t to = std::min<int64_t>(x_ + n, h_.width);
      uint8_t* row = image_->Pixels + ImageRow(h_, r_) * image_->Pitch;
      for (int64_t x = from; x < to; ++x) row[x] = pick(x - x_);
    }
    x_ += n;
  }
  void EndRow() {
    x_ = 0;
    ++r_;
  }
  void Move(int dx, int dy) {
    x_ += dx;
    r_ += dy;
  }

 private:
  const BmpHeader& h_;
  GraphImage* image_;
  int64_t x_ = 0;
  int64_t r_ = 0;  // row in the file's order
};

void DecodeRunLength(const uint8_t* data, int64_t length, const BmpHeader& h, bool fourBits,
                     GraphImage* image) {
  RunLengthWriter out(h, image);
  int64_t pos = 0;
  while (length - pos >= 2) {
    const uint8_t count = data[pos];
    const uint8_t value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      if (fourBits) {
        const uint8_t nibbles[2] = {static_cast<uint8_t>(value >> 4),
                                    static_cast<uint8_t>(value & 0x0F)};
        out.Put(count, [&](int64_t i) { return nibbles[i & 1]; });
      } else {
        out.Put(count, [&](int64_t) { return value; });
      }
      continue;
    }
    if (value == 0) {
      out.EndRow();
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // move right and further in the row order
      if (length - pos < 2) return;
      out.Move(static_cast<int8_t>(data[pos]), static_cast<int8_t>(data[pos + 1]));
      pos += 2;
    } else {  // literal run of `value` pixels, padded to an even byte count
      const int64_t bytes = fourBits ? (value + 1) / 2 : value;
      const uint8_t* literal = data + pos;
      // Pixels the data still holds: a literal cut by the end is written
      // as far as it goes and ends the decoding.
      const int64_t held = std::min<int64_t>(value, fourBits ? (length - pos) * 2 : length - pos);
      if (fourBits) {
        out.Put(held, [&](int64_t i) {
          const uint8_t b = literal[i / 2];
          return static_cast<uint8_t>((i & 1) ? b & 0x0F : b >> 4);
        });
      } else {
        out.Put(held, [&](int64_t i) { return literal[i]; });
      }
      if (held < value) return;
      pos += (bytes + 1) & ~int64_t{1};
    }
  }
}

int DecodeRunLengthBmp(ImageStream& in, const BmpHeader& h, const ColorFormat& palette,
                       GraphImage* out) {
  const int64_t pitch = (h.width + 3) / 4 * 4;
  if (!SeekPixels(in, h)) return -1;
  const int64_t length = in.Remaining();
  if (!IsGraphImageSizeAllowed(h.width, h.height, pitch) ||
      !RunLengthSizeInProportion(pitch * h.height, length)) {
    return -1;
  }
  ImageBuffer data(length);
  if (data.data() == nullptr || !in.Read(data.data(), length)) return -1;
  GraphImageGuard guard(out);
  if (AllocGraphImagePixels(out, h.width, h.height, pitch, 1) != 0) return -1;
  out->Format = palette;
  DecodeRunLength(data.data(), length, h, h.compression == kCompressionRle4, out);
  return guard.Keep();
}

// Uncompressed 4 bits: one byte a pixel, high nibble first.
int DecodeFourBitBmp(ImageStream& in, const BmpHeader& h, const ColorFormat& palette,
                     GraphImage* out) {
  const int64_t pitch = (h.width + 3) / 4 * 4;
  const int64_t stored = h.rowBytes * h.height;
  if (!IsGraphImageSizeAllowed(h.width, h.height, pitch)) return -1;
  if (!SeekPixels(in, h) || in.Remaining() < stored) return -1;
  ImageBuffer data(stored);
  if (data.data() == nullptr || !in.Read(data.data(), stored)) return -1;
  GraphImageGuard guard(out);
  if (AllocGraphImagePixels(out, h.width, h.height, pitch, 1) != 0) return -1;
  out->Format = palette;
  for (int64_t r = 0; r < h.height; ++r) {
    const uint8_t* src = data.data() + r * h.rowBytes;
    uint8_t* dst = out->Pixels + ImageRow(h, r) * pitch;
    const int64_t pairs = h.width / 2;
    for (int64_t i = 0; i < pairs; ++i) {
      dst[2 * i] = src[i] >> 4;
      dst[2 * i + 1] = src[i] & 0x0F;
    }
    if (h.width & 1) dst[h.width - 1] = src[pairs] >> 4;
  }
  return guard.Keep();
}

// Uncompressed 8 and 24 bits: the stored rows are the image's, put top-down.
int DecodeDirectBmp(ImageStream& in, const BmpHeader& h, const ColorFormat& format,
                    GraphImage* out) {
  const int64_t pitch = h.rowBytes;
  if (!IsGraphImageSizeAllowed(h.width, h.height, pitch)) return -1;
  if (!SeekPixels(in, h) || in.Remaining() < pitch * h.height) return -1;
  GraphImageGuard guard(out);
  if (AllocGraphImagePixels(out, h.width, h.height, pitch, 0) != 0) return -1;
  out->Format = format;
  if (!in.Read(out->Pixels, pitch * h.height)) return -1;
  if (h.bottomUp) {
    for (int64_t top = 0, bottom = h.height - 1; top < bottom; ++top, --bottom) {
      std::swap_ranges(out->Pixels + top * pitch, out->Pixels + (top + 1) * pitch,
                       out->Pixels + bottom * pitch);
    }
  }
  return guard.Keep();
}

// 1, 16 and 32 bits: converted row by row into RGB24.
int DecodeConvertedBmp(ImageStream& in, const BmpHeader& h, const ColorFormat& palette,
                       GraphImage* out) {
  ColorFormat source{};
  if (h.bits == 16 || h.bits == 32) {
    uint32_t red = h.bits == 16 ? 0x7C00 : 0xFF0000;
    uint32_t green = h.bits == 16 ? 0x3E0 : 0xFF00;
    uint32_t blue = h.bits == 16 ? 0x1F : 0xFF;
    if (h.compression == kCompressionBitFields) {
      // The three masks follow the 40-byte header (inside a longer header).
      uint8_t masks[12];
      if (!in.Seek(kFileHeaderSize + kInfoHeaderSize) || !in.Read(masks, sizeof(masks))) {
        return -1;
      }
      red = LowestMaskRun(LoadLe32(masks));
      green = LowestMaskRun(LoadLe32(masks + 4));
      blue = LowestMaskRun(LoadLe32(masks + 8));
    }
    CreateColorFormat(&source, h.bits, red, green, blue, 0);
  }
  const int64_t stored = h.rowBytes * h.height;
  if (!IsGraphImageSizeAllowed(h.width, h.height, (h.width * 3 + 3) / 4 * 4)) return -1;
  if (!SeekPixels(in, h) || in.Remaining() < stored) return -1;
  ImageBuffer data(stored);
  if (data.data() == nullptr || !in.Read(data.data(), stored)) return -1;
  GraphImageGuard guard(out);
  if (CreateRgb24GraphImage(static_cast<int>(h.width), static_cast<int>(h.height), out) != 0) {
    WriteLog("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
    return -1;
  }
  if (h.bits == 1) {
    for (int64_t r = 0; r < h.height; ++r) {
      const uint8_t* src = data.data() + r * h.rowBytes;
      uint8_t* dst = out->Pixels + ImageRow(h, r) * out->Pitch;
      for (int64_t x = 0; x < h.width; ++x) {
        const int index = (src[x / 8] >> (7 - (x & 7))) & 1;
        std::memcpy(dst + x * 3, &palette.PaletteTable[index * 4], 3);
      }
    }
    return guard.Keep();
  }
  // The stored rows put top-down, then one conversion of the whole image.
  if (h.bottomUp) {
    for (int64_t top = 0, bottom = h.height - 1; top < bottom; ++top, --bottom) {
      std::swap_ranges(data.data() + top * h.rowBytes, data.data() + (top + 1) * h.rowBytes,
                       data.data() + bottom * h.rowBytes);
    }
  }
  const ImageRect whole{0, 0, static_cast<int32_t>(h.width), static_cast<int32_t>(h.height)};
  ConvertColorBlt(out->Pixels, out->Pitch, &out->Format, data.data(), static_cast<int>(h.rowBytes),
                  &source, nullptr, 0, nullptr, 0, 0, &whole, 0, 0, 0, kDitherNone, 0, 0, 0);
  return guard.Keep();
}

}  // namespace

int DecodeBmpStream(const StreamOps* ops, StreamHandle stream, GraphImage* out) {
  std::memset(out, 0, sizeof(*out));
  ImageStream in(ops, stream);
  BmpHeader h;
  if (!in.Valid() || !ReadHeaders(in, &h)) return -1;
  ColorFormat palette{};
  SetPalette8ColorFormat(&palette);
  if (h.bits <= 8 && !ReadPalette(in, h, &palette)) return -1;

  if (h.compression == kCompressionRle8 || h.compression == kCompressionRle4) {
    return DecodeRunLengthBmp(in, h, palette, out);
  }
  if (h.compression == kCompressionNone && h.bits == 4) return DecodeFourBitBmp(in, h, palette, out);
  if (h.compression == kCompressionNone && (h.bits == 8 || h.bits == 24)) {
    ColorFormat rgb{};
    SetRgb24ColorFormat(&rgb);
    return DecodeDirectBmp(in, h, h.bits == 8 ? palette : rgb, out);
  }
  return DecodeConvertedBmp(in, h, palette, out);
}
