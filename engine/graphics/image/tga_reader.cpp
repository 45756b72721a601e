#include "engine/graphics/image/tga_reader.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "engine/graphics/image/image_stream.h"

namespace {

constexpr int64_t kHeaderSize = 18;
constexpr int64_t kFooterSize = 26;
constexpr char kFooterSignature[16] = {'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I',
                                       'O', 'N', '-', 'X', 'F', 'I', 'L', 'E'};

// End of the image data: the start of a footer that has the signature and
// no extension area, else the end of the stream.
int64_t DataEnd(ImageStream& in) {
  if (in.Size() < kFooterSize || !in.Seek(in.Size() - kFooterSize)) return in.Size();
  uint8_t footer[kFooterSize];
  if (!in.Read(footer, sizeof(footer))) return in.Size();
  if (std::memcmp(footer + 8, kFooterSignature, sizeof(kFooterSignature)) != 0) return in.Size();
  if (LoadLe32(footer) != 0) return in.Size();
  return in.Size() - kFooterSize;
}

void SetFormat(int bits, ColorFormat* format) {
  if (bits == 16) CreateColorFormat(format, 16, 0x7C00, 0x3E0, 0x1F, 0x8000);
  else if (bits == 24) SetRgb24ColorFormat(format);
  else SetArgb32ColorFormat(format);
}

// Run-length packets into a zero-filled image of `total` pixels of Bytes
// bytes. A stored pixel is an index looked up in `map` when there is one,
// else the pixel itself.
template <int Bytes>
void DecodeRunLength(const uint8_t* data, int64_t length, const uint8_t* map, int64_t total,
                     uint8_t* pixels) {
  const int64_t unit = map != nullptr ? 1 : Bytes;
  auto source = [&](const uint8_t* stored) { return map != nullptr ? map + stored[0] * Bytes : stored; };
  int64_t done = 0;
  int64_t pos = 0;
  while (done < total && pos < length) {
    const uint8_t t = data[pos++];
    const int64_t count = std::min<int64_t>((t & 0x7F) + 1, total - done);
    uint8_t* dst = pixels + done * Bytes;
    if (t & 0x80) {
      if (length - pos < unit) return;
      uint8_t pixel[Bytes];
      std::memcpy(pixel, source(data + pos), Bytes);
      for (int64_t i = 0; i < count; ++i) std::memcpy(dst + i * Bytes, pixel, Bytes);
      pos += unit;
    } else {
      for (int64_t i = 0; i < count; ++i) {
        if (length - pos < unit) return;
        std::memcpy(dst + i * Bytes, source(data + pos), Bytes);
        pos += unit;
      }
    }
    done += count;
  }
}

// Indices into the map's pixels.
template <int Bytes>
void LookUp(const uint8_t* indices, int64_t total, const uint8_t* map, uint8_t* pixels) {
  for (int64_t i = 0; i < total; ++i) std::memcpy(pixels + i * Bytes, map + indices[i] * Bytes, Bytes);
}

// The two loops for the pixel size of the file.
template <typename Body>
void ForPixelBytes(int bytes, Body body) {
  if (bytes == 2) body(std::integral_constant<int, 2>{});
  else if (bytes == 3) body(std::integral_constant<int, 3>{});
  else body(std::integral_constant<int, 4>{});
}

// Puts a bottom-up or right-to-left image into top-down, left-to-right order.
void Reorient(GraphImage* image, bool bottomUp, bool rightToLeft) {
  const int64_t pitch = image->Pitch;
  if (bottomUp) {
    for (int64_t top = 0, bottom = image->Height - 1; top < bottom; ++top, --bottom) {
      std::swap_ranges(image->Pixels + top * pitch, image->Pixels + (top + 1) * pitch,
                       image->Pixels + bottom * pitch);
    }
  }
  if (rightToLeft) ReverseGraphImage(image);
}

}  // namespace

int DecodeTgaStream(const StreamOps* ops, StreamHandle stream, GraphImage* out) {
  std::memset(out, 0, sizeof(*out));
  ImageStream in(ops, stream);
  if (!in.Valid()) return -1;
  const int64_t dataEnd = DataEnd(in);

  uint8_t h[kHeaderSize];
  if (!in.Seek(0) || !in.Read(h, sizeof(h)) || !in.Skip(h[0])) return -1;
  const int type = h[2];
  const bool mapped = type == 1 || type == 9;
  if (type != 1 && type != 2 && type != 9 && type != 10) return -1;
  const int bits = mapped ? h[7] : h[16];
  const int64_t firstEntry = LoadLe16(h + 3);
  const int64_t mapLength = LoadLe16(h + 5);
  if (LoadLe16(h + 8) != 0 || LoadLe16(h + 10) != 0) return -1;
  const int64_t width = LoadLe16(h + 12);
  const int64_t height = LoadLe16(h + 14);
  if (width < 1 || height < 1 || width >= kTgaMaxSide || height >= kTgaMaxSide) return -1;
  if (bits != 16 && bits != 24 && bits != 32) return -1;
  const int bytes = bits / 8;
  const int64_t pitch = width * bytes;
  const int64_t total = width * height;

  // Colour map: 256 entries, zero-filled, the file's entries from the first
  // index on. A map in front of true-colour pixels is skipped.
  uint8_t map[256 * 4] = {};
  if (mapped) {
    const int64_t mapBytes = mapLength * bytes;
    ImageBuffer file(mapBytes);
    if (file.data() == nullptr || !in.Read(file.data(), mapBytes)) return -1;
    const int64_t kept = std::clamp<int64_t>(256 - firstEntry, 0, mapLength);
    if (kept > 0) {
      std::memcpy(map + firstEntry * bytes, file.data(), static_cast<size_t>(kept * bytes));
    }
  } else if (h[1] == 1 && !in.Skip(mapLength * ((h[7] + 7) / 8))) {
    return -1;
  }

  GraphImageGuard guard(out);
  if (type == 1 || type == 2) {
    const int64_t stored = mapped ? total : total * bytes;
    if (in.Remaining() < stored) return -1;
    if (AllocGraphImagePixels(out, width, height, pitch, 0) != 0) return -1;
    if (mapped) {
      ImageBuffer indices(stored);
      if (indices.data() == nullptr || !in.Read(indices.data(), stored)) return -1;
      ForPixelBytes(bytes, [&](auto b) { LookUp<b()>(indices.data(), total, map, out->Pixels); });
    } else if (!in.Read(out->Pixels, stored)) {
      return -1;
    }
  } else {
    const int64_t length = std::max<int64_t>(dataEnd - in.Position(), 0);
    if (!RunLengthSizeInProportion(pitch * height, length)) return -1;
    ImageBuffer data(length);
    if (data.data() == nullptr || !in.Read(data.data(), length)) return -1;
    if (AllocGraphImagePixels(out, width, height, pitch, 1) != 0) return -1;
    ForPixelBytes(bytes, [&](auto b) {
      DecodeRunLength<b()>(data.data(), length, mapped ? map : nullptr, total, out->Pixels);
    });
  }
  SetFormat(bits, &out->Format);
  Reorient(out, (h[17] & 0x20) == 0, (h[17] & 0x10) != 0);
  return guard.Keep();
}
