// Pixel loops of the display stand-in. The same-format loops are written so
// that the compiler vectorises them; the converting loop goes through
// 0x00RRGGBB per pixel.
#include "platform/display/pixel_loops.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform::display {
namespace {

template <class T>
T* PixelAt(const PixelPlane& plane, int32_t x, int32_t y) {
  return reinterpret_cast<T*>(plane.At(x, y));
}

template <class T>
void FillRows(const PixelPlane& plane, const Rect& rect, T value) {
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    std::fill_n(PixelAt<T>(plane, rect.left, y), rect.Width(), value);
  }
}

template <class T>
void KeyRowEqual(T* __restrict d, const T* __restrict s, int32_t n, T key) {
  for (int32_t i = 0; i < n; ++i) {
    const T v = s[i];
    d[i] = v == key ? d[i] : v;
  }
}

template <class T>
void KeyRowRange(T* __restrict d, const T* __restrict s, int32_t n, T low, T span) {
  for (int32_t i = 0; i < n; ++i) {
    const T v = s[i];
    d[i] = static_cast<T>(v - low) <= span ? d[i] : v;
  }
}

// The equal-key rows of 16 and 32 bits, the common case, also built for
// AVX2 and chosen when the processor has it.
__attribute__((target_clones("avx2", "default"))) void KeyRowEqual16(
    uint16_t* __restrict d, const uint16_t* __restrict s, int32_t n, uint16_t key) {
  KeyRowEqual(d, s, n, key);
}
__attribute__((target_clones("avx2", "default"))) void KeyRowEqual32(
    uint32_t* __restrict d, const uint32_t* __restrict s, int32_t n, uint32_t key) {
  KeyRowEqual(d, s, n, key);
}
void KeyRowEqualAny(uint8_t* d, const uint8_t* s, int32_t n, uint8_t key) { KeyRowEqual(d, s, n, key); }
void KeyRowEqualAny(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key) { KeyRowEqual16(d, s, n, key); }
void KeyRowEqualAny(uint32_t* d, const uint32_t* s, int32_t n, uint32_t key) { KeyRowEqual32(d, s, n, key); }

template <class T>
void KeyRow(T* d, const T* s, int32_t n, const KeyRange& key) {
  const T low = static_cast<T>(key.low);
  const T high = static_cast<T>(key.high);
  if (low == high) {
    KeyRowEqualAny(d, s, n, low);
  } else if (high > low) {
    KeyRowRange(d, s, n, low, static_cast<T>(high - low));
  } else {
    std::memcpy(d, s, static_cast<size_t>(n) * sizeof(T));  // an empty range keys nothing
  }
}

template <class T>
void CopyKeyedRows(const PixelPlane& dst, int32_t x, int32_t y, const PixelPlane& src,
                   const Rect& src_rect, const KeyRange& key) {
  for (int32_t row = 0; row < src_rect.Height(); ++row) {
    KeyRow(PixelAt<T>(dst, x, y + row), PixelAt<T>(src, src_rect.left, src_rect.top + row),
           src_rect.Width(), key);
  }
}

