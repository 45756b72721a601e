#include "engine/graphics/texture_device.h"

namespace pd = platform::display;

TextureDevice& GetTextureDevice() {
  static TextureDevice* device = new TextureDevice;
  return *device;
}

void ResetTextureDevice() { GetTextureDevice() = TextureDevice{}; }

int SelectTextureFormat(const GraphCreationFlags& flags) {
  const int d = flags.ColorBitDepth == 16 ? 0 : 1;
  if (flags.DrawValid != 0) {
    return (flags.AlphaChFlag == 1 || flags.AlphaTestFlag == 1) ? 8 : 6 + d;
  }
  if (flags.AlphaChFlag != 0) return 2 + d;
  if (flags.AlphaTestFlag != 0) return 4 + d;
  return d;
}

const DDPixelFormat* GetTexturePixelFormat(int index) {
  if (index < 0 || index >= kTextureFormatCount) return nullptr;
  return &GetTextureDevice().Formats[static_cast<size_t>(index)].PixelFormat;
}

const ColorFormat* GetTextureColorFormat(int index) {
  if (index < 0 || index >= kTextureFormatCount) return nullptr;
  return &GetTextureDevice().Formats[static_cast<size_t>(index)].Format;
}

const ColorFormat* GetTextureColorFormatForFlags(const GraphCreationFlags& flags) {
  return GetTextureColorFormat(SelectTextureFormat(flags));
}

const ColorFormat* GetTextureColorFormatFor(int alphaCh, int alphaTest, int is32bit, int drawable) {
  GraphCreationFlags flags{};
  flags.AlphaChFlag = static_cast<uint8_t>(alphaCh != 0);
  flags.AlphaTestFlag = static_cast<uint8_t>(alphaTest != 0);
  flags.DrawValid = static_cast<uint8_t>(drawable != 0);
  flags.ColorBitDepth = static_cast<uint8_t>(is32bit != 0 ? 32 : 16);
  return GetTextureColorFormatForFlags(flags);
}

pd::PixelFormat TexturePixelFormatForSurface(int index) {
  const DDPixelFormat* p = GetTexturePixelFormat(index);
  if (p == nullptr) return pd::PixelFormat{};
  return pd::RgbFormat(p->RgbBitCount, p->RedMask, p->GreenMask, p->BlueMask, p->AlphaMask);
}
