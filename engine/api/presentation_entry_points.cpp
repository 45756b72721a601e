#include "engine/api/presentation_entry_points.h"

#include "engine/core/base/api_lock.h"
#include "engine/graphics/presentation.h"
#include "engine/graphics/screen_save.h"

namespace {

// The JPEG quality handed along with every PNG save (unused by PNG).
constexpr int kPngSaveJpegQuality = 80;

}  // namespace

int PresentFrame() {
  ApiLockGuard lock;
  return FlipBackScreen();
}

int PresentBackScreen() {
  ApiLockGuard lock;
  return PresentScreen();
}

int SaveScreenAreaAsPng(int x1, int y1, int x2, int y2, const char* name, int level) {
  ApiLockGuard lock;
  return SaveScreenArea(x1, y1, x2, y2, name, 2, kPngSaveJpegQuality, 0, level);
}