uint32_t LoadPixel(const uint8_t* p, int32_t bytes) {
  switch (bytes) {
    case 1:
      return *p;
    case 2: {
      uint16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    case 3:
      return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
    default: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}

void StorePixel(uint8_t* p, int32_t bytes, uint32_t v) {
  switch (bytes) {
    case 1:
      *p = static_cast<uint8_t>(v);
      break;
    case 2: {
      const uint16_t w = static_cast<uint16_t>(v);
      std::memcpy(p, &w, 2);
      break;
    }
    case 3:
      p[0] = static_cast<uint8_t>(v);
      p[1] = static_cast<uint8_t>(v >> 8);
      p[2] = static_cast<uint8_t>(v >> 16);
      break;
    default:
      std::memcpy(p, &v, 4);
      break;
  }
}

// Remembers the nearest palette entry of recent colours.
class NearestCache {
 public:
  explicit NearestCache(const PaletteEntry* palette) : palette_(palette) {
    std::fill(std::begin(keys_), std::end(keys_), 0xFFFFFFFFu);
  }
  uint8_t Get(uint32_t rgb) {
    const uint32_t slot = (rgb * 2654435761u) >> 22;  // 10 bits
    if (keys_[slot] != rgb) {
      keys_[slot] = rgb;
      values_[slot] = NearestPaletteIndex(palette_, rgb);
    }
    return values_[slot];
  }

 private:
  const PaletteEntry* palette_;
  uint32_t keys_[1024];
  uint8_t values_[1024] = {};
};

// Source x of each visible destination column, counted from the source
// row's first backed pixel.
std::vector<int32_t> SourceColumns(const Rect& dst_rect, const Rect& visible, const Rect& src_rect,
                                   int32_t src_backed_left) {
  std::vector<int32_t> xs(static_cast<size_t>(visible.Width()));
  const int64_t dw = dst_rect.Width(), sw = src_rect.Width();
  for (int32_t i = 0; i < visible.Width(); ++i) {
    const int64_t dx = visible.left + i - dst_rect.left;
    xs[static_cast<size_t>(i)] =
        src_rect.left + static_cast<int32_t>(dx * sw / dw) - src_backed_left;
  }
  return xs;
}

int32_t SourceRow(const Rect& dst_rect, const Rect& src_rect, int32_t y) {
  return src_rect.top + static_cast<int32_t>(static_cast<int64_t>(y - dst_rect.top) *
                                             src_rect.Height() / dst_rect.Height());
}

template <class T>
void GatherRow(T* __restrict d, const T* __restrict s, const int32_t* __restrict xs, int32_t n) {
  for (int32_t i = 0; i < n; ++i) d[i] = s[xs[i]];
}

template <class T>
void GatherKeyedRow(T* __restrict d, const T* __restrict s, const int32_t* __restrict xs, int32_t n,
                    const KeyRange& key) {
  const T low = static_cast<T>(key.low);
  const T span = static_cast<T>(key.high - key.low);
  if (static_cast<T>(key.high) < low) {
    GatherRow(d, s, xs, n);
    return;
  }
  for (int32_t i = 0; i < n; ++i) {
    const T v = s[xs[i]];
    d[i] = static_cast<T>(v - low) <= span ? d[i] : v;
  }
}

// Each source pixel written twice: the exact 2x horizontal stretch.
template <class T>
void DoubleRow(T* __restrict d, const T* __restrict s, int32_t pairs) {
  for (int32_t k = 0; k < pairs; ++k) {
    const T v = s[k];
    d[2 * k] = v;
    d[2 * k + 1] = v;
  }
}

template <class T>
void StretchSameLayout(const PixelPlane& dst, const Rect& dst_rect, const Rect& visible,
                       const PixelPlane& src, const Rect& src_rect, const KeyRange* key) {
  const std::vector<int32_t> xs = SourceColumns(dst_rect, visible, src_rect, src.backed.left);
  const int32_t n = visible.Width();
  const bool doubled = key == nullptr && dst_rect.Width() == 2 * src_rect.Width();
  const size_t row_bytes = static_cast<size_t>(n) * sizeof(T);
  int32_t previous_sy = -1;
  const T* previous_row = nullptr;
  for (int32_t y = visible.top; y < visible.bottom; ++y) {
    const int32_t sy = SourceRow(dst_rect, src_rect, y);
    T* d = PixelAt<T>(dst, visible.left, y);
    if (key == nullptr && sy == previous_sy) {
      std::memcpy(d, previous_row, row_bytes);
      continue;
    }
    const T* s = PixelAt<T>(src, src.backed.left, sy);
    if (key != nullptr) {
      GatherKeyedRow(d, s, xs.data(), n, *key);
    } else if (doubled) {
      int32_t i = 0;
      if (((visible.left - dst_rect.left) & 1) != 0) {
        d[0] = s[xs[0]];
        i = 1;
      }
      const int32_t pairs = (n - i) / 2;
      if (pairs > 0) DoubleRow(d + i, s + xs[static_cast<size_t>(i)], pairs);
      if (i + 2 * pairs < n) d[n - 1] = s[xs[static_cast<size_t>(n - 1)]];
    } else {
      GatherRow(d, s, xs.data(), n);
    }
    previous_sy = sy;
    previous_row = d;
  }
}

void StretchBytes3(const PixelPlane& dst, const Rect& dst_rect, const Rect& visible,
                   const PixelPlane& src, const Rect& src_rect) {
  const std::vector<int32_t> xs = SourceColumns(dst_rect, visible, src_rect, src.backed.left);
  for (int32_t y = visible.top; y < visible.bottom; ++y) {
    const uint8_t* s = src.At(src.backed.left, SourceRow(dst_rect, src_rect, y));
    uint8_t* d = dst.At(visible.left, y);
    for (int32_t i = 0; i < visible.Width(); ++i) std::memcpy(d + 3 * i, s + 3 * xs[static_cast<size_t>(i)], 3);
  }
}

// Formats differ: every pixel goes through 0x00RRGGBB.
void StretchConverting(const PixelPlane& dst, const Rect& dst_rect, const Rect& visible,
                       const PixelPlane& src, const Rect& src_rect) {
  const std::vector<int32_t> xs = SourceColumns(dst_rect, visible, src_rect, src.backed.left);
  const int32_t n = visible.Width();
  const int32_t sb = src.format->bytes, db = dst.format->bytes;
  const bool to_indexed = dst.format->kind == PixelKind::kIndexed8;
  NearestCache nearest(dst.palette);
  int32_t previous_sy = -1;
  const uint8_t* previous_row = nullptr;
  for (int32_t y = visible.top; y < visible.bottom; ++y) {
    const int32_t sy = SourceRow(dst_rect, src_rect, y);
    uint8_t* d = dst.At(visible.left, y);
    if (sy == previous_sy) {
      std::memcpy(d, previous_row, static_cast<size_t>(n) * static_cast<size_t>(db));
      continue;
    }
    const uint8_t* s = src.At(src.backed.left, sy);
    for (int32_t i = 0; i < n; ++i) {
      const uint32_t pixel = LoadPixel(s + static_cast<ptrdiff_t>(xs[static_cast<size_t>(i)]) * sb, sb);
      const uint32_t rgb = src.format->ToRgb(pixel, src.palette);
      StorePixel(d + static_cast<ptrdiff_t>(i) * db, db,
                 to_indexed ? nearest.Get(rgb) : dst.format->FromRgb(rgb));
    }
    previous_sy = sy;
    previous_row = d;
  }
}

// Byte range a rectangle of a plane covers (from its first to its last
// pixel), to see whether a blit's source and destination share memory.
struct ByteSpan {
  const uint8_t* first;
  const uint8_t* last;
};

ByteSpan SpanOf(const PixelPlane& plane, const Rect& rect) {
  const uint8_t* a = plane.At(rect.left, rect.top);
  const uint8_t* b = plane.At(rect.right - 1, rect.bottom - 1) + plane.format->bytes;
  return a < b ? ByteSpan{a, b} : ByteSpan{b, a};
}

bool Overlaps(const ByteSpan& a, const ByteSpan& b) { return a.first < b.last && b.first < a.last; }

}  // namespace

bool ReadableSource(const PixelPlane& src, const Rect& rect, const PixelPlane& dst,
                   const Rect& written, std::shared_ptr<PixelStore>* temp, PixelPlane* out) {
  const bool backed = Contains(src.backed, rect);
  bool overlapping = false;
  if (backed && !written.Empty()) overlapping = Overlaps(SpanOf(src, rect), SpanOf(dst, written));
  if (backed && !overlapping) {
    *out = src;
    return true;
  }
  *temp = PixelStore::Create(rect.Width(), rect.Height(), src.format->bytes, nullptr);
  if (*temp == nullptr) return false;
  PixelPlane copy = src;
  copy.bits = (*temp)->bits();
  copy.pitch = (*temp)->pitch();
  copy.backed = rect;
  const Rect part = Intersect(rect, src.backed);
  if (!part.Empty()) CopyPixels(copy, part.left, part.top, src, part, nullptr);
  *out = copy;
  return true;
}

void FillPixels(const PixelPlane& plane, const Rect& rect, uint32_t value) {
  if (rect.Empty()) return;
  switch (plane.format->bytes) {
    case 1:
      for (int32_t y = rect.top; y < rect.bottom; ++y) {
        std::memset(plane.At(rect.left, y), static_cast<int>(value & 0xFF),
                    static_cast<size_t>(rect.Width()));
      }
      break;
    case 2:
      FillRows<uint16_t>(plane, rect, static_cast<uint16_t>(value));
      break;
    case 3:
      for (int32_t y = rect.top; y < rect.bottom; ++y) {
        uint8_t* d = plane.At(rect.left, y);
        for (int32_t i = 0; i < rect.Width(); ++i) StorePixel(d + 3 * i, 3, value);
      }
      break;
    default:
      FillRows<uint32_t>(plane, rect, value);
      break;
  }
}

void CopyPixels(const PixelPlane& dst, int32_t x, int32_t y, const PixelPlane& src,
                const Rect& src_rect, const KeyRange* key) {
  const int32_t bytes = src.format->bytes;
  if (key == nullptr || bytes == 3) {
    const size_t row = static_cast<size_t>(src_rect.Width()) * static_cast<size_t>(bytes);
    for (int32_t i = 0; i < src_rect.Height(); ++i) {
      std::memcpy(dst.At(x, y + i), src.At(src_rect.left, src_rect.top + i), row);
    }
    return;
  }
  switch (bytes) {
    case 1:
      CopyKeyedRows<uint8_t>(dst, x, y, src, src_rect, *key);
      break;
    case 2:
      CopyKeyedRows<uint16_t>(dst, x, y, src, src_rect, *key);
      break;
    default:
      CopyKeyedRows<uint32_t>(dst, x, y, src, src_rect, *key);
      break;
  }
}

void StretchConvertPixels(const PixelPlane& dst, const Rect& dst_rect, const Rect& visible,
                          const PixelPlane& src, const Rect& src_rect) {
  if (visible.Empty() || src_rect.Empty()) return;
  StretchConverting(dst, dst_rect, visible, src, src_rect);
}

void StretchPixels(const PixelPlane& dst, const Rect& dst_rect, const Rect& visible,
                   const PixelPlane& src, const Rect& src_rect, const KeyRange* key) {
  if (visible.Empty() || src_rect.Empty()) return;
  const bool same = dst.format->SameLayout(*src.format);
  if (!same) {
    StretchConverting(dst, dst_rect, visible, src, src_rect);
    return;
  }
  if (dst_rect.Width() == src_rect.Width() && dst_rect.Height() == src_rect.Height()) {
    const Rect part{src_rect.left + (visible.left - dst_rect.left),
                    src_rect.top + (visible.top - dst_rect.top),
                    src_rect.left + (visible.right - dst_rect.left),
                    src_rect.top + (visible.bottom - dst_rect.top)};
    CopyPixels(dst, visible.left, visible.top, src, part, key);
    return;
  }
  switch (dst.format->bytes) {
    case 1:
      StretchSameLayout<uint8_t>(dst, dst_rect, visible, src, src_rect, key);
      break;
    case 2:
      StretchSameLayout<uint16_t>(dst, dst_rect, visible, src, src_rect, key);
      break;
    case 3:
      StretchBytes3(dst, dst_rect, visible, src, src_rect);
      break;
    default:
      StretchSameLayout<uint32_t>(dst, dst_rect, visible, src, src_rect, key);
      break;
  }
}

}  // namespace platform::display
