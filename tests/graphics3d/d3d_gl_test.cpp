// The Direct3D back end on the OpenGL stand-in (Mesa's llvmpipe, headless):
// the library starts Direct3D on it, and the blend-graphic programs give
// the alpha the threshold rule promises, including the squared alpha of
// the program whose scaled stage keeps the device's second argument.
#include <cmath>
#include <cstring>

#include "tests/graphics3d/d3d_fixture.h"

namespace d3d_engine_test {
namespace {

class GlBackEndTest : public Direct3DTest {
 protected:
  void SetUp() override {
    Direct3DTest::SetUp();
    if (!StartOnOpenGl()) return;
    ASSERT_EQ(SetDrawTarget(-2), 0);
  }

  static void FillAlpha(pd::Surface& s, const std::vector<int>& alphas, uint32_t rgb) {
    pd::LockedRect lock;
    ASSERT_EQ(s.Lock(nullptr, pd::kLockWait, &lock), pd::Result::kOk);
    for (int32_t y = 0; y < lock.height; ++y) {
      for (int32_t x = 0; x < lock.width; ++x) {
        const uint32_t a = static_cast<uint32_t>(alphas[static_cast<size_t>(x) % alphas.size()]);
        const uint32_t v = a << 24 | rgb;
        std::memcpy(lock.bits + y * lock.pitch + x * 4, &v, 4);
      }
    }
    s.Unlock();
  }

  // Red channel of the first `count` pixels of the back screen's first row.
  std::vector<int> FirstRow(int count) {
    pd::Surface& back = *GetMainSurfaces().BackSurface;
    pd::LockedRect lock;
    std::vector<int> out;
    if (back.Lock(nullptr, pd::kLockWait | pd::kLockReadOnly, &lock) != pd::Result::kOk) return out;
    for (int x = 0; x < count; ++x) {
      uint32_t v = 0;
      std::memcpy(&v, lock.bits + x * 4, 4);
      out.push_back(static_cast<int>((v >> 16) & 0xFF));
    }
    back.Unlock();
    return out;
  }

  // One quad over the first row, blend coordinates one texel a pixel.
  void DrawRow(int width) {
    DeviceRecord3D& r = Record();
    ASSERT_EQ(r.Batch.Format, 2);
    const uint32_t first = ReserveBatchVertices3D(r, d3d::kPrimTriangleList, 6);
    const float x0 = -0.5f, x1 = static_cast<float>(width) - 0.5f, y0 = -0.5f, y1 = 0.5f;
    const float corners[4][4] = {{x0, y0, 0, 0}, {x1, y0, 1, 0}, {x0, y1, 0, 1}, {x1, y1, 1, 1}};
    const int order[6] = {0, 1, 2, 3, 2, 1};
    for (int i = 0; i < 6; ++i) {
      d3d::VertexTwoTexture& v = r.Batch.TwoTexture[first + static_cast<uint32_t>(i)];
      const float* c = corners[order[i]];
      v.x = c[0];
      v.y = c[1];
      v.z = 0.2f;
      v.diffuse = GetDirect3DState().VertexColor;
      v.u0 = c[2];
      v.v0 = c[3];
      v.u1 = c[2];
      v.v1 = c[3];
    }
    EndScene3D(r);
  }
};

TEST_F(GlBackEndTest, TheLibraryStartsDirect3DOnTheStandIn) {
  EXPECT_TRUE(LogHas("Direct3D 関連の初期化は正常に終了しました"));
  EXPECT_TRUE(LogHas("３Ｄグラフィック描画機能を使用します"));
  EXPECT_EQ(IsUsing3DDrawing(), 1);
  EXPECT_EQ(GetDirect3DState().TextureFormats.Entries[kTexFormatAlphaTest16].Format.AlphaMask, 0x8000u);
}

TEST_F(GlBackEndTest, BlendGraphicAlpha) {
  const std::vector<int> values = {97, 100, 120, 160, 161, 200, 255, 130};
  const SurfacePtr blend = MakeTexture(d3d::TextureFormatA8R8G8B8(), 8, 1);
  FillAlpha(*blend, values, 0x000000);
  const SurfacePtr plain = MakeTexture(d3d::TextureFormatX8R8G8B8(), 8, 8);
  FillAlpha(*plain, {255}, 0xFFFFFF);
  const SurfacePtr withAlpha = MakeTexture(d3d::TextureFormatA8R8G8B8(), 8, 8);
  FillAlpha(*withAlpha, {255}, 0xFFFFFF);
  pd::Surface& back = *GetMainSurfaces().BackSurface;
  CurrentDrawState.BlendMode = 0;
  CurrentDrawState.DrawBright = 0xFFFFFF;
  UpdateVertexColor3D();

  // u 0, MA 0 first, on a device whose stage 1 still has its own second
  // argument (the current alpha): the scaled stage squares the alpha.
  {
    pd::LockedRect lock;
    ASSERT_EQ(back.Lock(nullptr, pd::kLockWait, &lock), pd::Result::kOk);
    std::memset(lock.bits, 0, static_cast<size_t>(lock.pitch));
    back.Unlock();
  }
  SetBlendGraphic3D(blend, 8, 1, 128, 32);
  BeginScene3D();
  const DrawTexture3D opaque{plain, 0, 0};
  PrepareDraw3D(&opaque, kPrepareIntegerCoords);
  ASSERT_EQ(Record().Stages[1].AlphaOp, 6);
  DrawRow(8);
  const std::vector<int> squared = FirstRow(8);
  ASSERT_EQ(squared.size(), 8u);
  for (size_t i = 0; i < values.size(); ++i) {
    const double x = std::max(0.0, (values[i] - 97) / 255.0);
    const double expected = std::min(255.0, 4.0 * x * x * 255.0);
    EXPECT_NEAR(squared[i], expected, 2.0) << "blend value " << values[i];
  }

  // u 1 (texture alpha 255), MA 0: the edge the rule promises.
  {
    pd::LockedRect lock;
    ASSERT_EQ(back.Lock(nullptr, pd::kLockWait, &lock), pd::Result::kOk);
    std::memset(lock.bits, 0, static_cast<size_t>(lock.pitch));
    back.Unlock();
  }
  BeginScene3D();
  const DrawTexture3D alpha{withAlpha, 1, 0};
  PrepareDraw3D(&alpha, kPrepareTransparent | kPrepareIntegerCoords);
  ASSERT_EQ(Record().UseTextureAlpha, 1);
  DrawRow(8);
  const std::vector<int> edge = FirstRow(5);
  const int expected[5] = {0, 12, 92, 252, 255};
  ASSERT_EQ(edge.size(), 5u);
  for (size_t i = 0; i < 5; ++i) EXPECT_NEAR(edge[i], expected[i], 1) << "blend value " << values[i];
}

}  // namespace
}  // namespace d3d_engine_test
