// The plain blit (BltMemImg) at 32 and 16 bits, every blend mode with and
// without draw-bright tint and alpha sources, against pixman doing the same
// traffic in the same run (SRC for copies, OVER with a solid mask for
// constant-alpha blends, OVER for alpha sources, ADD for add and as the
// stand-in for subtract, MULTIPLY for multiply), and the rooflines of the
// same buffers: memcpy, memset and a trivial read-modify-write loop.
//
// Each reference benchmark reports ref_over_ours = reference time / our time
// (above 1: ours is faster); our copies report memcpy_over_ours. A summary of
// all ratios is printed when the program ends.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/blt_mem_img.h"
#include "softrender_bench_support.h"

namespace {

// ---- Timing registry and the summary printed at exit -----------------------

using softrender_bench::BenchImage;
using softrender_bench::PixmanOf;
using softrender_bench::TimedNs;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "Software blit vs references (time ratio, above 1 = ours faster)");
  return summary;
}

void Record(const std::string& key, double ns) { Registry().Record(key, ns); }

void ReportRatio(benchmark::State& state, const std::string& ours_key, const std::string& ref_key,
                 const char* counter) {
  const std::optional<double> ratio = Registry().Compare(state, counter, ours_key, ref_key);
  if (!ratio) return;
  char line[256];
  std::snprintf(line, sizeof line, "%-34s %-10s %6.2f", ours_key.c_str(), counter, *ratio);
  Registry().SetLine(ours_key + " " + counter, line);
}

// ---- Images ------------------------------------------------------------------

BenchImage MakeImageUncached(int kind, bool alpha, int w, int h, uint32_t seed) {
  BenchImage b = softrender_bench::MakeBenchImage(kind, alpha, w, h);
  b.img->TransColor = 0xf81f;  // magenta at 16 bits; not met by the random pixels at 32 bits
  uint32_t x = seed * 2654435761u + 1;  // xorshift: fast enough for 64 MB images
  for (auto& v : b.pixels) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<uint8_t>(x);
  }
  return b;
}

// Images are made once per shape and reused by every run of a benchmark (the
// library runs each benchmark function several times), which keeps short
// smoke runs short. Their contents drift as blits draw into them, which the
// branch-free loops do not notice.
BenchImage& MakeImage(int kind, bool alpha, int w, int h, uint32_t seed) {
  static std::map<std::string, BenchImage> cache;
  const std::string key = std::to_string(kind) + "/" + std::to_string(alpha) + "/" +
                          std::to_string(w) + "x" + std::to_string(h) + "/" + std::to_string(seed);
  auto it = cache.find(key);
  if (it == cache.end()) it = cache.emplace(key, MakeImageUncached(kind, alpha, w, h, seed)).first;
  return it->second;
}

// ---- Cases -------------------------------------------------------------------

struct BlitCase {
  std::string name;
  int kind;  // 1: 32-bit, 0: 16-bit
  int mode, value;
  bool tint, alpha;
  int size;
};

constexpr uint32_t kTint = 0x80c0ff;  // red 0x80, green 0xc0, blue 0xff

void SetState(const BlitCase& c) {
  ResetDrawState();
  CurrentDrawState.DrawArea = IntRect{0, 0, c.size == 4096 ? 4096 : 640, c.size == 4096 ? 4096 : 480};
  CurrentDrawState.BlendMode = c.mode;
  CurrentDrawState.BlendValue = c.value;
  CurrentDrawState.DrawBright = c.tint ? kTint : 0xffffff;
}

int Width(const BlitCase& c) { return c.size == 4096 ? 4096 : 640; }
int Height(const BlitCase& c) { return c.size == 4096 ? 4096 : 480; }

int64_t BytesPerIteration(const BlitCase& c) {
  const int64_t src_bytes = c.kind == 1 || c.alpha ? 4 : 2;
  const int64_t dst_bytes = c.kind == 1 ? 4 : 2;
  return int64_t(Width(c)) * Height(c) * (src_bytes + dst_bytes);
}

void BM_Ours(benchmark::State& state, BlitCase c) {
  BuildBlendTables();
  BenchImage& dst = MakeImage(c.kind, false, Width(c), Height(c), 1);
  BenchImage& src = MakeImage(c.kind, c.alpha, Width(c), Height(c), 2);
  SetState(c);
  const double ns = TimedNs(state, [&] {
    BltMemImg(dst.img.get(), src.img.get(), 0, 0, c.alpha ? 1 : 0, nullptr);
    benchmark::ClobberMemory();
  });
  state.SetBytesProcessed(state.iterations() * BytesPerIteration(c));
  Record("ours " + c.name, ns);
  if (c.mode == 0 && !c.tint && !c.alpha) {
    ReportRatio(state, "ours " + c.name,
                std::string("memcpy ") + (c.kind ? "32 " : "16 ") + std::to_string(c.size),
                "memcpy_over_ours");
  }
  ResetDrawState();
}

