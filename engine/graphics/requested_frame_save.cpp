#include "engine/graphics/requested_frame_save.h"

#include "engine/core/base/log.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/screen_save.h"
#include "platform/process.h"

namespace {

int g_presents = 0;

}  // namespace

int SaveFrameIfRequested() {
  const platform::FrameSaveRequest& request = platform::GetFrameSaveRequest();
  if (g_presents < request.frame) ++g_presents;
  if (request.frame == 0 || g_presents != request.frame) return 0;
  // Once only: later presents count past it.
  ++g_presents;
  int width = 640, height = 480;
  GetScreenSize(&width, &height);
  const int result = SaveScreenArea(0, 0, width, height, request.file.c_str(), 2, 0, 0, 6);
  WriteLogF("frame %d saved: %s (%d)", request.frame, request.file.c_str(), result);
  return result;
}

int CountedPresents() { return g_presents; }

void ResetCountedPresents() { g_presents = 0; }
