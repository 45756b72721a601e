// Device contexts: the window's, a surface's (Surface::GetDC) and memory
// contexts holding a bitmap, with the transfers between them and
// device-independent bitmaps (DIBs) in memory.
//
// - The window's context addresses the window image from (0, 0) (what the
//   primary surface shows at the client area's position).
// - BitBlt copies between any two contexts, converting formats: 5- and
//   6-bit channels widen to 8 bits by bit replication (5-6-5 0x8410 gives
//   84 82 84), and a pixel written to an indexed target becomes the nearest
//   palette entry (the first of equally near ones).
// - DIBs: rows padded to 4 bytes; a negative height means rows top-down.
//   Scan lines and source y of the DIB calls count from the DIB's bottom
//   edge, whatever the row order (so a top-down DIB's rows r0..r1 are
//   source y = height - r1).
// - Transfers are clipped to the target (what falls outside is dropped);
//   the pixels a source lacks read as 0.
//
// Results follow the drawing calls they stand for: false or 0 on failure,
// else true or the number of scan lines.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/display/display_types.h"
#include "platform/display/pixel_plane.h"
#include "platform/display/surface.h"

namespace platform::display {

class Bitmap;
using BitmapPtr = std::shared_ptr<Bitmap>;

enum class DibCompression : uint32_t { kRgb = 0, kBitfields = 3 };

struct DibDescription {
  int32_t width = 0;
  int32_t height = 0;  // negative: rows top-down
  uint16_t bit_count = 0;  // 8, 16, 24 or 32
  DibCompression compression = DibCompression::kRgb;  // kRgb: 16 bits is 5-5-5, 32 is X8R8G8B8
  uint32_t red_mask = 0, green_mask = 0, blue_mask = 0;  // kBitfields (16 and 32 bits)
  PaletteEntry colors[256] = {};  // 8 bits
};

// Bytes from one DIB row to the next.
int32_t DibStride(int32_t width, int32_t bit_count);

enum class RasterOperation { kSourceCopy };

enum class DeviceCapIndex {
  kBitsPerPixel,
  kPlanes,
  kHorizontalResolution,
  kVerticalResolution,
  kVerticalRefresh,
};

// A bitmap in memory, in a DIB's format or compatible with a context.
class Bitmap {
 public:
  struct Passkey {};
  Bitmap(Passkey, std::shared_ptr<PixelStore> store, const FormatInfo& format,
         const PaletteEntry* palette);
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  int32_t width() const { return store_->width(); }
  int32_t height() const { return store_->height(); }
  PixelFormat format() const { return format_.format; }

 private:
  friend struct DeviceContextAccess;
  std::shared_ptr<PixelStore> store_;
  FormatInfo format_;
  PaletteEntry palette_[256];
};

class DeviceContext {
 public:
  enum class Kind { kWindow, kSurface, kMemory };
  ~DeviceContext();
  DeviceContext(const DeviceContext&) = delete;
  DeviceContext& operator=(const DeviceContext&) = delete;

  Kind kind() const { return kind_; }
  // Memory contexts: selects the bitmap and returns the one selected before
  // (null at first). Other contexts keep their target and return null.
  BitmapPtr SelectBitmap(BitmapPtr bitmap);
  // Bits per pixel of the display (of the surface, for a surface's context),
  // 1 plane, the display's size, 60 Hz.
  int32_t GetDeviceCaps(DeviceCapIndex index) const;

 private:
  friend struct DeviceContextAccess;
  explicit DeviceContext(Kind kind) : kind_(kind) {}
  Kind kind_;
  SurfacePtr surface_;
  BitmapPtr bitmap_;
  bool wrote_ = false;
};

// Null without a main window.
DeviceContextPtr GetWindowDC();
// A memory context compatible with dc (null: the screen); it holds no bitmap.
DeviceContextPtr CreateCompatibleDC(const DeviceContext* dc);
// A bitmap in the format of dc (null or a memory context: the display's).
BitmapPtr CreateCompatibleBitmap(const DeviceContext* dc, int32_t width, int32_t height);
// A bitmap holding a copy of a DIB's pixels in the DIB's own format.
BitmapPtr CreateDibBitmap(const DibDescription& desc, const void* bits);

bool BitBlt(DeviceContext* dst, int32_t x, int32_t y, int32_t width, int32_t height,
            DeviceContext* src, int32_t src_x, int32_t src_y,
            RasterOperation op = RasterOperation::kSourceCopy);
// Copies (src_x, src_y, width, height) of the DIB one to one to (x, y); bits
// holds scan_count scan lines from start_scan. Returns the scan lines set.
int32_t SetDIBitsToDevice(DeviceContext* dc, int32_t x, int32_t y, int32_t width, int32_t height,
                          int32_t src_x, int32_t src_y, int32_t start_scan, int32_t scan_count,
                          const void* bits, const DibDescription& desc);
// Stretches (src_x, src_y, src_width, src_height) of the DIB to the nearest
// pixel onto (x, y, width, height). Returns the source's scan lines.
int32_t StretchDIBits(DeviceContext* dc, int32_t x, int32_t y, int32_t width, int32_t height,
                      int32_t src_x, int32_t src_y, int32_t src_width, int32_t src_height,
                      const void* bits, const DibDescription& desc,
                      RasterOperation op = RasterOperation::kSourceCopy);
// Copies scan lines of the bitmap (whose size the DIB must have) into bits in
// the DIB's format. Returns the scan lines copied.
int32_t GetDIBits(DeviceContext* dc, const Bitmap* bitmap, int32_t start_scan, int32_t scan_count,
                  void* bits, const DibDescription& desc);
// Fills (x, y, width, height), clipped to the context, with black (the
// stock black brush): the palette entry nearest to black on an indexed
// target. False without a context or drawable pixels.
bool FillBlack(DeviceContext* dc, int32_t x, int32_t y, int32_t width, int32_t height);
// Transfers finish inside their calls; nothing is pending.
void GdiFlush();

// Internal to the display stand-in.
struct DeviceContextAccess {
  static DeviceContextPtr Make(DeviceContext::Kind kind);
  static DeviceContextPtr ForSurface(SurfacePtr surface);
  static const Surface* SurfaceOf(const DeviceContext& dc) { return dc.surface_.get(); }
  static PixelPlane Plane(const DeviceContext& dc);
  static PixelPlane BitmapPlane(const Bitmap& bitmap);
  static void NoteWrite(DeviceContext& dc);
};

}  // namespace platform::display
