// Speed of the PNG and JPEG readers on 640 x 480 pictures decoded from
// memory, each beside the library's own simple decoding of the same bytes in
// the same run: libpng's simplified interface (png_image_*) for PNG, a plain
// libjpeg decode from memory for JPEG, both to blue-green-red order. The
// counter "speed_vs_lib" is the reference's time divided by ours (1.0: as
// fast; above 1: faster).
#include <benchmark/benchmark.h>

#include <png.h>

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <cstring>
#include <vector>

#include "engine/core/files/file_stream.h"
#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/image/jpeg_codec.h"
#include "engine/graphics/image/png_codec.h"
#include "platform/clock.h"
#include "tools/writers/coded_image_writer.h"

namespace {

constexpr uint32_t kWidth = 640;
constexpr uint32_t kHeight = 480;

// Smooth bands with noisy stretches, `channels` bytes a pixel.
std::vector<uint8_t> Picture(int channels) {
  std::vector<uint8_t> bytes(size_t{kWidth} * kHeight * channels);
  uint32_t state = 12345;
  size_t i = 0;
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (uint32_t x = 0; x < kWidth; ++x) {
      state = state * 1103515245u + 12345u;
      const bool noisy = (x / 16 + y / 8) % 5 == 0;
      for (int c = 0; c < channels; ++c) {
        bytes[i++] = static_cast<uint8_t>(noisy ? state >> (8 + c * 3) : (x + y * (c + 1)) / 4);
      }
    }
  }
  return bytes;
}

bool ReferencePng(const std::vector<uint8_t>& file, int channels, std::vector<uint8_t>* out) {
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return false;
  image.format = channels == 4 ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  out->resize(PNG_IMAGE_SIZE(image));
  const bool ok = png_image_finish_read(&image, nullptr, out->data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

bool ReferenceJpeg(const std::vector<uint8_t>& file, std::vector<uint8_t>* out) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  const size_t pitch = size_t{cinfo.output_width} * 3;
  out->resize(pitch * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out->data() + pitch * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

template <typename Reference>
void RunSideBySide(benchmark::State& state, const std::vector<uint8_t>& file,
                   int (*reader)(const StreamOps*, StreamHandle, GraphImage*), Reference reference) {
  const StreamOps* ops = GetMemoryStreamOps();
  platform::Clock& clock = platform::GetClock();
  std::vector<uint8_t> referenceOut;
  uint64_t oursUs = 0, referenceUs = 0;
  for (auto _ : state) {
    MemoryStream* stream = OpenMemoryStream(file.data(), static_cast<int32_t>(file.size()));
    GraphImage image{};
    const uint64_t t0 = clock.Microseconds();
    const int result = reader(ops, MemoryStreamHandle(stream), &image);
    benchmark::DoNotOptimize(image.Pixels);
    const uint64_t t1 = clock.Microseconds();
    const bool referenceOk = reference(file, &referenceOut);
    benchmark::DoNotOptimize(referenceOut.data());
    const uint64_t t2 = clock.Microseconds();
    state.PauseTiming();
    ops->close(MemoryStreamHandle(stream));
    ReleaseGraphImage(&image);
    if (result != 0 || !referenceOk) {
      state.SkipWithError("file refused");
      break;
    }
    state.ResumeTiming();
    oursUs += t1 - t0;
    referenceUs += t2 - t1;
  }
  state.counters["speed_vs_lib"] =
      oursUs == 0 ? 0.0 : static_cast<double>(referenceUs) / static_cast<double>(oursUs);
}

void BM_DecodePngRgb(benchmark::State& state) {
  writers::PngFile png{.width = kWidth, .height = kHeight, .color_type = 2};
  png.rows = Picture(3);
  const std::vector<uint8_t> file = writers::BuildPngFile(png);
  RunSideBySide(state, file, DecodePngStream, [](const std::vector<uint8_t>& f, std::vector<uint8_t>* out) {
    return ReferencePng(f, 3, out);
  });
}
BENCHMARK(BM_DecodePngRgb)->Unit(benchmark::kMillisecond);

void BM_DecodePngRgba(benchmark::State& state) {
  writers::PngFile png{.width = kWidth, .height = kHeight, .color_type = 6};
  png.rows = Picture(4);
  const std::vector<uint8_t> file = writers::BuildPngFile(png);
  RunSideBySide(state, file, DecodePngStream, [](const std::vector<uint8_t>& f, std::vector<uint8_t>* out) {
    return ReferencePng(f, 4, out);
  });
}
BENCHMARK(BM_DecodePngRgba)->Unit(benchmark::kMillisecond);

void BM_DecodeJpegRgb(benchmark::State& state) {
  writers::JpegFile jpeg{.width = kWidth, .height = kHeight, .components = 3, .quality = 85};
  jpeg.samples = Picture(3);
  const std::vector<uint8_t> file = writers::BuildJpegFile(jpeg);
  RunSideBySide(state, file, DecodeJpegStream, ReferenceJpeg);
}
BENCHMARK(BM_DecodeJpegRgb)->Unit(benchmark::kMillisecond);

}  // namespace
