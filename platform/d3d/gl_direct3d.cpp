// The OpenGL Direct3D object and device.
#include "platform/d3d/gl_direct3d.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>

#include <algorithm>
#include <array>

#include "platform/d3d/device_state.h"
#include "platform/d3d/gl_context.h"
#include "platform/d3d/gl_pipeline.h"
#include "platform/d3d/gl_surface.h"

namespace platform::d3d {
namespace {

constexpr uint32_t kLargestTexture = 2048;

GlPipeline* g_pipeline = nullptr;  // made with the context, kept as long

bool SizeOf(const display::Surface& s, int32_t* w, int32_t* h) {
  display::SurfaceDesc desc;
  if (s.GetSurfaceDesc(&desc) != Result::kOk) return false;
  *w = desc.width;
  *h = desc.height;
  return true;
}

bool IsPrimary(const display::Surface& s) {
  uint32_t caps = 0;
  return s.GetCaps(&caps) == Result::kOk && (caps & display::kCapsPrimary) != 0;
}

class GlDevice3D final : public Device3D {
 public:
  GlDevice3D(SurfacePtr target, std::shared_ptr<GlSurface> twin, int32_t w, int32_t h) {
    state_.target = std::move(target);
    target_twin_ = std::move(twin);
    target_width_ = w;
    target_height_ = h;
    state_.viewport = Viewport{0, 0, static_cast<uint32_t>(w), static_cast<uint32_t>(h), 0.0f, 1.0f};
  }

  Result GetCaps(DeviceDesc* out) override;
  Result EnumTextureFormats(const PixelFormatCallback& callback) override;

  Result SetRenderState(uint32_t state, uint32_t value) override {
    RequireGlThread("SetRenderState");
    return state_.SetRenderState(state, value);
  }
  Result GetRenderState(uint32_t state, uint32_t* value) override {
    RequireGlThread("GetRenderState");
    return state_.GetRenderState(state, value);
  }
  Result SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) override {
    RequireGlThread("SetTextureStageState");
    return state_.SetStageState(stage, state, value);
  }
  Result GetTextureStageState(uint32_t stage, uint32_t state, uint32_t* value) override {
    RequireGlThread("GetTextureStageState");
    return state_.GetStageState(stage, state, value);
  }

  Result SetTexture(uint32_t stage, const SurfacePtr& texture) override {
    RequireGlThread("SetTexture");
    if (stage >= kStageCount) return Result::kInvalidParams;
    if (texture == nullptr) {
      state_.textures[stage] = nullptr;
      twins_[stage] = nullptr;
      return Result::kOk;
    }
    auto twin = GlSurface::For(texture);
    if (twin == nullptr) return Result::kInvalidPixelFormat;
    state_.textures[stage] = texture;
    twins_[stage] = std::move(twin);
    return Result::kOk;
  }

  Result SetRenderTarget(const SurfacePtr& target) override {
    RequireGlThread("SetRenderTarget");
    if (target == nullptr || !CanRenderTo(*target)) return Result::kInvalidParams;
    int32_t w = 0, h = 0;
    if (!SizeOf(*target, &w, &h)) return Result::kInvalidParams;
    auto twin = GlSurface::For(target);
    if (twin == nullptr) return Result::kInvalidPixelFormat;
    if (state_.in_scene) FinishTarget();
    state_.target = target;
    target_twin_ = std::move(twin);
    target_width_ = w;
    target_height_ = h;
    state_.viewport = Viewport{0, 0, static_cast<uint32_t>(w), static_cast<uint32_t>(h), 0.0f, 1.0f};
    return Result::kOk;
  }
  Result GetRenderTarget(SurfacePtr* out) override {
    RequireGlThread("GetRenderTarget");
    if (out == nullptr) return Result::kInvalidParams;
    *out = state_.target;
    return Result::kOk;
  }

  Result SetViewport(const Viewport& viewport) override {
    RequireGlThread("SetViewport");
    if (!ViewportFits(viewport, target_width_, target_height_)) return Result::kInvalidParams;
    state_.viewport = viewport;
    return Result::kOk;
  }
  Result GetViewport(Viewport* out) override {
    RequireGlThread("GetViewport");
    if (out == nullptr) return Result::kInvalidParams;
    *out = state_.viewport;
    return Result::kOk;
  }

