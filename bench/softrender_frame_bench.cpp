// One software frame as the map will draw it, at 16 and 32 bits: three
// 640 x 480 layers of 16 x 16 tiles with transparent pixels (drawn with the
// transparency test, through their run tables), 40 characters of 24 x 32
// with transparent pixels, and 20 pictures: stretched, rotated, tinted,
// alpha sources and mode 1 at 128, five of each kind of draw. The summary
// prints the frame's time over the time of one memcpy of the frame (goal:
// below 10).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/blt_mem_img.h"
#include "engine/softrender/rotate_blit.h"
#include "engine/softrender/stretch_blit.h"
#include "softrender_bench_support.h"

namespace {

using softrender_bench::BenchImage;
using softrender_bench::TimedNs;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "Software frame (3 tile layers, 40 characters, 20 pictures) over memcpy of one frame "
      "(goal: below 10)");
  return summary;
}

constexpr int kW = 640, kH = 480;

// Pixels from a small generator. A direct-colour image is transparent
// outside an ellipse of its own size (drawn shapes on a cleared ground, as
// tiles and characters are), and every seventh pixel inside; alpha sources
// have alpha 0, 255 and in between.
void FillPattern(BenchImage& b, uint32_t seed) {
  MEMIMG& m = *b.img;
  uint32_t x = seed * 2654435761u + 7;
  const int bytes = m.Format->PixelByte;
  for (int y = 0; y < m.Height; ++y) {
    for (int i = 0; i < m.Width; ++i) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      uint32_t v = x;
      if (m.UseAlpha) {
        const uint32_t a = (i + y) % 3 == 0 ? 0u : (i + y) % 3 == 1 ? 255u : (v >> 24) | 1u;
        v = m.Kind == 1 ? (v & 0xffffffu) | (a << 24) : (v & 0xffffu) | (a << 16);
      } else {
        const double ex = (i + 0.5) / m.Width - 0.5, ey = (y + 0.5) / m.Height - 0.5;
        const double radius = 0.36 + 0.12 * ((seed % 5) / 4.0);
        if (ex * ex + ey * ey > radius * radius || (i * 3 + y * 5 + seed) % 7 == 0) v = m.TransColor;
      }
      std::memcpy(m.Pixels + y * m.Pitch + i * bytes, &v, static_cast<size_t>(bytes));
    }
  }
}

// The run table of a direct-colour or alpha image, as its loader builds it.
void BuildRuns(BenchImage& b) {
  MEMIMG& m = *b.img;
  const int bytes = m.Format->PixelByte;
  b.runs.clear();
  for (int y = 0; y < m.Height; ++y) {
    int x = 0;
    while (x < m.Width) {
      auto cls = [&](int px) -> uint8_t {
        uint32_t v = 0;
        std::memcpy(&v, m.Pixels + y * m.Pitch + px * bytes, static_cast<size_t>(bytes));
        if (m.UseAlpha) {
          const uint32_t a = m.Kind == 1 ? v >> 24 : (v >> 16) & 0xffu;
          return a == 0 ? 0x00 : a == 255 ? 0x40 : 0x80;
        }
        return v == m.TransColor ? 0x00 : 0x40;
      };
      const uint8_t c = cls(x);
      int n = 1;
      while (x + n < m.Width && n < 64 && cls(x + n) == c) ++n;
      b.runs.push_back(static_cast<uint8_t>((n - 1) | c));
      x += n;
    }
    b.runs.push_back(0xc0);
  }
  b.runs.resize(static_cast<size_t>(m.Width + 5) * m.Height, 0xc0);
  m.RunTable = b.runs.data();
  m.RunTableValid = 1;
}

BenchImage Make(int kind, bool alpha, int w, int h, uint32_t seed, bool runs) {
  BenchImage b = softrender_bench::MakeBenchImage(kind, alpha, w, h);
  b.img->TransColor = kind == 1 ? 0x00ff00ffu : 0xf81fu;
  FillPattern(b, seed);
  if (runs) BuildRuns(b);
  return b;
}

struct Scene {
  BenchImage screen;
  std::vector<BenchImage> tiles;  // 16 kinds of tile
  BenchImage character;
  BenchImage picture, alpha_picture;
};

