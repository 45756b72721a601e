// OpenGL copies of display surfaces.
#include "platform/d3d/gl_surface.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/d3d/d3d_types.h"
#include "platform/d3d/gl_context.h"
#include "platform/display/pixel_plane.h"

namespace platform::d3d {
namespace {

struct ReleasedNames {
  std::mutex mutex;
  std::vector<GLuint> textures;
  std::vector<GLuint> framebuffers;
};

ReleasedNames& Released() {
  static ReleasedNames* names = new ReleasedNames;
  return *names;
}

bool Same(const display::PixelFormat& f, uint32_t bits, uint32_t r, uint32_t g, uint32_t b,
          uint32_t a) {
  return f.bit_count == bits && f.red_mask == r && f.green_mask == g && f.blue_mask == b &&
         f.alpha_mask == a;
}

void OrSpareBits(const display::Surface::CompanionMemory& m, const GlFormat& f) {
  if (f.spare_bits == 0 || m.bits == nullptr) return;
  const int32_t w = m.backed.Width();
  for (int32_t y = 0; y < m.backed.Height(); ++y) {
    uint8_t* row = m.bits + static_cast<ptrdiff_t>(y) * m.pitch;
    if (f.bytes == 4) {
      auto* p = reinterpret_cast<uint32_t*>(row);
      for (int32_t x = 0; x < w; ++x) p[x] |= f.spare_bits;
    } else {
      auto* p = reinterpret_cast<uint16_t*>(row);
      const auto bits = static_cast<uint16_t>(f.spare_bits);
      for (int32_t x = 0; x < w; ++x) p[x] = static_cast<uint16_t>(p[x] | bits);
    }
  }
}

}  // namespace

bool GlFormatFor(const display::PixelFormat& f, GlFormat* out) {
  *out = GlFormat{};
  if ((f.flags & display::kPixelFormatRgb) == 0 ||
      (f.flags & (display::kPixelFormatIndexed8 | display::kPixelFormatFourCC)) != 0) {
    return false;
  }
  GlFormat g;
  if (Same(f, 16, 0xF800, 0x7E0, 0x1F, 0)) {
    g = {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, false, 0, {5, 6, 5, 0}};
  } else if (Same(f, 16, 0x7C00, 0x3E0, 0x1F, 0)) {
    g = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, false, 0x8000, {5, 5, 5, 0}};
  } else if (Same(f, 16, 0x7C00, 0x3E0, 0x1F, 0x8000)) {
    g = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, true, 0, {5, 5, 5, 1}};
  } else if (Same(f, 16, 0xF00, 0xF0, 0xF, 0xF000)) {
    g = {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, true, 0, {4, 4, 4, 4}};
  } else if (Same(f, 32, 0xFF0000, 0xFF00, 0xFF, 0)) {
    // 32-bit textures ask for no particular storage (unsized GL_RGBA): the
    // driver then keeps them in the B, G, R, A byte order they are sent in
    // and takes uploads as plain copies, where a sized GL_RGBA8 may be kept
    // R, G, B, A and every upload swizzled pixel by pixel.
    g = {GL_RGBA, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, false, 0xFF000000u, {8, 8, 8, 0}};
  } else if (Same(f, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u)) {
    g = {GL_RGBA, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, true, 0, {8, 8, 8, 8}};
  } else {
    return false;
  }
  *out = g;
  return true;
}

std::shared_ptr<GlSurface> GlSurface::For(const display::SurfacePtr& surface) {
  if (surface == nullptr) return nullptr;
  if (auto* existing = dynamic_cast<GlSurface*>(surface->companion())) {
    return existing->shared_from_this();
  }
  display::PixelFormat pf;
  if (surface->GetPixelFormat(&pf) != Result::kOk) return nullptr;
  GlFormat format;
  if (!GlFormatFor(pf, &format)) return nullptr;
  display::SurfaceDesc desc;
  if (surface->GetSurfaceDesc(&desc) != Result::kOk) return nullptr;
  GLint max_size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
  if (desc.width <= 0 || desc.height <= 0 || desc.width > max_size || desc.height > max_size) {
    return nullptr;
  }
  CollectReleasedGlNames();
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
  std::shared_ptr<GlSurface> twin(new GlSurface);
  twin->format_ = format;
  twin->width_ = desc.width;
  twin->height_ = desc.height;
  glGenTextures(1, &twin->texture_);
  glBindTexture(GL_TEXTURE_2D, twin->texture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  twin->filter_ = GL_NEAREST;
  twin->wrap_u_ = twin->wrap_v_ = GL_CLAMP_TO_EDGE;
  if (!format.has_alpha) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format.internal_format), desc.width,
               desc.height, 0, format.format, format.type, nullptr);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &twin->texture_);
    twin->texture_ = 0;
    return nullptr;
  }
  surface->SetCompanion(twin);
  return twin;
}

GlSurface::~GlSurface() {
  if (OnGlThread()) {
    if (framebuffer_ != 0) glDeleteFramebuffers(1, &framebuffer_);
    if (texture_ != 0) glDeleteTextures(1, &texture_);
    return;
  }
  ReleasedNames& names = Released();
  std::lock_guard<std::mutex> lock(names.mutex);
  if (framebuffer_ != 0) names.framebuffers.push_back(framebuffer_);
  if (texture_ != 0) names.textures.push_back(texture_);
}

void CollectReleasedGlNames() {
  ReleasedNames& names = Released();
  std::lock_guard<std::mutex> lock(names.mutex);
  if (!names.framebuffers.empty()) {
    glDeleteFramebuffers(static_cast<GLsizei>(names.framebuffers.size()), names.framebuffers.data());
    names.framebuffers.clear();
  }
  if (!names.textures.empty()) {
    glDeleteTextures(static_cast<GLsizei>(names.textures.size()), names.textures.data());
    names.textures.clear();
  }
}

