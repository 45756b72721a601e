// Pixel-format descriptors for every image held in memory.
//
// A ColorFormat says how a pixel of 8, 16, 24 or 32 bits splits into red,
// green, blue and alpha channels (mask, lowest bit, bit count of each), which
// bits belong to no channel (SpareMask) and, for 8-bit indexed formats, the
// 256-entry palette (blue, green, red, 0 per entry). A channel width of 0
// means the channel is absent. Colours handed to the packing operations are
// 0-255 per channel.
//
// Ten shared formats (kinds 0-3 of MEMIMG, with and without alpha or palette)
// are built on first use and live until the process ends; images point at
// them and never own them. Every caller holds the library lock, which also
// guards the first-use filling of the caches.
#pragma once

#include <cstdint>

// Field order is part of the record's contract: the software renderer reads
// PixelByte as the record's second field.
struct ColorFormat {
  uint16_t BitDepth;   // bits per pixel: 8, 16, 24 or 32
  uint16_t PixelByte;  // bytes per pixel, BitDepth / 8
  uint8_t RedWidth;
  uint8_t GreenWidth;
  uint8_t BlueWidth;
  uint8_t AlphaWidth;
  uint8_t RedShift;
  uint8_t GreenShift;
  uint8_t BlueShift;
  uint8_t AlphaShift;
  uint32_t RedMask;
  uint32_t GreenMask;
  uint32_t BlueMask;
  uint32_t AlphaMask;
  uint32_t SpareMask;             // bits of the pixel that belong to no channel
  uint8_t PaletteTable[256 * 4];  // 8-bit formats: blue, green, red, 0 per entry
  uint8_t SpareShift;
  uint8_t SpareWidth;
};

// Our own description of a display-surface pixel format, laid out as the
// 32-byte record the display layer exchanges: size, flags, FourCC code, bit
// count and the four channel masks.
struct DDPixelFormat {
  uint32_t Size;
  uint32_t Flags;
  uint32_t FourCC;
  uint32_t RgbBitCount;
  uint32_t RedMask;
  uint32_t GreenMask;
  uint32_t BlueMask;
  uint32_t AlphaMask;
};
static_assert(sizeof(DDPixelFormat) == 32, "pixel-format record is 32 bytes");

inline constexpr uint32_t kDDPixelFormatRgb = 0x40;    // flag: RGB masks are valid
inline constexpr uint32_t kDDPixelFormatFourCC = 0x4;  // flag: FourCC code is valid

// Formats.
int CreateColorFormat(ColorFormat* format, int bits, uint32_t redMask, uint32_t greenMask,
                      uint32_t blueMask, uint32_t alphaMask);
int MakeDDPixelFormat(DDPixelFormat* pixelFormat, int bits, uint32_t redMask, uint32_t greenMask,
                      uint32_t blueMask, uint32_t alphaMask);
int ColorFormatFromDDPixelFormat(const DDPixelFormat* pixelFormat, ColorFormat* format);

// Cached formats of the memory-image kinds; null for a kind outside 0-3.
const ColorFormat* GetColorFormat(int kind, int alpha, int palette);
const DDPixelFormat* GetDDPixelFormat(int kind, int alpha, int palette);

// Fixed formats written into a caller's record (SpareShift/SpareWidth kept).
int SetPalette8ColorFormat(ColorFormat* format);
int SetGray8ColorFormat(ColorFormat* format);
int SetRgb24ColorFormat(ColorFormat* format);
int SetArgb32ColorFormat(ColorFormat* format);

ColorFormat* RecomputeSpareMask(ColorFormat* format);
int EqualColorFormat(const ColorFormat* a, const ColorFormat* b);

// Colours.
uint32_t PackColor(const ColorFormat* format, int r, int g, int b, int a);
int UnpackColor(const ColorFormat* format, uint32_t pixel, int* r, int* g, int* b, int* a);
uint32_t ConvertPixel(const ColorFormat* to, const ColorFormat* from, uint32_t pixel);
