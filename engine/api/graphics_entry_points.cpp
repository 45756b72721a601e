#include "engine/api/graphics_entry_points.h"

#include "engine/core/base/api_lock.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/screens.h"
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
int ChangeScreenMode(int width, int height, int bits, int refresh) {
  return Locked([=] { return SetScreenMode(width, height, bits, refresh); });
}
int SetHardwareRendering(int flag) {
  return Locked([=] { return SetRenderingMode(flag); });
}
const void* QueryScreenPixelFormat() {
  return Locked([] { return static_cast<const void*>(GetScreenPixelFormat()); });
}
int EraseScreen() {
  return Locked([] { return EraseDrawTarget(); });
}
int SetTargetScreen(int target) {
  return Locked([=] { return SetDrawTarget(target); });
}
int CaptureScreenToGraph(int x1, int y1, int x2, int y2, int graph, int flag) {
  return Locked([=] { return ReadBackTargetToGraph(x1, y1, x2, y2, graph, flag); });
}
int SetInertRenderOption(int /*value*/) {
  return Locked([] { return NullGraphicsOperation(); });
}
