// A display surface: a memory buffer of pixels at 8 (palette indices), 16 or
// 32 bits, or a 16-bit depth buffer, made by Device::CreateSurface.
//
// - Lock hands out a pointer and a pitch that is never width x bytes per
//   pixel. Locks nest; Unlock ends one. A locked surface refuses blits,
//   Flip and GetDC (kSurfaceBusy); a surface whose device context is out
//   refuses locks and blits.
// - Blt copies between surfaces of the same format, stretching to the
//   nearest pixel (source x = left + dx * source width / destination width),
//   or fills (kBltColorFill writes the low bits of the value, kBltDepthFill
//   depth buffers only). With a clipper it is clipped to the clipper's window;
//   without one, a rectangle outside the surface is refused. BltFast copies
//   without stretching or clipping (kUnsupported on a surface with a
//   clipper). Refused calls write nothing.
// - The primary surface stands for the display. In a window it has the
//   desktop's size and coordinates, and only the main window's client area is
//   backed (by the window image): writes outside it are dropped, reads give
//   0, locks outside it are refused. In the exclusive level it owns its
//   pixels, and with back buffers it is a flip chain whose Flip swaps the
//   buffers, waiting for the next vertical blank unless kFlipNoVSync.
// - A lost surface answers kSurfaceLost until Restore, after which its
//   pixels are a fixed pattern, not what they were. A change of the display
//   mode's size or depth loses the primary and every video-memory surface;
//   a primary made for another mode cannot be restored (kWrongMode).
//
// Surfaces are shared objects: the last reference releases one. A flip
// chain's front holds its back buffers, a surface holds its attached depth
// buffer. Calls may come from any thread, one at a time (the library lock);
// the display's own lock guards what is shared with the presenter.
#pragma once

#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "platform/display/display_types.h"
#include "platform/display/pixel_plane.h"

namespace platform::display {

class Surface;
class Palette;
class Clipper;
class DeviceContext;
using SurfacePtr = std::shared_ptr<Surface>;
using PalettePtr = std::shared_ptr<Palette>;
using ClipperPtr = std::shared_ptr<Clipper>;
using DeviceContextPtr = std::unique_ptr<DeviceContext>;

// What a 3D back end keeps beside a surface (a GPU copy, say). The surface
// tells it when its memory is about to be read or written by the CPU side
// and when it was written. Called with the display lock held: it must not
// call back into the display.
class SurfaceCompanion {
 public:
  virtual ~SurfaceCompanion() = default;
  virtual void BeforeMemoryAccess(Surface& surface) = 0;
  // Anything in the surface may have changed.
  virtual void AfterMemoryWrite(Surface& surface) = 0;
  // Only `written` (surface pixels, not empty) changed.
  virtual void AfterMemoryWrite(Surface& surface, const Rect& written) {
    (void)written;
    AfterMemoryWrite(surface);
  }
};

class Surface : public std::enable_shared_from_this<Surface> {
 public:
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  Result GetCaps(uint32_t* caps) const;
  Result GetSurfaceDesc(SurfaceDesc* desc) const;
  Result GetPixelFormat(PixelFormat* format) const;

  // rect null: the whole surface. kLockReadOnly keeps the window image and
  // the companion from seeing a write.
  Result Lock(const Rect* rect, uint32_t flags, LockedRect* out);
  Result Unlock();

  // dst_rect, src_rect null: the whole surface. fx is needed by the fills.
  Result Blt(const Rect* dst_rect, Surface* source, const Rect* src_rect, uint32_t flags,
             const BltFx* fx);
  Result BltFast(int32_t x, int32_t y, Surface* source, const Rect* src_rect, uint32_t flags);
  Result Flip(uint32_t flags);

  // kCapsBackBuffer: the first back buffer of a flip chain; kCapsZBuffer: the
  // attached depth buffer.
  Result GetAttachedSurface(uint32_t caps, SurfacePtr* out);
  // Attaches a depth buffer of the same size.
  Result AddAttachedSurface(const SurfacePtr& depth);
  Result DeleteAttachedSurface(const Surface* depth);

