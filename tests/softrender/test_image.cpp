#include "test_image.h"

#include <cstring>

namespace softrender_test {

uint32_t TestImage::Get(int x, int y) const {
  const uint8_t* p = img->Pixels + y * img->Pitch + x * format->PixelByte;
  uint32_t v = 0;
  std::memcpy(&v, p, format->PixelByte);
  return v;
}

void TestImage::Set(int x, int y, uint32_t v) {
  std::memcpy(Pixel(x, y), &v, format->PixelByte);
}

TestImage MakeImage(int kind, int palette, int alpha, int width, int height, int pitch_extra) {
  TestImage t;
  MEMIMG& m = *t.img;
  std::memset(&m, 0, sizeof(m));
  int bytes = kind == 1 ? 4 : kind == 0 ? 2 : 1;
  if (palette) {
    bytes = 1;
    alpha = 0;
  } else if (kind == 0 && alpha) {
    bytes = 4;
  }
  t.format->BitDepth = static_cast<uint16_t>(bytes * 8);
  t.format->PixelByte = static_cast<uint16_t>(bytes);
  m.Magic = kMemImgMagic;
  m.Width = width;
  m.Height = height;
  m.Pitch = width * bytes + pitch_extra;
  m.PitchShift = -1;
  m.Format = t.format.get();
  m.Kind = kind;
  m.UsePalette = palette;
  m.UseAlpha = alpha;
  m.PaletteCount = palette ? 256 : 0;
  m.DrawPalette = m.PaletteStore1;
  m.SavedPalette = m.PaletteStore2;
  t.pixels.assign(static_cast<size_t>(m.Pitch) * height + 1, 0xcd);
  m.Pixels = t.pixels.data();
  return t;
}

void BuildRunTable(TestImage& t) {
  MEMIMG& m = *t.img;
  t.runs.clear();
  for (int y = 0; y < m.Height; ++y) {
    int x = 0;
    while (x < m.Width) {
      auto cls = [&](int px) -> uint8_t {
        const uint32_t v = t.Get(px, y);
        if (m.UsePalette) return v == m.TransColor ? 0x00 : 0x40;
        if (m.UseAlpha) {
          const uint32_t a = m.Kind == 1 ? v >> 24 : (v >> 16) & 0xff;
          return a == 0 ? 0x00 : a == 255 ? 0x40 : 0x80;
        }
        const uint32_t c = m.Kind == 1 ? v : (v & 0xffff);
        return c == m.TransColor ? 0x00 : 0x40;
      };
      const uint8_t c = cls(x);
      int n = 1;
      while (x + n < m.Width && n < 64 && cls(x + n) == c) ++n;
      t.runs.push_back(static_cast<uint8_t>((n - 1) | c));
      x += n;
    }
    t.runs.push_back(0xc0);
  }
  t.runs.resize((static_cast<size_t>(m.Width) + 5) * m.Height, 0xc0);
  m.RunTable = t.runs.data();
  m.RunTableValid = 1;
}

TestImage CloneImage(const TestImage& src) {
  TestImage t;
  *t.img = *src.img;
  *t.format = *src.format;
  t.pixels = src.pixels;
  t.runs = src.runs;
  t.img->Format = t.format.get();
  t.img->Pixels = t.pixels.data();
  t.img->DrawPalette = t.img->PaletteStore1;
  t.img->SavedPalette = t.img->PaletteStore2;
  t.img->RunTable = t.runs.empty() ? nullptr : t.runs.data();
  return t;
}

}  // namespace softrender_test
