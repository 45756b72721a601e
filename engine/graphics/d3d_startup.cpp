// Direct3D start-up, end, loss and re-creation.
#include "engine/graphics/d3d_startup.h"

#include <algorithm>
#include <cstring>

#include "engine/core/base/log.h"
#include "engine/graphics/d3d_targets.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/render_state_cache.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/texture_graphs.h"
#include "engine/graphics/vertex_batch.h"

namespace d3d = platform::d3d;
namespace pd = platform::display;
using pd::SurfacePtr;

namespace {

Surface3DTableHooks g_hooks;

DDPixelFormat ToDD(const pd::PixelFormat& f) {
  DDPixelFormat out{};
  static_assert(sizeof(out) == sizeof(f), "the same 32-byte record");
  std::memcpy(&out, &f, sizeof(out));
  return out;
}

void DropObject() { GetDirect3DState().Direct3D.reset(); }

int32_t& TextureAddressSetting() { return CurrentDrawState.Direct3DOptions[4]; }

// The device rule: hardware devices that render at the screen's depth; a
// T&L device ends the search.
bool ChooseDevice(int bits, const d3d::DeviceDesc& desc, bool* found) {
  if (desc.kind != d3d::DeviceKind::kTnLHal && desc.kind != d3d::DeviceKind::kHal) return true;
  uint32_t need = 0;
  if (bits == 16) need = d3d::kBitDepth16;
  if (bits == 32) need = d3d::kBitDepth32;
  if (need == 0 || (desc.render_bit_depths & need) == 0) return true;
  *found = true;
  GetDirect3DState().DeviceDesc = desc;
  return desc.kind != d3d::DeviceKind::kTnLHal;
}

void LogLimits() {
  const Direct3DState& s = GetDirect3DState();
  IncreaseLogIndent();
  WriteLogF("テクスチャ最大幅:%u 最小幅:%u ", static_cast<unsigned>(s.MaxTextureSize),
            static_cast<unsigned>(s.MinTextureSize));
  const uint32_t caps = s.DeviceDesc.triangle_texture_caps;
  WriteLogF("描画制限: D_D3DPTEXTURECAPS_POW2 = %d  D_D3DPTEXTURECAPS_SQUAREONLY = %d ",
            (caps & d3d::kTextureCapsPow2) != 0 ? 1 : 0, (caps & d3d::kTextureCapsSquareOnly) != 0 ? 1 : 0);
  WriteLog("テクスチャピクセルフォーマット\n");
  WriteLog("\t通常グラフィック用\n");
  for (int i : {kTexFormatPlain16, kTexFormatPlain32}) {
    const ColorFormat& f = s.TextureFormats.Entries[static_cast<size_t>(i)].Format;
    WriteLogF("\t\t BIT:%u  RED:%u  GREEN:%u  BLUE:%u ", unsigned{f.BitDepth}, unsigned{f.RedWidth},
              unsigned{f.GreenWidth}, unsigned{f.BlueWidth});
    WriteLogF("\t\t RED:%06x GREEN:%06x BLUE:%06x \n", f.RedMask, f.GreenMask, f.BlueMask);
  }
  WriteLog("\tアルファチャンネル付きグラフィック用\n");
  for (int i : {kTexFormatAlpha4444, kTexFormatAlpha8888}) {
    const ColorFormat& f = s.TextureFormats.Entries[static_cast<size_t>(i)].Format;
    WriteLogF("\t\t BIT:%u  ALPHA:%u  RED:%u  GREEN:%u  BLUE:%u ", unsigned{f.BitDepth},
              unsigned{f.AlphaWidth}, unsigned{f.RedWidth}, unsigned{f.GreenWidth}, unsigned{f.BlueWidth});
    WriteLogF("\t\t ALPHA:%08x RED:%08x GREEN:%08x BLUE:%08x \n", f.AlphaMask, f.RedMask, f.GreenMask,
              f.BlueMask);
  }
  DecreaseLogIndent();
}

// The device's copy of one texture into another, for uploads that cannot
// lock their texture.
pd::Result LoadThroughDevice(const SurfacePtr& destination, int x, int y, const SurfacePtr& source,
                             const pd::Rect& rect) {
  DeviceRecord3D* r = GetDeviceRecord3D(GetDirect3DState().CurrentDevice);
  if (r == nullptr || !IsDeviceUsable3D(*r)) return pd::Result::kGeneric;
  return r->Device->Load(destination, x, y, source, &rect, 0);
}

// What the texture storage needs of the device, once it runs.
void FillTextureDevice(const Direct3DState& s) {
  TextureDevice& t = GetTextureDevice();
  t.Running = 1;
  t.MinTextureSize = s.MinTextureSize;
  t.MaxTextureSize = s.MaxTextureSize;
  t.SquareOnly = (s.DeviceDesc.triangle_texture_caps & d3d::kTextureCapsSquareOnly) != 0 ? 1 : 0;
  t.Load = LoadThroughDevice;
}

// Every texture graphic's pieces go, then the texture storage reads "no
// device" again.
void EndTextureDevice() {
  if (g_hooks.DeleteAll != nullptr) g_hooks.DeleteAll();
  ResetTextureDevice();
}

int FailAfterDevice() {
  ReleaseAllDevices3D();
  DropObject();
  return -1;
}

}  // namespace

