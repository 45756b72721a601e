// The rectangle the image operations take: the library's rectangle (left,
// top, right, bottom in pixels, right and bottom exclusive).
#pragma once

#include "engine/core/base/rect_helpers.h"

using ImageRect = IntRect;
