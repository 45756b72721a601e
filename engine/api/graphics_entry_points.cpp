#include "engine/api/graphics_entry_points.h"

#include "engine/core/base/api_lock.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/graph_handles.h"

namespace {

template <typename Operation>
auto Locked(Operation operation) {
  ApiLockGuard lock;
  return operation();
}

}  // namespace

int NewGraph(int width, int height, int flag) {
  return Locked([=] { return MakeBlankGraph(width, height, flag); });
}
int FreeGraphHandle(int graph, int logFlag) {
  return Locked([=] { return ReleaseGraph(graph, logFlag); });
}
int CountGraphHandles() {
  return Locked([] { return GetGraphCount(); });
}
int FreeAllGraphHandles(int logFlag) {
  return Locked([=] { return ReleaseAllGraphs(logFlag); });
}
int QueryGraphSize(int graph, int* width, int* height) {
  return Locked([=] { return GetGraphDimensions(graph, width, height); });
}
int SetFilterMode(int mode) {
  return Locked([=] { return SetDrawFilterMode(mode); });
}
int SetBlendMode(int mode, int value) {
  return Locked([=] { return SetBlendState(mode, value); });
}
int SetDrawTint(int r, int g, int b) {
  return Locked([=] { return SetColorScale(r, g, b); });
}
int SetTransparentColor(int r, int g, int b) {
  return Locked([=] { return SetColorKeyRgb(r, g, b); });
}
int Enable3DGraphs(int flag) {
  return Locked([=] { return SetUse3DDrawing(flag); });
}
