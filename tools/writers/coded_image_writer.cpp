#include "tools/writers/coded_image_writer.h"

#include <png.h>

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

// The libraries report errors by longjmp: the Run* frames hold no object
// with a destructor.

namespace writers {
namespace {

struct PngJob {
  const PngFile* file;
  std::vector<uint8_t>* out;
  png_structp png;
  png_infop info;
  png_bytep* rows;
};

void AppendPng(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void FlushPng(png_structp) {}

int RunPng(PngJob* job) {
  png_structp png = job->png;
  png_infop info = job->info;
  const PngFile& file = *job->file;
  if (setjmp(png_jmpbuf(png))) return -1;
  png_set_write_fn(png, job->out, AppendPng, FlushPng);
  png_set_compression_level(png, file.level);
  png_set_IHDR(png, info, file.width, file.height, file.bit_depth, file.color_type,
               file.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[256];
  const int count = static_cast<int>(file.palette.size() < 256 ? file.palette.size() : 256);
  for (int i = 0; i < count; ++i) {
    palette[i].red = static_cast<png_byte>(file.palette[i] >> 16);
    palette[i].green = static_cast<png_byte>(file.palette[i] >> 8);
    palette[i].blue = static_cast<png_byte>(file.palette[i]);
  }
  if (count > 0) png_set_PLTE(png, info, palette, count);
  png_color_16 colour;
  std::memset(&colour, 0, sizeof(colour));
  if (!file.palette_alpha.empty()) {
    png_set_tRNS(png, info, file.palette_alpha.data(), static_cast<int>(file.palette_alpha.size()),
                 nullptr);
  } else if (file.trns_grey >= 0) {
    colour.gray = static_cast<png_uint_16>(file.trns_grey);
    png_set_tRNS(png, info, nullptr, 0, &colour);
  } else if (file.trns_rgb >= 0) {
    colour.red = static_cast<png_uint_16>((file.trns_rgb >> 16) & 0xFF);
    colour.green = static_cast<png_uint_16>((file.trns_rgb >> 8) & 0xFF);
    colour.blue = static_cast<png_uint_16>(file.trns_rgb & 0xFF);
    png_set_tRNS(png, info, nullptr, 0, &colour);
  }
  png_write_info(png, info);
  png_write_image(png, job->rows);
  png_write_end(png, info);
  return 0;
}

struct JpegError {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

void ExitJpeg(j_common_ptr cinfo) { longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }

struct JpegJob {
  const JpegFile* file;
  JpegError error;
  jpeg_compress_struct cinfo;
  unsigned char* buffer;
  unsigned long size;
  JSAMPROW* rows;
};

int RunJpeg(JpegJob* job) {
  j_compress_ptr cinfo = &job->cinfo;
  if (setjmp(job->error.jump)) return -1;
  jpeg_create_compress(cinfo);
  jpeg_mem_dest(cinfo, &job->buffer, &job->size);
  cinfo->image_width = job->file->width;
  cinfo->image_height = job->file->height;
  cinfo->input_components = job->file->components;
  cinfo->in_color_space = job->file->components == 1   ? JCS_GRAYSCALE
                          : job->file->components == 4 ? JCS_CMYK
                                                       : JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, job->file->quality, TRUE);
  if (job->file->progressive) jpeg_simple_progression(cinfo);
  jpeg_start_compress(cinfo, TRUE);
  jpeg_write_scanlines(cinfo, job->rows, job->file->height);
  jpeg_finish_compress(cinfo);
  return 0;
}

}  // namespace

std::vector<uint8_t> BuildPngFile(const PngFile& file) {
  std::vector<uint8_t> out;
  const int channels = file.color_type == 0 || file.color_type == 3 ? 1
                       : file.color_type == 4                       ? 2
                       : file.color_type == 2                       ? 3
                                                                    : 4;
  const size_t rowBytes = (size_t{file.width} * channels * file.bit_depth + 7) / 8;
  std::vector<uint8_t> rows = file.rows;
  rows.resize(rowBytes * file.height);
  std::vector<png_bytep> pointers(file.height);
  for (uint32_t y = 0; y < file.height; ++y) pointers[y] = rows.data() + rowBytes * y;
  PngJob job{&file, &out, nullptr, nullptr, pointers.data()};
  job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (job.png == nullptr) return {};
  job.info = png_create_info_struct(job.png);
  const int result = job.info != nullptr ? RunPng(&job) : -1;
  png_destroy_write_struct(&job.png, &job.info);
  if (result != 0) out.clear();
  return out;
}

std::vector<uint8_t> BuildJpegFile(const JpegFile& file) {
  std::vector<uint8_t> samples = file.samples;
  const size_t rowBytes = size_t{file.width} * file.components;
  samples.resize(rowBytes * file.height);
  std::vector<JSAMPROW> rows(file.height);
  for (uint32_t y = 0; y < file.height; ++y) rows[y] = samples.data() + rowBytes * y;
  JpegJob job{};
  job.file = &file;
  job.rows = rows.data();
  job.cinfo.err = jpeg_std_error(&job.error.pub);
  job.error.pub.error_exit = ExitJpeg;
  const int result = RunJpeg(&job);
  jpeg_destroy_compress(&job.cinfo);
  std::vector<uint8_t> out;
  if (result == 0 && job.buffer != nullptr) out.assign(job.buffer, job.buffer + job.size);
  std::free(job.buffer);
  return out;
}

namespace {

std::vector<uint8_t> Ramp(size_t count, uint32_t seed) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + seed * 13 + (i / 5));
  return bytes;
}

}  // namespace

std::vector<SampleImageFile> SamplePngFiles() {
  std::vector<SampleImageFile> files;
  auto add = [&](const std::string& name, PngFile file) {
    files.push_back({name, BuildPngFile(file)});
  };
  PngFile rgb{.width = 5, .height = 3, .color_type = 2};
  rgb.rows = Ramp(45, 1);
  add("rgb8.png", rgb);
  PngFile rgba{.width = 4, .height = 3, .color_type = 6};
  rgba.rows = Ramp(48, 2);
  add("rgba8.png", rgba);
  PngFile rgb16{.width = 3, .height = 2, .bit_depth = 16, .color_type = 2};
  rgb16.rows = Ramp(36, 3);
  add("rgb16.png", rgb16);
  PngFile pal{.width = 7, .height = 2, .bit_depth = 4, .color_type = 3};
  pal.rows = {0x01, 0x23, 0x45, 0x60, 0x65, 0x43, 0x21, 0x00};
  pal.palette = {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0, 0xFFFFFF, 0x000000};
  add("palette4.png", pal);
  pal.palette_alpha = {0, 128};
  add("palette4_trns.png", pal);
  PngFile grey1{.width = 9, .height = 2, .bit_depth = 1, .color_type = 0};
  grey1.rows = {0xA5, 0x80, 0x5A, 0x00};
  add("grey1.png", grey1);
  PngFile grey{.width = 3, .height = 2, .color_type = 0, .trns_grey = 100};
  grey.rows = {100, 7, 200, 0, 100, 255};
  add("grey8_trns.png", grey);
  PngFile greyAlpha{.width = 2, .height = 2, .color_type = 4};
  greyAlpha.rows = {10, 20, 30, 40, 50, 60, 70, 80};
  add("grey_alpha8.png", greyAlpha);
  PngFile interlaced{.width = 9, .height = 9, .color_type = 2, .interlaced = true};
  interlaced.rows = Ramp(243, 4);
  add("rgb8_interlaced.png", interlaced);
  return files;
}

std::vector<SampleImageFile> SampleJpegFiles() {
  std::vector<SampleImageFile> files;
  JpegFile rgb{.width = 17, .height = 9, .components = 3};
  rgb.samples = Ramp(17 * 9 * 3, 5);
  files.push_back({"rgb.jpg", BuildJpegFile(rgb)});
  JpegFile grey{.width = 5, .height = 4, .components = 1};
  grey.samples = Ramp(20, 6);
  files.push_back({"grey.jpg", BuildJpegFile(grey)});
  JpegFile progressive = rgb;
  progressive.progressive = true;
  files.push_back({"rgb_progressive.jpg", BuildJpegFile(progressive)});
  return files;
}

}  // namespace writers
