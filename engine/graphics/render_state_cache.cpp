// The render-state cache, the blend commit with its two tables, and the
// per-draw preparation.
#include "engine/graphics/render_state_cache.h"

#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/vertex_batch.h"

namespace d3d = platform::d3d;
using platform::display::SurfacePtr;

namespace {

// Stage-table codes: arguments and operations as the device numbers them.
constexpr int16_t kDiffuse = 0, kCurrent = 1, kTexture = 2, kTFactor = 3, kSpecular = 4;
constexpr int16_t kDisable = 1, kSel1 = 2, kSel2 = 3, kMod = 4, kMod2x = 5, kMod4x = 6, kAdd = 7,
                  kSub = 10;
constexpr int16_t kLeave = -1;

StageSetting3D Stage(int16_t colorOp, int16_t c1, int16_t c2, int16_t alphaOp, int16_t a1, int16_t a2) {
  StageSetting3D s;
  s.ColorOp = colorOp;
  s.ColorArg1 = c1;
  s.ColorArg2 = c2;
  s.AlphaOp = alphaOp;
  s.AlphaArg1 = a1;
  s.AlphaArg2 = a2;
  return s;
}
StageSetting3D Off() { return Stage(kDisable, kLeave, kLeave, kDisable, kLeave, kLeave); }

// The colour of a graphic's texture: as it is, or times the vertex colour.
StageSetting3D WithColor(StageSetting3D s, int modulateColor) {
  if (modulateColor == 0) {
    s.ColorOp = kSel1, s.ColorArg1 = kTexture, s.ColorArg2 = kLeave;
  } else {
    s.ColorOp = kMod, s.ColorArg1 = kTexture, s.ColorArg2 = kDiffuse;
  }
  return s;
}
StageSetting3D Alpha(StageSetting3D s, int16_t op, int16_t a1, int16_t a2) {
  s.AlphaOp = op, s.AlphaArg1 = a1, s.AlphaArg2 = a2;
  return s;
}

StageEntry3D MakeEntry(int index) {
  StageEntry3D e;
  for (StageSetting3D& s : e.Stages) s = Off();
  if (index == kStageEntryUntexturedSubtract) {
    e.Count = 1;
    e.Stages[0] = Stage(kSel1, kDiffuse, kLeave, kSel2, kLeave, kDiffuse);
    return e;
  }
  const bool blend = index >= 12;
  const int i = index % 12;
  const int mc = i / 6, ma = (i / 3) % 2, u = i % 3;
  const StageSetting3D none = Off();
  if (!blend) {
    e.Count = 1;
    StageSetting3D s = WithColor(none, mc);
    if (u == 0) {
      s = Alpha(s, kSel2, kLeave, kDiffuse);
    } else {
      s = ma == 0 ? Alpha(s, kSel1, kTexture, kLeave) : Alpha(s, kMod, kTexture, kDiffuse);
    }
    e.Stages[0] = s;
    return e;
  }
  e.Stages[0] = Stage(kSel2, kLeave, kDiffuse, kAdd, kTexture, kTFactor);
  const StageSetting3D modulateByVertex = Stage(kSel1, kCurrent, kLeave, kMod, kDiffuse, kCurrent);
  if (u == 0) {
    e.Count = 2;
    e.Stages[1] = ma == 0 ? Alpha(WithColor(none, mc), kSel1, kCurrent, kLeave)
                          : Alpha(WithColor(none, mc), kMod, kDiffuse, kCurrent);
  } else if (u == 1) {
    e.Count = ma == 0 ? 3 : 4;
    e.Stages[1] = Stage(kSel1, kCurrent, kLeave, kMod, kSpecular, kCurrent);
    e.Stages[2] = Alpha(WithColor(none, mc), kMod, kTexture, kCurrent);
    if (ma == 1) e.Stages[3] = modulateByVertex;
  } else {
    e.Count = ma == 0 ? 2 : 3;
    e.Stages[1] = Alpha(WithColor(none, mc), kMod, kTexture, kCurrent);
    if (ma == 1) e.Stages[2] = modulateByVertex;
  }
  return e;
}

struct StageTable {
  std::array<StageEntry3D, 25> entries;
  StageTable() {
    for (int i = 0; i < 25; ++i) entries[static_cast<size_t>(i)] = MakeEntry(i);
  }
};

const StageTable& Table() {
  static const StageTable table;
  return table;
}

constexpr BlendFactors3D kBlendFactors[10] = {
    {-1, -1},
    {d3d::kBlendInvSrcAlpha, d3d::kBlendSrcAlpha},
    {d3d::kBlendOne, d3d::kBlendSrcAlpha},
    {d3d::kBlendZero, d3d::kBlendInvDestColor},
    {d3d::kBlendSrcColor, d3d::kBlendZero},
    {d3d::kBlendOne, d3d::kBlendSrcAlpha},
    {-1, -1},
    {-1, -1},
    {d3d::kBlendOne, d3d::kBlendZero},
    {d3d::kBlendZero, d3d::kBlendInvDestColor},
};

bool Usable(const DeviceRecord3D& r) { return IsDeviceUsable3D(r); }

// The common shape of the cached setters: nothing when equal (and not
// forced); else flush (unless told not to), send, store.
template <typename Send>
int CachedSet(DeviceRecord3D& r, int32_t& cache, int value, bool flush, Send send) {
  if (!Usable(r)) return -1;
  if (cache == value && r.ForceStates == 0) return 0;
  if (flush) FlushVertexBatch(r);
  send();  // the result is not looked at
  cache = value;
  return 0;
}

int ResultOf(d3d::Result r) { return r == d3d::Result::kOk ? 0 : -1; }

DeviceRecord3D* Current() { return GetDeviceRecord3D(GetDirect3DState().CurrentDevice); }

}  // namespace

