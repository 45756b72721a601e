// Device state defaults and the checks both implementations share.
#include "platform/d3d/device_state.h"

#include "platform/display/pixel_plane.h"

namespace platform::d3d {
namespace {

bool IsBlendFactor(uint32_t v) { return v >= kBlendZero && v <= kBlendBothInvSrcAlpha; }
bool IsCompare(uint32_t v) { return v >= kCmpNever && v <= kCmpAlways; }

}  // namespace

bool IsSupportedStageOp(uint32_t op) {
  return (op >= kTopDisable && op <= kTopBlendFactorAlpha) || op == kTopBlendCurrentAlpha;
}

bool IsSupportedStageArg(uint32_t arg) {
  return (arg & ~uint32_t{kTaSelectMask | kTaComplement | kTaAlphaReplicate}) == 0 &&
         (arg & kTaSelectMask) <= kTaSpecular;
}

uint32_t VertexStride(uint32_t fvf) {
  switch (fvf) {
    case kFvfColored: return sizeof(VertexColored);
    case kFvfTextured: return sizeof(VertexTextured);
    case kFvfTwoTexture: return sizeof(VertexTwoTexture);
    default: return 0;
  }
}

uint32_t TextureCoordinateSets(uint32_t fvf) {
  switch (fvf) {
    case kFvfTextured: return 1;
    case kFvfTwoTexture: return 2;
    default: return 0;
  }
}

uint32_t PrimitiveCountFor(uint32_t type, uint32_t n) {
  switch (type) {
    case kPrimPointList: return n;
    case kPrimLineList: return n / 2;
    case kPrimLineStrip: return n >= 2 ? n - 1 : 0;
    case kPrimTriangleList: return n / 3;
    case kPrimTriangleStrip:
    case kPrimTriangleFan: return n >= 3 ? n - 2 : 0;
    default: return 0;
  }
}

PixelFormat TextureFormatR5G6B5() { return display::RgbFormat(16, 0xF800, 0x7E0, 0x1F); }
PixelFormat TextureFormatX8R8G8B8() { return display::RgbFormat(32, 0xFF0000, 0xFF00, 0xFF); }
PixelFormat TextureFormatA4R4G4B4() { return display::RgbFormat(16, 0xF00, 0xF0, 0xF, 0xF000); }
PixelFormat TextureFormatA1R5G5B5() { return display::RgbFormat(16, 0x7C00, 0x3E0, 0x1F, 0x8000); }
PixelFormat TextureFormatA8R8G8B8() {
  return display::RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
}

DeviceState::DeviceState() {
  render_[kRsTexturePerspective] = 1;
  render_[kRsZEnable] = 0;
  render_[kRsShadeMode] = kShadeGouraud;
  render_[kRsZWriteEnable] = 1;
  render_[kRsAlphaTestEnable] = 0;
  render_[kRsSrcBlend] = kBlendOne;
  render_[kRsDestBlend] = kBlendZero;
  render_[kRsCullMode] = kCullCcw;
  render_[kRsZFunc] = kCmpLessEqual;
  render_[kRsAlphaRef] = 0;
  render_[kRsAlphaFunc] = kCmpAlways;
  render_[kRsDitherEnable] = 0;
  render_[kRsAlphaBlendEnable] = 0;
  render_[kRsColorKeyEnable] = 0;
  render_[kRsTextureFactor] = 0xFFFFFFFF;
  render_[kRsLighting] = 1;
  for (uint32_t s = 0; s < kStageCount; ++s) {
    auto& st = stages_[s];
    st[kTssColorOp] = s == 0 ? kTopModulate : kTopDisable;
    st[kTssColorArg1] = kTaTexture;
    st[kTssColorArg2] = kTaCurrent;
    st[kTssAlphaOp] = s == 0 ? kTopSelectArg1 : kTopDisable;
    st[kTssAlphaArg1] = kTaTexture;
    st[kTssAlphaArg2] = kTaCurrent;
    st[kTssTexCoordIndex] = s;
    st[kTssAddress] = kAddressWrap;
    st[kTssAddressU] = kAddressWrap;
    st[kTssAddressV] = kAddressWrap;
    st[kTssMagFilter] = kFilterPoint;
    st[kTssMinFilter] = kFilterPoint;
    st[kTssMipFilter] = 1;
  }
}

Result DeviceState::SetRenderState(uint32_t state, uint32_t value) {
  if (state == 0 || state >= kRenderStateCount) return Result::kInvalidParams;
  switch (state) {
    case kRsSrcBlend:
    case kRsDestBlend:
      if (!IsBlendFactor(value)) return Result::kInvalidParams;
      break;
    case kRsAlphaFunc:
    case kRsZFunc:
      if (!IsCompare(value)) return Result::kInvalidParams;
      break;
    case kRsShadeMode:
      if (value < 1 || value > 3) return Result::kInvalidParams;
      break;
    case kRsCullMode:
      if (value < kCullNone || value > kCullCcw) return Result::kInvalidParams;
      break;
    default:
      break;
  }
  render_[state] = value;
  return Result::kOk;
}

Result DeviceState::GetRenderState(uint32_t state, uint32_t* value) const {
  if (value == nullptr || state == 0 || state >= kRenderStateCount) return Result::kInvalidParams;
  *value = render_[state];
  return Result::kOk;
}

Result DeviceState::SetStageState(uint32_t stage, uint32_t state, uint32_t value) {
  if (stage >= kStageCount || state == 0 || state >= kStageStateCount) return Result::kInvalidParams;
  switch (state) {
    case kTssColorOp:
    case kTssAlphaOp:
      if (!IsSupportedStageOp(value)) return Result::kInvalidParams;
      break;
    case kTssColorArg1:
    case kTssColorArg2:
    case kTssAlphaArg1:
    case kTssAlphaArg2:
      if (!IsSupportedStageArg(value)) return Result::kInvalidParams;
      break;
    case kTssTexCoordIndex:
      if (value > 7) return Result::kInvalidParams;
      break;
    case kTssAddress:
    case kTssAddressU:
    case kTssAddressV:
      if (value < kAddressWrap || value > kAddressBorder) return Result::kInvalidParams;
      break;
    case kTssMagFilter:
    case kTssMinFilter:
      if (value < kFilterPoint || value > 5) return Result::kInvalidParams;
      break;
    default:
      break;
  }
  stages_[stage][state] = value;
  if (state == kTssAddress) {
    stages_[stage][kTssAddressU] = value;
    stages_[stage][kTssAddressV] = value;
  }
  return Result::kOk;
}

Result DeviceState::GetStageState(uint32_t stage, uint32_t state, uint32_t* value) const {
  if (value == nullptr || stage >= kStageCount || state == 0 || state >= kStageStateCount) {
    return Result::kInvalidParams;
  }
  *value = stages_[stage][state];
  return Result::kOk;
}

Result CheckDraw(uint32_t type, uint32_t fvf, const void* vertices, uint32_t vertex_count) {
  if (VertexStride(fvf) == 0 || vertices == nullptr) return Result::kInvalidParams;
  if (type < kPrimPointList || type > kPrimTriangleFan) return Result::kInvalidParams;
  // A batch of more than 64K vertices is no batch the engine makes.
  if (vertex_count == 0 || vertex_count > 65536) return Result::kInvalidParams;
  return Result::kOk;
}

Result CheckIndexedDraw(uint32_t type, uint32_t fvf, const void* vertices, uint32_t vertex_count,
                        const uint16_t* indices, uint32_t index_count) {
  if (Result r = CheckDraw(type, fvf, vertices, vertex_count); r != Result::kOk) return r;
  if (indices == nullptr || index_count == 0 || index_count > 65536) return Result::kInvalidParams;
  for (uint32_t i = 0; i < index_count; ++i) {
    if (indices[i] >= vertex_count) return Result::kInvalidParams;
  }
  return Result::kOk;
}

bool ViewportFits(const Viewport& v, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || v.width == 0 || v.height == 0) return false;
  const uint64_t right = uint64_t{v.x} + v.width;
  const uint64_t bottom = uint64_t{v.y} + v.height;
  return right <= static_cast<uint64_t>(width) && bottom <= static_cast<uint64_t>(height);
}

namespace {

bool RgbOfBits(const PixelFormat& f) {
  if ((f.flags & display::kPixelFormatRgb) == 0 || (f.flags & display::kPixelFormatIndexed8) != 0 ||
      (f.flags & display::kPixelFormatFourCC) != 0) {
    return false;
  }
  if (f.bit_count != 16 && f.bit_count != 32) return false;
  display::FormatInfo info;
  return display::MakeFormatInfo(f, false, &info) && info.kind == display::PixelKind::kRgb;
}

}  // namespace

bool CanRenderTo(const display::Surface& surface) {
  PixelFormat f;
  return surface.GetPixelFormat(&f) == Result::kOk && RgbOfBits(f);
}

bool CanTexture(const display::Surface& surface) {
  PixelFormat f;
  return surface.GetPixelFormat(&f) == Result::kOk && RgbOfBits(f);
}

}  // namespace platform::d3d
