// Plain types of the display stand-in: results, rectangles, pixel formats,
// surface descriptions and the flag sets of the device, surface, palette and
// clipper calls (display_device.h, surface.h).
//
// Units: pixels for sizes and rectangles (right and bottom exclusive), bytes
// for pitches, Hz for refresh rates. Every call answers with a Result; kOk is
// the only success. The flag values are ours, except where a caller stores or
// compares the number itself: the cooperative levels (normal 8, full screen
// 1, exclusive 0x10) and the pixel-format flags.
#pragma once

#include <cstdint>
#include <string>

namespace platform::display {

enum class Result : int32_t {
  kOk = 0,
  kGeneric,                  // an unexpected failure (also what test controls inject)
  kInvalidParams,            // an argument or flag combination the call does not take
  kInvalidObject,            // an object from elsewhere, or one already released
  kInvalidRect,              // a rectangle empty, inverted or outside the surface
  kInvalidCaps,              // surface caps that contradict each other
  kInvalidPixelFormat,       // a format we do not hold, or two formats that differ
  kInvalidMode,              // a display mode that cannot be set
  kOutOfMemory,
  kOutOfVideoMemory,
  kSurfaceBusy,              // locked, or its device context is out
  kSurfaceLost,              // lost until Restore
  kWrongMode,                // a lost surface made for another display mode
  kNotLocked,
  kNotFlippable,             // Flip on a surface outside a flip chain
  kNoExclusiveMode,          // needs the full-screen exclusive level
  kExclusiveModeAlreadySet,  // another device holds the exclusive level
  kWindowAlreadySet,         // never produced here; named for callers that accept it
  kWindowSubclassed,         // never produced here; named for callers that accept it
  kNoColorKey,
  kNoClipList,               // a clipper that is bound to no window
  kNoClipper,
  kNoPalette,
  kNoOverlayHardware,
  kNotFound,                 // no attached surface with the caps asked for
  kUnsupported,
  kPrimaryAlreadyExists,
  kSurfaceAlreadyAttached,
  kCannotAttachSurface,
  kDcAlreadyCreated,
  kVerticalBlankInProgress,  // GetScanLine inside the vertical blank (the line is still given)
  kNoDirect3D,               // no 3D interface on this device
};

// "kSurfaceBusy" and so on, for logs and test messages.
const char* ResultName(Result result);

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool operator==(const Rect&) const = default;
};

// A pixel format as the 32-byte record the engine keeps (size, flags, FourCC
// code, bit count, red, green, blue and alpha masks, in that order). For a
// depth format the bit count is the depth and only kPixelFormatDepth is set.
struct PixelFormat {
  uint32_t size = 32;
  uint32_t flags = 0;
  uint32_t four_cc = 0;
  uint32_t bit_count = 0;
  uint32_t red_mask = 0;
  uint32_t green_mask = 0;
  uint32_t blue_mask = 0;
  uint32_t alpha_mask = 0;
  bool operator==(const PixelFormat&) const = default;
};
static_assert(sizeof(PixelFormat) == 32, "the pixel-format record is 32 bytes");

inline constexpr uint32_t kPixelFormatAlpha = 0x1;      // alpha_mask is valid
inline constexpr uint32_t kPixelFormatFourCC = 0x4;     // never held here
inline constexpr uint32_t kPixelFormatIndexed8 = 0x20;  // 8-bit palette indices
inline constexpr uint32_t kPixelFormatRgb = 0x40;       // the colour masks are valid
inline constexpr uint32_t kPixelFormatDepth = 0x400;    // a depth buffer

// Formats this layer holds.
PixelFormat RgbFormat(uint32_t bits, uint32_t red, uint32_t green, uint32_t blue,
                      uint32_t alpha = 0);
PixelFormat Indexed8Format();
PixelFormat Depth16Format();
inline PixelFormat Rgb565Format() { return RgbFormat(16, 0xF800, 0x7E0, 0x1F); }
inline PixelFormat Rgb555Format() { return RgbFormat(16, 0x7C00, 0x3E0, 0x1F); }
inline PixelFormat Xrgb8888Format() { return RgbFormat(32, 0xFF0000, 0xFF00, 0xFF); }

