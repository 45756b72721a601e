#include "engine/graphics/texture_device.h"

namespace pd = platform::display;

TextureDevice& GetTextureDevice() {
  static TextureDevice* device = new TextureDevice;
  return *device;
}

void ResetTextureDevice() { GetTextureDevice() = TextureDevice{}; }

pd::PixelFormat TexturePixelFormatForSurface(int index) {
  const DDPixelFormat* p = GetTexturePixelFormat(index);
  if (p == nullptr) return pd::PixelFormat{};
  return pd::RgbFormat(p->RgbBitCount, p->RedMask, p->GreenMask, p->BlueMask, p->AlphaMask);
}
