#include "tools/writers/image_file_writer.h"

#include <algorithm>
#include <cstdlib>

namespace writers {

namespace {

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutText(std::vector<uint8_t>& out, const std::string& text, size_t size) {
  for (size_t i = 0; i < size; ++i) out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

uint32_t PixelAt(const std::vector<uint32_t>& pixels, size_t index) {
  return index < pixels.size() ? pixels[index] : 0;
}

// One stored BMP row of `bits` bits a pixel, padded to 4 bytes.
void PutBmpRow(std::vector<uint8_t>& out, const std::vector<uint32_t>& pixels, size_t first,
               int width, int bits) {
  const size_t start = out.size();
  if (bits < 8) {
    uint32_t acc = 0;
    int filled = 0;
    for (int x = 0; x < width; ++x) {
      acc = (acc << bits) | (PixelAt(pixels, first + x) & ((1u << bits) - 1));
      filled += bits;
      if (filled == 8) {
        out.push_back(static_cast<uint8_t>(acc));
        acc = 0;
        filled = 0;
      }
    }
    if (filled > 0) out.push_back(static_cast<uint8_t>(acc << (8 - filled)));
  } else {
    for (int x = 0; x < width; ++x) Put(out, PixelAt(pixels, first + x), bits / 8);
  }
  while ((out.size() - start) % 4 != 0) out.push_back(0);
}

// Runs of equal indices of one row, each at most 255 pixels long.
template <typename EmitRun>
void ForEachRun(const std::vector<uint32_t>& pixels, size_t first, int width, EmitRun emit) {
  int x = 0;
  while (x < width) {
    const uint32_t value = PixelAt(pixels, first + x);
    int run = 1;
    while (x + run < width && run < 255 && PixelAt(pixels, first + x + run) == value) ++run;
    emit(run, value);
    x += run;
  }
}

std::vector<uint8_t> EncodeBmpRle(int width, int height, const std::vector<uint32_t>& pixels,
                                  bool fourBits) {
  std::vector<uint8_t> out;
  for (int r = 0; r < height; ++r) {
    const size_t first = static_cast<size_t>(height - 1 - r) * width;
    ForEachRun(pixels, first, width, [&](int run, uint32_t value) {
      out.push_back(static_cast<uint8_t>(run));
      out.push_back(static_cast<uint8_t>(fourBits ? ((value & 15) << 4) | (value & 15) : value));
    });
    out.push_back(0);
    out.push_back(r + 1 < height ? 0 : 1);
  }
  return out;
}

}  // namespace

std::vector<uint8_t> PackPixelRows(const std::vector<uint32_t>& pixels, int width, int bytes,
                                   int pitch) {
  std::vector<uint8_t> out;
  if (width <= 0) return out;
  const size_t rows = (pixels.size() + width - 1) / width;
  for (size_t r = 0; r < rows; ++r) {
    const size_t start = out.size();
    for (int x = 0; x < width; ++x) Put(out, PixelAt(pixels, r * width + x), bytes);
    while (pitch > 0 && out.size() - start < static_cast<size_t>(pitch)) out.push_back(0);
  }
  return out;
}

std::vector<uint8_t> EncodeBmpRle8(int width, int height, const std::vector<uint32_t>& pixels) {
  return EncodeBmpRle(width, height, pixels, false);
}

std::vector<uint8_t> EncodeBmpRle4(int width, int height, const std::vector<uint32_t>& pixels) {
  return EncodeBmpRle(width, height, pixels, true);
}

std::vector<uint8_t> BuildBmpFile(const BmpFile& file) {
  // Rows are generated only for sizes a test would write out.
  const int64_t magnitude = std::llabs(int64_t{file.height});
  const int height = magnitude <= 65536 ? static_cast<int>(magnitude) : 0;
  std::vector<uint8_t> pixels = file.data;
  if (pixels.empty()) {
    if (file.compression == 1 && file.height > 0) {
      pixels = EncodeBmpRle8(file.width, height, file.pixels);
    } else if (file.compression == 2 && file.height > 0) {
      pixels = EncodeBmpRle4(file.width, height, file.pixels);
    } else {
      for (int r = 0; r < height; ++r) {
        const int row = file.height > 0 ? height - 1 - r : r;
        PutBmpRow(pixels, file.pixels, static_cast<size_t>(row) * file.width, file.width,
                  file.bits);
      }
    }
  }

  std::vector<uint8_t> info;
  Put(info, file.header_size, 4);
  Put(info, static_cast<uint32_t>(file.width), 4);
  Put(info, static_cast<uint32_t>(file.height), 4);
  Put(info, 1, 2);
  Put(info, file.bits, 2);
  Put(info, file.compression, 4);
  Put(info, static_cast<uint32_t>(pixels.size()), 4);
  Put(info, 2835, 4);
  Put(info, 2835, 4);
  Put(info, file.colors_used, 4);
  Put(info, 0, 4);
  for (uint32_t mask : file.masks) Put(info, mask, 4);
  while (info.size() < file.header_size) info.push_back(0);
  for (uint32_t entry : file.palette) Put(info, entry, 4);

  const size_t natural = 14 + info.size();
  const size_t offset = file.pixel_offset >= 0 ? static_cast<size_t>(file.pixel_offset) : natural;
  std::vector<uint8_t> out;
  PutText(out, file.magic, 2);
  Put(out, static_cast<uint32_t>(std::max(offset, natural) + pixels.size()), 4);
  Put(out, 0, 4);
  Put(out, static_cast<uint32_t>(offset), 4);
  out.insert(out.end(), info.begin(), info.end());
  while (out.size() < offset) out.push_back(0);
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

std::vector<uint8_t> BuildBgraFile(const BgraFile& file) {
  std::vector<uint8_t> out;
  PutText(out, file.magic, 4);
  Put(out, file.code, 4);
  Put(out, static_cast<uint32_t>(file.width), 4);
  Put(out, static_cast<uint32_t>(file.height), 4);
  out.insert(out.end(), file.data.begin(), file.data.end());
  return out;
}

std::vector<uint8_t> BuildTgaFile(const TgaFile& file) {
  const bool mapped = file.type == 1 || file.type == 9;
  const int unit = std::max(1, file.pixel_bits / 8);
  std::vector<uint8_t> out;
  out.push_back(static_cast<uint8_t>(file.id.size()));
  out.push_back(file.color_map_type);
  out.push_back(file.type);
  Put(out, file.first_entry, 2);
  Put(out, static_cast<uint32_t>(file.color_map.size()), 2);
  out.push_back(file.map_entry_bits);
  Put(out, file.x_origin, 2);
  Put(out, file.y_origin, 2);
  Put(out, static_cast<uint32_t>(file.width), 2);
  Put(out, static_cast<uint32_t>(file.height), 2);
  out.push_back(file.pixel_bits);
  out.push_back(file.descriptor);
  out.insert(out.end(), file.id.begin(), file.id.end());
  for (uint32_t entry : file.color_map) Put(out, entry, std::max(1, (file.map_entry_bits + 7) / 8));

  if (!file.data.empty()) {
    out.insert(out.end(), file.data.begin(), file.data.end());
  } else {
    // Values in stored order.
    const int w = std::max(0, file.width & 0xFFFF);
    const int h = std::max(0, file.height & 0xFFFF);
    std::vector<uint32_t> stored;
    for (int r = 0; r < h; ++r) {
      const int row = (file.descriptor & 0x20) ? r : h - 1 - r;
      for (int c = 0; c < w; ++c) {
        const int column = (file.descriptor & 0x10) ? w - 1 - c : c;
        stored.push_back(PixelAt(file.pixels, static_cast<size_t>(row) * w + column));
      }
    }
    const int bytes = mapped ? 1 : unit;
    if (file.type == 9 || file.type == 10) {
      size_t i = 0;
      while (i < stored.size()) {
        size_t run = 1;
        while (i + run < stored.size() && run < 128 && stored[i + run] == stored[i]) ++run;
        if (run > 1) {
          out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
          Put(out, stored[i], bytes);
          i += run;
          continue;
        }
        size_t raw = 1;
        while (i + raw < stored.size() && raw < 128 &&
               (i + raw + 1 >= stored.size() || stored[i + raw] != stored[i + raw + 1])) {
          ++raw;
        }
        out.push_back(static_cast<uint8_t>(raw - 1));
        for (size_t k = 0; k < raw; ++k) Put(out, stored[i + k], bytes);
        i += raw;
      }
    } else {
      for (uint32_t v : stored) Put(out, v, bytes);
    }
  }
  if (file.footer) {
    Put(out, file.footer_extension_offset, 4);
    Put(out, 0, 4);
    PutText(out, "TRUEVISION-XFILE.", 18);
  }
  return out;
}

std::vector<uint8_t> BuildDdsFile(const DdsFile& file) {
  std::vector<uint8_t> out;
  PutText(out, file.magic, 4);
  Put(out, 124, 4);
  Put(out, file.flags, 4);
  Put(out, file.height, 4);
  Put(out, file.width, 4);
  Put(out, file.pitch, 4);
  Put(out, 0, 4);  // depth
  Put(out, 0, 4);  // mipmap count
  for (int i = 0; i < 11; ++i) Put(out, 0, 4);
  Put(out, 32, 4);
  Put(out, file.pixel_flags, 4);
  Put(out, file.four_cc, 4);
  Put(out, file.bit_count, 4);
  for (uint32_t mask : file.masks) Put(out, mask, 4);
  Put(out, 0x1000, 4);  // texture
  for (int i = 0; i < 4; ++i) Put(out, 0, 4);
  out.insert(out.end(), file.data.begin(), file.data.end());
  return out;
}

namespace {

// A w x h pattern of distinct values inside `mask`.
std::vector<uint32_t> Pattern(int w, int h, uint32_t mask, uint32_t step = 0x2F1D37u) {
  std::vector<uint32_t> p(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint32_t>((i + 1) * step) & mask;
  return p;
}

std::vector<uint32_t> Ramp(int count) {
  std::vector<uint32_t> palette;
  for (int i = 0; i < count; ++i) {
    const uint32_t v = static_cast<uint32_t>(i * 255 / std::max(1, count - 1));
    palette.push_back(v << 16 | (255 - v) << 8 | (v * 7 & 0xFF));
  }
  return palette;
}

}  // namespace

std::vector<SampleImageFile> SampleBmpFiles() {
  std::vector<SampleImageFile> files;
  auto add = [&](const std::string& name, const BmpFile& f) {
    files.push_back({name, BuildBmpFile(f)});
  };
  BmpFile rgb;
  rgb.width = 5;
  rgb.height = 3;
  rgb.pixels = Pattern(5, 3, 0xFFFFFF);
  add("rgb24_bottom_up.bmp", rgb);
  rgb.height = -3;
  add("rgb24_top_down.bmp", rgb);

  BmpFile pal8;
  pal8.width = 6;
  pal8.height = 4;
  pal8.bits = 8;
  pal8.palette = Ramp(256);
  pal8.pixels = {1, 1, 1, 1, 2, 3, 4, 4, 4, 5, 5, 5, 9, 8, 7, 6, 5, 4, 200, 200, 200, 200, 200, 200};
  add("pal8.bmp", pal8);
  pal8.compression = 1;
  add("rle8.bmp", pal8);
  pal8.compression = 0;
  pal8.header_size = 124;
  add("pal8_v5_header.bmp", pal8);

  BmpFile pal4;
  pal4.width = 7;
  pal4.height = 3;
  pal4.bits = 4;
  pal4.palette = Ramp(16);
  pal4.pixels = {0, 1, 2, 3, 4, 5, 6, 7, 7, 7, 7, 8, 9, 10, 15, 15, 15, 15, 15, 15, 14};
  add("pal4.bmp", pal4);
  pal4.compression = 2;
  add("rle4.bmp", pal4);

  BmpFile mono;
  mono.width = 11;
  mono.height = 2;
  mono.bits = 1;
  mono.palette = {0x102030, 0xF0E0D0};
  mono.pixels = Pattern(11, 2, 1, 0x9E3779B9u >> 3);
  add("mono.bmp", mono);

  BmpFile x555;
  x555.width = 3;
  x555.height = 2;
  x555.bits = 16;
  x555.pixels = Pattern(3, 2, 0x7FFF);
  add("rgb555.bmp", x555);
  x555.compression = 3;
  x555.masks = {0xF800, 0x7E0, 0x1F};
  x555.pixels = Pattern(3, 2, 0xFFFF);
  add("rgb565_bitfields.bmp", x555);

  BmpFile x888;
  x888.width = 3;
  x888.height = 2;
  x888.bits = 32;
  x888.pixels = Pattern(3, 2, 0xFFFFFFFF);
  add("xrgb32.bmp", x888);
  x888.compression = 3;
  x888.header_size = 108;
  x888.masks = {0xFF, 0xFF00, 0xFF0000, 0xFF000000};
  add("xbgr32_v4_bitfields.bmp", x888);
  return files;
}

std::vector<SampleImageFile> SampleBgraFiles() {
  std::vector<SampleImageFile> files;
  BgraFile eight;
  eight.width = 3;
  eight.height = 2;
  eight.data = PackPixelRows(Pattern(3, 2, 0xFFFFFFFF), 3, 4);
  files.push_back({"depth8.bgra", BuildBgraFile(eight)});
  BgraFile sixteen = eight;
  sixteen.code = 0x10101010;
  sixteen.data = PackPixelRows(Pattern(6, 2, 0xFFFFFFFF), 6, 4);
  files.push_back({"depth16.bgra", BuildBgraFile(sixteen)});
  return files;
}

std::vector<SampleImageFile> SampleTgaFiles() {
  std::vector<SampleImageFile> files;
  auto add = [&](const std::string& name, const TgaFile& f) {
    files.push_back({name, BuildTgaFile(f)});
  };
  TgaFile rgb;
  rgb.width = 4;
  rgb.height = 3;
  rgb.pixels = {1, 1, 1, 2, 3, 4, 5, 5, 5, 5, 6, 7};
  for (auto& p : rgb.pixels) p *= 0x010203;
  add("rgb24_top_down.tga", rgb);
  rgb.descriptor = 0x10;
  rgb.id = "sample";
  add("rgb24_bottom_up_right_to_left.tga", rgb);
  rgb.type = 10;
  rgb.footer = true;
  add("rgb24_run_length_footer.tga", rgb);

  TgaFile argb = rgb;
  argb.type = 10;
  argb.pixel_bits = 32;
  argb.descriptor = 0x28;
  argb.footer = false;
  for (auto& p : argb.pixels) p |= 0x80000000u;
  add("argb32_run_length.tga", argb);

  TgaFile x1555;
  x1555.width = 3;
  x1555.height = 2;
  x1555.pixel_bits = 16;
  x1555.pixels = Pattern(3, 2, 0xFFFF);
  add("argb1555.tga", x1555);

  TgaFile mapped;
  mapped.type = 1;
  mapped.width = 4;
  mapped.height = 2;
  mapped.pixel_bits = 8;
  mapped.color_map_type = 1;
  mapped.first_entry = 2;
  mapped.map_entry_bits = 24;
  mapped.color_map = {0x112233, 0x445566, 0x778899};
  mapped.pixels = {2, 3, 4, 4, 4, 4, 3, 2};
  add("mapped24.tga", mapped);
  mapped.type = 9;
  add("mapped24_run_length.tga", mapped);
  return files;
}

std::vector<SampleImageFile> SampleDdsFiles() {
  std::vector<SampleImageFile> files;
  DdsFile argb;
  argb.width = 3;
  argb.height = 2;
  argb.data = PackPixelRows(Pattern(3, 2, 0xFFFFFFFF), 3, 4);
  files.push_back({"argb32_masks.dds", BuildDdsFile(argb)});

  DdsFile pitched = argb;
  pitched.flags |= 0x8;
  pitched.pitch = 16;
  pitched.data = PackPixelRows(Pattern(3, 2, 0xFFFFFFFF), 3, 4, 16);
  files.push_back({"argb32_pitch.dds", BuildDdsFile(pitched)});

  DdsFile r565;
  r565.width = 3;
  r565.height = 2;
  r565.pixel_flags = 0x4;
  r565.four_cc = 23;
  r565.bit_count = 0;
  for (auto& m : r565.masks) m = 0;
  r565.data = PackPixelRows(Pattern(3, 2, 0xFFFF), 3, 2);
  files.push_back({"code23_r5g6b5.dds", BuildDdsFile(r565)});

  DdsFile r332 = r565;
  r332.four_cc = 27;
  r332.data = PackPixelRows(Pattern(3, 2, 0xFF), 3, 1);
  files.push_back({"code27_r3g3b2.dds", BuildDdsFile(r332)});

  DdsFile a2 = r565;
  a2.four_cc = 31;
  a2.data = PackPixelRows(Pattern(3, 2, 0xFFFFFFFF), 3, 4);
  files.push_back({"code31_a2b10g10r10.dds", BuildDdsFile(a2)});
  return files;
}

}  // namespace writers