// Surface caps: asked for at creation, reported by GetCaps.
enum SurfaceCaps : uint32_t {
  kCapsPrimary = 0x1,
  kCapsBackBuffer = 0x2,
  kCapsFrontBuffer = 0x4,
  kCapsFlip = 0x8,
  kCapsComplex = 0x10,
  kCapsOffscreenPlain = 0x20,
  kCapsSystemMemory = 0x40,
  kCapsVideoMemory = 0x80,
  kCapsLocalVideoMemory = 0x100,
  kCaps3DDevice = 0x200,
  kCapsTexture = 0x400,
  kCapsZBuffer = 0x800,
  kCapsOverlay = 0x1000,
  kCapsTextureManage = 0x2000,
};

struct ColorKey {
  uint32_t low = 0;   // pixel values from low to high (inclusive) are transparent
  uint32_t high = 0;
};

// What CreateSurface is asked for, and what GetSurfaceDesc reports.
struct SurfaceDesc {
  uint32_t caps = 0;
  int32_t width = 0;   // not given (0) for primaries, which take the display's size
  int32_t height = 0;
  int32_t back_buffer_count = 0;  // primaries with kCapsFlip | kCapsComplex
  bool has_pixel_format = false;  // without: the display's format
  PixelFormat pixel_format;
  bool has_source_key = false;
  ColorKey source_key;
  int32_t pitch = 0;  // reported only
};

enum LockFlags : uint32_t {
  kLockWait = 0x1,
  kLockReadOnly = 0x2,
  kLockWriteOnly = 0x4,
};

// What Lock hands out: the pixel at the locked rectangle's top-left corner
// and the distance between rows, which is never width x bytes per pixel.
struct LockedRect {
  uint8_t* bits = nullptr;
  int32_t pitch = 0;
  int32_t width = 0;
  int32_t height = 0;
  PixelFormat format;
};

enum BltFlags : uint32_t {
  kBltWait = 0x1,
  kBltAsync = 0x2,
  kBltColorFill = 0x4,  // BltFx::fill_color, only the surface's low bits
  kBltDepthFill = 0x8,  // BltFx::fill_depth, depth buffers only
  kBltKeySource = 0x10, // skip source pixels matching the source's colour key
};

struct BltFx {
  uint32_t fill_color = 0;
  uint32_t fill_depth = 0;
};

enum BltFastFlags : uint32_t {
  kBltFastNoColorKey = 0x0,
  kBltFastSourceColorKey = 0x1,
  kBltFastWait = 0x10,
};

enum FlipFlags : uint32_t {
  kFlipWait = 0x1,
  kFlipNoVSync = 0x8,  // swap at once instead of at the next vertical blank
};

enum ColorKeyFlags : uint32_t {
  kColorKeySourceBlt = 0x8,
};

enum CooperativeLevel : uint32_t {
  kCooperativeFullScreen = 0x1,
  kCooperativeNormal = 0x8,
  kCooperativeExclusive = 0x10,
};

enum PaletteFlags : uint32_t {
  kPalette8Bit = 0x4,
  kPaletteAllow256 = 0x40,
};

enum VerticalBlankWait : uint32_t {
  kWaitBlankBegin = 0x1,  // until the next vertical blank begins
  kWaitBlankEnd = 0x4,    // until the next vertical blank ends
};

struct PaletteEntry {
  uint8_t red = 0, green = 0, blue = 0, flags = 0;
  bool operator==(const PaletteEntry&) const = default;
};

// The display mode in force (the desktop's, or one a device or the settings
// call set).
struct DisplayMode {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits = 0;
  int32_t refresh_rate = 0;
  PixelFormat pixel_format;
};

// Fixed capabilities of the stand-in's device.
struct DeviceCaps {
  uint32_t blt_caps = 0;          // kDeviceCan* bits below
  uint32_t color_key_caps = 0;    // kColorKeySourceBlt when source keys work
  uint32_t video_memory_total = 0;
  uint32_t video_memory_free = 0;
  uint32_t min_overlay_stretch = 0;  // 1000 = 1.0; both 0: no overlays
  uint32_t max_overlay_stretch = 0;
  uint32_t align_boundary_source = 0;
  uint32_t align_size_source = 0;
  uint32_t align_boundary_dest = 0;
  uint32_t align_size_dest = 0;
};

enum DeviceCapBits : uint32_t {
  kDeviceCanBlt = 0x1,
  kDeviceCanStretch = 0x2,
  kDeviceCanColorFill = 0x4,
  kDeviceCanDepthFill = 0x8,
  kDeviceCanColorKey = 0x10,
  kDeviceCanFlip = 0x20,
};

struct DeviceIdentifier {
  std::string driver;
  std::string description;
  uint32_t version_high = 0;  // product and version, 16 bits each
  uint32_t version_low = 0;   // sub-version and build
};

}  // namespace platform::display
