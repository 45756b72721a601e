// The 256 colours that an indexed (8-bit) surface is shown and converted
// with. Setting the palette of the primary surface changes what the window
// shows.
#pragma once

#include <cstdint>

#include "platform/display/display_types.h"

namespace platform::display {

class Palette {
 public:
  struct Passkey {};
  Palette(Passkey, const PaletteEntry* entries);
  Palette(const Palette&) = delete;
  Palette& operator=(const Palette&) = delete;

  // kInvalidParams when start + count passes 256 or a pointer is null.
  Result GetEntries(uint32_t start, uint32_t count, PaletteEntry* out) const;
  Result SetEntries(uint32_t start, uint32_t count, const PaletteEntry* entries);

  const PaletteEntry* entries() const { return entries_; }

 private:
  PaletteEntry entries_[256];
};

}  // namespace platform::display