int StageTableIndex3D(int modulateColor, int modulateAlpha, int u, int blendGraphic) {
  return (blendGraphic != 0 ? 12 : 0) + 6 * (modulateColor != 0) + 3 * (modulateAlpha != 0) + u;
}

const StageEntry3D& GetStageTableEntry3D(int index) {
  if (index < 0 || index > kStageEntryUntexturedSubtract) index = 0;
  return Table().entries[static_cast<size_t>(index)];
}

BlendFactors3D GetBlendFactors3D(int blendMode) {
  if (blendMode < 0 || blendMode > 9) return {-1, -1};
  return kBlendFactors[blendMode];
}

// ---- Cached setters ----

int SetTexturePerspective3D(DeviceRecord3D& r, int value) {
  if (!Usable(r)) return -1;
  if (r.Perspective == value && r.ForceStates == 0) return 0;
  const d3d::Result result =
      r.Device->SetRenderState(d3d::kRsTexturePerspective, static_cast<uint32_t>(value));
  r.Perspective = value;
  return ResultOf(result);
}

int SetColorKeyEnable3D(DeviceRecord3D& r, int value) {
  return CachedSet(r, r.ColorKeyEnable, value, true, [&] {
    return r.Device->SetRenderState(d3d::kRsColorKeyEnable, static_cast<uint32_t>(value));
  });
}

int SetShadeMode3D(DeviceRecord3D& r, int value) {
  if (!Usable(r)) return -1;
  if (r.ShadeMode == value && r.ForceStates == 0) return 0;
  FlushVertexBatch(r);
  const d3d::Result result = r.Device->SetRenderState(d3d::kRsShadeMode, static_cast<uint32_t>(value));
  r.ShadeMode = value;
  return ResultOf(result);
}

int SetCullMode3D(DeviceRecord3D& r, int value) {
  return CachedSet(r, r.CullFlag, value, true, [&] {
    return r.Device->SetRenderState(d3d::kRsCullMode, value != 0 ? d3d::kCullCcw : d3d::kCullNone);
  });
}

int SetZEnable3D(DeviceRecord3D& r, int value) {
  return CachedSet(r, r.DepthEnable, value, true,
            [&] { return r.Device->SetRenderState(d3d::kRsZEnable, value == 1 ? 1u : 0u); });
}

int SetZWriteEnable3D(DeviceRecord3D& r, int value) {
  return CachedSet(r, r.DepthWrite, value, true, [&] {
    return r.Device->SetRenderState(d3d::kRsZWriteEnable, static_cast<uint32_t>(value));
  });
}

int SetZFunc3D(DeviceRecord3D& r, int value) {
  return CachedSet(r, r.DepthFunc, value, true,
            [&] { return r.Device->SetRenderState(d3d::kRsZFunc, static_cast<uint32_t>(value)); });
}

