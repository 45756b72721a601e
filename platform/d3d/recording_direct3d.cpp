// The recording stand-in of the 3D device interface.
#include "platform/d3d/recording_direct3d.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace platform::d3d {
namespace {

std::mutex g_mutex;
std::shared_ptr<RecordingDirect3D> g_instance;

std::shared_ptr<display::Direct3DSupport> MakeRecorder(display::Device& /*device*/) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_instance == nullptr) return nullptr;
  Result r;
  if (g_instance->TakeFailure("QueryDirect3D", &r)) {
    g_instance->Record("QueryDirect3D() -> failed");
    return nullptr;
  }
  g_instance->Record("QueryDirect3D()");
  return g_instance;
}

std::string Hex(uint32_t v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", v);
  return buffer;
}

std::string Num(uint32_t v) { return std::to_string(v); }

class RecordingDevice3D final : public Device3D {
 public:
  RecordingDevice3D(std::shared_ptr<RecordingDirect3D> owner, SurfacePtr target, int32_t w, int32_t h)
      : owner_(std::move(owner)), width_(w), height_(h) {
    state_.target = std::move(target);
    state_.viewport = Viewport{0, 0, static_cast<uint32_t>(w), static_cast<uint32_t>(h), 0.0f, 1.0f};
  }

  Result GetCaps(DeviceDesc* out) override {
    Result r;
    if (Begin("GetCaps", "GetCaps()", &r)) return r;
    if (out == nullptr) return Result::kInvalidParams;
    const auto& devices = owner_->script().devices;
    *out = devices.empty() ? DeviceDesc{} : devices.back().desc;
    return Result::kOk;
  }
  Result EnumTextureFormats(const PixelFormatCallback& callback) override {
    Result r;
    if (Begin("EnumTextureFormats", "EnumTextureFormats()", &r)) return r;
    if (!callback) return Result::kInvalidParams;
    for (const PixelFormat& f : owner_->script().texture_formats) {
      if (!callback(f)) break;
    }
    return Result::kOk;
  }
  Result SetRenderState(uint32_t state, uint32_t value) override {
    Result r;
    if (Begin("SetRenderState", "SetRenderState(" + Num(state) + ", " + Num(value) + ")", &r)) return r;
    return state_.SetRenderState(state, value);
  }
  Result GetRenderState(uint32_t state, uint32_t* value) override {
    return state_.GetRenderState(state, value);
  }
  Result SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) override {
    Result r;
    if (Begin("SetTextureStageState",
              "SetTextureStageState(" + Num(stage) + ", " + Num(state) + ", " + Num(value) + ")", &r)) {
      return r;
    }
    return state_.SetStageState(stage, state, value);
  }
  Result GetTextureStageState(uint32_t stage, uint32_t state, uint32_t* value) override {
    return state_.GetStageState(stage, state, value);
  }
  Result SetTexture(uint32_t stage, const SurfacePtr& texture) override {
    Result r;
    if (Begin("SetTexture", "SetTexture(" + Num(stage) + ", " + owner_->Name(texture.get()) + ")", &r)) {
      return r;
    }
    if (stage >= kStageCount) return Result::kInvalidParams;
    if (texture != nullptr && !CanTexture(*texture)) return Result::kInvalidPixelFormat;
    state_.textures[stage] = texture;
    return Result::kOk;
  }
  Result SetRenderTarget(const SurfacePtr& target) override {
    Result r;
    if (Begin("SetRenderTarget", "SetRenderTarget(" + owner_->Name(target.get()) + ")", &r)) return r;
    if (target == nullptr || !CanRenderTo(*target)) return Result::kInvalidParams;
    display::SurfaceDesc desc;
    if (target->GetSurfaceDesc(&desc) != Result::kOk) return Result::kInvalidParams;
    state_.target = target;
    width_ = desc.width;
    height_ = desc.height;
    state_.viewport = Viewport{0, 0, static_cast<uint32_t>(width_), static_cast<uint32_t>(height_), 0.0f, 1.0f};
    return Result::kOk;
  }
  Result GetRenderTarget(SurfacePtr* out) override {
    if (out == nullptr) return Result::kInvalidParams;
    *out = state_.target;
    return Result::kOk;
  }
  Result SetViewport(const Viewport& v) override {
    Result r;
    if (Begin("SetViewport",
              "SetViewport(" + Num(v.x) + ", " + Num(v.y) + ", " + Num(v.width) + ", " + Num(v.height) + ")",
              &r)) {
      return r;
    }
    if (!ViewportFits(v, width_, height_)) return Result::kInvalidParams;
    state_.viewport = v;
    return Result::kOk;
  }
  Result GetViewport(Viewport* out) override {
    if (out == nullptr) return Result::kInvalidParams;
    *out = state_.viewport;
    return Result::kOk;
  }
  Result SetTransform(uint32_t which, const Matrix& matrix) override {
    Result r;
    if (Begin("SetTransform", "SetTransform(" + Num(which) + ")", &r)) return r;
    if (which < kTransformWorld || which > kTransformProjection) return Result::kInvalidParams;
    state_.transforms[which - 1] = matrix;
    return Result::kOk;
  }
  Result GetTransform(uint32_t which, Matrix* out) override {
    if (out == nullptr || which < kTransformWorld || which > kTransformProjection) {
      return Result::kInvalidParams;
    }
    *out = state_.transforms[which - 1];
    return Result::kOk;
  }
  Result BeginScene() override {
    Result r;
    if (Begin("BeginScene", "BeginScene()", &r)) return r;
    if (state_.target->IsLost() != Result::kOk) return Result::kSurfaceLost;
    state_.in_scene = true;
    return Result::kOk;
  }
  Result EndScene() override {
    Result r;
    if (Begin("EndScene", "EndScene()", &r)) return r;
    state_.in_scene = false;
    return Result::kOk;
  }
  Result DrawPrimitive(uint32_t type, uint32_t fvf, const void* vertices, uint32_t count,
                       uint32_t flags) override {
    Result r;
    if (Begin("DrawPrimitive",
              "DrawPrimitive(" + Num(type) + ", " + Hex(fvf) + ", " + Num(count) + ", " + Num(flags) + ")",
              &r)) {
      return r;
    }
    if (Result c = CheckDraw(type, fvf, vertices, count); c != Result::kOk) return c;
    return Keep(type, fvf, vertices, count, nullptr, 0);
  }
  Result DrawIndexedPrimitive(uint32_t type, uint32_t fvf, const void* vertices, uint32_t count,
                              const uint16_t* indices, uint32_t index_count, uint32_t flags) override {
    Result r;
    if (Begin("DrawIndexedPrimitive",
              "DrawIndexedPrimitive(" + Num(type) + ", " + Hex(fvf) + ", " + Num(count) + ", " +
                  Num(index_count) + ", " + Num(flags) + ")",
              &r)) {
      return r;
    }
    if (Result c = CheckIndexedDraw(type, fvf, vertices, count, indices, index_count); c != Result::kOk) {
      return c;
    }
    return Keep(type, fvf, vertices, count, indices, index_count);
  }
  Result Load(const SurfacePtr& destination, int32_t x, int32_t y, const SurfacePtr& source,
              const Rect* src_rect, uint32_t /*flags*/) override {
    Result r;
    if (Begin("Load",
              "Load(" + owner_->Name(destination.get()) + ", " + std::to_string(x) + ", " +
                  std::to_string(y) + ", " + owner_->Name(source.get()) + ")",
              &r)) {
      return r;
    }
    if (destination == nullptr || source == nullptr) return Result::kInvalidParams;
    return destination->BltFast(x, y, source.get(), src_rect, display::kBltFastWait);
  }

 private:
  // Records the call; true when an injected failure answers it.
  bool Begin(const char* name, std::string line, Result* result) {
    const bool fails = owner_->TakeFailure(name, result);
    owner_->Record(fails ? line + " -> failed" : std::move(line));
    return fails;
  }

  Result Keep(uint32_t type, uint32_t fvf, const void* vertices, uint32_t count, const uint16_t* indices,
              uint32_t index_count) {
    if (state_.target->IsLost() != Result::kOk) return Result::kSurfaceLost;
    for (const SurfacePtr& t : state_.textures) {
      if (t != nullptr && t->IsLost() != Result::kOk) return Result::kSurfaceLost;
    }
    RecordedDraw d;
    d.type = type;
    d.fvf = fvf;
    d.vertex_count = count;
    const size_t bytes = size_t{count} * VertexStride(fvf);
    d.vertices.resize(bytes);
    std::memcpy(d.vertices.data(), vertices, bytes);
    if (indices != nullptr) d.indices.assign(indices, indices + index_count);
    d.target = state_.target;
    d.textures = state_.textures;
    owner_->RecordDraw(std::move(d));
    return Result::kOk;
  }

  std::shared_ptr<RecordingDirect3D> owner_;
  DeviceState state_;
  int32_t width_ = 0, height_ = 0;
};

}  // namespace

