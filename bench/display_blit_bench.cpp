// The display surfaces' blits on 640 x 480 frames: Blt and BltFast copies
// and the keyed BltFast at 16 and 32 bits against memcpy of the same rows,
// and the 2x stretch (640 x 480 -> 1280 x 960, a window at scale 2) against
// pixman's nearest-neighbour 2x scale, each reference timed in the same run.
//
// Each of our benchmarks reports memcpy_over_ours or pixman_over_ours =
// the reference's time / ours (above 1: ours is faster); all ratios are
// printed again when the program ends.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <string>

#include "platform/display/display_device.h"
#include "platform/display/test_controls.h"
#include "engine_bench_support.h"
#include "softrender_bench_support.h"

namespace {

using namespace platform::display;
using softrender_bench::TimedNs;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "Display blits vs memcpy and pixman (time ratio, above 1 = ours faster)");
  return summary;
}

constexpr int32_t kW = 640, kH = 480;
constexpr uint32_t kKey = 0x1234;

// The display device on a 32-bit desktop, made for each benchmark from the
// library's reset state and taken down at its end.
class DisplaySetUp {
  engine_bench::FreshLibrary fresh_;

 public:
  DisplaySetUp() {
    test::SetDesktop(1024, 768, 32);
    CreateDevice(&device);
  }
  DisplaySetUp(const DisplaySetUp&) = delete;
  DisplaySetUp& operator=(const DisplaySetUp&) = delete;

  DevicePtr device;
};

PixelFormat FormatOf(int bits) { return bits == 16 ? Rgb565Format() : Xrgb8888Format(); }

// A surface of random pixels; about one in three is the key.
SurfacePtr MakeFrame(Device& device, int bits, int32_t w, int32_t h, uint32_t seed) {
  SurfaceDesc desc;
  desc.caps = kCapsOffscreenPlain | kCapsSystemMemory;
  desc.width = w;
  desc.height = h;
  desc.has_pixel_format = true;
  desc.pixel_format = FormatOf(bits);
  SurfacePtr s;
  device.CreateSurface(desc, &s);
  LockedRect lock;
  s->Lock(nullptr, 0, &lock);
  std::mt19937 rng(seed);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t v = rng() % 3 == 0 ? kKey : static_cast<uint32_t>(rng());
      std::memcpy(lock.bits + y * lock.pitch + x * (bits / 8), &v, static_cast<size_t>(bits / 8));
    }
  }
  s->Unlock();
  const ColorKey key{kKey, kKey};
  s->SetColorKey(kColorKeySourceBlt, &key);
  return s;
}

void Report(benchmark::State& state, const std::string& name, const char* counter,
            const std::string& ref) {
  const std::optional<double> ratio = Registry().Compare(state, counter, "ours " + name, ref);
  if (!ratio) return;
  char line[160];
  std::snprintf(line, sizeof line, "%-26s %s %6.2f", name.c_str(), counter, *ratio);
  Registry().SetLine(name, line);
}

// memcpy of the rows a 640 x 480 copy moves, between buffers of the
// surfaces' pitches.
void BM_MemcpyRows(benchmark::State& state, int bits) {
  DisplaySetUp display;
  SurfacePtr src = MakeFrame(*display.device, bits, kW, kH, 1), dst = MakeFrame(*display.device, bits, kW, kH, 2);
  LockedRect s, d;
  src->Lock(nullptr, kLockReadOnly, &s);
  dst->Lock(nullptr, 0, &d);
  const size_t row = static_cast<size_t>(kW) * static_cast<size_t>(bits / 8);
  const double ns = TimedNs(state, [&] {
    for (int32_t y = 0; y < kH; ++y) std::memcpy(d.bits + y * d.pitch, s.bits + y * s.pitch, row);
    benchmark::ClobberMemory();
  });
  src->Unlock();
  dst->Unlock();
  Registry().Record("memcpy " + std::to_string(bits), ns);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(row) * kH);
}

enum class Copy { kBlt, kBltFast, kBltFastKeyed };

