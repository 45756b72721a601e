// Display surfaces: locks, blits, flips, attachments and lost state.
#include "platform/display/surface.h"

#include <algorithm>
#include <cstring>

#include "platform/display/clipper.h"
#include "platform/display/companion_copy.h"
#include "platform/display/device_context.h"
#include "platform/display/display_state.h"
#include "platform/display/palette.h"
#include "platform/display/pixel_loops.h"
#include "platform/display/raster.h"
#include "platform/display/surface_access.h"

namespace platform::display {

// ---- construction (SurfaceAccess) ----

SurfacePtr SurfaceAccess::Make(const NewSurface& spec) {
  auto surface = std::make_shared<Surface>(Surface::Passkey{});
  Surface& s = *surface;
  s.caps_ = spec.caps;
  s.format_ = spec.format;
  s.width_ = spec.width;
  s.height_ = spec.height;
  s.backing_ = spec.window_backed ? Surface::Backing::kWindowImage : Surface::Backing::kStore;
  s.store_ = spec.store;
  s.has_key_ = spec.has_key;
  s.key_ = spec.key;
  const ModeState mode = CurrentMode();
  s.mode_width_ = mode.width;
  s.mode_height_ = mode.height;
  s.mode_bits_ = mode.bits;
  if (spec.video_memory && spec.store != nullptr) {
    s.video_bytes_ = spec.store->size_bytes();
    AddVideoMemoryUsed(static_cast<int64_t>(s.video_bytes_));
  }
  RegisterSurface(&s);
  return surface;
}

void SurfaceAccess::LinkChain(const SurfacePtr& front, const std::vector<SurfacePtr>& backs) {
  front->back_buffers_ = backs;
  front->gdi_store_ = front->store_;
  for (const SurfacePtr& b : backs) b->chain_front_ = front;
}

void SurfaceAccess::PinAsWindowImage(const SurfacePtr& primary) {
  primary->pins_window_image_ = true;
  PinWindowImage(primary->store_, primary->format_, primary.get());
}

Result SurfaceAccess::FlipToFirstBuffer(Surface& front) {
  for (size_t i = 0; i <= front.back_buffers_.size(); ++i) {
    if (front.gdi_store_ == nullptr || front.store_ == front.gdi_store_) return Result::kOk;
    if (Result r = front.Flip(kFlipNoVSync); r != Result::kOk) return r;
  }
  return Result::kOk;
}

const PaletteEntry* SurfaceAccess::PaletteEntries(const Surface& s) {
  return s.palette_ != nullptr ? s.palette_->entries() : nullptr;
}

Surface::~Surface() {
  DisplayLock lock(DisplayMutex());
  if (pins_window_image_) UnpinWindowImage(this);
  if (backing_ == Backing::kWindowImage && (lock_count_ > 0 || dc_out_)) {
    AddWindowImageUse(-(lock_count_ + (dc_out_ ? 1 : 0)));
  }
  if (video_bytes_ != 0) AddVideoMemoryUsed(-static_cast<int64_t>(video_bytes_));
  UnregisterSurface(this);
}

// ---- internal helpers ----

PixelPlane Surface::PlaneLocked() const {
  PixelPlane plane;
  plane.format = &format_;
  plane.bounds = Rect{0, 0, width_, height_};
  plane.palette = palette_ != nullptr ? palette_->entries() : DisplayPalette();
  if (backing_ == Backing::kStore) {
    plane.bits = store_->bits();
    plane.pitch = store_->pitch();
    plane.backed = plane.bounds;
    return plane;
  }
  // A primary in a window: the desktop, backed by the window image at the
  // client area's position.
  const PixelPlane image = WindowImagePlane();
  Rect client;
  if (!image.Valid() || !ClientArea(&client) || !image.format->SameLayout(format_)) return plane;
  const Rect image_area{client.left, client.top, client.left + image.bounds.Width(),
                        client.top + image.bounds.Height()};
  plane.backed = Intersect(Intersect(client, image_area), plane.bounds);
  if (plane.backed.Empty()) return plane;
  plane.pitch = image.pitch;
  plane.bits = image.At(plane.backed.left - client.left, plane.backed.top - client.top);
  return plane;
}

bool Surface::InChainLocked(const Surface* other) const {
  if (other == this) return true;
  for (const SurfacePtr& b : back_buffers_) {
    if (b.get() == other) return true;
  }
  return false;
}

std::vector<Surface*> Surface::ChainLocked() {
  std::vector<Surface*> chain{this};
  for (const SurfacePtr& b : back_buffers_) chain.push_back(b.get());
  return chain;
}

void Surface::NoteReadLocked() {
  if (companion_ != nullptr) companion_->BeforeMemoryAccess(*this);
}

void Surface::NoteWriteLocked() {
  if (companion_ != nullptr) companion_->AfterMemoryWrite(*this);
  if (backing_ == Backing::kWindowImage || pins_window_image_) MarkWindowImageDirty();
}

void Surface::NoteWriteLocked(const Rect& written) {
  if (written.Empty()) return;
  if (companion_ != nullptr) companion_->AfterMemoryWrite(*this, written);
  if (backing_ == Backing::kWindowImage || pins_window_image_) MarkWindowImageDirty();
}

void Surface::EndDcLocked(bool wrote) {
  if (!dc_out_) return;
  dc_out_ = false;
  if (backing_ == Backing::kWindowImage) AddWindowImageUse(-1);
  if (wrote) NoteWriteLocked();
}

Result Surface::CheckUsableLocked() const {
  if (lost_) return Result::kSurfaceLost;
  if (BusyLocked()) return Result::kSurfaceBusy;
  return Result::kOk;
}

// ---- description ----

Result Surface::GetCaps(uint32_t* caps) const {
  if (caps == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  *caps = caps_;
  return Result::kOk;
}

Result Surface::GetSurfaceDesc(SurfaceDesc* desc) const {
  if (desc == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  *desc = SurfaceDesc{};
  desc->caps = caps_;
  desc->width = width_;
  desc->height = height_;
  desc->back_buffer_count = static_cast<int32_t>(back_buffers_.size());
  desc->has_pixel_format = true;
  desc->pixel_format = format_.format;
  desc->has_source_key = has_key_;
  desc->source_key = key_;
  desc->pitch = backing_ == Backing::kStore ? store_->pitch() : PlaneLocked().pitch;
  return Result::kOk;
}

Result Surface::GetPixelFormat(PixelFormat* format) const {
  if (format == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  *format = format_.format;
  return Result::kOk;
}

// ---- locks ----

Result Surface::Lock(const Rect* rect, uint32_t flags, LockedRect* out) {
  if (out == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  ++MutableCounters().locks;
  *out = LockedRect{};
  if (lost_) return Result::kSurfaceLost;
  if (dc_out_) return Result::kSurfaceBusy;
  Controls& controls = MutableControls();
  if (TakeFailure(&controls.fail_locks)) return controls.lock_result;
  const PixelPlane plane = PlaneLocked();
  const Rect r = rect != nullptr ? *rect : plane.bounds;
  if (r.Empty() || !Contains(plane.bounds, r) || !Contains(plane.backed, r)) {
    return Result::kInvalidRect;
  }
  NoteReadLocked();
  ++lock_count_;
  if ((flags & kLockReadOnly) == 0) {
    lock_written_ = lock_wrote_ ? Rect{std::min(lock_written_.left, r.left), std::min(lock_written_.top, r.top),
                                       std::max(lock_written_.right, r.right),
                                       std::max(lock_written_.bottom, r.bottom)}
                                : r;
    lock_wrote_ = true;
  }
  if (backing_ == Backing::kWindowImage) AddWindowImageUse(1);
  out->bits = plane.At(r.left, r.top);
  out->pitch = plane.pitch;
  out->width = r.Width();
  out->height = r.Height();
  out->format = format_.format;
  return Result::kOk;
}

Result Surface::Unlock() {
  DisplayLock lock(DisplayMutex());
  if (lock_count_ == 0) return Result::kNotLocked;
  --lock_count_;
  if (backing_ == Backing::kWindowImage) AddWindowImageUse(-1);
  if (lock_count_ == 0 && lock_wrote_) {
    lock_wrote_ = false;
    NoteWriteLocked(lock_written_);
  }
  return Result::kOk;
}

// ---- blits ----

Result Surface::Blt(const Rect* dst_rect, Surface* source, const Rect* src_rect, uint32_t flags,
                    const BltFx* fx) {
  DisplayLock lock(DisplayMutex());
  ++MutableCounters().blts;
  if (Result r = CheckUsableLocked(); r != Result::kOk) return r;
  const bool color_fill = (flags & kBltColorFill) != 0;
  const bool depth_fill = (flags & kBltDepthFill) != 0;
  if (color_fill && depth_fill) return Result::kInvalidParams;
  const PixelPlane dst = PlaneLocked();
  const Rect d = dst_rect != nullptr ? *dst_rect : dst.bounds;
  if (d.Empty() || !ReasonableRect(d)) return Result::kInvalidRect;
  Rect clip = dst.bounds;
  if (clipper_ != nullptr) {
    Rect client;
    if (Result r = clipper_->GetClipRect(&client); r != Result::kOk) return r;
    clip = Intersect(client, dst.bounds);
  } else if (!Contains(dst.bounds, d)) {
    return Result::kInvalidRect;
  }
  const Rect visible = Intersect(Intersect(d, clip), dst.backed);

  if (color_fill || depth_fill) {
    if (fx == nullptr) return Result::kInvalidParams;
    if (depth_fill && format_.kind != PixelKind::kDepth) return Result::kInvalidParams;
    NoteReadLocked();
    FillPixels(dst, visible, depth_fill ? (fx->fill_depth & 0xFFFF) : fx->fill_color);
    NoteWriteLocked(visible);
    return Result::kOk;
  }

  if (source == nullptr) return Result::kInvalidParams;
  if (source != this) {
    if (Result r = source->CheckUsableLocked(); r != Result::kOk) return r;
  }
  const PixelPlane src = source->PlaneLocked();
  const Rect s = src_rect != nullptr ? *src_rect : src.bounds;
  if (s.Empty() || !Contains(src.bounds, s)) return Result::kInvalidRect;
  if (!format_.SameLayout(source->format_)) return Result::kInvalidPixelFormat;
  KeyRange key;
  const KeyRange* key_ptr = nullptr;
  if ((flags & kBltKeySource) != 0) {
    if (!source->has_key_) return Result::kNoColorKey;
    key = KeyRange{source->key_.low, source->key_.high};
    key_ptr = &key;
  }
  if (visible.Empty()) return Result::kOk;
  std::shared_ptr<PixelStore> temp;
  PixelPlane readable;
  if (!ReadableSource(src, s, dst, visible, &temp, &readable)) return Result::kOutOfMemory;
  source->NoteReadLocked();
  NoteReadLocked();
  StretchPixels(dst, d, visible, readable, s, key_ptr);
  NoteWriteLocked(visible);
  return Result::kOk;
}

Result Surface::BltFast(int32_t x, int32_t y, Surface* source, const Rect* src_rect,
                        uint32_t flags) {
  DisplayLock lock(DisplayMutex());
  ++MutableCounters().blt_fasts;
  if (source == nullptr) return Result::kInvalidParams;
  if (TakeFailure(&MutableControls().fail_blt_fasts)) return MutableControls().blt_fast_result;
  if (Result r = CheckUsableLocked(); r != Result::kOk) return r;
  if (source != this) {
    if (Result r = source->CheckUsableLocked(); r != Result::kOk) return r;
  }
  if (clipper_ != nullptr) return Result::kUnsupported;
  if (!ReasonableRect(Rect{x, y, x, y})) return Result::kInvalidRect;
  const PixelPlane dst = PlaneLocked();
  const PixelPlane src = source->PlaneLocked();
  const Rect s = src_rect != nullptr ? *src_rect : src.bounds;
  if (s.Empty() || !Contains(src.bounds, s)) return Result::kInvalidRect;
  if (!format_.SameLayout(source->format_)) return Result::kInvalidPixelFormat;
  const Rect d{x, y, x + s.Width(), y + s.Height()};
  if (!Contains(dst.bounds, d)) return Result::kInvalidRect;
  KeyRange key;
  const KeyRange* key_ptr = nullptr;
  if ((flags & kBltFastSourceColorKey) != 0) {
    if (!source->has_key_) return Result::kNoColorKey;
    key = KeyRange{source->key_.low, source->key_.high};
    key_ptr = &key;
  }
  const Rect visible = Intersect(d, dst.backed);
  if (visible.Empty()) return Result::kOk;
  const Rect part{s.left + (visible.left - d.left), s.top + (visible.top - d.top),
                  s.left + (visible.right - d.left), s.top + (visible.bottom - d.top)};
  // A plain copy out of a surface whose newer pixels are held by its
  // companion (a 3D target after a draw) takes only the rectangle from
  // there, straight into this surface, instead of the whole surface into
  // the source's memory and then the rectangle from there.
  auto* copy_out = dynamic_cast<CompanionCopyOut*>(source->companion_.get());
  if (copy_out != nullptr && key_ptr == nullptr && source != this && Contains(src.backed, part)) {
    NoteReadLocked();
    if (copy_out->CopyNewerOut(*source, part, dst.At(visible.left, visible.top), dst.pitch)) {
      NoteWriteLocked(visible);
      return Result::kOk;
    }
  }
  std::shared_ptr<PixelStore> temp;
  PixelPlane readable;
  if (!ReadableSource(src, part, dst, visible, &temp, &readable)) return Result::kOutOfMemory;
  source->NoteReadLocked();
  NoteReadLocked();
  CopyPixels(dst, visible.left, visible.top, readable, part, key_ptr);
  NoteWriteLocked(visible);
  return Result::kOk;
}

Result Surface::Flip(uint32_t flags) {
  auto check = [this]() {
    if (back_buffers_.empty()) return Result::kNotFlippable;
    for (Surface* s : ChainLocked()) {
      if (s->lost_) return Result::kSurfaceLost;
    }
    for (Surface* s : ChainLocked()) {
      if (s->BusyLocked()) return Result::kSurfaceBusy;
    }
    return Result::kOk;
  };
  {
    DisplayLock lock(DisplayMutex());
    if (Result r = check(); r != Result::kOk) return r;
  }
  if ((flags & kFlipNoVSync) == 0) WaitForBlankBegin();
  DisplayLock lock(DisplayMutex());
  if (Result r = check(); r != Result::kOk) return r;
  for (Surface* s : ChainLocked()) s->NoteReadLocked();
  // The front takes the first back buffer's pixels, each back buffer the
  // next one's, the last back buffer the old front's.
  std::shared_ptr<PixelStore> old_front = store_;
  store_ = back_buffers_.front()->store_;
  for (size_t i = 0; i + 1 < back_buffers_.size(); ++i) {
    back_buffers_[i]->store_ = back_buffers_[i + 1]->store_;
  }
  back_buffers_.back()->store_ = old_front;
  if (pins_window_image_) PinWindowImage(store_, format_, this);
  for (Surface* s : ChainLocked()) s->NoteWriteLocked();
  return Result::kOk;
}

// ---- attachments ----

Result Surface::GetAttachedSurface(uint32_t caps, SurfacePtr* out) {
  if (out == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  *out = nullptr;
  if ((caps & kCapsBackBuffer) != 0 && !back_buffers_.empty()) {
    *out = back_buffers_.front();
    return Result::kOk;
  }
  if ((caps & kCapsZBuffer) != 0 && depth_ != nullptr) {
    *out = depth_;
    return Result::kOk;
  }
  return Result::kNotFound;
}

Result Surface::AddAttachedSurface(const SurfacePtr& depth) {
  if (depth == nullptr || depth.get() == this) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  if (depth_ != nullptr) {
    return depth_ == depth ? Result::kSurfaceAlreadyAttached : Result::kCannotAttachSurface;
  }
  if (depth->format_.kind != PixelKind::kDepth || format_.kind == PixelKind::kDepth ||
      depth->width_ != width_ || depth->height_ != height_) {
    return Result::kCannotAttachSurface;
  }
  depth_ = depth;
  return Result::kOk;
}

Result Surface::DeleteAttachedSurface(const Surface* depth) {
  DisplayLock lock(DisplayMutex());
  if (depth_ == nullptr || (depth != nullptr && depth != depth_.get())) return Result::kNotFound;
  SurfacePtr released = std::move(depth_);
  depth_ = nullptr;
  return Result::kOk;
}

// ---- colour key, clipper, palette ----

Result Surface::SetColorKey(uint32_t flags, const ColorKey* key) {
  if ((flags & kColorKeySourceBlt) == 0) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  if (key == nullptr) {
    has_key_ = false;
    key_ = ColorKey{};
    return Result::kOk;
  }
  has_key_ = true;
  key_ = *key;
  return Result::kOk;
}

Result Surface::GetColorKey(uint32_t flags, ColorKey* key) const {
  if ((flags & kColorKeySourceBlt) == 0 || key == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  if (!has_key_) return Result::kNoColorKey;
  *key = key_;
  return Result::kOk;
}

Result Surface::SetClipper(ClipperPtr clipper) {
  DisplayLock lock(DisplayMutex());
  clipper_ = std::move(clipper);
  return Result::kOk;
}

Result Surface::GetClipper(ClipperPtr* out) const {
  if (out == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  *out = clipper_;
  return clipper_ != nullptr ? Result::kOk : Result::kNoClipper;
}

Result Surface::SetPalette(PalettePtr palette) {
  DisplayLock lock(DisplayMutex());
  if (palette != nullptr && format_.kind != PixelKind::kIndexed8) {
    return Result::kInvalidPixelFormat;
  }
  palette_ = std::move(palette);
  if ((caps_ & kCapsPrimary) != 0) MarkWindowImageDirty();
  return Result::kOk;
}

Result Surface::GetPalette(PalettePtr* out) const {
  if (out == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  *out = palette_;
  return palette_ != nullptr ? Result::kOk : Result::kNoPalette;
}

// ---- device contexts ----

Result Surface::GetDC(DeviceContextPtr* out) {
  if (out == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  out->reset();
  if (lost_) return Result::kSurfaceLost;
  if (dc_out_) return Result::kDcAlreadyCreated;
  if (lock_count_ > 0) return Result::kSurfaceBusy;
  if (format_.kind == PixelKind::kDepth) return Result::kUnsupported;
  if (TakeFailure(&MutableControls().fail_get_dc)) return Result::kGeneric;
  NoteReadLocked();
  dc_out_ = true;
  if (backing_ == Backing::kWindowImage) AddWindowImageUse(1);
  *out = DeviceContextAccess::ForSurface(shared_from_this());
  return Result::kOk;
}

Result Surface::ReleaseDC(DeviceContextPtr dc) {
  DisplayLock lock(DisplayMutex());
  if (dc == nullptr || DeviceContextAccess::SurfaceOf(*dc) != this) return Result::kInvalidParams;
  dc.reset();  // the context's end gives the surface back
  return Result::kOk;
}

// ---- lost surfaces ----

Result Surface::IsLost() const {
  DisplayLock lock(DisplayMutex());
  return lost_ ? Result::kSurfaceLost : Result::kOk;
}

Result Surface::Restore() {
  DisplayLock lock(DisplayMutex());
  if (!lost_) return Result::kOk;
  if ((caps_ & kCapsPrimary) != 0) {
    const ModeState mode = CurrentMode();
    if (mode.width != mode_width_ || mode.height != mode_height_ || mode.bits != mode_bits_) {
      return Result::kWrongMode;
    }
  }
  std::vector<Surface*> restored = ChainLocked();
  if (depth_ != nullptr) restored.push_back(depth_.get());
  for (Surface* s : restored) {
    if (!s->lost_) continue;
    s->lost_ = false;
    if (s->backing_ == Backing::kWindowImage) {
      FillWindowImagePattern();
    } else {
      s->store_->FillPattern();
      s->NoteWriteLocked();
    }
  }
  return Result::kOk;
}

void Surface::VisitMemoryImpl(MemoryVisitorBase& visitor) const {
  DisplayLock lock(DisplayMutex());
  const PixelPlane plane = PlaneLocked();
  CompanionMemory memory;
  memory.bounds = plane.bounds;
  memory.backed = plane.backed;
  memory.format = format_.format;
  if (!plane.backed.Empty()) {
    memory.bits = plane.bits;
    memory.pitch = plane.pitch;
  }
  visitor.Visit(memory);
}

void Surface::SetCompanion(std::shared_ptr<SurfaceCompanion> companion) {
  DisplayLock lock(DisplayMutex());
  companion_ = std::move(companion);
}

}  // namespace platform::display