RecordingScript RecordingScript::LikeOpenGl() {
  RecordingScript s;
  DeviceDesc d;
  d.kind = DeviceKind::kTnLHal;
  d.render_bit_depths = kBitDepth16 | kBitDepth32;
  d.z_buffer_bit_depths = kBitDepth16;
  d.triangle_texture_caps = kTextureCapsPow2;
  d.min_texture_width = d.min_texture_height = 1;
  d.max_texture_width = d.max_texture_height = 2048;
  d.max_texture_blend_stages = kStageCount;
  d.max_simultaneous_textures = kStageCount;
  s.devices.push_back({"Hardware transform and lighting device", "T&L HAL", d});
  s.z_buffer_formats.push_back(display::Depth16Format());
  s.texture_formats = {TextureFormatR5G6B5(), TextureFormatX8R8G8B8(), TextureFormatA4R4G4B4(),
                       TextureFormatA1R5G5B5(), TextureFormatA8R8G8B8()};
  return s;
}

void RecordingDirect3D::Install(const RecordingScript& script) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_instance = std::make_shared<RecordingDirect3D>();
    g_instance->script_ = script;
  }
  display::SetDirect3DFactory(&MakeRecorder);
}

void RecordingDirect3D::Uninstall() {
  display::SetDirect3DFactory(nullptr);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_instance = nullptr;
}

