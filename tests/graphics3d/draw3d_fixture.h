// Texture graphics drawn through the Direct3D back end on the recording
// stand-in: the library started with hardware drawing in a window (32-bit
// screen), texture graphics switched on, the back screen as target, and
// helpers that read the recorder's draws back as vertices.
#pragma once

#include <cstring>
#include <vector>

#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/surface_draw_3d.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/texture_split.h"
#include "tests/graphics3d/d3d_fixture.h"

namespace d3d_engine_test {

class Draw3DTest : public Direct3DTest {
 protected:
  void SetUp() override {
    Direct3DTest::SetUp();
    StartHardware();
    ASSERT_EQ(GetDirect3DState().Initialized3D, 1);
    UseDeviceForTextures();
    EnableTextureGraphsForTest(1);
    ASSERT_EQ(SetDrawTarget(-2), 0);
  }
  void TearDown() override {
    EnableTextureGraphsForTest(0);
    ResetTextureDevice();
    Direct3DTest::TearDown();
  }

  // The texture storage takes the started device: its size limits and its
  // Load.
  static void UseDeviceForTextures() {
    const d3d::DeviceDesc& desc = GetDirect3DState().DeviceDesc;
    TextureDevice& t = GetTextureDevice();
    t.Running = 1;
    SetTextureSizeLimits(static_cast<int>(desc.min_texture_width), static_cast<int>(desc.min_texture_height),
                         static_cast<int>(desc.max_texture_width), static_cast<int>(desc.max_texture_height));
    t.Load = [](const SurfacePtr& dst, int x, int y, const SurfacePtr& src, const pd::Rect& rect) {
      d3d::Device3D* device = GetCurrentDevice3D();
      return device == nullptr ? pd::Result::kGeneric : device->Load(dst, x, y, src, &rect, 0);
    };
  }

  // A texture graphic of width x height.
  int TextureGraph(int width, int height, int alpha = 0) {
    CurrentDrawState.CreateAlpha = alpha;
    const int handle = MakeBlankGraph(width, height, 0);
    CurrentDrawState.CreateAlpha = 0;
    const GraphRecord* g = GetGraphRecord(handle);
    EXPECT_NE(g, nullptr);
    if (g != nullptr) {
      EXPECT_EQ(g->TextureFlag, 1);
    }
    return handle;
  }
  const GraphRecord& Graph(int handle) { return *GetGraphRecord(handle); }
  const Surface3D& Piece(int handle, int index = 0) {
    return *GetSurface3DData(Graph(handle).Pieces[static_cast<size_t>(index)]);
  }
  // The texture of a graphic's piece.
  SurfacePtr PieceTexture(int handle, int index = 0) {
    return GetSurfaceData(Piece(handle, index).SurfaceData)->Surface;
  }
  int TextureWidth(int handle, int index = 0) {
    return GetSurfaceData(Piece(handle, index).SurfaceData)->Width;
  }

  // Sends what waits and returns every draw the recorder saw since the last
  // call.
  std::vector<d3d::RecordedDraw> TakeDraws() {
    FlushCurrentVertexBatch();
    std::vector<d3d::RecordedDraw> draws = Recorder().draws();
    Recorder().ClearDraws();
    return draws;
  }
  std::vector<uint32_t> VertexCounts(const std::vector<d3d::RecordedDraw>& draws) {
    std::vector<uint32_t> out;
    for (const auto& d : draws) out.push_back(d.vertex_count);
    return out;
  }
  template <typename Vertex>
  static std::vector<Vertex> Vertices(const d3d::RecordedDraw& draw) {
    std::vector<Vertex> out(draw.vertices.size() / sizeof(Vertex));
    if (!out.empty()) std::memcpy(out.data(), draw.vertices.data(), out.size() * sizeof(Vertex));
    return out;
  }
};

}  // namespace d3d_engine_test
