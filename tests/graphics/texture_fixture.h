// Texture graphics on the display stand-in: hardware drawing at 16 or 32
// bits, Direct3D taken as running with the five texture formats an ordinary
// device offers (5-6-5, X8R8G8B8, 4-4-4-4, 1-5-5-5, 8-8-8-8) placed in the
// nine format entries, texture sizes 1 to 2,048, and Load copying between
// stand-in surfaces.
#pragma once

#include "engine/graphics/graph_handles.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/texture_split.h"
#include "tests/graphics/graphics_fixture.h"

namespace graphics_test {

inline void SetTextureFormat(int index, int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  TextureFormatEntry& e = GetDirect3DState().TextureFormats.Entries[static_cast<size_t>(index)];
  MakeDDPixelFormat(&e.PixelFormat, bits, r, g, b, a);
  CreateColorFormat(&e.Format, bits, r, g, b, a);
}

inline void FillOrdinaryTextureFormats() {
  SetTextureFormat(0, 16, 0xF800, 0x7E0, 0x1F, 0);
  SetTextureFormat(1, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SetTextureFormat(2, 16, 0xF00, 0xF0, 0xF, 0xF000);
  SetTextureFormat(3, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  SetTextureFormat(4, 16, 0x7C00, 0x3E0, 0x1F, 0x8000);
  SetTextureFormat(5, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  SetTextureFormat(6, 16, 0xF800, 0x7E0, 0x1F, 0);
  SetTextureFormat(7, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SetTextureFormat(8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
}

class TextureTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    ResetTextureDevice();
    UseStandIn(16);
    StartTextureDevice();
  }
  void TearDown() override {
    ResetGraphicsEngineState();
    ResetTextureDevice();
    ResetDirect3DState();
    ForceDirect3DUsableForTest(0);
    EnableTextureGraphsForTest(0);
    GraphicsTest::TearDown();
  }

  void StartTextureDevice() {
    TextureDevice& d = GetTextureDevice();
    d.Running = 1;
    SetTextureSizeLimits(1, 1, 2048, 2048);
    FillOrdinaryTextureFormats();
    d.Load = [](const pd::SurfacePtr& dst, int x, int y, const pd::SurfacePtr& src,
                const pd::Rect& rect) {
      return dst->BltFast(x, y, src.get(), &rect, pd::kBltFastWait);
    };
    ForceDirect3DUsableForTest(1);
    EnableTextureGraphsForTest(1);
  }
};

}  // namespace graphics_test
