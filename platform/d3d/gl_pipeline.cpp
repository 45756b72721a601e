// Fragment programs per stage set-up, and the vertex streaming.
#include "platform/d3d/gl_pipeline.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::d3d {
namespace {

struct StageKey {
  uint8_t color_op = 0, color_arg1 = 0, color_arg2 = 0;
  uint8_t alpha_op = 0, alpha_arg1 = 0, alpha_arg2 = 0;
  uint8_t coord_set = 0;  // 0, 1, or 2 for "no coordinates"
  uint8_t flags = 0;      // kHasTexture, kHasKey
  bool operator==(const StageKey&) const = default;
};
constexpr uint8_t kHasTexture = 1;
constexpr uint8_t kHasKey = 2;

struct ProgramKey {
  StageKey stages[kStageCount];
  uint8_t stage_count = 0;
  uint8_t alpha_func = 0;  // 0: no alpha test
  uint8_t gouraud = 0;
  uint8_t pad = 0;
  bool operator==(const ProgramKey&) const = default;
};

struct ProgramKeyHash {
  size_t operator()(const ProgramKey& k) const {
    unsigned char bytes[sizeof(ProgramKey)];
    std::memcpy(bytes, &k, sizeof k);
    uint64_t h = 1469598103934665603ull;
    for (unsigned char b : bytes) h = (h ^ b) * 1099511628211ull;
    return static_cast<size_t>(h);
  }
};

struct Program {
  GLuint id = 0;
  GLint target_size = -1;
  GLint texture_factor = -1;
  GLint alpha_ref = -1;
  GLint key[kStageCount] = {-1, -1, -1, -1};
  GLint key_max[kStageCount] = {-1, -1, -1, -1};
};

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 position;
layout(location = 1) in vec4 diffuse;
layout(location = 2) in vec2 coord0;
layout(location = 3) in vec2 coord1;
uniform vec2 target_size;
flat out vec4 flat_diffuse;
out vec4 smooth_diffuse;
out vec2 tc0;
out vec2 tc1;
void main() {
  vec2 p = (position.xy + vec2(0.5 - 1.0 / 64.0)) * 2.0 / target_size - 1.0;
  gl_Position = vec4(p, 0.0, 1.0);
  flat_diffuse = diffuse;
  smooth_diffuse = diffuse;
  tc0 = coord0;
  tc1 = coord1;
}
)";

// Joins pieces by appending (GCC 12 misreports chains of operator+ on
// strings in optimised builds).
std::string Cat(std::initializer_list<std::string_view> pieces) {
  std::string out;
  for (std::string_view p : pieces) out.append(p);
  return out;
}

std::string ArgExpr(uint32_t arg, int stage, bool has_texture) {
  std::string v;
  switch (arg & kTaSelectMask) {
    case kTaDiffuse: v = "dif"; break;
    case kTaCurrent: v = "cur"; break;
    case kTaTexture: v = has_texture ? Cat({"t", std::to_string(stage)}) : "vec4(1.0)"; break;
    case kTaTFactor: v = "tfactor"; break;
    default: v = "vec4(1.0)"; break;  // specular
  }
  if ((arg & kTaAlphaReplicate) != 0) v = Cat({"vec4((", v, ").a)"});
  if ((arg & kTaComplement) != 0) v = Cat({"(vec4(1.0) - ", v, ")"});
  return v;
}

std::string OpExpr(uint32_t op, const std::string& a, const std::string& b, const std::string& part,
                   int stage, bool has_texture) {
  const std::string A = Cat({"(", a, ")", part}), B = Cat({"(", b, ")", part});
  auto blend = [&](const std::string& alpha) { return Cat({"mix(", B, ", ", A, ", ", alpha, ")"}); };
  switch (op) {
    case kTopSelectArg1: return A;
    case kTopSelectArg2: return B;
    case kTopModulate: return Cat({A, " * ", B});
    case kTopModulate2x: return Cat({A, " * ", B, " * 2.0"});
    case kTopModulate4x: return Cat({A, " * ", B, " * 4.0"});
    case kTopAdd: return Cat({A, " + ", B});
    case kTopAddSigned: return Cat({A, " + ", B, " - 0.5"});
    case kTopAddSigned2x: return Cat({"(", A, " + ", B, " - 0.5) * 2.0"});
    case kTopSubtract: return Cat({A, " - ", B});
    case kTopAddSmooth: return Cat({A, " + ", B, " - ", A, " * ", B});
    case kTopBlendDiffuseAlpha: return blend("dif.a");
    case kTopBlendTextureAlpha:
      return blend(has_texture ? Cat({"t", std::to_string(stage), ".a"}) : "1.0");
    case kTopBlendFactorAlpha: return blend("tfactor.a");
    case kTopBlendCurrentAlpha: return blend("cur.a");
    default: return A;
  }
}

