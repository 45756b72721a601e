// The OpenGL 3D device on Mesa's llvmpipe, against raw OpenGL in the same
// context and the same run:
// - quads: a frame of 10,000 textured 32 x 32 quads sent as the engine
//   sends them (triangle lists of 390 quads in the textured vertex format)
//   into a 640 x 480 5-6-5 target, against a minimal loop drawing the same
//   vertices with a one-line textured shader into a target of the same
//   format; glFinish ends every frame of both.
// - sync: a 640 x 480 target read back into memory after a draw (16 and 32
//   bits), against glReadPixels of the same draw into a buffer.
//
// Each of our benchmarks reports raw_over_ours = raw GL's time / ours (above
// 1: ours is faster); the ratios are printed again when the program ends.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/d3d/direct3d.h"
#include "platform/d3d/gl_direct3d.h"
#include "platform/display/display_device.h"
#include "platform/display/pixel_plane.h"
#include "platform/display/test_controls.h"
#include "engine_bench_support.h"
#include "softrender_bench_support.h"

namespace {

using namespace platform::d3d;
namespace display = platform::display;
using softrender_bench::TimedNs;

constexpr int32_t kW = 640, kH = 480;
constexpr int kQuads = 10000;
constexpr int kQuadsPerList = 390;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "OpenGL 3D device vs raw OpenGL (time ratio, above 1 = ours faster)");
  return summary;
}

// The display, the OpenGL Direct3D object, the 16 and 32-bit targets, the
// texture and a device on them with the quads; made for each benchmark
// from the library's reset state and taken down at its end.
class Bench {
  engine_bench::FreshLibrary fresh_;

 public:
  Bench() { ok = Start(); }
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  display::DevicePtr display;
  std::shared_ptr<Direct3D> d3d;
  Device3DPtr device;
  display::SurfacePtr target16, target32, texture;
  std::vector<VertexTextured> quads;  // kQuads x 6 vertices
  bool ok = false;

 private:
  bool Start();
};

display::SurfacePtr MakeSurface(Bench& b, int32_t w, int32_t h, const PixelFormat& f) {
  return engine_bench::MakeSurface(*b.display, display::kCapsTexture | display::kCaps3DDevice, w, h, f);
}

bool Bench::Start() {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  display::test::SetDesktop(1024, 768, 32);
  if (display::CreateDevice(&display) != Result::kOk) return false;
  InstallOpenGlDirect3D();
  if (QueryDirect3D(*display, &d3d) != Result::kOk) return false;
  target16 = MakeSurface(*this, kW, kH, TextureFormatR5G6B5());
  target32 = MakeSurface(*this, kW, kH, TextureFormatX8R8G8B8());
  texture = MakeSurface(*this, 32, 32, TextureFormatA8R8G8B8());
  display::LockedRect lock;
  texture->Lock(nullptr, 0, &lock);
  std::mt19937 rng(7);
  for (int32_t y = 0; y < 32; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(lock.bits + y * lock.pitch);
    for (int32_t x = 0; x < 32; ++x) row[x] = static_cast<uint32_t>(rng()) | 0xFF000000u;
  }
  texture->Unlock();
  if (d3d->CreateDevice(DeviceKind::kTnLHal, target16, &device) != Result::kOk) return false;
  Device3D& d = *device;
  d.SetRenderState(kRsShadeMode, kShadeFlat);
  d.SetTextureStageState(0, kTssColorOp, kTopSelectArg1);
  d.SetTextureStageState(0, kTssAlphaOp, kTopSelectArg1);
  d.SetTextureStageState(0, kTssAddress, kAddressClamp);
  d.SetTexture(0, texture);
  for (int i = 0; i < kQuads; ++i) {
    const float x = static_cast<float>(rng() % (kW - 32)) - 0.5f;
    const float y = static_cast<float>(rng() % (kH - 32)) - 0.5f;
    const uint32_t c = 0xFFFFFFFF;
    quads.push_back({x, y, 0.2f, 1, c, 0, 0});
    quads.push_back({x + 32, y, 0.2f, 1, c, 1, 0});
    quads.push_back({x, y + 32, 0.2f, 1, c, 0, 1});
    quads.push_back({x + 32, y + 32, 0.2f, 1, c, 1, 1});
    quads.push_back({x, y + 32, 0.2f, 1, c, 0, 1});
    quads.push_back({x + 32, y, 0.2f, 1, c, 1, 0});
  }
  return true;
}