int SetFilterMode3D(DeviceRecord3D& r, int value) {
  if (!Usable(r)) return -1;
  if (r.Filter == value && r.ForceStates == 0) return 0;
  FlushVertexBatch(r);
  if (value == 0 || value == 1) {
    const uint32_t filter = value == 0 ? d3d::kFilterPoint : d3d::kFilterLinear;
    const int32_t stages = r.StageCount < 0 ? 0 : (r.StageCount > 4 ? 4 : r.StageCount);
    for (int32_t i = 0; i < stages; ++i) {
      r.Device->SetTextureStageState(static_cast<uint32_t>(i), d3d::kTssMagFilter, filter);
      r.Device->SetTextureStageState(static_cast<uint32_t>(i), d3d::kTssMinFilter, filter);
    }
  }
  r.Filter = value;
  return 0;
}

int SetRenderTarget3D(DeviceRecord3D& r, const SurfacePtr& target) {
  if (!Usable(r)) return -1;
  if (target == r.CurrentTarget && r.ForceStates == 0) return 0;
  if (target == nullptr) {
    if (r.CurrentTarget == nullptr) return 0;
    FlushVertexBatch(r);
    r.Device->SetRenderTarget(r.DefaultTarget);
  } else {
    FlushVertexBatch(r);
    r.Device->SetRenderTarget(target);
  }
  r.CurrentTarget = target;
  // The device gives a new target the whole-target viewport: forget ours so
  // the next draw area is sent again.
  r.Viewport = d3d::Viewport{0, 0, 0, 0, 0.0f, 0.0f};
  return 0;
}

// ---- Pending setters ----

int SetDrawTexture3D(DeviceRecord3D& r, const SurfacePtr& texture) {
  if (!Usable(r)) return -1;
  if (texture == r.Texture && r.ForceStates == 0) return 0;
  FlushVertexBatch(r);
  if ((r.Texture == nullptr) != (texture == nullptr)) r.BlendDirty = 1;
  r.Texture = texture;
  r.TextureDirty = 1;
  return 0;
}

int SetBlendInputs3D(DeviceRecord3D& r, int useAlphaTest, int useTextureAlpha, int blendMode) {
  if (!Usable(r)) return -1;
  if (r.UseAlphaTest == useAlphaTest && r.UseTextureAlpha == useTextureAlpha &&
      r.BlendMode == blendMode && r.ForceStates == 0) {
    return 0;
  }
  FlushVertexBatch(r);
  r.UseAlphaTest = useAlphaTest;
  r.UseTextureAlpha = useTextureAlpha;
  r.BlendMode = blendMode;
  r.BlendDirty = 1;
  return 0;
}

int SetModulateColor3D(DeviceRecord3D& r, int flag) {
  if (!Usable(r)) return -1;
  if (r.ModulateColor == flag && r.ForceStates == 0) return 0;
  FlushVertexBatch(r);
  r.ModulateColor = flag;
  r.BlendDirty = 1;
  return 0;
}

int SetModulateAlpha3D(DeviceRecord3D& r, int flag) {
  if (!Usable(r)) return -1;
  if (r.ModulateAlpha == flag && r.ForceStates == 0) return 0;
  FlushVertexBatch(r);
  r.ModulateAlpha = flag;
  r.BlendDirty = 1;
  return 0;
}

int SetBlendTexture3D(DeviceRecord3D& r, int borderParam, const SurfacePtr& texture, int borderRange) {
  if (!Usable(r)) return -1;
  const int param = borderParam == -1 ? r.BorderParam : borderParam;
  const int range = borderRange == -1 ? r.BorderRange : borderRange;
  if (r.ForceStates == 0) {
    if (texture != nullptr && texture == r.BlendTexture && param == r.BorderParam &&
        range == r.BorderRange) {
      return 0;
    }
    if (texture == nullptr && r.BlendTexture == nullptr) return 0;
  }
  FlushVertexBatch(r);
  r.BlendTexture = texture;
  r.BorderParam = param;
  r.BorderRange = range;
  r.BlendDirty = 1;
  return 0;
}

