// Palettes and clippers of the display stand-in.
#include <cstring>

#include "platform/display/clipper.h"
#include "platform/display/display_state.h"
#include "platform/display/palette.h"

namespace platform::display {

Palette::Palette(Passkey, const PaletteEntry* entries) {
  std::memcpy(entries_, entries, sizeof(entries_));
}

Result Palette::GetEntries(uint32_t start, uint32_t count, PaletteEntry* out) const {
  if (out == nullptr || start > 256 || count > 256 - start) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  std::memcpy(out, entries_ + start, count * sizeof(PaletteEntry));
  return Result::kOk;
}

Result Palette::SetEntries(uint32_t start, uint32_t count, const PaletteEntry* entries) {
  if (entries == nullptr || start > 256 || count > 256 - start) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  std::memcpy(entries_ + start, entries, count * sizeof(PaletteEntry));
  MarkWindowImageDirty();
  return Result::kOk;
}

Result Clipper::SetWindow() {
  DisplayLock lock(DisplayMutex());
  bound_ = true;
  return Result::kOk;
}

Result Clipper::ClearWindow() {
  DisplayLock lock(DisplayMutex());
  bound_ = false;
  return Result::kOk;
}

Result Clipper::GetClipRect(Rect* out) const {
  if (out == nullptr) return Result::kInvalidParams;
  DisplayLock lock(DisplayMutex());
  *out = Rect{};
  if (!bound_) return Result::kNoClipList;
  Rect client;
  if (ClientArea(&client)) *out = client;
  return Result::kOk;
}

}  // namespace platform::display
