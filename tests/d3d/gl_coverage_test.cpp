// Which pixels the OpenGL device's draws cover: boxes and quads in the
// engine's coordinates, full-target quads, the engine's one-pixel outline
// lines, the viewport as a scissor, and an indexed strip grid against the
// same grid as a triangle list.
#include <set>
#include <utility>

#include "gl_fixture.h"

namespace d3d_test {
namespace {

using Coverage = std::set<std::pair<int32_t, int32_t>>;

constexpr uint32_t kBackground = 0xFF000000;
constexpr uint32_t kInk = 0xFFFFFFFF;

class GlCoverageTest : public GlDeviceTest {
 protected:
  void SetUp() override {
    GlDeviceTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    target_ = MakeTarget(32, 32, TextureFormatX8R8G8B8(), kBackground);
    ASSERT_EQ(device_->BeginScene(), Result::kOk);
  }

  Coverage Covered() {
    Coverage c;
    int32_t w = 0;
    const std::vector<uint32_t> pixels = ReadAll(*target_, &w);
    for (size_t i = 0; i < pixels.size(); ++i) {
      if (pixels[i] != kBackground) c.insert({static_cast<int32_t>(i) % w, static_cast<int32_t>(i) / w});
    }
    return c;
  }

  static Coverage Rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    Coverage c;
    for (int32_t y = y0; y <= y1; ++y) {
      for (int32_t x = x0; x <= x1; ++x) c.insert({x, y});
    }
    return c;
  }