  // flags: kColorKeySourceBlt. A null key removes the key.
  Result SetColorKey(uint32_t flags, const ColorKey* key);
  Result GetColorKey(uint32_t flags, ColorKey* key) const;
  Result SetClipper(ClipperPtr clipper);
  Result GetClipper(ClipperPtr* out) const;
  // Indexed surfaces only. A null palette removes it.
  Result SetPalette(PalettePtr palette);
  Result GetPalette(PalettePtr* out) const;

  // A device context drawing on this surface (see device_context.h); the
  // surface counts as busy until ReleaseDC or the context's end.
  Result GetDC(DeviceContextPtr* out);
  Result ReleaseDC(DeviceContextPtr dc);

  Result IsLost() const;
  Result Restore();

  void SetCompanion(std::shared_ptr<SurfaceCompanion> companion);
  SurfaceCompanion* companion() const { return companion_.get(); }

  // For a companion: the surface's pixels as they stand, handed to visit
  // with the display lock held and without noting an access (so the
  // companion's own copies do not come back to it). bits points at
  // (backed.left, backed.top); only the backed part of bounds has memory.
  struct CompanionMemory {
    uint8_t* bits = nullptr;
    int32_t pitch = 0;
    Rect bounds;
    Rect backed;
    PixelFormat format;
  };
  template <class F>
  void VisitMemory(F&& visit) const {
    MemoryVisitor<std::remove_reference_t<F>> v(visit);
    VisitMemoryImpl(v);
  }

 private:
  friend struct SurfaceAccess;
  struct Passkey {};

  struct MemoryVisitorBase {
    virtual void Visit(const CompanionMemory& memory) = 0;

   protected:
    ~MemoryVisitorBase() = default;
  };
  template <class F>
  struct MemoryVisitor final : MemoryVisitorBase {
    explicit MemoryVisitor(F& f) : visit(f) {}
    void Visit(const CompanionMemory& memory) override { visit(memory); }
    F& visit;
  };
  void VisitMemoryImpl(MemoryVisitorBase& visitor) const;

 public:
  explicit Surface(Passkey) {}

 private:
  enum class Backing { kStore, kWindowImage };

  // All of these expect the display lock.
  PixelPlane PlaneLocked() const;
  bool BusyLocked() const { return lock_count_ > 0 || dc_out_; }
  bool InChainLocked(const Surface* other) const;
  std::vector<Surface*> ChainLocked();
  void NoteReadLocked();
  void NoteWriteLocked();
  void NoteWriteLocked(const Rect& written);
  void EndDcLocked(bool wrote);
  Result CheckUsableLocked() const;

  Backing backing_ = Backing::kStore;
  uint32_t caps_ = 0;
  FormatInfo format_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::shared_ptr<PixelStore> store_;
  std::vector<SurfacePtr> back_buffers_;  // a flip chain's front: its back buffers in order
  std::weak_ptr<Surface> chain_front_;     // a back buffer: its front
  std::shared_ptr<PixelStore> gdi_store_;  // a flip chain's front: the buffer it started with
  SurfacePtr depth_;
  bool has_key_ = false;
  ColorKey key_;
  ClipperPtr clipper_;
  PalettePtr palette_;
  int32_t lock_count_ = 0;
  bool lock_wrote_ = false;
  Rect lock_written_;  // the rectangles write-locked since the count was last 0
  bool dc_out_ = false;
  bool lost_ = false;
  bool pins_window_image_ = false;
  int32_t mode_width_ = 0, mode_height_ = 0, mode_bits_ = 0;  // the mode a primary was made for
  uint64_t video_bytes_ = 0;
  std::shared_ptr<SurfaceCompanion> companion_;
};

}  // namespace platform::display
