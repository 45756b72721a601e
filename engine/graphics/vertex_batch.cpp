// The vertex batch, its flush and the scene.
#include "engine/graphics/vertex_batch.h"

#include "engine/core/base/library_state.h"
#include "engine/graphics/image/draw_state.h"

namespace d3d = platform::d3d;

uint32_t BatchFormatFvf(int format) {
  switch (format) {
    case 0: return d3d::kFvfColored;
    case 2: return d3d::kFvfTwoTexture;
    default: return d3d::kFvfTextured;
  }
}

uint32_t BatchFormatCapacity(int format) {
  switch (format) {
    case 0: return kBatchCapacityColored;
    case 2: return kBatchCapacityTwoTexture;
    default: return kBatchCapacityTextured;
  }
}

namespace {

const void* BatchStart(const VertexBatch3D& b) {
  switch (b.Format) {
    case 0: return b.Colored.data();
    case 2: return b.TwoTexture.data();
    default: return b.Textured.data();
  }
}

}  // namespace

void PrepareVertexBuffers3D(DeviceRecord3D& record) {
  VertexBatch3D& b = record.Batch;
  for (auto& v : b.Colored) v = d3d::VertexColored{0, 0, 0.0f, 1.0f, 0};
  for (auto& v : b.Textured) v = d3d::VertexTextured{0, 0, 0.0f, 1.0f, 0, 0, 0};
  for (auto& v : b.TwoTexture) v = d3d::VertexTwoTexture{0, 0, 0.0f, 1.0f, 0, 0xFFFFFFFFu, 0, 0, 0, 0};
  b.Count = 0;
}

int FlushVertexBatch(DeviceRecord3D& record) {
  if (!IsDeviceUsable3D(record)) return -1;
  VertexBatch3D& b = record.Batch;
  if (b.Count > 0 && GetQuitFlag() == 0 && record.SkipDraw == 0) {
    // The result is not looked at: a lost target drops the batch.
    record.Device->DrawPrimitive(b.Primitive, BatchFormatFvf(b.Format), BatchStart(b), b.Count, 0);
  }
  b.Count = 0;
  return 0;
}

int FlushCurrentVertexBatch() {
  DeviceRecord3D* r = GetDeviceRecord3D(GetDirect3DState().CurrentDevice);
  return r == nullptr ? -1 : FlushVertexBatch(*r);
}

int BeginScene3D() {
  DeviceRecord3D* r = GetDeviceRecord3D(GetDirect3DState().CurrentDevice);
  if (r == nullptr || !IsDeviceUsable3D(*r)) return -1;
  if (r->SceneOpen == 0) {
    r->Device->BeginScene();
    r->SceneOpen = 1;
  }
  return 0;
}

int EndScene3D(DeviceRecord3D& record) {
  if (!IsDeviceUsable3D(record)) return -1;
  if (record.SceneOpen != 0) {
    FlushVertexBatch(record);
    record.Device->EndScene();
    record.SceneOpen = 0;
  }
  return 0;
}

int EndCurrentScene3D() {
  DeviceRecord3D* r = GetDeviceRecord3D(GetDirect3DState().CurrentDevice);
  return r == nullptr ? -1 : EndScene3D(*r);
}

void EndScene3DBeforeSurfaceAccess() {
  FlushCurrentVertexBatch();
  EndCurrentScene3D();
}

uint32_t ReserveBatchVertices3D(DeviceRecord3D& record, uint32_t primitive, uint32_t n) {
  VertexBatch3D& b = record.Batch;
  if (b.Count > 0 &&
      (b.Primitive != primitive || b.Count + n > BatchFormatCapacity(b.Format))) {
    FlushVertexBatch(record);
    b.Count = 0;  // also when the device could not take the flush
  }
  b.Primitive = primitive;
  const uint32_t first = b.Count;
  b.Count += n;
  return first;
}

int UpdateVertexColor3D() {
  const DrawState& s = CurrentDrawState;
  // Multiply takes no strength: its alpha stays whole, so a value of 0 does
  // not let the transparency test drop the whole graphic.
  const bool strength = s.BlendMode != 0 && s.BlendMode != 4;
  const uint32_t alpha = strength ? static_cast<uint32_t>(s.BlendValue) & 0xFFu : 0xFFu;
  GetDirect3DState().VertexColor = alpha << 24 | (s.DrawBright & 0xFFFFFFu);
  return 0;
}