Scene MakeScene(int kind) {
  Scene s{Make(kind, false, kW, kH, 1, false), {}, Make(kind, false, 24, 32, 3, true),
          Make(kind, false, 96, 64, 4, false), Make(kind, true, 96, 64, 5, true)};
  for (uint32_t i = 0; i < 16; ++i) s.tiles.push_back(Make(kind, false, 16, 16, 10 + i, true));
  return s;
}

void SetBlend(int mode, int value, uint32_t bright = 0xffffff) {
  CurrentDrawState.BlendMode = mode;
  CurrentDrawState.BlendValue = value;
  CurrentDrawState.DrawBright = bright;
}

void DrawFrame(Scene& s) {
  MEMIMG* screen = s.screen.img.get();
  SetBlend(0, 255);
  for (int layer = 0; layer < 3; ++layer) {
    for (int ty = 0; ty < kH / 16; ++ty) {
      for (int tx = 0; tx < kW / 16; ++tx) {
        MEMIMG* tile = s.tiles[static_cast<size_t>((tx * 7 + ty * 3 + layer) & 15)].img.get();
        BltMemImg(screen, tile, tx * 16, ty * 16, 1, nullptr);
      }
    }
  }
  for (int i = 0; i < 40; ++i) {
    BltMemImg(screen, s.character.img.get(), (i * 61) % (kW - 24), (i * 37) % (kH - 32), 1, nullptr);
  }
  for (int i = 0; i < 5; ++i) {
    const int x = 40 + i * 110, y = 30 + i * 80;
    const ImageRect r{x, y, x + 150, y + 100};
    SetBlend(0, 255);
    BltStretchMemImg(screen, s.picture.img.get(), &r, 1, nullptr);
    BltRotateMemImg(screen, s.picture.img.get(), x + 60, y + 40, 0.4f * float(i + 1), 1.2f, 1, 0,
                    nullptr);
    SetBlend(0, 255, 0x80c0ff);
    BltMemImg(screen, s.picture.img.get(), x + 20, y + 10, 1, nullptr);
    SetBlend(0, 255);
    BltMemImg(screen, s.alpha_picture.img.get(), x + 30, y + 20, 1, nullptr);
    SetBlend(1, 128);
    BltMemImg(screen, s.picture.img.get(), x + 40, y + 30, 0, nullptr);
  }
  SetBlend(0, 255);
}

void BM_Frame(benchmark::State& state, int kind) {
  BuildBlendTables();
  ResetDrawState();
  Scene scene = MakeScene(kind);
  const double ns = TimedNs(state, [&] {
    DrawFrame(scene);
    benchmark::ClobberMemory();
  });
  ResetDrawState();
  const std::string depth = kind ? "32" : "16";
  Registry().Record("frame " + depth, ns);
  const std::optional<double> ratio =
      Registry().Compare(state, "memcpy_over_frame", "frame " + depth, "memcpy " + depth);
  if (ratio) {
    char line[160];
    std::snprintf(line, sizeof line, "frame %s bits: %8.1f us, %5.2f x memcpy of one frame",
                  depth.c_str(), ns / 1000.0, 1.0 / *ratio);
    Registry().SetLine(depth, line);
  }
}

void BM_FrameMemcpy(benchmark::State& state, int kind) {
  const size_t bytes = size_t(kW) * kH * (kind ? 4 : 2);
  std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
  const double ns = TimedNs(state, [&] {
    std::memcpy(a.data(), b.data(), bytes);
    benchmark::ClobberMemory();
  });
  Registry().Record(std::string("memcpy ") + (kind ? "32" : "16"), ns);
}

int RegisterAll() {
  for (int kind : {1, 0}) {
    const std::string depth = kind ? "32" : "16";
    benchmark::RegisterBenchmark(("Frame/memcpy/" + depth).c_str(), BM_FrameMemcpy, kind)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("Frame/map/" + depth).c_str(), BM_Frame, kind)
        ->Unit(benchmark::kMicrosecond);
  }
  return 0;
}

const int registered = RegisterAll();

}  // namespace