void BM_Copy(benchmark::State& state, Copy how, int bits, std::string name) {
  DisplaySetUp display;
  SurfacePtr src = MakeFrame(*display.device, bits, kW, kH, 1), dst = MakeFrame(*display.device, bits, kW, kH, 2);
  const double ns = TimedNs(state, [&] {
    switch (how) {
      case Copy::kBlt:
        dst->Blt(nullptr, src.get(), nullptr, kBltWait, nullptr);
        break;
      case Copy::kBltFast:
        dst->BltFast(0, 0, src.get(), nullptr, kBltFastWait);
        break;
      case Copy::kBltFastKeyed:
        dst->BltFast(0, 0, src.get(), nullptr, kBltFastWait | kBltFastSourceColorKey);
        break;
    }
    benchmark::ClobberMemory();
  });
  Registry().Record("ours " + name, ns);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kW) * kH * (bits / 8));
  Report(state, name, "memcpy_over_ours", "memcpy " + std::to_string(bits));
}

void BM_StretchOurs(benchmark::State& state, int bits, std::string name) {
  DisplaySetUp display;
  SurfacePtr src = MakeFrame(*display.device, bits, kW, kH, 1), dst = MakeFrame(*display.device, bits, 2 * kW, 2 * kH, 2);
  const double ns = TimedNs(state, [&] {
    dst->Blt(nullptr, src.get(), nullptr, kBltWait, nullptr);
    benchmark::ClobberMemory();
  });
  Registry().Record("ours " + name, ns);
  state.SetItemsProcessed(state.iterations() * 4 * kW * kH);
  Report(state, name, "pixman_over_ours", "pixman " + name);
}

void BM_StretchPixman(benchmark::State& state, int bits, std::string name) {
  DisplaySetUp display;
  SurfacePtr src = MakeFrame(*display.device, bits, kW, kH, 1), dst = MakeFrame(*display.device, bits, 2 * kW, 2 * kH, 2);
  LockedRect s, d;
  src->Lock(nullptr, kLockReadOnly, &s);
  dst->Lock(nullptr, 0, &d);
  const pixman_format_code_t format = bits == 16 ? PIXMAN_r5g6b5 : PIXMAN_x8r8g8b8;
  pixman_image_t* ps = pixman_image_create_bits(format, kW, kH, reinterpret_cast<uint32_t*>(s.bits), s.pitch);
  pixman_image_t* pd =
      pixman_image_create_bits(format, 2 * kW, 2 * kH, reinterpret_cast<uint32_t*>(d.bits), d.pitch);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
  pixman_image_set_transform(ps, &t);
  pixman_image_set_filter(ps, PIXMAN_FILTER_NEAREST, nullptr, 0);
  const double ns = TimedNs(state, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, ps, nullptr, pd, 0, 0, 0, 0, 0, 0, 2 * kW, 2 * kH);
    benchmark::ClobberMemory();
  });
  pixman_image_unref(ps);
  pixman_image_unref(pd);
  src->Unlock();
  dst->Unlock();
  Registry().Record("pixman " + name, ns);
  state.SetItemsProcessed(state.iterations() * 4 * kW * kH);
  Report(state, name, "pixman_over_ours", "pixman " + name);
}

int RegisterAll() {
  for (int bits : {16, 32}) {
    const std::string b = std::to_string(bits);
    benchmark::RegisterBenchmark(("Display/memcpy/" + b).c_str(), BM_MemcpyRows, bits);
    benchmark::RegisterBenchmark(("Display/Blt copy " + b).c_str(), BM_Copy, Copy::kBlt, bits,
                                 "Blt copy " + b);
    benchmark::RegisterBenchmark(("Display/BltFast copy " + b).c_str(), BM_Copy, Copy::kBltFast,
                                 bits, "BltFast copy " + b);
    benchmark::RegisterBenchmark(("Display/BltFast keyed " + b).c_str(), BM_Copy,
                                 Copy::kBltFastKeyed, bits, "BltFast keyed " + b);
    benchmark::RegisterBenchmark(("Display/pixman/2x stretch " + b).c_str(), BM_StretchPixman, bits,
                                 "Blt 2x stretch " + b);
    benchmark::RegisterBenchmark(("Display/Blt 2x stretch " + b).c_str(), BM_StretchOurs, bits,
                                 "Blt 2x stretch " + b);
  }
  return 0;
}
const int kRegistered = RegisterAll();

}  // namespace
