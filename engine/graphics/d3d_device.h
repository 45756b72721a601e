// The Direct3D back end's state: the Direct3D object, the one device record
// with its render-state caches and vertex batch, the texture-format table
// and the depth format found at start-up, the target flags.
//
// Direct3DState is zero-filled by the start-up (InitializeDirect3D); the
// device record by the device's creation, which then gives it its start
// values. Only record 0 is ever used (CurrentDevice is always 0). Sizes are
// texels and pixels; colours 0xAARRGGBB. Everything is used under the
// library lock on the thread that made the device.
//
// Render-state and stage caches hold the values last sent (or, for a new
// record, the start values of MakeDeviceRecord3D, which differ from the
// device's own defaults; the cache filter compares against them).
#pragma once

#include <array>
#include <cstdint>

#include "engine/graphics/image/color_format.h"
#include "engine/graphics/texture_format_table.h"
#include "platform/d3d/direct3d.h"

// Batch capacities of the three vertex formats (each buffer fits in 64 KB).
inline constexpr uint32_t kBatchCapacityColored = 3225;
inline constexpr uint32_t kBatchCapacityTextured = 2340;
inline constexpr uint32_t kBatchCapacityTwoTexture = 1638;

// One texture stage as the cache and the stage table keep it: the bound
// texture, then the six arguments and operations (-1: leave the device's).
struct StageSetting3D {
  platform::display::SurfacePtr Texture;
  int16_t AlphaArg1 = 2, AlphaArg2 = 0, AlphaOp = 1;
  int16_t ColorArg1 = 2, ColorArg2 = 0, ColorOp = 1;
};

// The cached render states, in the order the commit keeps them.
struct CachedRenderStates3D {
  int32_t AlphaTestEnable = 0;
  int32_t AlphaRef = 0;
  int32_t AlphaFunc = 0;
  int32_t AlphaBlendEnable = 0;
  uint32_t TextureFactor = 0;
  int32_t SrcBlend = 0;
  int32_t DestBlend = 0;
};

struct VertexBatch3D {
  uint32_t Count = 0;     // vertices waiting; the write position is Count
  int32_t Format = 0;     // 0 untextured, 1 one texture, 2 blend graphic
  uint32_t Primitive = 0; // primitive type of the waiting vertices
  std::array<platform::d3d::VertexColored, kBatchCapacityColored> Colored{};
  std::array<platform::d3d::VertexTextured, kBatchCapacityTextured> Textured{};
  std::array<platform::d3d::VertexTwoTexture, kBatchCapacityTwoTexture> TwoTexture{};
};

struct DeviceRecord3D {
  int32_t InUse = 0;
  platform::d3d::Device3DPtr Device;           // null after a loss until re-created
  platform::display::SurfacePtr DefaultTarget;  // the target the device was made on
  platform::display::SurfacePtr CurrentTarget;  // null: never changed
  platform::display::SurfacePtr Texture;        // graphic being drawn, null untextured
  platform::display::SurfacePtr BlendTexture;   // blend graphic's texture, null none
  int32_t ModulateColor = 0;
  int32_t ModulateAlpha = 0;
  int32_t BlendMode = 0;
  int32_t BorderParam = 0;
  int32_t BorderRange = 0;
  int32_t UseTextureAlpha = 0;
  int32_t UseAlphaTest = 0;
  int32_t BlendDirty = 0;
  int32_t TextureDirty = 0;
  int32_t SkipDraw = 0;
  int32_t ForceStates = 0;
  CachedRenderStates3D States;
  int32_t StageCount = 0;
  std::array<StageSetting3D, platform::d3d::kStageCount> Stages;
  int32_t SceneOpen = 0;
  int32_t Filter = 0;
  int32_t DepthEnable = 0, DepthWrite = 0, DepthFunc = 0;
  int32_t ShadeMode = 0;
  int32_t CullFlag = 0;
  int32_t TextureAddress = 0;
  int32_t Perspective = 0;
  int32_t Lighting = 0;
  int32_t ColorKeyEnable = 0;
  VertexBatch3D Batch;
  platform::d3d::Viewport Viewport{0, 0, 0, 0, 0.0f, 0.0f};
};

struct Direct3DState {
  std::shared_ptr<platform::d3d::Direct3D> Direct3D;  // null while not running
  int32_t CurrentDevice = 0;
  platform::d3d::DeviceDesc DeviceDesc;
  int32_t MinTextureSize = 0, MaxTextureSize = 0;
  uint32_t VertexColor = 0;
  TextureFormatTable TextureFormats;
  // The blend graphic's texture size and its reciprocals (second texture
  // coordinates of blend-graphic draws).
  int32_t BlendTextureWidth = 0, BlendTextureHeight = 0;
  float BlendTextureInvWidth = 0.0f, BlendTextureInvHeight = 0.0f;
  DDPixelFormat ZBufferFormat{};
  int32_t FrontTargetFlag = 0;
  int32_t Suspended3D = 0;
  int32_t ReadBackChoice[2] = {0, 0};
  int32_t Initialized3D = 0;
};

Direct3DState& GetDirect3DState();
// The device record at index (only 0 exists); null outside.
DeviceRecord3D* GetDeviceRecord3D(int index);
DeviceRecord3D& CurrentDeviceRecord3D();
// Everything back to its process-start value (tests): object, record and
// tables dropped without logging or calls.
void ResetDirect3DState();

// Direct3D is running: the object exists (it is null after a loss).
inline bool IsDirect3DRunning() { return GetDirect3DState().Direct3D != nullptr; }
// The record can take calls: Direct3D running, record in use, device made.
bool IsDeviceUsable3D(const DeviceRecord3D& record);
// The device of the current record (null when none).
platform::d3d::Device3D* GetCurrentDevice3D();

// A new record's start values (the zero-fill and what device creation sets).
void MakeDeviceRecord3D(DeviceRecord3D& record);
// Zero-fills a record (the end of a device; nothing is sent).
void ClearDeviceRecord3D(DeviceRecord3D& record);
