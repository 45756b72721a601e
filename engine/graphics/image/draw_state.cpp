#include "engine/graphics/image/draw_state.h"

#include <algorithm>

DrawState CurrentDrawState;
uint8_t BlendGraphTable[256];

void ResetDrawState() {
  DrawState s{};
  s.DrawTarget = -4;
  s.TargetWidth = 640;
  s.TargetHeight = 480;
  s.DrawArea = IntRect{0, 0, 640, 480};
  s.DrawAreaF[0] = 0.0f;
  s.DrawAreaF[1] = 0.0f;
  s.DrawAreaF[2] = 640.0f;
  s.DrawAreaF[3] = 480.0f;
  s.Direct3DOptions[2] = 4;
  s.Direct3DOptions[4] = 3;
  s.Direct3DRatio = 0.2f;
  s.BlendGraph = -1;
  s.DrawBright = 0xffffffu;
  s.MaskRequested = 1;
  s.Use3D = 1;
  s.CreateAlphaTest = 1;
  CurrentDrawState = s;
  BuildBlendGraphTable(0, 0);
}

void BuildBlendGraphTable(int borderParam, int borderRange) {
  const int p = std::clamp(borderParam, 0, 255);
  const int r = std::clamp(borderRange, 0, 255) + 1;
  const int s = ((65536 / r + 256) * p) / 256;
  const int base = 256 - s;
  for (int i = 0; i < 256; ++i) {
    BlendGraphTable[i] = static_cast<uint8_t>(std::clamp((256 * i) / r + base, 0, 255));
  }
}
