// Mouse buttons: bit i set while button i is held (bit 0 left, 1 right,
// 2 middle). No time cache; no wait while inactive.
#pragma once

#include <cstdint>

uint32_t ReadMouseButtons();
