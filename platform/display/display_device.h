// The display device: the object surfaces, palettes and clippers are made
// by, the cooperative level, display modes and the vertical-blank queries.
//
// - The normal level (kCooperativeNormal) works in the main window, which
//   sees a 32-bit X8R8G8B8 desktop of SDL's size. Full screen with the
//   exclusive level (kCooperativeFullScreen | kCooperativeExclusive) puts the
//   window in SDL's desktop full screen, where the display mode's image is
//   scaled to fit; only then may SetDisplayMode set a mode (8, 16 or 32
//   bits; the refresh rate is ignored; the real display is never touched).
//   Releasing the device gives the display its desktop mode back.
// - Surfaces: see surface.h. Caps report video memory when video memory or
//   a 3D device was asked for (a primary, unless system memory was asked);
//   overlays fail (kNoOverlayHardware), and a surface over 256 MB fails as
//   kOutOfMemory.
// - The raster queries answer from a simulated 60 Hz raster on the clock
//   (raster.h); each yields a little clock time.
// - Fixed identity and caps. A 3D interface appears only once a 3D back end
//   has installed its factory (SetDirect3DFactory).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/display/clipper.h"
#include "platform/display/display_types.h"
#include "platform/display/palette.h"
#include "platform/display/surface.h"

namespace platform::display {

class Device;
using DevicePtr = std::shared_ptr<Device>;

// What a 3D back end hands out for a device; its own interface derives
// from this.
class Direct3DSupport {
 public:
  virtual ~Direct3DSupport() = default;
};
using Direct3DFactory = std::shared_ptr<Direct3DSupport> (*)(Device& device);
// Installs the 3D back end's factory; null removes it.
void SetDirect3DFactory(Direct3DFactory factory);

// Makes a device for the default display; kGeneric when a test control
// makes it fail.
Result CreateDevice(DevicePtr* out);

class Device : public std::enable_shared_from_this<Device> {
 public:
  struct Passkey {};
  explicit Device(Passkey) {}
  ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // kInvalidParams for a level that is neither normal nor full screen with
  // exclusive, and for the exclusive level without a main window;
  // kExclusiveModeAlreadySet while another device holds it.
  Result SetCooperativeLevel(uint32_t flags);
  uint32_t cooperative_level() const { return level_; }

  // kNoExclusiveMode without the exclusive level; kInvalidMode for a depth
  // other than 8, 16 or 32, a size out of range or a mode a test refused.
  Result SetDisplayMode(int32_t width, int32_t height, int32_t bits, int32_t refresh_rate,
                        uint32_t flags);
  Result RestoreDisplayMode();
  Result GetDisplayMode(DisplayMode* out) const;

  Result CreateSurface(const SurfaceDesc& desc, SurfacePtr* out);
  // flags: kPalette8Bit (kPaletteAllow256 accepted); 256 entries.
  Result CreatePalette(uint32_t flags, const PaletteEntry* entries, PalettePtr* out);
  Result CreateClipper(ClipperPtr* out);

  Result GetCaps(DeviceCaps* out) const;
  Result GetDeviceIdentifier(DeviceIdentifier* out) const;
  Result GetAvailableVideoMemory(uint32_t caps, uint32_t* total, uint32_t* free) const;

  // kWaitBlankBegin or kWaitBlankEnd.
  Result WaitForVerticalBlank(uint32_t flags);
  Result GetVerticalBlankStatus(bool* in_blank);
  // Inside the blank: kVerticalBlankInProgress, the line set to the mode's
  // height.
  Result GetScanLine(uint32_t* line);

  // Shows the buffer the flip chain started with (what the desktop drew).
  Result FlipToGdiSurface();

  // The 3D interface of this device; kNoDirect3D without a 3D back end.
  Result QueryDirect3D(std::shared_ptr<Direct3DSupport>* out);

 private:
  uint32_t level_ = 0;
  bool set_mode_ = false;  // a mode this device put in force
  std::shared_ptr<Direct3DSupport> direct3d_;
};

}  // namespace platform::display
