#include "engine/graphics/image/memimg.h"

#include <cstddef>
#include <cstring>

#include "engine/graphics/image/convert_color_blt.h"
#include "engine/graphics/image/image_memory.h"
#include "engine/graphics/image/screen_color.h"

namespace {

int BytesPerPixel(int kind, int palette, int alpha) {
  if (palette) return 1;
  switch (kind) {
    case kMemImgKind565:
      return alpha ? 4 : 2;
    case kMemImgKindXrgb32:
      return 4;
    case kMemImgKindMask8:
      return 1;
    default:
      return 2;
  }
}

// The largest pixel block an image may own; keeps every offset inside int32.
constexpr int64_t kMaxImageBytes = 0x7FFFFFFF;

int64_t RoundUp16(int64_t v) { return (v + 15) / 16 * 16; }

int PitchShiftFor(int64_t pitch, int64_t rowSize) {
  int n = 0;
  int64_t p2 = 1;
  while (p2 < rowSize && n < 31) {
    p2 <<= 1;
    ++n;
  }
  return p2 == pitch ? n : -1;
}

// The library's clipping of a rectangle to an image's bounds.
void ClipToImage(ImageRect* r, int32_t width, int32_t height) {
  const ImageRect bounds{0, 0, width, height};
  ClipRect(r, &bounds);
}

}  // namespace

int CreateMemImg(MEMIMG* image, int width, int height, int pitch, uint32_t transColor, int kind,
                 int palette, int alpha, int withBuffers) {
  if (image->Magic == kMemImgMagic) return -1;
  if (kind < 0 || kind > 3 || width < 0 || height < 0 || pitch < -1) return -1;
  if (kind == kMemImgKindMask8 || kind == kMemImgKindDepth16) {
    palette = 0;
    alpha = 0;
  }
  palette = palette ? 1 : 0;
  alpha = alpha ? 1 : 0;
  if (palette) alpha = 0;

  const int bytes = BytesPerPixel(kind, palette, alpha);
  // A given pitch must hold a whole row, or fills and blits of the last
  // rows would run past the block.
  if (pitch >= 0 && int64_t{pitch} < int64_t{width} * bytes) return -1;
  const int64_t rowSize = pitch >= 0 ? int64_t{pitch} : int64_t{width} * bytes;
  const int64_t fullPitch = pitch >= 0 ? int64_t{pitch} : RoundUp16(rowSize);
  const int64_t pixelBytes = fullPitch * height;
  const int64_t runBytes = (int64_t{width} + 5) * height;
  if (fullPitch > kMaxImageBytes || pixelBytes > kMaxImageBytes || runBytes > kMaxImageBytes)
    return -1;

  image->Height = height;
  image->TransColor = transColor;
  image->UseAlpha = alpha;
  image->Width = width;
  image->Kind = kind;
  image->UsePalette = palette;
  image->DrawPalette = image->PaletteStore1;
  image->SavedPalette = image->PaletteStore2;
  image->PremulValid = 0;
  image->RunTableValid = 0;
  image->Pitch = static_cast<int32_t>(fullPitch);
  image->PitchShift = PitchShiftFor(fullPitch, rowSize);
  image->Format = GetColorFormat(kind, alpha, palette);

  // Blocks this call allocated are given back when a later one fails.
  uint8_t* ownPixels = nullptr;
  uint8_t* ownPremul = nullptr;
  if (image->Pixels != nullptr) {
    image->ExternalPixels = 1;
  } else {
    ownPixels = AllocImageMemory(static_cast<uint64_t>(pixelBytes));
    if (ownPixels == nullptr) return -1;
    image->Pixels = ownPixels;
    image->ExternalPixels = 0;
  }
  if (withBuffers) {
    if (alpha && image->PremulPixels == nullptr) {
      ownPremul = AllocImageMemory(static_cast<uint64_t>(pixelBytes));
      if (ownPremul == nullptr) {
        if (ownPixels) {
          FreeImageMemory(ownPixels);
          image->Pixels = nullptr;
        }
        return -1;
      }
      image->PremulPixels = ownPremul;
    }
    if (kind != kMemImgKindMask8 && image->RunTable == nullptr) {
      image->RunTable = AllocImageMemory(static_cast<uint64_t>(runBytes));
      if (image->RunTable == nullptr) {
        if (ownPremul) {
          FreeImageMemory(ownPremul);
          image->PremulPixels = nullptr;
        }
        if (ownPixels) {
          FreeImageMemory(ownPixels);
          image->Pixels = nullptr;
        }
        return -1;
      }
    }
  }
  image->Magic = kMemImgMagic;
  return 0;
}

int CreateScreenMemImg(MEMIMG* image, int width, int height, int kind) {
  std::memset(image, 0, sizeof(*image));
  if (kind == -1) kind = ScreenMemImgKind();
  return CreateMemImg(image, width, height, -1, 0, kind, 0, 0, 0);
}

