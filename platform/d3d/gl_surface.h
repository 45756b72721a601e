// The OpenGL copy of a display surface: a texture in the surface's own
// packed format (and a framebuffer once it is drawn into), kept beside the
// surface as its companion.
//
// Residency: the memory buffer stays the surface's pixels. A draw into the
// copy marks it "GL newer"; any CPU access of the surface (Lock, Blt,
// BltFast, GetDC, Flip) reads it back first (glReadPixels in the packed
// type; X8R8G8B8 and X1R5G5B5 come back with their spare bits set, which
// GL keeps at 1 in targets of those formats). A CPU
// write marks "memory newer" over the rectangle it wrote; that rectangle
// (the bounding box of every write since the last upload) is uploaded
// before the copy is next bound as a texture or drawn into.
//
// Rows are kept top-down: texel row 0 is the surface's top row, and the
// draws place pixel (x, y) at framebuffer row y, so neither direction
// flips. Only the GL thread may touch the copy; names freed elsewhere wait
// for the next call on it.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/display/companion_copy.h"
#include "platform/display/surface.h"

namespace platform::d3d {

// How a pixel format is held in GL; false for formats without a GL layout
// here (8-bit, 24-bit, depth, channels other than 5-6-5, 5-5-5(-1),
// 4-4-4-4 and 8-8-8-8).
struct GlFormat {
  uint32_t internal_format = 0;
  uint32_t format = 0;
  uint32_t type = 0;
  int32_t bytes = 0;
  bool has_alpha = false;
  uint32_t spare_bits = 0;  // bits set in every read-back pixel
  int32_t widths[4] = {};   // red, green, blue, alpha channel widths
};
bool GlFormatFor(const display::PixelFormat& format, GlFormat* out);

class GlSurface final : public display::SurfaceCompanion,
                        public display::CompanionCopyOut,
                        public std::enable_shared_from_this<GlSurface> {
 public:
  enum class Residency { kMemoryNewer, kInSync, kGlNewer };

  // The surface's GL copy, made and attached on first use; null for a
  // surface whose format has no GL layout or that is too large.
  static std::shared_ptr<GlSurface> For(const display::SurfacePtr& surface);

  ~GlSurface() override;

  void BeforeMemoryAccess(display::Surface& surface) override;
  void AfterMemoryWrite(display::Surface& surface) override;
  void AfterMemoryWrite(display::Surface& surface, const display::Rect& written) override;
  // After a draw: reads `area` from GL straight into `out`.
  bool CopyNewerOut(display::Surface& surface, const display::Rect& area, uint8_t* out,
                    int32_t pitch) override;

  // Brings the copy up to date and binds it to the active texture unit.
  void BindTexture(display::Surface& surface);
  // Brings the copy up to date and binds its framebuffer for drawing.
  bool BindFramebuffer(display::Surface& surface);
  void MarkDrawn() { residency_ = Residency::kGlNewer; }
  // Reads the copy back now when it is newer.
  void Sync(display::Surface& surface);

  // Sampler settings, sent only when they change.
  void SetSampling(bool linear, uint32_t address_u, uint32_t address_v);

  Residency residency() const { return residency_; }
  // While kMemoryNewer: whether the whole surface is to be uploaded, else
  // the rectangle that is (surface pixels).
  bool stale_all() const { return stale_all_; }
  const display::Rect& stale() const { return stale_; }
  const GlFormat& format() const { return format_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  uint32_t texture() const { return texture_; }

 private:
  GlSurface() = default;
  void Upload(display::Surface& surface);
  // Makes (once) and binds the framebuffer; false when GL refuses it.
  bool Framebuffer();
  void ReadBack(display::Surface& surface);

  GlFormat format_;
  int32_t width_ = 0, height_ = 0;
  uint32_t texture_ = 0;
  uint32_t framebuffer_ = 0;
  Residency residency_ = Residency::kMemoryNewer;
  bool stale_all_ = true;
  display::Rect stale_;  // bounding box of the writes the copy has not taken
  bool spare_filled_ = false;  // spare bits set to 1 in GL since the last upload
  int32_t filter_ = -1;
  int32_t wrap_u_ = -1, wrap_v_ = -1;
};

// Frees GL names that were released off the GL thread.
void CollectReleasedGlNames();

}  // namespace platform::d3d
