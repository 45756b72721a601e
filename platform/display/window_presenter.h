// Shows the window image (display_state: the pixels of the main window's
// client area, or of the full-screen display) in the main window through an
// SDL renderer's streaming texture, scaled to the window at the image's
// logical size. It runs on the main thread at the end of every sweep of a
// message pass when the image changed since it was last shown, so a frame
// reaches the window by the next message pass at the latest. Under SDL's
// dummy driver, and once the display is lost, nothing is shown.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/display/display_types.h"

namespace platform::display {

// Main thread. Shows the image when it changed (or always, with force);
// false when nothing was shown.
bool PresentWindowImage(bool force = false);

// A copy of the window image: rows without padding, in the image's format.
struct WindowImageCopy {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bytes_per_pixel = 0;
  PixelFormat format;
  std::vector<uint8_t> pixels;
  PaletteEntry palette[256] = {};  // indexed images

  uint32_t RawPixel(int32_t x, int32_t y) const;
  // 0x00RRGGBB, channels widened by bit replication.
  uint32_t Rgb(int32_t x, int32_t y) const;
};
// False while there is no window image (no window).
bool CopyWindowImage(WindowImageCopy* out);

// Main thread, for tests: draws the window image as a present does and reads
// the drawn picture back through the renderer (0x00RRGGBB, row by row), then
// presents it. False when nothing can be shown.
bool ReadBackPresentedWindow(std::vector<uint32_t>* pixels, int32_t* width, int32_t* height);

}  // namespace platform::display
