// Internal to the display stand-in: how a pixel format is read and written
// (FormatInfo), an owned, aligned pixel buffer (PixelStore), and a window
// onto pixels that may be backed only in part (PixelPlane).
//
// Every buffer's pitch is the row rounded up to 64 bytes plus 64, so code
// that steps rows by width x bytes per pixel goes wrong at once. No buffer
// is larger than kMaxSurfaceBytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/display/display_types.h"

namespace platform::display {

inline constexpr uint64_t kMaxSurfaceBytes = uint64_t{256} << 20;

struct Channel {
  uint32_t mask = 0;
  uint8_t shift = 0;
  uint8_t width = 0;  // bits in the lowest run of the mask
};

enum class PixelKind { kIndexed8, kRgb, kDepth };

struct FormatInfo {
  PixelFormat format;
  PixelKind kind = PixelKind::kRgb;
  int32_t bytes = 0;  // 1, 2, 3 (memory bitmaps only) or 4
  Channel red, green, blue, alpha;
  // Bit replication tables: channel value -> 0-255 (channels up to 8 bits).
  uint8_t red_to8[256] = {}, green_to8[256] = {}, blue_to8[256] = {};

  bool SameLayout(const FormatInfo& other) const;
  // 0x00RRGGBB of a pixel, each channel widened by bit replication (5 bits
  // 0x10 -> 0x84, 6 bits 0x20 -> 0x82). Indexed pixels need the palette.
  uint32_t ToRgb(uint32_t pixel, const PaletteEntry* palette) const;
  // A pixel from 0x00RRGGBB: each channel's top bits; alpha bits set.
  // Not for indexed formats (see NearestPaletteIndex).
  uint32_t FromRgb(uint32_t rgb) const;
};

// Accepts the formats this layer holds (24 bits only when allow_24 is set,
// for memory bitmaps); false for anything else.
bool MakeFormatInfo(const PixelFormat& format, bool allow_24, FormatInfo* out);

// The index of the entry nearest to 0x00RRGGBB (squared distance), the first
// of equally near entries.
uint8_t NearestPaletteIndex(const PaletteEntry* palette, uint32_t rgb);

int32_t PitchForWidth(int32_t width, int32_t bytes_per_pixel);

class PixelStore {
 public:
  // Null when the size is not positive or the buffer would pass
  // kMaxSurfaceBytes (*too_large is then set) or cannot be allocated.
  static std::shared_ptr<PixelStore> Create(int32_t width, int32_t height,
                                            int32_t bytes_per_pixel, bool* too_large);
  ~PixelStore();
  PixelStore(const PixelStore&) = delete;
  PixelStore& operator=(const PixelStore&) = delete;

  uint8_t* bits() const { return bits_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int32_t pitch() const { return pitch_; }
  int32_t bytes_per_pixel() const { return bytes_per_pixel_; }
  size_t size_bytes() const { return static_cast<size_t>(pitch_) * static_cast<size_t>(height_); }
  void Clear();
  // Replaces the contents with a fixed stripe pattern (what a restored
  // surface holds).
  void FillPattern();

 private:
  PixelStore() = default;
  uint8_t* bits_ = nullptr;
  int32_t width_ = 0, height_ = 0, pitch_ = 0, bytes_per_pixel_ = 0;
};

// Pixels as a surface or device context sees them: a logical extent, of
// which only the backed part has memory (the primary surface in a window:
// the desktop, backed by the client area). Writes outside the backed part are
// dropped.
struct PixelPlane {
  uint8_t* bits = nullptr;  // the pixel at (backed.left, backed.top)
  int32_t pitch = 0;
  Rect bounds;  // (0, 0, width, height)
  Rect backed;  // inside bounds; may be empty
  const FormatInfo* format = nullptr;
  const PaletteEntry* palette = nullptr;  // 256 entries, indexed formats only

  bool Valid() const { return format != nullptr; }
  uint8_t* At(int32_t x, int32_t y) const {
    return bits + static_cast<ptrdiff_t>(y - backed.top) * pitch +
           static_cast<ptrdiff_t>(x - backed.left) * format->bytes;
  }
};

// Coordinates no caller could mean (beyond +-2^28) are refused before any
// arithmetic on them.
inline constexpr int32_t kMaxCoordinate = 1 << 28;
inline bool ReasonableRect(const Rect& r) {
  return r.left >= -kMaxCoordinate && r.left <= kMaxCoordinate && r.top >= -kMaxCoordinate &&
         r.top <= kMaxCoordinate && r.right >= -kMaxCoordinate && r.right <= kMaxCoordinate &&
         r.bottom >= -kMaxCoordinate && r.bottom <= kMaxCoordinate;
}

Rect Intersect(const Rect& a, const Rect& b);
bool Contains(const Rect& outer, const Rect& inner);

}  // namespace platform::display