int CreateZBufferMemImg(MEMIMG* image, int width, int height) {
  std::memset(image, 0, sizeof(*image));
  if (width < 0 || height < 0) return -1;
  const int64_t rowSize = int64_t{width} * 2;
  const int64_t pitch = RoundUp16(rowSize);
  const int64_t bytes = pitch * height;
  if (pitch > kMaxImageBytes || bytes > kMaxImageBytes) return -1;
  image->Kind = kMemImgKindDepth16;
  image->Width = width;
  image->Height = height;
  image->TransColor = 0;
  image->DrawPalette = image->PaletteStore1;
  image->SavedPalette = image->PaletteStore2;
  image->Pitch = static_cast<int32_t>(pitch);
  image->PitchShift = PitchShiftFor(pitch, rowSize);
  image->Format = GetColorFormat(kMemImgKindDepth16, 0, 0);
  image->Pixels = AllocImageMemory(static_cast<uint64_t>(bytes));
  if (image->Pixels == nullptr) return -1;
  image->Magic = kMemImgMagic;
  return 0;
}

MEMIMG* InitMemImgView(MEMIMG* view, const MEMIMG* parent, int x, int y, int width, int height) {
  view->Magic = kMemImgMagic;
  view->Width = width;
  view->Height = height;
  view->Pitch = parent->Pitch;
  view->PitchShift = parent->PitchShift;
  view->Format = parent->Format;
  view->TransColor = parent->TransColor;
  view->Kind = parent->Kind;
  view->UsePalette = parent->UsePalette;
  view->PaletteCount = parent->PaletteCount;
  view->UseAlpha = parent->UseAlpha;
  view->DrawPalette = parent->DrawPalette;
  view->SavedPalette = parent->SavedPalette;
  view->PremulValid = 0;
  view->RunTableValid = 0;
  view->ExternalPixels = 0;
  const int pixelByte = parent->Format != nullptr ? parent->Format->PixelByte : 0;
  view->Pixels = parent->Pixels + static_cast<ptrdiff_t>(y) * parent->Pitch +
                 static_cast<ptrdiff_t>(x) * pixelByte;
  view->PremulPixels = nullptr;
  view->RunTable = nullptr;
  return view;
}

int ReleaseMemImg(MEMIMG* image) {
  if (image->Magic != kMemImgMagic) return 0;
  if (image->ExternalPixels != 1) FreeImageMemory(image->Pixels);
  FreeImageMemory(image->PremulPixels);
  FreeImageMemory(image->RunTable);
  image->Pixels = nullptr;
  image->PremulPixels = nullptr;
  image->RunTable = nullptr;
  image->Magic = 0;
  return 0;
}

int HasMemImgPixels(const MEMIMG* image) { return image->Pixels != nullptr ? 1 : 0; }

void FillMemImg(MEMIMG* image, const ImageRect* rect, uint32_t value) {
  if (image->Pixels == nullptr) return;
  ImageRect r = rect != nullptr ? *rect : ImageRect{0, 0, image->Width, image->Height};
  ClipToImage(&r, image->Width, image->Height);
  if (r.left >= r.right || r.top >= r.bottom) return;
  const int bytes = image->Format != nullptr ? image->Format->PixelByte : 0;
  if (bytes != 1 && bytes != 2 && bytes != 3 && bytes != 4) return;
  uint8_t pattern[4];
  for (int i = 0; i < 4; ++i) pattern[i] = static_cast<uint8_t>(value >> (8 * i));
  const int count = r.right - r.left;
  for (int y = r.top; y < r.bottom; ++y) {
    uint8_t* p = image->Pixels + static_cast<ptrdiff_t>(y) * image->Pitch +
                 static_cast<ptrdiff_t>(r.left) * bytes;
    if (bytes == 1) {
      std::memset(p, pattern[0], static_cast<size_t>(count));
      continue;
    }
    for (int x = 0; x < count; ++x, p += bytes) std::memcpy(p, pattern, static_cast<size_t>(bytes));
  }
}

int CopyMemImg(MEMIMG* dest, const MEMIMG* source, const ImageRect* rect, int x, int y) {
  if (dest->Pixels == nullptr || source->Pixels == nullptr) return -1;
  ImageRect r = rect != nullptr ? *rect : ImageRect{0, 0, source->Width, source->Height};
  // Keep the copy inside both images: what lies outside the source is not
  // read and what falls outside the destination is not written.
  ClipToImage(&r, source->Width, source->Height);
  if (rect != nullptr) {
    x += r.left - rect->left;
    y += r.top - rect->top;
  }
  if (x < 0) {
    r.left -= x;
    x = 0;
  }
  if (y < 0) {
    r.top -= y;
    y = 0;
  }
  if (int64_t{x} + (r.right - r.left) > dest->Width) r.right = r.left + (dest->Width - x);
  if (int64_t{y} + (r.bottom - r.top) > dest->Height) r.bottom = r.top + (dest->Height - y);
  return ConvertColorBlt(dest->Pixels, dest->Pitch, dest->Format, source->Pixels, source->Pitch,
                         source->Format, nullptr, 0, nullptr, x, y, &r, 0, 0, 0, kDitherNone, 0, 0,
                         0);
}
