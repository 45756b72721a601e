// Pixel formats, buffers and planes of the display stand-in.
#include "platform/display/pixel_plane.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

namespace platform::display {
namespace {

// A mask of one run of set bits, inside the pixel's bits, up to 8 bits wide.
bool MakeChannel(uint32_t mask, uint32_t bit_count, Channel* out) {
  *out = Channel{};
  if (mask == 0) return true;
  if (bit_count < 32 && (mask >> bit_count) != 0) return false;
  const int shift = std::countr_zero(mask);
  const uint32_t run = mask >> shift;
  if ((run & (run + 1)) != 0) return false;  // a gap in the mask
  const int width = std::popcount(run);
  if (width > 8) return false;
  out->mask = mask;
  out->shift = static_cast<uint8_t>(shift);
  out->width = static_cast<uint8_t>(width);
  return true;
}

// The value widened to 8 bits by repeating its bits from the top.
uint8_t Replicate(uint32_t value, int width) {
  if (width <= 0) return 0;
  if (width >= 8) return static_cast<uint8_t>(value >> (width - 8));
  uint32_t result = 0;
  int filled = 0;
  while (filled < 8) {
    const int shift = 8 - filled - width;
    result |= shift >= 0 ? value << shift : value >> -shift;
    filled += width;
  }
  return static_cast<uint8_t>(result);
}

void FillTable(const Channel& c, uint8_t* table) {
  const uint32_t count = c.width == 0 ? 1u : (1u << c.width);
  for (uint32_t v = 0; v < count; ++v) table[v] = Replicate(v, c.width);
}

uint32_t PackChannel(const Channel& c, uint32_t value8) {
  if (c.width == 0) return 0;
  return ((value8 & 0xFF) >> (8 - c.width)) << c.shift;
}

}  // namespace

PixelFormat RgbFormat(uint32_t bits, uint32_t red, uint32_t green, uint32_t blue,
                      uint32_t alpha) {
  PixelFormat f;
  f.flags = kPixelFormatRgb | (alpha != 0 ? kPixelFormatAlpha : 0);
  f.bit_count = bits;
  f.red_mask = red;
  f.green_mask = green;
  f.blue_mask = blue;
  f.alpha_mask = alpha;
  return f;
}

PixelFormat Indexed8Format() {
  PixelFormat f;
  f.flags = kPixelFormatRgb | kPixelFormatIndexed8;
  f.bit_count = 8;
  return f;
}

PixelFormat Depth16Format() {
  PixelFormat f;
  f.flags = kPixelFormatDepth;
  f.bit_count = 16;
  f.green_mask = 0xFFFF;
  return f;
}

bool FormatInfo::SameLayout(const FormatInfo& other) const {
  if (kind != other.kind || bytes != other.bytes) return false;
  if (kind != PixelKind::kRgb) return true;
  return red.mask == other.red.mask && green.mask == other.green.mask &&
         blue.mask == other.blue.mask && alpha.mask == other.alpha.mask;
}

uint32_t FormatInfo::ToRgb(uint32_t pixel, const PaletteEntry* palette) const {
  switch (kind) {
    case PixelKind::kIndexed8: {
      const PaletteEntry& e = palette[pixel & 0xFF];
      return uint32_t{e.red} << 16 | uint32_t{e.green} << 8 | e.blue;
    }
    case PixelKind::kDepth: {
      const uint32_t v = (pixel >> 8) & 0xFF;
      return v << 16 | v << 8 | v;
    }
    case PixelKind::kRgb:
      break;
  }
  return uint32_t{red_to8[(pixel & red.mask) >> red.shift]} << 16 |
         uint32_t{green_to8[(pixel & green.mask) >> green.shift]} << 8 |
         blue_to8[(pixel & blue.mask) >> blue.shift];
}

uint32_t FormatInfo::FromRgb(uint32_t rgb) const {
  if (kind == PixelKind::kDepth) return (rgb >> 8 & 0xFF) * 0x101u;
  return PackChannel(red, rgb >> 16) | PackChannel(green, rgb >> 8) | PackChannel(blue, rgb) |
         alpha.mask;
}

bool MakeFormatInfo(const PixelFormat& format, bool allow_24, FormatInfo* out) {
  FormatInfo info;
  info.format = format;
  if ((format.flags & kPixelFormatFourCC) != 0) return false;
  if ((format.flags & kPixelFormatDepth) != 0) {
    if (format.bit_count != 16) return false;
    info.kind = PixelKind::kDepth;
    info.bytes = 2;
    info.format = Depth16Format();
    *out = info;
    return true;
  }
  if ((format.flags & kPixelFormatIndexed8) != 0) {
    if (format.bit_count != 8) return false;
    info.kind = PixelKind::kIndexed8;
    info.bytes = 1;
    info.format = Indexed8Format();
    *out = info;
    return true;
  }
  if ((format.flags & kPixelFormatRgb) == 0) return false;
  const uint32_t bits = format.bit_count;
  if (bits != 16 && bits != 32 && !(allow_24 && bits == 24)) return false;
  const uint32_t alpha_mask = (format.flags & kPixelFormatAlpha) != 0 ? format.alpha_mask : 0;
  if (!MakeChannel(format.red_mask, bits, &info.red) ||
      !MakeChannel(format.green_mask, bits, &info.green) ||
      !MakeChannel(format.blue_mask, bits, &info.blue) ||
      !MakeChannel(alpha_mask, bits, &info.alpha)) {
    return false;
  }
  if (info.red.width == 0 || info.green.width == 0 || info.blue.width == 0) return false;
  const uint32_t masks[] = {info.red.mask, info.green.mask, info.blue.mask, info.alpha.mask};
  for (int i = 0; i < 4; ++i) {
    for (int j = i + 1; j < 4; ++j) {
      if ((masks[i] & masks[j]) != 0) return false;
    }
  }
  info.kind = PixelKind::kRgb;
  info.bytes = static_cast<int32_t>(bits / 8);
  info.format.alpha_mask = alpha_mask;
  FillTable(info.red, info.red_to8);
  FillTable(info.green, info.green_to8);
  FillTable(info.blue, info.blue_to8);
  *out = info;
  return true;
}

uint8_t NearestPaletteIndex(const PaletteEntry* palette, uint32_t rgb) {
  const int r = static_cast<int>(rgb >> 16 & 0xFF);
  const int g = static_cast<int>(rgb >> 8 & 0xFF);
  const int b = static_cast<int>(rgb & 0xFF);
  int best = 0;
  int best_distance = 1 << 30;
  for (int i = 0; i < 256; ++i) {
    const int dr = palette[i].red - r, dg = palette[i].green - g, db = palette[i].blue - b;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  return static_cast<uint8_t>(best);
}

int32_t PitchForWidth(int32_t width, int32_t bytes_per_pixel) {
  const int64_t row = static_cast<int64_t>(width) * bytes_per_pixel;
  return static_cast<int32_t>(((row + 63) & ~int64_t{63}) + 64);
}

std::shared_ptr<PixelStore> PixelStore::Create(int32_t width, int32_t height,
                                               int32_t bytes_per_pixel, bool* too_large) {
  if (too_large != nullptr) *too_large = false;
  if (width <= 0 || height <= 0 || bytes_per_pixel <= 0) return nullptr;
  const uint64_t row = static_cast<uint64_t>(width) * static_cast<uint64_t>(bytes_per_pixel);
  const uint64_t pitch = ((row + 63) & ~uint64_t{63}) + 64;
  const uint64_t total = pitch * static_cast<uint64_t>(height);
  if (row > kMaxSurfaceBytes || total > kMaxSurfaceBytes) {
    if (too_large != nullptr) *too_large = true;
    return nullptr;
  }
  auto* bits = static_cast<uint8_t*>(std::aligned_alloc(64, static_cast<size_t>(total)));
  if (bits == nullptr) return nullptr;
  std::shared_ptr<PixelStore> store(new (std::nothrow) PixelStore());
  if (store == nullptr) {
    std::free(bits);
    return nullptr;
  }
  store->bits_ = bits;
  store->width_ = width;
  store->height_ = height;
  store->pitch_ = static_cast<int32_t>(pitch);
  store->bytes_per_pixel_ = bytes_per_pixel;
  store->Clear();
  return store;
}

PixelStore::~PixelStore() { std::free(bits_); }

void PixelStore::Clear() { std::memset(bits_, 0, size_bytes()); }

void PixelStore::FillPattern() {
  for (int32_t y = 0; y < height_; ++y) {
    uint8_t* row = bits_ + static_cast<size_t>(y) * static_cast<size_t>(pitch_);
    for (int32_t i = 0; i < pitch_; ++i) row[i] = ((i + y) & 1) != 0 ? 0x5A : 0xA5;
  }
}

Rect Intersect(const Rect& a, const Rect& b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.Empty()) return Rect{};
  return r;
}

bool Contains(const Rect& outer, const Rect& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

}  // namespace platform::display