const char* CompareExpr(uint32_t func) {
  switch (func) {
    case kCmpNever: return "false";
    case kCmpLess: return "a < alpha_ref";
    case kCmpEqual: return "a == alpha_ref";
    case kCmpLessEqual: return "a <= alpha_ref";
    case kCmpGreater: return "a > alpha_ref";
    case kCmpNotEqual: return "a != alpha_ref";
    case kCmpGreaterEqual: return "a >= alpha_ref";
    default: return "true";
  }
}

std::string FragmentSource(const ProgramKey& key) {
  std::string s =
      "#version 330 core\n"
      "flat in vec4 flat_diffuse;\nin vec4 smooth_diffuse;\nin vec2 tc0;\nin vec2 tc1;\n"
      "uniform vec4 tfactor;\nuniform int alpha_ref;\n"
      "out vec4 frag;\n";
  for (int i = 0; i < key.stage_count; ++i) {
    const StageKey& st = key.stages[i];
    if ((st.flags & kHasTexture) == 0) continue;
    const std::string n = std::to_string(i);
    s += Cat({"uniform sampler2D s", n, ";\n"});
    if ((st.flags & kHasKey) != 0) s += Cat({"uniform ivec4 key", n, ";\nuniform vec4 key_max", n, ";\n"});
  }
  s += "void main() {\n";
  // The position nudge of the vertex program only settles which pixels an
  // edge through a pixel centre covers. Texture coordinates are taken back
  // to the pixel centre itself (they are affine across a primitive, so the
  // screen derivatives are exact), and a centre lying on a texel boundary
  // takes the texel that exact arithmetic gives (the 1/1024-texel allowance
  // below absorbs the rounding of the interpolation). With the nudge in the
  // coordinates, a draw mirrored along an axis took the texel before such a
  // boundary instead of the one after it.
  s += "  vec2 c0 = tc0 - (dFdx(tc0) + dFdy(tc0)) * (1.0 / 64.0);\n";
  s += "  vec2 c1 = tc1 - (dFdx(tc1) + dFdy(tc1)) * (1.0 / 64.0);\n";
  s += key.gouraud ? "  vec4 dif = smooth_diffuse;\n" : "  vec4 dif = flat_diffuse;\n";
  s += "  vec4 cur = dif;\n";
  for (int i = 0; i < key.stage_count; ++i) {
    const StageKey& st = key.stages[i];
    const bool tex = (st.flags & kHasTexture) != 0;
    const std::string n = std::to_string(i);
    if (tex) {
      const std::string centre = st.coord_set == 0 ? "c0" : st.coord_set == 1 ? "c1" : "vec2(0.0)";
      const std::string coord = Cat({"uv", n});
      s += Cat({"  vec2 ", coord, " = ", centre, " + vec2(1.0 / 1024.0) / vec2(textureSize(s", n, ", 0));\n"});
      s += Cat({"  vec4 t", n, " = texture(s", n, ", ", coord, ");\n"});
      if ((st.flags & kHasKey) != 0) {
        s += Cat({"  {\n    ivec2 size = textureSize(s", n, ", 0);\n",
                  "    ivec2 p = clamp(ivec2(floor(", coord, " * vec2(size))), ivec2(0), size - 1);\n",
                  "    vec4 k = texelFetch(s", n, ", p, 0);\n",
                  "    if (all(equal(ivec4(round(k * key_max", n, ")), key", n, "))) discard;\n  }\n"});
      }
    }
    const std::string c = OpExpr(st.color_op, ArgExpr(st.color_arg1, i, tex),
                                 ArgExpr(st.color_arg2, i, tex), ".rgb", i, tex);
    const std::string a = st.alpha_op == kTopDisable
                              ? std::string("cur.a")
                              : OpExpr(st.alpha_op, ArgExpr(st.alpha_arg1, i, tex),
                                       ArgExpr(st.alpha_arg2, i, tex), ".a", i, tex);
    s += Cat({"  cur = clamp(vec4(", c, ", ", a, "), 0.0, 1.0);\n"});
  }
  if (key.alpha_func != 0 && key.alpha_func != kCmpAlways) {
    s += "  int a = int(round(cur.a * 255.0));\n";
    s += Cat({"  if (!(", CompareExpr(key.alpha_func), ")) discard;\n"});
  }
  s += "  frag = cur;\n}\n";
  return s;
}

