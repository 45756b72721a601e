#include "engine/graphics/image/image_memory.h"

#include "engine/core/base/tracked_memory.h"

uint8_t* AllocImageMemory(uint64_t bytes, const char* file, int line) {
  if (bytes > 0x7FFF0000u) return nullptr;
  return static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(bytes), file, line));
}

void FreeImageMemory(void* block) {
  if (block != nullptr) TrackedFree(block);
}
