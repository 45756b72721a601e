#include "engine/graphics/image/color_format.h"

#include <cstring>

namespace {

// Lowest set bit and length of the run of set bits starting there.
void MaskShiftWidth(uint32_t mask, uint8_t* shift, uint8_t* width) {
  if (mask == 0) {
    *shift = 0;
    *width = 0;
    return;
  }
  uint8_t s = 0;
  while (((mask >> s) & 1u) == 0) ++s;
  uint8_t w = 0;
  while (s + w < 32 && ((mask >> (s + w)) & 1u) != 0) ++w;
  *shift = s;
  *width = w;
}

uint32_t AllBits(int bits) {
  if (bits >= 32) return 0xFFFFFFFFu;
  if (bits <= 0) return 0;
  return (1u << bits) - 1u;
}

void FillShiftsAndWidths(ColorFormat* f) {
  MaskShiftWidth(f->RedMask, &f->RedShift, &f->RedWidth);
  MaskShiftWidth(f->GreenMask, &f->GreenShift, &f->GreenWidth);
  MaskShiftWidth(f->BlueMask, &f->BlueShift, &f->BlueWidth);
  MaskShiftWidth(f->AlphaMask, &f->AlphaShift, &f->AlphaWidth);
  MaskShiftWidth(f->SpareMask, &f->SpareShift, &f->SpareWidth);
}

void SetSingleChannel(ColorFormat* f, int bits) {
  const uint32_t mask = AllBits(bits);
  f->BitDepth = static_cast<uint16_t>(bits);
  f->PixelByte = static_cast<uint16_t>(bits / 8);
  f->RedMask = f->GreenMask = f->BlueMask = f->AlphaMask = mask;
  f->RedWidth = f->GreenWidth = f->BlueWidth = f->AlphaWidth = static_cast<uint8_t>(bits);
  f->RedShift = f->GreenShift = f->BlueShift = f->AlphaShift = 0;
  f->SpareMask = 0;
  f->SpareShift = 0;
  f->SpareWidth = 0;
}

void SetFixed(ColorFormat* f, int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a,
              uint32_t spare) {
  f->BitDepth = static_cast<uint16_t>(bits);
  f->PixelByte = static_cast<uint16_t>(bits / 8);
  f->RedMask = r;
  f->GreenMask = g;
  f->BlueMask = b;
  f->AlphaMask = a;
  f->SpareMask = spare;
  MaskShiftWidth(r, &f->RedShift, &f->RedWidth);
  MaskShiftWidth(g, &f->GreenShift, &f->GreenWidth);
  MaskShiftWidth(b, &f->BlueShift, &f->BlueWidth);
  MaskShiftWidth(a, &f->AlphaShift, &f->AlphaWidth);
}

// Index of a (kind, alpha, palette) combination in the caches; -1 for a kind
// outside 0-3. Kinds 2 and 3 have one entry each whatever the flags say.
int CacheIndex(int kind, int alpha, int palette) {
  if (kind == 0 || kind == 1) return kind * 4 + (alpha ? 2 : 0) + (palette ? 1 : 0);
  if (kind == 2) return 8;
  if (kind == 3) return 9;
  return -1;
}

struct FormatCaches {
  ColorFormat formats[10];
  DDPixelFormat pixelFormats[10];

