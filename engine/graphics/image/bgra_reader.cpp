#include "engine/graphics/image/bgra_reader.h"

#include <cstring>

#include "engine/graphics/image/image_stream.h"

int DecodeBgraStream(const StreamOps* ops, StreamHandle stream, GraphImage* out) {
  std::memset(out, 0, sizeof(*out));
  ImageStream in(ops, stream);
  uint8_t header[16];
  if (!in.Valid() || !in.Read(header, sizeof(header))) return -1;
  if (std::memcmp(header, "BGRA", 4) != 0) return -1;
  const uint32_t code = LoadLe32(header + 4);
  if (code != kBgraDepth8 && code != kBgraDepth16) return -1;
  const int64_t width = LoadLeInt32(header + 8);
  const int64_t height = LoadLeInt32(header + 12);
  const int64_t pitch = width * 4;
  if (!IsGraphImageSizeAllowed(width, height, pitch)) return -1;
  const int64_t sourcePitch = code == kBgraDepth8 ? pitch : pitch * 2;
  if (in.Remaining() < sourcePitch * height) return -1;

  GraphImageGuard guard(out);
  if (AllocGraphImagePixels(out, width, height, pitch, 0) != 0) return -1;
  SetArgb32ColorFormat(&out->Format);
  if (code == kBgraDepth8) {
    if (!in.Read(out->Pixels, pitch * height)) return -1;
    return guard.Keep();
  }
  ImageBuffer row(sourcePitch);
  if (row.data() == nullptr) return -1;
  for (int64_t y = 0; y < height; ++y) {
    if (!in.Read(row.data(), sourcePitch)) return -1;
    uint8_t* dst = out->Pixels + y * pitch;
    const uint8_t* src = row.data();
    for (int64_t i = 0; i < pitch; ++i) dst[i] = src[i * 2 + 1];
  }
  return guard.Keep();
}
