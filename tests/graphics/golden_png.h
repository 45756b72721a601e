// Golden frames for the end-to-end draw tests: 0x00RRGGBB pixels written to
// and read from 8-bit RGB PNG files with libpng. VESK_UPDATE_GOLDEN=1 makes
// CompareWithGolden write the frame instead of comparing.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace golden {

struct Frame {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;
};

inline bool WritePng(const std::string& path, const Frame& f) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(out);
    return false;
  }
  png_init_io(png, out);
  png_set_IHDR(png, info, static_cast<png_uint_32>(f.width), static_cast<png_uint_32>(f.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<size_t>(f.width) * 3);
  for (int y = 0; y < f.height; ++y) {
    for (int x = 0; x < f.width; ++x) {
      const uint32_t v = f.rgb[static_cast<size_t>(y) * f.width + x];
      row[x * 3] = static_cast<png_byte>(v >> 16);
      row[x * 3 + 1] = static_cast<png_byte>(v >> 8);
      row[x * 3 + 2] = static_cast<png_byte>(v);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(out);
  return true;
}

inline bool ReadPng(const std::string& path, Frame* f) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return false;
  f->width = static_cast<int>(image.width);
  f->height = static_cast<int>(image.height);
  f->rgb.resize(static_cast<size_t>(f->width) * f->height);
  for (size_t i = 0; i < f->rgb.size(); ++i) {
    f->rgb[i] = static_cast<uint32_t>(bytes[i * 3] << 16 | bytes[i * 3 + 1] << 8 | bytes[i * 3 + 2]);
  }
  return true;
}

// VESK_UPDATE_GOLDEN=1: the tests write their expected files anew.
inline bool UpdateRequested() {
  const char* update = std::getenv("VESK_UPDATE_GOLDEN");
  return update != nullptr && std::string(update) == "1";
}

// "" when the frame equals the golden one, else what differs.
inline std::string CompareWithGolden(const std::string& path, const Frame& f) {
  if (UpdateRequested()) return WritePng(path, f) ? "" : "cannot write " + path;
  Frame expected;
  if (!ReadPng(path, &expected)) return "cannot read " + path;
  if (expected.width != f.width || expected.height != f.height) return "size differs";
  for (size_t i = 0; i < f.rgb.size(); ++i) {
    if (f.rgb[i] != expected.rgb[i]) {
      char text[96];
      std::snprintf(text, sizeof text, "first difference at (%d, %d): %06x instead of %06x",
                    static_cast<int>(i % f.width), static_cast<int>(i / f.width), f.rgb[i],
                    expected.rgb[i]);
      return text;
    }
  }
  return "";
}

}  // namespace golden
