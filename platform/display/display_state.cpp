// The display's process-wide state.
#include "platform/display/display_state.h"

#include <algorithm>

#include "platform/display/surface_access.h"
#include "platform/window.h"

namespace platform::display {
namespace {

struct WindowImageState {
  std::shared_ptr<PixelStore> store;
  FormatInfo format;
  const void* pinned_by = nullptr;
  int32_t uses = 0;
  bool dirty = false;
};

struct DisplayState {
  bool mode_in_force = false;
  ModeState mode;
  const void* exclusive_owner = nullptr;
  std::weak_ptr<Surface> primary;
  WindowImageState window;
  std::vector<Surface*> surfaces;
  uint64_t video_memory_used = 0;
  Counters counters;
  Controls controls;
  PaletteEntry default_palette[256];
};

DisplayState& State() {
  static DisplayState* state = [] {
    auto* s = new DisplayState();
    for (int i = 0; i < 256; ++i) {
      s->default_palette[i].red = static_cast<uint8_t>(((i >> 5) & 7) * 255 / 7);
      s->default_palette[i].green = static_cast<uint8_t>(((i >> 2) & 7) * 255 / 7);
      s->default_palette[i].blue = static_cast<uint8_t>((i & 3) * 255 / 3);
    }
    return s;
  }();
  return *state;
}

// Surfaces made for the old mode: the primary and everything in video
// memory is lost when the mode's size or depth changes.
void LoseModeSurfaces(const ModeState& before) {
  const ModeState after = CurrentMode();
  if (before.width == after.width && before.height == after.height && before.bits == after.bits) {
    return;
  }
  for (Surface* s : State().surfaces) {
    if (SurfaceAccess::IsPrimary(*s) || SurfaceAccess::InVideoMemory(*s)) SurfaceAccess::MarkLost(*s);
  }
}

}  // namespace

std::recursive_mutex& DisplayMutex() {
  static std::recursive_mutex* mutex = new std::recursive_mutex();
  return *mutex;
}

ModeState DesktopMode() {
  const Controls& c = State().controls;
  if (c.desktop_set) return c.desktop;
  const platform::DesktopMode desktop = platform::GetDesktopMode();
  ModeState mode;
  mode.width = desktop.width;
  mode.height = desktop.height;
  mode.bits = 32;
  return mode;
}

ModeState CurrentMode() {
  DisplayState& s = State();
  return s.mode_in_force ? s.mode : DesktopMode();
}

void SetModeInForce(int32_t width, int32_t height, int32_t bits) {
  const ModeState before = CurrentMode();
  DisplayState& s = State();
  s.mode_in_force = true;
  s.mode.width = width;
  s.mode.height = height;
  s.mode.bits = bits;
  s.mode.changed = true;
  LoseModeSurfaces(before);
}

void RestoreDesktopMode() {
  DisplayState& s = State();
  if (!s.mode_in_force) return;
  const ModeState before = CurrentMode();
  s.mode_in_force = false;
  LoseModeSurfaces(before);
}

PixelFormat DisplayFormatForBits(int32_t bits) {
  if (bits == 8) return Indexed8Format();
  if (bits == 16) return State().controls.sixteen_bit_555 ? Rgb555Format() : Rgb565Format();
  return Xrgb8888Format();
}

PixelFormat CurrentDisplayFormat() { return DisplayFormatForBits(CurrentMode().bits); }

bool ClientArea(Rect* out) {
  const ModeState mode = CurrentMode();
  if (State().exclusive_owner != nullptr || mode.changed) {
    *out = Rect{0, 0, mode.width, mode.height};
    return true;
  }
  if (!platform::HasMainWindow()) return false;
  const platform::ClientRect r = platform::GetMainWindowClientRect();
  *out = Rect{r.left, r.top, r.right, r.bottom};
  return !out->Empty();
}

const void* ExclusiveOwner() { return State().exclusive_owner; }
void SetExclusiveOwner(const void* device) { State().exclusive_owner = device; }

std::shared_ptr<Surface> LivePrimary() { return State().primary.lock(); }
void SetLivePrimary(const std::shared_ptr<Surface>& primary) { State().primary = primary; }

const PaletteEntry* DefaultPalette() { return State().default_palette; }

const PaletteEntry* DisplayPalette() {
  const std::shared_ptr<Surface> primary = LivePrimary();
  if (primary != nullptr) {
    const PaletteEntry* entries = SurfaceAccess::PaletteEntries(*primary);
    if (entries != nullptr) return entries;
  }
  return DefaultPalette();
}

PixelPlane WindowImagePlane() {
  EnsurePresenterHooks();
  WindowImageState& w = State().window;
  if (w.pinned_by == nullptr && w.uses == 0) {
    Rect client;
    if (!ClientArea(&client)) {
      w.store.reset();
      return PixelPlane{};
    }
    const PixelFormat format = CurrentDisplayFormat();
    if (w.store == nullptr || !(w.format.format == format)) {
      if (!MakeFormatInfo(format, false, &w.format)) return PixelPlane{};
      w.store.reset();
    }
    if (w.store == nullptr || w.store->width() != client.Width() ||
        w.store->height() != client.Height()) {
      w.store = PixelStore::Create(client.Width(), client.Height(), w.format.bytes, nullptr);
      w.dirty = true;
    }
  }
  if (w.store == nullptr) return PixelPlane{};
  PixelPlane plane;
  plane.bits = w.store->bits();
  plane.pitch = w.store->pitch();
  plane.bounds = Rect{0, 0, w.store->width(), w.store->height()};
  plane.backed = plane.bounds;
  plane.format = &w.format;
  plane.palette = DisplayPalette();
  return plane;
}

void PinWindowImage(const std::shared_ptr<PixelStore>& store, const FormatInfo& format,
                    const void* owner) {
  WindowImageState& w = State().window;
  w.store = store;
  w.format = format;
  w.pinned_by = owner;
  w.dirty = true;
}

void UnpinWindowImage(const void* owner) {
  WindowImageState& w = State().window;
  if (w.pinned_by != owner) return;
  w.pinned_by = nullptr;
  w.store.reset();  // the window's own image is made again at the next use
  w.dirty = true;
}

void AddWindowImageUse(int32_t delta) {
  WindowImageState& w = State().window;
  w.uses = std::max(0, w.uses + delta);
}

void MarkWindowImageDirty() { State().window.dirty = true; }

bool TakeWindowImageDirty() {
  const bool dirty = State().window.dirty;
  State().window.dirty = false;
  return dirty;
}

void DropWindowImage() {
  WindowImageState& w = State().window;
  if (w.pinned_by == nullptr && w.uses == 0) w.store.reset();
}

void FillWindowImagePattern() {
  WindowImageState& w = State().window;
  if (w.store != nullptr) w.store->FillPattern();
  w.dirty = true;
}

void RegisterSurface(Surface* surface) { State().surfaces.push_back(surface); }

void UnregisterSurface(Surface* surface) {
  std::vector<Surface*>& list = State().surfaces;
  list.erase(std::remove(list.begin(), list.end(), surface), list.end());
}

std::vector<Surface*> LiveSurfaces() { return State().surfaces; }

uint64_t VideoMemoryUsed() { return State().video_memory_used; }

void AddVideoMemoryUsed(int64_t delta) {
  uint64_t& used = State().video_memory_used;
  used = delta < 0 && static_cast<uint64_t>(-delta) > used ? 0 : used + static_cast<uint64_t>(delta);
}

Counters& MutableCounters() { return State().counters; }
Controls& MutableControls() { return State().controls; }

bool TakeFailure(int32_t* calls_left) {
  if (*calls_left == 0) return false;
  if (*calls_left > 0) --*calls_left;
  return true;
}

bool ModeFails(int32_t width, int32_t height, int32_t bits) {
  for (const ModeKey& m : State().controls.failing_modes) {
    if (m.width == width && m.height == height && m.bits == bits) return true;
  }
  return false;
}

}  // namespace platform::display
