#include "engine/graphics/dib_convert.h"

#include <cstring>
#include <new>

#include "engine/graphics/image/convert_color_blt.h"
#include "engine/graphics/image/image_rect.h"

namespace pd = platform::display;

namespace {

bool IsRgb24(const ColorFormat& f) {
  GraphImage probe{};
  SetRgb24ColorFormat(&probe.Format);
  return f.BitDepth == 24 && f.RedMask == probe.Format.RedMask &&
         f.GreenMask == probe.Format.GreenMask && f.BlueMask == probe.Format.BlueMask;
}

}  // namespace

int GraphImageToDib(const GraphImage& image, DibImage* out, int forceCopy, int force24) {
  if (image.Pixels == nullptr || image.Width <= 0 || image.Height <= 0) return -1;
  out->info = pd::DibDescription{};
  out->owned.clear();
  out->info.width = image.Width;
  out->info.height = -image.Height;  // rows top-down
  const bool indexed = image.Format.BitDepth == 8 && force24 == 0;
  out->info.bit_count = indexed ? 8 : 24;
  if (indexed) {
    for (int i = 0; i < 256; ++i) {
      const uint8_t* e = image.Format.PaletteTable + i * 4;
      out->info.colors[i] = pd::PaletteEntry{e[2], e[1], e[0], 0};
    }
  }
  const int32_t stride = pd::DibStride(image.Width, out->info.bit_count);
  const bool sameLayout = indexed || IsRgb24(image.Format);
  if (sameLayout && image.Pitch == stride && forceCopy == 0) {
    out->bits = image.Pixels;
    return forceCopy;
  }
  try {
    out->owned.assign(static_cast<size_t>(stride) * static_cast<size_t>(image.Height), 0);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  if (sameLayout) {
    const size_t rowBytes = static_cast<size_t>(image.Width) * (indexed ? 1 : 3);
    for (int y = 0; y < image.Height; ++y) {
      std::memcpy(out->owned.data() + static_cast<size_t>(y) * stride,
                  image.Pixels + static_cast<ptrdiff_t>(y) * image.Pitch, rowBytes);
    }
  } else {
    GraphImage target{};
    SetRgb24ColorFormat(&target.Format);
    const ImageRect all{0, 0, image.Width, image.Height};
    if (ConvertColorBlt(out->owned.data(), stride, &target.Format, image.Pixels, image.Pitch,
                        &image.Format, nullptr, 0, nullptr, 0, 0, &all, 0, 0, 0, 0, 0, 0, 0) < 0) {
      return -1;
    }
  }
  out->bits = out->owned.data();
  return 1;
}

pd::BitmapPtr CreateDibFromBits(const pd::DibDescription& info, const uint8_t* bits, int mirror) {
  if (bits == nullptr || info.width <= 0 || info.height == 0) return nullptr;
  pd::DibDescription desc = info;
  const int32_t height = info.height < 0 ? -info.height : info.height;
  desc.height = -height;
  if (mirror == 0) return pd::CreateDibBitmap(desc, bits);
  const int32_t stride = pd::DibStride(info.width, info.bit_count);
  const int bytes = info.bit_count / 8;
  std::vector<uint8_t> flipped(static_cast<size_t>(stride) * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* src = bits + static_cast<ptrdiff_t>(y) * stride;
    uint8_t* dst = flipped.data() + static_cast<ptrdiff_t>(y) * stride;
    for (int32_t x = 0; x < info.width; ++x) {
      std::memcpy(dst + static_cast<ptrdiff_t>(info.width - 1 - x) * bytes,
                  src + static_cast<ptrdiff_t>(x) * bytes, static_cast<size_t>(bytes));
    }
  }
  return pd::CreateDibBitmap(desc, flipped.data());
}