void SetSurface3DTableHooks(const Surface3DTableHooks& hooks) { g_hooks = hooks; }

SurfacePtr FrontScreenSurface3D() {
  pd::Surface* s = GetFrontSurface();
  return s == nullptr ? nullptr : s->shared_from_this();
}

SurfacePtr BackScreenSurface3D() { return GetMainSurfaces().BackSurface; }

int InitializeDirect3D() {
  Direct3DState& s = GetDirect3DState();
  if (s.Direct3D != nullptr) return -1;
  WriteLog("Direct3D 関連の初期化を行います\n");
  s = Direct3DState{};
  ResetTextureDevice();
  InstallTextureGraphHooks();
  WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します\n");

  const pd::DevicePtr& display = GetDisplayState().DirectDrawObject;
  if (display == nullptr || d3d::QueryDirect3D(*display, &s.Direct3D) != d3d::Result::kOk ||
      s.Direct3D == nullptr) {
    s.Direct3D.reset();
    WriteLog("Direct3Dオブジェクトの作成に失敗しました\n");
    return -1;
  }
  WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得しました\n");

  const int bits = GetScreenColorState().ScreenBits;
  bool found = false;
  const d3d::Result enumerated = s.Direct3D->EnumDevices(
      [&](const std::string&, const std::string&, const d3d::DeviceDesc& desc) {
        return ChooseDevice(bits, desc, &found);
      });
  if (enumerated != d3d::Result::kOk || !found) {
    WriteLog("現在の画面モードで使用できる描画デバイスが見つかりませんでした\n");
    DropObject();
    return -1;
  }

  bool depthFound = false;
  const d3d::Result depths =
      s.Direct3D->EnumZBufferFormats(d3d::DeviceKind::kHal, [&](const pd::PixelFormat& f) {
        if (f.flags != pd::kPixelFormatDepth || f.bit_count != 16) return true;
        s.ZBufferFormat = ToDD(f);
        depthFound = true;
        return false;
      });
  if (depths != d3d::Result::kOk || !depthFound) {
    WriteLog("使用可能なＺバッファが見つかりませんでした\n");
    return FailAfterDevice();
  }

  const SurfacePtr front = FrontScreenSurface3D();
  const int index = CreateDevice3D(front);
  if (index < 0) {
    DropObject();
    return -1;
  }
  s.CurrentDevice = index;
  DeviceRecord3D& record = *GetDeviceRecord3D(index);
  SetRenderTarget3D(record, front);

  if (TextureAddressSetting() == 0) TextureAddressSetting() = 3;
  for (int stage = 3; stage >= 0; --stage) {
    const d3d::Result r = record.Device->SetTextureStageState(
        static_cast<uint32_t>(stage), d3d::kTssAddress, static_cast<uint32_t>(TextureAddressSetting()));
    if (stage == 0 && r != d3d::Result::kOk) return FailAfterDevice();
  }

  const ColorFormat& screen = GetScreenColorState().ScreenColorFormat;
  const d3d::Result formats = record.Device->EnumTextureFormats([&](const pd::PixelFormat& f) {
    OfferTextureFormat(s.TextureFormats, ToDD(f), screen);
    return true;
  });
  if (formats != d3d::Result::kOk || s.TextureFormats.Plain16Found == 0) {
    WriteLog("使用可能なテクスチャフォーマットが見つかりませんでした\n");
    return FailAfterDevice();
  }
  CompleteTextureFormatTable(s.TextureFormats);

  s.FrontTargetFlag = 1;
  const d3d::DeviceDesc& desc = s.DeviceDesc;
  const uint32_t minSide = std::min(desc.min_texture_width, desc.min_texture_height);
  const uint32_t maxSide = std::min(desc.max_texture_width, desc.max_texture_height);
  // Sizes beyond what an int holds are no sizes a device reports; keep the
  // limits in range.
  s.MinTextureSize = minSide == 0 ? 32 : static_cast<int32_t>(std::min<uint32_t>(minSide, 1u << 30));
  s.MaxTextureSize = maxSide == 0 ? 256 : static_cast<int32_t>(std::min<uint32_t>(maxSide, 1u << 30));
  s.ReadBackChoice[0] = s.ReadBackChoice[1] = -1;
  s.Suspended3D = 0;
  FillTextureDevice(s);
  LogLimits();
  WriteLog("Direct3D 関連の初期化は正常に終了しました\n");
  s.Initialized3D = 1;
  return 0;
}

