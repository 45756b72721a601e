// The display device: levels, modes, object creation and raster queries.
#include "platform/display/display_device.h"

#include "platform/display/display_state.h"
#include "platform/display/raster.h"
#include "platform/display/surface_access.h"
#include "platform/window.h"

namespace platform::display {
namespace {

constexpr int32_t kMaxModeExtent = 16384;
constexpr int32_t kMaxBackBuffers = 3;

Direct3DFactory g_direct3d_factory = nullptr;

uint32_t MemoryCaps(bool video) {
  return video ? (kCapsVideoMemory | kCapsLocalVideoMemory) : kCapsSystemMemory;
}

Result MakePrimary(const SurfaceDesc& desc, uint32_t caps, bool video, bool exclusive,
                   SurfacePtr* out) {
  if (desc.width != 0 || desc.height != 0) return Result::kInvalidParams;
  if (LivePrimary() != nullptr) return Result::kPrimaryAlreadyExists;
  const ModeState mode = CurrentMode();
  const PixelFormat display_format = DisplayFormatForBits(mode.bits);
  if (desc.has_pixel_format && !(desc.pixel_format == display_format)) {
    return Result::kInvalidPixelFormat;
  }
  const int32_t backs = desc.back_buffer_count;
  const uint32_t chain_caps = kCapsFlip | kCapsComplex;
  if (backs < 0 || backs > kMaxBackBuffers) return Result::kInvalidParams;
  if ((backs > 0) != ((caps & chain_caps) == chain_caps) || ((caps & kCapsFlip) != 0 && backs == 0)) {
    return Result::kInvalidCaps;
  }
  if (backs > 0 && !exclusive) return Result::kNoExclusiveMode;

  SurfaceAccess::NewSurface spec;
  if (!MakeFormatInfo(display_format, false, &spec.format)) return Result::kInvalidPixelFormat;
  spec.width = mode.width;
  spec.height = mode.height;
  spec.video_memory = video;
  spec.has_key = desc.has_source_key;
  spec.key = desc.source_key;
  spec.caps = caps | (backs > 0 ? uint32_t{kCapsFrontBuffer} : 0u);
  // In a window the primary is backed by the window image; in the exclusive
  // level it owns its pixels, which then are the window image.
  spec.window_backed = !exclusive;
  std::vector<std::shared_ptr<PixelStore>> stores;
  const int32_t store_count = exclusive ? 1 + backs : 0;
  for (int32_t i = 0; i < store_count; ++i) {
    auto store = PixelStore::Create(mode.width, mode.height, spec.format.bytes, nullptr);
    if (store == nullptr) return Result::kOutOfMemory;
    stores.push_back(std::move(store));
  }
  if (exclusive) spec.store = stores[0];
  SurfacePtr front = SurfaceAccess::Make(spec);
  std::vector<SurfacePtr> back_buffers;
  for (int32_t i = 0; i < backs; ++i) {
    SurfaceAccess::NewSurface back = spec;
    back.window_backed = false;
    back.store = stores[static_cast<size_t>(i + 1)];
    back.caps = (caps & ~(kCapsPrimary | kCapsFrontBuffer)) | (i == 0 ? uint32_t{kCapsBackBuffer} : 0u);
    back.has_key = false;
    back_buffers.push_back(SurfaceAccess::Make(back));
  }
  if (backs > 0) SurfaceAccess::LinkChain(front, back_buffers);
  if (exclusive) SurfaceAccess::PinAsWindowImage(front);
  SetLivePrimary(front);
  *out = std::move(front);
  return Result::kOk;
}

}  // namespace

void SetDirect3DFactory(Direct3DFactory factory) {
  DisplayLock lock(DisplayMutex());
  g_direct3d_factory = factory;
}

Result CreateDevice(DevicePtr* out) {
  if (out == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  *out = nullptr;
  if (TakeFailure(&MutableControls().fail_device_creation)) return Result::kGeneric;
  *out = std::make_shared<Device>(Device::Passkey{});
  return Result::kOk;
}

Device::~Device() {
  DisplayLock lock(DisplayMutex());
  if (set_mode_) RestoreDesktopMode();
  if (ExclusiveOwner() == this) SetExclusiveOwner(nullptr);
}

Result Device::SetCooperativeLevel(uint32_t flags) {
  const bool normal = (flags & kCooperativeNormal) != 0;
  const bool full_screen = (flags & kCooperativeFullScreen) != 0;
  const bool exclusive = (flags & kCooperativeExclusive) != 0;
  if (normal == (full_screen || exclusive) || full_screen != exclusive) {
    return Result::kInvalidParams;
  }
  DisplayLock lock(DisplayMutex());
  if (normal) {
    if (ExclusiveOwner() == this) SetExclusiveOwner(nullptr);
    level_ = kCooperativeNormal;
    return Result::kOk;
  }
  if (!platform::HasMainWindow()) return Result::kInvalidParams;
  if (ExclusiveOwner() != nullptr && ExclusiveOwner() != this) {
    return Result::kExclusiveModeAlreadySet;
  }
  SetExclusiveOwner(this);
  level_ = kCooperativeFullScreen | kCooperativeExclusive;
  platform::SetMainWindowFullScreen(true);
  MarkWindowImageDirty();
  return Result::kOk;
}

Result Device::SetDisplayMode(int32_t width, int32_t height, int32_t bits, int32_t /*refresh_rate*/,
                              uint32_t /*flags*/) {
  DisplayLock lock(DisplayMutex());
  if (ExclusiveOwner() != this) return Result::kNoExclusiveMode;
  if ((bits != 8 && bits != 16 && bits != 32) || width <= 0 || height <= 0 ||
      width > kMaxModeExtent || height > kMaxModeExtent || ModeFails(width, height, bits)) {
    return Result::kInvalidMode;
  }
  SetModeInForce(width, height, bits);
  set_mode_ = true;
  MarkWindowImageDirty();
  return Result::kOk;
}

Result Device::RestoreDisplayMode() {
  DisplayLock lock(DisplayMutex());
  if (set_mode_) {
    RestoreDesktopMode();
    set_mode_ = false;
    MarkWindowImageDirty();
  }
  return Result::kOk;
}

Result Device::GetDisplayMode(DisplayMode* out) const {
  if (out == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  const ModeState mode = CurrentMode();
  out->width = mode.width;
  out->height = mode.height;
  out->bits = mode.bits;
  out->refresh_rate = static_cast<int32_t>(kRefreshRateHz);
  out->pixel_format = DisplayFormatForBits(mode.bits);
  return Result::kOk;
}

Result Device::CreateSurface(const SurfaceDesc& desc, SurfacePtr* out) {
  if (out == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  *out = nullptr;
  const uint32_t caps = desc.caps;
  if ((caps & kCapsOverlay) != 0) return Result::kNoOverlayHardware;
  if ((caps & kCapsSystemMemory) != 0 && (caps & kCapsVideoMemory) != 0) return Result::kInvalidCaps;
  if ((caps & kCapsTextureManage) != 0 && (caps & kCapsTexture) == 0) return Result::kInvalidCaps;
  const bool primary = (caps & kCapsPrimary) != 0;
  if (!primary && (caps & (kCapsFlip | kCapsFrontBuffer | kCapsBackBuffer | kCapsComplex)) != 0) {
    return Result::kInvalidCaps;
  }
  const bool video = (caps & kCapsSystemMemory) == 0 &&
                     ((caps & (kCapsVideoMemory | kCaps3DDevice)) != 0 || primary);
  const Controls& controls = MutableControls();
  if ((controls.fail_surface_caps & caps) != 0) return controls.fail_surface_result;
  if (video && controls.video_memory_exhausted) return Result::kOutOfVideoMemory;
  const uint32_t reported =
      (caps & ~(kCapsSystemMemory | kCapsVideoMemory | kCapsLocalVideoMemory)) | MemoryCaps(video);
  if (primary) return MakePrimary(desc, reported, video, ExclusiveOwner() == this, out);

  if (desc.width <= 0 || desc.height <= 0 || desc.back_buffer_count != 0) {
    return Result::kInvalidParams;
  }
  const bool depth = (caps & kCapsZBuffer) != 0;
  PixelFormat format = CurrentDisplayFormat();
  if (depth) format = Depth16Format();
  if (desc.has_pixel_format) format = desc.pixel_format;
  SurfaceAccess::NewSurface spec;
  if (!MakeFormatInfo(format, false, &spec.format) ||
      depth != (spec.format.kind == PixelKind::kDepth)) {
    return Result::kInvalidPixelFormat;
  }
  bool too_large = false;
  spec.store = PixelStore::Create(desc.width, desc.height, spec.format.bytes, &too_large);
  if (spec.store == nullptr) return Result::kOutOfMemory;
  spec.caps = reported | (depth || (caps & kCapsTexture) != 0 ? 0u : uint32_t{kCapsOffscreenPlain});
  spec.width = desc.width;
  spec.height = desc.height;
  spec.video_memory = video;
  spec.has_key = desc.has_source_key;
  spec.key = desc.source_key;
  *out = SurfaceAccess::Make(spec);
  return Result::kOk;
}

Result Device::CreatePalette(uint32_t flags, const PaletteEntry* entries, PalettePtr* out) {
  if (out == nullptr) return Result::kInvalidParams;
  *out = nullptr;
  if ((flags & kPalette8Bit) == 0 || entries == nullptr) return Result::kInvalidParams;
  *out = std::make_shared<Palette>(Palette::Passkey{}, entries);
  return Result::kOk;
}

Result Device::CreateClipper(ClipperPtr* out) {
  if (out == nullptr) return Result::kInvalidParams;
  *out = std::make_shared<Clipper>(Clipper::Passkey{});
  return Result::kOk;
}

Result Device::GetCaps(DeviceCaps* out) const {
  if (out == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  *out = DeviceCaps{};
  out->blt_caps = kDeviceCanBlt | kDeviceCanStretch | kDeviceCanColorFill | kDeviceCanDepthFill |
                  kDeviceCanColorKey | kDeviceCanFlip;
  out->color_key_caps = kColorKeySourceBlt;
  out->video_memory_total = static_cast<uint32_t>(kVideoMemoryTotal);
  const uint64_t used = VideoMemoryUsed();
  out->video_memory_free = static_cast<uint32_t>(used >= kVideoMemoryTotal ? 0 : kVideoMemoryTotal - used);
  out->align_boundary_source = 1;
  out->align_size_source = 1;
  out->align_boundary_dest = 1;
  out->align_size_dest = 1;
  return Result::kOk;
}

Result Device::GetDeviceIdentifier(DeviceIdentifier* out) const {
  if (out == nullptr) return Result::kInvalidParams;
  out->driver = "vesk-display";
  out->description = "Memory surfaces shown through the window";
  out->version_high = 0x00010000;
  out->version_low = 0x00000001;
  return Result::kOk;
}

Result Device::GetAvailableVideoMemory(uint32_t /*caps*/, uint32_t* total, uint32_t* free) const {
  DeviceCaps caps;
  GetCaps(&caps);
  if (total != nullptr) *total = caps.video_memory_total;
  if (free != nullptr) *free = caps.video_memory_free;
  return Result::kOk;
}

Result Device::WaitForVerticalBlank(uint32_t flags) {
  if (flags == kWaitBlankBegin) {
    WaitForBlankBegin();
  } else if (flags == kWaitBlankEnd) {
    WaitForBlankEnd();
  } else {
    return Result::kInvalidParams;
  }
  return Result::kOk;
}

namespace {
uint32_t RasterLines() {
  DisplayLock lock(DisplayMutex());
  return static_cast<uint32_t>(CurrentMode().height);
}
}  // namespace

Result Device::GetVerticalBlankStatus(bool* in_blank) {
  if (in_blank == nullptr) return Result::kInvalidParams;
  *in_blank = QueryRaster(RasterLines()).in_blank;
  return Result::kOk;
}

Result Device::GetScanLine(uint32_t* line) {
  if (line == nullptr) return Result::kInvalidParams;
  const RasterState state = QueryRaster(RasterLines());
  *line = state.line;
  return state.in_blank ? Result::kVerticalBlankInProgress : Result::kOk;
}

Result Device::FlipToGdiSurface() {
  DisplayLock lock(DisplayMutex());
  const SurfacePtr primary = LivePrimary();
  if (primary == nullptr) return Result::kOk;
  return SurfaceAccess::FlipToFirstBuffer(*primary);
}

Result Device::QueryDirect3D(std::shared_ptr<Direct3DSupport>* out) {
  if (out == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  *out = nullptr;
  if (direct3d_ == nullptr && g_direct3d_factory != nullptr) direct3d_ = g_direct3d_factory(*this);
  if (direct3d_ == nullptr) return Result::kNoDirect3D;
  *out = direct3d_;
  return Result::kOk;
}

}  // namespace platform::display
