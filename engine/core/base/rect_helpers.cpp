// Rectangle clipping, normalising and conversion.
#include "engine/core/base/rect_helpers.h"

#include <utility>

#include "engine/core/base/number_helpers.h"

namespace {

// The far edge first, then the near edge: with a clip rectangle whose far
// edge lies before its near edge, the near edge wins.
int32_t Clamp(int32_t value, int32_t low, int32_t high) {
  if (value > high) value = high;
  if (value < low) value = low;
  return value;
}

}  // namespace

int ClipRect(IntRect* rect, const IntRect* clip) {
  if (rect->right < rect->left) rect->right = rect->left;
  if (rect->bottom < rect->top) rect->bottom = rect->top;
  rect->bottom = Clamp(rect->bottom, clip->top, clip->bottom);
  rect->top = Clamp(rect->top, clip->top, clip->bottom);
  rect->right = Clamp(rect->right, clip->left, clip->right);
  rect->left = Clamp(rect->left, clip->left, clip->right);
  return 0;
}

int NormalizeRect(IntRect* rect) {
  if (rect->left > rect->right) std::swap(rect->left, rect->right);
  if (rect->top > rect->bottom) std::swap(rect->top, rect->bottom);
  return 0;
}

int GetRectSize(const IntRect* rect, int* width, int* height) {
  if (width != nullptr) {
    *width = static_cast<int>(static_cast<uint32_t>(rect->right) - static_cast<uint32_t>(rect->left));
  }
  if (height != nullptr) {
    *height = static_cast<int>(static_cast<uint32_t>(rect->bottom) - static_cast<uint32_t>(rect->top));
  }
  return 0;
}

void DoubleRectToRect(const DoubleRect* source, IntRect* out) {
  out->left = DoubleToInt(source->left);
  out->top = DoubleToInt(source->top);
  out->right = DoubleToInt(source->right);
  out->bottom = DoubleToInt(source->bottom);
}