int TerminateDirect3D() {
  Direct3DState& s = GetDirect3DState();
  if (s.Direct3D == nullptr) {
    // A lost display leaves the record in use: free it so a later start
    // finds it.
    if (s.Initialized3D != 0) {
      EndTextureDevice();
      ReleaseAllDevices3D();
      s.Initialized3D = 0;
    }
    return -1;
  }
  WriteLog("Direct3D 関連の終了処理を行います\n");
  DeviceRecord3D& record = CurrentDeviceRecord3D();
  EndScene3D(record);
  s.FrontTargetFlag = 0;
  if (record.Texture != nullptr) {
    record.Texture.reset();
    record.TextureDirty = 1;
    record.BlendDirty = 1;
  }
  EndTextureDevice();
  ReleaseAllDevices3D();
  DropObject();
  WriteLog("Direct3D 関連の終了処理は正常に終了しました\n");
  s.Initialized3D = 0;
  return 0;
}

int CreateDevice3D(const SurfacePtr& target) {
  Direct3DState& s = GetDirect3DState();
  DeviceRecord3D* rp = GetDeviceRecord3D(0);
  if (s.Direct3D == nullptr || rp == nullptr || rp->InUse != 0) return -1;
  DeviceRecord3D& r = *rp;
  ClearDeviceRecord3D(r);
  WriteLog("３Ｄデバイスを作成します... ");
  d3d::Device3DPtr device;
  if (s.Direct3D->CreateDevice(s.DeviceDesc.kind, target, &device) != d3d::Result::kOk ||
      device == nullptr) {
    WriteLog("３Ｄデバイスの作成に失敗しました\n");
    return -1;
  }
  PrepareVertexBuffers3D(r);
  if (TextureAddressSetting() == 0) TextureAddressSetting() = 3;
  for (uint32_t stage = 0; stage < d3d::kStageCount; ++stage) {
    device->SetTextureStageState(stage, d3d::kTssAddress, static_cast<uint32_t>(TextureAddressSetting()));
  }
  for (uint32_t stage = 0; stage < d3d::kStageCount; ++stage) {
    device->SetTextureStageState(stage, d3d::kTssMagFilter, d3d::kFilterPoint);
    device->SetTextureStageState(stage, d3d::kTssMinFilter, d3d::kFilterPoint);
  }
  device->SetRenderState(d3d::kRsColorKeyBlendEnable, 0);
  device->SetRenderState(d3d::kRsCullMode, d3d::kCullNone);
  device->SetRenderState(d3d::kRsLighting, 0);
  device->SetRenderState(d3d::kRsTexturePerspective, 0);
  device->SetRenderState(d3d::kRsShadeMode, d3d::kShadeFlat);
  device->SetRenderState(d3d::kRsColorKeyEnable, 0);
  device->SetRenderState(d3d::kRsDitherEnable, 0);
  MakeDeviceRecord3D(r);
  r.Device = std::move(device);
  r.DefaultTarget = target;
  ReapplyDeviceStates3D(r);
  WriteLog("３Ｄデバイスの作成に成功しました\n");
  return 0;
}

