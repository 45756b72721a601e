// The Direct3D back end's state records.
#include "engine/graphics/d3d_device.h"

#include <memory>

#include "engine/graphics/texture_device.h"

namespace {

Direct3DState g_state;
// One record (the only one ever used); kept off the stack of its users.
std::unique_ptr<DeviceRecord3D> g_record = std::make_unique<DeviceRecord3D>();

// Zero-fills a record field by field; the vertex buffers keep their
// contents (device creation writes their fixed parts).
void ClearRecord(DeviceRecord3D& r) {
  r.InUse = 0;
  r.Device.reset();
  r.DefaultTarget.reset();
  r.CurrentTarget.reset();
  r.Texture.reset();
  r.BlendTexture.reset();
  r.ModulateColor = r.ModulateAlpha = r.BlendMode = 0;
  r.BorderParam = r.BorderRange = 0;
  r.UseTextureAlpha = r.UseAlphaTest = 0;
  r.BlendDirty = r.TextureDirty = r.SkipDraw = r.ForceStates = 0;
  r.States = CachedRenderStates3D{};
  r.StageCount = 0;
  for (StageSetting3D& s : r.Stages) s = StageSetting3D{nullptr, 0, 0, 0, 0, 0, 0};
  r.SceneOpen = 0;
  r.Filter = 0;
  r.DepthEnable = r.DepthWrite = r.DepthFunc = 0;
  r.ShadeMode = r.CullFlag = r.TextureAddress = r.Perspective = r.Lighting = 0;
  r.ColorKeyEnable = 0;
  r.Batch.Count = 0;
  r.Batch.Format = 0;
  r.Batch.Primitive = 0;
  r.Viewport = platform::d3d::Viewport{0, 0, 0, 0, 0.0f, 0.0f};
}

}  // namespace

Direct3DState& GetDirect3DState() { return g_state; }

DeviceRecord3D* GetDeviceRecord3D(int index) { return index == 0 ? g_record.get() : nullptr; }

DeviceRecord3D& CurrentDeviceRecord3D() { return *g_record; }

void ResetDirect3DState() {
  g_state = Direct3DState{};
  ClearRecord(*g_record);
  ResetTextureDevice();
}

bool IsDeviceUsable3D(const DeviceRecord3D& record) {
  return IsDirect3DRunning() && record.InUse != 0 && record.Device != nullptr;
}

platform::d3d::Device3D* GetCurrentDevice3D() {
  DeviceRecord3D* r = GetDeviceRecord3D(g_state.CurrentDevice);
  return (r != nullptr && r->InUse != 0) ? r->Device.get() : nullptr;
}

void ClearDeviceRecord3D(DeviceRecord3D& record) { ClearRecord(record); }

void MakeDeviceRecord3D(DeviceRecord3D& r) {
  ClearRecord(r);
  r.InUse = 1;
  r.DepthEnable = 1;
  r.BlendDirty = 1;
  r.ShadeMode = 1;
  r.Batch.Format = 1;
  r.DepthWrite = 0;
  r.DepthFunc = 4;
  r.BorderParam = -1;
  r.TextureAddress = 3;
  for (StageSetting3D& s : r.Stages) s = StageSetting3D{};
}
