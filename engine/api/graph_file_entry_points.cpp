#include "engine/api/graph_file_entry_points.h"

#include "engine/core/base/api_lock.h"
#include "engine/graphics/graph_creation.h"
#include "engine/graphics/graph_restore.h"

int ImportGraphFileWithAlpha(const char* name) {
  ApiLockGuard lock;
  return LoadGraphForceAlpha(name);
}

int ImportGraphFromMemory(const void* data, int32_t size, const void* alphaData,
                          int32_t alphaSize, int flag, int reverse) {
  ApiLockGuard lock;
  return CreateGraphFromMemory(data, size, alphaData, alphaSize, flag, reverse);
}

int CutGraph(int x, int y, int width, int height, int source) {
  ApiLockGuard lock;
  return CreateSubGraph(x, y, width, height, source);
}

int RestoreGraphsFromFiles() {
  ApiLockGuard lock;
  return ReloadAllGraphs();
}

int RegisterRestoreHandler(void (*handler)()) {
  ApiLockGuard lock;
  return RegisterGraphReloader(handler);
}
