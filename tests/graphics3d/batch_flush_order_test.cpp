// The 3D batch lands before the 2D side touches a surface: with a quad
// waiting in the batch, every 2D path that reads or writes a display
// surface (draws, clears, read-backs, image transfers, presentation) first
// has the batch drawn and the scene ended. The order is read from one
// trace: the recorder's calls, and a note of every access to the surfaces'
// memory written into the same trace.
#include <cstring>
#include <functional>
#include <memory>

#include "engine/graphics/draw_frame_2d.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/image/color_format.h"
#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/image_transfer_2d.h"
#include "engine/graphics/presentation.h"
#include "engine/graphics/scaled_draw_2d.h"
#include "tests/graphics3d/d3d_fixture.h"

namespace d3d_engine_test {
namespace {

class AccessNotes final : public pd::SurfaceCompanion {
 public:
  explicit AccessNotes(std::string name) : name_(std::move(name)) {}
  void BeforeMemoryAccess(pd::Surface&) override {
    auto recorder = d3d::RecordingDirect3D::Instance();
    if (recorder != nullptr) recorder->Record("access(" + name_ + ")");
  }
  void AfterMemoryWrite(pd::Surface&) override {}

 private:
  std::string name_;
};

class BatchOrderTest : public Direct3DTest {
 protected:
  void SetUp() override {
    Direct3DTest::SetUp();
    StartHardware();
    ASSERT_EQ(GetDirect3DState().Initialized3D, 1);
    CurrentDrawState.CreateDrawable = 1;
    target_ = MakeBlankGraph(32, 32, 1);
    source_ = MakeBlankGraph(16, 16, 1);
    CurrentDrawState.CreateDrawable = 0;
    ASSERT_NE(target_, -1);
    ASSERT_NE(source_, -1);
    CreateColorFormat(&image_.Format, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    image_.Width = image_.Height = 32;
    image_.Pitch = 128;
    image_.Pixels = pixels_;
    std::memset(pixels_, 0x80, sizeof pixels_);
  }
  void TearDown() override {
    for (const SurfacePtr& s : noted_) s->SetCompanion(nullptr);
    Direct3DTest::TearDown();
  }

  SurfacePtr StoreSurface(int graph) {
    const GraphRecord* g = GetGraphRecord(graph);
    return GetSurfaceData(GetSurface2D(g->Pieces[0])->SurfaceDataHandle)->Surface;
  }
  void Note(const SurfacePtr& s, const std::string& name) {
    s->SetCompanion(std::make_shared<AccessNotes>(name));
    noted_.push_back(s);
  }

  std::vector<SurfacePtr> noted_;

 public:
  // The two drawable 2D graphics (video memory) and an image for the
  // transfer, read by the cases.
  int target_ = -1, source_ = -1;
  GraphImage image_{};
  uint8_t pixels_[32 * 32 * 4];
};

TEST_F(BatchOrderTest, TheBatchLandsBeforeThe2DSideTouchesASurface) {
  struct Case {
    const char* what;
    int drawTarget;  // 0: the drawable 2D graphic
    std::function<int(BatchOrderTest&)> run;
  };
  const LineRecord line{0, 0, 9, 9, 0x00FFFFFF, 255};
  const Case cases[] = {
      {"a filled box", -2, [](BatchOrderTest&) { return FillBox2D(0, 0, 10, 10, 0xFFFFFF); }},
      {"lines", -2, [&](BatchOrderTest&) { return DrawLines2D(&line, 1); }},
      {"a graphic, one blit", -2,
       [](BatchOrderTest& t) { return DrawGraph2D(4, 4, *GetGraphRecord(t.source_), 0, 1); }},
      {"a blended graphic, through locks", -2,
       [](BatchOrderTest& t) {
         CurrentDrawState.BlendMode = 1;
         CurrentDrawState.BlendValue = 128;
         const int r = DrawGraph2D(4, 4, *GetGraphRecord(t.source_), 0, 1);
         CurrentDrawState.BlendMode = 0;
         CurrentDrawState.BlendValue = 255;
         return r;
       }},
      {"a stretched graphic", -2,
       [](BatchOrderTest& t) {
         return DrawStretchGraph2D(0, 0, 40, 40, GetGraphRecord(t.source_), 0, 1, -1);
       }},
      {"a clear of the back screen", -2, [](BatchOrderTest&) { return ClearDrawTarget(); }},
      {"a clear of a graphic", 0, [](BatchOrderTest&) { return ClearDrawTarget(); }},
      {"a fill of the target graphic", 0,
       [](BatchOrderTest& t) { return FillGraph(t.target_, 10, 20, 30, 255); }},
      {"a read-back into a graphic", -2,
       [](BatchOrderTest& t) { return ReadBackTargetToGraph2D(0, 0, 16, 16, t.source_); }},
      {"an image into the target graphic", 0,
       [](BatchOrderTest& t) {
         return TransImageToGraphSurface2D(0, 0, *GetGraphRecord(t.target_), &t.image_, nullptr);
       }},
      {"presentation", -2, [](BatchOrderTest&) { return PresentScreen(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int target = c.drawTarget == 0 ? target_ : c.drawTarget;
    ASSERT_EQ(SetDrawTarget(target), 0);
    ASSERT_EQ(GetDirect3DState().Suspended3D, 0);
    Note(GetMainSurfaces().BackSurface, "back");
    Note(GetMainSurfaces().PrimarySurface, "primary");
    Note(StoreSurface(target_), "target");
    Note(StoreSurface(source_), "source");
    BeginScene3D();
    ReserveBatchVertices3D(Record(), d3d::kPrimTriangleList, 6);
    ClearTrace();

    EXPECT_EQ(c.run(*this), 0);

    std::vector<std::string> order;
    for (const std::string& l : Trace()) {
      if (l.rfind("DrawPrimitive", 0) == 0 || l.rfind("EndScene", 0) == 0 || l.rfind("access", 0) == 0) {
        order.push_back(l);
      }
    }
    if (order.size() < 3) {
      ADD_FAILURE() << "expected the draw, the end of the scene and a surface access; got "
                    << testing::PrintToString(order);
      continue;
    }
    EXPECT_EQ(order[0].rfind("DrawPrimitive(4, ", 0), 0u) << order[0];
    EXPECT_NE(order[0].find(", 6, 0)"), std::string::npos) << "the waiting quad: " << order[0];
    EXPECT_EQ(order[1], "EndScene()");
    EXPECT_EQ(order[2].rfind("access(", 0), 0u);
    EXPECT_EQ(Count("DrawPrimitive"), 1) << "drawn once";
    EXPECT_EQ(Record().Batch.Count, 0u);
    EXPECT_EQ(Record().SceneOpen, 0);
  }
}

}  // namespace
}  // namespace d3d_engine_test
