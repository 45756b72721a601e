// Plain types and numeric codes of the 3D device interface (direct3d.h).
//
// The codes are the numbers the engine stores and compares: render states,
// texture-stage states, operations and arguments, blend factors, compare
// functions, primitive types and vertex formats keep the values of the
// Direct3D 7 interface the engine was written against. Results are the
// display stand-in's (kOk is the only success).
//
// Vertices are pre-transformed: x and y in target pixels (pixel centres on
// whole numbers), z and rhw carried, colours packed 0xAARRGGBB.
#pragma once

#include <cstdint>

#include "platform/display/display_types.h"

namespace platform::d3d {

using display::PixelFormat;
using display::Rect;
using display::Result;

// Render states.
enum RenderState : uint32_t {
  kRsTexturePerspective = 4,
  kRsZEnable = 7,
  kRsShadeMode = 9,
  kRsZWriteEnable = 14,
  kRsAlphaTestEnable = 15,
  kRsSrcBlend = 19,
  kRsDestBlend = 20,
  kRsCullMode = 22,
  kRsZFunc = 23,
  kRsAlphaRef = 24,
  kRsAlphaFunc = 25,
  kRsDitherEnable = 26,
  kRsAlphaBlendEnable = 27,
  kRsSpecularEnable = 29,
  kRsColorKeyEnable = 41,
  kRsTextureFactor = 60,
  kRsLighting = 137,
  kRsColorKeyBlendEnable = 144,
};
inline constexpr uint32_t kRenderStateCount = 256;  // valid state numbers are below this

// Texture-stage states.
enum StageState : uint32_t {
  kTssColorOp = 1,
  kTssColorArg1 = 2,
  kTssColorArg2 = 3,
  kTssAlphaOp = 4,
  kTssAlphaArg1 = 5,
  kTssAlphaArg2 = 6,
  kTssTexCoordIndex = 11,
  kTssAddress = 12,
  kTssAddressU = 13,
  kTssAddressV = 14,
  kTssMagFilter = 16,
  kTssMinFilter = 17,
  kTssMipFilter = 18,
};
inline constexpr uint32_t kStageStateCount = 32;
inline constexpr uint32_t kStageCount = 4;  // texture stages this device has

// Stage operations.
enum StageOp : uint32_t {
  kTopDisable = 1,
  kTopSelectArg1 = 2,
  kTopSelectArg2 = 3,
  kTopModulate = 4,
  kTopModulate2x = 5,
  kTopModulate4x = 6,
  kTopAdd = 7,
  kTopAddSigned = 8,
  kTopAddSigned2x = 9,
  kTopSubtract = 10,
  kTopAddSmooth = 11,
  kTopBlendDiffuseAlpha = 12,
  kTopBlendTextureAlpha = 13,
  kTopBlendFactorAlpha = 14,
  kTopBlendCurrentAlpha = 16,
};
bool IsSupportedStageOp(uint32_t op);

// Stage arguments: a selector with two modifier bits.
enum StageArg : uint32_t {
  kTaDiffuse = 0,
  kTaCurrent = 1,
  kTaTexture = 2,
  kTaTFactor = 3,
  kTaSpecular = 4,
  kTaSelectMask = 0x0F,
  kTaComplement = 0x10,      // 1 - value
  kTaAlphaReplicate = 0x20,  // the alpha in every channel
};
bool IsSupportedStageArg(uint32_t arg);

enum TextureFilter : uint32_t { kFilterPoint = 1, kFilterLinear = 2 };
enum TextureAddress : uint32_t { kAddressWrap = 1, kAddressMirror = 2, kAddressClamp = 3, kAddressBorder = 4 };

enum BlendFactor : uint32_t {
  kBlendZero = 1,
  kBlendOne = 2,
  kBlendSrcColor = 3,
  kBlendInvSrcColor = 4,
  kBlendSrcAlpha = 5,
  kBlendInvSrcAlpha = 6,
  kBlendDestAlpha = 7,
  kBlendInvDestAlpha = 8,
  kBlendDestColor = 9,
  kBlendInvDestColor = 10,
  kBlendSrcAlphaSat = 11,
  kBlendBothSrcAlpha = 12,     // source: SRCALPHA, destination: INVSRCALPHA
  kBlendBothInvSrcAlpha = 13,  // source: INVSRCALPHA, destination: SRCALPHA
};

enum CompareFunc : uint32_t {
  kCmpNever = 1,
  kCmpLess = 2,
  kCmpEqual = 3,
  kCmpLessEqual = 4,
  kCmpGreater = 5,
  kCmpNotEqual = 6,
  kCmpGreaterEqual = 7,
  kCmpAlways = 8,
};

enum ShadeMode : uint32_t { kShadeFlat = 1, kShadeGouraud = 2 };
enum CullMode : uint32_t { kCullNone = 1, kCullCw = 2, kCullCcw = 3 };

enum PrimitiveType : uint32_t {
  kPrimPointList = 1,
  kPrimLineList = 2,
  kPrimLineStrip = 3,
  kPrimTriangleList = 4,
  kPrimTriangleStrip = 5,
  kPrimTriangleFan = 6,
};

enum TransformState : uint32_t { kTransformWorld = 1, kTransformView = 2, kTransformProjection = 3 };

// The three vertex formats and their layouts.
inline constexpr uint32_t kFvfColored = 0x44;     // x, y, z, rhw, diffuse
inline constexpr uint32_t kFvfTextured = 0x144;   // + u, v
inline constexpr uint32_t kFvfTwoTexture = 0x2C4; // + specular, u0, v0, u1, v1

struct VertexColored {
  float x, y, z, rhw;
  uint32_t diffuse;
};
struct VertexTextured {
  float x, y, z, rhw;
  uint32_t diffuse;
  float u, v;
};
struct VertexTwoTexture {
  float x, y, z, rhw;
  uint32_t diffuse, specular;
  float u0, v0, u1, v1;
};
static_assert(sizeof(VertexColored) == 20 && sizeof(VertexTextured) == 28 &&
              sizeof(VertexTwoTexture) == 40);

// Bytes of one vertex of a format; 0 for a format the device does not take.
uint32_t VertexStride(uint32_t fvf);
// Texture-coordinate sets a format carries.
uint32_t TextureCoordinateSets(uint32_t fvf);
// Primitives that count vertices make; 0 when they make none.
uint32_t PrimitiveCountFor(uint32_t type, uint32_t vertex_count);

// Which device an enumeration reports and CreateDevice is asked for.
enum class DeviceKind : uint32_t { kRgb = 1, kHal = 2, kTnLHal = 3 };

// Render bit depths.
inline constexpr uint32_t kBitDepth16 = 0x400;
inline constexpr uint32_t kBitDepth32 = 0x100;
// Triangle texture caps.
inline constexpr uint32_t kTextureCapsPow2 = 0x2;
inline constexpr uint32_t kTextureCapsSquareOnly = 0x20;

// What the engine reads of a device's description.
struct DeviceDesc {
  DeviceKind kind = DeviceKind::kTnLHal;
  uint32_t render_bit_depths = 0;
  uint32_t z_buffer_bit_depths = 0;
  uint32_t triangle_texture_caps = 0;
  uint32_t min_texture_width = 0, min_texture_height = 0;
  uint32_t max_texture_width = 0, max_texture_height = 0;
  uint32_t max_texture_blend_stages = 0;
  uint32_t max_simultaneous_textures = 0;
  bool operator==(const DeviceDesc&) const = default;
};

struct Viewport {
  uint32_t x = 0, y = 0, width = 0, height = 0;
  float min_z = 0.0f, max_z = 1.0f;
  bool operator==(const Viewport&) const = default;
};

struct Matrix {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  bool operator==(const Matrix&) const = default;
};

// The texture formats the device offers, in the order it enumerates them.
PixelFormat TextureFormatR5G6B5();
PixelFormat TextureFormatX8R8G8B8();
PixelFormat TextureFormatA4R4G4B4();
PixelFormat TextureFormatA1R5G5B5();
PixelFormat TextureFormatA8R8G8B8();

}  // namespace platform::d3d
