// The texture-format table: the enumeration rule, the fall-backs and the
// accessors of the running table.
#include "engine/graphics/texture_format_table.h"

#include "engine/graphics/d3d_device.h"

namespace {

bool IsEmpty(const TextureFormatEntry& e) { return e.Format.BitDepth == 0; }

void Store(TextureFormatEntry& e, const DDPixelFormat& pf, const ColorFormat& cf) {
  e.PixelFormat = pf;
  e.Format = cf;
}

void FallBack(TextureFormatTable& t, int index, int from) {
  if (IsEmpty(t.Entries[index])) t.Entries[index] = t.Entries[from];
}

}  // namespace

void OfferTextureFormat(TextureFormatTable& table, const DDPixelFormat& format,
                        const ColorFormat& screen) {
  constexpr uint32_t kSkipped = kDDPixelFormatLuminance | kDDPixelFormatBumpLuminance |
                                kDDPixelFormatBumpDuDv | kDDPixelFormatFourCC |
                                kDDPixelFormatAlphaOnly;
  if ((format.Flags & kSkipped) != 0) return;
  ColorFormat cf{};
  ColorFormatFromDDPixelFormat(&format, &cf);
  if (cf.AlphaMask != 0) {
    switch (cf.AlphaMask) {
      case 0xF000u:
        Store(table.Entries[kTexFormatAlpha4444], format, cf);
        break;
      case 0xFF000000u:
        Store(table.Entries[kTexFormatAlpha8888], format, cf);
        Store(table.Entries[kTexFormatAlphaTest32], format, cf);
        break;
      case 0x8000u:
        Store(table.Entries[kTexFormatAlphaTest16], format, cf);
        break;
      default:
        break;
    }
    return;
  }
  const bool sameAsScreen = EqualColorFormat(&cf, &screen) != 0;
  if (cf.BitDepth == 16) {
    TextureFormatEntry& e = table.Entries[kTexFormatPlain16];
    if (IsEmpty(e) || sameAsScreen) {
      Store(e, format, cf);
      table.Plain16Found = 1;
    }
  } else if (cf.BitDepth == 32) {
    TextureFormatEntry& e = table.Entries[kTexFormatPlain32];
    if (IsEmpty(e) || sameAsScreen) Store(e, format, cf);
  }
}

void CompleteTextureFormatTable(TextureFormatTable& t) {
  FallBack(t, kTexFormatPlain32, kTexFormatPlain16);
  FallBack(t, kTexFormatAlpha8888, kTexFormatAlpha4444);
  FallBack(t, kTexFormatAlphaTest16, kTexFormatAlpha4444);
  FallBack(t, kTexFormatAlphaTest32, kTexFormatAlpha8888);
  t.Entries[kTexFormatDrawable16] = t.Entries[kTexFormatPlain16];
  t.Entries[kTexFormatDrawable32] = t.Entries[kTexFormatPlain32];
  t.Entries[kTexFormatDrawableAlpha] = t.Entries[kTexFormatAlpha8888];
}

int SelectTextureFormat(const GraphCreationFlags& flags) {
  const int d = flags.ColorBitDepth == 16 ? 0 : 1;
  if (flags.DrawValid != 0) {
    return (flags.AlphaChFlag == 1 || flags.AlphaTestFlag == 1) ? kTexFormatDrawableAlpha
                                                                : kTexFormatDrawable16 + d;
  }
  if (flags.AlphaChFlag != 0) return kTexFormatAlpha4444 + d;
  if (flags.AlphaTestFlag != 0) return kTexFormatAlphaTest16 + d;
  return kTexFormatPlain16 + d;
}

const DDPixelFormat* GetTexturePixelFormat(int index) {
  if (index < 0 || index >= kTextureFormatCount) return nullptr;
  return &GetDirect3DState().TextureFormats.Entries[static_cast<size_t>(index)].PixelFormat;
}

const ColorFormat* GetTextureColorFormat(int index) {
  if (index < 0 || index >= kTextureFormatCount) return nullptr;
  return &GetDirect3DState().TextureFormats.Entries[static_cast<size_t>(index)].Format;
}

const ColorFormat* GetTextureColorFormatForFlags(const GraphCreationFlags& flags) {
  return GetTextureColorFormat(SelectTextureFormat(flags));
}

const ColorFormat* GetTextureColorFormatFor(int alphaCh, int alphaTest, int is32bit, int drawable) {
  GraphCreationFlags flags{};
  flags.AlphaChFlag = static_cast<uint8_t>(alphaCh != 0);
  flags.AlphaTestFlag = static_cast<uint8_t>(alphaTest != 0);
  flags.ColorBitDepth = is32bit != 0 ? 32 : 16;
  flags.DrawValid = static_cast<uint8_t>(drawable != 0);
  return GetTextureColorFormatForFlags(flags);
}

const DDPixelFormat* GetZBufferPixelFormat() { return &GetDirect3DState().ZBufferFormat; }
