// PNG frames through libpng's simplified interface.
#include "png_frame.h"

#include <png.h>

#include <cstdlib>
#include <cstring>

namespace d3d_test {

bool WritePng(const std::string& path, const Frame& frame) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(frame.width);
  image.height = static_cast<png_uint_32>(frame.height);
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> bytes;
  for (uint32_t p : frame.rgb) {
    bytes.push_back(static_cast<uint8_t>(p >> 16));
    bytes.push_back(static_cast<uint8_t>(p >> 8));
    bytes.push_back(static_cast<uint8_t>(p));
  }
  return png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr) != 0;
}

bool ReadPng(const std::string& path, Frame* frame) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  if (image.width > 4096 || image.height > 4096) {
    png_image_free(&image);
    return false;
  }
  std::vector<uint8_t> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return false;
  frame->width = static_cast<int32_t>(image.width);
  frame->height = static_cast<int32_t>(image.height);
  frame->rgb.clear();
  for (size_t i = 0; i + 2 < bytes.size(); i += 3) {
    frame->rgb.push_back(uint32_t{bytes[i]} << 16 | uint32_t{bytes[i + 1]} << 8 | bytes[i + 2]);
  }
  return true;
}

int32_t CountDifferences(const Frame& a, const Frame& b, int tolerance) {
  if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size()) {
    return a.width * a.height + 1;
  }
  int32_t count = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      const int d = static_cast<int>((a.rgb[i] >> shift) & 0xFF) - static_cast<int>((b.rgb[i] >> shift) & 0xFF);
      if (std::abs(d) > tolerance) {
        ++count;
        break;
      }
    }
  }
  return count;
}

}  // namespace d3d_test