GLuint Compile(GLenum type, const std::string& source) {
  GLuint shader = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "3D: shader does not compile: %s\n%s\n", log, source.c_str());
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

GLenum GlMode(uint32_t type) {
  switch (type) {
    case kPrimPointList: return GL_POINTS;
    case kPrimLineList: return GL_LINES;
    case kPrimLineStrip: return GL_LINE_STRIP;
    case kPrimTriangleList: return GL_TRIANGLES;
    case kPrimTriangleStrip: return GL_TRIANGLE_STRIP;
    default: return GL_TRIANGLE_FAN;
  }
}

GLenum GlBlend(uint32_t f) {
  switch (f) {
    case kBlendZero: return GL_ZERO;
    case kBlendOne: return GL_ONE;
    case kBlendSrcColor: return GL_SRC_COLOR;
    case kBlendInvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case kBlendSrcAlpha: return GL_SRC_ALPHA;
    case kBlendInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case kBlendDestAlpha: return GL_DST_ALPHA;
    case kBlendInvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case kBlendDestColor: return GL_DST_COLOR;
    case kBlendInvDestColor: return GL_ONE_MINUS_DST_COLOR;
    case kBlendSrcAlphaSat: return GL_SRC_ALPHA_SATURATE;
    case kBlendBothSrcAlpha: return GL_SRC_ALPHA;
    default: return GL_ONE_MINUS_SRC_ALPHA;  // both inverse source alpha
  }
}

// A pixel value's channels in the widths of the format.
void KeyChannels(uint32_t pixel, const GlFormat& f, GLint out[4], GLfloat max[4]) {
  int shift = 0;
  // Packed layouts here: blue in the low bits, then green, red, alpha.
  const int order[4] = {2, 1, 0, 3};  // blue, green, red, alpha indexes
  for (int idx : order) {
    const int w = f.widths[idx];
    const uint32_t mask = w == 0 ? 0u : ((1u << w) - 1u);
    out[idx] = w == 0 ? 0 : static_cast<GLint>((pixel >> shift) & mask);
    max[idx] = static_cast<GLfloat>(mask);
    shift += w;
  }
}

}  // namespace

struct GlPipeline::Impl {
  GLuint vertex_shader = 0;
  GLuint vao[3] = {};
  GLuint vbo[3] = {};
  GLuint ebo = 0;
  std::unordered_map<ProgramKey, Program, ProgramKeyHash> programs;
  const Program* current = nullptr;
  ProgramKey current_key;
  uint64_t built = 0;

  const Program* Find(const ProgramKey& key) {
    if (current != nullptr && key == current_key) return current;
    auto it = programs.find(key);
    if (it == programs.end()) {
      if (programs.size() >= kProgramCacheSize) {
        glUseProgram(0);
        for (auto& [k, p] : programs) glDeleteProgram(p.id);
        programs.clear();
      }
      Program p = Build(key);
      if (p.id == 0) return nullptr;
      it = programs.emplace(key, p).first;
    }
    current = &it->second;
    current_key = key;
    glUseProgram(current->id);
    return current;
  }

