// Pixel memory of images: every block goes through the library allocator so
// that blocks still held at shutdown show up in its dump under the caller's
// file and line. Sizes are bytes; a size that does not fit the allocator's
// 32-bit sizes is refused with null.
#pragma once

#include <cstdint>

uint8_t* AllocImageMemory(uint64_t bytes, const char* file = __builtin_FILE(),
                          int line = __builtin_LINE());
void FreeImageMemory(void* block);