  FormatCaches() {
    std::memset(formats, 0, sizeof(formats));
    std::memset(pixelFormats, 0, sizeof(pixelFormats));
    struct Row {
      int bits;
      uint32_t r, g, b, a;
    };
    static constexpr Row kRows[8] = {
        {16, 0xF800, 0x7E0, 0x1F, 0},
        {8, 0xF800, 0x7E0, 0x1F, 0},
        {32, 0xF800, 0x7E0, 0x1F, 0xFF0000},
        {8, 0xF800, 0x7E0, 0x1F, 0xFF0000},
        {32, 0xFF0000, 0xFF00, 0xFF, 0},
        {8, 0xFF0000, 0xFF00, 0xFF, 0},
        {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        {8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    };
    for (int i = 0; i < 8; ++i) {
      const Row& row = kRows[i];
      CreateColorFormat(&formats[i], row.bits, row.r, row.g, row.b, row.a);
      MakeDDPixelFormat(&pixelFormats[i], row.bits, row.r, row.g, row.b, row.a);
    }
    SetSingleChannel(&formats[8], 8);
    SetSingleChannel(&formats[9], 16);
    pixelFormats[8].RgbBitCount = 8;
    pixelFormats[8].RedMask = pixelFormats[8].GreenMask = pixelFormats[8].BlueMask =
        pixelFormats[8].AlphaMask = 0xFF;
    pixelFormats[9].RgbBitCount = 16;
    pixelFormats[9].RedMask = pixelFormats[9].GreenMask = pixelFormats[9].BlueMask =
        pixelFormats[9].AlphaMask = 0xFFFF;
  }
};

const FormatCaches& Caches() {
  static const FormatCaches caches;
  return caches;
}

// v moved by a signed bit count: right when positive, left when negative.
uint32_t ShiftBy(uint32_t v, int drop) {
  if (drop >= 32 || drop <= -32) return 0;
  return drop >= 0 ? v >> drop : v << -drop;
}

uint32_t ChannelOf(uint32_t pixel, uint32_t mask, uint8_t shift) {
  return shift >= 32 ? 0 : (pixel & mask) >> shift;
}

}  // namespace

int CreateColorFormat(ColorFormat* format, int bits, uint32_t redMask, uint32_t greenMask,
                      uint32_t blueMask, uint32_t alphaMask) {
  format->BitDepth = static_cast<uint16_t>(bits);
  format->PixelByte = static_cast<uint16_t>(bits / 8);
  format->RedMask = redMask;
  format->GreenMask = greenMask;
  format->BlueMask = blueMask;
  format->AlphaMask = alphaMask;
  format->SpareMask = AllBits(bits) & ~(redMask | greenMask | blueMask | alphaMask);
  FillShiftsAndWidths(format);
  return 0;
}

int MakeDDPixelFormat(DDPixelFormat* pixelFormat, int bits, uint32_t redMask, uint32_t greenMask,
                      uint32_t blueMask, uint32_t alphaMask) {
  std::memset(pixelFormat, 0, sizeof(*pixelFormat));
  pixelFormat->Size = sizeof(DDPixelFormat);
  pixelFormat->Flags = kDDPixelFormatRgb;
  pixelFormat->RgbBitCount = static_cast<uint32_t>(bits);
  pixelFormat->RedMask = redMask;
  pixelFormat->GreenMask = greenMask;
  pixelFormat->BlueMask = blueMask;
  pixelFormat->AlphaMask = alphaMask;
  return 0;
}

int ColorFormatFromDDPixelFormat(const DDPixelFormat* pixelFormat, ColorFormat* format) {
  format->BitDepth = static_cast<uint16_t>(pixelFormat->RgbBitCount & 0xFFu);
  format->PixelByte = static_cast<uint16_t>(format->BitDepth >> 3);
  format->RedMask = pixelFormat->RedMask;
  format->GreenMask = pixelFormat->GreenMask;
  format->BlueMask = pixelFormat->BlueMask;
  format->AlphaMask = pixelFormat->AlphaMask;
  format->SpareMask = AllBits(format->BitDepth) &
                      ~(format->RedMask | format->GreenMask | format->BlueMask | format->AlphaMask);
  FillShiftsAndWidths(format);
  return 0;
}

const ColorFormat* GetColorFormat(int kind, int alpha, int palette) {
  const int index = CacheIndex(kind, alpha, palette);
  return index < 0 ? nullptr : &Caches().formats[index];
}

const DDPixelFormat* GetDDPixelFormat(int kind, int alpha, int palette) {
  const int index = CacheIndex(kind, alpha, palette);
  return index < 0 ? nullptr : &Caches().pixelFormats[index];
}

int SetPalette8ColorFormat(ColorFormat* format) {
  SetFixed(format, 8, 0xFF0000, 0xFF00, 0xFF, 0, 0xFF000000);
  return 0;
}

int SetGray8ColorFormat(ColorFormat* format) {
  SetPalette8ColorFormat(format);
  for (int i = 0; i < 256; ++i) {
    uint8_t* entry = &format->PaletteTable[i * 4];
    entry[0] = entry[1] = entry[2] = static_cast<uint8_t>(i);
    entry[3] = 0;
  }
  return 0;
}

int SetRgb24ColorFormat(ColorFormat* format) {
  SetFixed(format, 24, 0xFF0000, 0xFF00, 0xFF, 0, 0);
  return 0;
}

int SetArgb32ColorFormat(ColorFormat* format) {
  SetFixed(format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0);
  return 0;
}

ColorFormat* RecomputeSpareMask(ColorFormat* format) {
  const int total = format->RedWidth + format->GreenWidth + format->BlueWidth + format->AlphaWidth;
  if (total == format->BitDepth) {
    format->SpareMask = 0;
  } else {
    format->SpareMask = AllBits(format->BitDepth) & ~(format->RedMask | format->GreenMask |
                                                      format->BlueMask | format->AlphaMask);
  }
  return format;
}

int EqualColorFormat(const ColorFormat* a, const ColorFormat* b) {
  return a->BitDepth == b->BitDepth && a->RedMask == b->RedMask && a->GreenMask == b->GreenMask &&
                 a->BlueMask == b->BlueMask && a->AlphaMask == b->AlphaMask
             ? 1
             : 0;
}

namespace {

// A 0-255 component reduced to its channel's top bits and placed. Channels
// wider than 8 bits (the single-channel kinds) take the byte into their top
// bits instead of shifting by a negative count.
uint32_t PackComponent(int c, uint8_t width, uint8_t shift) {
  if (width == 0 || shift >= 32) return 0;
  const uint32_t byte = static_cast<uint32_t>(c) & 0xFFu;
  const uint32_t v = ShiftBy(byte, 8 - static_cast<int>(width));
  return ShiftBy(v, -static_cast<int>(shift));
}

int ScaleTo255(uint32_t v, uint8_t width) {
  if (width == 0) return 0;  // absent channel: no division by zero
  const uint64_t max = (uint64_t{1} << width) - 1;
  return static_cast<int>(uint64_t{v} * 255u / max);
}

}  // namespace

uint32_t PackColor(const ColorFormat* format, int r, int g, int b, int a) {
  uint32_t value = PackComponent(r, format->RedWidth, format->RedShift);
  value += PackComponent(g, format->GreenWidth, format->GreenShift);
  value += PackComponent(b, format->BlueWidth, format->BlueShift);
  if (format->AlphaWidth != 0) value += PackComponent(a, format->AlphaWidth, format->AlphaShift);
  return value + format->SpareMask;
}

int UnpackColor(const ColorFormat* format, uint32_t pixel, int* r, int* g, int* b, int* a) {
  if (r) *r = ScaleTo255(ChannelOf(pixel, format->RedMask, format->RedShift), format->RedWidth);
  if (g)
    *g = ScaleTo255(ChannelOf(pixel, format->GreenMask, format->GreenShift), format->GreenWidth);
  if (b) *b = ScaleTo255(ChannelOf(pixel, format->BlueMask, format->BlueShift), format->BlueWidth);
  if (a) {
    *a = format->AlphaWidth == 0
             ? 0
             : ScaleTo255(ChannelOf(pixel, format->AlphaMask, format->AlphaShift),
                          format->AlphaWidth);
  }
  return 0;
}

uint32_t ConvertPixel(const ColorFormat* to, const ColorFormat* from, uint32_t pixel) {
  auto channel = [&](uint32_t fromMask, uint8_t fromShift, uint8_t fromWidth, uint32_t toMask,
                     uint8_t toShift, uint8_t toWidth) {
    const uint32_t v = ShiftBy(ChannelOf(pixel, fromMask, fromShift),
                               static_cast<int>(fromWidth) - static_cast<int>(toWidth));
    return ShiftBy(v, -static_cast<int>(toShift)) & toMask;
  };
  uint32_t value = channel(from->RedMask, from->RedShift, from->RedWidth, to->RedMask, to->RedShift,
                           to->RedWidth);
  value |= channel(from->GreenMask, from->GreenShift, from->GreenWidth, to->GreenMask,
                   to->GreenShift, to->GreenWidth);
  value |= channel(from->BlueMask, from->BlueShift, from->BlueWidth, to->BlueMask, to->BlueShift,
                   to->BlueWidth);
  if (from->AlphaWidth == 0) {
    value |= to->AlphaMask;  // a source without alpha is fully opaque
  } else {
    value |= channel(from->AlphaMask, from->AlphaShift, from->AlphaWidth, to->AlphaMask,
                     to->AlphaShift, to->AlphaWidth);
  }
  return value | to->SpareMask;
}