void GlSurface::BeforeMemoryAccess(display::Surface& surface) {
  if (residency_ != Residency::kGlNewer) return;
  RequireGlThread("surface access after a 3D draw");
  ReadBack(surface);
}

void GlSurface::AfterMemoryWrite(display::Surface& /*surface*/) {
  residency_ = Residency::kMemoryNewer;
  stale_all_ = true;
}

void GlSurface::AfterMemoryWrite(display::Surface& /*surface*/, const display::Rect& w) {
  if (w.Empty()) return;
  if (residency_ != Residency::kMemoryNewer) {
    stale_all_ = false;
    stale_ = w;
  } else if (!stale_all_) {
    stale_ = display::Rect{std::min(stale_.left, w.left), std::min(stale_.top, w.top),
                           std::max(stale_.right, w.right), std::max(stale_.bottom, w.bottom)};
  }
  residency_ = Residency::kMemoryNewer;
}

bool GlSurface::CopyNewerOut(display::Surface& /*surface*/, const display::Rect& area, uint8_t* out,
                             int32_t pitch) {
  if (residency_ != Residency::kGlNewer || framebuffer_ == 0 || out == nullptr || area.Empty()) return false;
  if (pitch <= 0 || pitch % format_.bytes != 0 || area.left < 0 || area.top < 0 || area.right > width_ ||
      area.bottom > height_) {
    return false;
  }
  RequireGlThread("surface access after a 3D draw");
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, pitch / format_.bytes);
  glReadPixels(area.left, area.top, area.Width(), area.Height(), format_.format, format_.type, out);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  if (!spare_filled_) {
    display::Surface::CompanionMemory m;
    m.bits = out;
    m.pitch = pitch;
    m.backed = display::Rect{0, 0, area.Width(), area.Height()};
    OrSpareBits(m, format_);
  }
  return true;
}

void GlSurface::Sync(display::Surface& surface) {
  if (residency_ == Residency::kGlNewer) ReadBack(surface);
}

void GlSurface::Upload(display::Surface& surface) {
  glBindTexture(GL_TEXTURE_2D, texture_);
  surface.VisitMemory([this](const display::Surface::CompanionMemory& m) {
    if (m.bits == nullptr) return;
    // Only what was written since the last upload: a glyph or a movie
    // frame does not send the rest of its texture again.
    const display::Rect r = stale_all_ ? m.backed : display::Intersect(stale_, m.backed);
    if (r.Empty()) return;
    const uint8_t* first = m.bits + static_cast<ptrdiff_t>(r.top - m.backed.top) * m.pitch +
                           static_cast<ptrdiff_t>(r.left - m.backed.left) * format_.bytes;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, m.pitch / format_.bytes);
    glTexSubImage2D(GL_TEXTURE_2D, 0, r.left, r.top, r.Width(), r.Height(), format_.format, format_.type,
                    first);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  });
  residency_ = Residency::kInSync;
  stale_all_ = false;
  stale_ = display::Rect{};
  spare_filled_ = false;
}

void GlSurface::ReadBack(display::Surface& surface) {
  if (framebuffer_ == 0) {
    residency_ = Residency::kInSync;
    return;
  }
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  surface.VisitMemory([this](const display::Surface::CompanionMemory& m) {
    if (m.bits == nullptr || m.backed.Empty()) return;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, m.pitch / format_.bytes);
    glReadPixels(m.backed.left, m.backed.top, m.backed.Width(), m.backed.Height(), format_.format,
                 format_.type, m.bits);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    if (!spare_filled_) OrSpareBits(m, format_);
  });
  residency_ = Residency::kInSync;
}

void GlSurface::BindTexture(display::Surface& surface) {
  if (residency_ == Residency::kMemoryNewer) Upload(surface);
  glBindTexture(GL_TEXTURE_2D, texture_);
}

bool GlSurface::BindFramebuffer(display::Surface& surface) {
  if (residency_ == Residency::kMemoryNewer) Upload(surface);
  if (!Framebuffer()) return false;
  // A format without alpha keeps its spare bits set in GL: filled once after
  // an upload, never written by draws. Reads then need no pass over memory,
  // and a destination-alpha blend reads 1 as it should.
  const bool spare = format_.spare_bits != 0;
  if (spare && !spare_filled_) {
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    spare_filled_ = true;
  }
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, spare ? GL_FALSE : GL_TRUE);
  return true;
}

bool GlSurface::Framebuffer() {
  if (framebuffer_ == 0) {
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
      glDeleteFramebuffers(1, &framebuffer_);
      framebuffer_ = 0;
      return false;
    }
    return true;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  return true;
}

void GlSurface::SetSampling(bool linear, uint32_t address_u, uint32_t address_v) {
  auto wrap = [](uint32_t a) -> GLint {
    switch (a) {
      case kAddressWrap: return GL_REPEAT;
      case kAddressMirror: return GL_MIRRORED_REPEAT;
      case kAddressBorder: return GL_CLAMP_TO_BORDER;
      default: return GL_CLAMP_TO_EDGE;
    }
  };
  const GLint filter = linear ? GL_LINEAR : GL_NEAREST;
  if (filter != filter_) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    filter_ = filter;
  }
  const GLint u = wrap(address_u), v = wrap(address_v);
  if (u != wrap_u_) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, u);
    wrap_u_ = u;
  }
  if (v != wrap_v_) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, v);
    wrap_v_ = v;
  }
}

}  // namespace platform::d3d