  Result SetTransform(uint32_t which, const Matrix& matrix) override {
    RequireGlThread("SetTransform");
    if (which < kTransformWorld || which > kTransformProjection) return Result::kInvalidParams;
    state_.transforms[which - 1] = matrix;
    return Result::kOk;
  }
  Result GetTransform(uint32_t which, Matrix* out) override {
    RequireGlThread("GetTransform");
    if (out == nullptr || which < kTransformWorld || which > kTransformProjection) {
      return Result::kInvalidParams;
    }
    *out = state_.transforms[which - 1];
    return Result::kOk;
  }

  Result BeginScene() override {
    RequireGlThread("BeginScene");
    if (state_.target->IsLost() != Result::kOk) return Result::kSurfaceLost;
    state_.in_scene = true;
    return Result::kOk;
  }
  Result EndScene() override {
    RequireGlThread("EndScene");
    state_.in_scene = false;
    FinishTarget();
    return Result::kOk;
  }

  Result DrawPrimitive(uint32_t type, uint32_t fvf, const void* vertices, uint32_t count,
                       uint32_t /*flags*/) override {
    RequireGlThread("DrawPrimitive");
    if (Result r = CheckDraw(type, fvf, vertices, count); r != Result::kOk) return r;
    return Draw(type, fvf, vertices, count, nullptr, 0);
  }
  Result DrawIndexedPrimitive(uint32_t type, uint32_t fvf, const void* vertices, uint32_t count,
                              const uint16_t* indices, uint32_t index_count,
                              uint32_t /*flags*/) override {
    RequireGlThread("DrawIndexedPrimitive");
    if (Result r = CheckIndexedDraw(type, fvf, vertices, count, indices, index_count);
        r != Result::kOk) {
      return r;
    }
    return Draw(type, fvf, vertices, count, indices, index_count);
  }

  Result Load(const SurfacePtr& destination, int32_t x, int32_t y, const SurfacePtr& source,
              const Rect* src_rect, uint32_t /*flags*/) override {
    RequireGlThread("Load");
    if (destination == nullptr || source == nullptr) return Result::kInvalidParams;
    return destination->BltFast(x, y, source.get(), src_rect, display::kBltFastWait);
  }

 private:
  Result Draw(uint32_t type, uint32_t fvf, const void* vertices, uint32_t count,
              const uint16_t* indices, uint32_t index_count) {
    if (PrimitiveCountFor(type, indices != nullptr ? index_count : count) == 0) return Result::kOk;
    if (state_.target->IsLost() != Result::kOk) return Result::kSurfaceLost;
    std::array<StageTexture, kStageCount> stages{};
    for (uint32_t i = 0; i < kStageCount; ++i) {
      const SurfacePtr& t = state_.textures[i];
      if (t == nullptr) continue;
      if (t->IsLost() != Result::kOk) return Result::kSurfaceLost;
      glActiveTexture(GL_TEXTURE0 + i);
      twins_[i]->BindTexture(*t);
      stages[i].surface = twins_[i].get();
      display::ColorKey key;
      if (t->GetColorKey(display::kColorKeySourceBlt, &key) == Result::kOk) {
        stages[i].has_key = true;
        stages[i].key = key.low;
      }
    }
    glActiveTexture(GL_TEXTURE0);
    if (!target_twin_->BindFramebuffer(*state_.target)) return Result::kGeneric;
    g_pipeline->Draw(state_, stages.data(), target_width_, target_height_, type, fvf, vertices, count,
                     indices, index_count);
    target_twin_->MarkDrawn();
    return Result::kOk;
  }

  // The primary is what the presenter shows: bring its memory up to date.
  void FinishTarget() {
    if (state_.target != nullptr && target_twin_ != nullptr && IsPrimary(*state_.target)) {
      target_twin_->Sync(*state_.target);
    }
    glFlush();
  }

