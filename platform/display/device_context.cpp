// Device contexts, memory bitmaps and DIB transfers.
#include "platform/display/device_context.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/display/display_state.h"
#include "platform/display/pixel_loops.h"
#include "platform/display/raster.h"
#include "platform/display/surface_access.h"
#include "platform/window.h"

namespace platform::display {
namespace {

// Coordinates and sizes beyond these are refused before any arithmetic.
constexpr int32_t kMaxExtent = 1 << 20;

bool SaneRect(int32_t x, int32_t y, int32_t w, int32_t h) {
  return w > 0 && h > 0 && w <= kMaxExtent && h <= kMaxExtent && std::abs(x) <= kMaxCoordinate &&
         std::abs(y) <= kMaxCoordinate;
}

bool DibFormat(const DibDescription& desc, FormatInfo* out) {
  if (desc.width <= 0 || desc.width > kMaxExtent || desc.height == 0 ||
      desc.height < -kMaxExtent || desc.height > kMaxExtent) {
    return false;
  }
  PixelFormat format;
  const bool fields = desc.compression == DibCompression::kBitfields;
  switch (desc.bit_count) {
    case 8:
      if (fields) return false;
      format = Indexed8Format();
      break;
    case 16:
      format = fields ? RgbFormat(16, desc.red_mask, desc.green_mask, desc.blue_mask) : Rgb555Format();
      break;
    case 24:
      if (fields) return false;
      format = RgbFormat(24, 0xFF0000, 0xFF00, 0xFF);
      break;
    case 32:
      format = fields ? RgbFormat(32, desc.red_mask, desc.green_mask, desc.blue_mask)
                      : Xrgb8888Format();
      break;
    default:
      return false;
  }
  if (static_cast<uint64_t>(DibStride(desc.width, desc.bit_count)) *
          static_cast<uint64_t>(std::abs(desc.height)) >
      kMaxSurfaceBytes) {
    return false;
  }
  return MakeFormatInfo(format, true, out);
}

// A plane over a DIB in memory whose buffer holds scan_count scan lines from
// start_scan (counted from the bottom edge), in the DIB's own row order.
// Image rows are numbered from the top.
PixelPlane DibPlane(const DibDescription& desc, const FormatInfo& format, const void* bits,
                    int32_t start_scan, int32_t scan_count) {
  const int32_t rows = std::abs(desc.height);
  const int32_t stride = DibStride(desc.width, desc.bit_count);
  PixelPlane plane;
  plane.format = &format;
  plane.palette = desc.colors;
  plane.bounds = Rect{0, 0, desc.width, rows};
  plane.backed = Rect{0, rows - start_scan - scan_count, desc.width, rows - start_scan};
  auto* base = static_cast<uint8_t*>(const_cast<void*>(bits));
  if (desc.height < 0) {
    plane.bits = base;
    plane.pitch = stride;
  } else {
    plane.bits = base + static_cast<ptrdiff_t>(scan_count - 1) * stride;
    plane.pitch = -stride;
  }
  return plane;
}

bool PalettesDiffer(const PixelPlane& a, const PixelPlane& b) {
  return a.format->kind == PixelKind::kIndexed8 && b.format->kind == PixelKind::kIndexed8 &&
         std::memcmp(a.palette, b.palette, 256 * sizeof(PaletteEntry)) != 0;
}

// One-to-one transfer of src_rect to (x, y) of dst, converting as needed.
void Transfer(const PixelPlane& dst, int32_t x, int32_t y, const PixelPlane& src,
              const Rect& src_rect) {
  const Rect to{x, y, x + src_rect.Width(), y + src_rect.Height()};
  if (dst.format->SameLayout(*src.format) && !PalettesDiffer(dst, src)) {
    CopyPixels(dst, x, y, src, src_rect, nullptr);
  } else {
    StretchConvertPixels(dst, to, to, src, src_rect);
  }
}

Rect Moved(const Rect& r, int32_t dx, int32_t dy) {
  return Rect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

}  // namespace

int32_t DibStride(int32_t width, int32_t bit_count) {
  return static_cast<int32_t>((static_cast<int64_t>(width) * bit_count + 31) / 32 * 4);
}

Bitmap::Bitmap(Passkey, std::shared_ptr<PixelStore> store, const FormatInfo& format,
               const PaletteEntry* palette)
    : store_(std::move(store)), format_(format) {
  std::memcpy(palette_, palette, sizeof(palette_));
}

DeviceContext::~DeviceContext() {
  if (surface_ == nullptr) return;
  DisplayLock lock(DisplayMutex());
  SurfaceAccess::EndDc(*surface_, wrote_);
}

BitmapPtr DeviceContext::SelectBitmap(BitmapPtr bitmap) {
  DisplayLock lock(DisplayMutex());
  if (kind_ != Kind::kMemory) return nullptr;
  BitmapPtr previous = std::move(bitmap_);
  bitmap_ = std::move(bitmap);
  return previous;
}

int32_t DeviceContext::GetDeviceCaps(DeviceCapIndex index) const {
  DisplayLock lock(DisplayMutex());
  const ModeState mode = CurrentMode();
  switch (index) {
    case DeviceCapIndex::kBitsPerPixel:
      if (kind_ == Kind::kSurface) return static_cast<int32_t>(SurfaceAccess::Plane(*surface_).format->format.bit_count);
      return mode.bits;
    case DeviceCapIndex::kPlanes:
      return 1;
    case DeviceCapIndex::kHorizontalResolution:
      return mode.width;
    case DeviceCapIndex::kVerticalResolution:
      return mode.height;
    case DeviceCapIndex::kVerticalRefresh:
      return static_cast<int32_t>(kRefreshRateHz);
  }
  return 0;
}

DeviceContextPtr DeviceContextAccess::Make(DeviceContext::Kind kind) {
  return DeviceContextPtr(new DeviceContext(kind));
}

DeviceContextPtr DeviceContextAccess::ForSurface(SurfacePtr surface) {
  DeviceContextPtr dc = Make(DeviceContext::Kind::kSurface);
  dc->surface_ = std::move(surface);
  return dc;
}

PixelPlane DeviceContextAccess::Plane(const DeviceContext& dc) {
  switch (dc.kind_) {
    case DeviceContext::Kind::kWindow:
      return WindowImagePlane();
    case DeviceContext::Kind::kSurface:
      return SurfaceAccess::Plane(*dc.surface_);
    case DeviceContext::Kind::kMemory:
      break;
  }
  if (dc.bitmap_ == nullptr) return PixelPlane{};
  return BitmapPlane(*dc.bitmap_);
}

PixelPlane DeviceContextAccess::BitmapPlane(const Bitmap& b) {
  PixelPlane plane;
  plane.bits = b.store_->bits();
  plane.pitch = b.store_->pitch();
  plane.bounds = Rect{0, 0, b.width(), b.height()};
  plane.backed = plane.bounds;
  plane.format = &b.format_;
  plane.palette = b.palette_;
  return plane;
}

void DeviceContextAccess::NoteWrite(DeviceContext& dc) {
  switch (dc.kind_) {
    case DeviceContext::Kind::kWindow:
      MarkWindowImageDirty();
      break;
    case DeviceContext::Kind::kSurface:
      dc.wrote_ = true;
      break;
    case DeviceContext::Kind::kMemory:
      break;
  }
}

DeviceContextPtr GetWindowDC() {
  if (!platform::HasMainWindow()) return nullptr;
  return DeviceContextAccess::Make(DeviceContext::Kind::kWindow);
}

DeviceContextPtr CreateCompatibleDC(const DeviceContext* /*dc*/) {
  return DeviceContextAccess::Make(DeviceContext::Kind::kMemory);
}

BitmapPtr CreateCompatibleBitmap(const DeviceContext* dc, int32_t width, int32_t height) {
  if (!SaneRect(0, 0, width, height)) return nullptr;
  DisplayLock lock(DisplayMutex());
  FormatInfo format;
  const PaletteEntry* palette = DisplayPalette();
  if (dc != nullptr && dc->kind() == DeviceContext::Kind::kSurface) {
    const PixelPlane plane = DeviceContextAccess::Plane(*dc);
    format = *plane.format;
    palette = plane.palette;
  } else if (!MakeFormatInfo(CurrentDisplayFormat(), false, &format)) {
    return nullptr;
  }
  auto store = PixelStore::Create(width, height, format.bytes, nullptr);
  if (store == nullptr) return nullptr;
  return std::make_shared<Bitmap>(Bitmap::Passkey{}, std::move(store), format, palette);
}

BitmapPtr CreateDibBitmap(const DibDescription& desc, const void* bits) {
  FormatInfo format;
  if (!DibFormat(desc, &format)) return nullptr;
  const int32_t rows = std::abs(desc.height);
  auto store = PixelStore::Create(desc.width, rows, format.bytes, nullptr);
  if (store == nullptr) return nullptr;
  auto bitmap = std::make_shared<Bitmap>(Bitmap::Passkey{}, store, format, desc.colors);
  if (bits != nullptr) {
    const PixelPlane src = DibPlane(desc, format, bits, 0, rows);
    PixelPlane dst = src;
    dst.bits = store->bits();
    dst.pitch = store->pitch();
    CopyPixels(dst, 0, 0, src, src.bounds, nullptr);
  }
  return bitmap;
}

bool BitBlt(DeviceContext* dst, int32_t x, int32_t y, int32_t width, int32_t height,
            DeviceContext* src, int32_t src_x, int32_t src_y, RasterOperation /*op*/) {
  if (dst == nullptr || src == nullptr || !SaneRect(x, y, width, height) ||
      !SaneRect(src_x, src_y, 1, 1)) {
    return false;
  }
  DisplayLock lock(DisplayMutex());
  const PixelPlane dp = DeviceContextAccess::Plane(*dst);
  const PixelPlane sp = DeviceContextAccess::Plane(*src);
  if (!dp.Valid() || !sp.Valid()) return false;
  const int32_t dx = x - src_x, dy = y - src_y;
  const Rect visible = Intersect(Intersect(Rect{x, y, x + width, y + height}, dp.backed),
                                 Moved(sp.bounds, dx, dy));
  if (visible.Empty()) return true;
  const Rect s = Moved(visible, -dx, -dy);
  std::shared_ptr<PixelStore> temp;
  PixelPlane readable;
  if (!ReadableSource(sp, s, dp, visible, &temp, &readable)) return false;
  Transfer(dp, visible.left, visible.top, readable, s);
  DeviceContextAccess::NoteWrite(*dst);
  return true;
}

bool FillBlack(DeviceContext* dc, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (dc == nullptr || !SaneRect(x, y, width, height)) return false;
  DisplayLock lock(DisplayMutex());
  const PixelPlane plane = DeviceContextAccess::Plane(*dc);
  if (!plane.Valid()) return false;
  const Rect area = Intersect(Rect{x, y, x + width, y + height}, plane.backed);
  if (area.Empty()) return true;
  const FormatInfo& format = *plane.format;
  const uint32_t black = format.kind == PixelKind::kIndexed8 ? NearestPaletteIndex(plane.palette, 0)
                                                              : format.FromRgb(0);
  uint8_t bytes[4] = {};
  for (int32_t i = 0; i < format.bytes && i < 4; ++i) bytes[i] = static_cast<uint8_t>(black >> (8 * i));
  for (int32_t row = area.top; row < area.bottom; ++row) {
    uint8_t* out = plane.At(area.left, row);
    for (int32_t column = area.left; column < area.right; ++column) {
      std::memcpy(out, bytes, static_cast<size_t>(format.bytes));
      out += format.bytes;
    }
  }
  DeviceContextAccess::NoteWrite(*dc);
  return true;
}

int32_t SetDIBitsToDevice(DeviceContext* dc, int32_t x, int32_t y, int32_t width, int32_t height,
                          int32_t src_x, int32_t src_y, int32_t start_scan, int32_t scan_count,
                          const void* bits, const DibDescription& desc) {
  FormatInfo format;
  if (dc == nullptr || bits == nullptr || !SaneRect(x, y, width, height) ||
      !SaneRect(src_x, src_y, 1, 1) || !DibFormat(desc, &format)) {
    return 0;
  }
  const int32_t rows = std::abs(desc.height);
  if (start_scan < 0 || start_scan >= rows || scan_count <= 0) return 0;
  scan_count = std::min(scan_count, rows - start_scan);
  DisplayLock lock(DisplayMutex());
  const PixelPlane dp = DeviceContextAccess::Plane(*dc);
  if (!dp.Valid()) return 0;
  const PixelPlane sp = DibPlane(desc, format, bits, start_scan, scan_count);
  // The source rectangle in image rows, and where it lands.
  const Rect s{src_x, rows - src_y - height, src_x + width, rows - src_y};
  const int32_t dx = x - s.left, dy = y - s.top;
  const Rect visible = Intersect(Intersect(Rect{x, y, x + width, y + height}, dp.backed),
                                 Moved(Intersect(sp.backed, s), dx, dy));
  if (!visible.Empty()) {
    Transfer(dp, visible.left, visible.top, sp, Moved(visible, -dx, -dy));
    DeviceContextAccess::NoteWrite(*dc);
  }
  return scan_count;
}

int32_t StretchDIBits(DeviceContext* dc, int32_t x, int32_t y, int32_t width, int32_t height,
                      int32_t src_x, int32_t src_y, int32_t src_width, int32_t src_height,
                      const void* bits, const DibDescription& desc, RasterOperation /*op*/) {
  FormatInfo format;
  if (dc == nullptr || bits == nullptr || !SaneRect(x, y, width, height) ||
      !SaneRect(src_x, src_y, src_width, src_height) || !DibFormat(desc, &format)) {
    return 0;
  }
  const int32_t rows = std::abs(desc.height);
  const Rect s{src_x, rows - src_y - src_height, src_x + src_width, rows - src_y};
  if (!Contains(Rect{0, 0, desc.width, rows}, s)) return 0;
  DisplayLock lock(DisplayMutex());
  const PixelPlane dp = DeviceContextAccess::Plane(*dc);
  if (!dp.Valid()) return 0;
  const PixelPlane sp = DibPlane(desc, format, bits, 0, rows);
  const Rect d{x, y, x + width, y + height};
  const Rect visible = Intersect(d, dp.backed);
  if (!visible.Empty()) {
    if (PalettesDiffer(dp, sp)) {
      StretchConvertPixels(dp, d, visible, sp, s);
    } else {
      StretchPixels(dp, d, visible, sp, s, nullptr);
    }
    DeviceContextAccess::NoteWrite(*dc);
  }
  return src_height;
}

int32_t GetDIBits(DeviceContext* /*dc*/, const Bitmap* bitmap, int32_t start_scan,
                  int32_t scan_count, void* bits, const DibDescription& desc) {
  FormatInfo format;
  if (bitmap == nullptr || bits == nullptr || !DibFormat(desc, &format) ||
      desc.width != bitmap->width() || std::abs(desc.height) != bitmap->height()) {
    return 0;
  }
  const int32_t rows = bitmap->height();
  if (start_scan < 0 || start_scan >= rows || scan_count <= 0) return 0;
  scan_count = std::min(scan_count, rows - start_scan);
  DisplayLock lock(DisplayMutex());
  const PixelPlane dp = DibPlane(desc, format, bits, start_scan, scan_count);
  const PixelPlane sp = DeviceContextAccess::BitmapPlane(*bitmap);
  Transfer(dp, 0, dp.backed.top, sp, dp.backed);
  return scan_count;
}

void GdiFlush() {}

}  // namespace platform::display
