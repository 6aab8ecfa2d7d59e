#include <epoxy/gl.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "native/gl_device.h"
#include "native/gl_surface.h"
#include "render/texture_fill.h"
#include "render/texture_format.h"

namespace brisane {

namespace {

// The textures' own rules, the ones the Windows program meets under Wine, so
// that sizes and texels come out as they do there: powers of two, any
// proportions, up to 16384 a side.
constexpr TextureSizeCaps kSizeCaps{true, false, 16384, 16384};

// Every texture holds 32-bit texels, blue in the low byte (GL_BGRA), with or
// without alpha; in the core's terms X8R8G8B8 and A8R8G8B8.
TexturePixelFormat FormatFor(bool alpha) {
  return alpha ? TexturePixelFormat{kPixelRgb | kPixelAlphaPixels, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u}
               : TexturePixelFormat{kPixelRgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0};
}

bool IsTarget(SurfaceKind kind) { return kind == SurfaceKind::TargetWithDepth || kind == SurfaceKind::Target; }

}  // namespace

std::shared_ptr<GlSurface> GlSurface::Create(std::uint32_t width, std::uint32_t height, SurfaceKind kind,
                                             const std::uint32_t* texels) {
  if (width == 0 || height == 0 || width > kSizeCaps.max_width || height > kSizeCaps.max_height) return nullptr;
  std::shared_ptr<GlSurface> s(new GlSurface(width, height, kind));
  // Only this creation's errors count below (bounded: a lost context may
  // keep reporting).
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glGenTextures(1, &s->texture_);
  glBindTexture(GL_TEXTURE_2D, s->texture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);  // no mip levels, as on Windows
  // Formats without alpha read alpha 1, as Direct3D reads an X8R8G8B8 texel.
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(GL_TEXTURE_2D, 0, s->hasAlpha() ? GL_RGBA8 : GL_RGB8, static_cast<GLsizei>(width),
               static_cast<GLsizei>(height), 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, texels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  if (glGetError() != GL_NO_ERROR) return nullptr;
  if (!IsTarget(kind)) return s;

  GLint drawn = 0, read = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawn);
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
  glGenFramebuffers(1, &s->framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, s->framebuffer_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s->texture_, 0);
  if (kind == SurfaceKind::TargetWithDepth) {
    glGenRenderbuffers(1, &s->depth_);
    glBindRenderbuffer(GL_RENDERBUFFER, s->depth_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, static_cast<GLsizei>(width),
                          static_cast<GLsizei>(height));
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, s->depth_);
  }
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  if (complete && !texels) {
    // A new target starts black rather than with whatever memory held.
    GLboolean mask[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColorMask(mask[0], mask[1], mask[2], mask[3]);
    if (scissor) glEnable(GL_SCISSOR_TEST);
  }
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawn));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
  return complete ? s : nullptr;
}

GlSurface::~GlSurface() {
  if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
  if (depth_) glDeleteRenderbuffers(1, &depth_);
  if (texture_) glDeleteTextures(1, &texture_);
}

TextureRef GlTextureLoader::createTextureFromJpeg(std::span<const std::uint8_t> bytes, std::uint32_t loadKind,
                                                  std::uint16_t threshold) {
  if (loadKind > 4 || bytes.empty()) return nullptr;
  const TextureSize largest = DecodedSides(kSizeCaps);
  DecodedPicture picture;
  const bool decoded = prefetch_ ? prefetch_->Take(bytes, picture)
                                 : DecodePicture(bytes.data(), bytes.size(), picture, largest.width, largest.height);
  if (!decoded) return nullptr;
  const auto kind = static_cast<SurfaceKind>(loadKind);
  const TextureSize size = TextureSizeFor(static_cast<std::uint32_t>(picture.width),
                                          static_cast<std::uint32_t>(picture.height), kSizeCaps);
  // One buffer for every picture: each fill writes all its texels, so none
  // needs clearing, and no fresh memory is touched a picture.
  const std::size_t count = std::size_t{size.width} * size.height;
  if (texels_.size() < count) texels_.resize(count);
  TextureSurface target;
  target.bits = texels_.data();
  target.width = size.width;
  target.height = size.height;
  target.pitch = std::size_t{size.width} * 4;
  target.format = FormatFor(kind == SurfaceKind::Alpha || kind == SurfaceKind::Keyed);
  const TextureImage image = picture.View();
  bool filled = false;
  switch (loadKind) {
    case 1: filled = FillAlphaFromLuminance(target, image, true); break;
    case 3: filled = FillColourAndAlpha(target, image, threshold); break;
    default: filled = FillColour(target, image); break;
  }
  if (!filled) std::fill_n(texels_.begin(), count, 0u);
  return GlSurface::Create(size.width, size.height, kind, texels_.data());
}

void GlTextureLoader::ExpectPictures(std::vector<std::span<const std::uint8_t>> pictures) {
  prefetch_.reset();
  if (pictures.empty()) return;
  const TextureSize largest = DecodedSides(kSizeCaps);
  prefetch_ = std::make_unique<PicturePrefetch>(std::move(pictures), largest.width, largest.height);
}

TextureRef GlTextureLoader::CreateSurfaceOfType(std::uint32_t width, std::uint32_t height, SurfaceKind kind) {
  if (static_cast<int>(kind) < 0 || static_cast<int>(kind) > static_cast<int>(SurfaceKind::Target)) return nullptr;
  const TextureSize size = TextureSizeFor(width, height, kSizeCaps);
  return GlSurface::Create(size.width, size.height, kind);
}

void GlTextureLoader::SurfaceSize(const Surface& surface, std::uint32_t& width, std::uint32_t& height) const {
  const auto* gl = dynamic_cast<const GlSurface*>(&surface);
  width = gl ? gl->width() : 0;
  height = gl ? gl->height() : 0;
}

}  // namespace brisane