int SetBlendGraphic3D(const SurfacePtr& texture, int width, int height, int borderParam,
                      int borderRange) {
  DeviceRecord3D* r = Current();
  if (r == nullptr || !Usable(*r)) return -1;
  if (texture != nullptr) {
    Direct3DState& s = GetDirect3DState();
    s.BlendTextureWidth = width;
    s.BlendTextureHeight = height;
    s.BlendTextureInvWidth = width > 0 ? 1.0f / static_cast<float>(width) : 0.0f;
    s.BlendTextureInvHeight = height > 0 ? 1.0f / static_cast<float>(height) : 0.0f;
  }
  return SetBlendTexture3D(*r, borderParam, texture, borderRange);
}

int SetDrawFilter3D(int mode) {
  DeviceRecord3D* r = Current();
  return r == nullptr ? -1 : SetFilterMode3D(*r, mode);
}

// ---- The commit ----

namespace {

// The blend graphic's edge: alpha test for a hard edge, else the scaled
// alpha of stage 1 and the shift through the texture factor.
void ApplyThreshold(const DeviceRecord3D& r, StageEntry3D& entry, CachedRenderStates3D& s) {
  const int p = r.BorderParam < 0 ? 0 : (r.BorderParam > 255 ? 255 : r.BorderParam);
  const int range = r.BorderRange;
  if (range <= 1) {
    s.AlphaTestEnable = 1;
    s.AlphaBlendEnable = 0;
    s.AlphaFunc = d3d::kCmpGreaterEqual;
    s.AlphaRef = (p == 0 && (r.UseTextureAlpha != 0 || r.UseAlphaTest != 0)) ? 1 : p;
    s.TextureFactor = 0x00FFFFFFu;
    return;
  }
  s.AlphaTestEnable = 0;
  s.AlphaBlendEnable = 1;
  int k, n, m;
  if (range <= 64) {
    entry.Stages[1].AlphaOp = kMod4x, k = 1280, n = 1024, m = 64;
  } else if (range <= 128) {
    entry.Stages[1].AlphaOp = kMod2x, k = 768, n = 512, m = 128;
  } else {
    entry.Stages[1].AlphaOp = kMod, k = 512, n = 256, m = 255;
  }
  const int a = p * k / 255;
  const int b = k - a;
  if (b < n) {
    const int t = b * 255 / n;
    entry.Stages[0].AlphaOp = kSub;
    s.TextureFactor = static_cast<uint32_t>(255 - t) << 24 | 0xFFFFFFu;
  } else {
    const int t = (b - n) * m / 256;
    s.TextureFactor = static_cast<uint32_t>(t) << 24 | 0xFFFFFFu;
  }
}

void SendRenderState(DeviceRecord3D& r, uint32_t state, int32_t value, int32_t& cache, bool force) {
  if (value == -1) {
    if (force) r.Device->SetRenderState(state, static_cast<uint32_t>(cache));
    return;
  }
  if (force || value != cache) r.Device->SetRenderState(state, static_cast<uint32_t>(value));
  cache = value;
}

void SendStageValue(DeviceRecord3D& r, uint32_t stage, uint32_t state, int16_t value, int16_t& cache,
                    bool force) {
  if (value == -1) return;
  if (force || value != cache) {
    r.Device->SetTextureStageState(stage, state, static_cast<uint32_t>(value));
  }
  cache = value;
}

}  // namespace