  DeviceState state_;
  std::array<std::shared_ptr<GlSurface>, kStageCount> twins_;
  std::shared_ptr<GlSurface> target_twin_;
  int32_t target_width_ = 0, target_height_ = 0;
};

DeviceDesc GlDeviceDesc() {
  const GlContextInfo* info = AcquireGlContext();
  const uint32_t largest =
      std::min(kLargestTexture, info != nullptr ? static_cast<uint32_t>(info->max_texture_size) : 0u);
  DeviceDesc d;
  d.kind = DeviceKind::kTnLHal;
  d.render_bit_depths = kBitDepth16 | kBitDepth32;
  d.z_buffer_bit_depths = kBitDepth16;
  d.triangle_texture_caps = kTextureCapsPow2;
  d.min_texture_width = d.min_texture_height = 1;
  d.max_texture_width = d.max_texture_height = largest;
  d.max_texture_blend_stages = kStageCount;
  d.max_simultaneous_textures = kStageCount;
  return d;
}

Result GlDevice3D::GetCaps(DeviceDesc* out) {
  RequireGlThread("GetCaps");
  if (out == nullptr) return Result::kInvalidParams;
  *out = GlDeviceDesc();
  return Result::kOk;
}

Result GlDevice3D::EnumTextureFormats(const PixelFormatCallback& callback) {
  RequireGlThread("EnumTextureFormats");
  if (!callback) return Result::kInvalidParams;
  const PixelFormat formats[] = {TextureFormatR5G6B5(), TextureFormatX8R8G8B8(),
                                 TextureFormatA4R4G4B4(), TextureFormatA1R5G5B5(),
                                 TextureFormatA8R8G8B8()};
  for (const PixelFormat& f : formats) {
    if (!callback(f)) break;
  }
  return Result::kOk;
}

class GlDirect3D final : public Direct3D {
 public:
  Result EnumDevices(const DeviceEnumCallback& callback) override {
    RequireGlThread("EnumDevices");
    if (!callback) return Result::kInvalidParams;
    callback("Hardware transform and lighting device", "T&L HAL", GlDeviceDesc());
    return Result::kOk;
  }
  Result EnumZBufferFormats(DeviceKind kind, const PixelFormatCallback& callback) override {
    RequireGlThread("EnumZBufferFormats");
    if (!callback || (kind != DeviceKind::kHal && kind != DeviceKind::kTnLHal)) {
      return Result::kInvalidParams;
    }
    callback(display::Depth16Format());
    return Result::kOk;
  }
  Result CreateDevice(DeviceKind kind, const SurfacePtr& target, Device3DPtr* out) override {
    RequireGlThread("CreateDevice");
    if (out == nullptr) return Result::kInvalidParams;
    *out = nullptr;
    if (kind != DeviceKind::kHal && kind != DeviceKind::kTnLHal) return Result::kInvalidParams;
    if (target == nullptr || !CanRenderTo(*target)) return Result::kInvalidParams;
    if (target->IsLost() != Result::kOk) return Result::kSurfaceLost;
    int32_t w = 0, h = 0;
    if (!SizeOf(*target, &w, &h)) return Result::kInvalidParams;
    auto twin = GlSurface::For(target);
    if (twin == nullptr) return Result::kInvalidPixelFormat;
    *out = std::make_shared<GlDevice3D>(target, std::move(twin), w, h);
    return Result::kOk;
  }
};

std::shared_ptr<display::Direct3DSupport> MakeGlDirect3D(display::Device& /*device*/) {
  if (AcquireGlContext() == nullptr) return nullptr;
  if (g_pipeline == nullptr) {
    g_pipeline = GlPipeline::Create().release();
    if (g_pipeline == nullptr) return nullptr;
  }
  return std::make_shared<GlDirect3D>();
}

}  // namespace

void InstallOpenGlDirect3D() { display::SetDirect3DFactory(&MakeGlDirect3D); }

namespace test {
GlPipelineCounts GetGlPipelineCounts() {
  GlPipelineCounts counts;
  if (g_pipeline != nullptr) {
    counts.cached_programs = g_pipeline->cached_programs();
    counts.programs_built = g_pipeline->programs_built();
  }
  return counts;
}
}  // namespace test

}  // namespace platform::d3d