int ReleaseDevice3D(DeviceRecord3D& r) {
  if (r.InUse == 0) return -1;
  if (g_hooks.ReleaseTextures != nullptr) g_hooks.ReleaseTextures();
  r.Device.reset();
  r.SceneOpen = 0;
  r.Batch.Count = 0;
  WriteLog("Ｄｉｒｅｃｔ３Ｄデバイスを削除しました\n");
  return 0;
}

int ReleaseAllDevices3D() {
  for (int i = 0; GetDeviceRecord3D(i) != nullptr; ++i) {
    DeviceRecord3D& r = *GetDeviceRecord3D(i);
    if (r.InUse == 0) continue;
    r.Device.reset();
    ClearDeviceRecord3D(r);
    WriteLog("３Ｄデバイスの削除は正常に終了しました\n");
  }
  return 0;
}

namespace {

int ReapplyFixedStates3D(DeviceRecord3D& r) {
  FlushVertexBatch(r);
  d3d::Device3D& d = *r.Device;
  for (uint32_t stage = 0; stage < d3d::kStageCount; ++stage) {
    d.SetTextureStageState(stage, d3d::kTssAddress, static_cast<uint32_t>(r.TextureAddress));
  }
  const uint32_t coordinateSets[d3d::kStageCount] = {0, 1, 1, 0};
  for (uint32_t stage = 0; stage < d3d::kStageCount; ++stage) {
    d.SetTextureStageState(stage, d3d::kTssTexCoordIndex, coordinateSets[stage]);
  }
  d.SetRenderState(d3d::kRsTexturePerspective, static_cast<uint32_t>(r.Perspective));
  d.SetRenderState(d3d::kRsShadeMode, static_cast<uint32_t>(r.ShadeMode));
  d.SetRenderState(d3d::kRsColorKeyEnable, static_cast<uint32_t>(r.ColorKeyEnable));
  d.SetRenderState(d3d::kRsLighting, static_cast<uint32_t>(r.Lighting));
  d.SetRenderState(d3d::kRsCullMode, d3d::kCullNone);
  d.SetRenderState(d3d::kRsDitherEnable, 0);
  return 0;
}

}  // namespace

int ReapplyDeviceStates3D(DeviceRecord3D& r) {
  if (!IsDeviceUsable3D(r)) return -1;
  r.ForceStates = 1;
  SetViewport3D(r.Viewport, r);
  SetColorKeyEnable3D(r, r.ColorKeyEnable);
  SetColorKeyEnable3D(r, 0);
  ReapplyFixedStates3D(r);
  SetFilterMode3D(r, r.Filter);
  CommitBlendState3D(r);
  SetZEnable3D(r, r.DepthEnable);
  SetZWriteEnable3D(r, r.DepthWrite);
  SetZFunc3D(r, r.DepthFunc);
  SetCullMode3D(r, r.CullFlag);
  SetTexturePerspective3D(r, r.Perspective);
  SetShadeMode3D(r, r.ShadeMode);
  r.ForceStates = 0;
  return 0;
}

