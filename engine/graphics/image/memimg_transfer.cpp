#include "engine/graphics/image/memimg_transfer.h"

#include <climits>
#include <cstddef>
#include <cstring>

#include "engine/graphics/image/convert_color_blt.h"

namespace {

inline uint8_t* RowOf(uint8_t* pixels, int pitch, int y) {
  return pixels + static_cast<ptrdiff_t>(y) * pitch;
}

// Rectangle (x, y, x + w, y + h) of a source of sw × sh pixels going to
// (destX, destY) of a destination of dw × dh pixels, cut to what both hold.
// Returns false when nothing is left.
bool ClipTransfer(ImageRect* r, int* destX, int* destY, int64_t sw, int64_t sh, int64_t dw,
                  int64_t dh) {
  int64_t left = r->left, top = r->top, right = r->right, bottom = r->bottom;
  int64_t dx = *destX, dy = *destY;
  if (left < 0) {
    dx -= left;
    left = 0;
  }
  if (top < 0) {
    dy -= top;
    top = 0;
  }
  if (dx < 0) {
    left -= dx;
    dx = 0;
  }
  if (dy < 0) {
    top -= dy;
    dy = 0;
  }
  if (right > sw) right = sw;
  if (bottom > sh) bottom = sh;
  if (dx + (right - left) > dw) right = left + (dw - dx);
  if (dy + (bottom - top) > dh) bottom = top + (dh - dy);
  if (right <= left || bottom <= top) return false;
  r->left = static_cast<int32_t>(left);
  r->top = static_cast<int32_t>(top);
  r->right = static_cast<int32_t>(right);
  r->bottom = static_cast<int32_t>(bottom);
  *destX = static_cast<int>(dx);
  *destY = static_cast<int>(dy);
  return true;
}

bool HasPixels(const GraphImage* g) {
  return g != nullptr && g->Pixels != nullptr && g->Width > 0 && g->Height > 0;
}

// Sets the bits of the format that belong to no channel in the rectangle of
// w x h pixels at (x, y): a copy between equal layouts keeps the source's,
// while the image's transparent colour has them set.
void SetSpareBits(MEMIMG* image, int x, int y, int w, int h) {
  const ColorFormat* f = image->Format;
  if (f == nullptr || f->SpareMask == 0 || (f->BitDepth != 16 && f->BitDepth != 32)) return;
  for (int row = 0; row < h; ++row) {
    uint8_t* p = RowOf(image->Pixels, image->Pitch, y + row) + static_cast<ptrdiff_t>(x) * f->PixelByte;
    for (int i = 0; i < w; ++i, p += f->PixelByte) {
      if (f->BitDepth == 16) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        v = static_cast<uint16_t>(v | f->SpareMask);
        std::memcpy(p, &v, 2);
      } else {
        uint32_t v;
        std::memcpy(&v, p, 4);
        v |= f->SpareMask;
        std::memcpy(p, &v, 4);
      }
    }
  }
}

}  // namespace

void CopyMemImgToGraphImage(GraphImage* dest, const MEMIMG* image, int x, int y, int width,
                            int height, int destX, int destY, uint32_t colorKey,
                            int transparentCopy) {
  if (image->Kind != kMemImgKind565 && image->Kind != kMemImgKindXrgb32) return;
  if (image->UsePalette || image->UseAlpha) return;
  ImageRect r{x, y, static_cast<int32_t>(int64_t{x} + width),
              static_cast<int32_t>(int64_t{y} + height)};
  if (int64_t{x} + width != r.right || int64_t{y} + height != r.bottom) return;
  if (!ClipTransfer(&r, &destX, &destY, image->Width, image->Height, dest->Width, dest->Height))
    return;
  ConvertColorBlt(dest->Pixels, dest->Pitch, &dest->Format, image->Pixels, image->Pitch,
                  image->Format, nullptr, 0, nullptr, destX, destY, &r, 0, 0, colorKey, kDitherNone,
                  0, 0, transparentCopy);
}

