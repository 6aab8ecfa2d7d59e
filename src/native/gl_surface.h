// A texture of the OpenGL device: a GL texture in the memory order of the
// Windows surface (row 0 first, so v = 0 reads it), and for render targets
// a framebuffer over it, with a depth buffer of its own for kind 4.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/textures.h"

namespace brisane {

class GlSurface final : public Surface, public std::enable_shared_from_this<GlSurface> {
 public:
  // Null when GL cannot make the texture or a complete framebuffer over it.
  // Needs the context current, as the destructor does.
  // texels: the first contents, width x height 32-bit 0xAARRGGBB values,
  // rows in memory order; none leaves them to GL.
  static std::shared_ptr<GlSurface> Create(std::uint32_t width, std::uint32_t height, SurfaceKind kind,
                                           const std::uint32_t* texels = nullptr);
  ~GlSurface() override;
  GlSurface(const GlSurface&) = delete;
  GlSurface& operator=(const GlSurface&) = delete;

  std::uint32_t texture() const { return texture_; }
  std::uint32_t framebuffer() const { return framebuffer_; }  // 0 for plain textures
  bool hasDepth() const { return depth_ != 0; }
  bool hasAlpha() const { return kind_ == SurfaceKind::Alpha || kind_ == SurfaceKind::Keyed; }
  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }

 private:
  GlSurface(std::uint32_t width, std::uint32_t height, SurfaceKind kind)
      : width_(width), height_(height), kind_(kind) {}
  std::uint32_t width_, height_;
  SurfaceKind kind_;
  std::uint32_t texture_ = 0, framebuffer_ = 0, depth_ = 0;
};

}  // namespace brisane