  SurfacePtr target_;
};

TEST_F(GlCoverageTest, BoxesAndQuadsCoverTheEnginesPixels) {
  struct Case {
    const char* what;
    float x0, y0, x1, y1;
    Coverage expected;
  };
  const Case cases[] = {
      {"filled box (2, 3)-(6, 8), no half-pixel offset", 2, 3, 6, 8, Rect(2, 3, 5, 7)},
      {"graph quad (1.5, 2.5)-(5.5, 7.5)", 1.5f, 2.5f, 5.5f, 7.5f, Rect(2, 3, 5, 7)},
      {"32 x 32 graph at (0, 0)", -0.5f, -0.5f, 31.5f, 31.5f, Rect(0, 0, 31, 31)},
      {"box past every edge", -10, -10, 50, 50, Rect(0, 0, 31, 31)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fill(*target_, kBackground);
    std::vector<VertexColored> v;
    AppendBox(&v, c.x0, c.y0, c.x1, c.y1, kInk);
    ASSERT_EQ(DrawBoxes(v), Result::kOk);
    EXPECT_EQ(Covered(), c.expected);
  }
}

TEST_F(GlCoverageTest, OutlineLinesGiveTheExactOnePixelFrame) {
  // The engine's outline of (2, 3)-(8, 9): X1 = 2, Y1 = 3, X2 = 7, Y2 = 8.
  const float X1 = 2, Y1 = 3, X2 = 7, Y2 = 8;
  const VertexColored v[] = {
      {X1, Y1, 0.2f, 1, kInk}, {X2 - 0.1f, Y1, 0.2f, 1, kInk},
      {X2, Y1, 0.2f, 1, kInk}, {X2, Y2 - 0.1f, 0.2f, 1, kInk},
      {X1, Y2, 0.2f, 1, kInk}, {X2 + 0.9f, Y2, 0.2f, 1, kInk},
      {X1, Y1 + 1, 0.2f, 1, kInk}, {X1, Y2 - 0.1f, 0.2f, 1, kInk},
  };
  ASSERT_EQ(device_->DrawPrimitive(kPrimLineList, kFvfColored, v, 8, 0), Result::kOk);
  Coverage expected;
  for (int32_t x = 2; x <= 7; ++x) expected.insert({x, 3}), expected.insert({x, 8});
  for (int32_t y = 3; y <= 8; ++y) expected.insert({2, y}), expected.insert({7, y});
  EXPECT_EQ(Covered(), expected);
}

TEST_F(GlCoverageTest, TheViewportClipsEveryDraw) {
  ASSERT_EQ(device_->SetViewport(Viewport{4, 5, 6, 7, 0, 1}), Result::kOk);
  std::vector<VertexColored> v;
  AppendBox(&v, 0, 0, 32, 32, kInk);
  ASSERT_EQ(DrawBoxes(v), Result::kOk);
  EXPECT_EQ(Covered(), Rect(4, 5, 9, 11));

  // A viewport reaching outside the target is refused and the old one stays.
  EXPECT_EQ(device_->SetViewport(Viewport{30, 0, 3, 4, 0, 1}), Result::kInvalidParams);
  EXPECT_EQ(device_->SetViewport(Viewport{0, 0, 0, 4, 0, 1}), Result::kInvalidParams);
  Viewport now;
  ASSERT_EQ(device_->GetViewport(&now), Result::kOk);
  EXPECT_EQ(now, (Viewport{4, 5, 6, 7, 0, 1}));
}

TEST_F(GlCoverageTest, AStripGridCoversWhatItsTriangleListCovers) {
  // An 8 x 8 grid over a trapezoid, as the engine's free four-point draw
  // makes it, as joined strips with repeated indices at the joins.
  const int n = 8, m = 8;
  std::vector<VertexTextured> grid;
  for (int j = 0; j < m; ++j) {
    const float t = static_cast<float>(j) / 7;
    const float lx = 3 + (1 - 3) * t, rx = 20 + (29 - 20) * t, y = 2 + 25 * t;
    for (int i = 0; i < n; ++i) {
      const float s = static_cast<float>(i) / 7;
      grid.push_back({lx + (rx - lx) * s, y, 0.2f, 1, kInk, s, t});
    }
  }
  std::vector<uint16_t> strip;
  for (int r = 0; r + 1 < m; ++r) {
    if (r > 0) strip.push_back(static_cast<uint16_t>((r + 1) * n));
    for (int j = 0; j < n; ++j) {
      strip.push_back(static_cast<uint16_t>((r + 1) * n + j));
      strip.push_back(static_cast<uint16_t>(r * n + j));
    }
    if (r + 2 < m) strip.push_back(static_cast<uint16_t>(r * n + n - 1));
  }
  ASSERT_EQ(device_->SetTexture(0, nullptr), Result::kOk);
  ASSERT_EQ(device_->DrawIndexedPrimitive(kPrimTriangleStrip, kFvfTextured, grid.data(),
                                          static_cast<uint32_t>(grid.size()), strip.data(),
                                          static_cast<uint32_t>(strip.size()), 0),
            Result::kOk);
  const Coverage from_strips = Covered();

  Fill(*target_, kBackground);
  std::vector<uint16_t> list;
  for (int r = 0; r + 1 < m; ++r) {
    for (int j = 0; j + 1 < n; ++j) {
      const auto a = static_cast<uint16_t>(r * n + j), b = static_cast<uint16_t>(a + 1);
      const auto c = static_cast<uint16_t>(a + n), d = static_cast<uint16_t>(c + 1);
      list.insert(list.end(), {c, a, d, d, a, b});
    }
  }
  ASSERT_EQ(device_->DrawIndexedPrimitive(kPrimTriangleList, kFvfTextured, grid.data(),
                                          static_cast<uint32_t>(grid.size()), list.data(),
                                          static_cast<uint32_t>(list.size()), 0),
            Result::kOk);
  EXPECT_EQ(from_strips, Covered());
  EXPECT_GT(from_strips.size(), 300u);
}

TEST_F(GlCoverageTest, BadDrawsAreRefusedWithoutDrawing) {
  std::vector<VertexColored> v;
  AppendBox(&v, 0, 0, 32, 32, kInk);
  const uint16_t beyond[] = {0, 1, 6};
  EXPECT_EQ(device_->DrawPrimitive(kPrimTriangleList, 0x42, v.data(), 6, 0), Result::kInvalidParams);
  EXPECT_EQ(device_->DrawPrimitive(99, kFvfColored, v.data(), 6, 0), Result::kInvalidParams);
  EXPECT_EQ(device_->DrawPrimitive(kPrimTriangleList, kFvfColored, nullptr, 6, 0), Result::kInvalidParams);
  EXPECT_EQ(device_->DrawPrimitive(kPrimTriangleList, kFvfColored, v.data(), 0, 0), Result::kInvalidParams);
  EXPECT_EQ(device_->DrawIndexedPrimitive(kPrimTriangleList, kFvfColored, v.data(), 6, beyond, 3, 0),
            Result::kInvalidParams);
  // Too few vertices for one primitive draws nothing and is no error.
  EXPECT_EQ(device_->DrawPrimitive(kPrimTriangleList, kFvfColored, v.data(), 2, 0), Result::kOk);
  EXPECT_TRUE(Covered().empty());
}

}  // namespace
}  // namespace d3d_test