void BM_Pixman(benchmark::State& state, BlitCase c) {
  BenchImage& dst = MakeImage(c.kind, false, Width(c), Height(c), 1);
  BenchImage& src = MakeImage(c.kind == 1 ? 1 : c.alpha ? 1 : 0, c.alpha, Width(c), Height(c), 2);
  const pixman_format_code_t dst_format = c.kind == 1 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5;
  const pixman_format_code_t src_format =
      c.alpha ? PIXMAN_a8r8g8b8 : (c.kind == 1 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5);
  pixman_image_t* d = PixmanOf(dst, dst_format);
  pixman_image_t* s = PixmanOf(src, src_format);
  pixman_op_t op = PIXMAN_OP_SRC;
  uint16_t mask_alpha = 0xffff;
  switch (c.mode) {
    case 0: op = c.alpha ? PIXMAN_OP_OVER : PIXMAN_OP_SRC; break;
    case 1: op = PIXMAN_OP_OVER; mask_alpha = static_cast<uint16_t>(c.value * 257); break;
    case 2:
    case 3: op = PIXMAN_OP_ADD; mask_alpha = static_cast<uint16_t>(c.value * 257); break;
    case 4: op = PIXMAN_OP_MULTIPLY; break;
  }
  pixman_image_t* mask = nullptr;
  if (mask_alpha != 0xffff || c.tint) {
    pixman_color_t colour{0xffff, 0xffff, 0xffff, mask_alpha};
    if (c.tint) colour = {0x8080, 0xc0c0, 0xffff, mask_alpha};
    mask = pixman_image_create_solid_fill(&colour);
    if (c.tint) pixman_image_set_component_alpha(mask, 1);
  }
  const double ns = TimedNs(state, [&] {
    pixman_image_composite32(op, s, mask, d, 0, 0, 0, 0, 0, 0, Width(c), Height(c));
    benchmark::ClobberMemory();
  });
  state.SetBytesProcessed(state.iterations() * BytesPerIteration(c));
  Record("pixman " + c.name, ns);
  ReportRatio(state, "ours " + c.name, "pixman " + c.name, "ref_over_ours");
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(s);
  pixman_image_unref(d);
}

// ---- Rooflines -----------------------------------------------------------------

// A reusable buffer of the given size (one per size and slot).
std::vector<uint8_t>& Buffer(size_t bytes, int slot) {
  static std::map<std::pair<size_t, int>, std::vector<uint8_t>> buffers;
  std::vector<uint8_t>& b = buffers[{bytes, slot}];
  if (b.size() != bytes) b.assign(bytes, static_cast<uint8_t>(slot + 1));
  return b;
}

void BM_Memcpy(benchmark::State& state, int kind, int size) {
  const size_t bytes = size_t(size == 4096 ? 4096 * 4096 : 640 * 480) * (kind ? 4 : 2);
  std::vector<uint8_t>& a = Buffer(bytes, 0);
  std::vector<uint8_t>& b = Buffer(bytes, 1);
  const double ns = TimedNs(state, [&] {
    std::memcpy(a.data(), b.data(), bytes);
    benchmark::ClobberMemory();
  });
  state.SetBytesProcessed(state.iterations() * int64_t(bytes) * 2);
  Record(std::string("memcpy ") + (kind ? "32 " : "16 ") + std::to_string(size), ns);
}

void BM_Memset(benchmark::State& state, int kind) {
  const size_t bytes = size_t(640 * 480) * (kind ? 4 : 2);
  std::vector<uint8_t>& a = Buffer(bytes, 0);
  TimedNs(state, [&] {
    std::memset(a.data(), 0x5a, bytes);
    benchmark::ClobberMemory();
  });
  state.SetBytesProcessed(state.iterations() * int64_t(bytes));
}

void BM_ReadModifyWrite(benchmark::State& state, int kind) {
  const size_t words = size_t(640 * 480) / (kind ? 1 : 2);  // the bytes of one image
  std::vector<uint32_t> a(words, 1), b(words, 2);
  TimedNs(state, [&] {
    for (size_t i = 0; i < words; ++i) a[i] += b[i];
    benchmark::ClobberMemory();
  });
  state.SetBytesProcessed(state.iterations() * int64_t(words) * 8);
}

// ---- Tiles: per-call overhead ----------------------------------------------------

constexpr int kTiles = 1200;