int CommitBlendState3D(DeviceRecord3D& r) {
  if (!Usable(r)) return -1;
  const bool force = r.ForceStates != 0;
  if (!force && r.BlendDirty == 0 && r.TextureDirty == 0) return -1;
  if (!force && r.BlendDirty == 0) {
    // Only the graphic's texture changed.
    const size_t stage = r.BlendTexture == nullptr ? 0 : (r.UseTextureAlpha == 1 ? 2 : 1);
    r.Device->SetTexture(static_cast<uint32_t>(stage), r.Texture);
    r.Stages[stage].Texture = r.Texture;
    r.TextureDirty = 0;
    return 0;
  }
  r.BlendDirty = 0;
  r.TextureDirty = 0;
  const BlendFactors3D factors = GetBlendFactors3D(r.BlendMode);
  const bool factorsUsed = r.BlendMode != 0 && r.BlendMode != 6;
  CachedRenderStates3D want = r.States;
  want.DestBlend = factors.DestBlend;
  want.SrcBlend = factors.SrcBlend;
  StageEntry3D entry;
  int format;
  if (r.Texture == nullptr) {
    r.SkipDraw = 0;
    format = 0;
    if (r.BlendMode == 3) {
      entry = GetStageTableEntry3D(kStageEntryUntexturedSubtract);
    } else {
      entry.Count = r.StageCount;
      entry.Stages = r.Stages;
    }
    for (StageSetting3D& s : entry.Stages) s.Texture = nullptr;
    want.AlphaTestEnable = 0;
    want.AlphaBlendEnable = factorsUsed ? 1 : 0;
  } else if (r.BlendTexture == nullptr) {
    r.SkipDraw = 0;
    format = 1;
    const int u = r.UseTextureAlpha != 0 ? 1 : (r.UseAlphaTest != 0 ? 2 : 0);
    entry = GetStageTableEntry3D(StageTableIndex3D(r.ModulateColor, r.ModulateAlpha, u, 0));
    entry.Stages[0].Texture = r.Texture;
    if (r.UseAlphaTest == 1) {
      want.AlphaTestEnable = 1;
      want.AlphaRef = 16;
      want.AlphaFunc = d3d::kCmpGreater;
    } else if (r.DepthEnable == 1 || (r.BlendMode == 4 && r.UseTextureAlpha == 1)) {
      // Under multiply the texture's alpha does not enter the blend: the
      // test keeps its transparent pixels off the target.
      want.AlphaTestEnable = 1;
      want.AlphaRef = 0;
      want.AlphaFunc = d3d::kCmpGreater;
    } else {
      want.AlphaTestEnable = 0;
    }
    if (r.UseTextureAlpha == 1 && !factorsUsed) {
      want.DestBlend = d3d::kBlendInvSrcAlpha;
      want.SrcBlend = d3d::kBlendSrcAlpha;
    }
    want.AlphaBlendEnable = (r.UseTextureAlpha == 1 || factorsUsed) ? 1 : 0;
  } else {
    format = 2;
    const int u = r.UseTextureAlpha != 0 ? 1 : (r.UseAlphaTest != 0 ? 2 : 0);
    entry = GetStageTableEntry3D(StageTableIndex3D(r.ModulateColor, r.ModulateAlpha, u, 1));
    if (!factorsUsed) {
      want.DestBlend = d3d::kBlendInvSrcAlpha;
      want.SrcBlend = d3d::kBlendSrcAlpha;
    }
    r.SkipDraw = r.BorderParam == 255 ? 1 : 0;
    entry.Stages[0].Texture = r.BlendTexture;
    if (r.UseTextureAlpha == 1) {
      entry.Stages[2].Texture = r.Texture;
    } else {
      entry.Stages[1].Texture = r.Texture;
    }
    ApplyThreshold(r, entry, want);
  }
  if (format != r.Batch.Format) {
    FlushVertexBatch(r);
    r.Batch.Format = format;
  }

  if (entry.Count != r.StageCount) {
    r.StageCount = entry.Count;
    const int32_t keep = r.ForceStates;
    r.ForceStates = 1;
    SetFilterMode3D(r, r.Filter);
    r.ForceStates = keep;
  }
  const int applied = entry.Count + 1 > 4 ? 4 : entry.Count + 1;

  CachedRenderStates3D& c = r.States;
  SendRenderState(r, d3d::kRsAlphaFunc, want.AlphaFunc, c.AlphaFunc, force);
  SendRenderState(r, d3d::kRsAlphaRef, want.AlphaRef, c.AlphaRef, force);
  SendRenderState(r, d3d::kRsAlphaTestEnable, want.AlphaTestEnable, c.AlphaTestEnable, force);
  SendRenderState(r, d3d::kRsAlphaBlendEnable, want.AlphaBlendEnable, c.AlphaBlendEnable, force);
  {
    int32_t factor = static_cast<int32_t>(want.TextureFactor);
    int32_t cached = static_cast<int32_t>(c.TextureFactor);
    if (force || factor != cached) r.Device->SetRenderState(d3d::kRsTextureFactor, want.TextureFactor);
    c.TextureFactor = want.TextureFactor;
  }
  SendRenderState(r, d3d::kRsSrcBlend, want.SrcBlend, c.SrcBlend, force);
  SendRenderState(r, d3d::kRsDestBlend, want.DestBlend, c.DestBlend, force);

  for (int i = 0; i < applied; ++i) {
    const size_t si = static_cast<size_t>(i);
    if (i >= 2 && r.Stages[si - 1].AlphaOp == kDisable) break;
    const StageSetting3D& e = entry.Stages[si];
    StageSetting3D& cache = r.Stages[si];
    const uint32_t stage = static_cast<uint32_t>(i);
    if (force || e.Texture != cache.Texture) r.Device->SetTexture(stage, e.Texture);
    cache.Texture = e.Texture;
    SendStageValue(r, stage, d3d::kTssAlphaOp, e.AlphaOp, cache.AlphaOp, force);
    SendStageValue(r, stage, d3d::kTssAlphaArg1, e.AlphaArg1, cache.AlphaArg1, force);
    SendStageValue(r, stage, d3d::kTssAlphaArg2, e.AlphaArg2, cache.AlphaArg2, force);
    SendStageValue(r, stage, d3d::kTssColorOp, e.ColorOp, cache.ColorOp, force);
    SendStageValue(r, stage, d3d::kTssColorArg1, e.ColorArg1, cache.ColorArg1, force);
    SendStageValue(r, stage, d3d::kTssColorArg2, e.ColorArg2, cache.ColorArg2, force);
  }
  return 0;
}