  Program Build(const ProgramKey& key) {
    Program p;
    GLuint fs = Compile(GL_FRAGMENT_SHADER, FragmentSource(key));
    if (fs == 0) return p;
    p.id = glCreateProgram();
    glAttachShader(p.id, vertex_shader);
    glAttachShader(p.id, fs);
    glLinkProgram(p.id);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(p.id, GL_LINK_STATUS, &ok);
    if (!ok) {
      std::fprintf(stderr, "3D: program does not link\n");
      glDeleteProgram(p.id);
      p.id = 0;
      return p;
    }
    ++built;
    glUseProgram(p.id);
    p.target_size = glGetUniformLocation(p.id, "target_size");
    p.texture_factor = glGetUniformLocation(p.id, "tfactor");
    p.alpha_ref = glGetUniformLocation(p.id, "alpha_ref");
    for (uint32_t i = 0; i < kStageCount; ++i) {
      const std::string n = std::to_string(i);
      const GLint sampler = glGetUniformLocation(p.id, Cat({"s", n}).c_str());
      if (sampler >= 0) glUniform1i(sampler, static_cast<GLint>(i));
      p.key[i] = glGetUniformLocation(p.id, Cat({"key", n}).c_str());
      p.key_max[i] = glGetUniformLocation(p.id, Cat({"key_max", n}).c_str());
    }
    return p;
  }
};

std::unique_ptr<GlPipeline> GlPipeline::Create() {
  std::unique_ptr<GlPipeline> pipeline(new GlPipeline);
  pipeline->impl_ = std::make_unique<Impl>();
  Impl& m = *pipeline->impl_;
  m.vertex_shader = Compile(GL_VERTEX_SHADER, kVertexShader);
  if (m.vertex_shader == 0) return nullptr;
  glGenVertexArrays(3, m.vao);
  glGenBuffers(3, m.vbo);
  glGenBuffers(1, &m.ebo);
  const uint32_t formats[3] = {kFvfColored, kFvfTextured, kFvfTwoTexture};
  for (int i = 0; i < 3; ++i) {
    glBindVertexArray(m.vao[i]);
    glBindBuffer(GL_ARRAY_BUFFER, m.vbo[i]);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m.ebo);
    const auto stride = static_cast<GLsizei>(VertexStride(formats[i]));
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<void*>(16));
    if (formats[i] == kFvfTextured) {
      glEnableVertexAttribArray(2);
      glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(20));
    } else if (formats[i] == kFvfTwoTexture) {
      glEnableVertexAttribArray(2);
      glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(24));
      glEnableVertexAttribArray(3);
      glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(32));
    }
  }
  glBindVertexArray(0);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_DITHER);
  glEnable(GL_SCISSOR_TEST);
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  if (glGetError() != GL_NO_ERROR) {
    std::fprintf(stderr, "3D: vertex streams cannot be set up\n");
    return nullptr;
  }
  return pipeline;
}

GlPipeline::~GlPipeline() {
  if (impl_ == nullptr) return;
  for (auto& [k, p] : impl_->programs) glDeleteProgram(p.id);
  glDeleteBuffers(3, impl_->vbo);
  glDeleteBuffers(1, &impl_->ebo);
  glDeleteVertexArrays(3, impl_->vao);
  glDeleteShader(impl_->vertex_shader);
}

size_t GlPipeline::cached_programs() const { return impl_->programs.size(); }
uint64_t GlPipeline::programs_built() const { return impl_->built; }