int TransGraphImageToMemImg(const GraphImage* source, const GraphImage* alpha, MEMIMG* image, int x,
                            int y, int width, int height, int destX, int destY, int useKey) {
  const int64_t right = int64_t{x} + width;
  const int64_t bottom = int64_t{y} + height;
  if (width <= 0 || height <= 0 || right > INT32_MAX || bottom > INT32_MAX) return -1;
  ImageRect r{x, y, static_cast<int32_t>(right), static_cast<int32_t>(bottom)};
  if (!HasPixels(source) || image->Pixels == nullptr || image->Format == nullptr) return -1;
  if (!HasPixels(alpha)) alpha = nullptr;

  // Decoded images come from files: never read or write past either image.
  int64_t sw = source->Width, sh = source->Height;
  if (alpha != nullptr) {
    if (alpha->Width < sw) sw = alpha->Width;
    if (alpha->Height < sh) sh = alpha->Height;
  }
  if (!ClipTransfer(&r, &destX, &destY, sw, sh, image->Width, image->Height)) return -1;

  if (image->Kind == kMemImgKindMask8 || image->Kind == kMemImgKindDepth16) {
    const int result = ConvertColorBlt(image->Pixels, image->Pitch, image->Format, source->Pixels,
                                       source->Pitch, &source->Format, nullptr, 0, nullptr, destX,
                                       destY, &r, 0, 0, 0, kDitherNone, 1, 1, 0);
    if (result < 0) return result;
  } else {
    const int result = ConvertColorBlt(
        image->Pixels, image->Pitch, image->Format, source->Pixels, source->Pitch, &source->Format,
        alpha ? alpha->Pixels : nullptr, alpha ? alpha->Pitch : 0, alpha ? &alpha->Format : nullptr,
        destX, destY, &r, 0, useKey, image->TransColor, kDitherNone, 0, 0, 0);
    if (result < 0) return result;
    if (!image->UsePalette && !image->UseAlpha) {
      SetSpareBits(image, destX, destY, r.right - r.left, r.bottom - r.top);
    }
    // Every index of a palette image stays below its count: a transfer of
    // the whole image sets the count from the largest index it copied (with
    // or without an alpha image), a partial one only raises it, since the
    // pixels it left may hold larger indices.
    if (image->UsePalette && result < 256) {
      const bool whole = destX == 0 && destY == 0 && r.right - r.left == image->Width &&
                         r.bottom - r.top == image->Height;
      if (whole || image->PaletteCount < result + 1) image->PaletteCount = result + 1;
    }
  }

  if (image->UsePalette) {
    const uint8_t* table = source->Format.PaletteTable;
    if (image->Kind == kMemImgKindXrgb32) {
      for (int i = 0; i < 256; ++i) {
        const uint32_t entry =
            (uint32_t{table[i * 4 + 2]} << 16) | (uint32_t{table[i * 4 + 1]} << 8) | table[i * 4];
        std::memcpy(image->DrawPalette + i * 4, &entry, 4);
      }
      std::memcpy(image->SavedPalette, image->DrawPalette, 1024);
    } else if (image->Kind == kMemImgKind565) {
      for (int i = 0; i < 256; ++i) {
        const uint16_t entry = static_cast<uint16_t>(
            ((table[i * 4 + 2] >> 3) << 11) | ((table[i * 4 + 1] >> 2) << 5) | (table[i * 4] >> 3));
        std::memcpy(image->DrawPalette + i * 2, &entry, 2);
      }
      std::memcpy(image->SavedPalette, image->DrawPalette, 512);
    }
  }

  image->PremulValid = 0;
  image->RunTableValid = 0;
  if (width != image->Width || height != image->Height) return 0;
  if (image->Kind != kMemImgKind565 && image->Kind != kMemImgKindXrgb32) return 0;
  if (image->RunTable == nullptr) return 0;
  image->RunTableValid = 1;
  // The premultiplied copy follows the memory image's alpha, whether it came
  // from a separate alpha image or with the source's own pixels.
  if (image->UseAlpha && image->PremulPixels != nullptr) {
    image->PremulValid = 1;
    BuildMemImgPremul(image);
  }
  BuildMemImgRunTable(image);
  return 0;
}

void BuildMemImgPremul(MEMIMG* image) {
  if (image->PremulPixels == nullptr || !image->UseAlpha) return;
  for (int y = 0; y < image->Height; ++y) {
    const uint8_t* src = RowOf(image->Pixels, image->Pitch, y);
    uint8_t* dst = RowOf(image->PremulPixels, image->Pitch, y);
    for (int x = 0; x < image->Width; ++x) {
      const uint8_t* s = src + x * 4;
      uint8_t* d = dst + x * 4;
      if (image->Kind == kMemImgKindXrgb32) {
        const uint32_t a = s[3];
        d[0] = static_cast<uint8_t>(s[0] * a >> 8);
        d[1] = static_cast<uint8_t>(s[1] * a >> 8);
        d[2] = static_cast<uint8_t>(s[2] * a >> 8);
        d[3] = static_cast<uint8_t>(a);
      } else {
        const uint32_t a = s[2];
        const uint32_t c = uint32_t{s[0]} | (uint32_t{s[1]} << 8);
        const uint32_t p = (((c & 0xF800u) * a >> 8) & 0xF800u) |
                           (((c & 0x07E0u) * a >> 8) & 0x07E0u) |
                           (((c & 0x001Fu) * a >> 8) & 0x1Fu);
        d[0] = static_cast<uint8_t>(p);
        d[1] = static_cast<uint8_t>(p >> 8);
        d[2] = static_cast<uint8_t>(a);
        d[3] = 0;
      }
    }
  }
}

void BuildMemImgRunTable(MEMIMG* image) {
  if (image->RunTable == nullptr) return;
  const int bytes = image->UsePalette ? 1 : (image->Format ? image->Format->PixelByte : 0);
  uint8_t* out = image->RunTable;
  for (int y = 0; y < image->Height; ++y) {
    const uint8_t* row = RowOf(image->Pixels, image->Pitch, y);
    int runClass = -1;
    int runLength = 0;
    for (int x = 0; x < image->Width; ++x) {
      const uint8_t* p = row + static_cast<ptrdiff_t>(x) * bytes;
      uint8_t cls;
      if (image->UsePalette) {
        cls = p[0] == image->TransColor ? kRunTransparent : kRunOpaque;
      } else if (image->UseAlpha) {
        const uint8_t a = image->Kind == kMemImgKindXrgb32 ? p[3] : p[2];
        cls = a == 0 ? kRunTransparent : (a == 255 ? kRunOpaque : kRunPartial);
      } else if (image->Kind == kMemImgKindXrgb32) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        cls = v == image->TransColor ? kRunTransparent : kRunOpaque;
      } else {
        const uint32_t v = uint32_t{p[0]} | (uint32_t{p[1]} << 8);
        cls = v == image->TransColor ? kRunTransparent : kRunOpaque;
      }
      if (cls != runClass || runLength == kRunMaxLength) {
        if (runLength > 0) *out++ = static_cast<uint8_t>((runLength - 1) | runClass);
        runClass = cls;
        runLength = 0;
      }
      ++runLength;
    }
    if (runLength > 0) *out++ = static_cast<uint8_t>((runLength - 1) | runClass);
    *out++ = kRunRowEnd;
  }
}
