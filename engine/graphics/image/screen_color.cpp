#include "engine/graphics/image/screen_color.h"

#include <cstdio>
#include <cstring>

#include "engine/api/services/service_registry.h"
#include "engine/core/base/log.h"

namespace {

ScreenColorState g_screenColor{};

// The log lines of a mode change: a heading, then the masks one level in.
void LogScreenColorFormat(const char* masks) {
  WriteLog("カラー情報\n");
  IncreaseLogIndent();
  WriteLog(masks);
  DecreaseLogIndent();
}

int EffectiveBits(int32_t bits) { return bits == 0 ? 16 : bits; }

// The format ScreenColor values are packed in: in software rendering the
// memory screens' own format, else the display's.
const ColorFormat* PackingFormat() {
  const ScreenColorState& s = g_screenColor;
  if (s.SoftwareRendering) return GetColorFormat(EffectiveBits(s.RequestedScreenBits) != 16, 0, 0);
  return &s.ScreenColorFormat;
}

int FormatClass(const ColorFormat& f) {
  if (f.RedMask == 0xF800 && f.GreenMask == 0x7E0 && f.BlueMask == 0x1F) return 0;
  if (f.RedMask == 0x7C00 && f.GreenMask == 0x3E0 && f.BlueMask == 0x1F) return 1;
  if (f.RedMask == 0xFF0000 && f.GreenMask == 0xFF00 && f.BlueMask == 0xFF) return 2;
  return 3;
}

uint32_t PackChannel(int c, uint8_t width, uint8_t shift) {
  if (width == 0 || width > 8 || shift >= 32) return 0;
  return ((static_cast<uint32_t>(c) & 0xFFu) >> (8 - width)) << shift;
}

}  // namespace

ScreenColorState& GetScreenColorState() { return g_screenColor; }

int ScreenMemImgKind() { return EffectiveBits(g_screenColor.RequestedScreenBits) != 16 ? 1 : 0; }

int SetupScreenColorFormat() {
  ScreenColorState& s = g_screenColor;
  DDPixelFormat mode{};
  int bits = 0;
  DisplayModeFormat display;
  if (!s.HardwareBanned && GetGraphicsService().QueryDisplayModeFormat(&display) == 0) {
    bits = display.bits;
    MakeDDPixelFormat(&mode, bits, display.red_mask, display.green_mask, display.blue_mask, display.alpha_mask);
    s.ScreenPixelFormat = mode;
    ColorFormatFromDDPixelFormat(&mode, &s.ScreenColorFormat);
    char line[96];
    std::snprintf(line, sizeof(line), "A:%08x  B:%08x  G:%08x  B:%08x",
                  static_cast<unsigned>(mode.AlphaMask), static_cast<unsigned>(mode.RedMask),
                  static_cast<unsigned>(mode.GreenMask), static_cast<unsigned>(mode.BlueMask));
    LogScreenColorFormat(line);
    s.ScreenBits = bits;
    s.ScreenFormatClass = FormatClass(s.ScreenColorFormat);
    return 0;
  }
  if (s.ScreenBits != 16 && s.ScreenBits != 32) s.ScreenBits = 16;
  s.ScreenColorFormat = *GetColorFormat(s.ScreenBits == 32 ? 1 : 0, 0, 0);
  return 0;
}

uint32_t PackScreenColor(int r, int g, int b) {
  const ScreenColorState& s = g_screenColor;
  if (s.ScreenBits != 8) {
    const ColorFormat* f = PackingFormat();
    return PackChannel(r, f->RedWidth, f->RedShift) + PackChannel(g, f->GreenWidth, f->GreenShift) +
           PackChannel(b, f->BlueWidth, f->BlueShift) + f->SpareMask;
  }
  // 8-bit screen: the nearest palette entry, the lowest index on a tie.
  uint32_t best = 0;
  int64_t bestDistance = -1;
  for (uint32_t i = 0; i < 256; ++i) {
    const uint8_t* e = &s.PaletteEntries[i * 4];
    const int64_t dr = int64_t{e[0]} - r;
    const int64_t dg = int64_t{e[1]} - g;
    const int64_t db = int64_t{e[2]} - b;
    const int64_t distance = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

int UnpackScreenColor(uint32_t value, int* r, int* g, int* b) {
  const ScreenColorState& s = g_screenColor;
  if (s.ScreenBits == 8) {
    if (value > 255) return -1;
    const uint8_t* e = &s.PaletteEntries[value * 4];
    if (r) *r = e[0];
    if (g) *g = e[1];
    if (b) *b = e[2];
    return 0;
  }
  const ColorFormat* f = &s.ScreenColorFormat;
  if (s.SoftwareRendering && s.ScreenBits != s.RequestedScreenBits)
    f = GetColorFormat(EffectiveBits(s.RequestedScreenBits) != 16, 0, 0);
  UnpackColor(f, value, r, g, b, nullptr);
  return 0;
}