int RecreateDevice3D(DeviceRecord3D& r) {
  Direct3DState& s = GetDirect3DState();
  if (s.Direct3D == nullptr || r.InUse == 0) return -1;
  if (r.Device != nullptr) return 0;
  WriteLog("３Ｄデバイスを作成します... ");
  d3d::Device3DPtr device;
  if (r.DefaultTarget == nullptr ||
      s.Direct3D->CreateDevice(s.DeviceDesc.kind, r.DefaultTarget, &device) != d3d::Result::kOk ||
      device == nullptr) {
    WriteLog("３Ｄデバイスの作成に失敗しました\n");
    return -1;
  }
  device->SetRenderState(d3d::kRsDitherEnable, 0);
  WriteLog("３Ｄデバイスの作成に成功しました\n");
  r.Device = std::move(device);
  r.ForceStates = 1;
  if (r.CurrentTarget != nullptr && r.CurrentTarget != r.DefaultTarget) {
    r.Device->SetRenderTarget(r.CurrentTarget);
  }
  r.Texture.reset();
  r.Batch.Count = 0;
  r.SceneOpen = 0;
  SetBlendInputs3D(r, r.UseAlphaTest, r.UseTextureAlpha, r.BlendMode);
  SetCullMode3D(r, r.CullFlag);
  SetFilterMode3D(r, r.Filter);
  SetColorKeyEnable3D(r, r.ColorKeyEnable);
  const IntRect area = CurrentDrawState.DrawArea;
  SetDrawAreaViewport3D(area);
  ReapplyDeviceStates3D(r);
  CommitBlendState3D(r);
  if (g_hooks.RecreateTextures != nullptr) g_hooks.RecreateTextures();
  r.ForceStates = 0;
  return 0;
}

int ReleaseDirect3DObject() {
  Direct3DState& s = GetDirect3DState();
  if (s.Initialized3D == 0) return -1;
  DeviceRecord3D* r = GetDeviceRecord3D(s.CurrentDevice);
  if (r != nullptr) {
    ReleaseDevice3D(*r);
    // The display's surfaces are made anew after this: holding the old
    // ones would keep the old primary alive, and the new one could not be
    // made. ReacquireDirect3D points the record at the new screens.
    r->DefaultTarget.reset();
    r->CurrentTarget.reset();
    r->Texture.reset();
    r->BlendTexture.reset();
    for (StageSetting3D& stage : r->Stages) stage.Texture.reset();
  }
  WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放します\n");
  if (s.Direct3D != nullptr) {
    DropObject();
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放しました\n");
  } else {
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に解放されています\n");
  }
  return 0;
}

int ReacquireDirect3D() {
  Direct3DState& s = GetDirect3DState();
  if (s.Initialized3D == 0) return 0;
  WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します\n");
  if (s.Direct3D != nullptr) {
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に取得されていますn");
    return 0;
  }
  const pd::DevicePtr& display = GetDisplayState().DirectDrawObject;
  if (display == nullptr || d3d::QueryDirect3D(*display, &s.Direct3D) != d3d::Result::kOk ||
      s.Direct3D == nullptr) {
    s.Direct3D.reset();
    WriteLog("Direct3Dオブジェクトの作成に失敗しました\n");
    return -1;
  }
  WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトは正常に取得されました\n");
  DeviceRecord3D* r = GetDeviceRecord3D(s.CurrentDevice);
  if (r == nullptr) return -1;
  r->DefaultTarget = FrontScreenSurface3D();
  pd::Surface* target = GetDrawTargetState().TargetSurface;
  r->CurrentTarget = target == nullptr ? nullptr : target->shared_from_this();
  RecreateDevice3D(*r);
  return 0;
}

namespace {

int SetTransform(uint32_t which, const d3d::Matrix& m) {
  DeviceRecord3D* r = GetDeviceRecord3D(GetDirect3DState().CurrentDevice);
  if (r == nullptr || !IsDeviceUsable3D(*r)) return -1;
  r->Device->SetTransform(which, m);
  return 0;
}

}  // namespace

int SetWorldTransform3D(const d3d::Matrix& m) { return SetTransform(d3d::kTransformWorld, m); }
int SetViewTransform3D(const d3d::Matrix& m) { return SetTransform(d3d::kTransformView, m); }
int SetProjectionTransform3D(const d3d::Matrix& m) { return SetTransform(d3d::kTransformProjection, m); }