void BM_TilesOurs(benchmark::State& state, bool whole_image) {
  BuildBlendTables();
  ResetDrawState();
  BenchImage& dst = MakeImage(0, false, 640, 480, 3);
  BenchImage tile = MakeImageUncached(0, false, 16, 16, 4);
  for (int i = 0; i < 16 * 16; i += 5) std::memcpy(&tile.pixels[2 * i], "\x1f\xf8", 2);  // 0xf81f
  if (whole_image) {
    // Run table: per row runs of the class of each pixel, then the row end.
    MEMIMG& m = *tile.img;
    for (int y = 0; y < 16; ++y) {
      int x = 0;
      while (x < 16) {
        auto transparent = [&](int px) {
          uint16_t v;
          std::memcpy(&v, &tile.pixels[y * m.Pitch + 2 * px], 2);
          return v == m.TransColor;
        };
        const bool t = transparent(x);
        int n = 1;
        while (x + n < 16 && transparent(x + n) == t) ++n;
        tile.runs.push_back(static_cast<uint8_t>((n - 1) | (t ? 0x00 : 0x40)));
        x += n;
      }
      tile.runs.push_back(0xc0);
    }
    tile.runs.resize(21 * 16, 0xc0);
    m.RunTable = tile.runs.data();
    m.RunTableValid = 1;
  }
  const double ns = TimedNs(state, [&] {
    for (int i = 0; i < kTiles; ++i) {
      BltMemImg(dst.img.get(), tile.img.get(), (i % 40) * 16, (i / 40) * 16, 1, nullptr);
    }
    benchmark::ClobberMemory();
  });
  state.SetItemsProcessed(state.iterations() * kTiles);
  Record(whole_image ? "ours tiles run table" : "ours tiles", ns);
}

void BM_TilesPixman(benchmark::State& state) {
  BenchImage& dst = MakeImage(0, false, 640, 480, 3);
  BenchImage& tile = MakeImage(1, true, 16, 16, 4);
  pixman_image_t* d = PixmanOf(dst, PIXMAN_r5g6b5);
  pixman_image_t* s = PixmanOf(tile, PIXMAN_a8r8g8b8);
  const double ns = TimedNs(state, [&] {
    for (int i = 0; i < kTiles; ++i) {
      pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, (i % 40) * 16,
                               (i / 40) * 16, 16, 16);
    }
    benchmark::ClobberMemory();
  });
  state.SetItemsProcessed(state.iterations() * kTiles);
  Record("pixman tiles", ns);
  ReportRatio(state, "ours tiles", "pixman tiles", "ref_over_ours");
  ReportRatio(state, "ours tiles run table", "pixman tiles", "ref_over_runs");
  pixman_image_unref(s);
  pixman_image_unref(d);
}

// ---- Registration ------------------------------------------------------------------

std::vector<BlitCase> Cases() {
  std::vector<BlitCase> cases;
  for (int kind : {1, 0}) {
    const std::string depth = kind ? "32 " : "16 ";
    struct ModeValue {
      int mode, value;
      const char* label;
    };
    const ModeValue modes[] = {{0, 0, "copy"},      {1, 200, "alpha200"}, {1, 128, "alpha128"},
                               {2, 200, "add200"},  {2, 255, "add255"},   {3, 200, "sub200"},
                               {3, 255, "sub255"},  {4, 0, "multiply"}};
    for (const ModeValue& mv : modes) {
      for (bool tint : {false, true}) {
        for (bool alpha : {false, true}) {
          std::string name = depth + mv.label + (tint ? " tint" : "") + (alpha ? " asrc" : "");
          cases.push_back({name, kind, mv.mode, mv.value, tint, alpha, 640});
        }
      }
    }
  }
  cases.push_back({"32 copy 4096", 1, 0, 0, false, false, 4096});
  cases.push_back({"32 alpha200 4096", 1, 1, 200, false, false, 4096});
  cases.push_back({"32 add200 asrc 4096", 1, 2, 200, false, true, 4096});
  return cases;
}

int RegisterAll() {
  for (int kind : {1, 0}) {
    const std::string depth = kind ? "32" : "16";
    benchmark::RegisterBenchmark(("Roofline/memcpy/" + depth).c_str(), BM_Memcpy, kind, 640);
    benchmark::RegisterBenchmark(("Roofline/memset/" + depth).c_str(), BM_Memset, kind);
    benchmark::RegisterBenchmark(("Roofline/rmw/" + depth).c_str(), BM_ReadModifyWrite, kind);
  }
  benchmark::RegisterBenchmark("Roofline/memcpy/32/4096", BM_Memcpy, 1, 4096);
  for (const BlitCase& c : Cases()) {
    std::string label = c.name;
    for (char& ch : label) ch = ch == ' ' ? '/' : ch;
    benchmark::RegisterBenchmark(("Blit/" + label).c_str(), BM_Ours, c)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("Pixman/" + label).c_str(), BM_Pixman, c)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("Tiles/16x16x1200/general", BM_TilesOurs, false)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("Tiles/16x16x1200/run_table", BM_TilesOurs, true)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("Tiles/16x16x1200/pixman_over", BM_TilesPixman)
      ->Unit(benchmark::kMicrosecond);
  return 0;
}

const int registered = RegisterAll();

}  // namespace