// ---- Per-draw preparation ----

void PrepareDraw3D(const DrawTexture3D* texture, int flags) {
  DeviceRecord3D* rp = Current();
  if (rp == nullptr || !Usable(*rp)) return;
  DeviceRecord3D& r = *rp;
  const DrawState& s = CurrentDrawState;
  int useTextureAlpha = 0, useAlphaTest = 0, colorKey = 0;
  SurfacePtr surface;
  if (texture != nullptr) {
    surface = texture->Texture;
    if ((flags & kPrepareTransparent) != 0) {
      if (texture->AlphaTestFlag == 0 && texture->AlphaChFlag == 0) {
        colorKey = 1;
      } else if ((s.BlendMode != 0 && s.BlendMode != 8) ||
                 ((flags & kPrepareIntegerCoords) == 0 && s.FilterMode == 1)) {
        useTextureAlpha = 1;
      } else {
        useTextureAlpha = texture->AlphaChFlag != 0 ? 1 : 0;
        useAlphaTest = texture->AlphaTestFlag != 0 ? 1 : 0;
      }
    }
  }
  const int modulateColor = (s.DrawBright & 0xFFFFFFu) != 0xFFFFFFu ? 1 : 0;
  const int modulateAlpha = s.BlendMode != 0 ? 1 : 0;

  if (r.Perspective != 0) SetTexturePerspective3D(r, 0);
  if (r.ModulateColor != modulateColor) SetModulateColor3D(r, modulateColor);
  if (r.ModulateAlpha != modulateAlpha) SetModulateAlpha3D(r, modulateAlpha);
  if (r.Texture != surface) SetDrawTexture3D(r, surface);
  if (r.ShadeMode != d3d::kShadeFlat) SetShadeMode3D(r, d3d::kShadeFlat);
  if (r.CullFlag != s.Direct3DOptions[3]) SetCullMode3D(r, s.Direct3DOptions[3]);
  if (r.UseAlphaTest != useAlphaTest || r.UseTextureAlpha != useTextureAlpha ||
      r.BlendMode != s.BlendMode) {
    SetBlendInputs3D(r, useAlphaTest, useTextureAlpha, s.BlendMode);
  }
  if (r.BlendDirty != 0 || r.TextureDirty != 0) CommitBlendState3D(r);
  SetColorKeyEnable3D(r, colorKey);
  if ((flags & kPrepareDepth) != 0) {
    if (r.DepthEnable != s.Direct3DOptions[0]) SetZEnable3D(r, s.Direct3DOptions[0]);
    if (r.DepthWrite != s.Direct3DOptions[1]) SetZWriteEnable3D(r, s.Direct3DOptions[1]);
    if (r.DepthFunc != s.Direct3DOptions[2]) SetZFunc3D(r, s.Direct3DOptions[2]);
  } else if (r.DepthEnable != 0) {
    SetZEnable3D(r, 0);
  }
}
