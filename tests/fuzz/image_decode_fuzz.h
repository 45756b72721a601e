// Shared body of the image-reader fuzz targets: untrusted bytes, with a
// reader's magic written over their start so that the fuzzer stays in that
// reader, decoded through a memory stream by the whole reader list. An
// accepted image must be within the decoded-image limits and every pixel
// row must be readable; a refused one must be empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/core/files/file_stream.h"
#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/image/image_reader.h"

inline int FuzzDecodeImage(const uint8_t* data, size_t size, const char* magic) {
  if (size > 0x7FFFFFFF) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  const size_t magicLength = std::strlen(magic);
  for (size_t i = 0; i < magicLength && i < size; ++i) bytes[i] = static_cast<uint8_t>(magic[i]);
  MemoryStream* stream = OpenMemoryStream(bytes.data(), static_cast<int32_t>(bytes.size()));
  if (stream == nullptr) return 0;
  const StreamOps* ops = GetMemoryStreamOps();
  GraphImage image;
  std::memset(&image, 0xA5, sizeof(image));
  const int result = DecodeImageStream(ops, MemoryStreamHandle(stream), &image);
  ops->close(MemoryStreamHandle(stream));
  if (result != 0) {
    if (image.Pixels != nullptr || image.Width != 0) __builtin_trap();
    return 0;
  }
  if (!IsGraphImageSizeAllowed(image.Width, image.Height, image.Pitch) ||
      int64_t{image.Width} * image.Format.PixelByte > image.Pitch || image.Pixels == nullptr) {
    __builtin_trap();
  }
  uint32_t sum = 0;
  for (int y = 0; y < image.Height; ++y) {
    sum += image.Pixels[int64_t{y} * image.Pitch];
    sum += image.Pixels[int64_t{y} * image.Pitch + image.Pitch - 1];
  }
  int r = 0, g = 0, b = 0, a = 0;
  GetGraphImagePixel(&image, image.Width - 1, image.Height - 1, &r, &g, &b, &a);
  if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255 || a < 0 || a > 255) {
    __builtin_trap();
  }
  ReverseGraphImage(&image);
  ReleaseGraphImage(&image);
  volatile uint32_t sink = sum;
  (void)sink;
  return 0;
}
