// Speed of the image readers on a 640 x 480 picture decoded from memory,
// each beside a memcpy of the decoded image's bytes in the same run. The
// counter "x_memcpy" is the decode's time divided by the memcpy's.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "engine/core/files/file_stream.h"
#include "engine/graphics/image/bgra_reader.h"
#include "engine/graphics/image/bmp_reader.h"
#include "engine/graphics/image/dds_reader.h"
#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/image/image_reader.h"
#include "engine/graphics/image/tga_reader.h"
#include "platform/clock.h"
#include "tools/writers/image_file_writer.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// Bands of one value broken by short noisy stretches, so that run-length
// coders get both runs and literals; values kept inside `mask`.
std::vector<uint32_t> Picture(uint32_t mask) {
  std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
  uint32_t state = 12345;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      state = state * 1103515245u + 12345u;
      const bool noisy = (x / 16 + y / 8) % 5 == 0;
      const uint32_t band = static_cast<uint32_t>(y / 24) * 0x3C1F27u;
      pixels[static_cast<size_t>(y) * kWidth + x] = (noisy ? state >> 8 : band) & mask;
    }
  }
  return pixels;
}

void RunDecode(benchmark::State& state, const std::vector<uint8_t>& file, ImageReader reader) {
  const StreamOps* ops = GetMemoryStreamOps();
  platform::Clock& clock = platform::GetClock();
  std::vector<uint8_t> copy;
  uint64_t decodeUs = 0, memcpyUs = 0;
  int64_t bytes = 0;
  for (auto _ : state) {
    MemoryStream* stream = OpenMemoryStream(file.data(), static_cast<int32_t>(file.size()));
    GraphImage image{};
    const uint64_t t0 = clock.Microseconds();
    const int result = reader(ops, MemoryStreamHandle(stream), &image);
    benchmark::DoNotOptimize(image.Pixels);
    const uint64_t t1 = clock.Microseconds();
    state.PauseTiming();
    ops->close(MemoryStreamHandle(stream));
    if (result != 0) {
      state.SkipWithError("file refused");
      break;
    }
    bytes = int64_t{image.Pitch} * image.Height;
    copy.resize(static_cast<size_t>(bytes));
    const uint64_t t2 = clock.Microseconds();
    std::memcpy(copy.data(), image.Pixels, copy.size());
    benchmark::ClobberMemory();
    const uint64_t t3 = clock.Microseconds();
    ReleaseGraphImage(&image);
    state.ResumeTiming();
    decodeUs += t1 - t0;
    memcpyUs += t3 - t2;
  }
  state.counters["x_memcpy"] =
      memcpyUs == 0 ? 0.0 : static_cast<double>(decodeUs) / static_cast<double>(memcpyUs);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}

std::vector<uint32_t> Grey(int count) {
  std::vector<uint32_t> palette;
  for (int i = 0; i < count; ++i) palette.push_back(static_cast<uint32_t>(i * 255 / (count - 1)) * 0x010101u);
  return palette;
}

writers::BmpFile Bmp(int bits, uint32_t mask) {
  writers::BmpFile f;
  f.width = kWidth;
  f.height = kHeight;
  f.bits = static_cast<uint16_t>(bits);
  if (bits <= 8) f.palette = Grey(1 << bits);
  f.pixels = Picture(mask);
  return f;
}

void BM_Bmp24BottomUp(benchmark::State& s) {
  RunDecode(s, writers::BuildBmpFile(Bmp(24, 0xFFFFFF)), DecodeBmpStream);
}
void BM_Bmp8Rle(benchmark::State& s) {
  writers::BmpFile f = Bmp(8, 0xFF);
  f.compression = 1;
  RunDecode(s, writers::BuildBmpFile(f), DecodeBmpStream);
}
void BM_Bmp4(benchmark::State& s) { RunDecode(s, writers::BuildBmpFile(Bmp(4, 0xF)), DecodeBmpStream); }
void BM_Bmp16To24(benchmark::State& s) {
  RunDecode(s, writers::BuildBmpFile(Bmp(16, 0x7FFF)), DecodeBmpStream);
}
void BM_Bmp32To24(benchmark::State& s) {
  RunDecode(s, writers::BuildBmpFile(Bmp(32, 0xFFFFFFFF)), DecodeBmpStream);
}
void BM_Tga32RleBottomUpRightToLeft(benchmark::State& s) {
  writers::TgaFile f;
  f.type = 10;
  f.width = kWidth;
  f.height = kHeight;
  f.pixel_bits = 32;
  f.descriptor = 0x10;
  f.pixels = Picture(0xFFFFFFFF);
  RunDecode(s, writers::BuildTgaFile(f), DecodeTgaStream);
}
void BM_TgaMapped(benchmark::State& s) {
  writers::TgaFile f;
  f.type = 1;
  f.width = kWidth;
  f.height = kHeight;
  f.pixel_bits = 8;
  f.color_map_type = 1;
  f.map_entry_bits = 24;
  f.color_map = Grey(256);
  f.pixels = Picture(0xFF);
  RunDecode(s, writers::BuildTgaFile(f), DecodeTgaStream);
}
void BM_Bgra16(benchmark::State& s) {
  writers::BgraFile f;
  f.code = kBgraDepth16;
  f.width = kWidth;
  f.height = kHeight;
  f.data = writers::PackPixelRows(Picture(0xFFFFFFFF), kWidth, 4);
  f.data.insert(f.data.end(), f.data.begin(), f.data.end());
  RunDecode(s, writers::BuildBgraFile(f), DecodeBgraStream);
}
void BM_Dds32(benchmark::State& s) {
  writers::DdsFile f;
  f.width = kWidth;
  f.height = kHeight;
  f.data = writers::PackPixelRows(Picture(0xFFFFFFFF), kWidth, 4);
  RunDecode(s, writers::BuildDdsFile(f), DecodeDdsStream);
}

BENCHMARK(BM_Bmp24BottomUp);
BENCHMARK(BM_Bmp8Rle);
BENCHMARK(BM_Bmp4);
BENCHMARK(BM_Bmp16To24);
BENCHMARK(BM_Bmp32To24);
BENCHMARK(BM_Tga32RleBottomUpRightToLeft);
BENCHMARK(BM_TgaMapped);
BENCHMARK(BM_Bgra16);
BENCHMARK(BM_Dds32);

}  // namespace
