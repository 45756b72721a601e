// Pixel loops of the display stand-in. The same-format loops and the
// row conversions between 16- and 32-bit RGB layouts are written so that the
// compiler vectorises them; the other conversions go through 0x00RRGGBB per
// pixel.
#include "platform/display/pixel_loops.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace platform::display {
namespace {

template <class T>
T* PixelAt(const PixelPlane& plane, int32_t x, int32_t y) {
  return reinterpret_cast<T*>(plane.At(x, y));
}

// Copies a row in 64-byte blocks, which the compiler turns into vector
// moves. The C library's copy takes a string-move instruction for rows of a
// few kilobytes, and that runs markedly slower when the destination's place
// within a page falls a little behind the source's.
void CopyRow(void* __restrict to, const void* __restrict from, size_t bytes) {
  auto* d = static_cast<uint8_t*>(to);
  const auto* s = static_cast<const uint8_t*>(from);
  size_t i = 0;
  for (; i + 64 <= bytes; i += 64) std::memcpy(d + i, s + i, 64);
  if (i < bytes) std::memcpy(d + i, s + i, bytes - i);
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
      CopyRow(d, previous_row, row_bytes);
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

// One channel's way from a source pixel to a destination pixel: the source
// bits (max after shifting right by from), widened to 8 bits by repeating
// them (left by up, the top bits again right by down; exact for 4 to 8
// bits), then the top bits kept (right by narrow) and moved into place
// (left by to). The same steps as ToRgb followed by FromRgb.
struct ChannelMove {
  uint32_t from = 0, max = 0, up = 0, down = 0, narrow = 0, to = 0;
  friend constexpr bool operator==(const ChannelMove&, const ChannelMove&) = default;
};

// A conversion between two RGB layouts of 2 or 4 bytes a pixel whose source
// channels have 4 to 8 bits; the destination's alpha bits are set.
struct RowConversion {
  ChannelMove red, green, blue;
  uint32_t alpha = 0;
  friend constexpr bool operator==(const RowConversion&, const RowConversion&) = default;
};

constexpr bool MakeChannelMove(uint32_t src_mask, uint32_t dst_mask, ChannelMove* out) {
  if (src_mask == 0 || dst_mask == 0) return false;
  const auto src_width = static_cast<uint32_t>(std::popcount(src_mask));
  const auto dst_width = static_cast<uint32_t>(std::popcount(dst_mask));
  if (src_width < 4 || src_width > 8 || dst_width > 8) return false;
  out->from = static_cast<uint32_t>(std::countr_zero(src_mask));
  out->max = (1u << src_width) - 1;
  out->up = 8u - src_width;
  out->down = 2u * src_width - 8u;
  out->narrow = 8u - dst_width;
  out->to = static_cast<uint32_t>(std::countr_zero(dst_mask));
  return true;
}

// FormatInfo's channels are single runs of bits, so their masks say all.
bool MakeRowConversion(const FormatInfo& dst, const FormatInfo& src, RowConversion* out) {
  if (src.kind != PixelKind::kRgb || dst.kind != PixelKind::kRgb) return false;
  if ((src.bytes != 2 && src.bytes != 4) || (dst.bytes != 2 && dst.bytes != 4)) return false;
  out->alpha = dst.alpha.mask;
  return MakeChannelMove(src.red.mask, dst.red.mask, &out->red) &&
         MakeChannelMove(src.green.mask, dst.green.mask, &out->green) &&
         MakeChannelMove(src.blue.mask, dst.blue.mask, &out->blue);
}

constexpr RowConversion FixedConversion(uint32_t src_red, uint32_t src_green, uint32_t src_blue,
                                        uint32_t dst_red, uint32_t dst_green, uint32_t dst_blue) {
  RowConversion c;
  MakeChannelMove(src_red, dst_red, &c.red);
  MakeChannelMove(src_green, dst_green, &c.green);
  MakeChannelMove(src_blue, dst_blue, &c.blue);
  return c;
}

// The common pairs, whose shifts the compiler then knows.
constexpr RowConversion k565ToX888 = FixedConversion(0xF800, 0x7E0, 0x1F, 0xFF0000, 0xFF00, 0xFF);
constexpr RowConversion k555ToX888 = FixedConversion(0x7C00, 0x3E0, 0x1F, 0xFF0000, 0xFF00, 0xFF);
constexpr RowConversion kX888To565 = FixedConversion(0xFF0000, 0xFF00, 0xFF, 0xF800, 0x7E0, 0x1F);

constexpr uint32_t MoveChannel(uint32_t pixel, const ChannelMove& m) {
  const uint32_t v = (pixel >> m.from) & m.max;
  const uint32_t v8 = (v << m.up | v >> m.down) & 0xFF;
  return (v8 >> m.narrow) << m.to;
}

constexpr uint32_t ConvertPixel(uint32_t pixel, const RowConversion& c) {
  return MoveChannel(pixel, c.red) | MoveChannel(pixel, c.green) | MoveChannel(pixel, c.blue) |
         c.alpha;
}

static_assert(ConvertPixel(0x8410, k565ToX888) == 0x848284);
static_assert(ConvertPixel(0xFFFF, k565ToX888) == 0xFFFFFF);
static_assert(ConvertPixel(0x123456, kX888To565) == 0x11AA);

// A conversion the rows hold by value, so the compiler sees that it cannot
// change while a row is written.
struct AnyConversion {
  RowConversion c;
  uint32_t operator()(uint32_t pixel) const { return ConvertPixel(pixel, c); }
};
template <RowConversion C>
struct KnownConversion {
  uint32_t operator()(uint32_t pixel) const { return ConvertPixel(pixel, C); }
};

// 5-6-5 to X8R8G8B8, each channel worked out in 16 bits (twice the pixels a
// vector step of 32-bit lanes takes): k565ToX888 in fewer steps.
struct Rgb565ToX888 {
  constexpr uint32_t operator()(uint16_t p) const {
    const auto r = static_cast<uint16_t>(((p >> 8) & 0xF8) | (p >> 13));
    const auto g = static_cast<uint16_t>(((p >> 3) & 0xFC) | ((p >> 9) & 0x3));
    const auto b = static_cast<uint16_t>(((p << 3) & 0xF8) | ((p >> 2) & 0x7));
    return uint32_t{r} << 16 | static_cast<uint16_t>(g << 8 | b);
  }
};

// Checked for every pixel value, in parts that stay inside the compilers'
// limits on constant evaluation.
constexpr bool Same565Conversions(uint32_t first, uint32_t end) {
  for (uint32_t p = first; p < end; ++p) {
    if (Rgb565ToX888{}(static_cast<uint16_t>(p)) != ConvertPixel(p, k565ToX888)) return false;
  }
  return true;
}
static_assert(Same565Conversions(0x0000, 0x2000));
static_assert(Same565Conversions(0x2000, 0x4000));
static_assert(Same565Conversions(0x4000, 0x6000));
static_assert(Same565Conversions(0x6000, 0x8000));
static_assert(Same565Conversions(0x8000, 0xA000));
static_assert(Same565Conversions(0xA000, 0xC000));
static_assert(Same565Conversions(0xC000, 0xE000));
static_assert(Same565Conversions(0xE000, 0x10000));

template <class D, class S, class F>
void ConvertRow(D* __restrict d, const S* __restrict s, int32_t n, const F f) {
  for (int32_t i = 0; i < n; ++i) d[i] = static_cast<D>(f(s[i]));
}

template <class D, class S, class F>
void ConvertDoubleRow(D* __restrict d, const S* __restrict s, int32_t pairs, const F f) {
  for (int32_t k = 0; k < pairs; ++k) {
    const D v = static_cast<D>(f(s[k]));
    d[2 * k] = v;
    d[2 * k + 1] = v;
  }
}

template <class D, class S, class F>
void ConvertGatherRow(D* __restrict d, const S* __restrict s, const int32_t* __restrict xs, int32_t n,
                      const F f) {
  for (int32_t i = 0; i < n; ++i) d[i] = static_cast<D>(f(s[xs[i]]));
}

// The rows of one conversion: straight, each pixel twice, through a column
// table.
template <class D, class S, class F>
struct ConvertingRows {
  F f;
  D Pixel(S p) const { return static_cast<D>(f(p)); }
  void Row(D* d, const S* s, int32_t n) const { ConvertRow(d, s, n, f); }
  void Double(D* d, const S* s, int32_t pairs) const { ConvertDoubleRow(d, s, pairs, f); }
  void Gather(D* d, const S* s, const int32_t* xs, int32_t n) const { ConvertGatherRow(d, s, xs, n, f); }
};

// The software present's rows, also built for AVX2 and chosen when the
// processor has it.
__attribute__((target_clones("avx2", "default"))) void Row565ToX888(
    uint32_t* __restrict d, const uint16_t* __restrict s, int32_t n) {
  ConvertRow(d, s, n, Rgb565ToX888{});
}
__attribute__((target_clones("avx2", "default"))) void DoubleRow565ToX888(
    uint32_t* __restrict d, const uint16_t* __restrict s, int32_t pairs) {
  ConvertDoubleRow(d, s, pairs, Rgb565ToX888{});
}
struct Rows565ToX888 : ConvertingRows<uint32_t, uint16_t, Rgb565ToX888> {
  void Row(uint32_t* d, const uint16_t* s, int32_t n) const { Row565ToX888(d, s, n); }
  void Double(uint32_t* d, const uint16_t* s, int32_t pairs) const { DoubleRow565ToX888(d, s, pairs); }
};

// The nearest-pixel stretch through a row conversion. Each source row is
// converted once: straight when the widths are equal, each pixel written
// twice at double width, through the column table otherwise; destination
// rows that take the same source row copy the row written before.
template <class D, class S, class Rows>
void StretchConvertRows(const PixelPlane& dst, const Rect& dst_rect, const Rect& visible,
                        const PixelPlane& src, const Rect& src_rect, const Rows rows) {
  const int32_t n = visible.Width();
  const int32_t offset = visible.left - dst_rect.left;  // first visible column, from dst_rect
  const bool same_width = dst_rect.Width() == src_rect.Width();
  const bool doubled = dst_rect.Width() == 2 * src_rect.Width();
  std::vector<int32_t> xs;
  if (!same_width && !doubled) xs = SourceColumns(dst_rect, visible, src_rect, src.backed.left);
  const size_t row_bytes = static_cast<size_t>(n) * sizeof(D);
  int32_t previous_sy = -1;
  const D* previous_row = nullptr;
  for (int32_t y = visible.top; y < visible.bottom; ++y) {
    const int32_t sy = SourceRow(dst_rect, src_rect, y);
    D* d = PixelAt<D>(dst, visible.left, y);
    if (sy == previous_sy) {
      CopyRow(d, previous_row, row_bytes);
      continue;
    }
    if (same_width) {
      rows.Row(d, PixelAt<S>(src, src_rect.left + offset, sy), n);
    } else if (doubled) {
      const S* s = PixelAt<S>(src, src_rect.left + offset / 2, sy);
      int32_t i = 0;
      if ((offset & 1) != 0) {
        // The visible part starts on the second copy of a source pixel.
        d[0] = rows.Pixel(*s++);
        i = 1;
      }
      const int32_t pairs = (n - i) / 2;
      rows.Double(d + i, s, pairs);
      if (i + 2 * pairs < n) d[n - 1] = rows.Pixel(s[pairs]);
    } else {
      rows.Gather(d, PixelAt<S>(src, src.backed.left, sy), xs.data(), n);
    }
    previous_sy = sy;
    previous_row = d;
  }
}

template <class D, class S, class F>
void StretchConvertWith(const PixelPlane& dst, const Rect& dst_rect, const Rect& visible,
                        const PixelPlane& src, const Rect& src_rect, const F f) {
  StretchConvertRows<D, S>(dst, dst_rect, visible, src, src_rect, ConvertingRows<D, S, F>{f});
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
      CopyRow(dst.At(x, y + i), src.At(src_rect.left, src_rect.top + i), row);
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
  RowConversion c;
  if (!MakeRowConversion(*dst.format, *src.format, &c)) {
    StretchConverting(dst, dst_rect, visible, src, src_rect);
    return;
  }
  const bool wide_dst = dst.format->bytes == 4, wide_src = src.format->bytes == 4;
  if (wide_dst && !wide_src) {
    if (c == k565ToX888) {
      StretchConvertRows<uint32_t, uint16_t>(dst, dst_rect, visible, src, src_rect, Rows565ToX888{});
    } else if (c == k555ToX888) {
      StretchConvertWith<uint32_t, uint16_t>(dst, dst_rect, visible, src, src_rect,
                                             KnownConversion<k555ToX888>{});
    } else {
      StretchConvertWith<uint32_t, uint16_t>(dst, dst_rect, visible, src, src_rect, AnyConversion{c});
    }
  } else if (wide_dst) {
    StretchConvertWith<uint32_t, uint32_t>(dst, dst_rect, visible, src, src_rect, AnyConversion{c});
  } else if (wide_src) {
    if (c == kX888To565) {
      StretchConvertWith<uint16_t, uint32_t>(dst, dst_rect, visible, src, src_rect,
                                             KnownConversion<kX888To565>{});
    } else {
      StretchConvertWith<uint16_t, uint32_t>(dst, dst_rect, visible, src, src_rect, AnyConversion{c});
    }
  } else {
    StretchConvertWith<uint16_t, uint16_t>(dst, dst_rect, visible, src, src_rect, AnyConversion{c});
  }
}

void StretchPixels(const PixelPlane& dst, const Rect& dst_rect, const Rect& visible,
                   const PixelPlane& src, const Rect& src_rect, const KeyRange* key) {
  if (visible.Empty() || src_rect.Empty()) return;
  if (!dst.format->SameLayout(*src.format)) {
    StretchConvertPixels(dst, dst_rect, visible, src, src_rect);
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