// The raw reference: its own program, buffers, texture and target, made
// in the OpenGL context of a Bench and deleted before it goes.
class Raw {
 public:
  Raw();
  ~Raw() {
    glDeleteFramebuffers(2, fbo);
    glDeleteTextures(2, target);
    glDeleteTextures(1, &texture);
    glDeleteBuffers(1, &vbo);
    glDeleteVertexArrays(1, &vao);
    glDeleteProgram(program);
  }
  Raw(const Raw&) = delete;
  Raw& operator=(const Raw&) = delete;

  GLuint program = 0, vao = 0, vbo = 0, texture = 0;
  GLuint target[2] = {}, fbo[2] = {};  // 16 and 32 bits
  GLint size_location = -1;
};

GLuint CompileRaw(GLenum type, const char* text) {
  GLuint s = glCreateShader(type);
  glShaderSource(s, 1, &text, nullptr);
  glCompileShader(s);
  return s;
}

Raw::Raw() {
  const char* vs = R"(#version 330 core
layout(location = 0) in vec4 position;
layout(location = 2) in vec2 coord;
uniform vec2 target_size;
out vec2 tc;
void main() {
  gl_Position = vec4((position.xy + vec2(0.5 - 1.0 / 64.0)) * 2.0 / target_size - 1.0, 0.0, 1.0);
  tc = coord;
})";
  const char* fs = R"(#version 330 core
in vec2 tc; uniform sampler2D s; out vec4 frag;
void main() { frag = texture(s, tc); })";
  program = glCreateProgram();
  const GLuint vertex = CompileRaw(GL_VERTEX_SHADER, vs), fragment = CompileRaw(GL_FRAGMENT_SHADER, fs);
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  size_location = glGetUniformLocation(program, "target_size");
  glGenVertexArrays(1, &vao);
  glGenBuffers(1, &vbo);
  glBindVertexArray(vao);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 28, nullptr);
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, 28, reinterpret_cast<void*>(20));
  glBindVertexArray(0);
  std::vector<uint32_t> texels(32 * 32, 0xFF808080u);
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 32, 32, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
               texels.data());
  const GLenum internal[2] = {GL_RGB565, GL_RGBA8};
  glGenTextures(2, target);
  glGenFramebuffers(2, fbo);
  for (int i = 0; i < 2; ++i) {
    glBindTexture(GL_TEXTURE_2D, target[i]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internal[i]), kW, kH, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo[i]);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target[i], 0);
  }
  GLint linked = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (!linked || glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    std::fprintf(stderr, "raw OpenGL reference cannot be set up\n");
  }
}

void Report(benchmark::State& state, const std::string& name) {
  const auto ratio = Registry().Compare(state, "raw_over_ours", "ours " + name, "raw " + name);
  if (!ratio) return;
  char line[160];
  std::snprintf(line, sizeof line, "%-34s raw_over_ours %6.2f", name.c_str(), *ratio);
  Registry().SetLine(name, line);
}

void BM_QuadsOurs(benchmark::State& state) {
  Bench b;
  if (!b.ok) return state.SkipWithError("no OpenGL 3D device");
  b.device->SetRenderTarget(b.target16);
  const double ns = TimedNs(state, [&] {
    b.device->BeginScene();
    for (int q = 0; q < kQuads; q += kQuadsPerList) {
      const int n = std::min(kQuadsPerList, kQuads - q);
      b.device->DrawPrimitive(kPrimTriangleList, kFvfTextured, &b.quads[static_cast<size_t>(q) * 6],
                              static_cast<uint32_t>(n * 6), 0);
    }
    b.device->EndScene();
    glFinish();
  });
  Registry().Record("ours quads", ns);
  state.SetItemsProcessed(state.iterations() * kQuads);
  Report(state, "quads");
}

