#include "engine/graphics/image/dds_reader.h"

#include <cstring>

#include "engine/graphics/image/image_stream.h"

namespace {

constexpr int64_t kDescriptionSize = 124;

// Offsets inside the surface description.
constexpr int kFlags = 4;
constexpr int kHeight = 8;
constexpr int kWidth = 12;
constexpr int kPitch = 16;
constexpr int kPixelFlags = 76;
constexpr int kFourCC = 80;
constexpr int kBitCount = 84;
constexpr int kMasks = 88;  // red, green, blue, alpha

struct FormatRow {
  uint32_t code;
  int bits;
  uint32_t red, green, blue, alpha;
};

// Direct3D format numbers of uncompressed colour formats.
constexpr FormatRow kFormatTable[] = {
    {20, 24, 0xFF0000, 0xFF00, 0xFF, 0},
    {21, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {22, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {23, 16, 0xF800, 0x7E0, 0x1F, 0},
    {24, 16, 0x7C00, 0x3E0, 0x1F, 0},
    {25, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
    {26, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {27, 8, 0xE0, 0x1C, 0x3, 0},
    {29, 16, 0xE0, 0x1C, 0x3, 0xFF00},
    {30, 16, 0xF00, 0xF0, 0xF, 0},
    {31, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
    {32, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
    {33, 32, 0xFF, 0xFF00, 0xFF0000, 0},
    {35, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
};

bool FormatFromHeader(const uint8_t* d, ColorFormat* format) {
  const uint32_t pixelFlags = LoadLe32(d + kPixelFlags);
  FormatRow row{};
  if (pixelFlags & kDdsRgbFlag) {
    const uint32_t bitCount = LoadLe32(d + kBitCount);
    row.bits = bitCount <= 32 ? static_cast<int>(bitCount) : 0;
    row.red = LowestMaskRun(LoadLe32(d + kMasks));
    row.green = LowestMaskRun(LoadLe32(d + kMasks + 4));
    row.blue = LowestMaskRun(LoadLe32(d + kMasks + 8));
    row.alpha = LowestMaskRun(LoadLe32(d + kMasks + 12));
  } else if (pixelFlags == kDdsFourCCFlag) {
    const uint32_t code = LoadLe32(d + kFourCC);
    const FormatRow* found = nullptr;
    for (const FormatRow& r : kFormatTable) {
      if (r.code == code) found = &r;
    }
    if (found == nullptr) return false;
    row = *found;
  } else {
    return false;
  }
  if (row.bits != 8 && row.bits != 16 && row.bits != 24 && row.bits != 32) return false;
  CreateColorFormat(format, row.bits, row.red, row.green, row.blue, row.alpha);
  return true;
}

// 8-bit pixels are indices everywhere else in the engine: each value's
// colour under the file's masks becomes its palette entry.
void MakeIndexedFormat(const ColorFormat& file, ColorFormat* format) {
  SetPalette8ColorFormat(format);
  for (uint32_t i = 0; i < 256; ++i) {
    int r = 0, g = 0, b = 0;
    UnpackColor(&file, i, &r, &g, &b, nullptr);
    uint8_t* entry = &format->PaletteTable[i * 4];
    entry[0] = static_cast<uint8_t>(b);
    entry[1] = static_cast<uint8_t>(g);
    entry[2] = static_cast<uint8_t>(r);
    entry[3] = 0;
  }
}

}  // namespace

int DecodeDdsStream(const StreamOps* ops, StreamHandle stream, GraphImage* out) {
  std::memset(out, 0, sizeof(*out));
  ImageStream in(ops, stream);
  uint8_t magic[4];
  if (!in.Valid() || !in.Read(magic, sizeof(magic)) || std::memcmp(magic, "DDS", 3) != 0) return -1;
  uint8_t d[kDescriptionSize];
  if (!in.Read(d, sizeof(d))) return -1;
  ColorFormat format{};
  if (!FormatFromHeader(d, &format)) return -1;

  const int64_t width = LoadLe32(d + kWidth);
  const int64_t height = LoadLe32(d + kHeight);
  const int64_t rowBytes = width * format.PixelByte;
  const int64_t pitch = (LoadLe32(d + kFlags) & kDdsPitchFlag) ? int64_t{LoadLe32(d + kPitch)} : rowBytes;
  if (pitch < rowBytes || !IsGraphImageSizeAllowed(width, height, pitch)) return -1;
  if (in.Remaining() < pitch * height) return -1;

  GraphImageGuard guard(out);
  if (AllocGraphImagePixels(out, width, height, pitch, 0) != 0) return -1;
  if (!in.Read(out->Pixels, pitch * height)) return -1;
  if (format.BitDepth == 8) MakeIndexedFormat(format, &out->Format);
  else out->Format = format;
  return guard.Keep();
}
