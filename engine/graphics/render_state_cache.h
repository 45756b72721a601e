// The render-state cache of the Direct3D device record and the translation
// of the draw state into render and texture-stage states.
//
// Cached setters send a state only when it differs from the record's cache
// (or while ForceStates is set) and flush the vertex batch before they do,
// so one batch never mixes states. Pending setters note the blend inputs
// and the texture and mark the record dirty; CommitBlendState3D then sends
// the blend factors, the alpha test and the texture-stage programs of the
// stage table in one go. Every setter returns -1 when Direct3D is not
// running or the record cannot take calls, else 0.
//
// Numbers are the device interface's codes (d3d_types.h). The stage table
// keeps -1 for "leave the device's value"; an argument never sent keeps the
// device's own, which is how the blend-graphic programs behave.
#pragma once

#include <array>
#include <cstdint>

#include "engine/graphics/d3d_device.h"

// One entry of the stage table: the stages it uses and four stage settings
// (textures are filled in by the commit).
struct StageEntry3D {
  int32_t Count = 0;
  std::array<StageSetting3D, platform::d3d::kStageCount> Stages;
};

// Entries 0-11 textured, 12-23 with a blend graphic (index = 6 x modulate
// colour + 3 x modulate alpha + u, plus 12), 24 the untextured mode-3 entry.
inline constexpr int kStageEntryUntexturedSubtract = 24;
int StageTableIndex3D(int modulateColor, int modulateAlpha, int u, int blendGraphic);
const StageEntry3D& GetStageTableEntry3D(int index);
// The blend factors of a blend mode 0-9 (-1: leave the device's).
struct BlendFactors3D {
  int32_t DestBlend;
  int32_t SrcBlend;
};
BlendFactors3D GetBlendFactors3D(int blendMode);

// Draw flags of PrepareDraw3D.
inline constexpr int kPrepareTransparent = 1;
inline constexpr int kPrepareIntegerCoords = 2;
inline constexpr int kPrepareDepth = 4;

// What PrepareDraw3D needs of a textured draw's first piece.
struct DrawTexture3D {
  platform::display::SurfacePtr Texture;
  int AlphaChFlag = 0;
  int AlphaTestFlag = 0;
};
// Brings the current device in line with CurrentDrawState before a draw;
// texture null for an untextured draw.
void PrepareDraw3D(const DrawTexture3D* texture, int flags);
int CommitBlendState3D(DeviceRecord3D& record);

// Cached setters.
int SetTexturePerspective3D(DeviceRecord3D& record, int value);
int SetColorKeyEnable3D(DeviceRecord3D& record, int value);
int SetShadeMode3D(DeviceRecord3D& record, int value);
int SetCullMode3D(DeviceRecord3D& record, int value);
int SetZEnable3D(DeviceRecord3D& record, int value);
int SetZWriteEnable3D(DeviceRecord3D& record, int value);
int SetZFunc3D(DeviceRecord3D& record, int value);
int SetFilterMode3D(DeviceRecord3D& record, int value);
// null returns to the device's default target (when another was set).
int SetRenderTarget3D(DeviceRecord3D& record, const platform::display::SurfacePtr& target);

// Pending setters.
int SetDrawTexture3D(DeviceRecord3D& record, const platform::display::SurfacePtr& texture);
int SetBlendInputs3D(DeviceRecord3D& record, int useAlphaTest, int useTextureAlpha, int blendMode);
int SetModulateColor3D(DeviceRecord3D& record, int flag);
int SetModulateAlpha3D(DeviceRecord3D& record, int flag);
// A parameter of -1 keeps the stored one.
int SetBlendTexture3D(DeviceRecord3D& record, int borderParam,
                      const platform::display::SurfacePtr& texture, int borderRange);

// The blend graphic's texture (null: none) with its size in texels, on the
// current device.
int SetBlendGraphic3D(const platform::display::SurfacePtr& texture, int width, int height,
                      int borderParam, int borderRange);
// The filter of the draw state (0 point, 1 linear) on the current device.
int SetDrawFilter3D(int mode);