void BM_QuadsRaw(benchmark::State& state) {
  Bench b;
  if (!b.ok) return state.SkipWithError("no OpenGL 3D device");
  Raw r;
  const double ns = TimedNs(state, [&] {
    glBindFramebuffer(GL_FRAMEBUFFER, r.fbo[0]);
    glViewport(0, 0, kW, kH);
    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    glUseProgram(r.program);
    glUniform2f(r.size_location, kW, kH);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, r.texture);
    glBindVertexArray(r.vao);
    glBindBuffer(GL_ARRAY_BUFFER, r.vbo);
    for (int q = 0; q < kQuads; q += kQuadsPerList) {
      const int n = std::min(kQuadsPerList, kQuads - q);
      glBufferData(GL_ARRAY_BUFFER, n * 6 * 28, &b.quads[static_cast<size_t>(q) * 6], GL_STREAM_DRAW);
      glDrawArrays(GL_TRIANGLES, 0, n * 6);
    }
    glBindVertexArray(0);
    glFinish();
  });
  glEnable(GL_SCISSOR_TEST);  // the device's own state
  Registry().Record("raw quads", ns);
  state.SetItemsProcessed(state.iterations() * kQuads);
  Report(state, "quads");
}

void BM_SyncOurs(benchmark::State& state, int bits) {
  Bench b;
  if (!b.ok) return state.SkipWithError("no OpenGL 3D device");
  display::SurfacePtr target = bits == 16 ? b.target16 : b.target32;
  b.device->SetRenderTarget(target);
  const double ns = TimedNs(state, [&] {
    b.device->DrawPrimitive(kPrimTriangleList, kFvfTextured, b.quads.data(), 6, 0);
    display::LockedRect lock;
    target->Lock(nullptr, display::kLockReadOnly, &lock);
    benchmark::DoNotOptimize(lock.bits[0]);
    target->Unlock();
  });
  const std::string name = "sync " + std::to_string(bits);
  Registry().Record("ours " + name, ns);
  state.SetBytesProcessed(state.iterations() * kW * kH * (bits / 8));
  Report(state, name);
}

void BM_SyncRaw(benchmark::State& state, int bits) {
  Bench b;
  if (!b.ok) return state.SkipWithError("no OpenGL 3D device");
  Raw r;
  const int i = bits == 16 ? 0 : 1;
  const int bytes = bits / 8;
  const int pitch = display::PitchForWidth(kW, bytes);
  std::vector<uint8_t> memory(static_cast<size_t>(pitch) * kH);
  const double ns = TimedNs(state, [&] {
    glBindFramebuffer(GL_FRAMEBUFFER, r.fbo[i]);
    glViewport(0, 0, kW, kH);
    glDisable(GL_SCISSOR_TEST);
    glUseProgram(r.program);
    glUniform2f(r.size_location, kW, kH);
    glBindTexture(GL_TEXTURE_2D, r.texture);
    glBindVertexArray(r.vao);
    glBindBuffer(GL_ARRAY_BUFFER, r.vbo);
    glBufferData(GL_ARRAY_BUFFER, 6 * 28, b.quads.data(), GL_STREAM_DRAW);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    glBindVertexArray(0);
    glPixelStorei(GL_PACK_ROW_LENGTH, pitch / bytes);
    if (bits == 16) {
      glReadPixels(0, 0, kW, kH, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, memory.data());
    } else {
      glReadPixels(0, 0, kW, kH, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, memory.data());
    }
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    benchmark::DoNotOptimize(memory[0]);
  });
  glEnable(GL_SCISSOR_TEST);
  const std::string name = "sync " + std::to_string(bits);
  Registry().Record("raw " + name, ns);
  state.SetBytesProcessed(state.iterations() * kW * kH * bytes);
  Report(state, name);
}

int RegisterAll() {
  benchmark::RegisterBenchmark("D3D/raw GL/10000 quads", BM_QuadsRaw)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("D3D/device/10000 quads", BM_QuadsOurs)->Unit(benchmark::kMillisecond);
  for (int bits : {16, 32}) {
    const std::string b = std::to_string(bits);
    benchmark::RegisterBenchmark(("D3D/raw GL/sync " + b).c_str(), BM_SyncRaw, bits);
    benchmark::RegisterBenchmark(("D3D/device/sync " + b).c_str(), BM_SyncOurs, bits);
  }
  return 0;
}
const int kRegistered = RegisterAll();

}  // namespace