std::shared_ptr<RecordingDirect3D> RecordingDirect3D::Instance() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_instance;
}

void RecordingDirect3D::FailCall(const std::string& name, Result result, int32_t times) {
  failures_[name] = Failure{result, times};
}

void RecordingDirect3D::ClearFailures() { failures_.clear(); }

bool RecordingDirect3D::TakeFailure(const std::string& name, Result* result) {
  auto it = failures_.find(name);
  if (it == failures_.end() || it->second.times == 0) return false;
  *result = it->second.result;
  if (it->second.times > 0) --it->second.times;
  return true;
}

int32_t RecordingDirect3D::SurfaceNumber(const display::Surface* surface) {
  if (surface == nullptr) return 0;
  auto [it, added] = numbers_.emplace(surface, static_cast<int32_t>(numbers_.size()) + 1);
  return it->second;
}

std::string RecordingDirect3D::Name(const display::Surface* surface) {
  if (surface == nullptr) return "null";
  return "surface" + std::to_string(SurfaceNumber(surface));
}

Result RecordingDirect3D::EnumDevices(const DeviceEnumCallback& callback) {
  Result r;
  if (TakeFailure("EnumDevices", &r)) {
    Record("EnumDevices() -> failed");
    return r;
  }
  Record("EnumDevices()");
  if (!callback) return Result::kInvalidParams;
  for (const auto& d : script_.devices) {
    if (!callback(d.description, d.name, d.desc)) break;
  }
  return Result::kOk;
}

Result RecordingDirect3D::EnumZBufferFormats(DeviceKind kind, const PixelFormatCallback& callback) {
  Result r;
  const std::string line = "EnumZBufferFormats(" + std::to_string(static_cast<uint32_t>(kind)) + ")";
  if (TakeFailure("EnumZBufferFormats", &r)) {
    Record(line + " -> failed");
    return r;
  }
  Record(line);
  if (!callback) return Result::kInvalidParams;
  for (const PixelFormat& f : script_.z_buffer_formats) {
    if (!callback(f)) break;
  }
  return Result::kOk;
}

Result RecordingDirect3D::CreateDevice(DeviceKind kind, const SurfacePtr& target, Device3DPtr* out) {
  Result r;
  const std::string line = "CreateDevice(" + std::to_string(static_cast<uint32_t>(kind)) + ", " +
                           Name(target.get()) + ")";
  if (out != nullptr) *out = nullptr;
  if (TakeFailure("CreateDevice", &r)) {
    Record(line + " -> failed");
    return r;
  }
  Record(line);
  if (out == nullptr || target == nullptr || !CanRenderTo(*target)) return Result::kInvalidParams;
  bool known = false;
  for (const auto& d : script_.devices) known = known || d.desc.kind == kind;
  if (!known) return Result::kInvalidParams;
  if (target->IsLost() != Result::kOk) return Result::kSurfaceLost;
  display::SurfaceDesc desc;
  if (target->GetSurfaceDesc(&desc) != Result::kOk) return Result::kInvalidParams;
  *out = std::make_shared<RecordingDevice3D>(
      shared_from_this(), target, desc.width,
      desc.height);
  return Result::kOk;
}

}  // namespace platform::d3d