void GlPipeline::Draw(const DeviceState& state, const StageTexture* textures, int32_t target_width,
                      int32_t target_height, uint32_t type, uint32_t fvf, const void* vertices,
                      uint32_t vertex_count, const uint16_t* indices, uint32_t index_count) {
  Impl& m = *impl_;
  ProgramKey key;
  const uint32_t sets = TextureCoordinateSets(fvf);
  for (uint32_t i = 0; i < kStageCount; ++i) {
    const uint32_t color_op = state.stage(i, kTssColorOp);
    const uint32_t arg1 = state.stage(i, kTssColorArg1);
    const bool has_texture = textures[i].surface != nullptr;
    if (color_op == kTopDisable) break;
    if ((arg1 & kTaSelectMask) == kTaTexture && !has_texture) break;
    StageKey& st = key.stages[i];
    st.color_op = static_cast<uint8_t>(color_op);
    st.color_arg1 = static_cast<uint8_t>(arg1);
    st.color_arg2 = static_cast<uint8_t>(state.stage(i, kTssColorArg2));
    st.alpha_op = static_cast<uint8_t>(state.stage(i, kTssAlphaOp));
    st.alpha_arg1 = static_cast<uint8_t>(state.stage(i, kTssAlphaArg1));
    st.alpha_arg2 = static_cast<uint8_t>(state.stage(i, kTssAlphaArg2));
    const uint32_t set = state.stage(i, kTssTexCoordIndex);
    st.coord_set = static_cast<uint8_t>(set < sets ? set : 2);
    if (has_texture) {
      st.flags |= kHasTexture;
      if (textures[i].has_key && state.render(kRsColorKeyEnable) != 0) st.flags |= kHasKey;
    }
    key.stage_count = static_cast<uint8_t>(i + 1);
  }
  if (state.render(kRsAlphaTestEnable) != 0) {
    key.alpha_func = static_cast<uint8_t>(state.render(kRsAlphaFunc));
  }
  key.gouraud = state.render(kRsShadeMode) != kShadeFlat ? 1 : 0;
  const Program* p = m.Find(key);
  if (p == nullptr) return;

  glUniform2f(p->target_size, static_cast<GLfloat>(target_width), static_cast<GLfloat>(target_height));
  if (p->texture_factor >= 0) {
    const uint32_t f = state.render(kRsTextureFactor);
    glUniform4f(p->texture_factor, static_cast<GLfloat>((f >> 16) & 0xFF) / 255.0f,
                static_cast<GLfloat>((f >> 8) & 0xFF) / 255.0f, static_cast<GLfloat>(f & 0xFF) / 255.0f,
                static_cast<GLfloat>(f >> 24) / 255.0f);
  }
  if (p->alpha_ref >= 0) glUniform1i(p->alpha_ref, static_cast<GLint>(state.render(kRsAlphaRef) & 0xFF));
  for (uint32_t i = 0; i < key.stage_count; ++i) {
    GlSurface* t = textures[i].surface;
    if ((key.stages[i].flags & kHasTexture) == 0) continue;
    glActiveTexture(GL_TEXTURE0 + i);
    glBindTexture(GL_TEXTURE_2D, t->texture());
    const bool linear = state.stage(i, kTssMagFilter) != kFilterPoint;
    t->SetSampling(linear, state.stage(i, kTssAddressU), state.stage(i, kTssAddressV));
    if (p->key[i] >= 0) {
      GLint channels[4];
      GLfloat max[4];
      KeyChannels(textures[i].key, t->format(), channels, max);
      glUniform4iv(p->key[i], 1, channels);
      glUniform4fv(p->key_max[i], 1, max);
    }
  }
  glActiveTexture(GL_TEXTURE0);

  if (state.render(kRsAlphaBlendEnable) != 0) {
    glEnable(GL_BLEND);
    uint32_t src = state.render(kRsSrcBlend), dst = state.render(kRsDestBlend);
    GLenum s = GlBlend(src), d = GlBlend(dst);
    if (src == kBlendBothSrcAlpha) d = GL_ONE_MINUS_SRC_ALPHA;
    if (src == kBlendBothInvSrcAlpha) {
      s = GL_ONE_MINUS_SRC_ALPHA;
      d = GL_SRC_ALPHA;
    }
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(s, d);
  } else {
    glDisable(GL_BLEND);
  }
  const Viewport& v = state.viewport;
  glViewport(0, 0, target_width, target_height);
  glScissor(static_cast<GLint>(v.x), static_cast<GLint>(v.y), static_cast<GLsizei>(v.width),
            static_cast<GLsizei>(v.height));

  const int format_index = fvf == kFvfColored ? 0 : fvf == kFvfTextured ? 1 : 2;
  glBindVertexArray(m.vao[format_index]);
  glBindBuffer(GL_ARRAY_BUFFER, m.vbo[format_index]);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertex_count) * VertexStride(fvf), vertices,
               GL_STREAM_DRAW);
  if (indices != nullptr) {
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(index_count) * 2, indices,
                 GL_STREAM_DRAW);
    glDrawElements(GlMode(type), static_cast<GLsizei>(index_count), GL_UNSIGNED_SHORT, nullptr);
  } else {
    glDrawArrays(GlMode(type), 0, static_cast<GLsizei>(vertex_count));
  }
  glBindVertexArray(0);
}

}  // namespace platform::d3d
